// The GL objects of a loaded terrain outside its detail levels, made at load and
// released with the record.
#pragma once
#include "terrain/terrain_state.h"

// R32F, (N - 1)^2 texels from rows of N heights, linear where floats filter.
void terrain_heights_texture_create(terrain_state* terrain);
// R8 shadow bytes the same way, mipmapped.
void terrain_shadow_texture_create(terrain_state* terrain);
// R8 tile numbers, 2^n square, nearest.
void terrain_tilemap_texture_create(terrain_state* terrain);
// The 0x30000-byte streamed vertex buffer with its vertex array, and the detail
// framebuffer.
void terrain_mesh_buffers_create(terrain_state* terrain);
// Deletes every GL object the record holds and zeroes the ids; no GL call at all
// when it holds none.
void terrain_release_gl(terrain_state* terrain);
