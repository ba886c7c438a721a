// The terrain's share of the graphics settings: made at start-up from "@config" and
// the command line, read when a track loads and every frame.
#pragma once
#include <cstdint>

// E of the refine distance: 0.125 / ground_detail, or "--detail" given directly.
extern float terrain_error_scale;
// Detail texture side T = 128 << this index (the ground texture resolution choice).
extern int32_t terrain_texture_dim_index;
// The ground texture reduction, in levels (0..10): each halves the detail texture side,
// never below 128 (the "Ground Texture Levels" setting, 10 - levels).
extern int32_t terrain_texture_drop;
// The most detailed distance (ft): the mesh is at its finest within it of the camera, and
// one level coarser out to the second distance (5 ft further). 0: none beyond the error.
extern float terrain_max_detail_distance;
extern float terrain_max_detail_distance_outer;
// Non-zero: the detail textures carry mipmaps and are sampled trilinearly.
extern int32_t terrain_ground_mipmaps;
// Height blocks the per-frame upkeep may upload; the main loop sets it each frame.
extern int32_t terrain_upload_budget;
