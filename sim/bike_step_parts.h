// What the stages of the bike step share: body vectors, the per-tick soft contacts
// and motors, and the stage entry points in the order the step runs them.
#pragma once
#include "sim/bike_info.h"
#include "sim/bike_step.h"
#include "sim/contact_math.h"
#include "sim/rider_slot.h"
#include "terrain/terrain_state.h"

#include <ode/ode.h>

#include <cstdint>

namespace bike_step_detail {

using contact_math::vec3;

constexpr double kSlowSpeed = 5.0;
constexpr double kFastSpeed = 15.0;
constexpr double kGravity = 32.0;

inline vec3 v3(const dReal* p) { return {p[0], p[1], p[2]}; }
inline vec3 v3(const float* p) { return {p[0], p[1], p[2]}; }
inline vec3 position(dBodyID b) { return v3(dBodyGetPosition(b)); }
inline vec3 velocity(dBodyID b) { return v3(dBodyGetLinearVel(b)); }
inline vec3 spin(dBodyID b) { return v3(dBodyGetAngularVel(b)); }
// Column c of the body's rotation: its x (0), y (1) or z (2) axis in the world.
inline vec3 axis(dBodyID b, int c)
{
    const dReal* R = dBodyGetRotation(b);
    return {R[c], R[4 + c], R[8 + c]};
}
inline vec3 world_point(dBodyID b, vec3 p)
{
    dVector3 out;
    dBodyGetRelPointPos(b, p.x, p.y, p.z, out);
    return v3(out);
}
inline vec3 point_velocity(dBodyID b, vec3 world)
{
    dVector3 out;
    dBodyGetPointVel(b, world.x, world.y, world.z, out);
    return v3(out);
}
inline vec3 vector_from_world(dBodyID b, vec3 v)
{
    dVector3 out;
    dBodyVectorFromWorld(b, v.x, v.y, v.z, out);
    return v3(out);
}
inline vec3 rest_offset(const float to[3], const float from[3])
{
    return {double(to[0]) - from[0], double(to[1]) - from[1], double(to[2]) - from[2]};
}
inline vec3 horizontal(vec3 v) { return {v.x, 0.0, v.z}; }

inline const bike_info& info_of(const rider_slot* r) { return *bike_info_at(r->bike_index); }
inline bool touches(const wheel_contact& w) { return w.depth > 0.0f; }
inline bool crashed(const rider_slot* r) { return r->crash_counter > 0; }
inline float frame_speed(const rider_slot* r)
{
    return float(contact_math::length(velocity(r->bodies[body_frame])));
}
// The seat: the frame point at the rider's rest offset from the frame.
vec3 seat_point(const rider_slot* r);

// The loaded ground, and the race clock.
const terrain_state* ground();
int32_t now_tick();
int32_t gate_drop();

// A one-row soft contact of this tick (mode soft ERP and CFM, no friction) pushing
// first along the normal and second against it. The normal is used as given (its
// length scales the push); nothing is made for a zero normal or a softness without a
// finite value.
void soft_push(dBodyID first, dBodyID second, vec3 at, vec3 normal, double depth, double kp, double kd);
// An angular motor of this tick on body against the world, about a world axis.
void world_angular_motor(dBodyID body, vec3 axis, double speed, double force_limit);

// What stage 6 overrode for this tick only, put back by stage 13.
struct held_inputs {
    float dab;
    float front_brake;
    float rear_brake;
};

// The stages, in the step's order.
void crash_stage(rider_slot* r);                       // 5
held_inputs standstill_stage(rider_slot* r);           // 6
void rider_springs_stage(rider_slot* r);               // 7
void suspension_stage(rider_slot* r);                  // 8
void steering_stage(rider_slot* r);                    // 9
void drivetrain_stage(rider_slot* r);                  // 10
void dab_stage(rider_slot* r);                         // 12

}  // namespace bike_step_detail
