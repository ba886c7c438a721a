// The ordered search folders: the user data folder, then BV_HOME or the program's own
// folder. Each text uses "/" only, has no runs of "/", and ends in one "/". Folder 0 is
// the user folder whenever this machine gives one: the one folder strangers fill, and
// the only one written in. A name checked by the door (data_name.h) meets a search
// folder only in the door's read and write steps (data_read.h, data_place.h).
#pragma once
#include <cstddef>

// Longest path built from a search folder and a data name (a 512-byte buffer).
inline constexpr size_t kDataPathMax = 511;

// The index-th search folder (ending in one "/"), or null past the end, building the
// list on first use.
const char* data_search_dir(int index);
// Number of search folders (building them on first use).
int search_folder_count();
// The user data folder text, or null when this machine gives none.
const char* user_data_folder();
// Frees the folder texts; the next use builds them again.
void search_folders_free();
// Which search folders the player and strangers fill: the user folder, when there is
// one. Every other search folder is the program's own, trusted with its links.
bool search_folder_trusted(int index);

// True when path (a plain path) is one in the user folder's text.
bool data_in_user_folder(const char* path);
// The rest of path past the user folder's text (its name below the user folder), or
// null when path does not lie in it.
const char* data_user_relative(const char* path);
// True when there is a user folder to write in at all. The program's own folder never
// stands in for it.
bool data_user_folder_known();
// Once per run: the line that says nothing is written or swept for want of a user
// folder.
void data_say_no_user_folder();

// A copy of length bytes of text (mem_alloc) with every run of "/" made one; backslashes
// count as "/" when asked. Null when the copy cannot be allocated.
char* copy_collapsing_slashes(const char* text, size_t length, bool backslashes);
