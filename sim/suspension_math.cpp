#include "sim/suspension_math.h"

#include <algorithm>
#include <cmath>

namespace {

float clamp_unit(float x)
{
    return std::max(std::min(x, 1.0f), 0.0f);
}

struct side {
    float k, c;
};

side damper_side(const damper_coefficients& d, float v)
{
    if (v < 0.0f)
        return {d.compression, d.slow_compression};
    return {d.rebound, d.slow_rebound};
}

// One Hermite piece from (p0, m0) to (p1, m1) at x in 0..1, slope per unit of the
// whole curve's parameter.
linkage_point hermite(float p0, float p1, float m0, float m1, float x, float length)
{
    const float l = 3.0f * (p1 - p0) - m1 - 2.0f * m0;
    const float m = m1 + m0 + 2.0f * (p0 - p1);
    linkage_point out;
    out.travel = ((m * x + l) * x + m0) * x + p0;
    out.ratio = ((2.0f * l + 3.0f * m * x) * x + m0) / length;
    return out;
}

}  // namespace

float damper_force(const damper_coefficients& d, float v)
{
    const side s = damper_side(d, v);
    const float speed = std::fabs(v);
    const float size = std::max(std::min(s.c + s.k * speed, 8.0f * s.k * speed), s.k * speed / 8.0f);
    return v < 0.0f ? size : -size;
}

float fork_force(const fork_settings& s, float travel, float x, float v)
{
    float force = (s.preload - x) * s.spring_rate + damper_force(s.damping, v);
    const float gap = s.oil_level + travel;
    // A gap of nothing would make the air spring infinite; the oil level range keeps
    // it above zero, this keeps a bad setup finite.
    const float squeezed = std::max(gap - std::min(-x, travel), 1e-3f);
    force += (std::pow(gap / squeezed, 1.4f) - 1.0f) * 82.4616928100586f;
    const float ramp = travel > 0.0f ? clamp_unit(-x * 32.0f / travel) : 1.0f;
    return force * ramp;
}

linkage_point shock_linkage_curve(const linkage_curve& c, float position)
{
    const float b = c.breakpoint;
    if (b > 0.0f && (position <= b || b >= 1.0f))
        return hermite(0.0f, c.mid, c.slope0 * b, c.slope_mid * b, position / b, b);
    const float length = 1.0f - b;
    return hermite(c.mid, c.end, c.slope_mid * length, c.slope1 * length, (position - b) / length, length);
}

shock_output shock_torque(const shock_settings& s, const linkage_curve& curve, float swingarm_travel,
                          float angle, float rate)
{
    shock_output out;
    const float travel = swingarm_travel > 0.0f ? swingarm_travel : 1.0f;
    out.position = clamp_unit(-angle / travel);
    const linkage_point link = shock_linkage_curve(curve, out.position);
    out.speed = rate * link.ratio;
    const float push = (s.preload + link.travel) * s.spring_rate + damper_force(s.damping, out.speed);
    out.torque = clamp_unit(-angle * 32.0f / travel) * link.ratio * push;
    return out;
}

damper_sample damper_telemetry(const damper_coefficients& d, float v)
{
    const side s = damper_side(d, v);
    damper_sample out;
    out.value = s.c + s.k * std::fabs(v);
    out.ratio = out.value != 0.0f ? s.c / out.value : 0.0f;
    return out;
}
