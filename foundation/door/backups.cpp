#include "foundation/door/backups.h"

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr size_t kBackupPathMax = 1000;
constexpr int kMaxBackups = 9999;
constexpr size_t kCopyBlock = 65536;

bool copy_fd(int from, int to)
{
    std::vector<unsigned char> block(kCopyBlock);
    for (;;) {
        const ssize_t got = read(from, block.data(), block.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return got == 0;
        for (ssize_t put = 0; put < got;) {
            const ssize_t n = write(to, block.data() + put, size_t(got - put));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            put += n;
        }
    }
}

}  // namespace

bool backup_in_folder(int folder, const std::string& leaf)
{
    // The file itself, never through a link, and never a pipe.
    const int existing = openat(folder, leaf.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (existing < 0)
        return errno == ENOENT || errno == ELOOP;
    struct stat st;
    bool made = fstat(existing, &st) == 0 && !S_ISREG(st.st_mode);
    for (int d = 1; d <= kMaxBackups && !made; ++d) {
        const std::string name = leaf + ".~" + std::to_string(d) + "~";
        const int backup = openat(folder, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (backup < 0) {
            if (errno == EEXIST)
                continue;
            break;
        }
        made = copy_fd(existing, backup);
        if (close(backup) != 0)
            made = false;
        if (!made)
            unlinkat(folder, name.c_str(), 0);   // no half-made backup is left behind
        break;
    }
    close(existing);
    return made;
}

FILE* open_with_backup(const char* path, const char* mode)
{
    if (mode[0] != '~')
        return fopen(path, mode);
    if (strlen(path) > kBackupPathMax)
        return nullptr;
    const char* slash = strrchr(path, '/');
    const std::string folder_path = !slash ? "." : slash == path ? "/" : std::string(path, slash);
    const int folder = open(folder_path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const bool backed_up = folder >= 0 && backup_in_folder(folder, slash ? slash + 1 : path);
    if (folder >= 0)
        close(folder);
    return backed_up ? fopen(path, mode + 1) : nullptr;
}
