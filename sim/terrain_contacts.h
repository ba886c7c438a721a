// Sphere sets and wheels against the ground of a terrain record. Ground contacts join
// the body to the static world (the null body).
#pragma once
#include "sim/shapes.h"
#include "sim/wheel_contact.h"
#include "terrain/terrain_state.h"

#include <ode/ode.h>

// Places the sphere set and makes one ground contact joint per touching sphere (none
// without a body). 1 when any sphere touched.
int collide_shape_terrain(collision_shape* shape, dBodyID body, const float position[3],
                          const float rotation[9], const terrain_state* terrain);
// The same at the body's pose, against the loaded track's ground.
int body_collide_terrain(collision_shape* shape, dBodyID body);

// The cheap probe of a wheel: the first triangle it touches, searched from the cell
// under the wheel outward. 1 on contact, with point, normal and depth.
int collide_wheel_terrain(const terrain_state* terrain, const wheel_contact* wheel, float point[3],
                          float normal[3], float* depth);
// The deepest contact of the wheel over every triangle near it.
int collide_wheel_terrain_deepest(const terrain_state* terrain, const wheel_contact* wheel,
                                  float point[3], float normal[3], float* depth);

// The wheel's tyre on the ground for this tick: contact fields filled (depth 0 without
// contact), a ground joint with the tile's friction times friction_factor, the slip
// law and the tyre's softness, fed back into the wheel's record, and the tile's
// rolling resistance. 1 on contact.
int collide_wheel_terrain_contact(const terrain_state* terrain, wheel_contact* wheel,
                                  double friction_factor);

// The wheel's slip speed on a tile: slip function 2 measures the ground speed of the
// contact point without the tyre's spin about the axle (along the tyre's own
// velocity there); every other function uses the tyre's speed. Public for the tests.
double wheel_slip_speed(int slip_function, const double linear[3], const double angular[3],
                        const double axle[3], const double offset[3], const double velocity[3]);
