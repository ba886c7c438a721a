// Writing into a folder that strangers filled (a downloaded track folder), where any
// name may already hold a link to some other file, a pipe or a device. Nothing that
// stands in such a folder is ever opened for writing: the door's write step walks to the
// target's folder without passing a link and holds it open (data_place.h), the bytes go
// to a fresh temporary made there (data_write.h), which is flushed, pushed to disk,
// closed and renamed over the target within that same folder. rename replaces whatever
// stands at the target name (a link itself, never the file it names), so the only bytes
// that change are the ones we wrote. On any failure the temporary is removed and the
// target stays as it was.
#pragma once
#include "foundation/door/data_place.h"

#include <string>

struct vfs_file;

// A write under way: its temporary, in the target's folder held open from the walk to
// the temporary's placing (or its removal), and held locked as long (temp_mark.h), so
// that no sweep takes a sealed temporary a save set has yet to place for a leftover.
struct fresh_file {
    vfs_file* f = nullptr;    // the temporary, open until it is sealed
    data_place place;         // the target's folder, open, and the target's name in it
    std::string temp_leaf;    // the temporary's name in that folder
    int hold = -1;            // the temporary's lock, kept until it is placed or removed
};

// name: a data path ("@tracks/t/edinfo" lands in the user folder) or a plain path;
// missing folders on the way are made. 1 with w->f open on the new temporary.
// any_target: the temporary is made whatever stands at name itself (a folder too), for
// a file placed later under a name of its own (fresh_file_place_new).
int fresh_file_open(const char* name, fresh_file* w, bool any_target = false);
// wrote: every write succeeded. Flushes, checks, syncs and closes the temporary, which
// stays under its own name, its folder held, for whoever places it (fresh_file_place,
// fresh_file_place_new, a save set). 1 on success; 0 with the temporary removed and
// nothing held.
int fresh_file_seal(fresh_file* w, bool wrote);
// The sealed temporary replaces the target; 0 with the temporary removed. Nothing is
// held after.
int fresh_file_place(fresh_file* w);
// For a numbered file (a screenshot), which must never take the place of anything that
// stands on disk, whatever the index says: the sealed temporary takes leaf, a name in
// the same folder, only when nothing (no file, folder, link or pipe) stands there. 1
// placed; 0 when leaf is taken, the temporary kept for another name; -1 with the
// temporary removed. Nothing is held after 1 or -1.
int fresh_file_place_new(fresh_file* w, const std::string& leaf);
// The temporary removed, sealed or not, and nothing held.
void fresh_file_drop(fresh_file* w);
// fresh_file_seal, then fresh_file_place.
int fresh_file_close(fresh_file* w, bool wrote);
// The steps around writer, which returns 1 when it wrote everything.
int fresh_file_write(const char* name, int (*writer)(vfs_file* f, void* context), void* context);
// For a recording that stands at its name while it grows: the open temporary takes its
// target's name at once, and the handle goes on writing that file and nothing that
// stood there before; null, with the temporary removed, when the rename fails.
vfs_file* fresh_file_take_name(fresh_file* w);

// The end of every checked write: flushes, checks the stream for an error, puts the
// bytes on disk when asked, and closes. 1 when all of that and the writer (wrote)
// succeeded; the file is closed either way.
int file_finish(vfs_file* f, bool wrote, bool to_disk);
