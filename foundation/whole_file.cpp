#include "foundation/whole_file.h"

#include "foundation/data_paths.h"
#include "foundation/os_paths.h"
#include "foundation/vfs.h"

#include <cstdio>

int whole_file_open(const char* name, whole_file* w)
{
    w->f = nullptr;
    w->target = name;
    if (name[0] == '@') {
        const char* folder = data_search_dir(0);
        if (!folder)
            return 0;
        w->target = std::string(folder) + (name + 1);
    }
    // A link's file is replaced beside itself, so the link goes on naming the new bytes.
    std::string linked;
    if (os_link_target(w->target.c_str(), linked))
        w->target = linked;
    // "/dev/null" or a pipe stays what it is: written in place, with the same checks.
    w->temp = os_is_device_or_pipe(w->target.c_str()) ? w->target
                                                      : w->target + ".tmp-" + std::to_string(os_process_id());
    w->f = vfs_open(w->temp.c_str(), "wb");
    return w->f ? 1 : 0;
}

int whole_file_close(whole_file* w, bool wrote)
{
    vfs_file* f = w->f;
    w->f = nullptr;
    if (!f)
        return 0;
    bool ok = vfs_flush(f) == 0 && wrote;
    ok = !ferror(f->file) && ok;
    if (w->temp == w->target) {
        vfs_close(f);
        return ok ? 1 : 0;
    }
    ok = ok && os_flush_to_disk(f->file);
    vfs_close(f);
    ok = ok && rename(w->temp.c_str(), w->target.c_str()) == 0;
    if (!ok)
        remove(w->temp.c_str());
    return ok ? 1 : 0;
}

int whole_file_write(const char* name, int (*writer)(vfs_file* f, void* context), void* context)
{
    whole_file w;
    if (!whole_file_open(name, &w))
        return 0;
    const bool wrote = writer(w.f, context) == 1;
    return whole_file_close(&w, wrote);
}
