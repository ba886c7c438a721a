#include "foundation/door/download.h"

#include "foundation/door/door_faults.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <strings.h>

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

constexpr const char* kGameFolders[] = {"demos", "setups", "keycam", "series", "outgoing"};
constexpr const char* kWrittenFolders[] = {"demos", "setups", "keycam", "series"};

template <size_t n>
bool one_of(const char* const (&names)[n], const std::string& name)
{
    return std::any_of(std::begin(names), std::end(names), [&name](const char* own) { return name == own; });
}

// The next component of path from at, its end in *end; empty ones and "." skipped.
std::string next_component(const std::string& path, size_t& at)
{
    for (;;) {
        const size_t slash = std::min(path.find('/', at), path.size());
        std::string component = path.substr(at, slash - at);
        at = slash + (slash < path.size() ? 1 : 0);
        if ((!component.empty() && component != ".") || at >= path.size())
            return component == "." ? std::string() : component;
    }
}

// The walk for kernels without openat2: no link is followed at all.
int open_walking(int dir, const std::string& rest, int flags)
{
    int fd = dup(dir);
    size_t at = 0;
    while (fd >= 0 && at < rest.size()) {
        const std::string component = next_component(rest, at);
        if (component.empty())
            break;
        if (component == "..") {
            close(fd);
            errno = EXDEV;
            return -1;
        }
        const bool last = at >= rest.size();
        const int next = openat(fd, component.c_str(),
                                (last ? flags : O_PATH | O_DIRECTORY) | O_NOFOLLOW | O_CLOEXEC);
        int error = errno;
        struct stat st;
        // A link met where a folder is asked for says ENOTDIR: it is told as the link.
        if (next < 0 && error == ENOTDIR && fstatat(fd, component.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISLNK(st.st_mode))
            error = ELOOP;
        close(fd);
        errno = error;
        fd = next;
    }
    struct stat st;
    // An O_PATH open with O_NOFOLLOW hands back the link itself.
    if (fd >= 0 && (flags & O_PATH) && fstat(fd, &st) == 0 && S_ISLNK(st.st_mode)) {
        close(fd);
        errno = ELOOP;
        return -1;
    }
    return fd;
}

}  // namespace

size_t download_length(const char* relative)
{
    const char* slash = strchr(relative, '/');
    if (slash && slash - relative == 6 && strncmp(relative, "tracks", 6) == 0)
        slash = strchr(slash + 1, '/');
    return slash ? size_t(slash - relative) : strlen(relative);
}

bool download_is_tracks_folder(const std::string& name)
{
    return name == "tracks";
}

bool download_is_game_folder(const std::string& name)
{
    return one_of(kGameFolders, name);
}

bool download_is_written_folder(const std::string& name)
{
    return one_of(kWrittenFolders, name);
}

const char* download_case_twin(const std::string& name)
{
    if (strcasecmp(name.c_str(), "tracks") == 0 && name != "tracks")
        return "tracks";
    for (const char* own : kGameFolders)
        if (strcasecmp(name.c_str(), own) == 0 && name != own)
            return own;
    return nullptr;
}

size_t download_track_prefix(const char* name)
{
    if (strncasecmp(name, "tracks/", 7) != 0)
        return 0;
    const char* slash = strchr(name + 7, '/');
    return slash && slash > name + 7 ? size_t(slash - name) + 1 : 0;
}

std::string download_track_folder(const char* name)
{
    const size_t prefix = download_track_prefix(name);
    return prefix ? "tracks/" + std::string(name + 7, prefix - 8) : std::string();
}

long long download_age_at(int dir, const char* name)
{
    struct statx sx;
    if (statx(dir, name, AT_SYMLINK_NOFOLLOW, STATX_BTIME | STATX_CTIME, &sx) != 0)
        return 0;
    const statx_timestamp& t = (sx.stx_mask & STATX_BTIME) ? sx.stx_btime : sx.stx_ctime;
    return (long long)t.tv_sec * 1000000000LL + t.tv_nsec;
}

long long download_age(const std::string& path)
{
    return download_age_at(AT_FDCWD, path.c_str());
}

int download_open_folder(int top, const std::string& relative)
{
    return open_walking(top, relative, O_RDONLY | O_DIRECTORY);
}

int download_open_beneath(int dir, const std::string& rest, int flags)
{
    if (!door_faults_now().without_openat2) {
        open_how how{};
        how.flags = uint64_t(flags | O_CLOEXEC);
        how.resolve = RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS;
        for (int tries = 0; tries < 8; ++tries) {
            const long fd = syscall(SYS_openat2, dir, rest.c_str(), &how, sizeof how);
            if (fd >= 0)
                return int(fd);
            // A rename or mount elsewhere while it resolved: asked again.
            if (errno != EAGAIN)
                break;
        }
        if (errno != ENOSYS && errno != E2BIG)
            return -1;
    }
    return open_walking(dir, rest, flags);
}
