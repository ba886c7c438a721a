// Turns a name and an open mode into an opened container file: absolute paths of the
// program's own as they stand (read: the file, else "<file>.gz"); data names, with
// "@" or without, over the search folders in order and then over the file index.
// Writes go where the data-name door puts them (data_name.h).
#include "foundation/data_name.h"
#include "foundation/data_paths.h"
#include "foundation/data_paths_internal.h"
#include "foundation/file_index.h"
#include "foundation/file_index_internal.h"
#include "foundation/os_paths.h"
#include "foundation/vfs.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr size_t kVariantPathMax = 1023;
constexpr size_t kMakeFoldersPathMax = 1023;
constexpr uint32_t kNoLimit = 0x7fffffff;

bool is_write_mode(const char* mode)
{
    return !strchr(mode, 'r') || strchr(mode, '+');
}

void reset_handle(vfs_file* f)
{
    f->file = nullptr;
    f->base_offset = 0;
    f->size_limit = kNoLimit;
    f->position = 0;
    f->pushed_back = -1;
    f->gzip = 0;
    f->compressed_size = 0;
    f->compressed_read = 0;
    f->stream_end = 0;
    f->read_pointer = f->output;
}

// Only a regular file is data: Linux opens folders for reading, a device such as
// "/dev/zero" never ends, and a FIFO would wait for a writer (O_NONBLOCK keeps the
// open itself from waiting, and is dropped once the file is known to be regular).
FILE* open_for_reading(const char* path, const char* mode)
{
    const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    struct stat st;
    const int flags = fcntl(fd, F_GETFL);
    FILE* file = nullptr;
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && flags >= 0 && fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0)
        file = fdopen(fd, mode);
    if (!file)
        close(fd);
    return file;
}

// The container is open and positioned at the data; makes it a gzip handle.
bool begin_gzip(vfs_file* f)
{
    if (vfs_gzip_begin(f))
        return true;
    fclose(f->file);
    f->file = nullptr;
    return false;
}

bool open_plain_write(vfs_file* f, const char* path, const char* mode)
{
    if (strlen(path) <= kMakeFoldersPathMax)
        os_make_parent_folders(path);
    f->file = open_with_backup(path, mode);
    return f->file != nullptr;
}

// The file, else "<file>.gz". A file found in a search folder (folder >= 0) is read
// only when it lies there with its links resolved.
bool open_plain_read(vfs_file* f, const char* path, const char* mode, int folder)
{
    if ((f->file = open_for_reading(path, mode))) {
        if (folder < 0 || data_read_inside(path, folder))
            return true;
        fclose(f->file);
        f->file = nullptr;
        return false;
    }
    std::string variant = std::string(path) + ".gz";
    if (variant.size() > kVariantPathMax)
        return false;
    if (!(f->file = open_for_reading(variant.c_str(), mode)))
        return false;
    if (folder >= 0 && !data_read_inside(variant, folder)) {
        fclose(f->file);
        f->file = nullptr;
        return false;
    }
    return begin_gzip(f);
}

// Every index entry of this name, best first: lower priority number first, and on equal
// numbers the plain entry before the ".gz" one.
std::vector<std::pair<int, bool>> index_candidates(const char* name)
{
    std::vector<std::pair<int, bool>> found;
    auto add_group = [&](const char* key, bool packed) {
        for (int i = file_index_find(key); i >= 0; ++i) {
            const file_index_entry* e = file_index_get(i);
            if (!e || file_index_compare_names(e->relative_name, key) != 0)
                break;
            found.emplace_back(i, packed);
        }
    };
    add_group(name, false);
    add_group((std::string(name) + ".gz").c_str(), true);
    std::stable_sort(found.begin(), found.end(), [](const auto& a, const auto& b) {
        return file_index_get(a.first)->priority < file_index_get(b.first)->priority;
    });
    return found;
}

bool open_index_entry(vfs_file* f, const file_index_entry* entry, bool packed)
{
    FILE* file = open_for_reading(entry->container_path, "rb");
    if (!file)
        return false;
    if (fseek(file, entry->offset, SEEK_SET) != 0) {
        fclose(file);
        return false;
    }
    f->file = file;
    f->base_offset = static_cast<uint32_t>(entry->offset);
    f->size_limit = static_cast<uint32_t>(entry->size);
    return !packed || begin_gzip(f);
}

// The index fallback. A loose file removed since the index was built no longer hides
// the entries behind it.
bool open_from_index(vfs_file* f, const char* name)
{
    for (const auto& [index, packed] : index_candidates(name)) {
        if (open_index_entry(f, file_index_get(index), packed))
            return true;
        reset_handle(f);
    }
    return false;
}

}  // namespace

int vfs_open_into(vfs_file* f, const char* name, const char* mode)
{
    reset_handle(f);
    if (is_write_mode(mode)) {
        std::string path;
        return data_write_path(name, data_link::follow, path) && open_plain_write(f, path.c_str(), mode) ? 1 : 0;
    }
    if (name[0] == '/')
        return open_plain_read(f, name, mode, -1) ? 1 : 0;

    // A data name (with "@" or without) only leads down from the search folders; its
    // callers tell where a refused name came from.
    std::string normal;
    if (data_name_check(name[0] == '@' ? name + 1 : name, &normal))
        return 0;
    std::string candidate;
    for (int i = 0; data_search_dir(i); ++i) {
        if (data_read_path(normal.c_str(), i, candidate) && open_plain_read(f, candidate.c_str(), mode, i))
            return 1;
        reset_handle(f);
    }
    return open_from_index(f, normal.c_str()) ? 1 : 0;
}

int vfs_adopt_into(vfs_file* f, FILE* file)
{
    reset_handle(f);
    f->file = file;
    return file ? 1 : 0;
}

int vfs_replace(const char* source, const char* target)
{
    std::string from, to;
    if (!data_write_path(source, data_link::replace, from) || !data_write_path(target, data_link::replace, to))
        return 0;
    // rename(2) replaces the target atomically: if anything fails, the old file stays.
    return rename(from.c_str(), to.c_str()) == 0 ? 1 : 0;
}
