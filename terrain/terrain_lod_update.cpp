// The per-frame and after-load upkeep of the level of detail.
#include "terrain/terrain_lod.h"
#include "terrain/terrain_settings.h"

void terrain_update_step(terrain_state* terrain)
{
    terrain_lod_build(terrain, kTerrainFrameBuildBudget);
    terrain_upload_heights(terrain, terrain_upload_budget);
}

void terrain_update_all(terrain_state* terrain)
{
    // One unlimited call finishes even the largest grid; the loop only guards that.
    while (!terrain_lod_build(terrain, kTerrainUnlimitedBudget)) {
    }
    terrain_upload_heights(terrain, kTerrainUnlimitedBudget);
    terrain->camera_cell_x = kTerrainNoCameraCell;
    terrain->camera_cell_z = kTerrainNoCameraCell;
}
