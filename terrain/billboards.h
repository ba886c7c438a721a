// Billboards: camera-facing textured sprites (trackside signs, trees, flaggers and the
// dirt-spray particles, which each drive one). The track's "billboards" file holds
// those placed on the track, one per line:
//   [ x h z ] size aspect name
// h is the height above the ground; a name "#rrggbb#texture" gives the sprite a colour.
#pragma once
#include <cstdint>

#include "foundation/growable_array.h"

// What one track may hold, the 2000 dirt-spray particles and the flaggers included.
// Trackside signs and trees come to a few thousand on a busy track; every billboard
// is sorted and drawn each frame. Billboards past the bound are refused.
inline constexpr int32_t kMaxBillboards = 65536;

struct billboard {
    float x, y, z;                  // y = terrain height + height above ground
    float size;
    float height_above_ground;
    float aspect;                   // drawn size x aspect; 1 for particles
    int32_t depth_key;              // scratch of the world renderer's back-to-front sort
    uint32_t texture;               // 0 = not drawn
    uint8_t colour[4];              // r, g, b, a; a = 0 is not drawn
    const char* name;               // texture name as given (track_object_name; null for none)
    int32_t from_script;            // made by the track's script: never saved with the track
};

extern growable_array billboards;           // of billboard
extern growable_array billboard_work;       // two zeroed 4-byte slots per billboard, for the drawing
extern int32_t first_track_billboard;       // first index read from the "billboards" file

inline int32_t billboard_count() { return billboards.count; }
inline billboard* billboard_at(int32_t i) { return static_cast<billboard*>(billboards.items) + i; }

// Empties both tables (capacity 16) for a track load; frees what they held.
void billboards_reset();
void billboards_free();

// The colour prefix "#rrggbb#": sets rgba and returns the name after it; otherwise
// white and the name unchanged.
const char* billboard_colour_prefix(const char* name, uint8_t rgba[4]);

// Appends a billboard at (x, ground + height, z); returns its index, -1 when memory
// runs out or the track holds kMaxBillboards already (the first such refusal after a
// reset logs one line). A null name gives texture 0.
int create_billboard(float x, float height_above_ground, float z, float size, float aspect, const char* name);

// Frees what a billboard owns (a script's billboard owns its name).
void billboard_release(billboard* b);

// Reads the "billboards" lines of a data path (nothing when it is missing).
void billboards_read(const char* path);
// "@" + track folder + "/billboards": 1 written, 0 when it does not open.
int write_billboards();
// 1 when write_billboards leaves the file as it was: what its load left out is more
// than a save writes back.
int billboards_file_kept();
struct vfs_file;
int billboards_write_to(vfs_file* f);
