// Sphere against sphere, as joints, penalty forces or plain answers.
#include "sim/sphere_contacts.h"

#include "sim/contact_geometry.h"
#include "sim/contact_joint.h"

#include <algorithm>
#include <cmath>
#include <cstring>

using namespace contact_math;

namespace {

constexpr double kPenaltyForceLimit = 1000.0;
constexpr double kSphereSpringLimit = 2500.0;  // kp x depth never exceeds it

vec3 point_velocity(dBodyID body, vec3 p)
{
    if (!body)
        return {};
    dVector3 v;
    dBodyGetPointVel(body, p.x, p.y, p.z, v);
    return load(v);
}

void push(dBodyID body, vec3 force, vec3 at)
{
    if (body && dBodyIsEnabled(body))
        dBodyAddForceAtPos(body, force.x, force.y, force.z, at.x, at.y, at.z);
}

}  // namespace

int collide_spheres(const shape_sphere* a, dBodyID body_a, const shape_sphere* b, dBodyID body_b,
                    int mode, sphere_contact* contact)
{
    const vec3 ca = load(a->centre), cb = load(b->centre);
    const double ra = a->radius, rb = b->radius;
    const vec3 d = cb - ca;
    const double l2 = length2(d);
    // A shape file with negative radii must not make spheres pull each other in.
    if (!(ra + rb > 0.0) || !(l2 < (ra + rb) * (ra + rb)))
        return 0;
    if (!body_a && !body_b)
        return 1;
    const double rmin = std::min(ra, rb);
    // Coincident centres give no direction; a zero radius can leave l = 0 past the
    // relative test, so that counts as coincident too.
    if ((l2 < 1.0 / 256 && l2 < rmin * rmin / 256) || !(l2 > 0.0))
        return 1;

    const double l = std::sqrt(l2);
    const double depth = ra + rb - l;
    const vec3 n = d * (1.0 / l);
    const vec3 point = ca + d * ((ra - depth / 2) / l);
    if (contact) {
        std::memset(contact, 0, sizeof *contact);
        store(point, contact->point);
        store(point_velocity(body_a, point), contact->velocity);
        store(n, contact->normal);
        contact->depth = float(depth);
    }
    if (mode == kContactTestOnly)
        return 1;

    const double mu = std::min(a->friction, b->friction);
    double kp = std::min(a->spring, b->spring);
    const double kd = std::min(a->damping, b->damping);
    if (depth * kp > kSphereSpringLimit)
        kp = kSphereSpringLimit / depth;
    if (mode == kContactJoint) {
        contact_joint_add(body_b, body_a, point, n, depth, mu, kp, kd);
        return 1;
    }
    const double s = dot(point_velocity(body_a, point) - point_velocity(body_b, point), n);
    const double f = std::clamp(kp * depth + kd * s, -kPenaltyForceLimit, kPenaltyForceLimit);
    if (std::isfinite(f)) {
        push(body_b, n * f, point);
        push(body_a, n * -f, point);
    }
    return 1;
}

int collide_shapes(collision_shape* a, dBodyID body_a, const float position_a[3], const float rotation_a[9],
                   collision_shape* b, dBodyID body_b, const float position_b[3], const float rotation_b[9],
                   int mode)
{
    if (!a || !b)
        return 0;
    const double reach = double(a->bound_radius) + b->bound_radius;
    if (!(length2(load(position_a) - load(position_b)) < reach * reach))
        return 0;
    shape_place(a, position_a, rotation_a);
    shape_place(b, position_b, rotation_b);
    int touched = 0;
    for (int i = 0; i < a->sphere_count; ++i)
        for (int j = 0; j < b->sphere_count; ++j)
            touched |= collide_spheres(&a->spheres[i], body_a, &b->spheres[j], body_b, mode, nullptr);
    return touched;
}

int body_collide_shape(collision_shape* a, dBodyID body_a, collision_shape* b, dBodyID body_b,
                       const float position_b[3], const float rotation_b[9], int mode)
{
    if (!a || !body_a)
        return 0;
    float position_a[3], rotation_a[9];
    body_pose(body_a, position_a, rotation_a);
    return collide_shapes(a, body_a, position_a, rotation_a, b, body_b, position_b, rotation_b, mode);
}

int collide_shape_wheel(collision_shape* shape, dBodyID body, const float position[3],
                        const float rotation[9], wheel_contact* wheel, int mode)
{
    if (!shape || !wheel->body)
        return 0;
    const vec3 centre = load(dBodyGetPosition(wheel->body));
    const double reach = double(wheel->ring_radius) + wheel->tyre_radius + shape->bound_radius;
    if (length2(centre - load(position)) > reach * reach)
        return 0;
    dVector3 axle_world;
    dBodyVectorToWorld(wheel->body, wheel->axle_axis[0], wheel->axle_axis[1], wheel->axle_axis[2], axle_world);
    const vec3 axle = normalised_or(load(axle_world), {1.0, 0.0, 0.0});
    shape_place(shape, position, rotation);

    int touched = 0;
    sphere_contact deepest{};
    for (int i = 0; i < shape->sphere_count; ++i) {
        const shape_sphere& s = shape->spheres[i];
        shape_sphere tyre{};
        store(ring_nearest_point(centre, axle, wheel->ring_radius, load(s.centre)), tyre.centre);
        tyre.radius = wheel->tyre_radius;
        tyre.friction = 1.0f;
        tyre.spring = 25000.0f;
        tyre.damping = 2500.0f;
        sphere_contact c{};
        if (collide_spheres(&tyre, wheel->body, &s, body, mode, &c)) {
            touched = 1;
            if (c.depth > deepest.depth)
                deepest = c;
        }
    }
    if (deepest.depth > 0.0f && wheel->depth == 0.0f) {
        std::memcpy(wheel->point, deepest.point, sizeof wheel->point);
        std::memcpy(wheel->velocity, deepest.velocity, sizeof wheel->velocity);
        std::memcpy(wheel->normal, deepest.normal, sizeof wheel->normal);
        wheel->depth = deepest.depth;
        std::memset(&wheel->feedback, 0, sizeof wheel->feedback);
    }
    return touched;
}
