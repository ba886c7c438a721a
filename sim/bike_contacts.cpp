// The collision pass of a rider: ground, placed objects, other bikes.
#include "sim/bike_contacts.h"

#include "sim/contact_joint.h"
#include "sim/contact_math.h"
#include "sim/race_clock.h"
#include "sim/sphere_contacts.h"
#include "sim/terrain_contacts.h"
#include "terrain/track_list.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

using namespace contact_math;

namespace {

constexpr int kFrontParts = part_front_wheel | part_fork_lower;

// The sphere-set parts in the order they are tested against another shape.
struct body_part {
    bike_body body;
    int flag;
    bool front;  // answers only, when a front-test-only collision asks
};
constexpr body_part kBodyParts[] = {
    {body_frame, part_frame, false},           {body_fork_upper, part_fork_upper, true},
    {body_fork_lower, part_fork_lower, true},  {body_swingarm, part_swingarm, false},
    {body_rider, part_rider, false},
};

double speed2(dBodyID body)
{
    return body ? length2(load(dBodyGetLinearVel(body))) : 0.0;
}

vec3 velocity(dBodyID body)
{
    return body ? load(dBodyGetLinearVel(body)) : vec3{};
}

bool may_detach(const rider_slot* r)
{
    return r->crash_counter <= 0 && !(r->knock_timer < 0.0f);
}

// A shape against every part of a rider: the wheels' tyres, then the sphere sets.
// front_mode applies to the front wheel and the forks.
int collide_parts(rider_slot* r, collision_shape* shape, dBodyID body, const float position[3],
                  const float rotation[9], int mode, int front_mode)
{
    int flags = 0;
    if (collide_shape_wheel(shape, body, position, rotation, &r->front_contact, front_mode))
        flags |= part_front_wheel;
    if (collide_shape_wheel(shape, body, position, rotation, &r->rear_contact, mode))
        flags |= part_rear_wheel;
    for (const body_part& part : kBodyParts)
        if (body_collide_shape(r->shapes[part.body], r->bodies[part.body], shape, body, position, rotation,
                               part.front ? front_mode : mode))
            flags |= part.flag;
    return flags;
}

}  // namespace

int bike_collide_noop()
{
    return 0;
}

int bike_collide_shape(rider_slot* b, collision_shape* shape, dBodyID body, int mode, int front_test_only)
{
    if (!shape || !body)
        return 0;
    float position[3], rotation[9];
    body_pose(body, position, rotation);
    return collide_parts(b, shape, body, position, rotation, mode, front_test_only ? kContactTestOnly : mode);
}

int bike_collide_terrain(rider_slot* r)
{
    double factor = 1.0;
    if (r->arcade)
        factor = 1.0 - 0.375 * std::min(4.0 * std::fabs(bike_lean_angle(r->bodies[body_frame])) /
                                            std::numbers::pi, 1.0);
    int result = collide_wheel_terrain_contact(&track_terrain, &r->front_contact, factor);
    result |= collide_wheel_terrain_contact(&track_terrain, &r->rear_contact, factor);
    result |= body_collide_terrain(r->shapes[body_frame], r->bodies[body_frame]);

    int down = body_collide_terrain(r->shapes[body_fork_upper], r->bodies[body_fork_upper]);
    down |= body_collide_terrain(r->shapes[body_fork_lower], r->bodies[body_fork_lower]);
    down |= body_collide_terrain(r->shapes[body_swingarm], r->bodies[body_swingarm]);
    const int rider_touched = body_collide_terrain(r->shapes[body_rider], r->bodies[body_rider]);
    down |= rider_touched;

    if (rider_touched && may_detach(r)) {
        const dReal* R = dBodyGetRotation(r->bodies[body_rider]);
        const bool upside_down = R[4 + 1] < 0.0;  // world y of the body's up axis
        if (upside_down && speed2(r->bodies[body_rider]) > 25.0)
            rider_detach(r);
    }
    if (down)
        r->rider_down = 1;
    return (result | down) ? 1 : 0;
}

namespace {

// The cells of the box of a sphere or wheel reaching `reach` from its centre, as the
// ground tests cover it: at most two more a side than it spans, at most the grid.
double box_cells(const terrain_state* t, double reach)
{
    const double span = reach > 0 ? 2.0 * reach * double(t->inv_cell) : 0.0;
    const double side = std::min(span + 2.0, double(t->size - 1));
    return side * side;
}

double shape_cells(const terrain_state* t, const collision_shape* shape)
{
    double cells = 0;
    for (int i = 0; shape && i < shape->sphere_count; ++i)
        cells += box_cells(t, shape->spheres[i].radius);
    return cells;
}

constexpr bike_body kGroundBodies[] = {body_frame, body_fork_upper, body_fork_lower, body_swingarm, body_rider};

bool have_grid(const terrain_state* t)
{
    return t && t->heights && t->size > 1;
}

}  // namespace

double bike_ground_cells(const rider_slot* r, const terrain_state* t)
{
    if (!have_grid(t))
        return 0;
    double cells = box_cells(t, double(r->front_contact.ring_radius) + r->front_contact.tyre_radius) +
                   box_cells(t, double(r->rear_contact.ring_radius) + r->rear_contact.tyre_radius);
    for (const bike_body b : kGroundBodies)
        cells += shape_cells(t, r->shapes[b]);
    return cells;
}

double shape_ground_cells(const collision_shape* shape, const terrain_state* t)
{
    return have_grid(t) ? shape_cells(t, shape) : 0;
}

const collision_shape* bike_costliest_shape(const rider_slot* r, const terrain_state* t)
{
    const collision_shape* costliest = nullptr;
    double most = -1;
    for (const bike_body b : kGroundBodies)
        if (r->shapes[b] && have_grid(t) && shape_cells(t, r->shapes[b]) > most) {
            most = shape_cells(t, r->shapes[b]);
            costliest = r->shapes[b];
        }
    return costliest;
}

int bike_collide_object(rider_slot* r, collision_shape* shape, dBodyID body, const float position[3],
                        const float rotation[9])
{
    if (!shape)
        return 0;
    const int flags = collide_parts(r, shape, body, position, rotation, kContactJoint, kContactJoint);
    if (!flags)
        return 0;
    if (r->crash_counter != 0)
        return flags | part_rider;
    const vec3 relative = velocity(r->bodies[body_rider]) - velocity(body);
    if (length2(relative) > 400.0 && may_detach(r))
        rider_detach(r);
    return flags;
}

int bike_collide_bikes(rider_slot* a, rider_slot* b, int remote)
{
    const int mode = (current_tick == a->last_contact_tick || current_tick == b->last_contact_tick)
                         ? kContactPenalty
                         : kContactJoint;
    struct {
        bike_body body;
        int flag;
        int front_test_only;
    } const order[] = {
        {body_front_wheel, part_front_wheel, 0}, {body_rear_wheel, part_rear_wheel, remote},
        {body_frame, part_frame, remote},        {body_fork_upper, part_fork_upper, 0},
        {body_fork_lower, part_fork_lower, 0},   {body_swingarm, part_swingarm, remote},
        {body_rider, part_rider, remote},
    };
    int a_flags = 0, b_flags = 0;
    for (const auto& part : order) {
        const int hit = bike_collide_shape(b, a->shapes[part.body], a->bodies[part.body], mode,
                                           part.front_test_only);
        if (hit)
            a_flags |= part.flag;
        b_flags |= hit;
    }
    if (!b_flags)
        return 0;

    // Knocks: a rider that rams another with its front is shaken; one rammed from behind
    // while already shaken stays so.
    const double a_speed2 = speed2(a->bodies[body_frame]);
    const double b_speed2 = speed2(b->bodies[body_frame]);
    const bool a_front = a_flags & kFrontParts;
    const bool b_front = b_flags & kFrontParts;
    auto rammed = [](rider_slot* hitter, double hitter_speed2, rider_slot* hit, double hit_speed2) {
        if (hit->crash_counter > 0 || hit_speed2 < 25.0)
            return;
        if (hitter_speed2 >= 100.0)
            hitter->knock_timer = std::max(hitter->knock_timer, 128.0f);
        if (hit->knock_timer < 0.0f)
            hit->knock_timer = std::min(hit->knock_timer, -640.0f);
    };
    if (a_front && b_front) {
        if (a_speed2 >= 100.0)
            a->knock_timer = std::max(a->knock_timer, 64.0f);
        if (b_speed2 >= 100.0)
            b->knock_timer = std::max(b->knock_timer, 64.0f);
    } else if (a_front) {
        rammed(a, a_speed2, b, b_speed2);
    } else if (b_front) {
        rammed(b, b_speed2, a, a_speed2);
    }

    for (rider_slot* r : {a, b}) {
        r->last_contact_tick = current_tick;
        std::memset(r->picked_lines, 0, sizeof r->picked_lines);
    }
    return b_flags;
}
