// Which pyramid nodes are refined this frame: forced over every detail window and
// within the most detailed distance of the camera, and wherever a node's refine
// distance reaches the camera.
#include "terrain/terrain_lod.h"

#include "terrain/terrain_settings.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

inline void set_mark(terrain_state* t, int64_t node)
{
    t->lod_marks[node >> 3] |= uint8_t(1u << (node & 7));
}

inline int32_t clamp(int32_t v, int32_t low, int32_t high)
{
    return v < low ? low : (v > high ? high : v);
}

int32_t log2_floor(int32_t v)
{
    int32_t k = 0;
    while (v > 1) {
        v >>= 1;
        ++k;
    }
    return k;
}

// The nodes of level k in columns first_c..last_c and rows first_r..last_r, and on each
// coarser level one more node around, so that the marked set stays balanced.
void mark_block(terrain_state* t, int32_t k, int32_t first_c, int32_t last_c, int32_t first_r, int32_t last_r)
{
    for (;;) {
        for (int32_t r = first_r; r <= last_r; ++r)
            for (int32_t c = first_c; c <= last_c; ++c)
                set_mark(t, terrain_node_index(k, r, c));
        if (k == 0)
            break;
        --k;
        const int32_t last = (1 << k) - 1;
        // C division truncates, so (0 - 1) / 2 is 0.
        first_c = clamp((first_c - 1) / 2, 0, last);
        first_r = clamp((first_r - 1) / 2, 0, last);
        last_c = clamp((last_c + 1) / 2, 0, last);
        last_r = clamp((last_r + 1) / 2, 0, last);
    }
}

// Every node overlapping the window on the level whose nodes are w/2 wide.
void force_window(terrain_state* t, const terrain_detail_level& level)
{
    const int32_t w = level.window;
    if (w < 2)
        return;
    int32_t k = t->n + 2 - log2_floor(w);
    k = clamp(k, 0, t->n);
    const int32_t W = (t->size - 1) >> k;
    const int32_t side = 1 << k;
    const int64_t ox = level.origin_x, oz = level.origin_z;
    // Half-open window [o, o + w): a node that only touches its far edge is outside.
    int64_t c0 = ox / W, c1 = (ox + w - 1) / W;
    int64_t r0 = oz / W, r1 = (oz + w - 1) / W;
    if (ox < 0)
        c0 = 0;
    if (oz < 0)
        r0 = 0;
    if (c0 >= side || r0 >= side || c1 < 0 || r1 < 0)
        return;
    mark_block(t, k, int32_t(c0), int32_t(c1 < side ? c1 : side - 1), int32_t(r0), int32_t(r1 < side ? r1 : side - 1));
}

// Every node of level k that reaches within `reach` ft of the camera along x and z.
void force_near_camera(terrain_state* t, int32_t k, float reach)
{
    if (!(reach > 0) || k < 0 || t->cell <= 0)
        return;
    const double W = double((t->size - 1) >> k) * t->cell;
    const int32_t side = 1 << k;
    const double x = t->camera_position[0], z = t->camera_position[2];
    // In doubles and clamped before the conversion: a camera far off the grid or a huge
    // distance gives no out-of-range node number.
    auto node = [&](double at) { return std::clamp(std::floor(at / W), -1.0, double(side)); };
    const double c0 = node(x - reach), c1 = node(x + reach), r0 = node(z - reach), r1 = node(z + reach);
    if (c1 < 0 || r1 < 0 || c0 >= side || r0 >= side)
        return;
    mark_block(t, k, int32_t(std::max(c0, 0.0)), int32_t(std::min(c1, side - 1.0)), int32_t(std::max(r0, 0.0)),
               int32_t(std::min(r1, side - 1.0)));
}

void mark_from(terrain_state* t, int32_t k, int32_t i, int32_t j)
{
    const int32_t W = (t->size - 1) >> k;
    const float cx = float(2 * j + 1) * float(W) * 0.5f * t->cell;
    const float cz = float(2 * i + 1) * float(W) * 0.5f * t->cell;
    const float dx = cx - t->camera_position[0];
    const float dz = cz - t->camera_position[2];
    const int64_t node = terrain_node_index(k, i, j);
    if (!(t->lod_error_a[node] > dx * dx + dz * dz))
        return;
    set_mark(t, node);
    if (k == t->n)
        return;
    mark_from(t, k + 1, 2 * i, 2 * j);
    mark_from(t, k + 1, 2 * i, 2 * j + 1);
    mark_from(t, k + 1, 2 * i + 1, 2 * j);
    mark_from(t, k + 1, 2 * i + 1, 2 * j + 1);
}

}  // namespace

int terrain_lod_marked(const terrain_state* t, int32_t k, int32_t row, int32_t column)
{
    if (k < 0 || k > t->n || !t->lod_marks)
        return 0;
    const int32_t side = 1 << k;
    if (row < 0 || column < 0 || row >= side || column >= side)
        return 0;
    const int64_t node = terrain_node_index(k, row, column);
    return (t->lod_marks[node >> 3] >> (node & 7)) & 1;
}

void terrain_lod_mark(terrain_state* t)
{
    if (!t->lod_marks || !t->lod_error_a || t->size < 3)
        return;
    memset(t->lod_marks, 0, size_t((terrain_pyramid_nodes(t->n) + 7) / 8));
    for (int32_t d = 0; d < t->detail_level_count && d < kTerrainMaxDetailLevels; ++d)
        force_window(t, t->detail_levels[d]);
    if (terrain_max_detail_distance > 0) {
        force_near_camera(t, t->n, terrain_max_detail_distance);
        force_near_camera(t, t->n - 1, terrain_max_detail_distance_outer);
    }
    mark_from(t, 0, 0, 0);
}
