// The stroke engines that run while the main button is held over the map: the height
// brushes (raise, lower, smooth, smudge and the four gradient brushes), the snap tool
// and the tile brush. Every stroke works against the editor's height snapshot.
#pragma once
#include "terrain/terrain_state.h"

// One tick of tools 0-3 and 5-8 along the segment (x0, z0)-(x1, z1): outer radius R and
// inner radius Ri in world units, strength factor s = 2^"Strength".
void brush_stroke(float x0, float z0, float x1, float z1, float R, float Ri, float s);

// The snapshot heights at world (x, z), on the ground's own triangles; level is always
// the full resolution (0).
float snapshot_height_at(const terrain_state* terrain, int level, float x, float z);

// The brush radius in world units: "Radius" (pixels of the map view) x world per pixel.
float editor_brush_radius();

// Per-tick drivers while the main button is held on the map. Each counts the tick
// itself (press_ticks += 1), so the caller must not.
// Tools 0-3 and 5-8: the segment from line_start (or the pointer) to the pointer.
void brush_tick();
// Tool 4: on the first tick of a press and then every 16th.
void snap_tick();
// Tool 14: on the first tick of a press and then every 32nd.
void tile_brush_tick();
