#include "foundation/numbers/vec_math.h"

#include <cmath>

void vec3_normalize(float v[3])
{
    const double length = std::sqrt(double(v[0]) * v[0] + double(v[1]) * v[1] + double(v[2]) * v[2]);
    if (!(length > 0) || !std::isfinite(length))
        return;
    for (int i = 0; i < 3; ++i)
        v[i] = float(v[i] / length);
}

void quat_nlerp(float q[4], const float r[4], float t)
{
    const float dot = q[0] * r[0] + q[1] * r[1] + q[2] * r[2] + q[3] * r[3];
    const float sign = dot < 0 ? -1.0f : 1.0f;
    double sum = 0;
    for (int i = 0; i < 4; ++i) {
        const float from = sign * q[i];
        q[i] = from + t * (r[i] - from);
        sum += double(q[i]) * q[i];
    }
    const double length = std::sqrt(sum);
    if (!(length > 0) || !std::isfinite(length))
        return;
    for (int i = 0; i < 4; ++i)
        q[i] = float(q[i] / length);
}
