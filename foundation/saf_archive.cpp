// The ".saf" archive header reader.
//
// Layout, from byte 0:
//   "<size> <name>\n"   one line per entry, at most 1022 characters before the "\n";
//                       size is decimal, name is the rest of the line ("/" separated)
//   "-\n"               ends the header
//   entry data          back to back in header order, no padding
// Entry k starts at the header length (every line above with its "\n", the "-" line
// included) plus the sizes of entries 0..k-1. Anything else makes the archive
// malformed, and a malformed archive contributes no entries at all.
#include "foundation/file_index.h"
#include "foundation/file_index_internal.h"
#include "foundation/growable_array.h"
#include "foundation/memory.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int kLineBuffer = 1024;

file_index_entry* entry_at(growable_array* entries, int i)
{
    return static_cast<file_index_entry*>(entries->items) + i;
}

// A copy of the name with each run of "/" made one.
char* collapsed_copy(const char* name)
{
    auto* out = static_cast<char*>(mem_alloc(strlen(name) + 1));
    if (!out)
        return nullptr;
    size_t n = 0;
    for (const char* p = name; *p; ++p) {
        if (*p == '/' && n > 0 && out[n - 1] == '/')
            continue;
        out[n++] = *p;
    }
    out[n] = '\0';
    return out;
}

enum class line_result { entry, end, malformed };

// One header line already stripped of its "\n". Sizes are untrusted: a sign, a value
// beyond 32 bits or a number with nothing after it must not turn into an entry.
line_result parse_line(growable_array* entries, char* line, char* container_path, int priority)
{
    if (strcmp(line, "-") == 0)
        return line_result::end;
    errno = 0;
    char* end = nullptr;
    long long size = strtoll(line, &end, 10);
    if (end == line || errno == ERANGE || size < 0 || size > INT32_MAX || *end == '\0')
        return line_result::malformed;
    char* name = collapsed_copy(end + 1);
    if (!name)
        return line_result::entry;
    file_index_entry entry{name, container_path, name, 0, static_cast<int32_t>(size), priority};
    // A full index drops this entry; the archive's other entries may still fit.
    if (!array_push(entries, &entry))
        mem_free(name);
    return line_result::entry;
}

// Gives the new entries their offsets; false when the data would pass 2 GiB.
bool place_entries(growable_array* entries, int first, int64_t header_length)
{
    int64_t offset = header_length;
    for (int i = first; i < entries->count; ++i) {
        file_index_entry* e = entry_at(entries, i);
        if (offset + e->size > INT32_MAX)
            return false;
        e->offset = static_cast<int32_t>(offset);
        offset += e->size;
    }
    return true;
}

void drop_entries(growable_array* entries, int first)
{
    for (int i = first; i < entries->count; ++i)
        mem_free(entry_at(entries, i)->owned_text);
    entries->count = first;
}

}  // namespace

void read_archive_into(growable_array* entries, char* container_path, int priority)
{
    file_index_spin();
    FILE* file = fopen(container_path, "rb");
    if (!file)
        return;
    const int first = entries->count;
    int64_t header_length = 0;
    char line[kLineBuffer];
    bool ok = false;
    for (;;) {
        if (!fgets(line, sizeof line, file))
            break;
        // strlen stops at a zero byte, so such a line also fails the "\n" test.
        size_t length = strlen(line);
        if (length == 0 || line[length - 1] != '\n')
            break;
        header_length += static_cast<int64_t>(length);
        line[length - 1] = '\0';
        line_result r = parse_line(entries, line, container_path, priority);
        if (r == line_result::malformed)
            break;
        if (r == line_result::end) {
            ok = place_entries(entries, first, header_length);
            break;
        }
    }
    fclose(file);
    if (!ok)
        drop_entries(entries, first);
}
