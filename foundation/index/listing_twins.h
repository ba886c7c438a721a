// A track is one download: the entries of strangers' archives that lie in a track
// another download brings (the game, the user folder as a folder, or an archive that
// came first) are left out.
#pragma once
#include <vector>

struct growable_array;
struct listing_budget;

// Drops every entry of an archive in the user folder that lies in a track folder
// ("tracks/x", the archive not in it) that the program brings, that the user folder
// holds as a folder, or that an archive listed before it brings, with one line for
// each archive. budgets are the search folders' in order.
void leave_out_foreign_track_entries(growable_array* entries, const std::vector<listing_budget>& budgets);
