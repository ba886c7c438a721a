#include "foundation/whole_file.h"

#include "foundation/data_door.h"
#include "foundation/data_name.h"
#include "foundation/fresh_file.h"
#include "foundation/os_paths.h"
#include "foundation/vfs.h"

#include <cstdio>

int whole_file_open(const char* name, whole_file* w)
{
    w->f = nullptr;
    w->folder = -1;
    w->temp.clear();
    if (!name || !*name)
        return 0;
    w->target = name;
    // A path the player named outside the user folder stands as given: "/dev/null" or a
    // pipe is written in place, and a link goes on naming the bytes.
    if (name[0] == '/' && !data_in_user_folder(name)) {
        std::string linked;
        if (os_link_target(name, linked))
            w->target = linked;
        if (os_is_device_or_pipe(w->target.c_str())) {
            w->temp = w->target;
            w->f = vfs_open(w->temp.c_str(), "wb");
            return w->f ? 1 : 0;
        }
    }
    const std::string target = w->target;
    return fresh_file_open(target.c_str(), w);
}

namespace {

const vfs_file* fault_stream = nullptr;
finish_fault fault_kind = finish_fault::none;

}  // namespace

void file_finish_test_fault(const vfs_file* f, finish_fault fault)
{
    fault_stream = fault == finish_fault::none ? nullptr : f;
    fault_kind = fault;
}

bool file_finish_test_armed()
{
    return fault_stream != nullptr;
}

int file_finish(vfs_file* f, bool wrote, bool to_disk)
{
    const finish_fault fault = f == fault_stream ? fault_kind : finish_fault::none;
    if (f == fault_stream)
        file_finish_test_fault(nullptr, finish_fault::none);
    // The test seam stands in for the library's answer; the checks are the same.
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

int whole_file_close(whole_file* w, bool wrote)
{
    // A device or pipe written in place has no disk copy to wait for and nothing to rename.
    if (w->folder < 0) {
        vfs_file* f = w->f;
        w->f = nullptr;
        return f ? file_finish(f, wrote, false) : 0;
    }
    return fresh_file_close(w, wrote);
}

int whole_file_write(const char* name, int (*writer)(vfs_file* f, void* context), void* context)
{
    whole_file w;
    if (!whole_file_open(name, &w))
        return 0;
    const bool wrote = writer(w.f, context) == 1;
    return whole_file_close(&w, wrote);
}
