#include "foundation/door/data_read.h"

#include "foundation/door/data_name.h"
#include "foundation/door/door_faults.h"
#include "foundation/door/download.h"
#include "foundation/door/search_folders.h"
#include "foundation/front_door.h"
#include "foundation/text/text_util.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

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

// What a name in the user folder is opened beneath: its download's folder, and the
// rest of the name in it. A name that is a download itself (a loose file at the top
// or directly in "tracks", an archive there) is opened in its folder with no link
// followed at all. -1 with errno set when the folder cannot be had.
struct beneath {
    int folder = -1;
    std::string rest;
    bool no_links = false;
};

beneath open_download_of(const std::string& relative)
{
    beneath b;
    const int top = open(user_data_folder(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (top < 0)
        return b;
    const download_name d = download_of(relative.c_str());
    size_t folder_length = d.key;
    if (d.kind == download_kind::top_file || d.kind == download_kind::tracks_file) {
        const size_t slash = relative.rfind('/');
        folder_length = slash == std::string::npos ? 0 : slash;
        b.no_links = true;
    }
    b.folder = download_open_folder(top, relative.substr(0, folder_length));
    const int error = errno;
    close(top);
    errno = error;
    b.rest = relative.substr(folder_length == 0 ? 0 : folder_length + 1);
    return b;
}

// The name opened as asked, in one search folder: in the user folder beneath its
// download, elsewhere as the path stands.
int open_as(const std::string& path, const beneath* b, int flags)
{
    if (!b)
        return open(path.c_str(), flags | O_CLOEXEC);
    if (b->no_links)
        return openat(b->folder, b->rest.c_str(), flags | O_NOFOLLOW | O_CLOEXEC);
    return download_open_beneath(b->folder, b->rest, flags);
}

// What a failed look or open in a search folder found, and its line ("" for none).
read_found failed(int error, bool no_links, const char** why)
{
    static thread_local char reason[200];
    *why = "";
    if (error == ENOENT || error == ENOTDIR)
        return read_found::nothing;
    if (error == EXDEV || (error == ELOOP && no_links)) {
        *why = "a link there leads out of its download";
        return read_found::link_out;
    }
    if (error == ELOOP) {
        *why = "more than 40 links";
        return read_found::link_out;
    }
    format_string(reason, sizeof reason, "could not look at it: %s", strerror(error));
    *why = reason;
    return read_found::unreadable;
}

// The file at path, opened for reading only when it is a regular file: what stands
// there is looked at first without opening it (a link leading out, a device, a pipe
// or an automount is never opened), and then the file opened is checked to be the
// one looked at, by what the descriptor holds. The look is held until then, so the
// file it saw cannot be removed and its inode handed to another in between.
int open_regular(const std::string& path, const beneath* b, read_found* found, const char** why)
{
    *why = "";
    const int look = open_as(path, b, O_PATH);
    if (look < 0) {
        *found = failed(errno, b && b->no_links, why);
        return -1;
    }
    struct stat seen, opened;
    if (fstat(look, &seen) != 0) {
        *found = failed(errno, false, why);
        close(look);
        return -1;
    }
    // A name that is a download of its own is looked at with no link followed: the
    // look hands back the link itself.
    if (S_ISLNK(seen.st_mode)) {
        close(look);
        *found = failed(ELOOP, true, why);
        return -1;
    }
    if (!S_ISREG(seen.st_mode)) {
        close(look);
        // Not data: the reader that asked says it could not read the name.
        *found = S_ISDIR(seen.st_mode) ? read_found::folder : read_found::not_a_file;
        return -1;
    }
    door_before_open(path);
    const int fd = open_as(path, b, O_RDONLY | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        *found = failed(errno, b && b->no_links, why);
        if (*found == read_found::nothing) {
            // It was there a moment ago: what took its place is not the file looked at.
            *found = read_found::unreadable;
            *why = "it changed while it was opened";
        }
        close(look);
        return -1;
    }
    // Another file put at the name since it was looked at is not the one checked.
    const bool same = fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode) && opened.st_dev == seen.st_dev &&
                      opened.st_ino == seen.st_ino;
    close(look);
    if (!same) {
        close(fd);
        *found = read_found::unreadable;
        *why = "it changed while it was opened";
        return -1;
    }
    *found = read_found::file;
    return fd;
}

// The regular file open in fd as a stream: once it is known to be regular, reads wait
// for its bytes as usual. Null (fd closed) when that fails.
FILE* as_stream(int fd, const char* mode)
{
    const int flags = fd >= 0 ? fcntl(fd, F_GETFL) : -1;
    FILE* file = flags >= 0 && fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0 ? fdopen(fd, mode) : nullptr;
    if (!file && fd >= 0)
        close(fd);
    return file;
}

}  // namespace

FILE* data_read_open_own(const char* path, const char* mode)
{
    const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    struct stat st;
    if (fd >= 0 && (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))) {
        close(fd);
        return nullptr;
    }
    return as_stream(fd, mode);
}

FILE* data_read_open(const std::string& relative, int folder, const char* mode, read_found* found)
{
    read_found seen = read_found::nothing;
    if (!found)
        found = &seen;
    *found = read_found::nothing;
    const char* base = data_search_dir(folder);
    std::string path;
    if (!base || !join(path, base, relative))
        return nullptr;
    // The program's own folders are trusted, links and all; in the user folder the
    // name is opened beneath its download, which a link may not leave.
    beneath b;
    const bool user = is_user_folder(folder);
    const char* why = "";
    int fd = -1;
    // A top folder named like one of the game's but for case is no data of the user
    // folder: the listing leaves it out, and no read finds a name in it.
    if (user && download_case_twin(relative.substr(0, relative.find('/'))) && relative.find('/') != std::string::npos)
        return nullptr;
    if (user) {
        b = open_download_of(relative);
        if (b.folder < 0)
            *found = failed(errno, true, &why);
    }
    if (!user || b.folder >= 0)
        fd = open_regular(path, user ? &b : nullptr, found, &why);
    if (b.folder >= 0)
        close(b.folder);
    if (*why)
        say_refused("Read of", path, why);
    return as_stream(fd, mode);
}

bool data_passes_no_link(const char* relative, const char* from)
{
    // Only the user folder binds: the program's own folders are trusted, links and all.
    const char* base = user_data_folder();
    std::string path;
    if (!base || !join(path, base, relative))
        return true;
    const int top = open(base, O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (top < 0)
        return true;
    const int fd = download_open_folder(top, relative);
    const int error = errno;
    close(top);
    if (fd >= 0)
        close(fd);
    if (fd >= 0 || error != ELOOP)
        return true;
    say_refused(from, path, "a link there leads out of its download");
    return false;
}
