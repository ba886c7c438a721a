// Stand-still, back-up and the automatic dab: stage 6 of the bike step. Its dab and
// brake changes last this tick only (stage 13 puts the inputs back).
#include "sim/bike_step.h"

#include "sim/bike_step_parts.h"
#include "sim/crash_math.h"

#include <algorithm>
#include <cmath>
#include <numbers>

using namespace bike_step_detail;
using contact_math::length;

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kPulseStep = 0.049473900056532176;   // one cosine pulse per 128 ticks

// Pushes the bike backwards in one-second pulses, turning it by the steering.
void back_up(rider_slot* r)
{
    r->dab = crashed(r) ? 0.0f : 1.0f;
    const int32_t t = now_tick();
    double w = (1.0 - std::cos((t & 127) * kPulseStep)) * 0.5;
    // Before the gate has been down a second no push comes in the pulses that bits 7
    // and 8 of the tick pick out.
    const int32_t start = (gate_drop() + 128) & ~127;
    if (t < start && (t & 0x180))
        w = 0.0;
    dBodyID frame = r->bodies[body_frame];
    const vec3 target = axis(frame, 2) * (4.0 * w);
    const float aim[3] = {float(target.x), float(target.y), float(target.z)};
    horizontal_velocity_pull(frame, 2000, aim);
    world_angular_motor(frame, {0, 1, 0}, w * (-r->steering * kPi / 2), 2000);
}

void auto_dab(rider_slot* r, float v)
{
    const float u = dab_speed_limit(r->max_dab_speed, r->knock_timer);
    if (v > u)
        return;
    const float lean = std::fabs(bike_lean_angle(r->bodies[body_frame]));
    if (v > kFastSpeed && lean < std::min((v - 15.0f) / 15.0f, 1.0f) * float(kPi / 4))
        return;
    const bool idle = r->throttle == 0 || r->clutch == 0;
    if (!(idle || v < kSlowSpeed || lean > kPi / 16))
        return;
    r->dab = crashed(r) ? 0.0f : std::clamp(std::max((u - v) / u, r->dab), 0.0f, 1.0f);
    if (v < kSlowSpeed && idle && touches(r->front_contact) && touches(r->rear_contact)) {
        r->front_brake = r->rear_brake = 1;
        const float still[3] = {0, 0, 0};
        horizontal_velocity_pull(r->bodies[body_frame], 1000, still);
    }
}

}  // namespace

void horizontal_velocity_pull(dBodyID body, float force_limit, const float target[3])
{
    const vec3 d = horizontal(velocity(body) - v3(target));
    const double l = length(d);
    if (!(l * l >= 1.0 / 16.0))
        return;
    const double b = std::clamp((l - 0.25) * 0.8, 0.0, 1.0);
    const vec3 f = d * (-b * force_limit / l);
    dBodyAddForce(body, f.x, 0, f.z);
}

namespace bike_step_detail {

held_inputs standstill_stage(rider_slot* r)
{
    const held_inputs held{r->dab, r->front_brake, r->rear_brake};
    const float v = frame_speed(r);
    if (r->back_up > 0 && v < kSlowSpeed)
        back_up(r);
    else if (r->options & option_auto_dab)
        auto_dab(r, v);
    return held;
}

}  // namespace bike_step_detail
