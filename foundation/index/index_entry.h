// What the file index is made of: its entries, the bounds its listing keeps, and the
// work it counts. Shared by the index and its builders.
#pragma once
#include <cstdint>

struct file_index_entry {
    char* owned_text;        // the one allocation the entry owns
    char* container_path;    // the operating-system file holding the bytes
    char* relative_name;     // the data name, "/" separated
    int32_t offset;
    int32_t size;
    int32_t priority;        // lower wins: folder index, then archives after the folders
};

// Bounds of one search folder's listing. A folder that holds too many names, or lies
// too deep, is skipped with one line naming it and its siblings are listed; the totals
// keep a swamp of such folders, or links that list the same folders again and again,
// from costing without end. Names count each time a link leads to them again, and the
// names read from a skipped folder count too (reading them is the cost).
//
// What one download (door/download.h) holds (its names in all its folders, the entries
// of the archives in it, the folders it has skipped, the leftovers swept from it) is
// charged to that download alone, never to the totals, so that no number of downloads
// can spend what the player's other tracks need. A download past its bound is left out
// whole (a track half listed would only fail to load), with one line, and the listing
// goes on with the next. The loose files directly in "tracks" are charged together, as
// one download of their own. The game's own folders ("demos", "setups" and the rest)
// are downloads that are cut rather than left out: past download_names names kept, or
// folder_names names read, the rest goes, with one line that says how many. The top of
// the search folder past folder_names names is cut too, with one line, and its "tracks"
// is listed all the same. "tracks" holds at most track_folders downloads: past that the
// newest are left out, with one line that names the newest of them. Every name of
// "tracks" is read, so that cut sees every download there, and only what would be
// listed is counted. A folder at the top named like a game folder but for letter case
// ("Tracks") is no game folder and is not listed, with one line.
struct listing_bounds {
    int folder_names;     // names in one folder
    int depth;            // folders nested under the search folder
    int names;            // names read in all, outside downloads
    int skipped;          // folders skipped before the listing stops; in one download,
                          // before that download is left out
    int download_names;   // names read under one download, archive entries included;
                          // names kept under one of the game's own folders
    int track_folders;    // downloads directly in "tracks"
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
inline constexpr listing_bounds kListingBounds{
    .folder_names = 100000,
    .depth = 16,
    .names = 250000,
    .skipped = 100,
    .download_names = 10000,
    .track_folders = 20000,
};

// The work the listing and the sweeps of leftovers have done in this process.
struct listing_work {
    long folders_read = 0;   // folders opened and read
    long names_read = 0;
    long swept = 0;          // leftovers removed
};
