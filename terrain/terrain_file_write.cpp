// Writing a track file so that a failure never leaves a half-written one in place and
// nothing planted in the folder is ever written through: the bytes go to a new file
// under a fresh name beside the target (fresh_file.h), which replaces the old file
// only once it is complete. Everything happens in the user folder, where the door's
// write step walks, and within the target's folder as that walk opened it.
#include "terrain/terrain_files.h"

#include "terrain/save_set.h"

#include "foundation/door/fresh_file.h"
#include "foundation/text/text_util.h"
#include "foundation/vfs/vfs.h"
#include "foundation/front_door.h"

#include <cstdio>
#include <string>

std::string terrain_write_name(const char* folder, const char* name)
{
    if (!folder || !name)
        return {};
    return "@" + std::string(folder) + "/" + name;
}

int terrain_write_file(const char* folder, const char* name, int (*writer)(vfs_file* f, void* context),
                       void* context)
{
    const std::string target = terrain_write_name(folder, name);
    bool ok = false;
    const bool in_set = save_set_active();
    fresh_file w;
    if (!target.empty() && in_set) {
        // The set renames it with the others.
        ok = save_set_open(target, &w) && save_set_add(target, &w, writer(w.f, context) == 1);
    } else if (!target.empty()) {
        ok = fresh_file_open(target.c_str(), &w) && fresh_file_close(&w, writer(w.f, context) == 1);
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
