// Height and normal of the ground under a world point. Each grid cell is split along
// one diagonal, alternating in a checkerboard by the parity of (column XOR row); the
// plain height, the normal and the dug-depth measure all use that same triangle.
// Indices are clamped to the grid, so points off it take the edge heights.
#pragma once
#include "terrain/terrain_state.h"

// The triangle of the cell under grid point (X, Z) (world coordinates times the
// inverse cell size): pivot (px, pz), its x neighbour (qx, pz) and z neighbour
// (px, qz), indices not yet clamped; u and v are the offsets from the pivot towards
// the neighbours, as fractions of a cell.
struct terrain_triangle {
    int32_t px, pz;
    int32_t qx, qz;
    float u, v;
};
terrain_triangle terrain_pick_triangle(float grid_x, float grid_z);

// Interpolates one per-point grid (the heights or their as-loaded copy) on the
// triangle under world point (x, z). 0 when the grid is missing.
float terrain_interpolate(const terrain_state* terrain, const float* grid, float x, float z);
// The ground height under (x, z).
float terrain_height_at(const terrain_state* terrain, float x, float z);
// The upward normal of the triangle under (x, z), not normalised: its y is cell^2.
void terrain_normal_at(const terrain_state* terrain, float x, float z, float normal[3]);
// Weighted mean of the grid heights within 10 units of (x, z), fading to 0 over one
// more cell.
float terrain_height_smoothed(const terrain_state* terrain, float x, float z);
