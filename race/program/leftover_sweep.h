// What killed writes leave in the user folder: every writer's temporary and the track
// editor's kept old files carry one name pattern (fresh_file.h), and a save of the
// largest grid killed in its commit leaves some 134 MB of them. The start removes them.
#pragma once

// Builds the file index, whose listing of the user folder removes the leftovers it
// meets in the folders the game writes: the folder itself (config, results, frame
// times, screenshots), "setups", "keycam", "demos", "series", "tracks" and the folders
// below "tracks", as deep and as far as the listing reads and charged to the download
// that holds them. A folder reached through a link is never swept; only the leftovers
// themselves are removed. Returns how many went; 0 when the index was built already.
int leftover_sweep_user_folder();
