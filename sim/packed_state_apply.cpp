// Placing a rider from packed states: every body set from one state, a sleeping bike
// given the velocities between two states, an awake one pulled there with forces.
#include "sim/packed_state.h"

#include "sim/bike_build.h"
#include "sim/bike_info.h"
#include "sim/bike_step.h"
#include "sim/packed_state_codec.h"
#include "sim/rider_access.h"
#include "terrain/terrain_queries.h"

#include <cmath>
#include <cstring>

using namespace packed_state;

namespace {

constexpr double kTick = 1.0 / 128.0;

struct vec3 {
    double x, y, z;
};

vec3 sub(const float a[3], const float b[3])
{
    return {double(a[0]) - b[0], double(a[1]) - b[1], double(a[2]) - b[2]};
}

// Positions are set in single precision, as every client sets them.
void set_position(dBodyID body, double x, double y, double z)
{
    dBodySetPosition(body, float(x), float(y), float(z));
}

// The world point of a body-relative point, set as another body's position.
void place_at(dBodyID body, dBodyID parent, vec3 v)
{
    dVector3 p;
    dBodyGetRelPointPos(parent, v.x, v.y, v.z, p);
    set_position(body, p[0], p[1], p[2]);
}

// Rotation = the parent's rotation followed by a turn about an axis of its own.
void turn_from(dBodyID body, dBodyID parent, vec3 axis, double angle)
{
    dMatrix3 turn, out;
    dRFromAxisAndAngle(turn, axis.x, axis.y, axis.z, angle);
    dMultiply0_333(out, dBodyGetRotation(parent), turn);
    dBodySetRotation(body, out);
}

void set_quaternion(dBodyID body, const uint8_t* in)
{
    double q[4];
    quaternion(in, q);
    dQuaternion dq = {q[0], q[1], q[2], q[3]};
    dBodySetQuaternion(body, dq);
}

// The frame's pose from the state.
void place_frame(rider_slot* r, const terrain_state* t, const uint8_t* s)
{
    double p[3];
    frame_position(s, t, p);
    set_position(r->bodies[body_frame], p[0], p[1], p[2]);
    set_quaternion(r->bodies[body_frame], s + at_frame_quaternion);
}

// The crash state from a control byte, as decoding sets it.
void apply_control(rider_slot* r, const bike_info* info, uint8_t control)
{
    const int32_t hi = control >> 4;
    if ((control & 7) == kCrashCode) {
        dJointAttach(r->joints[joint_rider], nullptr, nullptr);
        r->crash_counter = crash_counter(control);
        r->throttle = 0.0f;
        return;
    }
    if (r->crash_counter > 0) {
        // Back on the bike, with the rider body left where the state put it.
        dBodyID rider = r->bodies[body_rider];
        dVector3 p;
        dQuaternion q;
        std::memcpy(p, dBodyGetPosition(rider), sizeof(dReal) * 3);
        std::memcpy(q, dBodyGetQuaternion(rider), sizeof q);
        rider_attach(r);
        dBodySetPosition(rider, p[0], p[1], p[2]);
        dBodySetQuaternion(rider, q);
        r->crash_counter = 0;
    }
    const int gear = control & 7;
    r->gear = info ? bike_gear_for_request(info, gear > 5 ? 5 : gear) : 0;
    r->throttle = float(hi) / 15.0f;
}

struct body_pose {
    dVector3 position;
    dQuaternion orientation;
};

void record_poses(const rider_slot* r, body_pose poses[kBikeBodies])
{
    for (int b = 0; b < kBikeBodies; ++b) {
        std::memcpy(poses[b].position, dBodyGetPosition(r->bodies[b]), sizeof(dReal) * 3);
        std::memcpy(poses[b].orientation, dBodyGetQuaternion(r->bodies[b]), sizeof(dQuaternion));
    }
}

// The feet of a rider thrown off here, as a fall places them: where they stood on the
// bike, moving with the rider body.
void crash_feet(rider_slot* r)
{
    const int32_t counter = r->crash_counter;
    r->crash_counter = 0;
    float lw, rw;
    rider_foot_targets(r, r->left_foot, &lw, r->right_foot, &rw);
    r->crash_counter = counter;
    dVector3 v;
    dBodyGetPointVel(r->bodies[body_rider], r->left_foot[0], r->left_foot[1], r->left_foot[2], v);
    for (int i = 0; i < 3; ++i)
        r->left_foot_velocity[i] = float(v[i]);
    dBodyGetPointVel(r->bodies[body_rider], r->right_foot[0], r->right_foot[1], r->right_foot[2], v);
    for (int i = 0; i < 3; ++i)
        r->right_foot_velocity[i] = float(v[i]);
}

// A vector longer than limit is scaled down to it.
void cap(double v[3], double limit)
{
    const double n = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    if (n > limit)
        for (int i = 0; i < 3; ++i)
            v[i] *= limit / n;
}

// The rider's place on the frame in an old demo's state: its rest offset slid along
// the bike's rider travel axis by the slide byte.
vec3 legacy_rider_offset(const bike_info* info, uint8_t slide)
{
    const float* d = info->rider_travel_axis;
    const double len = std::sqrt(double(d[0]) * d[0] + double(d[1]) * d[1] + double(d[2]) * d[2]);
    const double b = double(slide) / 255.0;
    const double along = info->rider_travel_range[0] + b * (info->rider_travel_range[1] - info->rider_travel_range[0]);
    const double k = len > 0.0 ? along / len : 0.0;
    const vec3 rest = sub(info->rider_position, info->frame_position);
    return {rest.x + k * d[0], rest.y + k * d[1], rest.z + k * d[2]};
}

// A demo version 4 state in the 39-byte layout: the rider at its slide along the
// bike, turned with the frame.
void expand_legacy(const bike_info* info, const uint8_t* old, uint8_t out[kPackedStateSize])
{
    std::memcpy(out, old, legacy_rider_slide);
    double q[4];
    quaternion(old + at_frame_quaternion, q);
    const dQuaternion dq = {q[0], q[1], q[2], q[3]};
    dMatrix3 R;
    dQtoR(dq, R);
    const vec3 v = legacy_rider_offset(info, old[legacy_rider_slide]);
    const double local[3] = {v.x, v.y, v.z};
    for (int i = 0; i < 3; ++i) {
        const double world = R[4 * i] * local[0] + R[4 * i + 1] * local[1] + R[4 * i + 2] * local[2];
        const uint32_t c = code(clamp_nan_low(float(world), -16.0f, 16.0f) + 16.0f, 2047.96875f, 65535);
        out[at_rider_offset + 2 * i] = uint8_t(c);
        out[at_rider_offset + 2 * i + 1] = uint8_t(c >> 8);
    }
    std::memcpy(out + at_rider_quaternion, old + at_frame_quaternion, 8);
    out[at_front_wheel] = old[legacy_front_wheel];
    out[at_rear_wheel] = old[legacy_rear_wheel];
    out[at_control] = old[legacy_control];
    out[at_rpm] = old[legacy_rpm];
    out[at_rpm + 1] = old[legacy_rpm + 1];
}

}  // namespace

void bike_unpack_state(rider_slot* r, const terrain_state* t, const uint8_t* s, int version)
{
    const bike_info* info = bike_info_at(r->bike_index);
    if (!info)
        return;
    const bool legacy = version == 4;
    dBodyID frame = r->bodies[body_frame];
    place_frame(r, t, s);

    // Fork upper: turned on the steering head.
    dBodyID upper = r->bodies[body_fork_upper];
    place_at(upper, frame, sub(info->fork_upper_position, info->frame_position));
    turn_from(upper, frame, sub(info->fork_upper_position, info->fork_lower_position), steering_angle(s));

    // Swingarm: turned about its pivot.
    dBodyID swingarm = r->bodies[body_swingarm];
    const double sa = (double(s[at_swingarm]) / 255.0 - 1.0) * info->swingarm_travel;
    turn_from(swingarm, frame, {1.0, 0.0, 0.0}, sa);
    {
        const double ry = double(info->swingarm_position[1]) - info->swingarm_pivot[1];
        const double rz = double(info->swingarm_position[2]) - info->swingarm_pivot[2];
        const double c = std::cos(sa), sn = std::sin(sa);
        place_at(swingarm, frame,
                 {double(info->swingarm_position[0]) - info->frame_position[0],
                  info->swingarm_pivot[1] + (ry * c - rz * sn) - info->frame_position[1],
                  info->swingarm_pivot[2] + (ry * sn + rz * c) - info->frame_position[2]});
    }

    // Fork lower: slid along the fork legs.
    dBodyID lower = r->bodies[body_fork_lower];
    {
        const vec3 v = sub(info->fork_lower_position, info->fork_upper_position);
        const double len = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
        const double c = (double(s[at_fork]) / 255.0 - 1.0) * info->fork_travel;
        const double k = len > 0.0 ? 1.0 + c / len : 1.0;
        place_at(lower, upper, {v.x * k, v.y * k, v.z * k});
        dBodySetRotation(lower, dBodyGetRotation(upper));
    }

    // Rider body.
    dBodyID rider = r->bodies[body_rider];
    if (legacy) {
        place_at(rider, frame, legacy_rider_offset(info, s[legacy_rider_slide]));
        dBodySetRotation(rider, dBodyGetRotation(frame));
    } else {
        double p[3];
        frame_position(s, t, p);
        set_position(rider, p[0] + rider_offset(s, 0), p[1] + rider_offset(s, 1), p[2] + rider_offset(s, 2));
        set_quaternion(rider, s + at_rider_quaternion);
    }

    // Wheels on their axles.
    const uint8_t front_byte = s[legacy ? legacy_front_wheel : at_front_wheel];
    const uint8_t rear_byte = s[legacy ? legacy_rear_wheel : at_rear_wheel];
    place_at(r->bodies[body_front_wheel], lower, sub(info->front_axle, info->fork_lower_position));
    turn_from(r->bodies[body_front_wheel], lower, {-1.0, 0.0, 0.0}, wheel_angle(front_byte));
    place_at(r->bodies[body_rear_wheel], swingarm, sub(info->rear_axle, info->swingarm_position));
    turn_from(r->bodies[body_rear_wheel], swingarm, {-1.0, 0.0, 0.0}, wheel_angle(rear_byte));

    apply_control(r, info, s[legacy ? legacy_control : at_control]);
    r->engine_speed = engine_speed(s + (legacy ? legacy_rpm : at_rpm));
}

void bike_apply_snapshot(rider_slot* r, const terrain_state* t, const uint8_t* target, const uint8_t* from,
                         const uint8_t* to, int32_t ticks, int version)
{
    if (r->wake_timer > 0.25f) {
        // Steering reads the full layout; an old demo's states are widened to it first.
        const bike_info* info = bike_info_at(r->bike_index);
        if (version == 4 && info) {
            uint8_t wide[3][kPackedStateSize];
            expand_legacy(info, target, wide[0]);
            expand_legacy(info, from, wide[1]);
            expand_legacy(info, to, wide[2]);
            bike_steer_to_state(r, t, wide[0], wide[1], wide[2], ticks);
        } else if (version != 4) {
            bike_steer_to_state(r, t, target, from, to, ticks);
        }
        return;
    }
    const int32_t counter_before = r->crash_counter;
    body_pose a[kBikeBodies], b[kBikeBodies];
    bike_unpack_state(r, t, from, version);
    record_poses(r, a);
    bike_unpack_state(r, t, to, version);
    record_poses(r, b);

    const double n = ticks > 0 ? double(ticks) : 1.0;
    for (int k = 0; k < kBikeBodies; ++k) {
        dBodyID body = r->bodies[k];
        dBodySetLinearVel(body, (b[k].position[0] - a[k].position[0]) / (n * kTick),
                          (b[k].position[1] - a[k].position[1]) / (n * kTick),
                          (b[k].position[2] - a[k].position[2]) / (n * kTick));
        float w[3];
        quat_delta_angular_velocity(w, a[k].orientation, b[k].orientation);
        dBodySetAngularVel(body, w[0] / n, w[1] / n, w[2] / n);
    }

    bike_unpack_state(r, t, target, version);

    // Never below the ground: the bottom of the rear wheel, in the frame's axes.
    dVector3 down;
    dBodyVectorToWorld(r->bodies[body_frame], 0.0, -r->rear_contact.ring_radius, 0.0, down);
    const dReal* rear = dBodyGetPosition(r->bodies[body_rear_wheel]);
    const double bottom[3] = {rear[0] + down[0], rear[1] + down[1], rear[2] + down[2]};
    const double ground = terrain_height_at(t, float(bottom[0]), float(bottom[2]));
    if (ground > bottom[1]) {
        const double lift = ground - bottom[1];
        for (int k = 0; k < kBikeBodies; ++k) {
            const dReal* p = dBodyGetPosition(r->bodies[k]);
            set_position(r->bodies[k], p[0], p[1] + lift, p[2]);
        }
    }

    if (counter_before <= 0 && r->crash_counter > 0)
        crash_feet(r);
    const uint8_t control = target[version == 4 ? legacy_control : at_control];
    if ((control & 7) == kCrashCode || (control & 8)) {
        r->dab_state += float(8.0 * kTick);
        if (r->dab_state > 1.0f)
            r->dab_state = 1.0f;
    }
}

void bike_steer_to_state(rider_slot* r, const terrain_state* t, const uint8_t* target, const uint8_t* from,
                         const uint8_t* to, int32_t ticks)
{
    const bike_info* info = bike_info_at(r->bike_index);
    if (!info)
        return;
    dBodyID frame = r->bodies[body_frame];

    // Gains fade in as the wake timer runs down after a contact.
    const float b = r->wake_timer;
    double P = 0.0, V = 0.0, A = 0.0;
    if (b > 0.75f) {
    } else if (b > 0.5f) {
        const double k = clamp_nan_low((0.75f - b) * 4.0f, 0.0f, 1.0f);
        P = A = 5000.0 * k;
        V = -500.0 * k;
    } else {
        P = A = 5000.0 + 45000.0 * clamp_nan_low((0.5f - b) * 2.0f, 0.0f, 1.0f);
        V = -500.0;
    }

    double goal[3], p0[3], p1[3];
    frame_position(target, t, goal);
    frame_position(from, t, p0);
    frame_position(to, t, p1);
    const double span = (ticks > 0 ? double(ticks) : 1.0) * kTick;
    const dReal* pos = dBodyGetPosition(frame);
    const dReal* vel = dBodyGetLinearVel(frame);
    double force[3];
    for (int i = 0; i < 3; ++i)
        force[i] = P * (goal[i] - pos[i]) + V * (vel[i] - (p1[i] - p0[i]) / span);
    cap(force, 2500.0);
    dBodyAddForce(frame, force[0], force[1], force[2]);

    double q[4];
    quaternion(target + at_frame_quaternion, q);
    const dReal n = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
    dQuaternion goal_q = {q[0] / n, q[1] / n, q[2] / n, q[3] / n};
    float turn[3];
    quat_delta_angular_velocity(turn, dBodyGetQuaternion(frame), goal_q);
    const dReal* spin = dBodyGetAngularVel(frame);
    double torque[3];
    for (int i = 0; i < 3; ++i)
        torque[i] = A * kTick * turn[i] + V * spin[i];
    cap(torque, 2500.0);
    dBodyAddTorque(frame, torque[0], torque[1], torque[2]);

    dJointID head = r->joints[joint_steering];
    const float steer = float(dJointGetHingeAngle(head) + dJointGetHingeAngleRate(head));
    rider_set_steering(r, clamp_nan_low((steering_angle(target) - steer) / 4.0f, -1.0f, 1.0f));

    const uint8_t control = target[at_control];
    float dab = 0.0f;
    if ((control & 7) == kCrashCode) {
        if (r->crash_counter <= 0)
            crash_feet(r);
        apply_control(r, info, control);
    } else {
        apply_control(r, info, control);
        dab = (control & 8) ? 1.0f : 0.0f;
    }
    if (r->crash_counter > 0)
        dab = 0.0f;
    const float throttle = r->throttle;
    rider_set_throttle(r, throttle);
    rider_set_dab(r, dab);

    // Lean: how far the state's rider sits from its rest place on the frame.
    float lean = 0.0f;
    if (r->crash_counter <= 0) {
        dMatrix3 R;
        dQtoR(goal_q, R);
        const double d[3] = {rider_offset(target, 0), rider_offset(target, 1), rider_offset(target, 2)};
        // Frame axes are the columns of R: its own coordinates are R^T d.
        const double ly = R[1] * d[0] + R[5] * d[1] + R[9] * d[2];
        const double lz = R[2] * d[0] + R[6] * d[1] + R[10] * d[2];
        const double dy = double(info->rider_position[1]) - info->frame_position[1];
        const double dz = double(info->rider_position[2]) - info->frame_position[2];
        lean = clamp_nan_low(float((dy - ly) * (1.0 + dab) / 2.0 - (dz - lz)), -1.0f, 1.0f);
    }
    rider_set_lean(r, lean);
    r->engine_speed = engine_speed(target + at_rpm);
}
