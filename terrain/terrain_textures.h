// The ground textures: nested square windows around the camera (the detail levels),
// each with a colour, a normal and a specular texture into which the tiles, the
// shading and the decals are rendered through a framebuffer and redrawn piece by
// piece as the camera moves or the ground changes; the atlas of tile images; the
// decal quads per bucket cell; and the terrain draw.
#pragma once
#include "terrain/terrain_state.h"

#include <string>
#include <vector>

constexpr int32_t kTerrainSpareLevel = kTerrainMaxDetailLevels;   // index 16
constexpr int32_t kTerrainAtlasSide = 256;
constexpr int32_t kTerrainDecalsPerUpload = 1024;

// Window sizes by cell size: l (the finest) and m = 4l. Cells of 1 or more give 64
// and 256; finer cells widen both so that l covers at least 64 world units.
void terrain_window_sizes(float cell, int32_t* l, int32_t* m);

// The window origin along one axis for a camera cell: centred on the camera, snapped
// to steps of w/4 and clamped to 0 .. N - 1 - w.
int32_t terrain_window_origin(int32_t camera, int32_t w, int32_t size);

// The level the next redraw serves, coarsest first: one whose window centre lies
// more than w/4 from the camera cell, or whose redraw is being served, and whose
// redraw would change something. -1 when none; *x, *z get its new origin.
int32_t terrain_pick_level(const terrain_state* terrain, int32_t* x, int32_t* z);

// At load: the windows, their textures (a checkerboard placeholder, then cleared to
// black) and the spare set; every window starts off the grid with a redraw asked.
int terrain_detail_levels_create(terrain_state* terrain);
// The 256 x 256 atlas of the tile images, c x c slots of 256 / c texels.
int terrain_atlas_create(terrain_state* terrain, const std::vector<std::string>& texture_names);
// Atlas columns per side: the smallest power of two whose square holds every tile.
int32_t terrain_atlas_columns(int32_t tile_count);

// Vertex arrays and buffers of the 64 bucket cells and of the appended decals.
int terrain_decal_buffers_create(terrain_state* terrain);
// Refills the quads and runs of one bucket cell from its index list.
void terrain_decal_geometry_cell(terrain_state* terrain, int32_t row, int32_t column);
// Refills the appended set from the last count decals of the array.
void terrain_decal_geometry_appended(terrain_state* terrain, int32_t count);
// The six corners (x, y = -1, z, u, v) of a decal's two triangles.
void terrain_decal_quad(const decal* d, float out[30]);

// Per frame before drawing: advances the redraw by one piece (all of it under the
// torture test, BV_TERRAIN_TEXTURE_TORTURE > 0).
void terrain_update_textures(terrain_state* terrain);
// Turns the torture test on or off whatever the environment says.
void terrain_set_torture_test(int on);
// Draws the level-of-detail mesh with the detail textures.
void terrain_draw(terrain_state* terrain);

// Binds the detail framebuffer to a texture for drawing with the full T x T viewport
// and the orthographic set-up; 0 (with "Framebuffer error %x") when incomplete.
int terrain_framebuffer_bind(terrain_state* terrain, uint32_t texture);
// Maps the world rectangle (x0, z0)-(x1, z1), world units, onto the viewport.
void terrain_map_world(float x0, float z0, float x1, float z1);
