// Moving a whole bike: reset, translate, rotate, the rider's attachment, sleep and
// wake, and the matrices and spins the drawing and the state decoder need.
#include "sim/bike_build.h"

#include "sim/bike_graphics.h"
#include "sim/bike_info.h"
#include "sim/physics_world.h"
#include "sim/rider_access.h"

#include <cmath>
#include <cstring>
#include <numbers>

void bike_initial_values(rider_slot* r)
{
    const bike_info* b = bike_info_at(r->bike_index);
    r->final_drive_ratio = bike_final_drive_ratio(b, 0, 0);
    bike_set_fork(r, 1, 0, 1, 0, 0.5f, 0.5f, 0);
    bike_set_shock(r, 2, 0, 2, 1, 0.5f, 0.5f);
    rider_set_springs(r, 0.5f, 0.5f);
    rider_set_dampers(r, 0.75f, 0.75f);
    r->leveling = 20;
    r->roll_damping = 60;
    r->roll_limit_angle = std::numbers::pi_v<float> / 4;
    r->roll_limit_factor = 10;
    r->steering_damping = 45;
    r->steering_strength = 75;
    r->max_steering_force = 400;
    r->auto_clutch_rpms = 5000;
    r->front_brake_torque = 250;
    r->rear_brake_torque = 250;
    r->max_dab_speed = 30;
    r->options = option_air_steering | (2 << option_stop_wheelies_shift) | option_front_antilock | option_auto_align;
    r->direct_steering = 1;
    r->slow_damping_speed = 0;
    r->slow_damping_factor = 1;
    r->land_damping_rampup = 0.0625f;
    r->land_damping_falloff = 0.25f;
    r->land_damping_factor = 2;
    r->arcade = 0;
    r->full_lock_speed = 10;
    r->restricted_lock_speed = 50;
    r->restricted_lock = 0.08726646f;
}

void bike_reset(rider_slot* r)
{
    bike_place_at_rest(r);
    r->throttle = r->clutch = r->front_brake = r->rear_brake = r->steering = 0;
    r->dab = r->dab_state = r->back_up = r->lean = 0;
    r->gear = 0;
    r->last_shift_request = 0;
    r->drive_angle = 0;
    r->engine_speed = 0;

    r->timing_position = 0;
    r->gate_times.count = 0;
    r->finished = 0;
    r->line_buffers[0].count = r->line_buffers[1].count = 0;
    r->line_cancel_bits = 0;
    memset(r->picked_lines, 0, sizeof r->picked_lines);
    r->path.count = 0;
    r->path_index = r->path_count = 0;
    r->segment_counter = 0;
    r->progress_tick = 0;
    r->recovery = 0;
    r->start_timer = 0;
    r->limit_tick = 0;
    r->smoothed_throttle = 0;
    r->moved_from[0] = r->moved_from[1] = 0;
    r->moved_tick = -1;

    r->last_contact_tick = -1;
    r->rider_down = 0;
    r->last_contact_refresh_tick = -1;
    r->land_damping_multiplier = 1;
    r->airborne_tick = r->landed_tick = 0;
    r->crash_counter = r->crash_count = 0;
    r->realign_done = 0;
    r->knock_timer = 0;
    r->front_slide = 0;
    r->wake_timer = 1;   // a plain store: the bodies stay as they are
    memset(r->left_foot, 0, sizeof r->left_foot);
    memset(r->left_foot_velocity, 0, sizeof r->left_foot_velocity);
    memset(r->right_foot, 0, sizeof r->right_foot);
    memset(r->right_foot_velocity, 0, sizeof r->right_foot_velocity);
    memset(r->velocity_history, 0, sizeof r->velocity_history);
    memset(r->feedback, 0, sizeof r->feedback);
    memset(&r->front_contact.ruts, 0, sizeof r->front_contact.ruts);
    memset(&r->rear_contact.ruts, 0, sizeof r->rear_contact.ruts);
    rider_attach(r);
}

void rider_attach(rider_slot* r)
{
    const bike_info* b = bike_info_at(r->bike_index);
    dBodyID frame = r->bodies[body_frame];
    dBodyID rider = r->bodies[body_rider];
    const dReal* rotation = dBodyGetRotation(frame);
    dVector3 seat;
    dBodyGetRelPointPos(frame, b->rider_position[0] - b->frame_position[0], b->rider_position[1] - b->frame_position[1],
                        b->rider_position[2] - b->frame_position[2], seat);
    dBodySetPosition(rider, seat[0], seat[1], seat[2]);
    dBodySetRotation(rider, rotation);

    // Attaching derives the joint's relative anchors from the bodies as they are now,
    // so anchor and axes are set again from the frame's pose.
    dJointID j = r->joints[joint_rider];
    dJointAttach(j, rider, frame);
    dVector3 anchor, axis1, axis2;
    dBodyGetRelPointPos(frame, -b->frame_position[0], b->rider_position[1] - b->frame_position[1],
                        -50 - b->frame_position[2], anchor);
    dBodyVectorToWorld(frame, 0, 1, 1, axis1);
    dBodyVectorToWorld(frame, 1, 0, 0, axis2);
    dJointSetHinge2Anchor(j, anchor[0], anchor[1], anchor[2]);
    dJointSetHinge2Axes(j, axis1, axis2);
}

void bike_translate(rider_slot* r, float dx, float dy, float dz)
{
    for (dBodyID body : r->bodies) {
        const dReal* p = dBodyGetPosition(body);
        dBodySetPosition(body, p[0] + dx, p[1] + dy, p[2] + dz);
    }
}

void bike_rotate(rider_slot* r, float ax, float ay, float az, float angle)
{
    if (!(ax * ax + ay * ay + az * az > 0))
        return;   // no axis: ODE would abort
    dMatrix3 rotation;
    dRFromAxisAndAngle(rotation, ax, ay, az, angle);
    for (dBodyID body : r->bodies) {
        const dReal* p = dBodyGetPosition(body);
        dVector3 turned;
        dMultiply0_331(turned, rotation, p);
        dBodySetRotation(body, rotation);
        dBodySetPosition(body, turned[0], turned[1], turned[2]);
    }
}

void bike_set_wake_timer(rider_slot* r, float value)
{
    if (!(r->wake_timer > 0.25f))
        for (dBodyID body : r->bodies) {
            dBodySetForce(body, 0, 0, 0);
            dBodySetTorque(body, 0, 0, 0);
        }
    r->wake_timer = clamp_setting(value, 0, 1);
    const bool awake = r->wake_timer > 0.25f;
    for (dBodyID body : r->bodies) {
        if (awake)
            dBodyEnable(body);
        else
            dBodyDisable(body);
    }
}

int bike_is_awake(const rider_slot* r)
{
    return r->wake_timer > 0.25f;
}

void bike_wake(rider_slot* r)
{
    bike_set_wake_timer(r, 1);
}

void bike_sleep(rider_slot* r)
{
    bike_set_wake_timer(r, 0);
}

void bike_wake_on_contact(rider_slot* r)
{
    if (r->wake_timer == 0)
        bike_set_wake_timer(r, 1);
    else if (r->wake_timer <= 0.25f)
        bike_set_wake_timer(r, 0.25f);
}

void bike_wake_timer_tick(rider_slot* r)
{
    // Through the setter, so the bodies really sleep once the timer runs down.
    if (r->wake_timer > 0)
        bike_set_wake_timer(r, r->wake_timer - static_cast<float>(kTickLength));
}

void body_push_matrix(dBodyID body, float position[3], float rotation[9])
{
    const dReal* p = dBodyGetPosition(body);
    const dReal* r = dBodyGetRotation(body);   // 3 rows of 4
    for (int i = 0; i < 3; ++i) {
        position[i] = static_cast<float>(p[i]);
        for (int c = 0; c < 3; ++c)
            rotation[i * 3 + c] = static_cast<float>(r[i * 4 + c]);
    }
    // Column-major: the translation then the rotation.
    const float m[16] = {
        rotation[0], rotation[3], rotation[6], 0, rotation[1], rotation[4], rotation[7], 0,
        rotation[2], rotation[5], rotation[8], 0, position[0], position[1], position[2], 1,
    };
    bike_graphics_get()->push_matrix(m);
}

namespace {

void column(const dMatrix3 m, int c, double out[3])
{
    for (int r = 0; r < 3; ++r)
        out[r] = m[r * 4 + c];
}

void cross(const double a[3], const double b[3], double out[3])
{
    out[0] = a[1] * b[2] - a[2] * b[1];
    out[1] = a[2] * b[0] - a[0] * b[2];
    out[2] = a[0] * b[1] - a[1] * b[0];
}

double dot(const double a[3], const double b[3])
{
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

}  // namespace

void quat_delta_angular_velocity(float omega[3], const dQuaternion from, const dQuaternion to)
{
    omega[0] = omega[1] = omega[2] = 0;
    dMatrix3 m1, m2;
    dQtoR(from, m1);
    dQtoR(to, m2);
    // Every column moves perpendicular to the axis, so the cross product of two column
    // differences lies along it; the largest is the best conditioned.
    double d[3][3], c1[3][3];
    for (int c = 0; c < 3; ++c) {
        double a[3], b[3];
        column(m1, c, a);
        column(m2, c, b);
        for (int r = 0; r < 3; ++r)
            d[c][r] = b[r] - a[r], c1[c][r] = a[r];
    }
    double axis[3] = {0, 0, 0};
    double best = 0;
    for (int c = 0; c < 3; ++c) {
        double x[3];
        cross(d[c], d[(c + 1) % 3], x);
        const double length2 = dot(x, x);
        if (length2 > best)
            best = length2, memcpy(axis, x, sizeof axis);
    }
    if (!(best > 0))
        return;
    const double inv = 1.0 / std::sqrt(best);
    for (double& v : axis)
        v *= inv;
    // The column farthest from the axis, before and after, made perpendicular to it.
    int pick = 0;
    for (int c = 1; c < 3; ++c)
        if (std::fabs(dot(c1[c], axis)) < std::fabs(dot(c1[pick], axis)))
            pick = c;
    double before[3], after[3], moved[3];
    for (int r = 0; r < 3; ++r)
        moved[r] = c1[pick][r] + d[pick][r];
    const double along = dot(c1[pick], axis), along_after = dot(moved, axis);
    for (int r = 0; r < 3; ++r) {
        before[r] = c1[pick][r] - along * axis[r];
        after[r] = moved[r] - along_after * axis[r];
    }
    const double lengths = std::sqrt(dot(before, before) * dot(after, after));
    if (!(lengths > 0))
        return;
    double cosine = dot(before, after) / lengths;
    cosine = cosine > 1 ? 1 : cosine < -1 ? -1 : cosine;
    const double angle = std::acos(cosine);
    double turn[3];
    cross(before, after, turn);
    const double sign = dot(turn, axis) < 0 ? -1.0 : 1.0;
    for (int r = 0; r < 3; ++r)
        omega[r] = static_cast<float>(axis[r] * sign * angle * 128.0);
}

void bike_start_hold(rider_slot* r)
{
    r->dab = r->crash_counter > 0 ? 0.0f : 1.0f;
    r->clutch = 0;
    r->front_brake = r->rear_brake = 1;
    r->steering = 0;
    r->options = static_cast<uint8_t>(r->options & ~option_auto_shift);
    r->gear = bike_has_gear(bike_info_at(r->bike_index), 1) ? 1 : 0;
}
