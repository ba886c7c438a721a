// The file index: every loose data file under the search folders and every entry of
// every ".saf" archive among them, sorted by name (case-insensitive but for a track's
// folder, matched as spelt), then priority. Built once by one walk of each search folder
// that lists it, and in the user folder sweeps what killed writes left; then searched by
// name.
#pragma once
#include "foundation/index/index_entry.h"

// Builds the index within bounds when it is not built yet. With sweep, the listing of
// the user folder also removes from the folders the game writes the leftovers of killed
// writes (door/temp_mark.h) as it meets them, within its bounds and charged to the
// download that holds them: the start's one walk of the user folder lists and sweeps.
// Returns how many leftovers went; 0 when the index was built already.
int file_index_build(const listing_bounds& bounds, bool sweep);
// Builds the index within kListingBounds on the first call, and returns the unique
// name list; later calls return the same list.
char** file_index_list();
int file_index_find(const char* name);
int file_exists(const char* name);
const file_index_entry* file_index_get(int i);
// The entry after i under the same name (the next one file_index_find would have
// given, had i not been there), -1 when there is none.
int file_index_next_of_name(int i);
int file_index_describe(int i, char* buffer, int size);
void vfs_shutdown();

// The order of data names: each byte through tolower, compared as unsigned values, but
// for the name of a track's folder, compared as spelt (two folders that differ only by
// case are two tracks).
int file_index_compare_names(const char* a, const char* b);

// Called once per listed folder and once per archive while the index is built.
void file_index_set_spinner(void (*spinner)());
// The work the listing and the sweeps of leftovers have done in this process.
listing_work file_index_work_done();
