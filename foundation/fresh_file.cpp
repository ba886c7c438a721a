#include "foundation/fresh_file.h"

#include "foundation/data_door.h"
#include "foundation/data_name.h"
#include "foundation/file_index_internal.h"
#include "foundation/os_paths.h"
#include "foundation/running_lock.h"
#include "foundation/temp_mark.h"
#include "foundation/vfs.h"
#include "foundation/whole_file.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

std::string fresh_file_name(const std::string& target)
{
    const size_t slash = target.rfind('/');
    const size_t leaf = slash == std::string::npos ? 0 : slash + 1;
    return target.substr(0, leaf) + temp_mark_leaf(target.substr(leaf));
}

namespace {

// Flushes, checks, syncs and closes the stream; the temporary goes when that fails.
bool seal_stream(fresh_file* w, bool wrote, const data_place& place)
{
    vfs_file* f = w->f;
    w->f = nullptr;
    if (!f)
        return false;
    const bool ok = file_finish(f, wrote, true) == 1;
    if (!ok)
        data_place_unlink(place, w->temp_leaf);
    return ok;
}

// The open folder the handle holds, handed over to a place that closes it.
data_place take_place(fresh_file* w)
{
    data_place place;
    place.folder = w->folder;
    place.leaf = w->leaf;
    w->folder = -1;
    return place;
}

bool no_replacing_rename = true;   // test seam: false acts as a file system without it

// The write step's walk to name's folder, whatever stands at name itself. False without
// a line (quiet) when the walk is refused.
bool open_beside(const std::string& name, data_place& place)
{
    return data_place_open(name.c_str(), place, true, true);
}

// A fresh temporary in the open folder of place, handed to w with it.
int open_in_place(data_place& place, fresh_file* w)
{
    FILE* file = data_place_temp(place, w->temp_leaf);
    w->f = file ? vfs_adopt(file) : nullptr;
    if (!w->f) {
        if (file)
            fclose(file);
        data_place_unlink(place, w->temp_leaf);
        data_place_close(place);
        return 0;
    }
    w->target = place.target;
    w->leaf = place.leaf;
    w->temp = place.target.substr(0, place.target.size() - place.leaf.size()) + w->temp_leaf;
    w->folder = place.folder;
    return 1;
}

void reset_writer(fresh_file* w)
{
    w->f = nullptr;
    w->temp.clear();
    w->folder = -1;
}

}  // namespace

int fresh_file_open(const char* name, fresh_file* w)
{
    reset_writer(w);
    data_place place;
    return data_place_open(name, place) ? open_in_place(place, w) : 0;
}

int fresh_file_open_numbered(const char* name, fresh_file* w)
{
    reset_writer(w);
    data_place place;
    if (open_beside(name, place))
        return open_in_place(place, w);
    // The walk itself is refused: the write step says why, naming the file.
    if (data_place_open(name, place))
        data_place_close(place);
    return 0;
}

int fresh_file_seal(fresh_file* w, bool wrote)
{
    data_place place = take_place(w);
    const bool ok = seal_stream(w, wrote, place);
    data_place_close(place);
    return ok ? 1 : 0;
}

int fresh_file_seal_held(fresh_file* w, bool wrote)
{
    data_place place = take_place(w);
    if (!seal_stream(w, wrote, place)) {
        data_place_close(place);
        return 0;
    }
    w->folder = place.folder;
    return 1;
}

bool fresh_file_folder_stands(const char* name, int folder)
{
    data_place place;
    struct stat now, held;
    const bool same = data_place_open(name, place) && fstat(place.folder, &now) == 0 &&
                      fstat(folder, &held) == 0 && now.st_dev == held.st_dev && now.st_ino == held.st_ino;
    data_place_close(place);
    return same;
}

int fresh_file_place(const std::string& temp, const std::string& target)
{
    const size_t slash = temp.rfind('/');
    const std::string temp_leaf = temp.substr(slash == std::string::npos ? 0 : slash + 1);
    data_place place;
    bool ok = data_place_open(target.c_str(), place) &&
              temp.size() - temp_leaf.size() == place.target.size() - place.leaf.size() &&
              temp.compare(0, temp.size() - temp_leaf.size(), place.target, 0, temp.size() - temp_leaf.size()) == 0;
    ok = ok && data_place_rename(place, temp_leaf);
    if (!ok && place.folder >= 0)
        data_place_unlink(place, temp_leaf);
    else if (!ok && !data_in_user_folder(temp.c_str()))
        remove(temp.c_str());   // in the user folder, a refused walk leaves it to the sweep
    data_place_close(place);
    return ok ? 1 : 0;
}

int fresh_file_close(fresh_file* w, bool wrote)
{
    data_place place = take_place(w);
    bool ok = seal_stream(w, wrote, place) && data_place_rename(place, w->temp_leaf);
    if (!ok)
        data_place_unlink(place, w->temp_leaf);
    data_place_close(place);
    return ok ? 1 : 0;
}

int fresh_file_write(const char* name, int (*writer)(vfs_file* f, void* context), void* context)
{
    fresh_file w;
    if (!fresh_file_open(name, &w))
        return 0;
    const bool wrote = writer(w.f, context) == 1;
    return fresh_file_close(&w, wrote);
}

int fresh_file_sweep(const std::string& folder)
{
    // Only a folder the write step reaches in the user folder, through no link, is
    // swept: a track folder planted as a link must not cost files elsewhere. And only
    // while no other copy runs, whose writes in flight bear the same mark.
    const std::string probe = folder + "/x";
    data_place place;
    if ((folder[0] != '@' && !data_in_user_folder(probe.c_str())) || !data_place_open(probe.c_str(), place, true))
        return 0;
    if (!running_lock_sweep_begin()) {
        data_place_close(place);
        return 0;
    }
    const int listed = dup(place.folder);
    DIR* dir = listed >= 0 ? fdopendir(listed) : nullptr;
    if (!dir) {
        if (listed >= 0)
            close(listed);
        data_place_close(place);
        running_lock_share();
        return 0;
    }
    ++file_index_work.folders_read;
    std::vector<std::string> leftovers;
    int names = 0;
    while (dirent* entry = readdir(dir)) {
        // As many names as the file index lists in one folder, so a folder it would
        // skip costs a save no more than the listing.
        if (++names > file_index_listing_bounds.folder_names)
            break;
        if (temp_mark_is(entry->d_name))
            leftovers.emplace_back(entry->d_name);
    }
    closedir(dir);
    file_index_work.names_read += names;
    int removed = 0;
    // Each name is one entry of this open folder; a write of this copy's own still under
    // way holds its temporary and is passed by.
    for (const std::string& name : leftovers)
        removed += temp_mark_sweep(place.folder, name.c_str()) ? 1 : 0;
    data_place_close(place);
    running_lock_share();
    file_index_work.swept += removed;
    return removed;
}

vfs_file* fresh_file_take_name(fresh_file* w)
{
    data_place place = take_place(w);
    vfs_file* f = w->f;
    w->f = nullptr;
    if (!data_place_rename(place, w->temp_leaf)) {
        vfs_close(f);
        data_place_unlink(place, w->temp_leaf);
        f = nullptr;
    }
    data_place_close(place);
    return f;
}

vfs_file* fresh_file_create(const char* name)
{
    fresh_file w;
    return fresh_file_open(name, &w) ? fresh_file_take_name(&w) : nullptr;
}

name_holds fresh_file_what_stands(const char* name)
{
    data_place place;
    if (!open_beside(name, place))
        return name_holds::other;
    struct stat st;
    name_holds holds = name_holds::other;
    if (fstatat(place.folder, place.leaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        holds = errno == ENOENT ? name_holds::nothing : name_holds::other;
    else if (S_ISREG(st.st_mode))
        holds = name_holds::file;
    data_place_close(place);
    return holds;
}

// A rename that refuses to replace; where the file system has no such rename, a hard
// link, which never replaces either, and the temporary's name removed after it. Whatever
// stands at the target, a folder included, takes the name.
int fresh_file_place_new(const std::string& temp, const std::string& target)
{
    const size_t slash = temp.rfind('/');
    const std::string temp_leaf = temp.substr(slash == std::string::npos ? 0 : slash + 1);
    data_place place;
    if (!open_beside(target, place) ||
        temp.compare(0, temp.size() - temp_leaf.size(), place.target, 0, place.target.size() - place.leaf.size()) != 0) {
        data_place_close(place);
        if (!data_in_user_folder(temp.c_str()))
            remove(temp.c_str());   // in the user folder, a refused walk leaves it to the sweep
        return -1;
    }
    int placed = -1;
    int error = EINVAL;
    if (no_replacing_rename &&
        renameat2(place.folder, temp_leaf.c_str(), place.folder, place.leaf.c_str(), RENAME_NOREPLACE) == 0)
        placed = 1;
    else if (no_replacing_rename)
        error = errno;
    if (placed != 1 && (error == EINVAL || error == ENOSYS || error == EOPNOTSUPP)) {
        // A file system without the no-replace rename: a hard link never replaces either.
        if (linkat(place.folder, temp_leaf.c_str(), place.folder, place.leaf.c_str(), 0) == 0) {
            unlinkat(place.folder, temp_leaf.c_str(), 0);
            placed = 1;
        } else {
            error = errno;
        }
    }
    if (placed != 1 && error == EEXIST)
        placed = 0;
    if (placed == -1)
        data_place_unlink(place, temp_leaf);
    data_place_close(place);
    return placed;
}

void fresh_file_test_rename_noreplace(bool works)
{
    no_replacing_rename = works;
}
