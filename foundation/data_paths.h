// Search folders, "@" data paths, numbered backups, the start-up data check and the
// process tuning done at track load.
#pragma once
#include <cstdint>
#include <cstdio>

struct vfs_file;

int vfs_open_into(vfs_file* f, const char* name, const char* mode);
int vfs_adopt_into(vfs_file* f, FILE* file);
// Index entry i itself, whatever lies before it under its name (a loose file opens
// through the door's read step as its name there would): 1 with f open.
int vfs_open_entry_into(vfs_file* f, int i);
// source's file replaces target's, both data names written as the door writes; 0
// when either is refused or source is missing.
int vfs_replace(const char* source, const char* target);
// The user folder's own copy of a data name, through the door's read step: 1 with
// *out open; 0 when none is there to read (a link the step does not follow counts as
// none, since a write replaces it); -1 when a file stands there that cannot be read.
int vfs_open_own(vfs_file** out, const char* name);
void open_user_folder();
int startup_check_data();
void tune_process();

// The digest of the base archive's first 1 MiB that startup_check_data accepts,
// 40 hex digits. The program sets it from the digest of its built archive.
void set_base_archive_digest(const char* hex40);

// The working-set range tune_process asks for, for a machine of this much memory:
// 0 when it leaves the working set alone (under 64 MiB).
int working_set_range(uint64_t total_bytes, uint32_t* min, uint32_t* max);
