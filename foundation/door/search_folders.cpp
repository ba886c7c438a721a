#include "foundation/door/search_folders.h"

#include "foundation/front_door.h"
#include "foundation/memory.h"
#include "foundation/os_paths.h"

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr int kMaxFolders = 2;

int folder_count = -1;
char* folders[kMaxFolders + 1];
bool has_user_folder = false;

void add_folder(const std::string& text)
{
    if (char* folder = copy_collapsing_slashes(text.data(), text.size(), true))
        folders[folder_count++] = folder;
}

void build_folders()
{
    folder_count = 0;
    std::string base;
    if (os_local_data_folder(base)) {
        add_folder(base + "/Brovanta/");
        has_user_folder = folder_count == 1;
    }
    // An empty BV_HOME would make the folder "/", the whole file system.
    const char* home = getenv("BV_HOME");
    if (home && *home)
        add_folder(std::string(home) + "/");
    else if (os_program_folder(base))
        add_folder(base + "/");
    folders[folder_count] = nullptr;
}

}  // namespace

char* copy_collapsing_slashes(const char* text, size_t length, bool backslashes)
{
    char* out = static_cast<char*>(mem_alloc(length + 1));
    if (!out)
        return nullptr;
    size_t n = 0;
    for (size_t i = 0; i < length; ++i) {
        char c = text[i];
        if (backslashes && c == '\\')
            c = '/';
        if (c == '/' && n > 0 && out[n - 1] == '/')
            continue;
        out[n++] = c;
    }
    out[n] = '\0';
    return out;
}

const char* data_search_dir(int index)
{
    if (folder_count < 0)
        build_folders();
    if (index < 0 || index >= folder_count)
        return nullptr;
    return folders[index];
}

int search_folder_count()
{
    if (folder_count < 0)
        build_folders();
    return folder_count;
}

const char* user_data_folder()
{
    if (folder_count < 0)
        build_folders();
    return has_user_folder ? folders[0] : nullptr;
}

void search_folders_free()
{
    for (int i = 0; i < folder_count; ++i) {
        mem_free(folders[i]);
        folders[i] = nullptr;
    }
    folder_count = -1;
    has_user_folder = false;
}

bool search_folder_trusted(int index)
{
    return index != 0 || !user_data_folder();
}

bool data_in_user_folder(const char* path)
{
    return data_user_relative(path) != nullptr;
}

const char* data_user_relative(const char* path)
{
    const char* base = user_data_folder();
    const size_t length = base ? strlen(base) : 0;
    return base && path && strncmp(path, base, length) == 0 ? path + length : nullptr;
}

bool data_user_folder_known()
{
    return user_data_folder() != nullptr;
}

void data_say_no_user_folder()
{
    static bool said = false;
    if (said)
        return;
    said = true;
    console_print("No user folder: neither XDG_DATA_HOME nor HOME names one, so nothing is written or swept");
}
