// The billboards of one frame as a draw list: depth keys along the camera's backward
// axis, a stable radix sort back to front, and texture grouping within a lookahead
// window where moving an entry forward cannot change what covers what.
#pragma once
#include <cstdint>
#include <vector>

// floor(v x 1024 + 2^24) as a 32-bit key; false when v is not finite or the key does
// not fit, so that the entry is not drawn.
bool depth_key(double v, int32_t* key);

// The ordered list of billboard indices to draw for a camera at `camera` whose
// backward axis is c. Writes each kept billboard's depth key. `scratch` is the
// renderer's list (grown, never shrunk); the answer points into it and ends with -1.
const int32_t* billboard_draw_list(const float camera[3], const float c[3], int32_t lookahead,
                                   std::vector<int32_t>& scratch);

// The horizontal right vector (c.z, -c.x) normalised; false when c is vertical.
bool billboard_right(const float c[3], float right[2]);

// Moves same-texture entries together within the window (see the .cpp); list ends
// with -1. Pure apart from reading the billboard table.
void billboard_group(int32_t* list, int32_t count, const float camera[3], const float right[2], int64_t lookahead);
