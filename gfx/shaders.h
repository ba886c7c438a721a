// The six built-in programs: building them, selecting the current one, and one
// setter per uniform. Matrices are not set here: the layer sends them before draws.
#pragma once
#include <GL/glcorearb.h>

enum gl_program_slot {
    shader_none = 0,
    shader_unlit = 1,
    shader_norm_env = 2,
    shader_norm_spec_lit = 3,
    shader_terrain_normals = 4,
    shader_terrain = 5,
    shader_tilemap = 6,
};

// Builds all six programs (after gl_init); 1, or 0 with everything built deleted.
int gl_create_shaders();
int gl_compile_program(GLuint* program, GLuint* vertex_shader, GLuint* fragment_shader,
                       const char* vertex_source, const char* fragment_source, const char* name);
void gl_delete_programs();

// n in 0..6; selecting the current program again does nothing. Counts real switches.
void gl_use_shader(int n);
void gl_set_sampler(int slot, const char* name, int unit);

// Uniforms of the current program (a program lacking one ignores it).
void gl_uniform_bones(int n, const float* centres, const float* translations, const float* rotations);
void gl_uniform_fog_color(float r, float g, float b);
void gl_uniform_fog_density(float density);
void gl_uniform_ambient(float r, float g, float b, float a);
void gl_uniform_diffuse(float r, float g, float b);
void gl_uniform_shininess(float shininess);
void gl_uniform_specular_color(float r, float g, float b);
void gl_uniform_light_position(float x, float y, float z);   // a direction in eye space
void gl_uniform_spacing(float spacing);
void gl_uniform_texoffset(float s, float t, float scale);
void gl_uniform_heights_dim_inv(float dim_inv);
void gl_uniform_tilemap_dims(float spacing_inv, float tilemap_dim_inv, float atlas_dim_inv);
// Row-major 3x3; selects norm_env to send it and leaves unlit current.
void gl_uniform_envmat(const float m[9]);

// "u_nbones" .. "u_envmat" by gl_uniform_id.
const char* gl_uniform_name(int id);
