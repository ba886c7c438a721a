// Where a data name lands on disk, and the door's read step (data_door.h): the one
// place that joins names to the search folders and opens what they name for reading.
#include "foundation/data_door.h"
#include "foundation/data_name.h"

#include "foundation/data_paths_internal.h"
#include "foundation/file_index_internal.h"
#include "foundation/front_door.h"
#include "foundation/os_paths.h"
#include "foundation/text_util.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A search folder's resolved path, kept while the folder text stays the same: every
// read checks against it.
const std::string& resolved_folder(int index)
{
    static std::string texts[4], real[4];
    static const std::string none;
    const char* folder = data_search_dir(index);
    if (!folder || index < 0 || index >= 4)
        return none;
    if (real[index].empty() || texts[index] != folder) {
        texts[index] = folder;
        real[index] = data_resolved(folder);
    }
    return real[index];
}

void say_refused(const char* what, const std::string& path, const char* why)
{
    char line[700];
    format_string(line, sizeof line, "%s %s refused: %s", what, data_name_shown(path.c_str()).c_str(), why);
    console_print(line);
}

// folder + name into out; false when the result would be longer than kDataPathMax,
// since a cut path names some other file.
bool join(std::string& out, const char* folder, const std::string& name)
{
    const size_t folder_length = strlen(folder);
    if (folder_length + name.size() > kDataPathMax)
        return false;
    out.assign(folder, folder_length);
    out += name;
    return true;
}

bool is_user_folder(int folder)
{
    return folder == 0 && user_data_folder() != nullptr;
}

// The file an open descriptor holds, every link resolved: what was opened, not what a
// path names now.
std::string opened_file(int fd)
{
    char link[40], real[PATH_MAX];
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t n = readlink(link, real, sizeof real - 1);
    return n > 0 ? std::string(real, size_t(n)) : std::string();
}

// Why the file opened for relative in the user folder is not read, or null: it must
// be the file the name spells, or lie in the same download.
const char* user_folder_refusal(int fd, const std::string& relative)
{
    const std::string& top = resolved_folder(0);
    const std::string real = opened_file(fd);
    const std::string top_slash = top == "/" ? top : top + "/";
    if (real == top_slash + relative)
        return nullptr;
    if (!data_lies_inside(real, top))
        return "it leads outside its data folder";
    if (data_lies_inside(real, top_slash + relative.substr(0, download_length(relative.c_str()))))
        return nullptr;
    return "a link there leads out of its download";
}

}  // namespace

bool data_relative(const char* name, std::string& relative)
{
    return name && !data_name_check(name[0] == '@' ? name + 1 : name, &relative);
}

FILE* data_read_open(const std::string& relative, int folder, const char* mode, bool* refused)
{
    if (refused)
        *refused = false;
    const char* base = data_search_dir(folder);
    std::string path;
    if (!base || !join(path, base, relative))
        return nullptr;
    // Only a regular file is data: Linux opens folders for reading, a device such as
    // "/dev/zero" never ends, and a FIFO would wait for a writer (O_NONBLOCK keeps the
    // open itself from waiting, and is dropped once the file is known to be regular).
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    struct stat st;
    const int flags = fcntl(fd, F_GETFL);
    const char* why = nullptr;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || flags < 0)
        why = "";
    else if (is_user_folder(folder))
        why = user_folder_refusal(fd, relative);
    FILE* file = nullptr;
    if (!why && fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0)
        file = fdopen(fd, mode);
    if (!file)
        close(fd);
    if (why && *why)
        say_refused("Read of", path, why);
    if (refused)
        *refused = why != nullptr;
    return file;
}

void data_say_no_user_folder()
{
    static bool said = false;
    if (said)
        return;
    said = true;
    console_print("No user folder: neither XDG_DATA_HOME nor HOME names one, so nothing is written or swept");
}

bool data_in_user_folder(const char* path)
{
    const char* base = user_data_folder();
    return base && path && strncmp(path, base, strlen(base)) == 0;
}

std::string data_resolved(const std::string& path)
{
    std::string out;
    return os_real_path(path.c_str(), out) ? out : std::string();
}

bool data_lies_inside(const std::string& real, const std::string& top)
{
    if (real.empty() || top.empty())
        return false;
    if (top == "/")
        return true;
    return real.compare(0, top.size(), top) == 0 && (real.size() == top.size() || real[top.size()] == '/');
}

bool data_user_folder_known()
{
    return user_data_folder() != nullptr;
}

bool data_name_stays_inside(const char* relative, const char* from)
{
    // Only the user folder binds: the program's own folders are trusted, links and all.
    std::string path;
    struct stat st;
    const char* base = user_data_folder();
    if (!base || !join(path, base, relative) || lstat(path.c_str(), &st) != 0)
        return true;
    const std::string& top = resolved_folder(0);
    if (data_resolved(path) == (top == "/" ? top : top + "/") + relative)
        return true;
    say_refused(from, path, "a link there leads out of its download");
    return false;
}
