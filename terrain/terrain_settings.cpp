// Start-up values of the terrain settings (ground_detail 70, 1024 x 1024 textures).
#include "terrain/terrain_settings.h"

float terrain_error_scale = 0.125f / 70.0f;
int32_t terrain_texture_dim_index = 3;
int32_t terrain_ground_mipmaps = 1;
int32_t terrain_upload_budget = 1;
int32_t terrain_texture_drop = 0;
float terrain_max_detail_distance = 0;
float terrain_max_detail_distance_outer = 0;
