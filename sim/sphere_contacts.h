// Sphere sets against sphere sets and against wheels: bike parts against placed
// objects and against other bikes.
//
// Modes: -1 = test only (no joint, no force); 0 = one contact joint per touching
// sphere pair; any other value = a penalty force pair.
#pragma once
#include "sim/shapes.h"
#include "sim/wheel_contact.h"

#include <ode/ode.h>

inline constexpr int kContactTestOnly = -1;
inline constexpr int kContactJoint = 0;
inline constexpr int kContactPenalty = 1;

// What a sphere pair's overlap looks like, filled by collide_spheres when asked.
struct sphere_contact {
    float point[3];     // the middle of the overlap
    float velocity[3];  // body a's velocity at the point (zero without body a)
    float normal[3];    // unit, from sphere a towards sphere b
    float depth;
};

// 1 when the spheres overlap (coincident centres and body-less pairs answer 1 and do
// nothing else).
int collide_spheres(const shape_sphere* a, dBodyID body_a, const shape_sphere* b, dBodyID body_b,
                    int mode, sphere_contact* contact);

// Every sphere pair of two placed sphere sets, after a bounding-sphere rejection.
int collide_shapes(collision_shape* a, dBodyID body_a, const float position_a[3], const float rotation_a[9],
                   collision_shape* b, dBodyID body_b, const float position_b[3], const float rotation_b[9],
                   int mode);
// The same with a's pose read from its body.
int body_collide_shape(collision_shape* a, dBodyID body_a, collision_shape* b, dBodyID body_b,
                       const float position_b[3], const float rotation_b[9], int mode);

// A sphere set against a wheel's tyre: each sphere meets a tyre sphere at the ring
// point nearest to it. The deepest contact becomes the wheel's contact when the wheel
// has no ground contact this tick.
int collide_shape_wheel(collision_shape* shape, dBodyID body, const float position[3],
                        const float rotation[9], wheel_contact* wheel, int mode);
