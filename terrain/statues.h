// Statues: placed models with a texture, optional normal and specular maps and an
// optional collision shape (start gates, fences, hay bales, buildings). The track's
// "statues" file holds those placed on the track, one per line:
//   [ x h z ] angle model texture shape        ("null" = none)
// An angle of 3.25 or more means no rotation and scale 2^angle; -2 pi or less means
// upright with only a heading; otherwise the statue is tilted onto the ground.
#pragma once
#include <cstdint>

#include "foundation/growable_array.h"

struct model;
struct collision_shape;

inline constexpr float kStatueScaledAngle = 3.25f;
// What one track may place: a busy track sets a few thousand objects, and every statue
// is drawn and gathered into the contact grid; every sphere is one more test for each
// rider that comes near its statue. Statues past either bound are refused.
inline constexpr int32_t kMaxStatues = 16384;
inline constexpr int64_t kMaxStatueSpheres = int64_t(1) << 20;
// The longest "statues" file read: a line as a save writes it holds four numbers of
// at most 47 characters (a float as "%f" writes it) and three names of at most 1023,
// under 3.3 KiB; 4 KiB for each of kMaxStatues lines leaves room for the 4 MiB of
// lines past them that a save writes back.
inline constexpr uint32_t kStatuesFileMax = uint32_t(kMaxStatues) * 4096;

struct statue {
    model* mesh;                    // null = none
    collision_shape* shape;         // the instance its shape's statues share (placed before each use), null = none
    int32_t shape_spheres;          // the shape's sphere count, held against the track's bound
    uint32_t texture;
    uint32_t normal_map;
    uint32_t specular_map;
    float x, y, z;                  // y = terrain height + height above ground
    float height_above_ground;
    float angle;
    float rotation[9];              // row-major; columns right, up, forward
    float scale;                    // 2^angle when angle >= 3.25, else 0
    int32_t bone_count;             // 0 until a script poses the statue
    float* bone_centres;            // pose buffers set by the script, owned
    float* bone_translations;
    float* bone_rotations;
    int32_t touched_tick;           // the last tick a rider touched its shape, 0 = never
    // Names as given (track_object_name), so that a save keeps them when a file failed to load.
    const char* model_file;
    const char* texture_file;
    const char* shape_file;
    int32_t from_script;            // made by the track's script: never saved with the track
};

extern growable_array statues;              // of statue
extern int32_t first_track_statue;          // first index read from the "statues" file
// Non-zero while the track's script loads: statues and billboards made meanwhile are
// marked as the script's and the track writers leave them out.
extern int32_t track_objects_from_script;

// A statue's or billboard's name as kept: interned for the track's own objects, a
// copy of its own for a script's (a downloaded script may name thousands of files,
// and the interned texts live until shutdown). The second frees such a copy.
const char* track_object_name(const char* name, int32_t from_script);
void track_object_name_free(const char* name, int32_t from_script);

inline int32_t statue_count() { return statues.count; }
inline statue* statue_at(int32_t i) { return static_cast<statue*>(statues.items) + i; }

// What a statue or billboard loads its files through. The defaults are the texture
// and model caches; the collision shapes belong to the rider simulation, which sets
// shape_instance and shape_free at start-up (until then statues have no shape).
struct track_object_loaders {
    uint32_t (*texture_load)(const char* name);
    model* (*model_get)(const char* name);
    collision_shape* (*shape_instance)(const char* name);
    void (*shape_free)(collision_shape* shape);
};
// The sphere count of a statue's shape, held against kMaxStatueSpheres; installed
// with the shape loaders (0 for every shape until then).
extern int32_t (*statue_shape_spheres)(const collision_shape* shape);
// Spheres of the shapes of the statues now placed.
extern int64_t statue_spheres_placed;
extern track_object_loaders track_loaders;

// Empties the table (capacity 16) for a track load; frees every statue first.
void statues_reset();
void statues_free();

// Appends a statue; any name may be null. Returns its index, -1 when memory runs out
// or the statue would pass kMaxStatues or kMaxStatueSpheres (the first such refusal
// after a reset logs one line).
int create_statue(float x, float height_above_ground, float z, float angle, const char* model_name,
                  const char* texture_name, const char* shape_name);
// Recomputes y and the rotation from x, z, height above ground and angle.
void place_statue(statue* s);
// Frees the shape copy and the pose buffers and clears them.
void free_statue(statue* s);

// The rotation of a statue at (x, z) with this heading on the track's ground.
void orient_on_terrain(float rotation[9], float x, float z, float heading);

// The companion map of a statue texture (suffix "_norm" or "_spec"), 0 when none loads.
uint32_t statue_companion_map(const char* texture_name, const char* model_name, const char* suffix);

// Reads the "statues" lines of a data path (nothing when it is missing). A file longer
// than kStatuesFileMax is refused with a line, unread when its length is known, else
// once reading passes the bound, where it stops; either way a save leaves it as it was.
void statues_read(const char* path);
// "@" + track folder + "/statues": 1 written, 0 when it does not open.
int write_statues();
// 1 when write_statues leaves the file as it was: what its load left out is more than
// a save writes back.
int statues_file_kept();
struct vfs_file;
int statues_write_to(vfs_file* f);
