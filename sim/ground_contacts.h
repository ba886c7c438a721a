// Spheres and wheels against the ground's triangles: every grid cell under the
// shape's box, split along its alternating diagonal as the ground itself is.
#pragma once
#include "sim/contact_math.h"
#include "terrain/terrain_state.h"

// The two triangles of cell (i, j) (between grid points i..i+1, j..j+1), corners
// ordered so that their normals face up.
void ground_cell_triangles(const terrain_state* terrain, int i, int j, contact_math::vec3 tri[2][3]);

// Sphere against the ground: the deepest contact over the covered cells, its normal
// never pointing down. 1 on contact.
int collide_point_terrain(const terrain_state* terrain, const float centre[3], float radius,
                          float point[3], float normal[3], float* depth);

// A wheel (centre, unit world axle, ring radius, tyre radius) against the ground.
// The exact test keeps the deepest contact of all covered triangles; the probe visits
// cells from the middle outward and takes the first triangle it touches. Each returns
// the depth (0 = none) with the point and the normal.
double ground_wheel_deepest(const terrain_state* terrain, contact_math::vec3 centre,
                            contact_math::vec3 axle, double ring_radius, double tyre_radius,
                            contact_math::vec3* point, contact_math::vec3* normal);
double ground_wheel_probe(const terrain_state* terrain, contact_math::vec3 centre,
                          contact_math::vec3 axle, double ring_radius, double tyre_radius,
                          contact_math::vec3* point, contact_math::vec3* normal);
