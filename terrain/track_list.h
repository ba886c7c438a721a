// The installed tracks and the one loaded: every folder of the file index holding
// "terrain.hf" or "terrain.hf.gz" is a track; its title is the first line of its
// optional "desc" file, else the folder name ("tracks/oval").
#pragma once
#include <cstddef>
#include <cstdint>

#include "terrain/terrain_state.h"

struct track_entry {
    char* folder;       // index-relative, e.g. "tracks/oval"
    char* title;
};

extern track_entry* track_list;
extern int32_t track_count;

// Rebuilds the list from the file index, sorted by title ignoring letter case (equal
// titles keep index order); past max_tracks the downloads naming the most tracks (then
// the newest) are left out first, whole, each with one line, and never the program's
// own. 1 when a track was found.
inline constexpr size_t kTrackListMax = 50000;
int scan_tracks(size_t max_tracks = kTrackListMax);
// The title of a listed folder (exact comparison), null when not listed.
const char* track_list_title(const char* folder);
// The listed track a stored name means (config's "track", a demo's header, a series
// event, the command line): the one spelt so, else the one track whose folder differs
// from it only by letter case, with one line the first time; -1 when there is none, or
// more than one such, since two folders differing by case are two tracks. A server's
// name is matched exactly.
int32_t track_list_find(const char* folder);
void free_track_list();

// The folder and title of the loaded track; null when none is loaded.
extern char* track_folder;
extern char* track_title;
// The loaded track's ground.
extern terrain_state track_terrain;
// The identity of the loaded track (see track_hash_compute).
extern uint8_t track_hash[20];

// Writes the loaded track's file "@" + track_folder + "/" + name through a temporary
// beside it; "Can't open 'name'" on the console and 0 when that fails.
struct vfs_file;
int track_file_write(const char* name, int (*writer)(vfs_file* f, void* context), void* context = nullptr);
