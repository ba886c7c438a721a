// The sphere sets a bike build gives the bodies that meet the ground.
#pragma once
#include "sim/shapes.h"
#include "terrain/terrain_state.h"

// Most ground cells one ground test of one body's shape may visit. A stock bike's
// largest body shape covers about 31 cells of a 1 ft grid and about 410 of a 1/8 ft
// grid, the finest on which the largest grid the terrain loader takes (8193 points a
// side) still spans the 1024 ft a track needs; 2^14 is forty times that, and exactly
// a shape file's most spheres (4096) at no size. A full field of 160 riders with all
// five body shapes at the bound visits 13 million cells a tick, tens of milliseconds,
// where one hostile frame of 4096 spheres of 256 ft would visit a billion.
inline constexpr double kBodyShapeMostGroundCells = 16384;

// An instance of a ground-tested body's shape; null, as for an unreadable file, when
// one ground test of it would visit more than kBodyShapeMostGroundCells cells of the
// terrain, said once per shape file. The body then has no sphere contacts.
collision_shape* ground_body_shape_instance(const char* name, const terrain_state* terrain);
