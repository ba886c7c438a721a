#include "view/limb.h"

#include <algorithm>
#include <cmath>

namespace vec {

bool normalise(float v[3])
{
    const float len = std::sqrt(dot(v, v));
    if (!(len > 1e-12f) || !std::isfinite(len))
        return false;
    v[0] /= len, v[1] /= len, v[2] /= len;
    return true;
}

void unit_or_perpendicular(float v[3], const float axis[3])
{
    if (normalise(v))
        return;
    // Cross the axis with the world axis it leans on least.
    const float ax = std::fabs(axis[0]), ay = std::fabs(axis[1]), az = std::fabs(axis[2]);
    const float e[3] = {ax <= ay && ax <= az ? 1.0f : 0.0f, ay < ax && ay <= az ? 1.0f : 0.0f,
                        az < ax && az < ay ? 1.0f : 0.0f};
    cross(v, axis, e);
    if (!normalise(v))
        v[0] = 1, v[1] = 0, v[2] = 0;
}

}  // namespace vec

void limb_joint(float out[3], const float a[3], float l1, const float t[3], float l2, const float h[3])
{
    const float hint[3] = {h[0], h[1], h[2]};
    float n[3];
    vec::sub(n, t, a);
    const float reach = std::sqrt(vec::dot(n, n));
    if (!vec::normalise(n)) {
        // Target at the root: reach towards the hint, or straight down.
        vec::sub(n, hint, a);
        if (!vec::normalise(n))
            n[0] = 0, n[1] = -1, n[2] = 0;
    }
    float m[3];
    vec::sub(m, hint, a);
    const float along = vec::dot(m, n);
    for (int k = 0; k < 3; ++k)
        m[k] -= along * n[k];
    vec::unit_or_perpendicular(m, n);

    const float r = std::min(reach, 0.95f * (l1 + l2));
    // A reach shorter than |l1 - l2| folds the limb flat on the line instead of
    // taking the square root of a negative number.
    float along_n = r > 0 ? (l1 * l1 - l2 * l2 + r * r) / (2 * r) : l1;
    along_n = std::clamp(along_n, -l1, l1);
    const float side = std::sqrt(std::max(0.0f, l1 * l1 - along_n * along_n));
    for (int k = 0; k < 3; ++k)
        out[k] = a[k] + n[k] * along_n + m[k] * side;
}

void limb_frame(float out[9], const float a[3], const float b[3], const float u[3])
{
    float* x = out;
    float* y = out + 3;
    float* z = out + 6;
    float d[3];
    vec::sub(d, a, b);
    y[0] = d[0], y[1] = d[1], y[2] = d[2];
    if (!vec::normalise(y))
        y[0] = 0, y[1] = 1, y[2] = 0;
    vec::cross(z, u, d);
    vec::unit_or_perpendicular(z, y);
    vec::cross(x, y, z);
}
