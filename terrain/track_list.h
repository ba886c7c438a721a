// The installed tracks and the one loaded: every folder of the file index holding
// "terrain.hf" or "terrain.hf.gz" is a track; its title is the first line of its
// optional "desc" file, else the folder name ("tracks/oval").
#pragma once
#include <cstdint>

#include "terrain/terrain_state.h"

struct track_entry {
    char* folder;       // index-relative, e.g. "tracks/oval"
    char* title;
};

extern track_entry* track_list;
extern int32_t track_count;

// Rebuilds the list from the file index, sorted by title ignoring letter case (equal
// titles keep index order).
void scan_tracks();
void free_track_list();

// The folder and title of the loaded track; null when none is loaded.
extern char* track_folder;
extern char* track_title;
// The loaded track's ground.
extern terrain_state track_terrain;
// The identity of the loaded track (see track_hash_compute).
extern uint8_t track_hash[20];
