// The triangle choice and the queries built on it.
#include "terrain/terrain_queries.h"

#include "terrain/grid_index.h"

#include <cmath>
#include <utility>

using namespace terrain_detail;

namespace {

inline float grid_at(const terrain_state* t, const float* grid, int32_t i, int32_t j)
{
    const int32_t last = t->size - 1;
    i = clamp_index(i, 0, last);
    j = clamp_index(j, 0, last);
    return grid[size_t(j) * size_t(t->size) + size_t(i)];
}

}  // namespace

terrain_triangle terrain_pick_triangle(float grid_x, float grid_z)
{
    const float X = clamp_coordinate(grid_x);
    const float Z = clamp_coordinate(grid_z);
    const int32_t ix = floor_index(X);
    const int32_t iz = floor_index(Z);
    const float fx = X - float(ix);
    const float fz = Z - float(iz);

    terrain_triangle tri;
    float a;
    if ((ix ^ iz) & 1) {
        tri.px = ix;
        tri.qx = ix + 1;
        a = fx;
    } else {
        tri.px = ix + 1;
        tri.qx = ix;
        a = 1.0f - fx;
    }
    // Exactly on the diagonal (fz + a == 1) keeps the first triangle.
    if (fz + a > 1.0f) {
        tri.pz = iz + 1;
        tri.qz = iz;
        std::swap(tri.px, tri.qx);
        tri.u = 1.0f - a;
        tri.v = 1.0f - fz;
    } else {
        tri.pz = iz;
        tri.qz = iz + 1;
        tri.u = a;
        tri.v = fz;
    }
    return tri;
}

float terrain_interpolate(const terrain_state* t, const float* grid, float x, float z)
{
    if (!grid || t->size <= 0)
        return 0.0f;
    const terrain_triangle tri = terrain_pick_triangle(x * t->inv_cell, z * t->inv_cell);
    const float hp = grid_at(t, grid, tri.px, tri.pz);
    const float hx = grid_at(t, grid, tri.qx, tri.pz);
    const float hz = grid_at(t, grid, tri.px, tri.qz);
    return hp + tri.u * (hx - hp) + tri.v * (hz - hp);
}

float terrain_height_at(const terrain_state* terrain, float x, float z)
{
    return terrain_interpolate(terrain, terrain->heights, x, z);
}

void terrain_normal_at(const terrain_state* t, float x, float z, float normal[3])
{
    if (!t->heights || t->size <= 0) {
        normal[0] = 0.0f;
        normal[1] = t->cell * t->cell;
        normal[2] = 0.0f;
        return;
    }
    const terrain_triangle tri = terrain_pick_triangle(x * t->inv_cell, z * t->inv_cell);
    const float hp = grid_at(t, t->heights, tri.px, tri.pz);
    const float hx = grid_at(t, t->heights, tri.qx, tri.pz);
    const float hz = grid_at(t, t->heights, tri.px, tri.qz);
    const float dx = float(tri.qx - tri.px) * t->cell;
    const float dz = float(tri.qz - tri.pz) * t->cell;
    const float s = dx * dz < 0.0f ? -1.0f : 1.0f;
    normal[0] = -(hx - hp) * dz * s;
    normal[1] = std::fabs(dx * dz);
    normal[2] = -(hz - hp) * dx * s;
}

float terrain_height_smoothed(const terrain_state* t, float x, float z)
{
    if (!t->heights || t->size <= 0)
        return 0.0f;
    // Bounded like the other queries; NaN falls through to the plain height.
    if (!std::isfinite(x) || !std::isfinite(z))
        return terrain_height_at(t, x, z);
    const double c = t->cell;
    const double limit = double(kCoordinateLimit) * c;
    const double px = x < -limit ? -limit : (x > limit ? limit : x);
    const double pz = z < -limit ? -limit : (z > limit ? limit : z);

    const int32_t i0 = trunc_index((px - 10.0) / c);
    const int32_t i1 = int32_t(std::ceil((px + 10.0) / c));
    const int32_t j0 = trunc_index((pz - 10.0) / c);
    const int32_t j1 = int32_t(std::ceil((pz + 10.0) / c));
    const double fade = 10.0 + c;

    double weighted = 0.0;
    double weights = 0.0;
    for (int32_t j = j0; j <= j1; ++j)
        for (int32_t i = i0; i <= i1; ++i) {
            const double dx = i * c - px;
            const double dz = j * c - pz;
            const double d = std::sqrt(dx * dx + dz * dz);
            double w;
            if (d < 10.0)
                w = 1.0;
            else if (d < fade)
                w = (fade - d) / c;
            else
                continue;
            weighted += w * grid_at(t, t->heights, i, j);
            weights += w;
        }
    if (weights <= 0.0)
        return grid_at(t, t->heights, i0, j0);
    return float(weighted / weights);
}
