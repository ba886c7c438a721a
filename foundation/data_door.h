// The door's two steps, which open the files themselves, so that what is checked is
// what is read or written. Only foundation's openers use them; everyone else reaches
// them through vfs_open, whole_file.h and fresh_file.h.
//
// The read step opens a name in one search folder. In the user folder, which
// strangers' downloads reach, it opens beneath the folder of the name's download
// (download.h), so a link is followed only while it stays inside that download and
// what a link leading out names is never opened; the program's own folders are
// trusted, links included. What stands at the name is looked at before it is opened,
// so only a regular file is opened (never a device, a pipe or a terminal), and the
// file opened is checked to be that one by what the descriptor holds.
//
// The write step walks from the user folder's open folder one component at a time and
// never follows a link: a link on the way refuses the write, a missing folder is made.
// The bytes go to a fresh temporary in the target's folder, which is renamed over the
// target within that same open folder, so whatever stood at the target (a link, a pipe,
// a device) is replaced, never opened. The user folder itself may be reached through
// links. A plain path outside the user folder (one the player named on the command
// line) stands as it is given.
#pragma once
#include <cstdio>
#include <string>

// The read step: relative (a name through the door, its one "@" already taken off) in
// the index-th search folder, opened with mode. Null when nothing readable is there;
// *refused (when given) then tells whether something stands there that the step would
// not read (a link leading elsewhere, a pipe, a folder), which has had its line when
// it was a link.
FILE* data_read_open(const std::string& relative, int folder, const char* mode, bool* refused = nullptr);

// The name below the search folder of a data name: exactly one leading "@" is taken
// off, and the rest passes the name check; false when it is refused.
bool data_relative(const char* name, std::string& relative);

// Where a write lands: the target's folder, open, and the target's name in it.
struct data_place {
    int folder = -1;           // -1 when there is none
    std::string leaf;          // the target's last component
    std::string target;        // the whole path, for lines and for placing by path
    bool own = false;          // false for a plain path the player named
};

// The write step's walk: opens the folder the data name (or plain path) is written in,
// making what is missing. False, with one line naming the cause unless quiet, when the
// name is refused, there is no user folder, a link or a file stands on the way, a
// folder cannot be made, or (unless any_target) a folder stands at the target itself.
bool data_place_open(const char* name, data_place& place, bool quiet = false, bool any_target = false);
// A fresh temporary beside the target, created so it can only be a new file of ours
// (its name in temp_leaf, bearing the game's mark, temp_mark.h) and held while it is
// open; null when none could be made.
FILE* data_place_temp(const data_place& place, std::string& temp_leaf);
// The temporary replaces the target, within the same open folder.
bool data_place_rename(const data_place& place, const std::string& temp_leaf);
void data_place_unlink(const data_place& place, const std::string& temp_leaf);
void data_place_close(data_place& place);

// Test seam: called with a folder's path just before the walk opens it and with the
// target's folder just before the temporary is made there; with a file's path between
// the read step's look at it and its open; with a folder's path just before the
// listing opens it. Null for none.
void data_place_test_hook(void (*hook)(const std::string& path));
