#include "foundation/door/fresh_file.h"

#include "foundation/door/data_write.h"
#include "foundation/door/door_faults.h"
#include "foundation/handle/vfs_file.h"
#include "foundation/os_paths.h"

#include <cerrno>
#include <cstdio>

#include <fcntl.h>
#include <unistd.h>

namespace {

// The temporary is placed or gone: nothing of it is held any longer.
void let_go(fresh_file* w)
{
    if (w->hold >= 0)
        close(w->hold);
    w->hold = -1;
    data_place_close(w->place);
}

// The temporary's stream is gone (or was never made): it goes, and so does the hold.
int drop_sealed(fresh_file* w)
{
    data_place_unlink(w->place, w->temp_leaf);
    let_go(w);
    return 0;
}

// A rename that refuses to replace; where the file system has no such rename, a hard
// link, which never replaces either, and the temporary's name removed after it.
// Whatever stands at leaf, a folder included, keeps the name. 1, 0 when taken, -1.
int rename_new(const fresh_file& w, const std::string& leaf)
{
    const int folder = w.place.folder;
    const char* temp = w.temp_leaf.c_str();
    int error = EINVAL;
    if (!door_faults_now().without_rename_noreplace) {
        if (renameat2(folder, temp, folder, leaf.c_str(), RENAME_NOREPLACE) == 0)
            return 1;
        error = errno;
    }
    if (error == EINVAL || error == ENOSYS || error == EOPNOTSUPP) {
        if (linkat(folder, temp, folder, leaf.c_str(), 0) == 0) {
            unlinkat(folder, temp, 0);
            return 1;
        }
        error = errno;
    }
    return error == EEXIST ? 0 : -1;
}

}  // namespace

int fresh_file_open(const char* name, fresh_file* w, bool any_target)
{
    w->f = nullptr;
    w->temp_leaf.clear();
    w->hold = -1;
    if (!data_place_open(name, w->place, false, any_target))
        return 0;
    FILE* file = data_place_temp(w->place, w->temp_leaf);
    // The lock is the open file's: a second descriptor of it keeps it past the seal.
    if (file)
        w->hold = fcntl(fileno(file), F_DUPFD_CLOEXEC, 0);
    w->f = file && w->hold >= 0 ? vfs_adopt(file) : nullptr;
    if (w->f)
        return 1;
    if (file)
        fclose(file);
    return drop_sealed(w);
}

int fresh_file_seal(fresh_file* w, bool wrote)
{
    vfs_file* f = w->f;
    w->f = nullptr;
    if (!f || file_finish(f, wrote, true) != 1)
        return drop_sealed(w);
    return 1;
}

int fresh_file_place(fresh_file* w)
{
    if (!data_place_rename(w->place, w->temp_leaf))
        return drop_sealed(w);
    let_go(w);
    return 1;
}

int fresh_file_place_new(fresh_file* w, const std::string& leaf)
{
    const int placed = w->place.folder >= 0 ? rename_new(*w, leaf) : -1;
    if (placed == 1)
        let_go(w);
    else if (placed == -1)
        drop_sealed(w);
    return placed;
}

void fresh_file_drop(fresh_file* w)
{
    if (w->f)
        vfs_close(w->f);
    w->f = nullptr;
    drop_sealed(w);
}

int fresh_file_close(fresh_file* w, bool wrote)
{
    return fresh_file_seal(w, wrote) && fresh_file_place(w) ? 1 : 0;
}

int fresh_file_write(const char* name, int (*writer)(vfs_file* f, void* context), void* context)
{
    fresh_file w;
    if (!fresh_file_open(name, &w))
        return 0;
    const bool wrote = writer(w.f, context) == 1;
    return fresh_file_close(&w, wrote);
}

vfs_file* fresh_file_take_name(fresh_file* w)
{
    vfs_file* f = w->f;
    w->f = nullptr;
    if (!data_place_rename(w->place, w->temp_leaf)) {
        vfs_close(f);
        drop_sealed(w);
        return nullptr;
    }
    let_go(w);
    return f;
}

int file_finish(vfs_file* f, bool wrote, bool to_disk)
{
    // A fault a test set for this stream stands in for the library's answer; the checks
    // are the same.
    finish_fault fault = finish_fault::none;
    if (door_faults_now().finish_stream == f) {
        door_faults faults = door_faults_now();
        fault = faults.finish;
        faults.finish_stream = nullptr;
        faults.finish = finish_fault::none;
        door_set_faults(faults);
    }
    int flushed = vfs_flush(f);
    if (fault == finish_fault::flush)
        flushed = EOF;
    bool ok = flushed == 0 && wrote;
    ok = !ferror(f->file) && ok;
    ok = ok && (!to_disk || os_flush_to_disk(f->file));
    int closed = vfs_close(f);
    if (fault == finish_fault::close)
        closed = EOF;
    ok = closed == 0 && ok;
    return ok ? 1 : 0;
}
