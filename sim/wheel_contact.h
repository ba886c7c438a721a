// The per-wheel records of a rider slot: the ground contact of a wheel as the
// contact pass finds it each tick, and the rut run the wheel is laying down.
#pragma once
#include <ode/ode.h>

#include <cstdint>

inline constexpr int kRutPoints = 64;

struct rut_point {
    float x;
    float z;
    float dig_a;        // -1..1
    float dig_b;        // -1..1
    int32_t weight;     // samples averaged into the point, 1..16
};

struct wheel_ruts {
    rut_point points[kRutPoints];
    float step_box[4];          // min step x, min step z, max step x, max step z
    int32_t last_point_tick;
    int32_t point_count;        // 0..64
    float last_sample[2];       // x, z
    float accumulator[4];       // sums of x, z, dig a, dig b
    float travelled;
    int32_t sample_count;
};

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
