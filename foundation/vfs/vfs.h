// Opening a file handle by name. Names beginning with "@" are data paths, looked up
// over the search folders in order (door/search_folders.h), each through the door's
// read step, and then in the file index (index/file_index.h), until one copy opens or
// something stands at the name that is not read (door/data_read.h); a name without "@" is a
// data name too, unless it is an absolute path of the program's own, which stands as it
// is (read: the file, else "<file>.gz"). A write mode writes a data name through the
// door's write step: a fresh file of ours at once takes the name's place. What an open
// handle does is in handle/vfs_file.h.
#pragma once
#include "foundation/handle/vfs_file.h"

vfs_file* vfs_open(const char* name, const char* mode);
// Resolves name and mode to an opened container and fills f's fields; 0 when nothing
// opens.
int vfs_open_into(vfs_file* f, const char* name, const char* mode);
// File index entry i itself for reading, whatever lies before it under its name (a
// loose file opens through the door's read step as its name there would).
vfs_file* vfs_open_entry(int i);
int vfs_open_entry_into(vfs_file* f, int i);
// vfs_open of folder + "/" + name: a data-path folder ("@tracks/hill") gives a data
// path, a plain folder a plain path.
vfs_file* vfs_open_in_folder(const char* folder, const char* name, const char* mode);
// The user folder's own copy of a data name, through the door's read step: 1 with
// *out open; 0 when nothing is there, or a link the step does not follow (a write
// replaces it); -1 when anything else stands there (a folder, a pipe) or the look
// failed (the read step's line says why), which the caller keeps as it is.
int vfs_open_own(vfs_file** out, const char* name);
// source's file replaces target's, both data names written as the door writes; 0
// when either is refused or source is missing.
int vfs_replace(const char* source, const char* target);
