// Writing a whole file so that a crash, a kill or a full disk never leaves it cut: the
// bytes go to a fresh temporary beside the target (fresh_file.h, so two running copies
// never mix their bytes and the start's sweep finds what a killed write left), every
// write, the flush to disk and the close are checked, and only then the temporary
// replaces the target. In the user folder whatever stands at the target (a link, a pipe)
// is replaced and a link on the way refuses the write (data_place.h); a path the player
// named elsewhere stands as given: a link there keeps naming the new bytes, a device or
// pipe is written in place.
#pragma once
#include "foundation/door/fresh_file.h"

#include <string>

struct vfs_file;

// A whole file under way, written over a while (a recording).
struct whole_file {
    vfs_file* f = nullptr;   // what the writer writes
    std::string target;      // the file written, for lines
    fresh_file fresh;        // its temporary; none (no stream) for a device or pipe written in place
};

// name: a data path ("@config" is written in the user folder) or a plain path.
// writer returns 1 when it wrote everything. 1 on success; on any failure the
// temporary file is removed, the old file is untouched and 0 is returned. A device or
// pipe the player named outside the user folder ("/dev/null") is written in place
// instead, with the same checks.
int whole_file_write(const char* name, int (*writer)(vfs_file* f, void* context), void* context);
// The same in two steps: opens the file to write; 0 when it does not open.
int whole_file_open(const char* name, whole_file* w);
// wrote: every write succeeded. Flushes, checks, closes and puts the file in place, as
// whole_file_write does after its writer; 1 on success.
int whole_file_close(whole_file* w, bool wrote);
