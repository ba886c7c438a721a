#include "foundation/door/whole_file.h"

#include "foundation/door/search_folders.h"
#include "foundation/handle/vfs_file.h"
#include "foundation/os_paths.h"

#include <cstdio>

int whole_file_open(const char* name, whole_file* w)
{
    w->f = nullptr;
    w->fresh = fresh_file{};
    w->target.clear();
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
            FILE* file = fopen(w->target.c_str(), "wb");
            w->f = vfs_adopt(file);
            if (!w->f && file)
                fclose(file);
            return w->f ? 1 : 0;
        }
    }
    if (!fresh_file_open(w->target.c_str(), &w->fresh))
        return 0;
    w->f = w->fresh.f;
    return 1;
}

int whole_file_close(whole_file* w, bool wrote)
{
    vfs_file* f = w->f;
    w->f = nullptr;
    if (!f)
        return 0;
    // A device or pipe written in place has no disk copy to wait for and nothing to rename.
    if (!w->fresh.f)
        return file_finish(f, wrote, false);
    return fresh_file_close(&w->fresh, wrote);
}

int whole_file_write(const char* name, int (*writer)(vfs_file* f, void* context), void* context)
{
    whole_file w;
    if (!whole_file_open(name, &w))
        return 0;
    const bool wrote = writer(w.f, context) == 1;
    return whole_file_close(&w, wrote);
}
