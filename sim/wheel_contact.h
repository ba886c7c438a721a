// The per-wheel records of a rider slot: the ground contact of a wheel as the
// contact pass finds it each tick, and the rut run the wheel is laying down.
#pragma once
#include "terrain/ruts.h"

#include <ode/ode.h>

#include <cstdint>

struct wheel_contact {
    dBodyID body;
    float axle_axis[3];         // body space, (1, 0, 0)
    float ring_radius;          // major radius of the tyre torus
    float tyre_radius;          // minor radius
    float point[3];             // contact point, world space
    float velocity[3];          // the wheel's point velocity there, spin included
    float normal[3];
    float depth;                // 0 = no ground contact
    dJointFeedback feedback;    // what ODE fills for the wheel's ground joint
    wheel_ruts ruts;
};
