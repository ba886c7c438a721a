// The terrain files of a track folder: loading them into the record with the GL
// objects that draw it, saving the editor's changes back, and the pieces both use.
// Every path is "@" + track folder + "/" + file name.
#pragma once
#include "terrain/terrain_state.h"

#include <cstdint>
#include <string>

struct vfs_file;

// The light the saved shading is computed under (the track's lighting file).
struct terrain_light {
    float sun[3];          // unit vector towards the sun
    float sun_colour[3];
    float ambient[3];
};

// Fills the record from the folder's files and makes its GL objects; 0 on failure,
// with the record freed.
int terrain_load(terrain_state* terrain, const char* folder);
// Writes the heights, shading, tile map and decals back into the folder the record
// was loaded from, the shading under the track's light; 0 when a file cannot be
// written. terrain_save_to names the folder and the light.
int terrain_save(terrain_state* terrain);
int terrain_save_to(terrain_state* terrain, const char* folder, const terrain_light* light);
// 1 when a save leaves the decals file as it was: what its load left out is more than
// a save writes back.
int terrain_decals_kept(const terrain_state* terrain);
// The folder of the last successful load ("" before any), which terrain_save uses.
const char* terrain_folder();
void terrain_remember_folder(const char* folder);
// The sun, its colour and the ambient light of the track's lighting file.
terrain_light terrain_track_light();

// The longest "terrain.hf" the heights reader takes: a header ("%d %f %f %f", the
// three floats at most 47 characters each as a save writes them, so under 160 bytes)
// in 1 KiB, then ':' and the samples of the largest grid inline. A save writes no more.
inline constexpr uint32_t kHeightsFileMax =
    1024 + 1 + 2 * ((1u << (kTerrainMaxExponent + 1)) + 1) * ((1u << (kTerrainMaxExponent + 1)) + 1);
// The longest "tilemap": the largest grid's map, 2^n x 2^n bytes; nothing after it is read.
inline constexpr uint32_t kTileMapMax = 1u << (2 * kTerrainMaxExponent);

struct terrain_shadow_map;
// "terrain.hf" and its samples (inline or "terrain.png") into an initialised record:
// allocates the grid, fills the heights and their copy, and leaves the RIPEMD-160
// digest of the samples in digest. 0 on failure, with a console line (a file past
// kHeightsFileMax, or a picture past kGray16PictureMax, refused unread). Shadows taken
// for a grid of the side the header declares become the grid's own (the map is left
// empty); other shadows stay in the map.
int terrain_read_heights(terrain_state* terrain, const char* folder, uint8_t digest[20],
                         terrain_shadow_map* shadows = nullptr);
// "terrain.png" then "terrain.hf" (header only), each written under a temporary name
// first, and both moved into place only when both are complete. Rescans and stores
// the minimum and maximum.
int terrain_write_heights(terrain_state* terrain, const char* folder);

// The side of the grid "terrain.hf" declares, 0 when its header is refused (without a
// line: terrain_read_heights gives it).
int32_t terrain_heights_side(const char* folder);

// "shadows.pgm" (brightness, stored inverted). 1 also when the file is missing.
int terrain_read_shadows(terrain_state* terrain, const char* folder);
// The same in steps, so that a load reads the file once and before the grid is made:
// take reads it for a grid of side x side points, refusing (0, with the line
// terrain_read_shadows gives) a map of another size, or one that is unreadable or
// holds far less than its header declares, at the cost of what the file holds. The
// map holds nothing when the file is missing. terrain_read_heights makes what was
// taken the grid's own; put stores it into a grid that exists (0, nothing stored,
// when the grid's side is not the one taken for); drop lets it go unused.
struct terrain_shadow_map {
    uint8_t* shadow = nullptr;   // side x side shadow bytes, as the record keeps them
    int32_t side = 0;
};
int terrain_shadows_take(const char* folder, int32_t side, terrain_shadow_map* map);
int terrain_shadows_put(terrain_state* terrain, terrain_shadow_map* map);
void terrain_shadows_drop(terrain_shadow_map* map);
// "tilemap", each byte clamped to the last tile. 0 when missing, short or past
// kTileMapMax.
int terrain_read_tilemap(terrain_state* terrain, const char* folder);
// "decals": appends every readable line's decal, with its maps, and buckets them.
// Needs the decal lists; 0 only when they are missing.
int terrain_read_decals(terrain_state* terrain, const char* folder, uint32_t (*load)(const char* name));

// Channel values of the shading of point (i, j) under the light.
void terrain_shading_at(const terrain_state* terrain, int32_t i, int32_t j, const terrain_light* light,
                        uint8_t rgb[3]);

// Writes "@folder/name" through "@folder/name.new": writer fills the open file and
// returns 1; then the new file replaces the old one. On any failure the old file
// stays, the partial one goes, and "Can't open 'name'" goes to the console.
int terrain_write_file(const char* folder, const char* name, int (*writer)(vfs_file* f, void* context),
                       void* context);
// The data name a save writes folder's file name under: "@" + folder + "/" + name, for
// the door's write step to check ("" when either is missing).
std::string terrain_write_name(const char* folder, const char* name);
