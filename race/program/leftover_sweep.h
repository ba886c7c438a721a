// What killed writes leave in the user folder: every writer's temporary and the track
// editor's kept old files carry one name pattern (fresh_file.h), and a save of the
// largest grid killed in its commit leaves some 134 MB of them. The start removes them.
#pragma once

// Sweeps the folders the game writes in the user folder: the folder itself (config,
// results, frame times, screenshots), "setups", "keycam", "demos", "series", "tracks"
// and the folders below "tracks" (track folders, a pack's folders) down to 16 folders
// under the user folder and 250,000 names in all, as far as the start's listing reads. A folder that is a link is never entered; only the leftovers
// themselves are removed. Returns how many went.
int leftover_sweep_user_folder();
