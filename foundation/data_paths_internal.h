// What the data-path files share among themselves; not for callers outside foundation.
#pragma once
#include <cstdio>
#include <string>

// Calls the door's test seam (data_place_test_hook) with path, when one is set: the
// read step and the listing call it between looking at what stands at a name and
// opening it.
void data_test_hook_call(const std::string& path);

// Longest path built from a search folder and a data name (a 512-byte buffer).
constexpr size_t kDataPathMax = 511;

// The longest path whose folders are made for a write to a path the player named.
constexpr size_t kMakeFoldersPathMax = 1023;

// The index-th search folder (ending in one "/"), or null past the end. Folder 0 is
// the user folder when there is one (user_data_folder()); the others are the
// program's own.
const char* data_search_dir(int index);

// Number of search folders (building them on first use).
int search_folder_count();
// The user data folder text, or null when this machine gives none. It is folder 0
// whenever it exists.
const char* user_data_folder();
// Frees the folder texts; the next use builds them again.
void search_folders_free();

// A copy of length bytes of text (mem_alloc) with every run of "/" made one; backslashes
// count as "/" when asked. Null when the copy cannot be allocated.
char* copy_collapsing_slashes(const char* text, size_t length, bool backslashes);


// fopen, honouring a leading "~" in mode: an existing file is first copied to the
// first free "<path>.~N~" (N = 1..9999). Null when the backup cannot be made.
FILE* open_with_backup(const char* path, const char* mode);
// The backup a "~" mode asks for, in the open folder a write walked to: the plain file
// at leaf copied to the first free "<leaf>.~N~" (N = 1..9999), made as a new file that
// replaces nothing. True when it was made, or when no plain file stands at leaf.
bool backup_in_folder(int folder, const std::string& leaf);
