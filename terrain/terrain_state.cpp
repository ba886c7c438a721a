// Lifecycle of the terrain record: the fresh state, the grid allocation and the release.
#include "terrain/terrain_state.h"

#include "terrain/refused_tail.h"

#include "foundation/memory.h"
#include "terrain/terrain_gl.h"

#include <cmath>
#include <cstring>

namespace {

void* zeroed_block(size_t bytes)
{
    void* block = mem_alloc(bytes ? bytes : 1);
    if (block)
        memset(block, 0, bytes);
    return block;
}

template <typename T>
void release(T*& block)
{
    if (block)
        mem_free(block);
    block = nullptr;
}

void release_list(growable_array& list)
{
    if (list.items)
        mem_free(list.items);
    int32_t element_size = list.element_size;
    list = growable_array{nullptr, 0, 0, element_size};
}

void release_decal_lists(terrain_state* t)
{
    delete t->decals_refused;
    t->decals_refused = nullptr;
    release_list(t->decals);
    release_list(t->decal_scratch[0]);
    release_list(t->decal_scratch[1]);
    release_list(t->appended_runs);
    for (int r = 0; r < kTerrainBucketsPerSide; ++r)
        for (int c = 0; c < kTerrainBucketsPerSide; ++c) {
            release_list(t->decal_buckets[r][c]);
            release_list(t->decal_runs[r][c]);
        }
}

void release_arrays(terrain_state* t)
{
    // The copy shares the heights' block.
    release(t->heights);
    t->heights_copy = nullptr;
    release(t->lod_error_a);
    release(t->lod_error_b);
    release(t->shadow);
    release(t->tile_map);
    release(t->lod_marks);
    release(t->dirty_blocks);
    release(t->mesh_vertices);
    release_list(t->draw_segments);
}

// The values every fresh or freed record starts from.
void reset_counters(terrain_state* t)
{
    t->draw_counter = 0;
    t->change_flags = 0;
    t->edit_lock = 0;
    t->camera_cell_x = kTerrainNoCameraCell;
    t->camera_cell_z = kTerrainNoCameraCell;
    t->detail_level_count = 0;
    t->redraw_level = kTerrainMaxDetailLevels;
    t->redraw_step = 0;
    t->redraw_mask = 0;
    t->redraw_copied = 0;
    t->detail_texture_size = 128;
    t->changed_cells = ~uint64_t{0};
    t->appended_decals = 0;
    t->appended_pending = 0;
}

}  // namespace

int terrain_blocks_per_side(const terrain_state* terrain)
{
    int b = (terrain->size - 1) / kTerrainBlockSide;
    return b > 1 ? b : 1;
}

int64_t terrain_pyramid_nodes(int32_t n)
{
    return ((int64_t{1} << (2 * (n + 1))) - 1) / 3;
}

void terrain_init(terrain_state* terrain)
{
    memset(terrain, 0, sizeof *terrain);
    reset_counters(terrain);
    terrain->height_change_count = 1;
    terrain->erosion_amount = -1;
    terrain->decals.element_size = sizeof(decal);
    terrain->decal_scratch[0].element_size = sizeof(int32_t);
    terrain->decal_scratch[1].element_size = sizeof(int32_t);
    terrain->appended_runs.element_size = sizeof(decal_run);
    for (int r = 0; r < kTerrainBucketsPerSide; ++r)
        for (int c = 0; c < kTerrainBucketsPerSide; ++c) {
            terrain->decal_buckets[r][c].element_size = sizeof(int32_t);
            terrain->decal_runs[r][c].element_size = sizeof(decal_run);
        }
}

int terrain_grid_ok(int32_t n, float cell, float min_height, float max_height)
{
    // A cell below 1/256 would make the 10-unit smoothing window and the detail-window
    // sizing run over millions of points; nothing real is that fine.
    return n >= 0 && n <= kTerrainMaxExponent && std::isfinite(cell) && cell >= 1.0f / 256.0f &&
           cell <= 1048576.0f && std::isfinite(min_height) && std::isfinite(max_height);
}

int terrain_alloc(terrain_state* t, int32_t n, float cell, float min_height, float max_height, uint8_t* shadow)
{
    if (!terrain_grid_ok(n, cell, min_height, max_height)) {
        mem_free(shadow);
        return 0;
    }

    const int32_t side = (1 << (n + 1)) + 1;
    const size_t points = size_t(side) * size_t(side);
    const size_t tiles = size_t(1) << (2 * n);
    const size_t nodes = size_t(terrain_pyramid_nodes(n));

    t->n = n;
    t->size = side;
    t->cell = cell;
    t->inv_cell = 1.0f / cell;
    t->cell2 = cell * 2.0f;
    t->world_size = float(1 << (n + 1)) * cell;
    t->min_height = min_height;
    t->max_height = max_height;
    const int32_t blocks = terrain_blocks_per_side(t);

    t->heights = static_cast<float*>(mem_alloc(points * 2 * sizeof(float)));
    t->lod_error_a = static_cast<float*>(zeroed_block(nodes * sizeof(float)));
    t->lod_error_b = static_cast<float*>(zeroed_block(nodes * sizeof(float)));
    t->shadow = shadow ? shadow : static_cast<uint8_t*>(zeroed_block(points));
    t->tile_map = static_cast<uint8_t*>(zeroed_block(tiles));
    t->lod_marks = static_cast<uint8_t*>(zeroed_block((nodes + 7) / 8));
    t->dirty_blocks = static_cast<uint8_t*>(zeroed_block((size_t(blocks) * blocks + 7) / 8));
    if (!t->heights || !t->lod_error_a || !t->lod_error_b || !t->shadow || !t->tile_map ||
        !t->lod_marks || !t->dirty_blocks) {
        release_arrays(t);
        t->n = 0;
        t->size = 0;
        return 0;
    }
    t->heights_copy = t->heights + points;
    t->heights[0] = min_height;
    mem_repeat(t->heights, sizeof(float), points * 2);
    return 1;
}

void terrain_free(terrain_state* terrain)
{
    terrain_release_gl(terrain);
    release_arrays(terrain);
    release_decal_lists(terrain);
    reset_counters(terrain);
    // Sizes go too, so nothing walks a grid that is no longer there.
    terrain->n = 0;
    terrain->size = 0;
}
