// The rider's feet: where they reach (pegs, the ground beside a dabbing bike, the
// places a crash left them) and how a thrown rider's feet fall and drag.
#include "sim/bike_step.h"

#include "sim/bike_step_parts.h"
#include "sim/foot_constraints.h"
#include "terrain/terrain_queries.h"

#include <algorithm>
#include <cmath>
#include <numbers>

using namespace bike_step_detail;
using contact_math::dot;
using contact_math::length;

namespace {

constexpr double kPi = std::numbers::pi;

double unit(double x)
{
    return std::clamp(x, 0.0, 1.0);
}

vec3 lerp(vec3 a, vec3 b, double t)
{
    return a + (b - a) * t;
}

const float* hip_point(const bike_info& b, int side)
{
    return &b.pose_points[kPoseHips + 3 * side];
}

// Falling, resting on the ground, held within a leg's reach of its hip and on its
// own side of the rider.
void thrown_foot(const rider_slot* r, int side, float foot[3], float speed[3])
{
    const bike_info& b = info_of(r);
    for (int i = 0; i < 3; ++i)
        foot[i] += speed[i] / 128.0f;
    speed[1] -= float(kGravity / 128.0);
    const float floor = terrain_height_at(ground(), foot[0], foot[2]) + 0.25f;
    if (foot[1] < floor) {
        foot[1] = floor;
        speed[0] = speed[1] = speed[2] = 0;
    } else {
        for (int i = 0; i < 3; ++i)
            speed[i] *= 0.9375f;
    }
    dBodyID rider = r->bodies[body_rider];
    const float leg = b.pose_points[kPoseLimbLengths + 2] + b.pose_points[kPoseLimbLengths + 3];
    point_tether_sphere(rider, hip_point(b, side), leg, foot, speed);
    const float outward[3] = {side == 0 ? -1.0f : 1.0f, 0, 0};
    point_above_plane(rider, hip_point(b, side), outward, foot, speed);
}

}  // namespace

int rider_foot_targets(const rider_slot* r, float left[3], float* left_weight, float right[3], float* right_weight)
{
    const bike_info& b = info_of(r);
    dBodyID frame = r->bodies[body_frame];
    const int32_t counter = r->crash_counter;
    vec3 foot[2];
    double weight[2] = {0, 0};
    for (int side = 0; side < 2; ++side) {
        vec3 p = v3(&b.pose_points[kPoseFootPegs + 3 * side]);
        if (counter > 0) {
            // Thrown: the legs fly out, up and back.
            const double h = std::min(counter, 128) / 128.0;
            const double out = unit((h - 0.5) * 2) * 0.5;
            p.x += side == 0 ? -out : out;
            p.y += unit(2 * h) * 1.75;
            p.z += unit(4 * h / 3);
        }
        foot[side] = world_point(frame, p);
    }

    if (r->dab_state != 0 && counter < 128) {
        const float lean = bike_lean_angle(frame);
        const double tilt = unit(std::fabs(lean) * 4 / kPi);
        const vec3 Z = axis(frame, 2);
        const double forward = -dot(velocity(frame), Z);
        const double k = (unit(forward / 15) * 1.25 - 0.25) * 2.5 * tilt;
        const vec3 back = contact_math::normalised_or(horizontal(Z), {});
        const vec3 right = contact_math::normalised_or(horizontal(axis(frame, 0)), {});
        dBodyID rider = r->bodies[body_rider];
        const vec3 hips[2] = {world_point(rider, v3(hip_point(b, 0))), world_point(rider, v3(hip_point(b, 1)))};
        const double spacing = length(v3(hip_point(b, 1)) - v3(hip_point(b, 0)));
        for (int side = 0; side < 2; ++side) {
            if (side == 0 ? !(lean > -0.1f) : !(lean < 0.1f))
                continue;
            const vec3 outward = side == 0 ? right * -1.0 : right;
            vec3 q = hips[side] + outward * ((1 - tilt) / 2 * spacing) - back * k;
            q.y = terrain_height_at(ground(), float(q.x), float(q.z)) + 0.125;
            foot[side] = lerp(foot[side], q, r->dab_state);
            weight[side] = r->dab_state;
        }
    }

    if (counter > 0) {
        const double blend = std::clamp((2.0 * counter - 128) / 128, 1.0 / 128, 1.0);
        foot[0] = lerp(foot[0], v3(r->left_foot), blend);
        foot[1] = lerp(foot[1], v3(r->right_foot), blend);
        weight[0] = weight[1] = blend;
    }
    contact_math::store(foot[0], left);
    contact_math::store(foot[1], right);
    *left_weight = float(weight[0]);
    *right_weight = float(weight[1]);
    return counter > 0;
}

void rider_feet_step(rider_slot* r)
{
    r->dab_state = std::max(r->dab_state - 4.0f / 128.0f, 0.0f);
    if (crashed(r)) {
        thrown_foot(r, 0, r->left_foot, r->left_foot_velocity);
        thrown_foot(r, 1, r->right_foot, r->right_foot_velocity);
        return;
    }
    float lw, rw;
    rider_foot_targets(r, r->left_foot, &lw, r->right_foot, &rw);
    dBodyID rider = r->bodies[body_rider];
    contact_math::store(point_velocity(rider, v3(r->left_foot)), r->left_foot_velocity);
    contact_math::store(point_velocity(rider, v3(r->right_foot)), r->right_foot_velocity);
}
