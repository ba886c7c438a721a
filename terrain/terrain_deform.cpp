// The brushes and the dirty markers.
#include "terrain/terrain_deform.h"

#include "terrain/grid_index.h"

#include <climits>
#include <cmath>

using namespace terrain_detail;

namespace {

// The brush's square of grid points and its centre in grid units.
struct brush_square {
    float X, Z;     // centre
    float R;        // radius
    int32_t cx, cz;
    int32_t K;
};

// 0 when the brush must not run at all.
int brush_setup(const terrain_state* t, float x, float z, float radius, float amount, brush_square* b)
{
    if (amount == 0.0f || !std::isfinite(amount) || !std::isfinite(x) || !std::isfinite(z) ||
        !std::isfinite(radius))
        return 0;
    b->R = radius * t->inv_cell;
    b->X = x * t->inv_cell;
    b->Z = z * t->inv_cell;
    // A centre this far out can only be a corrupt value; its indices would not fit.
    constexpr float far = 1073741824.0f;  // 2^30
    if (!std::isfinite(b->R) || !(std::fabs(b->X) < far) || !(std::fabs(b->Z) < far))
        return 0;
    // Twice the grid side covers the whole grid from any centre on it; larger radii
    // from a file or the editor would otherwise loop for hours.
    const double k = std::ceil(double(b->R));
    const double bound = 2.0 * (t->size > 0 ? t->size : 1);
    b->K = int32_t(k > bound ? bound : (k < -bound ? -bound : k));
    b->cx = floor_index(b->X);
    b->cz = floor_index(b->Z);
    return 1;
}

// The weight of point (i, j): distance in double, compared and shaped in float.
inline float brush_weight(const brush_square& b, int32_t i, int32_t j)
{
    const double dx = double(b.X) - double(i);
    const double dz = double(b.Z) - double(j);
    const float d = float(std::sqrt(dx * dx + dz * dz));
    if (!(d <= b.R))
        return 0.0f;
    const float s = d / b.R;
    return (2.0f * s - 3.0f) * s * s + 1.0f;
}

inline void raise_point(terrain_state* t, int32_t i, int32_t j, float w)
{
    if (i < 0 || j < 0 || i >= t->size || j >= t->size || t->edit_lock || !t->heights)
        return;
    t->change_flags = 7;
    float& h = t->heights[size_t(j) * size_t(t->size) + size_t(i)];
    h += w;
    if (h > t->max_height)
        t->max_height = h;
    if (h < t->min_height)
        t->min_height = h;
}

void brush_finish(terrain_state* t, const brush_square& b)
{
    terrain_mark_blocks_dirty(t, b.cx - b.K + 1, b.cz - b.K + 1, b.cx + b.K, b.cz + b.K);
    // Wraps to 1 like the draw counter: the build stamp only tests equality.
    t->height_change_count = t->height_change_count == INT_MAX ? 1 : t->height_change_count + 1;
}

}  // namespace

float brush_add(terrain_state* t, float x, float z, float radius, float amount)
{
    brush_square b;
    if (!brush_setup(t, x, z, radius, amount, &b))
        return 0.0f;
    float sum = 0.0f;
    for (int32_t j = b.cz - b.K + 1; j <= b.cz + b.K; ++j)
        for (int32_t i = b.cx - b.K + 1; i <= b.cx + b.K; ++i) {
            // Points outside the radius add nothing and count as unchanged.
            const float weight = brush_weight(b, i, j);
            if (weight == 0.0f)
                continue;
            const float w = amount * weight;
            sum += w;
            raise_point(t, i, j, w);
        }
    brush_finish(t, b);
    return sum;
}

void brush_add_normalised(terrain_state* t, float x, float z, float radius, float amount)
{
    brush_square b;
    if (!brush_setup(t, x, z, radius, amount, &b))
        return;
    float total = 0.0f;
    for (int32_t j = b.cz - b.K + 1; j <= b.cz + b.K; ++j)
        for (int32_t i = b.cx - b.K + 1; i <= b.cx + b.K; ++i)
            total += brush_weight(b, i, j);
    const float denominator = total > 1.0f ? total : 1.0f;
    for (int32_t j = b.cz - b.K + 1; j <= b.cz + b.K; ++j)
        for (int32_t i = b.cx - b.K + 1; i <= b.cx + b.K; ++i) {
            const float weight = brush_weight(b, i, j);
            if (weight != 0.0f)
                raise_point(t, i, j, amount * weight / denominator);
        }
    brush_finish(t, b);
}

void terrain_mark_blocks_dirty(terrain_state* t, int32_t x0, int32_t z0, int32_t x1, int32_t z1)
{
    if (!t->dirty_blocks || t->size <= 0)
        return;
    const int32_t blocks = terrain_blocks_per_side(t);
    // C division truncates toward zero, so -127..-1 land in block 0 as well.
    auto first = [&](int32_t v) {
        int32_t b = v < -127 ? 0 : v / kTerrainBlockSide;
        return b > blocks - 1 ? blocks - 1 : b;
    };
    auto last = [&](int32_t v) {
        int64_t b = v < -254 ? 0 : (int64_t(v) + 127) / kTerrainBlockSide;
        return int32_t(b > blocks - 1 ? blocks - 1 : b);
    };
    const int32_t c0 = first(x0), c1 = last(x1);
    const int32_t r0 = first(z0), r1 = last(z1);
    if (c1 < c0 || r1 < r0)
        return;
    for (int32_t r = r0; r <= r1; ++r)
        for (int32_t c = c0; c <= c1; ++c) {
            const int32_t bit = r * blocks + c;
            t->dirty_blocks[bit >> 3] |= uint8_t(1u << (bit & 7));
        }
}

void terrain_mark_region_dirty(terrain_state* t, int32_t x0, int32_t z0, int32_t x1, int32_t z1)
{
    for (int32_t k = 0; k < t->detail_level_count && k < kTerrainMaxDetailLevels; ++k) {
        terrain_detail_level& level = t->detail_levels[k];
        const int64_t ox = level.origin_x, oz = level.origin_z, w = level.window;
        if (ox + w >= x0 && ox <= x1 && oz + w >= z0 && oz <= z1)
            level.redraw |= 1;
    }
}
