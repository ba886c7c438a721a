// Putting a race back to a known state: the local rider back on the course, the
// loaded track freed, and the start lineup rotated.
#pragma once
#include <cstdint>

// Stops the demo, then puts the rider of slot 0 on the timing gate picked by the
// restart counter, facing the gate's direction of travel, raised until it touches
// nothing; its timing goes back to the start of the lap. Only the demo stops on a
// track without timing gates.
void local_rider_reset();
// A rider this far below the lowest ground has fallen off the world.
inline constexpr float kLostDepth = 50.0f;
// True when a frame at (x, y, z) is off the terrain or more than kLostDepth below its
// lowest ground; never without a loaded terrain.
bool rider_lost_at(float x, float y, float z);
// A lost rider of the slot goes back on the course and true is returned: on the
// timing gate it reached last, facing along it (its start spot before the first gate
// or without gates), its timing untouched; an automatic rider starts its recovery
// over towards the nearest point of its path.
bool rider_put_back_if_lost(int32_t slot);
// The timing position a restart uses, from the first-lap count F, the further-lap
// count N and the restart counter k: the second-to-last of a lap at k = 2, one earlier
// with each further restart, down to F; 0 when N is 0.
int32_t restart_position(int32_t F, int32_t N, int32_t k);

// Frees everything of the loaded track in a fixed order between the log lines
// "Deallocating track" and "Finished deallocating track": the editor's buffers
// (race_hooks.editor_leave), the
// racing lines, the object grid, the statues, the lighting's flares, the billboards,
// the flaggers, the trackside cameras and the terrain. track_folder stays as it is.
void track_free();

// The start lineup the menus hand to track reset: 0 empty, 1 the player, 2..4 robots,
// 1000 + n the series rider n.
extern int32_t start_lineup[160];
// Entry i moves to (i + n) mod 160; a negative n rotates the other way.
void lineup_rotate(int32_t n);
