// Loading a track folder and starting a race on it.
#pragma once
#include <cstdint>

// (Re)loads the requested track (or only restarts the race when it is loaded
// already) and puts the riders of the lineup on their start spots.
//   lineup: 160 values (race.network_lineup with its 161 for an online race), or
//           null for practice alone;
//   replay: load the track of the playback demo when one opens;
//   record: start recording a demo once the bikes are built;
//   time_limit_ticks: 0 = none; skill: 0..2, the racing-lines file.
void reset_race(const int32_t* lineup, int replay, int record, int32_t time_limit_ticks, int32_t laps,
                int32_t skill);

// What the track files need of the rider simulation: the racing-line tables sized
// by the timing gates, and the statues' collision shapes. The first reset_race calls
// it; tests that replace them call it first.
void race_install_track_entry_points();

// Empty, or what went wrong with the last track that did not load; the title view
// shows it while no track is loaded.
const char* track_load_failure();

// track_free is in race/race_restart.h.
#include "race/race_restart.h"

// The identity digest's files, fed in this order; then each distinct statue shape.
inline constexpr const char* kTrackHashFiles[] = {"terrain.hf", "terrain.png", "texturelist", "tilemap",
                                                  "tileinfo",   "nofrills.js", "timing_gates", "statues"};

// Loads the terrain of a folder into track_terrain; terrain_load by default. A test
// without GL puts its own here.
extern int (*track_terrain_loader)(const char* folder);
