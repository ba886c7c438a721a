#include "gfx/view_frustum.h"

#include "gfx/gl_queue.h"
#include "gfx/gl_state.h"

#include <cmath>

view_frustum gl_current_frustum()
{
    gl_replay_queue();
    const float* p = gl_current_matrix(1);
    const float* m = gl_current_matrix(0);
    // Clip coordinates = P x M x v; row r of P x M, in column-major storage.
    float row[4][4];
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            row[r][c] = p[r] * m[4 * c] + p[4 + r] * m[4 * c + 1] + p[8 + r] * m[4 * c + 2] + p[12 + r] * m[4 * c + 3];
    // -w <= x, y, z <= w: w + x, w - x, w + y, w - y, w + z, w - z are never negative.
    view_frustum f;
    for (int axis = 0; axis < 3; ++axis)
        for (int side = 0; side < 2; ++side) {
            const float sign = side ? -1.0f : 1.0f;
            for (int c = 0; c < 4; ++c)
                f.planes[2 * axis + side][c] = row[3][c] + sign * row[axis][c];
        }
    return f;
}

bool frustum_misses_sphere(const view_frustum& f, const float centre[3], float radius)
{
    if (!(radius >= 0) || !std::isfinite(radius))
        return false;
    for (const float* q : f.planes) {
        const float length = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2]);
        const float d = q[0] * centre[0] + q[1] * centre[1] + q[2] * centre[2] + q[3];
        // A margin for the rounding of the products: a sphere grazing a plane is kept.
        if (d < -radius * length * 1.001f - 1e-4f * std::fabs(q[3]))
            return true;
    }
    return false;
}

bool frustum_misses_box(const view_frustum& f, const float low[3], const float high[3])
{
    for (const float* q : f.planes) {
        // The box corner farthest along the plane's normal.
        float d = q[3], size = std::fabs(q[3]);
        for (int k = 0; k < 3; ++k) {
            const float v = q[k] >= 0 ? high[k] : low[k];
            d += q[k] * v;
            size += std::fabs(q[k] * v);
        }
        if (d < -1e-4f * size)
            return true;
    }
    return false;
}
