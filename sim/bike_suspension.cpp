// The rider on its springs and the fork and shock as joint motors: stages 7 and 8 of
// the bike step, and the suspension graph's samples.
#include "sim/bike_step.h"

#include "sim/bike_step_parts.h"
#include "sim/suspension_math.h"

#include <algorithm>
#include <cmath>

using namespace bike_step_detail;
using contact_math::dot;
using contact_math::length2;

namespace {

constexpr double kRiderSpringShare = 0.21333333333333335;

linkage_curve linkage_of(const bike_info& b)
{
    return {b.linkage_breakpoint, b.linkage_mid, b.linkage_end, b.linkage_slopes[0], b.linkage_slopes[1],
            b.linkage_slopes[2]};
}

damper_coefficients damping_of(const suspension_settings& s)
{
    return {s.compression, s.slow_compression, s.rebound, s.slow_rebound};
}

// The telemetry reads the bike's own damping, not the rider's setup.
damper_coefficients fork_base(const bike_info& b)
{
    return {b.fork_compression_damping, b.fork_slow_compression_damping, b.fork_rebound_damping,
            b.fork_slow_rebound_damping};
}

damper_coefficients shock_base(const bike_info& b)
{
    return {b.shock_compression_damping, b.shock_slow_compression_damping, b.shock_rebound_damping,
            b.shock_slow_rebound_damping};
}

// A motor that pushes outwards with force at most |force|, or holds when it is negative.
void suspension_motor(dJointID j, bool slider, double force)
{
    const double speed = force < 0 ? 0.0 : 100.0;
    const double limit = std::isfinite(force) ? std::fabs(force) : 0.0;
    if (slider) {
        dJointSetSliderParam(j, dParamVel, speed);
        dJointSetSliderParam(j, dParamFMax, limit);
    } else {
        dJointSetHingeParam(j, dParamVel, speed);
        dJointSetHingeParam(j, dParamFMax, limit);
    }
}

float fill_sample(float position, float speed, const damper_coefficients& d, float* p, float* v, float* ratio)
{
    const damper_sample s = damper_telemetry(d, speed);
    *p = position;
    *v = speed;
    *ratio = s.ratio;
    return s.value;
}

}  // namespace

void shock_linkage(const rider_slot* r, float position, float* travel, float* ratio)
{
    const linkage_point p = shock_linkage_curve(linkage_of(info_of(r)), position);
    *travel = p.travel;
    *ratio = p.ratio;
}

float bike_fork_telemetry(const rider_slot* r, float* position, float* speed, float* ratio)
{
    const bike_info& b = info_of(r);
    dJointID slider = r->joints[joint_fork_slider];
    return fill_sample(float(-dJointGetSliderPosition(slider) / b.fork_travel), float(dJointGetSliderPositionRate(slider)),
                       fork_base(b), position, speed, ratio);
}

float bike_shock_telemetry(const rider_slot* r, float* position, float* speed, float* ratio)
{
    const bike_info& b = info_of(r);
    dJointID hinge = r->joints[joint_swingarm];
    const shock_output s = shock_torque({}, linkage_of(b), b.swingarm_travel, float(dJointGetHingeAngle(hinge)),
                                        float(dJointGetHingeAngleRate(hinge)));
    return fill_sample(s.position, s.speed, shock_base(b), position, speed, ratio);
}

namespace bike_step_detail {

void rider_springs_stage(rider_slot* r)
{
    // A thrown rider hangs on its tethers instead.
    if (crashed(r))
        return;
    const bike_info& b = info_of(r);
    const double m = b.rider_mass * kRiderSpringShare;
    dJointID hinge = r->joints[joint_rider];
    dJointSetHinge2Param(hinge, dParamSuspensionERP, 0);
    dJointSetHinge2Param(hinge, dParamSuspensionCFM, 1.0 / (m * (30.0 * r->rider_zdamping + 5.0)));

    dBodyID rider = r->bodies[body_rider];
    dBodyID frame = r->bodies[body_frame];
    const vec3 at = position(rider);
    const vec3 offset = seat_point(r) - at;
    if (length2(offset) < 1.0 / 1024.0)
        return;
    const vec3 Y = axis(frame, 1);
    const vec3 Z = axis(frame, 2);
    const double J = dot(Z, offset);
    const double E = dot(Y, offset);
    const double dab = r->dab;

    // Fore and aft: the rider leans forward or back as asked, and crouches on a dab.
    const double aim = std::clamp((1.0 + dab) * 0.5 * E - double(r->lean), -0.75, 0.75);
    double kp = (std::fabs(J - aim) * 100.0 + 600.0 * r->rider_zspring) * m;
    double kd = 0.0;
    if (J < -0.75 || J > 0.75)
        kp = kd = 2500.0 * m;
    if (kp > 0.0)
        soft_push(rider, frame, at, J > aim ? Z : -Z, std::fabs(J - aim), kp, kd);

    // Up and down: a little below the seat, lower while dabbing.
    const double rise = E + 0.125 - dab * 0.5;
    kp = 400.0 * r->rider_yspring * m;
    kd = 100.0 * r->rider_ydamping * m;
    if (E > 0.5 || E < -0.75)
        kp = kd = 2500.0 * m;
    if (kp + kd > 0.0)
        soft_push(rider, frame, at, rise > 0.0 ? Y : -Y, std::fabs(rise), kp, kd);
}

void suspension_stage(rider_slot* r)
{
    const bike_info& b = info_of(r);
    dJointID slider = r->joints[joint_fork_slider];
    const fork_settings fork{damping_of(r->fork), r->fork.spring_rate, r->fork.preload, r->fork.oil_level};
    suspension_motor(slider, true,
                     fork_force(fork, b.fork_travel, float(dJointGetSliderPosition(slider)),
                                float(dJointGetSliderPositionRate(slider))));

    dJointID hinge = r->joints[joint_swingarm];
    const shock_settings shock{damping_of(r->shock), r->shock.spring_rate, r->shock.preload};
    const shock_output s = shock_torque(shock, linkage_of(b), b.swingarm_travel, float(dJointGetHingeAngle(hinge)),
                                        float(dJointGetHingeAngleRate(hinge)));
    suspension_motor(hinge, false, s.torque);
}

}  // namespace bike_step_detail
