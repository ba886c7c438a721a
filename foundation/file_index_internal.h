// The builders of the file index, shared by its own files only.
#pragma once
#include <string>

struct growable_array;

// Calls the spinner hook, when one is set.
void file_index_spin();

// Case-insensitive order of data names (bytes through tolower, as unsigned values).
int file_index_compare_names(const char* a, const char* b);

// Bounds of one search folder's listing: names seen (files and folders, each time a
// link leads to them again) and folders nested. An installation with every track
// ever published holds some tens of thousands of files a few folders deep.
inline constexpr int kListingMaxEntries = 100000;
inline constexpr int kListingMaxDepth = 16;

// Appends every regular file under the search folder text (ending in "/") as a loose
// entry of this priority; links to folders outside it are not followed, and a listing
// past the bounds above stops there with one line naming the folder.
void list_folder_into(growable_array* entries, const char* folder, int priority);

// Appends the entries of the ".saf" archive at container_path (which the entries then
// share); a malformed archive adds nothing.
void read_archive_into(growable_array* entries, char* container_path, int priority);
