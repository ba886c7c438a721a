// A save of several track files that replaces the old ones only when every new one is
// complete. While a set is open the track writers leave each file as a sealed
// temporary under a fresh name of its own (fresh_file.h) and the set keeps the list;
// the commit keeps each old file under a second name, renames the new ones into place
// in the order they were written, and any failure removes every temporary and puts
// back what was already replaced. Whenever the game stops, each name holds a whole
// file, the old or the new. A target added twice takes both files in turn (a whole
// file in between while another name changes) and goes back through them in turn.
// Where the file system refuses hard links, each old file is kept aside as a copy
// (a new file of the save's own, its bytes pushed to disk) before anything is
// replaced, and the old file stays at its name until its new one is renamed over it:
// there too every name holds its old or its new file at every stop. Whatever a stop
// leaves under the second names is a leftover, and the next start removes it.
// Every step happens within the target's folder as its writer's walk opened it (never
// by a path), and the commit first walks to each folder again: one swapped for a link
// or for another folder since then fails the save, and nothing is placed.
#pragma once
#include <string>

struct fresh_file;

void save_set_begin();
int save_set_active();
// A writer's file in the open set: the fresh temporary (fresh_file.h) for the target's
// data name. 1 with w->f open; 0 when it does not open.
int save_set_open(const std::string& name, fresh_file* w);
// wrote: every write to w succeeded. The temporary is sealed and the set takes it over,
// its folder still open, to replace the target at the commit; the files go in in this
// order. 0 when the seal fails (the temporary removed).
int save_set_add(const std::string& name, fresh_file* w, bool wrote);
// A writer failed: the set will replace nothing.
void save_set_fail();
// 1 when every file was written and renamed into place; 0 otherwise, with every
// temporary removed and the previous files as they were. Closes the set.
int save_set_commit();
// Drops the set without replacing anything.
void save_set_abandon();

// What tests make a save meet, all set in one call; save_set_faults{} puts everything back.
struct save_set_faults {
    // The fail_file-th file (counting from 1) of every set fails at fail_stage: 0 its
    // open, 1 its writing, 2 its rename at the commit; 0 = none.
    int fail_file = 0;
    int fail_stage = 0;
    // Every commit stops after this many of its steps on the disk (keeping a file aside,
    // renaming one in or back, removing a kept one), leaving everything as a killed game
    // would; -1 = never.
    int stop_after = -1;
    // The call that gives an entry a second name, with linkat()'s arguments (names
    // within open folders) and result (errno set on failure); null for the system's own.
    int (*link)(int from_folder, const char* from, int to_folder, const char* to) = nullptr;
    // Called as a commit begins, after every writer has walked to its folder.
    void (*at_commit)() = nullptr;
};
void save_set_test_faults(const save_set_faults& faults);
