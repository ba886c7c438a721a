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

float wrap_half_turn(float angle)
{
    if (angle > kPi)
        return angle - 2.0f * kPi;
    if (angle < -kPi)
        return angle + 2.0f * kPi;
    return angle;
}

float auto_clutch_engagement(float engagement, float rpm, float auto_clutch_rpms)
{
    if (rpm > auto_clutch_rpms + 2000.0f)
        return engagement;
    return std::min(engagement, clamp_unit((rpm - auto_clutch_rpms) * 0.0005f));
}

float clutch_step(clutch_state* state, const clutch_inputs& in)
{
    const float rpm = float(state->engine_speed * kRpmPerRadPerSec);
    const float windup = wrap_half_turn(state->drive_angle - float(in.axle_angle));
    float c = auto_clutch_engagement(in.engagement, rpm, in.auto_clutch_rpms);
    const float slip = state->engine_speed - float(in.axle_rate) * in.reduction;
    float torque = std::clamp(slip * in.damping, -500.0f, 500.0f) + in.stiffness * windup;
    if (torque < 0.0f)
        c = in.engagement;   // engine braking is never held back by the automatic clutch
    const float most = kPi / 4.0f * c;
    torque = std::clamp(torque, -1000000.0f, 1000000.0f);
    if (windup > most)
        state->drive_angle = float(in.axle_angle) + most;
    else if (windup < -most)
        state->drive_angle = float(in.axle_angle) - most;
    torque *= c * c;

    // An absent gear has no reduction: the engine then runs free of the axle.
    const bool coupled = std::fabs(in.reduction) > 1e-6f;
    const float load = coupled ? torque / in.reduction : 0.0f;
    const float inertia = in.inertia > 0.0f ? in.inertia : 1.0f;
    state->engine_speed += (in.engine_torque - load) / inertia * kStepSeconds;
    if (coupled)
        state->drive_angle = wrap_half_turn(state->drive_angle + state->engine_speed * kStepSeconds / in.reduction);
    return torque;
}

int auto_shift_target(int gear, float rpm, float shift_down_rpm, float shift_up_rpm)
{
    if (rpm > shift_up_rpm)
        return gear + 1;
    if (rpm >= shift_down_rpm)
        return gear;
    return gear <= 1 ? 0 : gear - 1;
}
