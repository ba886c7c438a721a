// What killed writes leave in the user folder: every writer's temporary and the track
// editor's kept old files bear the game's mark (door/temp_mark.h), and a save of the
// largest grid killed in its commit leaves some 134 MB of them. The start's listing
// removes them from the folders the game writes (file_index_build); a save removes
// them from its own folder here.
#pragma once
#include "foundation/index/index_entry.h"

#include <string>

// Removes from folder (a data name such as "@tracks/t", or a path in the user folder)
// every entry bearing the game's mark that no write still holds; a link is removed
// itself, never what it names. Only a folder the door's write step reaches is swept,
// and only while no other copy of the game runs (door/running_lock.h). Reads at most
// max_names names, as many as the listing reads in one folder. Returns how many went.
int leftover_sweep_folder(const std::string& folder, int max_names = kListingBounds.folder_names);
