// Riders against the track's placed objects: the statues with a collision shape are
// binned once per track load into an 8 x 8 grid over the middle three quarters of the
// terrain, and each tick a rider tests only the statues of the cells around it.
#pragma once
#include "foundation/growable_array.h"

#include <cstdint>

#include <ode/ode.h>

struct rider_slot;
struct collision_shape;

inline constexpr int kStatueGridSide = 8;

// Row-major (row = z cell, column = x cell); each cell holds int32 statue indices in
// ascending order.
extern growable_array statue_grid[kStatueGridSide * kStatueGridSide];

// The collision tests the gathering calls: the rider simulation's by default, a
// recorder in tests.
struct statue_contact_calls {
    int (*terrain)(rider_slot* rider);
    int (*object)(rider_slot* rider, collision_shape* shape, dBodyID body, const float position[3],
                  const float rotation[9]);
};
extern statue_contact_calls statue_contacts;

// The grid cell (0..7) of a coordinate over a terrain of this extent.
int statue_grid_cell(float c, float extent);
// Empties every cell (storage kept) and lists every shaped statue in each cell its
// bounding circle covers.
void statue_grid_build();
// Frees the cells' storage (track teardown) and the scratch lists.
void statue_grid_free();
// The rider against the ground and every statue within 6 ft of its frame; each
// statue touched carries the current tick.
void rider_gather_contacts(rider_slot* rider);
// The same test and stamping against the statues of the start-gate pieces.
void gate_pieces_touch(rider_slot* rider);
