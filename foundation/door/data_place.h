// The door's write step, its walk: where a write lands. From the user folder's open
// folder down, one component at a time, never following a link: a link on the way
// refuses the write, a missing folder is made. The walk ends holding the target's folder
// open, and every later step of the write (data_write.h, fresh_file.h) happens within
// that folder, never by a path. The user folder itself may be reached through links. A
// plain path outside the user folder (one the player named on the command line) stands
// as it is given: its folder is opened as named, links and all.
#pragma once
#include <cstddef>
#include <string>

// The longest path whose folders are made for a write to a path the player named.
inline constexpr size_t kMakeFoldersPathMax = 1023;

// Where a write lands: the target's folder, held open, and the target's name in it.
struct data_place {
    int folder = -1;           // -1 when there is none
    std::string leaf;          // the target's last component
    std::string target;        // the whole path, for lines
    bool own = false;          // false for a plain path the player named
};

// Opens the folder the data name (or plain path) is written in, making what is missing.
// False, with one line naming the cause unless quiet, when the name is refused, there
// is no user folder, a link or a file stands on the way, a folder cannot be made, or
// (unless any_target) a folder stands at the target itself.
bool data_place_open(const char* name, data_place& place, bool quiet = false, bool any_target = false);
void data_place_close(data_place& place);

// Whether the walk to name's folder (with its line when it is refused) still reaches
// the folder place holds open, taken from an earlier walk.
bool data_place_stands(const char* name, const data_place& place);

// What stands at a name (a data name, or a path in the user folder), seen as the walk
// goes there, never through a link: other also when the walk is refused or the name
// cannot be looked at.
enum class name_holds { nothing, file, other };
name_holds data_place_what_stands(const char* name);
