// What a search folder's listing may spend (index_entry.h tells the bounds): the
// totals, shared by its loose files outside downloads, and each download's own bound,
// shared by its loose files and the archives in it. Shared by the builders in index/.
#pragma once
#include "foundation/index/index_entry.h"

#include <map>
#include <set>
#include <string>
#include <vector>

struct growable_array;

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
    void (*spin)() = nullptr;   // called once per listed folder and once per archive
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
// The track folder that a relative name lies inside (door/download.h), as its relative
// name spelt as it is; empty when it lies in none.
std::string track_download_of(const char* relative_name);

// Appends the entries of the loose ".saf" archive (which the entries then share) with
// this priority, spending the budget of the download it lies in.
void list_archive_into(growable_array* entries, const file_index_entry& archive, int priority,
                       listing_budget& budget);

// Drops every entry of the downloads left out (loose files and archive entries alike);
// budgets are the search folders' in order, and a loose entry's priority is its
// search folder's index.
void drop_left_out_downloads(growable_array* entries, const std::vector<listing_budget>& budgets);
