#include "foundation/os_paths.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

extern char** environ;

namespace {

// A nice value of -10 is the closest match to a "high" priority class: above every
// ordinary program, well below the real-time classes.
constexpr int kHighNice = -10;

const char* non_empty_env(const char* name)
{
    const char* value = getenv(name);
    return value && *value ? value : nullptr;
}

}  // namespace

bool os_local_data_folder(std::string& out)
{
    // Relative values are invalid by the XDG rules and would depend on the current folder.
    if (const char* xdg = non_empty_env("XDG_DATA_HOME"); xdg && xdg[0] == '/') {
        out = xdg;
        return true;
    }
    if (const char* home = non_empty_env("HOME")) {
        out = std::string(home) + "/.local/share";
        return true;
    }
    return false;
}

bool os_program_folder(std::string& out)
{
    std::vector<char> buffer(PATH_MAX);
    ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
    // A full buffer may be a cut name: better no folder than a wrong one.
    if (n <= 0 || static_cast<size_t>(n) >= buffer.size())
        return false;
    std::string path(buffer.data(), static_cast<size_t>(n));
    size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return false;
    out = path.substr(0, slash);
    return true;
}

void os_make_parent_folders(const char* path)
{
    std::string prefix;
    for (const char* p = path; *p; ++p) {
        if (*p == '/' && !prefix.empty() && prefix.back() != '/')
            mkdir(prefix.c_str(), 0777);
        prefix += *p;
    }
}

bool os_spawn(const char* program, const char* argument)
{
    char* argv[] = {const_cast<char*>(program), const_cast<char*>(argument), nullptr};
    pid_t pid = 0;
    return posix_spawnp(&pid, program, nullptr, nullptr, argv, environ) == 0;
}

uint64_t os_total_memory()
{
    long pages = sysconf(_SC_PHYS_PAGES);
    long page_size = sysconf(_SC_PAGE_SIZE);
    if (pages <= 0 || page_size <= 0)
        return 0;
    return static_cast<uint64_t>(pages) * static_cast<uint64_t>(page_size);
}

bool os_raise_priority()
{
    // getpriority may legitimately answer -1, so errno tells a failure apart.
    errno = 0;
    int current = getpriority(PRIO_PROCESS, 0);
    if (errno == 0 && current <= kHighNice)
        return true;  // already at least this high: setting it would lower it
    return setpriority(PRIO_PROCESS, 0, kHighNice) == 0;
}

int os_process_id()
{
    return int(getpid());
}

bool os_flush_to_disk(FILE* file)
{
    return fsync(fileno(file)) == 0;
}

bool os_is_device_or_pipe(const char* path)
{
    struct stat info;
    return stat(path, &info) == 0 && !S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode);
}

bool os_real_path(const char* path, std::string& out)
{
    char* real = realpath(path, nullptr);
    if (!real)
        return false;
    out = real;
    free(real);
    return true;
}

bool os_link_target(const char* path, std::string& out)
{
    struct stat info;
    return lstat(path, &info) == 0 && S_ISLNK(info.st_mode) && os_real_path(path, out);
}

std::string os_from_working_folder(const std::string& path)
{
    if (path.empty() || path[0] == '/' || path[0] == '@')
        return path;
    char* here = getcwd(nullptr, 0);
    const std::string out = here ? std::string(here) + "/" + path : path;
    free(here);
    return out;
}
