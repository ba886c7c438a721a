// The door's write step, its bytes: a fresh temporary in the folder the walk holds
// open (data_place.h), renamed over the target within that same folder, so whatever
// stood at the target (a link, a pipe, a device) is replaced, never opened.
#pragma once
#include <cstdio>
#include <string>

struct data_place;

// A fresh temporary beside the target, created so it can only be a new file of ours
// (its name in temp_leaf, bearing the game's mark, temp_mark.h) and held while it is
// open; null when none could be made. In the user folder it is made only while this
// copy holds the running lock (running_lock.h).
FILE* data_place_temp(const data_place& place, std::string& temp_leaf);
// The temporary replaces the target, within the same open folder.
bool data_place_rename(const data_place& place, const std::string& temp_leaf);
void data_place_unlink(const data_place& place, const std::string& temp_leaf);
