// Where the detail windows go: their sizes, the snapped origin around the camera, and
// which level the next redraw serves.
#include "terrain/terrain_textures.h"

void terrain_window_sizes(float cell, int32_t* l, int32_t* m)
{
    if (cell >= 1.0f || !(cell > 0.0f)) {
        *l = 64;
        *m = 256;
        return;
    }
    int32_t half = 64;
    // Bounded: the record refuses cells below 1/256, which stop this at 8192.
    while (2.0f * float(half) * cell < 64.0f && half < (1 << 20))
        half *= 2;
    *l = 2 * half;
    *m = 8 * half;
}

int32_t terrain_window_origin(int32_t camera, int32_t w, int32_t size)
{
    const int32_t step = w / 4 > 0 ? w / 4 : 1;
    const int64_t c = int64_t(camera) + w / 8;
    // C's % keeps the sign of a negative camera; the clamp below covers that side.
    const int64_t p = c - c % step - w / 2;
    const int64_t last = int64_t(size) - 1 - w;
    return int32_t(p < 0 ? 0 : (p > last ? (last > 0 ? last : 0) : p));
}

int32_t terrain_pick_level(const terrain_state* t, int32_t* x, int32_t* z)
{
    for (int32_t k = t->detail_level_count - 1; k >= 0; --k) {
        const terrain_detail_level& level = t->detail_levels[k];
        const int32_t w = level.window;
        const int64_t dx = int64_t(t->camera_cell_x) - (int64_t(level.origin_x) + w / 2);
        const int64_t dz = int64_t(t->camera_cell_z) - (int64_t(level.origin_z) + w / 2);
        const bool far = dx > w / 4 || dx < -(w / 4) || dz > w / 4 || dz < -(w / 4);
        const bool served = (level.redraw & 2) != 0;
        if (!far && !served)
            continue;
        const int32_t nx = terrain_window_origin(t->camera_cell_x, w, t->size);
        const int32_t nz = terrain_window_origin(t->camera_cell_z, w, t->size);
        // A clamped window can stay "far" for good; picking it again would starve
        // the finer levels, so only a move or a pending redraw counts.
        if (served || nx != level.origin_x || nz != level.origin_z) {
            *x = nx;
            *z = nz;
            return k;
        }
    }
    return -1;
}
