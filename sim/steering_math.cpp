#include "sim/steering_math.h"

#include "sim/drivetrain_math.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr float kPi = std::numbers::pi_v<float>;

float clamp_unit(float x)
{
    return std::max(std::min(x, 1.0f), 0.0f);
}

}  // namespace

float dead_zone(float x, float zone)
{
    if (x > zone)
        return x - zone;
    if (x < -zone)
        return x + zone;
    return 0.0f;
}

float steering_allowed_lock(const steering_setup& s, float grip, float lw)
{
    const float restricted = std::min(s.restricted_lock / std::max(grip, 0.125f), kPi / 4.0f);
    const float o0 = 1.0f / std::max(1.0f + s.full_lock_speed, s.restricted_lock_speed);
    const float span = 1.0f / s.full_lock_speed - o0;
    // Equal speeds leave no blend: past the restricted speed the lock is restricted.
    const float o = span != 0.0f ? clamp_unit((1.0f / std::max(1.0f, lw) - o0) / span) : 0.0f;
    return restricted + (kPi / 4.0f - restricted) * o;
}

steering_limits steering_slip_limits(const steering_setup& s, float lock, float slip, float height)
{
    steering_limits out{-s.max_steering_force, s.max_steering_force};
    const float wide = lock + (kPi / 4.0f - lock) * clamp_unit(2.0f * height);
    const float edge = 1.125f * wide + 0.015f;
    if (slip > wide)
        out.lo = (0.25f - 1.25f * clamp_unit((slip - edge) / (wide - edge))) * s.max_steering_force;
    else if (slip < -wide)
        out.hi *= 1.25f * clamp_unit((slip + edge) / (edge - wide)) - 0.25f;
    return out;
}

float roll_damping_torque(const steering_setup& s, float multiplier, float roll_rate, float lean, float speed)
{
    float c = s.roll_damping * multiplier * roll_rate;
    float level = s.leveling * lean;
    if (speed < s.slow_damping_speed) {
        const float scale = s.slow_damping_factor + (1.0f - s.slow_damping_factor) * speed / s.slow_damping_speed;
        c *= scale;
        level *= scale;
    }
    const bool same_way = (lean > 0.0f && roll_rate > 0.0f) || (lean < 0.0f && roll_rate < 0.0f);
    if (same_way && std::fabs(lean) > s.roll_limit_angle)
        c *= 1.0f + s.roll_limit_factor * (std::fabs(lean) - s.roll_limit_angle);
    return c + level;
}

float roll_rate_steering(const steering_setup& s, float steering, float lean, float roll_rate)
{
    float target = -2.5f * (steering * s.roll_limit_angle + lean);
    const bool uprighting = (target > 0.0f && lean < 0.0f) || (target < 0.0f && lean > 0.0f);
    const float most = uprighting ? 25.0f * kPi / 8.0f : 5.0f * kPi / 4.0f;
    target = std::clamp(target, -most, most);
    const float e = dead_zone(roll_rate - target, 0.125f);
    if (e < -0.25f)
        return -s.steering_strength;
    if (e > 0.25f)
        return s.steering_strength;
    return 4.0f * s.steering_strength * e;
}

float front_slide_amount(float lw, float lock, float slip, float head_angle, float lean)
{
    const float p = clamp_unit((lw - 5.0f) / 10.0f);
    const float x = p * lock / 4.0f;
    const float span = std::max((0.625f * p + 0.125f) * lock - x, 1e-6f);
    if (lean < 0.0f)
        return std::max(std::min((slip - x) / span, 1.0f), clamp_unit((head_angle + kPi / 12.0f) * -12.0f / kPi));
    return std::max(std::min(-(slip + x) / span, 1.0f), clamp_unit((head_angle - kPi / 12.0f) * 12.0f / kPi));
}

float arcade_slip_steering(float strength, float slip, float steering, float head_angle, float head_rate)
{
    const float aim = dead_zone(std::clamp(slip - steering * 0.5f - head_angle, -0.25f, 0.25f), 1.0f / 32.0f);
    const float g = dead_zone(8.0f * aim - head_rate, 1.0f / 2400.0f);
    if (g < -4.0f / 3.0f)
        return strength * (-2.0f / 3.0f);
    if (g > 4.0f / 3.0f)
        return strength * (2.0f / 3.0f);
    return strength * g * 0.5f;
}

float arcade_roll_speed(float roll_damping, float steering, float lean)
{
    const float e = std::fabs(kPi / 4.0f * steering + lean);
    const float q = clamp_unit((roll_damping - 40.0f) * 0.025f);
    const float speed = std::min(e, 0.0625f) * (1.5f - q * 0.5f) * 16.0f;
    return lean >= -kPi / 4.0f * steering ? -speed : speed;
}

float land_damping_rise(float multiplier, float factor, float rampup)
{
    if (rampup <= 0.0f)
        return factor;
    return std::min(multiplier + (factor - 1.0f) / rampup * kStepSeconds, factor);
}

float land_damping_fall(float multiplier, float factor, float falloff)
{
    if (multiplier <= 1.0f)
        return multiplier;
    if (falloff <= 0.0f)
        return 1.0f;
    return std::max(multiplier - (factor - 1.0f) / falloff * kStepSeconds, 1.0f);
}
