#include "foundation/door/data_place.h"

#include "foundation/door/data_name.h"
#include "foundation/door/door_faults.h"
#include "foundation/door/search_folders.h"
#include "foundation/front_door.h"
#include "foundation/os_paths.h"
#include "foundation/text/text_util.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

void refuse(const std::string& target, const std::string& why, bool quiet)
{
    if (quiet)
        return;
    char line[1400];
    format_string(line, sizeof line, "Write to %s refused: %s", data_name_shown(target.c_str()).c_str(),
                  data_name_shown(why.c_str()).c_str());
    console_print(line);
}

std::string system_reason(const char* what, const std::string& path, int error)
{
    return std::string(what) + " " + path + ": " + strerror(error);
}

// A player's own path: its folder opened as named, links and all, made when missing.
bool open_given(const char* name, data_place& place, bool quiet)
{
    const std::string path = name;
    const size_t slash = path.rfind('/');
    place.leaf = path.substr(slash + 1);
    place.target = path;
    if (place.leaf.empty() || place.leaf == "." || place.leaf == "..") {
        refuse(path, "it names a folder", quiet);
        return false;
    }
    const std::string folder = slash == 0 ? "/" : path.substr(0, slash);
    if (path.size() <= kMakeFoldersPathMax)
        os_make_parent_folders(path.c_str());
    place.folder = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (place.folder < 0) {
        refuse(path, system_reason("can't open the folder", folder, errno), quiet);
        return false;
    }
    return true;
}

// The user folder, open; made when missing. Links to it are fine: the player chose it.
int open_user_folder_fd(const char* base, const std::string& target, bool quiet)
{
    int fd = open(base, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT) {
        os_make_parent_folders(base);
        fd = open(base, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    }
    if (fd < 0)
        refuse(target, system_reason("can't open the user folder", base, errno), quiet);
    return fd;
}

// One folder below fd, never a link; made when missing. -1 with why set.
int step_down(int fd, const std::string& component, const std::string& shown, std::string& why)
{
    door_before_open(shown);
    const int flags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
    int next = openat(fd, component.c_str(), flags);
    if (next < 0 && errno == ENOENT) {
        if (mkdirat(fd, component.c_str(), 0777) != 0 && errno != EEXIST) {
            why = system_reason("can't make the folder", shown, errno);
            return -1;
        }
        next = openat(fd, component.c_str(), flags);
    }
    if (next >= 0)
        return next;
    const int error = errno;
    struct stat st;
    if (fstatat(fd, component.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode))
        why = "a link stands on the way at " + shown;
    else if (error == ENOTDIR)
        why = shown + " is not a folder";
    else
        why = system_reason("can't open the folder", shown, error);
    return -1;
}

}  // namespace

bool data_place_open(const char* name, data_place& place, bool quiet, bool any_target)
{
    data_place_close(place);
    place = data_place{};
    if (!name || !*name)
        return false;
    const char* base = user_data_folder();
    if (name[0] == '/' && !data_in_user_folder(name))
        return open_given(name, place, quiet);

    // Exactly one leading "@" marks a data name; the rest is the name.
    const char* raw = name[0] == '/' ? data_user_relative(name) : name[0] == '@' ? name + 1 : name;
    std::string relative;
    if (!data_name_accept(raw, "Write", &relative))
        return false;
    if (!base) {
        data_say_no_user_folder();
        return false;
    }
    place.own = true;
    place.target = std::string(base) + relative;
    if (place.target.size() > kDataPathMax) {
        refuse(place.target.substr(0, 300) + "...", "the path would be longer than 511 characters", quiet);
        return false;
    }
    int fd = open_user_folder_fd(base, place.target, quiet);
    std::string shown = base;
    size_t from = 0;
    for (size_t slash; fd >= 0 && (slash = relative.find('/', from)) != std::string::npos; from = slash + 1) {
        const std::string component = relative.substr(from, slash - from);
        shown += component;
        std::string why;
        const int next = step_down(fd, component, shown, why);
        close(fd);
        fd = next;
        if (fd < 0)
            refuse(place.target, why, quiet);
        shown += '/';
    }
    if (fd < 0)
        return false;
    place.leaf = relative.substr(from);
    struct stat st;
    if (!any_target && fstatat(fd, place.leaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode)) {
        refuse(place.target, "a folder stands there", quiet);
        close(fd);
        return false;
    }
    place.folder = fd;
    return true;
}

void data_place_close(data_place& place)
{
    if (place.folder >= 0)
        close(place.folder);
    place.folder = -1;
}

bool data_place_stands(const char* name, const data_place& place)
{
    data_place now;
    struct stat walked, held;
    const bool same = data_place_open(name, now) && fstat(now.folder, &walked) == 0 &&
                      fstat(place.folder, &held) == 0 && walked.st_dev == held.st_dev && walked.st_ino == held.st_ino;
    data_place_close(now);
    return same;
}

name_holds data_place_what_stands(const char* name)
{
    data_place place;
    if (!data_place_open(name, place, true, true))
        return name_holds::other;
    struct stat st;
    name_holds holds = name_holds::other;
    if (fstatat(place.folder, place.leaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        holds = errno == ENOENT ? name_holds::nothing : name_holds::other;
    else if (S_ISREG(st.st_mode))
        holds = name_holds::file;
    data_place_close(place);
    return holds;
}
