// Ground materials: the defaults a tile starts from, and which tile lies under a point.
#pragma once
#include "terrain/terrain_state.h"

// A roost type as a tile's "roost" line starts it (mode 0, no texture yet).
void roost_type_defaults(roost_type* roost);
// Erode parameters as a tile starts them, with no limit given yet.
void tile_erode_params_defaults(tile_erode_params* params);
// Gives tile t the materials of a tile that names nothing: friction 1.0 from speed 1.0,
// roll resistance (5, 15) keyed 1.0, slip function 0, four unused roost types, the
// erode defaults with the single limit (0, 1, 1), no name and no texture.
void terrain_tile_defaults(terrain_state* terrain, int tile);

// The tile map entry under world point (x, z): column trunc(x * inverse cell * 0.5),
// row likewise from z, each clamped to the map. 0 when there is no tile map.
int terrain_tile_at(const terrain_state* terrain, float x, float z);
