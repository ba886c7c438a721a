#include "terrain/save_set.h"

#include "foundation/fresh_file.h"
#include "foundation/front_door.h"

#include <cerrno>
#include <cstdio>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct pending_file {
    std::string temp;
    std::string target;
};

struct save_set_state {
    bool active = false;
    bool failed = false;
    int files = 0;
    std::vector<pending_file> pending;
} set;

int fail_file = 0;
int fail_stage = 0;
int stop_after = -1;   // steps before a simulated crash; -1 = off

// Whatever has the name, a link to nothing included: it is kept aside by a hard link
// to the entry itself (or a copy of a regular file or a link, never followed).
bool present(const std::string& path)
{
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

int (*link_call)(const char* from, const char* to) = nullptr;   // test seam; null: linkat
bool said_no_links = false;

// What link() says where the file system has no hard links (FAT and exFAT, shares
// without Unix extensions, some FUSE mounts) or will take no more for this file.
bool links_refused(int error)
{
    return error == EPERM || error == EOPNOTSUPP || error == EXDEV || error == EMLINK || error == ENOSYS;
}

bool write_all(int fd, const char* bytes, size_t n)
{
    while (n > 0) {
        const ssize_t put = write(fd, bytes, n);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return false;
        bytes += put;
        n -= size_t(put);
    }
    return true;
}

// The bytes of the regular file at from into the new file at to, pushed to disk before
// it is closed; nothing at from is followed or left open.
bool copy_bytes(const std::string& from, int to)
{
    const int in = open(from.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (in < 0)
        return false;
    struct stat st;
    bool ok = fstat(in, &st) == 0 && S_ISREG(st.st_mode) && fchmod(to, st.st_mode & 0777) == 0;
    char buffer[65536];
    while (ok) {
        const ssize_t got = read(in, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            ok = got == 0;
            break;
        }
        ok = write_all(to, buffer, size_t(got));
    }
    close(in);
    return ok && fsync(to) == 0;
}

// Where hard links are refused: a copy of the entry at from under the fresh name
// aside, made as a new file of ours (a link is copied as a link). The old file itself
// stays at its name until its new one is renamed over it, so the name is never empty.
bool copy_aside(const std::string& from, const std::string& aside)
{
    struct stat st;
    if (lstat(from.c_str(), &st) != 0)
        return false;
    if (S_ISLNK(st.st_mode)) {
        std::string to(size_t(st.st_size) + 1, '\0');
        const ssize_t n = readlink(from.c_str(), to.data(), to.size());
        if (n < 0 || size_t(n) >= to.size())
            return false;
        to.resize(size_t(n));
        return symlink(to.c_str(), aside.c_str()) == 0;
    }
    if (!S_ISREG(st.st_mode)) {
        errno = EINVAL;
        return false;
    }
    const int out = open(aside.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (out < 0)
        return false;
    const bool copied = copy_bytes(from, out);
    if (close(out) == 0 && copied)
        return true;
    remove(aside.c_str());
    errno = EIO;
    return false;
}

// A second name for the entry at from under a fresh name of our own beside target.
// link() makes the new name for the entry itself (a link stays a link, nothing is
// followed) and never replaces what stands at the new name. Where the file system
// refuses hard links the entry is copied aside instead; the log says so once.
bool keep_aside(const std::string& from, const std::string& target, std::string& aside)
{
    bool copy = false;
    for (int tries = 0; tries < 64; ++tries) {
        aside = fresh_file_name(target);
        int made = -1;
        if (copy)
            made = copy_aside(from, aside) ? 0 : -1;
        else
            made = link_call ? link_call(from.c_str(), aside.c_str())
                             : linkat(AT_FDCWD, from.c_str(), AT_FDCWD, aside.c_str(), 0);
        if (made == 0)
            return true;
        if (!copy && links_refused(errno)) {
            copy = true;
            --tries;
            if (!said_no_links) {
                said_no_links = true;
                const size_t slash = target.find_last_of('/');
                const std::string line = "No hard links in '" +
                                         target.substr(0, slash == std::string::npos ? 0 : slash) +
                                         "': a save keeps a copy of each old file aside";
                console_print(line.c_str());
            }
            continue;
        }
        if (errno != EEXIST)
            break;
    }
    aside.clear();
    return false;
}

// What a stop leaves: the temporaries and kept files stay where they are, as after a
// kill, for the next save to sweep away.
int save_set_crash()
{
    set.pending.clear();
    set.active = false;
    return 0;
}

// The entry before k with the same target (its file stands there when k goes in), or
// k itself when there is none.
size_t earlier_same_target(size_t k)
{
    for (size_t j = k; j-- > 0;)
        if (set.pending[j].target == set.pending[k].target)
            return j;
    return k;
}

// The test switch's crash: true once the given number of steps have been taken.
bool crashed(int& steps)
{
    return stop_after >= 0 && steps++ >= stop_after;
}

}  // namespace

void save_set_begin()
{
    set.active = true;
    set.failed = false;
    set.files = 0;
    set.pending.clear();
}

int save_set_active()
{
    return set.active ? 1 : 0;
}

int save_set_file_starts()
{
    set.files += 1;
    return fail_file != 0 && set.files == fail_file ? fail_stage : -1;
}

void save_set_add(const std::string& temp, const std::string& target)
{
    set.pending.push_back({temp, target});
}

void save_set_fail()
{
    set.failed = true;
}

void save_set_abandon()
{
    for (const pending_file& p : set.pending)
        remove(p.temp.c_str());
    set.pending.clear();
    set.active = false;
}

int save_set_commit()
{
    if (set.failed) {
        save_set_abandon();
        return 0;
    }
    // The old files stay under second names of their own until every new one is in
    // place, and each new one arrives by a rename over its target: at every moment
    // each name holds a whole file, the old or the new, whenever the game stops. A
    // failure renames the kept files back, each in one step. The renames follow one
    // another with nothing between them.
    //
    // A target named twice goes through the earlier file on the way to the later one;
    // what the later one replaces is that earlier file, so that one is what is kept
    // for it (a second name for the temporary, taken before anything is replaced) and
    // what a failure puts back first.
    //
    // Where the file system refuses hard links, the kept file is a copy made before
    // anything is replaced, so the steps are the same and the name is never empty.
    std::vector<std::string> aside(set.pending.size());
    bool ok = true;
    int steps = 0;
    size_t failed_at = 0;
    for (size_t k = 0; k < set.pending.size() && ok; ++k) {
        if (crashed(steps))
            return save_set_crash();
        const std::string& target = set.pending[k].target;
        const size_t before = earlier_same_target(k);
        bool kept = true;
        if (before != k)
            kept = keep_aside(set.pending[before].temp, target, aside[k]);
        else if (present(target))
            kept = keep_aside(target, target, aside[k]);
        if (!kept) {
            ok = false;
            failed_at = k;
        }
    }
    size_t placed = 0;   // new files renamed in
    while (ok && placed < set.pending.size()) {
        if (crashed(steps))
            return save_set_crash();
        const pending_file& p = set.pending[placed];
        const bool forced = fail_file != 0 && fail_stage == 2 && int(placed) + 1 == fail_file;
        if (forced || rename(p.temp.c_str(), p.target.c_str()) != 0) {
            ok = false;
            failed_at = placed;
        } else {
            ++placed;
        }
    }
    if (!ok) {
        const std::string& target = set.pending[failed_at].target;
        const size_t slash = target.find_last_of('/');
        const std::string line = "Can't open '" + target.substr(slash == std::string::npos ? 0 : slash + 1) + "'";
        console_print(line.c_str());
    }
    // Back to the old files when a rename failed: each kept file over its target in
    // one step; a target that had none loses the new file.
    for (size_t k = placed; !ok && k-- > 0;) {
        if (crashed(steps))
            return save_set_crash();
        // A kept file that cannot go back stays under its own name rather than be lost.
        if (!aside[k].empty())
            rename(aside[k].c_str(), set.pending[k].target.c_str());
        else
            remove(set.pending[k].target.c_str());
        aside[k].clear();
    }
    for (const std::string& name : aside) {
        if (name.empty())
            continue;
        if (crashed(steps))
            return save_set_crash();
        remove(name.c_str());
    }
    save_set_abandon();
    return ok ? 1 : 0;
}

void save_set_test_fail(int k, int stage)
{
    fail_file = k;
    fail_stage = stage;
}

void save_set_test_stop(int steps)
{
    stop_after = steps;
}

void save_set_test_link(int (*link_fn)(const char* from, const char* to))
{
    link_call = link_fn;
}
