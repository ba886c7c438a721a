// Writing a track file so that a failure never leaves a half-written one in place:
// the bytes go to "<name>.new" beside it, which replaces the old file only once it
// is complete. Everything happens in the first search folder (the user data folder
// when there is one), where data-path writes go: writing a temporary through the
// data path could land in a later folder than the rename looks in.
#include "terrain/terrain_files.h"

#include "terrain/save_set.h"

#include "foundation/data_paths.h"
#include "foundation/text_util.h"
#include "foundation/vfs.h"
#include "foundation/front_door.h"

#include <cstdio>
#include <string>

std::string terrain_write_path(const char* folder, const char* name)
{
    const char* base = data_search_dir(0);
    if (!base || !folder || !name)
        return {};
    return std::string(base) + folder + "/" + name;
}

int terrain_write_file(const char* folder, const char* name, int (*writer)(vfs_file* f, void* context),
                       void* context)
{
    const std::string target = terrain_write_path(folder, name);
    const std::string temp = target + ".new";
    bool ok = false;
    const bool in_set = save_set_active();
    const int test_fail = in_set ? save_set_file_starts() : -1;
    if (!target.empty() && test_fail != 0)
        if (vfs_file* f = vfs_open(temp.c_str(), "wb")) {
            ok = writer(f, context) == 1 && test_fail != 1;
            ok = vfs_flush(f) == 0 && ok;
            ok = !ferror(f->file) && ok;
            vfs_close(f);
            if (ok && in_set)
                save_set_add(temp, target);   // the set renames it with the others
            else
                ok = ok && rename(temp.c_str(), target.c_str()) == 0;
            if (!ok)
                remove(temp.c_str());
        }
    if (!ok && in_set)
        save_set_fail();
    if (!ok) {
        char text[1024];
        format_string(text, sizeof text, "Can't open '%.950s'", name);
        console_print(text);
    }
    return ok ? 1 : 0;
}
