// The order of the bike step and its small stages: rider down, the knock timer, the
// flight record, the joint reaction balance, the restored inputs and the velocity
// history.
#include "sim/bike_step.h"

#include "sim/bike_step_parts.h"
#include "sim/contact_surface.h"
#include "sim/gate_times.h"
#include "sim/physics_world.h"
#include "sim/race_clock.h"
#include "terrain/track_list.h"

#include <algorithm>
#include <cmath>
#include <cstring>

using namespace bike_step_detail;
using contact_math::cross;
using contact_math::length2;

int32_t knockout_table[kKnockoutEntries];

namespace bike_step_detail {

const terrain_state* ground()
{
    return &track_terrain;
}

int32_t now_tick()
{
    return current_tick;
}

int32_t gate_drop()
{
    return gate_timing_hooks.gate_drop_tick ? gate_timing_hooks.gate_drop_tick() : 0;
}

vec3 seat_point(const rider_slot* r)
{
    const bike_info& b = info_of(r);
    return world_point(r->bodies[body_frame], rest_offset(b.rider_position, b.frame_position));
}

void soft_push(dBodyID first, dBodyID second, vec3 at, vec3 normal, double depth, double kp, double kd)
{
    double erp, cfm;
    if (!contact_softness(kp, kd, kTickLength, &erp, &cfm))
        return;
    const double n2 = length2(normal);
    if (!(n2 > 0.0) || !std::isfinite(n2) || !std::isfinite(depth) || !std::isfinite(at.x + at.y + at.z))
        return;
    dContact c;
    std::memset(&c, 0, sizeof c);
    c.surface.mode = dContactSoftERP | dContactSoftCFM;
    c.surface.mu = 0;
    c.surface.soft_erp = erp;
    c.surface.soft_cfm = cfm;
    c.geom.pos[0] = at.x;
    c.geom.pos[1] = at.y;
    c.geom.pos[2] = at.z;
    c.geom.normal[0] = normal.x;
    c.geom.normal[1] = normal.y;
    c.geom.normal[2] = normal.z;
    c.geom.depth = depth;
    dJointID joint = dJointCreateContact(physics_world, contact_group, &c);
    dJointAttach(joint, first, second);
}

void world_angular_motor(dBodyID body, vec3 axis, double speed, double force_limit)
{
    if (!(length2(axis) > 0.0) || !std::isfinite(speed) || !std::isfinite(force_limit))
        return;
    dJointID motor = dJointCreateAMotor(physics_world, contact_group);
    dJointAttach(motor, body, nullptr);
    dJointSetAMotorNumAxes(motor, 1);
    dJointSetAMotorAxis(motor, 0, 0, axis.x, axis.y, axis.z);
    dJointSetAMotorParam(motor, dParamVel, speed);
    dJointSetAMotorParam(motor, dParamFMax, force_limit);
}

}  // namespace bike_step_detail

namespace {

void rider_down_stage(rider_slot* r)
{
    if (r->rider_down || now_tick() - gate_drop() <= 256)
        return;
    if (frame_speed(r) < kSlowSpeed)
        r->rider_down = 1;
}

void knock_stage(rider_slot* r)
{
    if (r->knock_timer > 1)
        r->knock_timer -= 1;
    else if (r->knock_timer < -1)
        r->knock_timer += 1;
    else
        r->knock_timer = 0;
}

void flight_stage(rider_slot* r)
{
    const bool touching = touches(r->front_contact) || touches(r->rear_contact);
    if (!touching && velocity(r->bodies[body_frame]).y < 0 && r->landed_tick >= r->airborne_tick)
        r->airborne_tick = now_tick();
    else if (touching && r->landed_tick < r->airborne_tick)
        r->landed_tick = now_tick();
}

// The joints' reactions summed over both bodies of each and taken off the frame.
void reaction_balance_stage(rider_slot* r)
{
    if (now_tick() < 2 || crashed(r))
        return;
    for (dJointID j : r->joints)
        if (!dJointGetBody(j, 0) || !dJointGetBody(j, 1))
            return;
    const vec3 c = position(r->bodies[body_frame]);
    vec3 force, moment;
    for (int i = 0; i < kBikeJoints; ++i) {
        const dJointFeedback& f = r->feedback[i];
        const vec3 f1 = v3(f.f1), f2 = v3(f.f2);
        const vec3 p1 = position(dJointGetBody(r->joints[i], 0));
        const vec3 p2 = position(dJointGetBody(r->joints[i], 1));
        force = force + f1 + f2;
        moment = moment + v3(f.t1) + v3(f.t2) + cross(p1 - c, f1) + cross(p2 - c, f2);
    }
    dBodyAddForce(r->bodies[body_frame], -force.x, -force.y, -force.z);
    dBodyAddTorque(r->bodies[body_frame], -moment.x, -moment.y, -moment.z);
}

float unit(float x)
{
    return x > 0.0f ? std::min(x, 1.0f) : 0.0f;
}

}  // namespace

void bike_step(rider_slot* r)
{
    rider_down_stage(r);
    if (!(r->wake_timer > 0.25f)) {
        rider_feet_step(r);
        return;
    }
    knock_stage(r);
    flight_stage(r);
    if (!r->arcade || crashed(r))
        crash_stage(r);
    const held_inputs held = standstill_stage(r);
    rider_springs_stage(r);
    suspension_stage(r);
    steering_stage(r);
    drivetrain_stage(r);
    reaction_balance_stage(r);
    dab_stage(r);

    r->dab = crashed(r) ? 0.0f : unit(held.dab);
    r->front_brake = unit(held.front_brake);
    r->rear_brake = unit(held.rear_brake);

    rider_feet_step(r);

    const vec3 v = velocity(r->bodies[body_rider]);
    float* history = r->velocity_history[now_tick() & 3];
    history[0] = float(v.x);
    history[1] = float(v.y);
    history[2] = float(v.z);
}
