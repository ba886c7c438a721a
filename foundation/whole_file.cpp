#include "foundation/whole_file.h"

#include "foundation/data_paths.h"
#include "foundation/os_paths.h"
#include "foundation/vfs.h"

#include <cstdio>
#include <string>

int whole_file_write(const char* name, int (*writer)(vfs_file* f, void* context), void* context)
{
    std::string target = name;
    if (name[0] == '@') {
        const char* folder = data_search_dir(0);
        if (!folder)
            return 0;
        target = std::string(folder) + (name + 1);
    }
    // "/dev/null" or a pipe stays what it is: written in place, with the same checks.
    const bool in_place = os_is_device_or_pipe(target.c_str());
    const std::string temp = in_place ? target : target + ".tmp-" + std::to_string(os_process_id());
    vfs_file* f = vfs_open(temp.c_str(), "wb");
    if (!f)
        return 0;
    bool ok = writer(f, context) == 1;
    ok = vfs_flush(f) == 0 && ok;
    ok = !ferror(f->file) && ok;
    if (in_place) {
        vfs_close(f);
        return ok ? 1 : 0;
    }
    ok = ok && os_flush_to_disk(f->file);
    vfs_close(f);
    ok = ok && rename(temp.c_str(), target.c_str()) == 0;
    if (!ok)
        remove(temp.c_str());
    return ok ? 1 : 0;
}
