// What the automatic rider reads of its bike's bodies, in the shapes its laws use.
#pragma once
#include "sim/autopilot_math.h"
#include "sim/rider_slot.h"

#include <cmath>

namespace autopilot_body {

inline vec3f position(dBodyID body)
{
    const dReal* p = dBodyGetPosition(body);
    return {float(p[0]), float(p[1]), float(p[2])};
}

inline vec3f velocity(dBodyID body)
{
    const dReal* v = dBodyGetLinearVel(body);
    return {float(v[0]), float(v[1]), float(v[2])};
}

// Column k of the body's rotation: its own axis k in world space.
inline vec3f axis(dBodyID body, int k)
{
    const dReal* r = dBodyGetRotation(body);
    return {float(r[k]), float(r[4 + k]), float(r[8 + k])};
}

inline float length(const vec3f& v)
{
    return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
}

inline float dot(const vec3f& a, const vec3f& b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

inline float horizontal_distance(const vec3f& a, const ai_line_point& b)
{
    return std::hypot(b.x - a.x, b.z - a.z);
}

// Angular velocity of the frame about its own axis k (z: roll rate, x: pitch rate).
inline float spin_about(dBodyID body, int k)
{
    const dReal* w = dBodyGetAngularVel(body);
    return dot({float(w[0]), float(w[1]), float(w[2])}, axis(body, k));
}

inline float clampf(float x, float lo, float hi)
{
    return x > hi ? hi : x < lo ? lo : x;
}

// x with `zone` taken off its size (0 inside the zone).
inline float dead_band(float x, float zone)
{
    return x > zone ? x - zone : x < -zone ? x + zone : 0.0f;
}

// The roll of a body: negative when it leans to its +x side (the rider's right).
inline float lean_angle(dBodyID body)
{
    const vec3f f = axis(body, 2), u = axis(body, 1);
    float fx = -f.x, fz = -f.z;
    const float h = std::hypot(fx, fz);
    if (!(h > 1e-9f))   // nose straight up or down: the lean is not defined
        return 0;
    fx /= h;
    fz /= h;
    return std::acos(clampf(u.z * fx - fz * u.x, -1, 1)) - float(M_PI) / 2;
}

// Side slip of the front wheel against the steering head, in fork-upper space.
inline float front_slip(const rider_slot* rider, const float steering_axis[3])
{
    dVector3 v;
    const dReal* w = dBodyGetLinearVel(rider->bodies[body_front_wheel]);
    dBodyVectorFromWorld(rider->bodies[body_fork_upper], w[0], w[1], w[2], v);
    const float q = float(v[1]) * steering_axis[2] - float(v[2]) * steering_axis[1];
    return q * q + float(v[0] * v[0]) > 1 ? -std::atan2(float(v[0]), q) : 0.0f;
}

// Pulls a body's horizontal velocity towards target with at most `limit` force.
inline void pull_horizontal(dBodyID body, float limit, const float target[3])
{
    const dReal* v = dBodyGetLinearVel(body);
    const float dx = float(v[0]) - target[0], dz = float(v[2]) - target[2];
    const float d = std::hypot(dx, dz);
    if (d * d < 1.0f / 16)
        return;
    const float b = clampf((d - 0.25f) * 0.8f, 0, 1);
    dBodyAddForce(body, -b * limit * dx / d, 0, -b * limit * dz / d);
}

}  // namespace autopilot_body
