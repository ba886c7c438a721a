#include "foundation/start/user_folder.h"

#include "foundation/door/search_folders.h"
#include "foundation/os_paths.h"

#include <string>

void open_user_folder()
{
    const char* folder = user_data_folder();
    if (!folder)
        return;
    os_make_parent_folders(folder);
    std::string target = folder;
    while (target.size() > 1 && target.back() == '/')
        target.pop_back();
    // xdg-open picks the user's file browser; without it there is nothing to do.
    os_spawn("xdg-open", target.c_str());
}
