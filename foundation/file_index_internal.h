// The builders of the file index, shared by its own files only.
#pragma once
#include <cstddef>
#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

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
// and the names read from a skipped folder count too (reading them is the cost).
//
// A download (download.h) is what a player unpacks or drops in as one piece: a folder
// or archive directly in "tracks", an archive anywhere else, or a folder directly in
// the search folder other than "tracks". What one download holds (its names in all its folders,
// the entries of the archives in it, the folders it has skipped, the leftovers swept
// from it) is charged to that download alone, never to the totals, so that no number
// of downloads can spend what the player's other tracks need. A download past its
// bound is left out whole (a track half listed would only fail to load), with one
// line, and the listing goes on with the next. The loose files directly in "tracks"
// are charged together, as one download of their own. The game's own folders
// ("demos", "setups" and the rest) are downloads that are cut rather than left out:
// past download_names names kept, or folder_names names read, the rest goes, with one
// line that says how many. The top of the search folder past folder_names names is
// cut too, with one line, and its "tracks" is listed all the same. "tracks" holds at
// most track_folders downloads: past that the newest are left out, with one line that
// names the newest of them. Every name of "tracks" is read, so that cut sees every
// download there, and only what would be listed is counted. A folder at the top named
// like a game folder but for letter case ("Tracks") is no game folder and is not
// listed, with one line.
struct listing_bounds {
    int folder_names;   // names in one folder
    int depth;          // folders nested under the search folder
    int names;          // names read in all, outside downloads
    int skipped;        // folders skipped before the listing stops; in one download,
                        // before that download is left out
    int download_names; // names read under one download, archive entries included;
                        // names kept under one of the game's own folders
    int track_folders = 20000;   // downloads directly in "tracks"
};
// An installation with every track ever published holds some tens of thousands of
// files a few folders deep, and its largest folder, "tracks", some thousands; the
// whole listing was once bounded at 100,000 names and that was room enough. One folder
// may now hold that many, and the listing 250,000: the largest installation and an
// oversized folder beside it are read in full, which costs a second or two and some
// 30 MB at most. A hundred skipped folders is far past what damaged downloads leave.
// One track is some tens of files and a pack of them some thousands, so 10,000 names
// is room for any honest download, and for the demos or setups a player keeps. One
// download at that bound, naming as many tracks, adds 0.06 s and 2 MB to the start
// (index and track list); 0.9 s and 40 MB when every name is near the longest a line
// holds. Many downloads cost the sum of what each costs. 20,000 downloads in "tracks"
// is several times every track ever published, and opening them costs about a second.
inline constexpr listing_bounds kListingBounds{100000, 16, 250000, 100, 10000, 20000};
// The bounds the file index lists with; tests lower them to reach them with few files.
extern listing_bounds file_index_listing_bounds;

// The work the listing and the sweeps of foundation have done in this process, for
// tests that tell one walk of the user folder from two.
struct listing_work {
    long folders_read = 0;   // folders opened and read
    long names_read = 0;
    long swept = 0;          // leftovers removed
};
extern listing_work file_index_work;

// Which search folders the player and strangers fill: the user folder, when there is
// one. Every other search folder is the program's own, trusted with its links.
bool search_folder_trusted(int index);

// What one search folder's listing may still read, carried from its loose files on to
// its archives.
struct listing_budget {
    explicit listing_budget(const listing_bounds& b) : bounds(b), names_left(b.names), skips_left(b.skipped) {}
    listing_bounds bounds;
    int names_left;
    int skips_left;
    bool stopped = false;   // the totals are spent: only downloads are still listed
    bool sweep = false;     // leftovers of killed writes are removed as they are met
    bool trusted = false;   // the program's own folder: links are followed anywhere
    // What each download folder read whole has left, by its relative name.
    std::map<std::string, int> downloads_left;
    // The downloads left out whole, by relative name: their entries are dropped.
    std::set<std::string> left_out;
    // The download each archive's entries belong to, by the archive's priority.
    std::map<int, std::string> archive_downloads;
};

// Ends the listing of the search folder outside its downloads, with one line naming
// where (the first time).
void listing_stop(listing_budget& budget, const char* where, const char* why);
// Leaves one folder or archive out, with one line naming it; too many of those stop
// the listing.
void listing_skip(listing_budget& budget, const char* where, const char* why);
// Whether a name ends in ".saf" (any letter case): an archive the index opens.
bool is_archive_name(const char* name);
// Whether a relative name below a search folder lies in "tracks", or is "tracks" itself.
bool in_tracks(const char* relative_name);
// The download folder in "tracks" that a relative name lies inside, as its relative
// name; empty when it lies in none.
std::string tracks_download_of(const char* relative_name);

// Appends every regular file under the search folder text (ending in "/") as a loose
// entry of this priority; links to folders outside it are not followed. A folder past
// the bounds is skipped, and past the totals the listing stops, each with one line.
void list_folder_into(growable_array* entries, const char* folder, int priority, listing_budget& budget);

// Appends the entries of the loose ".saf" archive (which the entries then share) with
// this priority, spending the budget of the download it lies in.
void list_archive_into(growable_array* entries, const file_index_entry& archive, int priority,
                       listing_budget& budget);

// Drops every entry of an archive in the user folder that lies in a track folder the
// user folder holds as a folder ("tracks/x", the archive not in it), with one line for
// each archive.
void leave_out_foreign_track_entries(growable_array* entries, const std::vector<listing_budget>& budgets);

// Drops every entry of the downloads left out (loose files and archive entries alike);
// budgets are the search folders' in order, and a loose entry's priority is its
// search folder's index.
void drop_left_out_downloads(growable_array* entries, const std::vector<listing_budget>& budgets);

// Appends the entries of the ".saf" archive open in file (closed here), whose path
// container_path the entries then share; a malformed archive adds nothing, and neither
// does one naming more than max_entries. The entries read (max_entries + 1 when there
// were too many), counted also when they could not be kept.
int read_archive_into(growable_array* entries, FILE* file, char* container_path, int priority, int max_entries);
