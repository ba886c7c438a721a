// Smooth brushes that change the heights in place, and the markers that tell the
// level-of-detail and ground-texture upkeep which parts of the grid to rebuild.
// Brush positions and radii are world units; marker rectangles are grid indices.
#pragma once
#include "terrain/terrain_state.h"

// Adds amount * weight(d / R) to every grid point within radius R of (x, z), with
// weight(t) = 1 - 3t^2 + 2t^3, and returns the sum of those additions, counting
// points off the grid and edits made while the record is locked. Marks the touched
// blocks and counts one edit. A zero or non-finite amount, or a non-finite centre or
// radius, does nothing and returns 0.
float brush_add(terrain_state* terrain, float x, float z, float radius, float amount);

// The same weights scaled by 1 / max(1, their sum), so the change adds up to about
// amount.
void brush_add_normalised(terrain_state* terrain, float x, float z, float radius, float amount);

// Sets the bits of the 128 x 128 blocks the rectangle touches, clamped to the grid.
void terrain_mark_blocks_dirty(terrain_state* terrain, int32_t x0, int32_t z0, int32_t x1, int32_t z1);

// Requests a redraw of every detail level whose window overlaps the rectangle.
void terrain_mark_region_dirty(terrain_state* terrain, int32_t x0, int32_t z0, int32_t x1, int32_t z1);
