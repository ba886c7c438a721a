// Bodies and wheels on the ground.
#include "sim/terrain_contacts.h"

#include "sim/contact_joint.h"
#include "sim/contact_surface.h"
#include "sim/ground_contacts.h"
#include "terrain/tile_materials.h"
#include "terrain/track_list.h"

#include <algorithm>
#include <cmath>
#include <cstring>

using namespace contact_math;

namespace {

constexpr double kGroundSpring = 2500.0;
constexpr double kGroundDamping = 250.0;

struct wheel_pose {
    vec3 centre, axle;
};

wheel_pose pose_of(const wheel_contact* w)
{
    dVector3 a;
    dBodyVectorToWorld(w->body, w->axle_axis[0], w->axle_axis[1], w->axle_axis[2], a);
    return {load(dBodyGetPosition(w->body)), normalised_or(load(a), {1.0, 0.0, 0.0})};
}

using ground_wheel_test = double (*)(const terrain_state*, vec3, vec3, double, double, vec3*, vec3*);

int wheel_on_ground(ground_wheel_test test, const terrain_state* terrain, const wheel_contact* wheel,
                    float point[3], float normal[3], float* depth)
{
    *depth = 0.0f;
    if (!wheel->body)
        return 0;
    const wheel_pose w = pose_of(wheel);
    vec3 p, n;
    const double d = test(terrain, w.centre, w.axle, wheel->ring_radius, wheel->tyre_radius, &p, &n);
    if (!(d > 0.0))
        return 0;
    store(p, point);
    store(n, normal);
    *depth = float(d);
    return 1;
}

}  // namespace

int collide_shape_terrain(collision_shape* shape, dBodyID body, const float position[3],
                          const float rotation[9], const terrain_state* terrain)
{
    if (!shape)
        return 0;
    shape_place(shape, position, rotation);
    int touched = 0;
    for (int i = 0; i < shape->sphere_count; ++i) {
        const shape_sphere& s = shape->spheres[i];
        float point[3], normal[3], depth;
        if (!collide_point_terrain(terrain, s.centre, s.radius, point, normal, &depth))
            continue;
        touched = 1;
        if (body)
            contact_joint_add(body, nullptr, load(point), load(normal), depth, s.friction, kGroundSpring,
                              kGroundDamping);
    }
    return touched;
}

int body_collide_terrain(collision_shape* shape, dBodyID body)
{
    if (!shape || !body)
        return 0;
    float position[3], rotation[9];
    body_pose(body, position, rotation);
    return collide_shape_terrain(shape, body, position, rotation, &track_terrain);
}

int collide_wheel_terrain(const terrain_state* terrain, const wheel_contact* wheel, float point[3],
                          float normal[3], float* depth)
{
    return wheel_on_ground(ground_wheel_probe, terrain, wheel, point, normal, depth);
}

int collide_wheel_terrain_deepest(const terrain_state* terrain, const wheel_contact* wheel,
                                  float point[3], float normal[3], float* depth)
{
    return wheel_on_ground(ground_wheel_deepest, terrain, wheel, point, normal, depth);
}

double wheel_slip_speed(int slip_function, const double linear[3], const double angular[3],
                        const double axle[3], const double offset[3], const double velocity[3])
{
    const vec3 v = load(velocity);
    const double speed = length(v);
    if (slip_function != 2 || speed < 1.0 / 16)
        return speed;
    const vec3 a = load(axle), w = load(angular);
    const vec3 without_spin = w - a * dot(w, a);
    const vec3 ground = load(linear) + cross(without_spin, load(offset));
    return std::clamp(dot(ground, v * (1.0 / speed)), -speed, speed);
}

int collide_wheel_terrain_contact(const terrain_state* terrain, wheel_contact* wheel, double friction_factor)
{
    float point[3], normal[3], depth;
    if (!collide_wheel_terrain_deepest(terrain, wheel, point, normal, &depth)) {
        wheel->depth = 0.0f;
        return 0;
    }
    dBodyID body = wheel->body;
    const wheel_pose w = pose_of(wheel);
    dVector3 v;
    dBodyGetPointVel(body, point[0], point[1], point[2], v);
    std::memcpy(wheel->point, point, sizeof point);
    store(load(v), wheel->velocity);
    std::memcpy(wheel->normal, normal, sizeof normal);
    wheel->depth = depth;

    const int tile = terrain_tile_at(terrain, point[0], point[2]);
    const int slip_function = terrain->slip_function[tile];
    const vec3 offset = load(point) - w.centre;
    const double offset_d[3] = {offset.x, offset.y, offset.z};
    const double axle_d[3] = {w.axle.x, w.axle.y, w.axle.z};
    const double velocity_d[3] = {v[0], v[1], v[2]};
    const double slip = wheel_slip_speed(slip_function, dBodyGetLinearVel(body), dBodyGetAngularVel(body),
                                         axle_d, offset_d, velocity_d);
    const double mu = friction_curve(terrain->friction_speeds[tile], terrain->friction_values[tile], slip,
                                     slip_function == 0) *
                      friction_factor;
    double kp, kd;
    const double c = tyre_softness(depth, wheel->tyre_radius, &kp, &kd);

    // First friction direction: across the tyre's motion, else along the axle's trace.
    const vec3 n = load(normal);
    vec3 fdir = cross(n, load(v));
    const vec3* fdir_used = &fdir;
    if (length2(fdir) < 1.0 / 1024) {
        fdir = cross(n, w.axle);
        if (!(length2(fdir) > 1e-24))
            fdir_used = nullptr;
    }
    if (fdir_used)
        fdir = fdir * (1.0 / length(fdir));
    if (dJointID joint = contact_joint_add(body, nullptr, load(point), n, depth, mu, kp, kd, fdir_used))
        dJointSetFeedback(joint, &wheel->feedback);

    // Rolling resistance against the wheel's motion along the ground, fading out
    // below 1 ft/s.
    const vec3 linear = load(dBodyGetLinearVel(body));
    const vec3 u = linear - n * dot(linear, n);
    const double speed = length(u);
    double pair[2];
    roll_resistance_curve(terrain->roll_resist_speeds[tile], terrain->roll_resist[tile], speed, pair);
    const double r = pair[0] + c * (pair[1] - pair[0]);
    const vec3 direction = speed > 1.0 ? u * (1.0 / speed) : u;
    const vec3 force = direction * -r;
    if (std::isfinite(force.x) && std::isfinite(force.y) && std::isfinite(force.z))
        dBodyAddForce(body, force.x, force.y, force.z);
    return 1;
}
