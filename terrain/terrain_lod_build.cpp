// The refine-distance pyramid, built children first (levels n .. 0, rows, then
// columns) into array B and swapped into A when the root is done.
#include "terrain/terrain_lod.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

constexpr float kHalfDiagonal = 0.7071067811865476f;
// A little more than sqrt(2.5), the distance between the centres of a node and a
// half-size node along its edge, so refinement spreads to neighbours despite rounding.
constexpr float kNeighbourReach = 1.5826829301659018f;

inline float height(const terrain_state* t, int32_t i, int32_t j)
{
    return t->heights[size_t(j) * size_t(t->size) + size_t(i)];
}

void reset_triangle(terrain_state* t)
{
    t->build_triangle_row = 0;
    t->build_triangle_max = 0.0f;
    t->build_first_done = 0;
}

void start_build(terrain_state* t)
{
    t->build_stamp = -t->height_change_count;
    t->build_level = t->n;
    t->build_row = 0;
    t->build_column = 0;
    reset_triangle(t);
}

// B at (k, row, column), 0 outside the level.
inline float child_value(const terrain_state* t, int32_t k, int32_t row, int32_t column)
{
    const int32_t side = 1 << k;
    if (row < 0 || column < 0 || row >= side || column >= side)
        return 0.0f;
    return t->lod_error_b[terrain_node_index(k, row, column)];
}

float node_value(const terrain_state* t, int32_t k, int32_t i, int32_t j, float error)
{
    const float S = t->world_size;
    const float own = error / t->error_scale + S * kHalfDiagonal * std::ldexp(1.0f, -k);
    float value = own * own;
    if (k < t->n) {
        const int32_t c = k + 1, r2 = 2 * i, c2 = 2 * j;
        const float ring = std::max({child_value(t, c, r2 - 1, c2), child_value(t, c, r2 - 1, c2 + 1),
                                     child_value(t, c, r2, c2 + 2), child_value(t, c, r2 + 1, c2 + 2),
                                     child_value(t, c, r2 + 2, c2), child_value(t, c, r2 + 2, c2 + 1),
                                     child_value(t, c, r2, c2 - 1), child_value(t, c, r2 + 1, c2 - 1)});
        const float reach = std::sqrt(ring) + S * kNeighbourReach * std::ldexp(1.0f, -(k + 1));
        const float children = std::max({child_value(t, c, r2, c2), child_value(t, c, r2, c2 + 1),
                                         child_value(t, c, r2 + 1, c2), child_value(t, c, r2 + 1, c2 + 1)});
        value = std::max(value, std::max(reach * reach, children));
    }
    return value;
}

}  // namespace

int terrain_triangle_error(terrain_state* t, int32_t c0, int32_t r0, int32_t c1, int32_t r1)
{
    const int32_t L = std::abs(c1 - c0);
    const int32_t sx = c1 > c0 ? 1 : -1;
    const int32_t sz = r1 > r0 ? 1 : -1;
    const float hp = height(t, c0, r0);
    const float dx = height(t, c1, r0) - hp;
    const float dz = height(t, c0, r1) - hp;
    const float inv = L > 0 ? 1.0f / float(L) : 0.0f;

    int64_t budget = int64_t(t->work_budget) - 10;
    float worst = t->build_triangle_max;
    for (int32_t row = t->build_triangle_row; row <= L; ++row) {
        const int32_t j = r0 + sz * row;
        const float base = hp + dz * float(row) * inv;
        for (int32_t s = 0; s <= L - row; ++s) {
            const float plane = base + dx * float(s) * inv;
            const float e = std::fabs(height(t, c0 + sx * s, j) - plane);
            if (e > worst)
                worst = e;
        }
        budget -= L - row - 1;
        if (budget < 0) {
            t->work_budget = int32_t(std::max<int64_t>(budget, INT32_MIN));
            t->build_triangle_row = row + 1;
            t->build_triangle_max = worst;
            return 0;
        }
    }
    t->work_budget = int32_t(std::min<int64_t>(budget, INT32_MAX));
    t->build_triangle_row = 0;
    t->build_triangle_max = worst;
    return 1;
}

int terrain_lod_build(terrain_state* t, int32_t budget)
{
    if (!t->lod_error_a || !t->lod_error_b || !t->heights || t->size < 3)
        return 1;
    if (t->build_stamp >= 0) {
        if (t->build_stamp == t->height_change_count)
            return 1;
        start_build(t);
    }
    t->work_budget = budget;
    for (;;) {
        const int32_t k = t->build_level, i = t->build_row, j = t->build_column;
        const int32_t W = (t->size - 1) >> k;
        const int32_t x0 = j * W, x1 = x0 + W, z0 = i * W, z1 = z0 + W;
        // The node's two right triangles; the diagonal alternates like the grid's.
        const bool odd = ((i ^ j) & 1) != 0;
        if (!t->build_first_done) {
            const int ok = odd ? terrain_triangle_error(t, x0, z1, x1, z0) : terrain_triangle_error(t, x0, z0, x1, z1);
            if (!ok)
                return 0;
            t->build_first_done = 1;
        }
        if (!(odd ? terrain_triangle_error(t, x1, z0, x0, z1) : terrain_triangle_error(t, x1, z1, x0, z0)))
            return 0;

        t->lod_error_b[terrain_node_index(k, i, j)] = node_value(t, k, i, j, t->build_triangle_max);
        reset_triangle(t);

        const int32_t side = 1 << k;
        if (++t->build_column == side) {
            t->build_column = 0;
            if (++t->build_row == side) {
                t->build_row = 0;
                if (--t->build_level < 0) {
                    std::swap(t->lod_error_a, t->lod_error_b);
                    t->build_stamp = -t->build_stamp;
                    t->build_level = t->n;
                    return 1;
                }
            }
        }
        if (t->work_budget < 0)
            return 0;
    }
}
