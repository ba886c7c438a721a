// The terrain's level of detail: a quad pyramid over the height grid whose nodes hold
// a squared refine distance, rebuilt under a work budget after edits; the per-frame
// marking of refined nodes; the crack-free fan mesh streamed to GL in batches; and
// the budgeted upload of changed height blocks.
//
// Level k (0 = the whole grid, n = the finest) has 2^k x 2^k nodes; node (row i,
// column j) covers grid columns j*W .. (j+1)*W and rows i*W .. (i+1)*W, W = (N-1) >> k.
#pragma once
#include "terrain/terrain_state.h"

#include <cstdint>

struct view_frustum;

constexpr int32_t kTerrainUnlimitedBudget = 0x7fffffff;
constexpr int32_t kTerrainFrameBuildBudget = 8000;
constexpr int32_t kTerrainMeshVertices = 16384;       // the streamed buffer holds this many
constexpr int32_t kTerrainMeshFlushAt = 16380;        // flush once more than this are queued
constexpr int32_t kTerrainMeshBufferBytes = 0x30000;  // 16384 vertices of x, y, z

// First node of level k: (4^k - 1) / 3.
constexpr int64_t terrain_level_start(int32_t k)
{
    return ((int64_t{1} << (2 * k)) - 1) / 3;
}
constexpr int64_t terrain_node_index(int32_t k, int32_t row, int32_t column)
{
    return terrain_level_start(k) + (int64_t(row) << k) + column;
}

// One run of queued mesh vertices drawn with one detail level's textures.
struct terrain_draw_segment {
    int32_t first;          // first queued vertex
    int32_t level;          // detail level index
    uint32_t textures[3];   // colour, normal, specular
    float offset[2];        // (-ox * cell, -oz * cell)
    float scale;            // 1 / (w * cell)
};

// Largest error of the grid points on or inside the right triangle with the right
// angle at (c0, r0) and legs to (c1, r0) and (c0, r1), against the plane through its
// corners. Resumable: costs 10 units of the record's work budget per call and
// L - t - 1 for each finished row t; when the budget goes negative the row reached
// and the running maximum stay in the record and the call returns 0.
int terrain_triangle_error(terrain_state* terrain, int32_t c0, int32_t r0, int32_t c1, int32_t r1);

// Advances the pyramid build by up to budget units. A build starts when the stamp
// no longer matches the edit count and swaps into array A when level 0 is done.
// Returns 1 when the pyramid is up to date (nothing to do, or the build just
// finished), 0 when work is left for a later call.
int terrain_lod_build(terrain_state* terrain, int32_t budget);

// One frame's upkeep: the build with a budget of 8000 units, then the height upload
// with terrain_upload_budget blocks.
void terrain_update_step(terrain_state* terrain);
// The build and the upload with unlimited budgets; then no camera cell is cached.
void terrain_update_all(terrain_state* terrain);

// Uploads up to budget dirty 128 x 128 blocks of heights into the heights texture,
// round robin from the upload cursor, clearing their bits; returns how many went.
int terrain_upload_heights(terrain_state* terrain, int32_t budget);

// The vertex queue and segment list of the mesh builder; 0 when memory runs out.
int terrain_mesh_alloc(terrain_state* terrain);

// Clears the marks, marks every node over each detail window (on the level whose
// nodes are w/2 wide and all coarser ones), then marks from the root every node
// whose refine distance reaches the camera.
void terrain_lod_mark(terrain_state* terrain);
int terrain_lod_marked(const terrain_state* terrain, int32_t k, int32_t row, int32_t column);

// Walks the marked tree from the root and queues its fans, culling nodes that lie
// wholly behind the view, and with a frustum also those wholly outside it; flushes
// whenever the queue passes 16380 vertices. The caller flushes what is left.
void terrain_mesh_build(terrain_state* terrain, const view_frustum* view = nullptr);

// Draws the queued vertices segment by segment and empties the queue; the last
// segment stays open, with no vertices, for the next batch.
void terrain_mesh_flush(terrain_state* terrain);
