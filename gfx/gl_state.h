// The GL layer's one state record: the deferred command queue, the ten matrix stacks,
// the immediate-mode batch, the built-in programs and what start-up learnt of the
// driver. Main thread only; it lives for the whole process.
#pragma once
#include <GL/glcorearb.h>

#include <cstdint>

inline constexpr int gl_queue_words = 0x100000;
inline constexpr int gl_stack_count = 10;       // 0 modelview, 1 projection, 2..9 texture units 0..7
inline constexpr int gl_stack_levels = 32;
inline constexpr int gl_texture_units = 8;
inline constexpr int gl_program_slots = 7;      // 0 = no program, 1..6 the built-in programs
inline constexpr uint32_t gl_all_stacks_dirty = (1u << gl_stack_count) - 1;

// Matrix uniform location cache values (anything else is a location).
inline constexpr int32_t gl_location_unknown = -2;
inline constexpr int32_t gl_location_absent = -1;

inline constexpr int imm_max_vertices = 8192;
inline constexpr int imm_vertex_floats = 12;    // position xyzw, texture coordinate strq, colour rgba
inline constexpr int imm_vertex_bytes = imm_vertex_floats * 4;
inline constexpr int imm_max_indices = 24576;
inline constexpr int imm_vertex_buffer_bytes = imm_max_vertices * imm_vertex_bytes;   // 393,216
inline constexpr int imm_index_buffer_bytes = imm_max_indices * 2;                    // 49,152

// Non-matrix uniforms whose locations are cached per program.
enum gl_uniform_id {
    u_nbones, u_bone_c, u_bone_t, u_bone_r,
    u_fog_color, u_fog_density, u_ambient, u_diffuse, u_shininess, u_specular_color,
    u_light_position,
    u_spacing, u_spacing_inv, u_texoffset, u_texscale, u_heights_dim_inv,
    u_atlas_dim_inv, u_tilemap_dim_inv, u_envmat,
    gl_uniform_count
};

struct imm_batch_record {
    float vertices[imm_max_vertices * imm_vertex_floats];
    uint16_t indices[imm_max_indices];
    int32_t mode;
    int32_t vertex_base;    // first batch vertex of the open primitive
    int32_t vertex_count;   // vertices written to the open primitive
    int32_t index_base;
    int32_t index_count;
    GLuint vertex_array;
    GLuint vertex_buffer;
    GLuint index_buffer;
    int32_t buffers_made;
    // Bindings saved by the upload at the start of a replay, put back at its end.
    GLint saved_vertex_array;
    GLint saved_array_buffer;
    GLint saved_element_buffer;
    int32_t uploaded;
    // The first vertex of a line loop that had to be split, appended at bvglEnd.
    float closing_vertex[imm_vertex_floats];
    int32_t closing_pending;
};

struct gl_state_record {
    uint32_t queue[gl_queue_words];
    int32_t queue_fill;

    float stacks[gl_stack_count][gl_stack_levels][16];   // column-major
    int32_t depth[gl_stack_count];
    int32_t current_stack;
    int32_t current_unit;
    uint32_t dirty;
    int32_t matrix_locations[gl_program_slots][gl_stack_count];

    int32_t current_program;
    GLuint program[gl_program_slots];
    GLuint vertex_shader[gl_program_slots];
    GLuint fragment_shader[gl_program_slots];
    int32_t uniform_locations[gl_program_slots][gl_uniform_count];
    int32_t shader_switch_count;

    const char* gl_vendor;
    const char* gl_renderer;
    const char* gl_version;
    const char* gl_extensions;
    int32_t gl_major;
    int32_t gl_minor;
    int32_t gl_es;
    GLuint gl_white_texture;
    GLuint gl_normal_texture;

    imm_batch_record imm_batch;
};

extern gl_state_record gl_state;

// Back to the state before start-up: empty queue and batch, identity on every stack,
// no program, every cache unknown. GL objects are forgotten, not deleted.
void gl_state_reset();

// The matrix in use on stack s.
inline float* gl_current_matrix(int s)
{
    return gl_state.stacks[s][gl_state.depth[s]];
}
