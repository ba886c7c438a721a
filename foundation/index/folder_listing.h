// The recursive listing of a search folder into the index's entries, and the work it
// counts (file_index_work_done).
#pragma once
#include "foundation/index/index_entry.h"

struct growable_array;
struct listing_budget;

// Appends every regular file under the search folder text (ending in "/") as a loose
// entry of this priority; links to folders outside it are not followed. A folder past
// the bounds is skipped, and past the totals the listing stops, each with one line.
void list_folder_into(growable_array* entries, const char* folder, int priority, listing_budget& budget);

// The work the listing and the sweeps of leftovers have done in this process.
extern listing_work listing_counts;
