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
    const size_t download = download_length(relative.c_str());
    size_t folder_length = download;
    if (download == relative.size()) {
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

// Why a failed open in the user folder is a refusal, or null when nothing is there.
const char* refusal(int error, bool no_links)
{
    if (error == EXDEV || (error == ELOOP && no_links))
        return "a link there leads out of its download";
    if (error == ELOOP)
        return "a link there is not followed: this system cannot tell where it leads";
    if (error == ENOTDIR)
        return "";
    return nullptr;
}

// The file at path, opened for reading only when it is a regular file: what stands
// there is looked at first without opening it (a link leading out, a device, a pipe
// or an automount is never opened), and then the file opened is checked to be the
// one looked at, by what the descriptor holds. -1 with *why set when something stands
// there that is not read ("" for no line).
int open_regular(const std::string& path, const beneath* b, const char** why)
{
    *why = nullptr;
    const int look = open_as(path, b, O_PATH);
    if (look < 0) {
        *why = b ? refusal(errno, b->no_links) : nullptr;
        return -1;
    }
    struct stat seen, opened;
    const bool regular = fstat(look, &seen) == 0 && S_ISREG(seen.st_mode);
    close(look);
    if (!regular) {
        *why = "";
        return -1;
    }
    door_before_open(path);
    const int fd = open_as(path, b, O_RDONLY | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        *why = b ? refusal(errno, b->no_links) : nullptr;
        return -1;
    }
    // Another file put at the name since it was looked at is not the one checked.
    if (fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode) || opened.st_dev != seen.st_dev ||
        opened.st_ino != seen.st_ino) {
        close(fd);
        *why = "it changed while it was opened";
        return -1;
    }
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

FILE* data_read_open(const std::string& relative, int folder, const char* mode, bool* refused)
{
    if (refused)
        *refused = false;
    const char* base = data_search_dir(folder);
    std::string path;
    if (!base || !join(path, base, relative))
        return nullptr;
    // The program's own folders are trusted, links and all; in the user folder the
    // name is opened beneath its download, which a link may not leave.
    beneath b;
    const bool user = is_user_folder(folder);
    if (user) {
        b = open_download_of(relative);
        if (b.folder < 0) {
            const char* why = refusal(errno, true);
            if (why && *why)
                say_refused("Read of", path, why);
            if (refused)
                *refused = why != nullptr;
            return nullptr;
        }
    }
    const char* why = nullptr;
    const int fd = open_regular(path, user ? &b : nullptr, &why);
    if (b.folder >= 0)
        close(b.folder);
    FILE* file = as_stream(fd, mode);
    if (why && *why)
        say_refused("Read of", path, why);
    if (refused)
        *refused = why != nullptr;
    return file;
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
