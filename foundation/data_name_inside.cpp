// Where a data name lands on disk, links resolved: writes and track folders must stay
// inside the search folder they are meant for, whatever links stand on the way.
#include "foundation/data_name.h"

#include "foundation/data_paths.h"
#include "foundation/front_door.h"
#include "foundation/os_paths.h"
#include "foundation/text_util.h"

#include <cstdlib>
#include <cstring>

#include <sys/stat.h>

namespace {

// The resolved path, empty when it cannot be resolved.
std::string resolved(const std::string& path)
{
    char* real = realpath(path.c_str(), nullptr);
    std::string out = real ? real : "";
    free(real);
    return out;
}

bool lies_inside(const std::string& real, const std::string& top)
{
    if (real.empty() || top.empty())
        return false;
    if (top == "/")
        return true;
    return real.compare(0, top.size(), top) == 0 && (real.size() == top.size() || real[top.size()] == '/');
}

void say_outside(const char* what, const std::string& path)
{
    char line[700];
    format_string(line, sizeof line, "%s %s refused: it leads outside its data folder", what,
                  data_name_shown(path.c_str()).c_str());
    console_print(line);
}

}  // namespace

bool data_write_folder_inside(const std::string& target, const char* base)
{
    const size_t base_length = strlen(base);
    if (base_length == 0 || target.compare(0, base_length, base) != 0)
        return false;
    const std::string relative = target.substr(base_length);
    if (!data_name_accept(relative.c_str(), "Write", nullptr))
        return false;
    os_make_parent_folders(base);
    const std::string top = resolved(base);
    std::string folder = base;
    for (size_t from = 0, slash; (slash = relative.find('/', from)) != std::string::npos; from = slash + 1) {
        folder.append(relative, from, slash - from);
        mkdir(folder.c_str(), 0777);   // an existing one is checked as a made one is
        if (!lies_inside(resolved(folder), top)) {
            say_outside("Write to", target);
            return false;
        }
        folder += '/';
    }
    return true;
}

bool data_name_stays_inside(const char* relative, const char* from)
{
    for (int i = 0; const char* base = data_search_dir(i); ++i) {
        const std::string path = std::string(base) + relative;
        struct stat st;
        if (lstat(path.c_str(), &st) != 0)
            continue;
        if (!lies_inside(resolved(path), resolved(base))) {
            say_outside(from, path);
            return false;
        }
    }
    return true;
}
