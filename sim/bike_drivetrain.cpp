// Engine, gearbox, clutch, brakes and the front wheel's wobble damping: stage 10 of
// the bike step, and the engine readings of the sound and the HUD.
#include "sim/bike_step.h"

#include "sim/bike_step_parts.h"
#include "sim/drivetrain_math.h"
#include "sim/rider_access.h"

#include <algorithm>
#include <cmath>

using namespace bike_step_detail;
using contact_math::dot;
using contact_math::length2;

namespace {

constexpr float kAntilockSpeed2 = 4.0f;   // contact velocity above 2 ft/s

float reduction(const rider_slot* r, const bike_info& b)
{
    return b.gear_ratios[std::clamp(r->gear, 0, kGearCount - 1)] * b.primary_ratio * r->final_drive_ratio;
}

float contact_speed2(const wheel_contact& w)
{
    return w.velocity[0] * w.velocity[0] + w.velocity[1] * w.velocity[1] + w.velocity[2] * w.velocity[2];
}

// Every 32nd tick with the rear suspension loaded and the rear tyre gripping.
void auto_shift(rider_slot* r, const bike_info& b)
{
    if (!(r->options & option_auto_shift) || (now_tick() & 31) != 0)
        return;
    if (!(dJointGetHingeAngle(r->joints[joint_swingarm]) < -0.01))
        return;
    if (touches(r->rear_contact) && contact_speed2(r->rear_contact) > kAntilockSpeed2)
        return;
    const double wheel_rpm =
        double(reduction(r, b)) * kRpmPerRadPerSec * dJointGetHingeAngleRate(r->joints[joint_rear_axle]);
    r->gear = bike_gear_for_request(&b, auto_shift_target(r->gear, float(wheel_rpm), b.shift_down_rpm, b.shift_up_rpm));
}

void brakes(rider_slot* r)
{
    float front = r->front_brake * r->front_brake_torque;
    if (touches(r->front_contact)) {
        if ((r->options & option_front_antilock) && contact_speed2(r->front_contact) > kAntilockSpeed2)
            front = 0;
        // The front brake lets go while only the front wheel is down (stop_wheelies).
        if ((r->options & (2 << option_stop_wheelies_shift)) && !touches(r->rear_contact))
            front = 0;
    }
    float rear = r->rear_brake * r->rear_brake_torque;
    if ((r->options & option_rear_antilock) && touches(r->rear_contact) && contact_speed2(r->rear_contact) > kAntilockSpeed2)
        rear = 0;
    dJointSetHingeParam(r->joints[joint_front_axle], dParamVel, 0);
    dJointSetHingeParam(r->joints[joint_front_axle], dParamFMax, std::max(front, 0.0f));
    dJointSetHingeParam(r->joints[joint_rear_axle], dParamVel, 0);
    dJointSetHingeParam(r->joints[joint_rear_axle], dParamFMax, std::max(rear, 0.0f));
}

// Damps the front wheel's spin about everything but its axle.
void front_wheel_damping(rider_slot* r)
{
    dBodyID wheel = r->bodies[body_front_wheel];
    dVector3 a;
    dBodyVectorToWorld(wheel, 1, 0, 0, a);
    const vec3 axle = v3(a);
    const vec3 w = spin(wheel);
    const vec3 t = (axle * dot(w, axle) - w) * double(r->steering_damping);
    dBodyAddTorque(wheel, t.x, t.y, t.z);
    dBodyAddTorque(r->bodies[body_frame], -t.x, -t.y, -t.z);
}

}  // namespace

float bike_engine_rpm(const rider_slot* r)
{
    return float(r->engine_speed * kRpmPerRadPerSec);
}

float bike_engine_torque(const rider_slot* r)
{
    const bike_info& b = info_of(r);
    const float rpm = bike_engine_rpm(r);
    const float shut = torque_curve_at(b.closed_torque, rpm);
    float torque = shut + (torque_curve_at(b.open_torque, rpm) - shut) * r->throttle;
    // Stop-wheelies: on the rear wheel alone the engine gives nothing unless the
    // frame already pitches forward.
    if ((r->options & (1 << option_stop_wheelies_shift)) && !touches(r->front_contact) && touches(r->rear_contact)) {
        const vec3 w = vector_from_world(r->bodies[body_frame], spin(r->bodies[body_frame]));
        if (w.x > -1.0 / 32.0)
            torque = std::min(torque, 0.0f);
    }
    return torque;
}

namespace bike_step_detail {

void drivetrain_stage(rider_slot* r)
{
    const bike_info& b = info_of(r);
    auto_shift(r, b);

    clutch_inputs in;
    in.engagement = r->clutch;
    in.auto_clutch_rpms = r->auto_clutch_rpms;
    in.stiffness = b.clutch_stiffness;
    in.damping = b.clutch_damping;
    in.inertia = b.engine_inertia;
    in.reduction = reduction(r, b);
    in.engine_torque = bike_engine_torque(r);
    in.axle_angle = dJointGetHingeAngle(r->joints[joint_rear_axle]);
    in.axle_rate = dJointGetHingeAngleRate(r->joints[joint_rear_axle]);
    clutch_state state{r->engine_speed, r->drive_angle};
    const float torque = clutch_step(&state, in);
    r->engine_speed = state.engine_speed;
    r->drive_angle = state.drive_angle;
    dBodyAddRelTorque(r->bodies[body_rear_wheel], -torque, 0, 0);
    dBodyAddRelTorque(r->bodies[body_frame], torque, 0, 0);

    brakes(r);
    front_wheel_damping(r);
}

}  // namespace bike_step_detail
