#include "race/program/leftover_sweep.h"

#include "foundation/data_name.h"
#include "foundation/fresh_file.h"

#include <string>
#include <vector>

#include <sys/stat.h>

namespace {

// As deep and as many names as the file index lists: the sweep reads no more than the
// start's listing of the same folders.
constexpr int kDepth = 16;
constexpr int kNames = 250000;

// A folder of its own, not a link to one.
bool real_folder(const std::string& path)
{
    struct stat st;
    return lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

int leftover_sweep_user_folder()
{
    std::string root, path;
    if (!data_user_folder_path(root))
        return 0;
    fresh_file_walk walk;
    int removed = fresh_file_sweep(root);
    for (const char* folder : {"setups", "keycam", "demos", "series"})
        if (data_user_path(folder, path) && real_folder(path))
            removed += fresh_file_sweep(path);
    // The tracks tree a level at a time, so that the bounds cut the deepest folders;
    // depth counts the folders under the user folder, "tracks" itself being 1.
    std::vector<std::string> level;
    if (data_user_path("tracks", path) && real_folder(path))
        level.push_back(path);
    for (int depth = 1; depth <= kDepth && !level.empty(); ++depth) {
        walk.folders.clear();
        for (const std::string& folder : level) {
            if (walk.names >= kNames)
                return removed;
            removed += fresh_file_sweep(folder, &walk);
        }
        level.swap(walk.folders);
    }
    return removed;
}
