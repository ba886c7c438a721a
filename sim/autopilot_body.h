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

}  // namespace autopilot_body
