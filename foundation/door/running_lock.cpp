#include "foundation/door/running_lock.h"

#include "foundation/door/data_place.h"
#include "foundation/door/search_folders.h"
#include "foundation/front_door.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

namespace {

enum class held { not_asked, none, shared, alone };

int lock_fd = -1;
std::string lock_path;   // what lock_fd has open: a start in another user folder reopens
held state = held::not_asked;
std::string told;        // what the take found, for running_lock_tell
bool other_copy = false;

// The lock file of the current user folder open in lock_fd; false with why in told.
bool open_lock()
{
    data_place place;
    if (!data_place_open("@running.lock", place, true)) {
        told = "Leftovers of stopped writes are kept: no lock file can be had";
        return false;
    }
    const std::string path = place.target;
    if (lock_fd >= 0 && path == lock_path) {
        data_place_close(place);
        return true;
    }
    if (lock_fd >= 0)
        close(lock_fd);
    lock_path.clear();
    // Opened in the folder the door walked to, never through a link; O_NONBLOCK: a
    // pipe planted at the name must not hold the start.
    lock_fd = openat(place.folder, place.leaf.c_str(),
                     O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0644);
    const int error = errno;
    data_place_close(place);
    errno = error;
    struct stat st;
    if (lock_fd >= 0 && (fstat(lock_fd, &st) != 0 || !S_ISREG(st.st_mode))) {
        close(lock_fd);
        lock_fd = -1;
        errno = EINVAL;
    }
    if (lock_fd < 0) {
        told = "Can't open '" + path + "' (" + strerror(errno) + "): leftovers of stopped writes are kept";
        return false;
    }
    lock_path = path;
    return true;
}

// Shared, waiting up to 5 s for a copy that holds it alone to end its sweep.
bool take_shared()
{
    const timespec pause{0, 10 * 1000 * 1000};
    for (int tries = 0; tries < 500; ++tries) {
        if (flock(lock_fd, LOCK_SH | LOCK_NB) == 0) {
            state = held::shared;
            return true;
        }
        if (errno != EWOULDBLOCK && errno != EINTR)
            break;
        nanosleep(&pause, nullptr);
    }
    state = held::none;
    return false;
}

}  // namespace

bool running_lock_take()
{
    told.clear();
    other_copy = false;
    state = held::none;
    if (!data_user_folder_known() || !open_lock())
        return true;
    // On one open file a shared lock becomes the exclusive one when nobody else holds it.
    if (flock(lock_fd, LOCK_EX | LOCK_NB) == 0) {
        state = held::alone;
        return true;
    }
    if (errno != EWOULDBLOCK) {
        told = "Can't lock '" + lock_path + "' (" + strerror(errno) + "): leftovers of stopped writes are kept";
        return true;
    }
    other_copy = true;
    told = "Another copy of the game is running: this copy keeps no log file, and leftovers of stopped writes are kept";
    if (!take_shared())
        told += "; the lock is held by a copy sweeping the user folder, asked again before this copy's first write";
    return false;
}

void running_lock_tell()
{
    if (told.empty())
        return;
    console_print(told.c_str());
    if (other_copy)
        fprintf(stderr, "%s\n", told.c_str());
}

bool running_lock_alone()
{
    return state == held::alone;
}

void running_lock_share()
{
    if (lock_fd < 0 || state == held::shared)
        return;
    // A copy that starts while this one sweeps waits for its sweep to end; a lock that
    // some other program keeps longer is not waited for.
    if (!take_shared())
        console_print(("Can't lock '" + lock_path + "' (" + strerror(errno) + ")").c_str());
}

bool running_lock_for_writing()
{
    if (state != held::none || lock_fd < 0)
        return true;
    if (take_shared())
        return true;
    console_print("Write refused: another copy of the game holds the running lock to sweep the user folder");
    return false;
}

bool running_lock_sweep_begin()
{
    // Without a start (a tool, a test) the lock is asked for here.
    if (state == held::not_asked) {
        state = held::none;
        if (!data_user_folder_known() || !open_lock())
            return false;
    } else if (lock_fd < 0 || state == held::none) {
        return false;
    }
    if (state == held::alone)
        return true;
    if (flock(lock_fd, LOCK_EX | LOCK_NB) == 0) {
        state = held::alone;
        return true;
    }
    // The failed change let the shared lock go: it is taken again.
    take_shared();
    return false;
}
