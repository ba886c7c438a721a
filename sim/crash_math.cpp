#include "sim/crash_math.h"

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

crash_limits crash_thresholds(bool in_air, float flight_time, float since_landing)
{
    if (in_air)
        return {46.5f, 2064.0f};
    const float a = std::min((flight_time - 0.559f) * 7.9365087f, 1.0f);
    const float b = std::min((0.25f - since_landing) * 8.0f, 1.0f);
    const float t = 1.5f - 0.5f * std::max(a, 0.0f) * std::max(b, 0.0f);
    return {31.0f * t, 1376.0f * t};
}

float dab_speed_limit(float max_dab_speed, float knock_timer)
{
    return knock_timer <= -512.0f && max_dab_speed <= 75.0f ? 75.0f : max_dab_speed;
}

float dab_push_force(const dab_push_inputs& in)
{
    const float lean = std::fabs(in.lean);
    float q = in.lean < 0.0f ? kPi / 8.0f : -kPi / 8.0f;
    if (in.auto_dab && in.knock_timer < 0.0f)
        q *= 3.0f;
    if (lean < kPi / 16.0f)
        q *= lean * 16.0f / kPi;

    float e = 0.0f;
    if (q > 0.0f && in.roll_rate < q)
        e = -400.0f;
    else if (q < 0.0f && in.roll_rate > q)
        e = 400.0f;
    if (lean < kPi / 32.0f)
        e *= lean * 32.0f / kPi;

    const float v = in.speed;
    if (in.back_up < 0.125f || v > 5.0f) {
        float slack = lean;
        const float u = in.max_dab_speed;
        if (v > 0.0f) {
            if (v >= u)
                slack -= 5.0f * kPi / 2.0f;
            else if (v > 15.0f)
                slack -= 1.25f * (in.roll_limit_angle + (2.0f * kPi - in.roll_limit_angle) *
                                                            clamp_unit((v * v - 225.0f) / (u * u - 225.0f)));
            else
                slack -= 1.25f * in.roll_limit_angle * (1.0f - std::pow(1.0f - v * v / (u * u), 32.0f));
        }
        const float k = clamp_unit(4.0f * slack);
        // Steering toward the lean: the steering input's sign matches the side the bike
        // leans to (a negative lean leans to +x, where positive steering turns).
        const float toward = in.lean < 0.0f ? in.steering : -in.steering;
        e *= k + (1.0f - k) * clamp_unit(2.0f * (toward - 0.5f));
        if (v > 5.0f)
            e *= in.front_slide;
    }
    return e;
}
