// The loaded track's ground: the one record that the loader fills, the brushes, decal
// operations and editor change, and the contacts, erosion and drawing read.
// Point (i, j) of every per-point array is element j * size + i; world position
// (i * cell, j * cell). GL objects are kept as plain ids.
#pragma once
#include "foundation/growable_array.h"

#include <cstdint>

constexpr int kTerrainMaxTiles = 256;
constexpr int kTerrainTileNameSize = 48;
constexpr int kTerrainCurvePoints = 8;          // friction, roll-resistance and erode-limit points
constexpr int kTerrainRoostTypes = 4;
constexpr int kTerrainMaxDetailLevels = 16;     // the spare set sits after them, at index 16
constexpr int kTerrainBucketsPerSide = 8;
constexpr int kTerrainBlockSide = 128;          // dirty blocks are 128 x 128 points
constexpr int kTerrainMaxExponent = 12;         // n = 12 gives 8193 points per side
constexpr float kTerrainUnusedSpeed = 1048576.0f;  // 2^20: a friction point not in use
constexpr int32_t kTerrainNoCameraCell = -1000000;

// One dirt-spray kind of a tile (64 bytes).
struct roost_type {
    int32_t mode;           // 0 none, 1 roost, 2 splash
    uint32_t texture;
    float count;
    float dig;
    float slip_threshold;
    float slow_angle;
    float fast_angle;
    float slow_speed;
    float fast_speed;
    float size;
    float grow;
    float drag;
    float vscale;
    float randomize;
    uint8_t colour[4];      // r, g, b, a
    int8_t fade[4];         // change per tick
};
static_assert(sizeof(roost_type) == 64);

// How a tile's ground gives under the ruts (44 words).
struct tile_erode_params {
    float depth;
    float lower;
    float upper;
    float displacement;
    float radius;
    float inner_depth;
    float inner_radius;
    float min_slope;
    float max_slope;
    float off_speed;
    float on_speed;
    float slip_lower;
    float slip_upper;
    float slip_base_scale;
    float slip_scale;
    float downhill_scale;
    float limit_depth[kTerrainCurvePoints];   // strictly rising
    float limit_first[kTerrainCurvePoints];
    float limit_second[kTerrainCurvePoints];
    float project_to_ground;
    float lateral_scale;
    float front_scale;
    int32_t limit_count;
};
static_assert(sizeof(tile_erode_params) == 44 * 4);

// A flat textured rectangle on the ground (40 bytes, the layout the drawing reads).
struct decal {
    uint32_t texture;
    uint32_t normal_map;     // 0 = none
    uint32_t specular_map;   // 0 = none
    float x;
    float z;
    float angle;             // radians about the vertical
    float size;              // side along the decal's own z; its x side is size * aspect
    float aspect;
    float sine;              // sin(angle), kept by whoever sets the angle
    float cosine;
};
static_assert(sizeof(decal) == 40);

// Consecutive decals of a bucket cell that share a colour texture.
struct decal_run {
    int32_t count;
    uint32_t texture;
    uint32_t normal_map;
    uint32_t specular_map;
};

// One window of the ground-texture pyramid and its three textures.
struct terrain_detail_level {
    uint32_t colour_texture;
    uint32_t normal_texture;
    uint32_t specular_texture;
    int32_t origin_x;        // grid indices of the window corner
    int32_t origin_z;
    int32_t window;          // grid points per side, a power of two
    int32_t redraw;          // bit 0 requested, bit 1 being served
};

struct terrain_state {
    // Per-point and per-node arrays.
    float* heights;                 // size * size, followed in the same block by the copy
    float* heights_copy;            // the ground as loaded; brushes leave it alone
    float* lod_error_a;             // refine distance squared of the last completed build
    float* lod_error_b;             // the build in progress
    uint8_t* shadow;                // size * size, 0 = unshadowed
    uint8_t* tile_map;              // 2^n * 2^n, one tile per 2 x 2 cells
    uint8_t* lod_marks;             // one bit per pyramid node
    uint8_t* dirty_blocks;          // one bit per 128 x 128 block, row * blocks_per_side + column

    // Decals and their 8 x 8 buckets of ascending indices.
    growable_array decals;                                               // of decal
    growable_array decal_buckets[kTerrainBucketsPerSide][kTerrainBucketsPerSide];  // of int32_t
    growable_array decal_scratch[2];                                     // of int32_t
    uint64_t changed_cells;         // bit row * 8 + column per bucket whose list changed
    int32_t appended_decals;        // appended since the last texture update, -1 after other changes
    struct refused_tail* decals_refused;   // what the decals file's load refused, or null

    // GL objects.
    uint32_t heights_texture;
    uint32_t shadow_texture;
    uint32_t tilemap_texture;
    uint32_t tile_atlas;
    uint32_t vertex_array;
    uint32_t vertex_buffer;
    uint32_t detail_framebuffer;

    // Ground-texture detail levels, the spare set last.
    terrain_detail_level detail_levels[kTerrainMaxDetailLevels + 1];
    int32_t detail_level_count;
    int32_t detail_texture_size;
    int32_t redraw_level;           // kTerrainMaxDetailLevels = none being redrawn
    int32_t redraw_step;
    uint32_t redraw_mask;           // 4 x 4 sub-squares of the window already filled
    uint32_t redraw_copied;         // the sub-squares the copy from the old window filled
    int32_t appended_pending;       // appended decals whose quick pass is still to run

    // Decal geometry per bucket cell, and for the decals appended since the last update.
    growable_array decal_runs[kTerrainBucketsPerSide][kTerrainBucketsPerSide];  // of decal_run
    uint32_t decal_vertex_arrays[kTerrainBucketsPerSide][kTerrainBucketsPerSide];
    uint32_t decal_buffers[kTerrainBucketsPerSide][kTerrainBucketsPerSide];
    growable_array appended_runs;
    uint32_t appended_vertex_array;
    uint32_t appended_buffer;

    // Sizes.
    float world_size;               // 2^(n+1) * cell
    float cell;
    float inv_cell;
    float cell2;                    // twice the cell size
    float max_height;               // kept up to date by every edit
    float min_height;

    // Tile materials.
    char tile_names[kTerrainMaxTiles][kTerrainTileNameSize];
    float friction_values[kTerrainMaxTiles][kTerrainCurvePoints];
    float friction_speeds[kTerrainMaxTiles][kTerrainCurvePoints];   // ascending, 2^20 = unused
    int32_t slip_function[kTerrainMaxTiles];                        // 0, 1 or 2
    float roll_resist[kTerrainMaxTiles][kTerrainCurvePoints][2];
    float roll_resist_speeds[kTerrainMaxTiles][kTerrainCurvePoints];
    roost_type roost_types[kTerrainMaxTiles][kTerrainRoostTypes];
    tile_erode_params erode_params[kTerrainMaxTiles];
    uint32_t tile_textures[kTerrainMaxTiles];

    int32_t n;                      // size exponent
    int32_t size;                   // N = 2^(n+1) + 1 points per side
    int32_t camera_cell_x;          // kTerrainNoCameraCell = none
    int32_t camera_cell_z;
    int32_t tile_count;
    int32_t height_change_count;    // starts at 1, one more per brush application
    int32_t draw_counter;           // wraps from the largest int back to 1
    int32_t change_flags;           // bits 1, 2 and 4, all set by every height edit
    int32_t edit_lock;              // non-zero: brushes change no height

    // Level-of-detail pyramid build and height upload.
    float error_scale;              // E = 0.125 / ground detail
    int32_t build_level;
    int32_t build_column;
    int32_t build_row;
    int32_t build_triangle_row;     // resumable triangle error: the row reached
    float build_triangle_max;       // ... and the running maximum
    int32_t build_first_done;       // the node's first triangle is finished
    int32_t build_stamp;            // > 0 edit count built; < 0 minus the count being built
    int32_t work_budget;
    int32_t upload_cursor;          // next dirty block to examine

    // Camera as the world drawing left it for this frame.
    float camera_position[3];
    float view_direction[3];
    int32_t view_sign_mask;         // bit 0 x >= 0, bit 1 y >= 0, bit 2 z >= 0

    // Mesh streaming.
    float* mesh_vertices;           // up to 16384 vertices of x, y, z
    int32_t mesh_vertex_count;
    growable_array draw_segments;
    int32_t polygons_drawn;         // ground triangles of the last frame

    // Flags the race core and editor keep here.
    int32_t hide_decals;
    int32_t read_only;
    int32_t erosion_amount;         // 1/1024 units, -1 until set
};

// Blocks per side of the dirty-block bits: max(1, (N - 1) / 128).
int terrain_blocks_per_side(const terrain_state* terrain);
// Nodes of the quad pyramid over the grid: (4^(n+1) - 1) / 3.
int64_t terrain_pyramid_nodes(int32_t n);

// The record as a load begins: arrays none, counters and flags at their starting
// values, every tile table cleared.
void terrain_init(terrain_state* terrain);

// Sets the grid geometry and allocates every per-point and per-node array, zeroed
// (heights = minimum). Refuses an exponent outside 0..12, a cell size that is not a
// finite number in [1/256, 2^20], or heights that are not finite; 0 on refusal or
// when memory runs out, with nothing allocated. Given shadow (N x N shadow bytes
// from mem_alloc), the grid takes that block as its shadows instead of zeroed ones;
// it is the grid's (or freed) in every case.
int terrain_alloc(terrain_state* terrain, int32_t n, float cell, float min_height, float max_height,
                  uint8_t* shadow = nullptr);
// The same checks alone: 1 when terrain_alloc would take these values.
int terrain_grid_ok(int32_t n, float cell, float min_height, float max_height);

// Releases every array and decal list and leaves the record ready for the next load.
void terrain_free(terrain_state* terrain);
