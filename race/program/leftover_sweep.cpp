#include "race/program/leftover_sweep.h"

#include "foundation/data_paths.h"
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
    const char* base = data_search_dir(0);
    if (!base)
        return 0;
    std::string root(base);
    while (root.size() > 1 && root.back() == '/')
        root.pop_back();
    fresh_file_walk walk;
    int removed = fresh_file_sweep(root);
    for (const char* folder : {"setups", "keycam", "demos", "series"})
        if (real_folder(root + "/" + folder))
            removed += fresh_file_sweep(root + "/" + folder);
    // The tracks tree a level at a time, so that the bounds cut the deepest folders;
    // depth counts the folders under the user folder, "tracks" itself being 1.
    std::vector<std::string> level;
    if (real_folder(root + "/tracks"))
        level.push_back(root + "/tracks");
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
