// Writing into a folder that strangers filled (a downloaded track folder), where any
// name may already hold a link to some other file, a pipe or a device. Nothing that
// stands in such a folder is ever opened for writing: the bytes go to a temporary made
// under a new, unguessable name in the target's own folder, created with
// O_CREAT|O_EXCL|O_NOFOLLOW so it can only be a new file of ours, then flushed, pushed
// to disk, closed and renamed over the target. rename replaces whatever stands at the
// target name (a link itself, never the file it names), so the only bytes that change
// are the ones we wrote. On any failure the temporary is removed and the target stays
// as it was.
//
// The door's write step (data_door.h) walks to the target's folder without passing a
// link and holds it open from the temporary's creation to its rename.
#pragma once
#include <string>

struct vfs_file;

struct fresh_file {
    vfs_file* f = nullptr;
    std::string target;   // the name that ends up with the bytes
    std::string temp;     // the new file being written
    int folder = -1;      // the target's folder, open until the file is sealed or placed
                          // (or handed on by fresh_file_seal_held)
    std::string leaf, temp_leaf;   // the target's and the temporary's names in it
};

// name: a data path ("@tracks/t/edinfo" lands in the first search folder) or a plain
// path; missing folders on the way are made. A name in the user folder passes the
// door's write step, which follows no link on the way. 1 with w->f open on the new
// temporary.
int fresh_file_open(const char* name, fresh_file* w);
// wrote: every write succeeded. Flushes, checks, syncs and closes the temporary, which
// stays under its own name for a later fresh_file_place. 1 on success; 0 with the
// temporary removed.
int fresh_file_seal(fresh_file* w, bool wrote);
// fresh_file_seal, with the target's folder kept open in w->folder for whoever places
// the file within it, and closes it; 0 with the temporary removed and nothing held.
int fresh_file_seal_held(fresh_file* w, bool wrote);
// Whether the write step's walk to name's folder (with its line when it is refused)
// still reaches folder, an open folder taken from an earlier walk.
bool fresh_file_folder_stands(const char* name, int folder);
// The sealed temporary replaces target, its neighbour: the folder is walked to again
// as the write step walks; 0 with the temporary removed.
int fresh_file_place(const std::string& temp, const std::string& target);
// fresh_file_seal, then fresh_file_place.
int fresh_file_close(fresh_file* w, bool wrote);
// The three steps around writer, which returns 1 when it wrote everything.
int fresh_file_write(const char* name, int (*writer)(vfs_file* f, void* context), void* context);

// target with its last component given the game's mark (temp_mark_leaf), a name
// nobody could have guessed in advance: every temporary and kept-aside file beside
// target is named so.
std::string fresh_file_name(const std::string& target);

// Removes from folder (a data name such as "@tracks/t", or a path in the user folder)
// every entry bearing the game's mark (temp_mark.h) that no write still holds, which
// only a write that was killed before it ended leaves behind; a link is removed
// itself, never what it names. Only a folder the write step reaches is swept, and only
// while no other copy of the game runs (running_lock.h). Reads at most as many names
// as the listing reads in one folder. Returns how many went.
int fresh_file_sweep(const std::string& folder);

// For a recording that stands at its name while it grows: a new file is made under a
// fresh name and at once renamed over the target, so the handle writes that file and
// nothing that stood there before. Null when it cannot be made or placed.
vfs_file* fresh_file_create(const char* name);
// The same in two steps around what must happen before the name is taken: the open
// temporary of fresh_file_open takes its target's name, and the handle goes on
// writing it; null, with the temporary removed, when the rename fails.
vfs_file* fresh_file_take_name(fresh_file* w);

// What stands at a name (a data name, or a path in the user folder), seen as the write
// step walks there, never through a link: other also when the walk is refused or the
// name cannot be looked at.
enum class name_holds { nothing, file, other };
name_holds fresh_file_what_stands(const char* name);

// For a numbered file (a screenshot), which must never take the place of anything that
// stands on disk, whatever the index says: fresh_file_open_numbered makes the
// temporary in name's folder whatever stands at name itself (a folder too), and the
// sealed temporary takes target, its neighbour, only when nothing (no file, folder,
// link or pipe) stands there. 1 placed; 0 when target is taken, the temporary kept for
// another name; -1 with the temporary removed.
int fresh_file_open_numbered(const char* name, fresh_file* w);
int fresh_file_place_new(const std::string& temp, const std::string& target);
// Test seam: false places as a file system without the no-replace rename does.
void fresh_file_test_rename_noreplace(bool works);
