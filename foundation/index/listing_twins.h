// A track the user folder holds as a folder is that folder's alone: the entries of
// strangers' archives that lie in it are left out.
#pragma once
#include <vector>

struct growable_array;
struct listing_budget;

// Drops every entry of an archive in the user folder that lies in a track folder the
// user folder holds as a folder ("tracks/x", the archive not in it), with one line for
// each archive. budgets are the search folders' in order.
void leave_out_foreign_track_entries(growable_array* entries, const std::vector<listing_budget>& budgets);
