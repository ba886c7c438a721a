#include "foundation/running_lock.h"

#include "foundation/data_door.h"
#include "foundation/front_door.h"

#include <cerrno>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

namespace {

int lock_fd = -1;
std::string lock_path;   // what lock_fd has open: a start in another user folder reopens

void say(const std::string& line)
{
    console_print(line.c_str());
}

// The lock file of the current user folder open in lock_fd; false with one line.
bool open_lock()
{
    data_place place;
    if (!data_place_open("@running.lock", place)) {
        say("Leftovers of stopped writes are kept: no lock file can be had");
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
    lock_fd = openat(place.folder, place.leaf.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644);
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
        say("Can't open '" + path + "' (" + strerror(errno) + "): leftovers of stopped writes are kept");
        return false;
    }
    lock_path = path;
    return true;
}

}  // namespace

bool running_lock_alone()
{
    if (!open_lock())
        return false;
    // On one open file a shared lock becomes the exclusive one when nobody else holds it.
    if (flock(lock_fd, LOCK_EX | LOCK_NB) == 0)
        return true;
    if (errno == EWOULDBLOCK)
        say("Another copy of the game is running: leftovers of stopped writes are kept");
    else
        say("Can't lock '" + lock_path + "' (" + strerror(errno) + "): leftovers of stopped writes are kept");
    return false;
}

void running_lock_share()
{
    if (lock_fd < 0)
        return;
    // A copy that starts while this one sweeps waits here for its sweep to end; a lock
    // that some other program keeps longer is not waited for.
    const timespec pause{0, 10 * 1000 * 1000};
    for (int tries = 0; tries < 500; ++tries) {
        if (flock(lock_fd, LOCK_SH | LOCK_NB) == 0)
            return;
        if (errno != EWOULDBLOCK && errno != EINTR)
            break;
        nanosleep(&pause, nullptr);
    }
    say("Can't lock '" + lock_path + "' (" + strerror(errno) + ")");
}
