// The door's read step, which opens the files itself, so that what is checked is what
// is read. Every data file read by name is opened here: through vfs_open (vfs/vfs.h),
// the archives the index lists, the base archive the start checks.
//
// In the user folder, which strangers' downloads reach, a name is opened beneath the
// folder of its download (download.h), so a link is followed only while it stays
// inside that download and what a link leading out names is never opened; the
// program's own folders are trusted, links included. What stands at the name is looked
// at before it is opened, so only a regular file is opened (never a device, a pipe or a
// terminal), and the file opened is checked to be that one by what the descriptor holds.
#pragma once
#include <cstdio>
#include <string>

// What the read step found at a name. Only nothing lets a search go on to another copy
// of the name (its ".gz" spelling, the next search folder, the index): whatever stands
// there and is not read is what the name holds for this read. A link leading out and a
// failed look have their line here; what is not a file, the reader's own.
enum class read_found {
    file,         // opened
    nothing,      // nothing stands there: the name, or a folder on its way, is missing
    link_out,     // a link that leads out of its download (or past 40 links)
    not_a_file,   // a pipe, a device, a socket: never opened
    folder,
    unreadable,   // the look failed for any other cause (a folder that may not be read,
                  // a disk error, no descriptors left), or the file changed while it
                  // was opened
};

// relative (a name through the door, its one "@" already taken off) in the index-th
// search folder, opened with mode. Null unless a file was opened; *found (when given)
// says what stood there.
FILE* data_read_open(const std::string& relative, int folder, const char* mode, read_found* found = nullptr);

// A path of the program's own, outside the search folders, opened with mode: only a
// regular file is data, and a pipe never makes the open wait. Null otherwise.
FILE* data_read_open_own(const char* path, const char* mode);

// False, with one line naming from, when a link stands on the way to the folder
// relative (a data name already through the door) in the user folder: a link planted as
// a track folder must not be read through. The program's own folders are trusted.
bool data_passes_no_link(const char* relative, const char* from);
