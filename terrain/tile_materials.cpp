// Tile material defaults and the tile lookup.
#include "terrain/tile_materials.h"

#include "terrain/grid_index.h"

#include <cstring>
#include <numbers>

void roost_type_defaults(roost_type* r)
{
    memset(r, 0, sizeof *r);
    r->mode = 0;
    r->texture = 0;
    r->count = 10.0f;
    r->dig = 1.0f;
    r->slip_threshold = 4.0f;
    r->slow_angle = float(std::numbers::pi / 2);
    r->fast_angle = float(std::numbers::pi / 16);
    r->slow_speed = 0.0f;
    r->fast_speed = 64.0f;
    r->size = 0.25f;
    r->grow = 4.0f;
    r->drag = 0.5f;
    r->vscale = 1.0f;
    r->randomize = 15.0f;
    for (uint8_t& c : r->colour)
        c = 255;
    r->fade[0] = 0;
    r->fade[1] = 0;
    r->fade[2] = 0;
    r->fade[3] = -2;
}

void tile_erode_params_defaults(tile_erode_params* p)
{
    memset(p, 0, sizeof *p);
    p->depth = 1.0f;
    p->lower = 50.0f;
    p->upper = 150.0f;
    p->displacement = 2.0f;
    p->radius = 4.0f;
    p->inner_depth = 0.125f;
    p->inner_radius = 2.0f;
    p->min_slope = -0.5f;
    p->max_slope = 0.5f;
    p->off_speed = 10.0f;
    p->on_speed = 15.0f;
    p->slip_lower = 0.0f;
    p->slip_upper = 5.0f;
    p->slip_base_scale = 1.0f;
    p->slip_scale = 1.5f;
    p->downhill_scale = 0.0f;
    p->project_to_ground = 1.0f;
    p->lateral_scale = 1.0f;
    p->front_scale = 1.0f;
    p->limit_count = 0;
}

void terrain_tile_defaults(terrain_state* t, int tile)
{
    if (tile < 0 || tile >= kTerrainMaxTiles)
        return;
    memset(t->tile_names[tile], 0, kTerrainTileNameSize);
    for (int k = 0; k < kTerrainCurvePoints; ++k) {
        t->friction_values[tile][k] = 1.0f;
        t->friction_speeds[tile][k] = k == 0 ? 1.0f : kTerrainUnusedSpeed;
        t->roll_resist[tile][k][0] = 5.0f;
        t->roll_resist[tile][k][1] = 15.0f;
        t->roll_resist_speeds[tile][k] = k == 0 ? 1.0f : 0.0f;
    }
    t->slip_function[tile] = 0;
    for (roost_type& r : t->roost_types[tile])
        roost_type_defaults(&r);
    tile_erode_params* p = &t->erode_params[tile];
    tile_erode_params_defaults(p);
    p->limit_depth[0] = 0.0f;
    p->limit_first[0] = 1.0f;
    p->limit_second[0] = 1.0f;
    p->limit_count = 1;
    t->tile_textures[tile] = 0;
}

int terrain_tile_at(const terrain_state* t, float x, float z)
{
    using namespace terrain_detail;
    if (!t->tile_map || t->n < 0)
        return 0;
    const int32_t last = (1 << t->n) - 1;
    int32_t column = clamp_index(trunc_index(x * t->inv_cell * 0.5f), 0, last);
    int32_t row = clamp_index(trunc_index(z * t->inv_cell * 0.5f), 0, last);
    return t->tile_map[size_t(row) * size_t(last + 1) + size_t(column)];
}
