// The uniform setters. Every location is cached per program, looked up in the
// program current at the first call that needs it there.
#include "gfx/gl_queue.h"
#include "gfx/gl_state.h"
#include "gfx/gl_table.h"
#include "gfx/shaders.h"

#include <algorithm>

namespace {

constexpr int max_bones = 32;

// Replays the queue (the setter must see the program the queued calls leave), then
// finds the location; -1 when no program is current or it lacks the uniform.
GLint location_of(gl_uniform_id id)
{
    gl_replay_queue();
    int program = gl_state.current_program;
    if (program == 0)
        return -1;
    int32_t& location = gl_state.uniform_locations[program][id];
    if (location == gl_location_unknown)
        location = gl.GetUniformLocation(gl_state.program[program], gl_uniform_name(id));
    return location;
}

void set_float(gl_uniform_id id, float value)
{
    GLint location = location_of(id);
    if (location >= 0)
        gl.Uniform1f(location, value);
}

void set_vec3(gl_uniform_id id, float x, float y, float z)
{
    GLint location = location_of(id);
    const float v[3] = {x, y, z};
    if (location >= 0)
        gl.Uniform3fv(location, 1, v);
}

}  // namespace

const char* gl_uniform_name(int id)
{
    static const char* const names[gl_uniform_count] = {
        "u_nbones", "u_bone_c", "u_bone_t", "u_bone_r", "u_fog_color", "u_fog_density",
        "u_ambient", "u_diffuse", "u_shininess", "u_specular_color", "u_light_position",
        "u_spacing", "u_spacing_inv", "u_texoffset", "u_texscale", "u_heights_dim_inv",
        "u_atlas_dim_inv", "u_tilemap_dim_inv", "u_envmat",
    };
    return id >= 0 && id < gl_uniform_count ? names[id] : nullptr;
}

void gl_uniform_bones(int n, const float* centres, const float* translations, const float* rotations)
{
    if (gl_state.current_program == 0)
        return;
    // The shaders hold 32 bones; a larger count would read past the arrays given.
    n = std::clamp(n, 0, max_bones);
    GLint count_location = location_of(u_nbones);
    GLint centre_location = location_of(u_bone_c);
    GLint translation_location = location_of(u_bone_t);
    GLint rotation_location = location_of(u_bone_r);
    if (count_location >= 0)
        gl.Uniform1i(count_location, n);
    if (n < 1)
        return;
    if (centre_location >= 0)
        gl.Uniform3fv(centre_location, n, centres);
    if (translation_location >= 0)
        gl.Uniform3fv(translation_location, n, translations);
    if (rotation_location >= 0)
        gl.UniformMatrix3fv(rotation_location, n, GL_FALSE, rotations);
}

void gl_uniform_fog_color(float r, float g, float b) { set_vec3(u_fog_color, r, g, b); }
void gl_uniform_fog_density(float density) { set_float(u_fog_density, density); }

void gl_uniform_ambient(float r, float g, float b, float a)
{
    GLint location = location_of(u_ambient);
    const float v[4] = {r, g, b, a};
    if (location >= 0)
        gl.Uniform4fv(location, 1, v);
}

void gl_uniform_diffuse(float r, float g, float b) { set_vec3(u_diffuse, r, g, b); }
void gl_uniform_shininess(float shininess) { set_float(u_shininess, shininess); }
void gl_uniform_specular_color(float r, float g, float b) { set_vec3(u_specular_color, r, g, b); }
void gl_uniform_light_position(float x, float y, float z) { set_vec3(u_light_position, x, y, z); }

void gl_uniform_spacing(float spacing)
{
    set_float(u_spacing, spacing);
    set_float(u_spacing_inv, 1.0f / spacing);
}

void gl_uniform_texoffset(float s, float t, float scale)
{
    GLint location = location_of(u_texoffset);
    const float v[2] = {s, t};
    if (location >= 0)
        gl.Uniform2fv(location, 1, v);
    set_float(u_texscale, scale);
}

void gl_uniform_heights_dim_inv(float dim_inv) { set_float(u_heights_dim_inv, dim_inv); }

void gl_uniform_tilemap_dims(float spacing_inv, float tilemap_dim_inv, float atlas_dim_inv)
{
    set_float(u_spacing_inv, spacing_inv);
    set_float(u_atlas_dim_inv, atlas_dim_inv);
    set_float(u_tilemap_dim_inv, tilemap_dim_inv);
}

void gl_uniform_envmat(const float m[9])
{
    gl_use_shader(shader_norm_env);
    GLint location = location_of(u_envmat);
    const float transposed[9] = {m[0], m[3], m[6], m[1], m[4], m[7], m[2], m[5], m[8]};
    if (location >= 0)
        gl.UniformMatrix3fv(location, 1, GL_FALSE, transposed);
    gl_use_shader(shader_unlit);
}
