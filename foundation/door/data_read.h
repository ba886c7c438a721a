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

// relative (a name through the door, its one "@" already taken off) in the index-th
// search folder, opened with mode. Null when nothing readable is there; *refused (when
// given) then tells whether something stands there that the step would not read (a
// link leading elsewhere, a pipe, a folder), which has had its line when it was a link.
FILE* data_read_open(const std::string& relative, int folder, const char* mode, bool* refused = nullptr);

// A path of the program's own, outside the search folders, opened with mode: only a
// regular file is data, and a pipe never makes the open wait. Null otherwise.
FILE* data_read_open_own(const char* path, const char* mode);

// False, with one line naming from, when a link stands on the way to the folder
// relative (a data name already through the door) in the user folder: a link planted as
// a track folder must not be read through. The program's own folders are trusted.
bool data_passes_no_link(const char* relative, const char* from);
