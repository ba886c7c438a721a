#include "terrain/save_set.h"

#include "foundation/door/data_place.h"
#include "foundation/door/data_write.h"
#include "foundation/door/fresh_file.h"
#include "foundation/door/temp_mark.h"
#include "foundation/front_door.h"

#include <cerrno>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A sealed temporary and the file it replaces, both names in the target's folder, which
// the set holds open (and the temporary locked) from the writer's walk to the end of
// the commit: every step on the
// disk happens within that folder, never by a path that could lead elsewhere by then.
struct pending_file {
    std::string name;        // the target's data name, walked again before the commit
    fresh_file file;         // the sealed temporary, its folder held
};

struct save_set_state {
    bool active = false;
    bool failed = false;
    int files = 0;
    std::vector<pending_file> pending;
} set;

save_set_faults faults;

// Whatever has the name, a link to nothing included: it is kept aside by a hard link
// to the entry itself (or a copy of a regular file or a link, never followed).
bool present(const pending_file& p)
{
    struct stat st;
    return fstatat(p.file.place.folder, p.file.place.leaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
}

int link_call(int from_folder, const char* from, int to_folder, const char* to)
{
    if (faults.link)
        return faults.link(from_folder, from, to_folder, to);
    return linkat(from_folder, from, to_folder, to, 0);
}

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

// The bytes of the regular file from in folder into the new file to, pushed to disk
// before it is closed; nothing at from is followed or left open.
bool copy_bytes(int folder, const std::string& from, int to)
{
    const int in = openat(folder, from.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
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

// Where hard links are refused: a copy of the entry from (in from_folder) under the
// fresh name aside (in to_folder), made as a new file of ours (a link is copied as a
// link). The old file itself stays at its name until its new one is renamed over it,
// so the name is never empty.
bool copy_aside(int from_folder, const std::string& from, int to_folder, const std::string& aside)
{
    struct stat st;
    if (fstatat(from_folder, from.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return false;
    if (S_ISLNK(st.st_mode)) {
        std::string to(size_t(st.st_size) + 1, '\0');
        const ssize_t n = readlinkat(from_folder, from.c_str(), to.data(), to.size());
        if (n < 0 || size_t(n) >= to.size())
            return false;
        to.resize(size_t(n));
        return symlinkat(to.c_str(), to_folder, aside.c_str()) == 0;
    }
    if (!S_ISREG(st.st_mode)) {
        errno = EINVAL;
        return false;
    }
    const int out = openat(to_folder, aside.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (out < 0)
        return false;
    const bool copied = copy_bytes(from_folder, from, out);
    if (close(out) == 0 && copied)
        return true;
    unlinkat(to_folder, aside.c_str(), 0);
    errno = EIO;
    return false;
}

// A second name for the entry from (in from's folder) under a fresh name of our own
// beside p's target. link() makes the new name for the entry itself (a link stays a
// link, nothing is followed) and never replaces what stands at the new name. Where the
// file system refuses hard links the entry is copied aside instead; the log says so
// once.
bool keep_aside(const pending_file& from_file, const std::string& from, const pending_file& p, std::string& aside)
{
    bool copy = false;
    const int folder = p.file.place.folder;
    const int from_folder = from_file.file.place.folder;
    for (int tries = 0; tries < 64; ++tries) {
        aside = temp_mark_leaf(p.file.place.leaf);
        int made = -1;
        if (copy)
            made = copy_aside(from_folder, from, folder, aside) ? 0 : -1;
        else
            made = link_call(from_folder, from.c_str(), folder, aside.c_str());
        if (made == 0)
            return true;
        if (!copy && links_refused(errno)) {
            copy = true;
            --tries;
            if (!said_no_links) {
                said_no_links = true;
                const std::string& shown = p.file.place.target;
                const std::string line = "No hard links in '" +
                                         shown.substr(0, shown.size() - p.file.place.leaf.size() - 1) +
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

void close_pending()
{
    for (pending_file& p : set.pending) {
        data_place_close(p.file.place);
        if (p.file.hold >= 0)
            close(p.file.hold);
    }
    set.pending.clear();
}

// What a stop leaves: the temporaries and kept files stay where they are, as after a
// kill, for the next save to sweep away.
int save_set_crash()
{
    close_pending();
    set.active = false;
    return 0;
}

// The entry before k with the same target (its file stands there when k goes in), or
// k itself when there is none.
size_t earlier_same_target(size_t k)
{
    for (size_t j = k; j-- > 0;)
        if (set.pending[j].name == set.pending[k].name)
            return j;
    return k;
}

// Whether the faults make the current file fail at stage.
bool faulty(int stage)
{
    return faults.fail_file != 0 && set.files == faults.fail_file && faults.fail_stage == stage;
}

// The test switch's crash: true once the given number of steps have been taken.
bool crashed(int& steps)
{
    return faults.stop_after >= 0 && steps++ >= faults.stop_after;
}

}  // namespace

void save_set_begin()
{
    set.active = true;
    set.failed = false;
    set.files = 0;
    close_pending();
}

int save_set_active()
{
    return set.active ? 1 : 0;
}

int save_set_open(const std::string& name, fresh_file* w)
{
    set.files += 1;
    if (faulty(0))
        return 0;
    return fresh_file_open(name.c_str(), w);
}

int save_set_add(const std::string& name, fresh_file* w, bool wrote)
{
    if (!fresh_file_seal(w, wrote && !faulty(1)))
        return 0;
    set.pending.push_back({name, *w});
    w->place.folder = -1;   // the set holds it now, and its lock
    w->hold = -1;
    return 1;
}

void save_set_fail()
{
    set.failed = true;
}

void save_set_abandon()
{
    for (const pending_file& p : set.pending)
        data_place_unlink(p.file.place, p.file.temp_leaf);
    close_pending();
    set.active = false;
}

int save_set_commit()
{
    if (set.failed) {
        save_set_abandon();
        return 0;
    }
    if (faults.at_commit)
        faults.at_commit();
    // Each folder the writers walked to must still stand at its name, reached through
    // no link: a folder swapped since (for a link, or for another folder) takes
    // nothing. The renames then happen within the folders held open, so what was
    // checked is where they land.
    for (const pending_file& p : set.pending)
        if (!data_place_stands(p.name.c_str(), p.file.place)) {
            const std::string line = "Can't open '" + p.file.place.leaf + "'";
            console_print(line.c_str());
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
        const pending_file& p = set.pending[k];
        const size_t before = earlier_same_target(k);
        bool kept = true;
        if (before != k)
            kept = keep_aside(set.pending[before], set.pending[before].file.temp_leaf, p, aside[k]);
        else if (present(p))
            kept = keep_aside(p, p.file.place.leaf, p, aside[k]);
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
        const bool forced = faults.fail_file != 0 && faults.fail_stage == 2 && int(placed) + 1 == faults.fail_file;
        if (forced || !data_place_rename(p.file.place, p.file.temp_leaf)) {
            ok = false;
            failed_at = placed;
        } else {
            ++placed;
        }
    }
    if (!ok) {
        const std::string line = "Can't open '" + set.pending[failed_at].file.place.leaf + "'";
        console_print(line.c_str());
    }
    // Back to the old files when a rename failed: each kept file over its target in
    // one step; a target that had none loses the new file.
    for (size_t k = placed; !ok && k-- > 0;) {
        if (crashed(steps))
            return save_set_crash();
        // A kept file that cannot go back stays under its own name rather than be lost.
        const data_place& place = set.pending[k].file.place;
        if (!aside[k].empty())
            renameat(place.folder, aside[k].c_str(), place.folder, place.leaf.c_str());
        else
            unlinkat(place.folder, place.leaf.c_str(), 0);
        aside[k].clear();
    }
    for (size_t k = 0; k < aside.size(); ++k) {
        if (aside[k].empty())
            continue;
        if (crashed(steps))
            return save_set_crash();
        data_place_unlink(set.pending[k].file.place, aside[k]);
    }
    save_set_abandon();
    return ok ? 1 : 0;
}

void save_set_test_faults(const save_set_faults& set_faults)
{
    faults = set_faults;
}
