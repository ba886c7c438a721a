#include "foundation/door/download.h"

#include "foundation/door/door_faults.h"
#include "foundation/door/search_folders.h"
#include "platform/qorl_log.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <climits>
#include <cstring>
#include <deque>
#include <vector>
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

// A folder's path from the top, one component at a time, following no link at all: the
// way to a download's folder, where a link would make another download's files this
// one's.
int open_without_links(int dir, const std::string& rest, int flags)
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
    return fd;
}

// The links one name may pass through, as the kernel counts them.
constexpr int kMaxLinks = 40;

// The folders a walk beneath a download stands in, the download's own first; closed
// when the walk ends.
struct walked_folders {
    std::vector<int> fds;
    ~walked_folders()
    {
        const int error = errno;
        for (int fd : fds)
            close(fd);
        errno = error;
    }
    int fail(int error)
    {
        errno = error;
        return -1;
    }
};

// The link at component of the open folder dir, held open as the link itself, or -1
// when none stands there.
int link_at(int dir, const std::string& component)
{
    const int fd = openat(dir, component.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
    struct stat st;
    if (fd >= 0 && fstat(fd, &st) == 0 && S_ISLNK(st.st_mode))
        return fd;
    if (fd >= 0)
        close(fd);
    return -1;
}

// rest opened beneath the open folder dir as openat2 with RESOLVE_BENEATH opens it, for
// kernels and filters that refuse openat2, so that one download reads the same on
// every kernel: one component at a time, each link read and its target walked in its
// place, an absolute target or a ".." above dir refused (EXDEV), and more than
// kMaxLinks links refused (ELOOP). Each link is read from the entry that was looked
// at, held open, never by its name again.
int open_beneath_walking(int dir, const std::string& rest, int flags)
{
    walked_folders walked;
    const int first = dup(dir);
    if (first < 0)
        return -1;
    walked.fds.push_back(first);
    std::deque<std::string> todo;
    for (size_t at = 0; at < rest.size();)
        if (std::string c = next_component(rest, at); !c.empty())
            todo.push_back(std::move(c));
    int links = 0;
    while (!todo.empty()) {
        const std::string component = std::move(todo.front());
        todo.pop_front();
        if (component == "..") {
            if (walked.fds.size() == 1)
                return walked.fail(EXDEV);
            close(walked.fds.back());
            walked.fds.pop_back();
            continue;
        }
        const int here = walked.fds.back();
        const bool last = todo.empty();
        int fd = openat(here, component.c_str(), (last ? flags : O_PATH | O_DIRECTORY) | O_NOFOLLOW | O_CLOEXEC);
        const int error = errno;
        int link = -1;
        struct stat st;
        if (fd >= 0 && last && (flags & O_PATH) && fstat(fd, &st) == 0 && S_ISLNK(st.st_mode)) {
            link = fd;   // an O_PATH open with O_NOFOLLOW hands back the link itself
            fd = -1;
        } else if (fd < 0 && (error == ELOOP || error == ENOTDIR || error == EMLINK)) {
            link = link_at(here, component);
        }
        if (fd >= 0) {
            if (last)
                return fd;
            walked.fds.push_back(fd);
            continue;
        }
        if (link < 0)
            return walked.fail(error);
        char target[PATH_MAX];
        const ssize_t n = (last && (flags & O_NOFOLLOW)) || ++links > kMaxLinks
                              ? -2
                              : readlinkat(link, "", target, sizeof target);
        const int read_error = errno;
        close(link);
        if (n == -2)
            return walked.fail(ELOOP);
        if (n < 0)
            return walked.fail(read_error);
        if (n == 0 || size_t(n) >= sizeof target)
            return walked.fail(n == 0 ? ENOENT : ENAMETOOLONG);
        if (target[0] == '/')
            return walked.fail(EXDEV);
        const std::string to(target, size_t(n));
        std::vector<std::string> parts;
        for (size_t at = 0; at < to.size();)
            if (std::string c = next_component(to, at); !c.empty())
                parts.push_back(std::move(c));
        todo.insert(todo.begin(), parts.begin(), parts.end());
    }
    // The name ends at a folder walked to (".", or a link to one): that folder, opened
    // as asked.
    return openat(walked.fds.back(), ".", flags | O_CLOEXEC);
}

long open_beneath_kernel(int dir, const std::string& rest, int flags)
{
    if (const int answer = door_faults_now().openat2_answer) {
        errno = answer;
        return -1;
    }
    open_how how{};
    how.flags = uint64_t(flags | O_CLOEXEC);
    how.resolve = RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS;
    return syscall(SYS_openat2, dir, rest.c_str(), &how, sizeof how);
}

// Which read step this run uses beneath downloads, and the openat2 answer it was
// chosen under: the kernel's (0), or the one a test set.
enum class read_step { unknown, openat2, walk };
read_step chosen = read_step::unknown;
int chosen_under = 0;

read_step the_read_step(bool tell = false)
{
    const int answer = door_faults_now().openat2_answer;
    if (chosen != read_step::unknown && chosen_under == answer)
        return chosen;
    const char* user = user_data_folder();
    const int top = user ? open(user, O_PATH | O_DIRECTORY | O_CLOEXEC) : -1;
    if (top < 0)
        return read_step::openat2;   // nothing to read beneath yet: asked again later
    const long fd = open_beneath_kernel(top, ".", O_PATH | O_DIRECTORY);
    const int error = errno;
    close(top);
    chosen_under = answer;
    if (fd >= 0) {
        close(int(fd));
        chosen = read_step::openat2;
        if (tell)
            qorl_log("Reads beneath downloads use openat2\n");
    } else {
        // Whatever refuses openat2 on the user folder itself (ENOSYS on an older kernel,
        // EPERM or EACCES from a filter, EOPNOTSUPP, E2BIG) would refuse every read
        // beneath it: the walk gives the same answers without it.
        chosen = read_step::walk;
        const char* name = strerrorname_np(error);
        if (tell)
            qorl_log("Reads beneath downloads walk one name at a time: openat2 answered %s\n", name ? name : "an error");
    }
    return chosen;
}

}  // namespace

download_name download_of(const char* name)
{
    // The loose files of the top, and of "tracks", are charged together: the key is
    // the folder they lie in.
    download_name d{download_kind::top_file, 0, 0, 0, name};
    const char* slash = strchr(name, '/');
    if (!slash)
        return d;
    if (slash - name != 6 || strncasecmp(name, "tracks", 6) != 0) {
        d.kind = download_kind::top_folder;
        d.key = size_t(slash - name);
        return d;
    }
    const char* inner = strchr(slash + 1, '/');
    d.spelt_from = 7;
    d.spelt_to = inner ? size_t(inner - name) : strlen(name);
    if (inner && inner > slash + 1) {
        d.kind = download_kind::track;
        d.key = d.spelt_to;
    } else {
        d.kind = download_kind::tracks_file;
        d.key = 6;
    }
    return d;
}

std::string download_name::track() const
{
    if (kind != download_kind::track)
        return {};
    return "tracks/" + std::string(name + spelt_from, spelt_to - spelt_from);
}

bool download_is_archive(const char* name)
{
    const size_t n = strlen(name);
    return n > 4 && strcasecmp(name + n - 4, ".saf") == 0;
}

std::string download_of_entries(const char* archive_name)
{
    const download_name d = download_of(archive_name);
    return d.kind == download_kind::track ? std::string(archive_name, d.key) : std::string(archive_name);
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
    return open_without_links(top, relative, O_RDONLY | O_DIRECTORY);
}

int download_open_beneath(int dir, const std::string& rest, int flags)
{
    if (the_read_step() == read_step::openat2) {
        for (int tries = 0; tries < 8; ++tries) {
            const long fd = open_beneath_kernel(dir, rest, flags);
            if (fd >= 0)
                return int(fd);
            // A rename or mount elsewhere while it resolved: asked again.
            if (errno != EAGAIN)
                break;
        }
        if (errno != ENOSYS && errno != E2BIG)
            return -1;
    }
    return open_beneath_walking(dir, rest, flags);
}

void download_choose_read_step()
{
    chosen = read_step::unknown;
    the_read_step(true);
}
