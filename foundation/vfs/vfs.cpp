#include "foundation/vfs/vfs.h"

#include "foundation/door/backups.h"
#include "foundation/door/data_name.h"
#include "foundation/door/data_place.h"
#include "foundation/door/data_read.h"
#include "foundation/door/data_write.h"
#include "foundation/door/search_folders.h"
#include "foundation/handle/gzip_stream.h"
#include "foundation/index/file_index.h"
#include "foundation/memory.h"
#include "foundation/os_paths.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>


namespace {

constexpr size_t kVariantPathMax = 1023;

bool is_write_mode(const char* mode)
{
    return !strchr(mode, 'r') || strchr(mode, '+');
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

// A data name is written to a fresh file of ours that at once takes the name's place,
// so the handle writes nothing that stood there before. A path the player named
// outside the user folder stands as it is.
bool open_plain_write(vfs_file* f, const char* name, const char* mode)
{
    if (name[0] == '/' && !data_in_user_folder(name)) {
        if (strlen(name) <= kMakeFoldersPathMax)
            os_make_parent_folders(name);
        f->file = open_with_backup(name, mode);
        return f->file != nullptr;
    }
    // A "~" mode keeps the old file first, in the folder walked to: when that fails
    // nothing is opened and the file stays as it was.
    data_place place;
    std::string temp;
    if (data_place_open(name, place) && (f->file = data_place_temp(place, temp)) &&
        ((mode[0] == '~' && !backup_in_folder(place.folder, place.leaf)) || !data_place_rename(place, temp))) {
        fclose(f->file);
        f->file = nullptr;
        data_place_unlink(place, temp);
    }
    data_place_close(place);
    return f->file != nullptr;
}

// The file, else "<file>.gz": in a search folder (folder >= 0) through the read step,
// the ".gz" spelling with the same checks; else a path of the program's own. *found
// says what the name held: only nothing there lets a search go on to another copy.
bool open_plain_read(vfs_file* f, const std::string& name, const char* mode, int folder, read_found* found)
{
    *found = read_found::nothing;
    if (name.size() + 3 > kVariantPathMax)
        return false;
    auto open = [&](const std::string& n) {
        if (folder >= 0)
            return data_read_open(n, folder, mode, found);
        FILE* file = data_read_open_own(n.c_str(), mode);
        *found = file ? read_found::file : read_found::nothing;
        return file;
    };
    if ((f->file = open(name)))
        return true;
    if (*found != read_found::nothing || !(f->file = open(name + ".gz")))
        return false;
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

bool open_index_entry(vfs_file* f, const file_index_entry* entry, bool packed, read_found* found)
{
    // A loose file (its priority is its search folder's index) goes through the read
    // step as a name looked up there would, and so does an archive in the user folder,
    // as the name it has there.
    const bool loose = entry->priority < search_folder_count();
    FILE* file = nullptr;
    *found = read_found::nothing;
    if (loose) {
        file = data_read_open(entry->relative_name, entry->priority, "rb", found);
    } else if (const char* relative = data_user_relative(entry->container_path)) {
        file = data_read_open(relative, 0, "rb", found);
    } else {
        file = data_read_open_own(entry->container_path, "rb");
        *found = file ? read_found::file : read_found::nothing;
    }
    if (!file)
        return false;
    if (fseek(file, entry->offset, SEEK_SET) != 0) {
        fclose(file);
        *found = read_found::unreadable;
        return false;
    }
    f->file = file;
    f->base_offset = static_cast<uint32_t>(entry->offset);
    f->size_limit = static_cast<uint32_t>(entry->size);
    return !packed || begin_gzip(f);
}

// The index fallback. A loose file removed since the index was built no longer hides
// the entries behind it; one that stands there but is not read hides them still.
bool open_from_index(vfs_file* f, const char* name)
{
    for (const auto& [index, packed] : index_candidates(name)) {
        read_found found;
        if (open_index_entry(f, file_index_get(index), packed, &found))
            return true;
        vfs_reset(f);
        if (found != read_found::nothing)
            return false;
    }
    return false;
}

}  // namespace

vfs_file* vfs_open(const char* name, const char* mode)
{
    auto* f = static_cast<vfs_file*>(mem_alloc(sizeof(vfs_file)));
    if (!f)
        return nullptr;
    if (!vfs_open_into(f, name, mode)) {
        mem_free(f);
        return nullptr;
    }
    return f;
}

vfs_file* vfs_open_entry(int i)
{
    auto* f = static_cast<vfs_file*>(mem_alloc(sizeof(vfs_file)));
    if (!f)
        return nullptr;
    if (!vfs_open_entry_into(f, i)) {
        mem_free(f);
        return nullptr;
    }
    return f;
}

vfs_file* vfs_open_in_folder(const char* folder, const char* name, const char* mode)
{
    if (!folder || !name || !mode)
        return nullptr;
    const std::string path = std::string(folder) + "/" + name;
    return vfs_open(path.c_str(), mode);
}

int vfs_open_into(vfs_file* f, const char* name, const char* mode)
{
    vfs_reset(f);
    if (is_write_mode(mode))
        return open_plain_write(f, name, mode) ? 1 : 0;
    read_found found;
    if (name[0] == '/' && !data_in_user_folder(name))
        return open_plain_read(f, name, mode, -1, &found) ? 1 : 0;

    // A data name (with "@" or without) only leads down from the search folders; its
    // callers tell where a refused name came from. A path in the user folder is read
    // as the name it spells there.
    std::string relative;
    if (name[0] == '/') {
        if (data_name_check(data_user_relative(name), &relative))
            return 0;
        const bool ok = open_plain_read(f, relative, mode, 0, &found);
        if (!ok)
            vfs_reset(f);
        return ok ? 1 : 0;
    }
    if (data_name_relative(name, &relative))
        return 0;
    for (int i = 0; data_search_dir(i); ++i) {
        if (open_plain_read(f, relative, mode, i, &found))
            return 1;
        vfs_reset(f);
        // What stands at the name and is not read is what the name holds: no other
        // copy is read in its place.
        if (found != read_found::nothing)
            return 0;
    }
    return open_from_index(f, relative.c_str()) ? 1 : 0;
}

int vfs_open_entry_into(vfs_file* f, int i)
{
    vfs_reset(f);
    const file_index_entry* entry = file_index_get(i);
    read_found found;
    if (entry && open_index_entry(f, entry, false, &found))
        return 1;
    vfs_reset(f);
    return 0;
}

int vfs_open_own(vfs_file** out, const char* name)
{
    *out = nullptr;
    std::string relative;
    if (!user_data_folder() || data_name_relative(name, &relative))
        return 0;
    read_found found;
    FILE* file = data_read_open(relative, 0, "rb", &found);
    if (file && !(*out = vfs_adopt(file)))
        fclose(file);
    if (*out)
        return 1;
    // A link the step does not follow is for a write to replace; anything else that
    // stands there, or a look that failed, is the player's to mend.
    return found == read_found::nothing || found == read_found::link_out ? 0 : -1;
}

int vfs_replace(const char* source, const char* target)
{
    data_place from, to;
    bool ok = data_place_open(source, from) && data_place_open(target, to);
    // renameat replaces the target in one step: if anything fails, the old file stays.
    ok = ok && renameat(from.folder, from.leaf.c_str(), to.folder, to.leaf.c_str()) == 0;
    data_place_close(from);
    data_place_close(to);
    return ok ? 1 : 0;
}
