// A rider's bike against the ground, placed objects and other bikes: the collision
// pass of each game tick.
//
// Part flags: 1 frame, 2 front wheel, 4 rear wheel, 8 fork upper, 0x10 fork lower,
// 0x20 swingarm, 0x40 rider.
#pragma once
#include "sim/rider_slot.h"
#include "terrain/terrain_state.h"

inline constexpr int part_frame = 0x01;
inline constexpr int part_front_wheel = 0x02;
inline constexpr int part_rear_wheel = 0x04;
inline constexpr int part_fork_upper = 0x08;
inline constexpr int part_fork_lower = 0x10;
inline constexpr int part_swingarm = 0x20;
inline constexpr int part_rider = 0x40;

// One shape (with its body; its pose is read from the body) against every part of
// rider b. With front_test_only set b's front wheel and forks only answer, without
// joints or forces. Returns b's part flags that touched.
int bike_collide_shape(rider_slot* b, collision_shape* shape, dBodyID body, int mode, int front_test_only);

// Wheels and bodies of a locally simulated rider on the loaded ground, with the crash
// and rider-down rules. Bit 0: a wheel touched; 1 when anything touched.
int bike_collide_terrain(rider_slot* rider);
// How many ground cells one bike_collide_terrain may visit on this terrain, wherever
// the bike stands: the cell boxes of its wheels and of every sphere of its bodies'
// shapes, each no larger than the grid. What a search by ground tests is charged.
double bike_ground_cells(const rider_slot* rider, const terrain_state* terrain);
// The ground cells one ground test of a body's shape may visit on this terrain: the
// cell boxes of its spheres, each no larger than the grid (0 without a grid or shape).
double shape_ground_cells(const collision_shape* shape, const terrain_state* terrain);
// The body shape with the largest share of those cells (null without shapes).
const collision_shape* bike_costliest_shape(const rider_slot* rider, const terrain_state* terrain);

// The rider against one placed object's sphere set (body null for a static object).
// Returns the rider's part flags that touched.
int bike_collide_object(rider_slot* rider, collision_shape* shape, dBodyID body, const float position[3],
                        const float rotation[9]);

// Rider a against rider b: contact joints for each rider's first bike contact of the
// tick, penalty forces after it; head-on and from-behind knocks. remote makes b's
// front parts answer only to a's rear wheel, frame, swingarm and rider. Returns b's
// part flags that touched (0 = none).
int bike_collide_bikes(rider_slot* a, rider_slot* b, int remote);

// Called once per listed rider in the collision pass; does nothing.
int bike_collide_noop();

// Roll of a body about its forward axis, negative when leaning to its +x side.
float bike_lean_angle(dBodyID body);
// Throws the rider off the bike.
void rider_detach(rider_slot* rider);
