// Friction, rolling resistance and softness of contacts.
#include "sim/contact_surface.h"

#include <algorithm>

bool contact_softness(double kp, double kd, double dt, double* erp, double* cfm)
{
    const double sum = dt * kp + kd;
    if (!(sum > 0.0))
        return false;
    *erp = dt * kp / sum;
    *cfm = 1.0 / sum;
    return true;
}

double tyre_softness(double depth, double tyre_radius, double* kp, double* kd)
{
    const double c = tyre_radius > 0.0 ? std::min(depth / tyre_radius, 1.0) : 1.0;
    const double c3 = c * c * c;
    *kp = 1000.0 + 24000.0 * c3;
    *kd = 200.0 + 2300.0 * c3;
    return c;
}

double friction_curve(const float speeds[kTerrainCurvePoints], const float values[kTerrainCurvePoints],
                      double s, bool squared)
{
    auto key = [&](int k) { return squared ? double(speeds[k]) * speeds[k] : double(speeds[k]); };
    const double x = squared ? s * s : s;
    if (speeds[0] == kTerrainUnusedSpeed || x < key(0))
        return values[0];
    for (int k = 1; k < kTerrainCurvePoints; ++k) {
        if (speeds[k] == kTerrainUnusedSpeed)
            return values[k - 1];
        if (x < key(k)) {
            const double t = std::clamp((x - key(k - 1)) / (key(k) - key(k - 1)), 0.0, 1.0);
            return values[k - 1] + t * (double(values[k]) - values[k - 1]);
        }
    }
    return values[kTerrainCurvePoints - 1];
}

void roll_resistance_curve(const float keys[kTerrainCurvePoints],
                           const float pairs[kTerrainCurvePoints][2], double w, double out[2])
{
    auto take = [out](const float* pair) {
        out[0] = pair[0];
        out[1] = pair[1];
    };
    if (keys[0] == 0.0f || w < keys[0])
        return take(pairs[0]);
    for (int k = 1; k < kTerrainCurvePoints; ++k) {
        if (keys[k] == 0.0f)
            return take(pairs[k - 1]);
        if (w < keys[k]) {
            const double t = std::clamp((w - keys[k - 1]) / (double(keys[k]) - keys[k - 1]), 0.0, 1.0);
            for (int i = 0; i < 2; ++i)
                out[i] = pairs[k - 1][i] + t * (double(pairs[k][i]) - pairs[k - 1][i]);
            return;
        }
    }
    take(pairs[kTerrainCurvePoints - 1]);
}
