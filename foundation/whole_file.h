// Writing a whole file so that a crash, a kill or a full disk never leaves it cut:
// the text goes to a temporary file beside the target (under a fresh name of its own,
// fresh_file.h, so two running copies never mix their bytes and the start-up sweep
// finds what a killed write left), every write, the flush to disk and the
// close are checked, and only then the temporary file replaces the target. In the
// user folder whatever stands at the target (a link, a pipe) is replaced and a link on
// the way refuses the write (data_door.h); a path the player named elsewhere stands as
// given: a link there keeps naming the new bytes, a device or pipe is written in place.
#pragma once
#include "foundation/fresh_file.h"

#include <string>

struct vfs_file;

// name: a data path ("@config" is written in the user folder) or a plain path.
// writer returns 1 when it wrote everything. 1 on success; on any failure the
// temporary file is removed, the old file is untouched and 0 is returned. A device or
// pipe the player named outside the user folder ("/dev/null") is written in place
// instead, with the same checks.
int whole_file_write(const char* name, int (*writer)(vfs_file* f, void* context), void* context);

// The same in two steps, for a file written over a while (a recording): a fresh file,
// or for a device or pipe written in place one whose temp is the target itself and
// whose folder is -1.
using whole_file = fresh_file;
// Opens the file to write; 0 when it does not open.
int whole_file_open(const char* name, whole_file* w);
// wrote: every write succeeded. Flushes, checks, closes and puts the file in place, as
// whole_file_write does after its writer; 1 on success.
int whole_file_close(whole_file* w, bool wrote);

// The end of every checked write: flushes, checks the stream for an error, puts the
// bytes on disk when asked, and closes. 1 when all of that and the writer (wrote)
// succeeded; the file is closed either way.
int file_finish(vfs_file* f, bool wrote, bool to_disk);

// Test seam: the next file_finish of this one stream finds its flush or its close
// failed, as the C library reports a disk failing under a write (the stream is still
// flushed and closed). Every other stream finishes as usual; none clears it.
enum class finish_fault { none, flush, close };
void file_finish_test_fault(const vfs_file* f, finish_fault fault);
// True while a fault set there has not yet met its stream.
bool file_finish_test_armed();
