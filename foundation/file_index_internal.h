// The builders of the file index, shared by its own files only.
#pragma once
#include <cstddef>
#include <map>
#include <string>

struct growable_array;
struct file_index_entry;

// Calls the spinner hook, when one is set.
void file_index_spin();

// Case-insensitive order of data names (bytes through tolower, as unsigned values).
int file_index_compare_names(const char* a, const char* b);

// Bounds of one search folder's listing. A folder that holds too many names, or lies
// too deep, is skipped with one line naming it and its siblings are listed; the
// totals keep a swamp of such folders, or links that list the same folders again and
// again, from costing without end. Names count each time a link leads to them again,
// and the names read from a skipped folder count too (reading them is the cost). An
// archive's entries count as the names of loose files would.
//
// A download is what a player unpacks or drops in as one piece: a folder or archive
// directly in "tracks", or any other folder or archive directly in the search folder.
// Each has a bound of its own, so that no one download, whatever its shape, can spend
// the totals that the player's other tracks need. A download past it is left out
// whole (a track half listed would only fail to load).
struct listing_bounds {
    int folder_names;   // names in one folder
    int depth;          // folders nested under the search folder
    int names;          // names read in all
    int skipped;        // folders skipped before the listing stops
    int download_names; // names read under one download, archive entries included
};
// An installation with every track ever published holds some tens of thousands of
// files a few folders deep, and its largest folder, "tracks", some thousands; the
// whole listing was once bounded at 100,000 names and that was room enough. One folder
// may now hold that many, and the listing 250,000: the largest installation and an
// oversized folder beside it are read in full, which costs a second or two and some
// 30 MB at most. A hundred skipped folders is far past what damaged downloads leave.
// One track is some tens of files and a pack of them some thousands, so 10,000 names
// is room for any honest download. One at that bound, naming as many tracks, adds
// 0.06 s and 2 MB to the start (index and track list); 0.9 s and 40 MB when every name
// is near the longest a line holds. A dozen of them still leave the totals room for
// the largest installation.
inline constexpr listing_bounds kListingBounds{100000, 16, 250000, 100, 10000};
// The bounds the file index lists with; tests lower them to reach them with few files.
extern listing_bounds file_index_listing_bounds;

// What one search folder's listing may still read, carried from its loose files on to
// its archives.
struct listing_budget {
    explicit listing_budget(const listing_bounds& b) : bounds(b), names_left(b.names), skips_left(b.skipped) {}
    listing_bounds bounds;
    int names_left;
    int skips_left;
    bool stopped = false;
    // What each download folder read whole has left, by its relative name.
    std::map<std::string, int> downloads_left;
};

// Ends the listing of the search folder, with one line naming where (the first time).
void listing_stop(listing_budget& budget, const char* where, const char* why);
// Leaves one folder or archive out, with one line naming it; too many of those stop
// the listing.
void listing_skip(listing_budget& budget, const char* where, const char* why);
// The length of the download that a relative name lies in ("tracks/x" of
// "tracks/x/terrain.hf", "models" of "models/a.jm"); the whole length when the name is
// a download itself.
size_t download_length(const char* relative_name);

// Appends every regular file under the search folder text (ending in "/") as a loose
// entry of this priority; links to folders outside it are not followed. A folder past
// the bounds is skipped, and past the totals the listing stops, each with one line.
void list_folder_into(growable_array* entries, const char* folder, int priority, listing_budget& budget);

// Appends the entries of the loose ".saf" archive (which the entries then share) with
// this priority, spending the budget of the download it lies in.
void list_archive_into(growable_array* entries, const file_index_entry& archive, int priority,
                       listing_budget& budget);

// Appends the entries of the ".saf" archive at container_path (which the entries then
// share); a malformed archive adds nothing, and neither does one naming more than
// max_entries. The entries read (max_entries + 1 when there were too many), counted
// also when they could not be kept.
int read_archive_into(growable_array* entries, char* container_path, int priority, int max_entries);
