#include "foundation/door/data_write.h"

#include "foundation/door/data_place.h"
#include "foundation/door/door_faults.h"
#include "foundation/door/running_lock.h"
#include "foundation/door/temp_mark.h"

#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

namespace {

// Names tried before giving up: a folder would have to hold this many of our
// unguessable names already.
constexpr int kNameTries = 64;

}  // namespace

FILE* data_place_temp(const data_place& place, std::string& temp_leaf)
{
    temp_leaf.clear();
    if (place.folder < 0)
        return nullptr;
    door_before_open(place.target.substr(0, place.target.size() - place.leaf.size()));
    // A copy that could not get the running lock asks again: without it, another
    // copy's sweep could take this temporary for a leftover.
    if (place.own && !running_lock_for_writing())
        return nullptr;
    for (int k = 0; k < kNameTries; ++k) {
        const std::string name = temp_mark_leaf(place.leaf);
        const int fd = openat(place.folder, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0) {
            // Only a taken name (by a file or a link) makes another name worth trying.
            if (errno != EEXIST)
                break;
            continue;
        }
        temp_mark_hold(fd);
        if (FILE* file = fdopen(fd, "wb")) {
            temp_leaf = name;
            return file;
        }
        close(fd);
        unlinkat(place.folder, name.c_str(), 0);
        break;
    }
    return nullptr;
}

bool data_place_rename(const data_place& place, const std::string& temp_leaf)
{
    return place.folder >= 0 && !temp_leaf.empty() &&
           renameat(place.folder, temp_leaf.c_str(), place.folder, place.leaf.c_str()) == 0;
}

void data_place_unlink(const data_place& place, const std::string& temp_leaf)
{
    if (place.folder >= 0 && !temp_leaf.empty())
        unlinkat(place.folder, temp_leaf.c_str(), 0);
}

