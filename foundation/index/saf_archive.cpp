#include "foundation/index/saf_archive.h"

#include "foundation/door/data_name.h"
#include "foundation/door/search_folders.h"
#include "foundation/front_door.h"
#include "foundation/growable_array.h"
#include "foundation/index/index_entry.h"
#include "foundation/memory.h"
#include "foundation/text/text_util.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr int kLineBuffer = 1024;

file_index_entry* entry_at(growable_array* entries, int i)
{
    return static_cast<file_index_entry*>(entries->items) + i;
}

enum class line_result { entry, end, malformed };

// The entries an archive had refused, told in one line once the header is read.
struct refused_names {
    int count = 0;
    std::string first;
    const char* why = nullptr;
};

// One header line already stripped of its "\n". Sizes are untrusted: a sign, a value
// beyond 32 bits or a number with nothing after it must not turn into an entry. Each
// entry's offset is first kept relative to the data start; data_length runs over every
// entry of the header, also those that could not be kept, since their bytes still
// lie between the others.
line_result parse_line(growable_array* entries, char* line, char* container_path, int priority,
                       int64_t* data_length, refused_names* refused)
{
    if (strcmp(line, "-") == 0)
        return line_result::end;
    errno = 0;
    char* end = nullptr;
    long long size = strtoll(line, &end, 10);
    if (end == line || errno == ERANGE || size < 0 || size > INT32_MAX || *end == '\0')
        return line_result::malformed;
    const int64_t offset = *data_length;
    *data_length += size;
    if (*data_length > INT32_MAX)
        return line_result::malformed;  // the data would pass 2 GiB
    char* name = copy_collapsing_slashes(end + 1, strlen(end + 1), false);
    if (!name)
        return line_result::entry;
    std::string normal;
    if (const char* why = data_name_check(name, &normal)) {
        if (refused->count++ == 0) {
            refused->first = data_name_shown(name);
            refused->why = why;
        }
        mem_free(name);
        return line_result::entry;
    }
    memcpy(name, normal.c_str(), normal.size() + 1);   // never longer than the name
    file_index_entry entry{name, container_path, name, static_cast<int32_t>(offset), static_cast<int32_t>(size),
                           priority};
    // A full index drops this entry; the archive's other entries may still fit.
    if (!array_push(entries, &entry))
        mem_free(name);
    return line_result::entry;
}

// Moves the new entries' offsets past the header; false when the data would pass 2 GiB.
bool place_entries(growable_array* entries, int first, int64_t header_length, int64_t data_length)
{
    if (header_length + data_length > INT32_MAX)
        return false;
    for (int i = first; i < entries->count; ++i)
        entry_at(entries, i)->offset += static_cast<int32_t>(header_length);
    return true;
}

void drop_entries(growable_array* entries, int first)
{
    for (int i = first; i < entries->count; ++i)
        mem_free(entry_at(entries, i)->owned_text);
    entries->count = first;
}

}  // namespace

int read_archive_into(growable_array* entries, FILE* file, char* container_path, int priority, int max_entries)
{
    const int first = entries->count;
    int64_t header_length = 0;
    int64_t data_length = 0;
    char line[kLineBuffer];
    int read = 0;
    bool ok = false;
    refused_names refused;
    for (;;) {
        if (!fgets(line, sizeof line, file))
            break;
        // strlen stops at a zero byte, so such a line also fails the "\n" test.
        size_t length = strlen(line);
        if (length == 0 || line[length - 1] != '\n')
            break;
        header_length += static_cast<int64_t>(length);
        line[length - 1] = '\0';
        // The bound is checked before the line is taken, so an archive of millions of
        // entries costs no more than its first few.
        if (strcmp(line, "-") != 0 && ++read > max_entries)
            break;
        line_result r = parse_line(entries, line, container_path, priority, &data_length, &refused);
        if (r == line_result::malformed)
            break;
        if (r == line_result::end) {
            ok = place_entries(entries, first, header_length, data_length);
            break;
        }
    }
    fclose(file);
    if (!ok)
        drop_entries(entries, first);
    if (ok && refused.count > 0) {
        char text[1600];
        format_string(text, sizeof text, "Archive %.900s: %d entries refused, the first \"%s\": %s",
                      data_name_shown(container_path).c_str(), refused.count, refused.first.c_str(), refused.why);
        console_print(text);
    }
    return read;
}
