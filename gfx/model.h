// Polygon models from ".jm" files: loading (with bone weights for skinned models),
// the cache by name with levels of detail, drawing in an opaque and a reflection
// pass, purging by generation, and export as POV-Ray meshes. Main thread only.
#pragma once
#include <GL/glcorearb.h>

#include <cstdint>

struct vfs_file;

// One part of a model file; the first part stands for the model. The record, its
// arrays (in the order of the pointers below) and the name are one allocation.
struct model {
    char* name;                 // the name the model was requested under
    model* next_part;
    int32_t generation;         // first part: model_generation when last requested
    int32_t has_reflection;     // first part: 1 when any part of the file is a reflection
    GLuint vertex_array;
    GLuint vertex_buffer;
    GLuint index_buffer;
    int32_t vertex_count;
    int32_t triangle_count;
    int32_t bone_count;         // the file's skeleton size, 0 when not skinned
    float r, g, b, a;
    float s;                    // -1 reflection layer, -2 self-lit, else lit with shininess max(s, 0.125)
    float* positions;           // n x 3
    float* normals;             // n x 3
    float* tangents;            // n x 3
    float* texcoords;           // n x 2, v stored as 1 - v of the file
    float* bone_weights;        // n x 4, null without bones
    int32_t* bone_numbers;      // n x 4, null without bones
    uint32_t* triangles;        // t x 3
    float lod_key;              // 0 for the model itself, 2^k for variant "_lod<k>"
    model* next_lod;            // next coarser variant, keys ascending
    // A sphere round every position, so that a part out of the view is not sent to GL.
    // Skinned: skin_bones is 1 + the highest bone a weight names, or -1 when a vertex's
    // weights are no blend (negative, or not adding up to 1) and nothing bounds it.
    int32_t bounds_known;       // 0: never left out
    float bound_centre[3];
    float bound_radius;
    int32_t skin_bones;
};

inline constexpr float model_reflection_part = -1.0f;
inline constexpr float model_self_lit_part = -2.0f;
// The shaders hold this many bones; a file with a larger skeleton is refused.
inline constexpr int model_max_bones = 32;
// Counts above these are taken for a damaged file, not a model.
inline constexpr int model_max_vertices = 1 << 18;
inline constexpr int model_max_triangles = 1 << 19;

// Incremented once per track load; entries stamped with 0 are permanent.
extern int32_t model_generation;

// Loading and the cache.
model* model_get(const char* name);
model* model_find(const char* name);
model* model_load_file(const char* name);
model* model_read_part(vfs_file* f, const char* name, int bone_count);
const char* model_name(const model* m);
// Entries of the cache in order (tests and statistics); null past the end.
model* model_cache_entry(int i);
int model_cache_count();

// Steps of reading a part, in the order model_read_part runs them.
void model_tangents(model* m);
void model_drop_degenerate(model* m);
void model_upload(model* m);
void model_bounds(model* m);
// Triangles dropped since the current file began; model_load_file reports them.
extern int32_t model_degenerate_count;

// Drawing. The caller has chosen the program, bound the textures and set the
// modelview matrix. Bone arrays: centres and translations 3 floats per bone,
// rotations 9 (column-major) per bone.
void model_draw_skinned(const model* m, const float position[3], const float* bone_centres,
                        const float* bone_translations, const float* bone_rotations, int bone_count);
void model_draw(const model* m, const float position[3]);
void model_draw_reflection_skinned(const model* m, const float position[3], const float* bone_centres,
                                   const float* bone_translations, const float* bone_rotations, int bone_count);
void model_draw_reflection(const model* m, const float position[3]);
int model_has_reflection(const model* m);
void model_draw_edges(const model* m);
// The variant drawn for a model seen from the camera at this position.
const model* model_choose_lod(const model* m, const float position[3]);

// all = 0: frees the models the current track did not ask for; 1: frees every model.
void model_purge(int all);

// POV-Ray "mesh2" text of the model's parts (not its variants).
void model_write_pov(const model* m, vfs_file* f);

// Set by the caller before each draw.
extern float model_alpha;                  // alpha of lit and self-lit ambient, 1 by default
extern int32_t model_has_specular_map;     // 1 when a real specular map is bound
// Added to by every part drawn; the world renderer zeroes them each frame.
extern int32_t model_triangles_drawn;
extern int32_t model_vertices_drawn;
