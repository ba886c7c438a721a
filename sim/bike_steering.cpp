// Steering, stage 9 of the bike step: the arcade mode's roll motor and slip steering,
// and the normal mode's roll damping, levelling, lock limits and front slide.
#include "sim/bike_step.h"

#include "sim/bike_step_parts.h"
#include "sim/steering_math.h"
#include "terrain/terrain_queries.h"
#include "terrain/tile_materials.h"

#include <algorithm>
#include <cmath>
#include <numbers>

using namespace bike_step_detail;
using contact_math::dot;
using contact_math::length;

namespace {

constexpr double kPi = std::numbers::pi;

// The steering axis in the fork upper's (and at rest the frame's) coordinates.
vec3 steering_axis(const bike_info& b)
{
    return contact_math::normalised_or(rest_offset(b.fork_upper_position, b.fork_lower_position), {0, 1, 0});
}

steering_setup setup_of(const rider_slot* r)
{
    steering_setup s;
    s.roll_damping = r->roll_damping;
    s.leveling = r->leveling;
    s.roll_limit_factor = r->roll_limit_factor;
    s.roll_limit_angle = r->roll_limit_angle;
    s.steering_strength = r->steering_strength;
    s.max_steering_force = r->max_steering_force;
    s.direct_steering = r->direct_steering;
    s.slow_damping_speed = r->slow_damping_speed;
    s.slow_damping_factor = r->slow_damping_factor;
    s.full_lock_speed = r->full_lock_speed;
    s.restricted_lock_speed = r->restricted_lock_speed;
    s.restricted_lock = r->restricted_lock;
    return s;
}

float air_input(const rider_slot* r)
{
    return (r->options & option_air_steering) ? r->direct_steering * r->steering * r->steering_strength : 0.0f;
}

void arcade_steering(rider_slot* r, float head_angle, float head_rate)
{
    const bike_info& b = info_of(r);
    dBodyID frame = r->bodies[body_frame];
    const vec3 p = position(frame);
    const vec3 v = velocity(frame);
    // One second of ballistic flight from here still clears the ground.
    const double ahead = terrain_height_at(ground(), float(p.x + v.x), float(p.z + v.z));
    if (!touches(r->front_contact) && b.frame_position[1] <= (p.y + v.y - 16.0) - ahead) {
        steering_torque(r, (head_angle * -50.0f + air_input(r)) * 1.5f);
        return;
    }
    const float lean = bike_lean_angle(frame);
    world_angular_motor(frame, axis(frame, 2), arcade_roll_speed(r->roll_damping, r->steering, lean), 1000);
    steering_torque(r, arcade_slip_steering(r->steering_strength, front_slip_angle(r), r->steering, head_angle, head_rate));
    const vec3 drag = point_velocity(frame, world_point(frame, {0, 0, 20})) * -0.25;
    dBodyAddForceAtRelPos(frame, drag.x, drag.y, drag.z, 0, 0, 20);
}

void normal_steering(rider_slot* r, float head_angle)
{
    const bike_info& b = info_of(r);
    const steering_setup s = setup_of(r);
    dBodyID frame = r->bodies[body_frame];
    dBodyID wheel = r->bodies[body_front_wheel];
    const terrain_state* t = ground();
    r->front_slide = 0;

    const double axle_rate = dJointGetHingeAngleRate(r->joints[joint_front_axle]);
    const float wheel_radius = b.front_ring_radius + b.front_tyre_radius;
    const float lw = float(wheel_radius * axle_rate);
    const vec3 hub = position(wheel);
    const float grip = t->friction_values[terrain_tile_at(t, float(hub.x), float(hub.z))][0];
    const float lock = steering_allowed_lock(s, grip, lw);
    const float slip = front_slip_angle(r);
    steering_limits limits{-s.max_steering_force, s.max_steering_force};
    if (lw > 1.0f) {
        const float height = float(hub.y) - wheel_radius - terrain_height_at(t, float(hub.x), float(hub.z));
        if (height < 0.5f)
            limits = steering_slip_limits(s, lock, slip, height);
    }

    const float lean = bike_lean_angle(frame);
    float d = r->steering * r->steering_strength * r->direct_steering;
    float c;
    if (!touches(r->front_contact) || axle_rate <= kPi / 4) {
        r->land_damping_multiplier =
            land_damping_rise(r->land_damping_multiplier, r->land_damping_factor, r->land_damping_rampup);
        c = head_angle * -50.0f;
        d = air_input(r);
    } else {
        const float roll_rate = float(dot(spin(frame), axis(frame, 2)));
        const float multiplier = r->land_damping_multiplier;
        r->land_damping_multiplier = land_damping_fall(multiplier, r->land_damping_factor, r->land_damping_falloff);
        c = roll_damping_torque(s, multiplier, roll_rate, lean, frame_speed(r));
        if (r->direct_steering < 1.0f) {
            const float k = roll_rate_steering(s, r->steering, lean, roll_rate);
            d = (d - k) * r->direct_steering + k;
        }
    }
    if (r->knock_timer > 0) {
        const float most = 200.0f * std::clamp((64.0f - r->knock_timer) / 64.0f, 0.0f, 1.0f);
        c = std::clamp(c, -most, most);
    }
    r->front_slide = front_slide_amount(lw, lock, slip, head_angle, lean);
    steering_torque(r, std::max(std::min((c + d) * 1.5f, limits.hi), limits.lo));
}

}  // namespace

float bike_lean_angle(dBodyID body)
{
    const vec3 forward = axis(body, 2) * -1.0;
    const vec3 up = axis(body, 1);
    const double l = std::hypot(forward.x, forward.z);
    // Pointing straight up or down the bike has no roll to speak of.
    if (!(l > 1e-12))
        return 0.0f;
    const double s = std::clamp(up.z * forward.x / l - forward.z / l * up.x, -1.0, 1.0);
    return float(std::acos(s) - kPi / 2);
}

float front_slip_angle(const rider_slot* r)
{
    const vec3 a = steering_axis(info_of(r));
    const vec3 v = vector_from_world(r->bodies[body_fork_upper], velocity(r->bodies[body_front_wheel]));
    const double q = v.y * a.z - v.z * a.y;
    if (q * q + v.x * v.x > 1.0)
        return float(-std::atan2(v.x, q));
    return 0.0f;
}

void steering_torque(rider_slot* r, float torque)
{
    if (!std::isfinite(torque))
        return;
    dVector3 out;
    const vec3 a = steering_axis(info_of(r));
    dBodyVectorToWorld(r->bodies[body_frame], a.x, a.y, a.z, out);
    const vec3 t = v3(out) * double(torque);
    dBodyAddTorque(r->bodies[body_front_wheel], t.x, t.y, t.z);
    dBodyAddTorque(r->bodies[body_frame], -t.x, -t.y, -t.z);
}

namespace bike_step_detail {

void steering_stage(rider_slot* r)
{
    if (crashed(r))
        return;
    dJointID head = r->joints[joint_steering];
    const float angle = float(dJointGetHingeAngle(head));
    if (r->arcade)
        arcade_steering(r, angle, float(dJointGetHingeAngleRate(head)));
    else
        normal_steering(r, angle);
}

}  // namespace bike_step_detail
