// Crashes: when the rider is thrown (stage 5 of the bike step), the thrown rider on
// its tethers until it is back on the seat, and the tether itself.
#include "sim/bike_step.h"

#include "sim/bike_build.h"
#include "sim/bike_step_parts.h"
#include "sim/contact_joint.h"
#include "sim/crash_math.h"
#include "sim/sphere_contacts.h"

#include <algorithm>
#include <cmath>

using namespace bike_step_detail;
using contact_math::length;
using contact_math::length2;

namespace {

constexpr int32_t kCrashTicks = 512;
constexpr float kHandSlack = (0.9f + 1.15f) * 0.875f;   // the two arm lengths, a little short

// Hands (rider space) to the grips (fork-upper space).
constexpr float kHands[2][3] = {{-0.556f, 0.580375f, -0.654514f}, {0.556f, 0.580375f, -0.654514f}};
constexpr float kGrips[2][3] = {{-1.097f, 1.145f, 0.753f}, {1.097f, 1.145f, 0.753f}};
// Early in a crash the hips are held loosely behind the bars.
constexpr float kHipsPoint[3] = {0.0f, -0.570887f, 0.670607f};
constexpr float kHipsAnchor[3] = {0.0f, 1.145f, 10.753f};
constexpr float kHipsSlack = 8.0f;

bool too_hard(rider_slot* r)
{
    const int32_t now = now_tick();
    const bool in_air = r->landed_tick < r->airborne_tick;
    const crash_limits limits = crash_thresholds(in_air, float(r->landed_tick - r->airborne_tick) / 128.0f,
                                                 float(now - r->landed_tick) / 128.0f);
    dBodyID rider = r->bodies[body_rider];
    const vec3 v = velocity(rider);
    const vec3 against = v - point_velocity(r->bodies[body_frame], position(rider));
    if (length2(against) > double(limits.speed) * limits.speed)
        return true;
    const vec3 accel = (v - v3(r->velocity_history[now & 3])) * 32.0 + vec3{0, kGravity, 0};
    return length2(accel) > double(limits.acceleration) * limits.acceleration;
}

void crash_detection(rider_slot* r)
{
    if (r->knock_timer < 0)
        return;
    if (too_hard(r))
        rider_detach(r);
}

// Hands to the bars, the rider's shape against the frame and the bars.
void thrown_rider(rider_slot* r)
{
    dBodyID rider = r->bodies[body_rider];
    dBodyID fork = r->bodies[body_fork_upper];
    for (int side = 0; side < 2; ++side)
        body_tether(rider, kHands[side], fork, kGrips[side], kHandSlack);
    if (r->crash_counter > 511)
        body_tether(rider, kHipsPoint, fork, kHipsAnchor, kHipsSlack);
    collision_shape* shape = r->shapes[body_rider];
    for (bike_body part : {body_frame, body_fork_upper}) {
        if (!shape || !r->shapes[part])
            continue;
        float at[3], rotation[9];
        body_pose(r->bodies[part], at, rotation);
        body_collide_shape(shape, rider, r->shapes[part], r->bodies[part], at, rotation, kContactJoint);
    }
}

// Three ropes from above the seat draw the rider back on and upright; they shorten
// as the counter falls from 512 to 128.
void seat_tethers(rider_slot* r)
{
    const bike_info& b = info_of(r);
    const vec3 seat = rest_offset(b.rider_position, b.frame_position);
    const float slack = 5.0f * std::clamp((r->crash_counter - 128) / 384.0f, 0.0f, 1.0f);
    const float shifts[3][3] = {{0, 0, 0}, {-5, 10, 0}, {5, 10, 0}};
    for (const float* s : shifts) {
        const float on_frame[3] = {float(seat.x) + s[0], float(seat.y) + s[1], float(seat.z) + s[2]};
        body_tether(r->bodies[body_frame], on_frame, r->bodies[body_rider], s, slack);
    }
}

// The crashed rider's upper foot heads for a point 3 ft above and 1 ft behind its peg.
void upper_foot_push(rider_slot* r)
{
    const bike_info& b = info_of(r);
    dBodyID frame = r->bodies[body_frame];
    // The foot on the high side: the left one when the bike lies on its right.
    const int side = bike_lean_angle(frame) < 0 ? 0 : 1;
    float* foot = side == 0 ? r->left_foot : r->right_foot;
    float* speed = side == 0 ? r->left_foot_velocity : r->right_foot_velocity;
    const float* peg = &b.pose_points[kPoseFootPegs + 3 * side];
    const vec3 target = world_point(frame, {peg[0], peg[1] + 3.0, peg[2] + 1.0});
    vec3 d = (target - v3(foot)) * 32.0;
    const double l = length(d);
    if (l > 1.0)
        d = d * (1.0 / l);
    contact_math::store(d * 4.0, speed);
}

}  // namespace

void body_tether(dBodyID a, const float point_a[3], dBodyID b, const float point_b[3], float slack)
{
    const vec3 pa = world_point(a, v3(point_a));
    const vec3 pb = world_point(b, v3(point_b));
    const vec3 d = pb - pa;
    const double l = length(d);
    if (!(l > slack))
        return;
    soft_push(a, b, pa, d, l - slack, 5000, 500);
}

void rider_detach(rider_slot* r)
{
    float left[3], right[3], lw, rw;
    const int32_t counter = r->crash_counter;
    r->crash_counter = 0;
    rider_foot_targets(r, left, &lw, right, &rw);
    r->crash_counter = counter;
    dBodyID rider = r->bodies[body_rider];
    for (int i = 0; i < 3; ++i) {
        r->left_foot[i] = left[i];
        r->right_foot[i] = right[i];
    }
    const vec3 vl = point_velocity(rider, v3(left));
    const vec3 vr = point_velocity(rider, v3(right));
    contact_math::store(vl, r->left_foot_velocity);
    contact_math::store(vr, r->right_foot_velocity);

    dJointAttach(r->joints[joint_rider], nullptr, nullptr);
    r->crash_counter = knockout_table[std::clamp(r->crash_count, 0, kKnockoutEntries - 1)] + kCrashTicks;
    r->crash_count += 1;
}

namespace bike_step_detail {

void crash_stage(rider_slot* r)
{
    if (r->crash_counter == 0 && !r->arcade)
        crash_detection(r);
    if (!crashed(r))
        return;
    if (length2(velocity(r->bodies[body_rider])) < 4.0)
        r->crash_counter -= 1;
    else
        thrown_rider(r);
    if (r->crash_counter <= 511)
        seat_tethers(r);
    if (r->crash_counter < 320)
        upper_foot_push(r);
    if (r->crash_counter <= 0) {
        r->crash_counter = 0;
        rider_attach(r);
    }
}

}  // namespace bike_step_detail
