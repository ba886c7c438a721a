// The builders of the file index, shared by its own files only.
#pragma once
#include <string>

struct growable_array;

// Calls the spinner hook, when one is set.
void file_index_spin();

// Case-insensitive order of data names (bytes through tolower, as unsigned values).
int file_index_compare_names(const char* a, const char* b);

// Bounds of one search folder's listing. A folder that holds too many names, or lies
// too deep, is skipped with one line naming it and its siblings are listed; the
// totals keep a swamp of such folders, or links that list the same folders again and
// again, from costing without end. Names count each time a link leads to them again,
// and the names read from a skipped folder count too (reading them is the cost).
struct listing_bounds {
    int folder_names;   // names in one folder
    int depth;          // folders nested under the search folder
    int names;          // names read in all
    int skipped;        // folders skipped before the listing stops
};
// An installation with every track ever published holds some tens of thousands of
// files a few folders deep, and its largest folder, "tracks", some thousands; the
// whole listing was once bounded at 100,000 names and that was room enough. One folder
// may now hold that many, and the listing 250,000: the largest installation and an
// oversized folder beside it are read in full, which costs a second or two and some
// 30 MB at most. A hundred skipped folders is far past what damaged downloads leave.
inline constexpr listing_bounds kListingBounds{100000, 16, 250000, 100};
// The bounds the file index lists with; tests lower them to reach them with few files.
extern listing_bounds file_index_listing_bounds;

// Appends every regular file under the search folder text (ending in "/") as a loose
// entry of this priority; links to folders outside it are not followed. A folder past
// the bounds is skipped, and past the totals the listing stops, each with one line.
void list_folder_into(growable_array* entries, const char* folder, int priority,
                      const listing_bounds& bounds = kListingBounds);

// Appends the entries of the ".saf" archive at container_path (which the entries then
// share); a malformed archive adds nothing.
void read_archive_into(growable_array* entries, char* container_path, int priority);
