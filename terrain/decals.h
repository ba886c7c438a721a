// Decals on the ground and the 8 x 8 grid of buckets over the terrain square that
// lists, per cell, the ascending indices of the decals whose box touches it.
// Deleting and inserting leave the other decals' bucketed indices alone: the caller
// renumbers (delete i, then renumber (i, -1); renumber (i, +1), then insert at i).
#pragma once
#include "terrain/terrain_state.h"

// What one track may lay on its ground. Decals are placed one at a time in the editor,
// and a busy track has a few hundred; each is drawn into every bucket cell its box
// covers (up to all 64) at every ground-texture update, so 8192 decals of the largest
// box are half a million quads. Decals past the bound are refused with one line.
inline constexpr int32_t kMaxDecals = 8192;

// What drawing them costs grows with the cells each decal covers, so all of a track's
// decals may cover at most this many bucket cells, a decal counting each cell its box
// touches (1 to 64). Small decals touch one cell, or two to four where they cross a
// cell's edge: a busy track's few hundred use some hundreds of cells, a track at the
// count bound fits when its decals touch one cell each, and 128 decals over the whole
// track reach it. Past that, a start on a software renderer would spend more than two
// seconds drawing them. A decal that would pass it is refused with one line, as one
// past the count bound is.
inline constexpr int32_t kMaxDecalCells = 8192;

// Room for 16 decals, the two scratch lists and every cell's index and run lists.
// 0 when memory runs out (whatever was made is released by terrain_free).
int terrain_decals_alloc(terrain_state* terrain);

// The decal at index, or null outside 0..count-1.
decal* terrain_decal(terrain_state* terrain, int32_t index);

// Half-extents of the decal's axis-aligned box along x and z.
void decal_box(const decal* d, float* half_x, float* half_z);

// Bucket cell of a world coordinate along one axis: floor(v * 8 / world size), 0..7.
int32_t decal_bucket_coordinate(const terrain_state* terrain, float v);

// The bucket cells the decal's box touches, and those all bucketed decals touch.
int32_t decal_cells(const terrain_state* terrain, const decal* d);
int64_t decal_cells_used(const terrain_state* terrain);

void decal_bucket(terrain_state* terrain, int32_t index);
void decal_unbucket(terrain_state* terrain, int32_t index);
void decals_rebuild(terrain_state* terrain);
// "Out of range decal index" on the console and 0 for a bad index; 0 as well when the
// array cannot grow, already holds kMaxDecals, or the decal would pass kMaxDecalCells
// (with a line). Nothing changes then.
int decal_delete(terrain_state* terrain, int32_t index);
int decal_insert(terrain_state* terrain, const decal* record, int32_t index);  // null: zeroed
int decal_set(terrain_state* terrain, const decal* record, int32_t index);
void decal_buckets_renumber(terrain_state* terrain, int32_t first_index, int32_t delta);

// Ascending decal indices, each once, of the cells that the world box touches. With
// one cell involved this is that cell's own list: read it, never change it.
const growable_array* decals_near(terrain_state* terrain, float x0, float z0, float x1, float z1);
