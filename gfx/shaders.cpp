#include "gfx/shaders.h"

#include "gfx/gl_queue.h"
#include "gfx/gl_state.h"
#include "gfx/gl_table.h"
#include "gfx/shader_sources.h"
#include "platform/qorl_log.h"

#include <cstring>
#include <string>

namespace {

constexpr char es_prefix[] = "#version 300 es\n//";
constexpr size_t es_prefix_length = sizeof es_prefix - 1;   // 18
static_assert(es_prefix_length == 18);

struct program_source {
    const char* name;
    const char* const* vertex;
    const char* const* fragment;
};

// Indexed by slot; slot 0 is no program.
const program_source sources[gl_program_slots] = {
    {nullptr, nullptr, nullptr},
    {"unlit", &unlit_vertex_source, &unlit_fragment_source},
    {"norm_env", &model_vertex_source, &norm_env_fragment_source},
    {"norm_spec_lit", &model_vertex_source, &norm_spec_lit_fragment_source},
    {"terrain_normals", &terrain_normals_vertex_source, &terrain_normals_fragment_source},
    {"terrain", &terrain_vertex_source, &terrain_fragment_source},
    {"tilemap", &tilemap_vertex_source, &tilemap_fragment_source},
};

const struct {
    GLuint slot;
    const char* name;
} attributes[] = {
    {0, "vattr_position"}, {2, "vattr_normal"},   {3, "vattr_color"},  {8, "vattr_texcoord"},
    {9, "vattr_tangent"},  {10, "vattr_weights"}, {11, "vattr_bones"},
};

const char* source_for_context(const char* source)
{
    if (!gl_state.gl_es && strncmp(source, es_prefix, es_prefix_length) == 0)
        return source + es_prefix_length;
    return source;
}

void log_info(const std::string& text, const char* what, const char* name)
{
    qorl_log("%s for %s:\n%s\n", what, name, text.c_str());
}

int compile_shader(GLuint shader, const char* source, const char* what, const char* name)
{
    gl.ShaderSource(shader, 1, &source, nullptr);
    gl.CompileShader(shader);
    GLint length = 0;
    gl.GetShaderiv(shader, GL_INFO_LOG_LENGTH, &length);
    if (length > 0) {
        std::string text(static_cast<size_t>(length), '\0');
        gl.GetShaderInfoLog(shader, length, nullptr, text.data());
        text.resize(strlen(text.c_str()));
        log_info(text, what, name);
    }
    GLint status = 0;
    gl.GetShaderiv(shader, GL_COMPILE_STATUS, &status);
    return status != 0;
}

}  // namespace

int gl_compile_program(GLuint* program, GLuint* vertex_shader, GLuint* fragment_shader,
                       const char* vertex_source, const char* fragment_source, const char* name)
{
    qorl_log("Creating \"%s\" shader\n", name);
    *vertex_shader = gl.CreateShader(GL_VERTEX_SHADER);
    *fragment_shader = gl.CreateShader(GL_FRAGMENT_SHADER);
    if (!compile_shader(*vertex_shader, source_for_context(vertex_source), "vertex shader status", name) ||
        !compile_shader(*fragment_shader, source_for_context(fragment_source), "fragment shader status", name)) {
        gl_delete_programs();
        return 0;
    }

    *program = gl.CreateProgram();
    gl.AttachShader(*program, *vertex_shader);
    gl.AttachShader(*program, *fragment_shader);
    for (const auto& a : attributes)
        gl.BindAttribLocation(*program, a.slot, a.name);
    gl.LinkProgram(*program);
    GLint length = 0;
    gl.GetProgramiv(*program, GL_INFO_LOG_LENGTH, &length);
    if (length > 0) {
        std::string text(static_cast<size_t>(length), '\0');
        gl.GetProgramInfoLog(*program, length, nullptr, text.data());
        text.resize(strlen(text.c_str()));
        log_info(text, "link status", name);
    }
    GLint status = 0;
    gl.GetProgramiv(*program, GL_LINK_STATUS, &status);
    if (!status) {
        gl_delete_programs();
        return 0;
    }
    return 1;
}

void gl_delete_programs()
{
    for (int i = 0; i < gl_program_slots; ++i) {
        GLuint program = gl_state.program[i];
        GLuint shaders[2] = {gl_state.vertex_shader[i], gl_state.fragment_shader[i]};
        for (GLuint shader : shaders)
            if (program && shader)
                gl.DetachShader(program, shader);
        for (GLuint shader : shaders)
            if (shader)
                gl.DeleteShader(shader);
        if (program)
            gl.DeleteProgram(program);
    }
}

int gl_create_shaders()
{
    for (int i = 0; i < gl_program_slots; ++i) {
        gl_state.program[i] = gl_state.vertex_shader[i] = gl_state.fragment_shader[i] = 0;
        for (int32_t& location : gl_state.uniform_locations[i])
            location = gl_location_unknown;
        for (int32_t& location : gl_state.matrix_locations[i])
            location = gl_location_unknown;
    }

    for (int slot = 1; slot < gl_program_slots; ++slot) {
        const program_source& s = sources[slot];
        if (!gl_compile_program(&gl_state.program[slot], &gl_state.vertex_shader[slot],
                                &gl_state.fragment_shader[slot], *s.vertex, *s.fragment, s.name))
            return 0;   // the failed build has already deleted every program so far
    }

    // u_tex keeps unit 0 everywhere.
    const struct {
        int slot;
        const char* name;
        int unit;
    } samplers[] = {
        {shader_norm_env, "u_nmap", 1},        {shader_norm_spec_lit, "u_nmap", 1},
        {shader_norm_spec_lit, "u_smap", 2},   {shader_terrain_normals, "u_shadows", 1},
        {shader_terrain, "u_nmap", 1},         {shader_terrain, "u_smap", 2},
        {shader_terrain, "u_heights", 3},      {shader_tilemap, "u_tilemap", 1},
    };
    for (const auto& s : samplers)
        if (gl_state.program[s.slot])
            gl_set_sampler(s.slot, s.name, s.unit);
    return 1;
}

void gl_use_shader(int n)
{
    if (n < 0 || n >= gl_program_slots || n == gl_state.current_program)
        return;
    gl_replay_queue();
    gl_state.current_program = n;
    gl_state.dirty = gl_all_stacks_dirty;
    gl.UseProgram(gl_state.program[n]);
    ++gl_state.shader_switch_count;
}

void gl_set_sampler(int slot, const char* name, int unit)
{
    gl_use_shader(slot);
    gl_replay_queue();
    if (gl_state.current_program != 0) {
        GLint location = gl.GetUniformLocation(gl_state.program[gl_state.current_program], name);
        if (location != -1)
            gl.Uniform1i(location, unit);
    }
    if (gl_state.current_program != 0)
        gl_use_shader(0);
}
