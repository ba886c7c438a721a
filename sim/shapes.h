// Collision sphere sets read from ".shp" files: cached once by name, copied into a
// private instance per bike body (statues share one instance per shape), whose centres are rewritten in world space before each
// collision test.
#pragma once
#include <cstdint>

// A ".shp" file holding more spheres than this is refused like a short one.
inline constexpr int kShapeMaxSpheres = 4096;
// The longest ".shp" file read: a line of at most 1 KiB for the count and each sphere.
// Seven numbers of at most 47 characters (a float as "%f" writes it) and their
// separators take 336 bytes; the rest leaves room for the white space of a hand-made file.
inline constexpr uint32_t kShapeFileMax = uint32_t(kShapeMaxSpheres + 1) * 1024;

struct shape_sphere {
    float centre[3];    // body space in a cached shape; world space once placed
    float radius;
    float friction;     // contact mu
    float spring;       // kp of sphere-sphere contacts
    float damping;      // kd of sphere-sphere contacts
};

// One heap block: this header, the spheres, then the name text.
struct collision_shape {
    char* name;
    int32_t sphere_count;
    shape_sphere* spheres;
    collision_shape* source;   // null in a cached shape; the cached shape in an instance
    collision_shape* shared;   // a cached shape's one shared instance, made on first use
    float bound_radius;        // max |centre| + radius about the body origin
};

// The cached shape of that exact file name, read and cached on a miss; null when the
// file is missing, short, or announces a negative or absurd sphere count, and when it
// is longer than kShapeFileMax (refused with a line, unread when its length is known).
collision_shape* shape_load(const char* name);
// A private copy of the cached shape (freed with mem_free by its owner); null when
// shape_load fails.
collision_shape* shape_instance(const char* name);
// The one instance of the cached shape that every statue using it shares: it is
// placed again before each use, so a statue keeps only its own placement. It belongs
// to the cache (freed by shapes_free_all); null when shape_load fails.
collision_shape* shape_shared_instance(const char* name);
// How far a sphere's centre may lie from the body on each axis: the loaded track's
// world size, and never less than 1024 feet.
float shape_centre_bound();
// Every centre = rotation (3x3 row-major) x source centre + position.
void shape_place(collision_shape* instance, const float position[3], const float rotation[9]);
const char* shape_name(const collision_shape* shape);
float shape_bound_radius(const collision_shape* shape);
// Sphere i as last placed; 0 when i is out of range.
int shape_get_sphere(const collision_shape* shape, int i, float centre[3], float* radius);
// Frees every cached shape and the cache (instances belong to their owners).
void shapes_free_all();
// Cached shapes, for tests and tools.
int shape_cache_count();
