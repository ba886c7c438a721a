// The race half of a race reset: the lineup, the racing lines, every rider on its
// start spot, the track script, the purge of the last track's textures and models,
// and the start state.
#pragma once
#include <cstdint>

// Continues reset_race once the track is loaded (or kept).
void race_start(const int32_t* lineup, int record, int32_t skill);

// The lineup of a race from the caller's (null = practice): exactly one local rider
// at most, one bot when nobody rides and no demo does. Returns the viewed slot.
int32_t race_lineup_prepare(const int32_t* given, int32_t out[160], int32_t demo_riders);

// Start spot i behind the start gate: rows of G gate slots, 10 ft apart; without
// slots, a row along +x from the middle of the terrain, 5 ft apart.
void race_start_spot(int32_t spot, float* x, float* z, float* yaw);

// Online: the spot of a rider that is not the local one, when `placed` remote and
// demo riders stand already and the local rider is on local_spot.
int32_t race_remote_spot(int32_t placed, int32_t local_spot);
