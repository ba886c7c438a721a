#include "foundation/door/temp_mark.h"

#include "foundation/numbers/mix64.h"
#include "foundation/os_paths.h"
#include "foundation/text/text_util.h"

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr size_t kDigits = 12;
constexpr size_t kTail = kTempMarkLength;
static_assert(kTail == 5 + kDigits, "the mark is \".tmp-\" and its digits");

}  // namespace

std::string temp_mark_leaf(const std::string& leaf)
{
    // The process, a count and the clock, mixed so that consecutive names share no
    // visible pattern: a name nobody could have planted in advance.
    static uint64_t count = 0;
    uint64_t x = uint64_t(std::chrono::steady_clock::now().time_since_epoch().count()) ^
                 (uint64_t(os_process_id()) << 40) ^ (++count * 0x9e3779b97f4a7c15ull);
    x = mix64(x);
    char tail[24];
    snprintf(tail, sizeof tail, ".tmp-%012llx", static_cast<unsigned long long>(x & 0xffffffffffffull));
    // A name cut inside a character is one a file system that checks names refuses.
    return leaf.substr(0, text_cut_length(leaf.c_str(), kTempLeafMax - kTail)) + tail;
}

bool temp_mark_is(const char* name)
{
    const size_t length = strlen(name);
    if (length <= kTail || memcmp(name + length - kTail, ".tmp-", 5) != 0)
        return false;
    for (size_t k = length - kDigits; k < length; ++k)
        if (!((name[k] >= '0' && name[k] <= '9') || (name[k] >= 'a' && name[k] <= 'f')))
            return false;
    return true;
}

void temp_mark_hold(int fd)
{
    flock(fd, LOCK_SH | LOCK_NB);
}

bool temp_mark_sweep(int dir, const char* name)
{
    // The entry itself, never through a link, and without waiting on a pipe. Only what
    // was opened and locked is known to be no write's: one that could not be opened
    // (no descriptors left, no permission) may be a write under way.
    const int fd = openat(dir, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        // A link is removed itself, never what it names.
        struct stat st;
        const bool link = errno == ELOOP && fstatat(dir, name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode);
        return link && unlinkat(dir, name, 0) == 0;
    }
    // A write under way holds its temporary; the hold of a killed one ended with it.
    const bool held = flock(fd, LOCK_EX | LOCK_NB) != 0;
    const bool gone = !held && unlinkat(dir, name, 0) == 0;
    close(fd);
    return gone;
}
