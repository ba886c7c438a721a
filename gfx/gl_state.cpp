#include "gfx/gl_state.h"

#include "gfx/gl_matrix.h"
#include "gfx/immediate.h"

#include <cstring>

gl_state_record gl_state;

void gl_state_reset()
{
    // The queue and batch contents need no clearing: their counts say what is valid.
    gl_state.queue_fill = 0;
    for (int s = 0; s < gl_stack_count; ++s) {
        gl_state.depth[s] = 0;
        mat4_identity(gl_state.stacks[s][0]);
    }
    gl_state.current_stack = 0;
    gl_state.current_unit = 0;
    gl_state.dirty = 0;
    for (auto& row : gl_state.matrix_locations)
        for (int32_t& location : row)
            location = gl_location_unknown;

    gl_state.current_program = 0;
    for (int i = 0; i < gl_program_slots; ++i)
        gl_state.program[i] = gl_state.vertex_shader[i] = gl_state.fragment_shader[i] = 0;
    for (auto& row : gl_state.uniform_locations)
        for (int32_t& location : row)
            location = gl_location_unknown;
    gl_state.shader_switch_count = 0;

    gl_state.gl_vendor = gl_state.gl_renderer = gl_state.gl_version = gl_state.gl_extensions = "NULL";
    gl_state.gl_major = gl_state.gl_minor = gl_state.gl_es = 0;
    gl_state.gl_white_texture = gl_state.gl_normal_texture = 0;

    imm_batch_record& b = gl_state.imm_batch;
    b.mode = 0;
    b.vertex_base = b.vertex_count = b.index_base = b.index_count = 0;
    b.vertex_array = b.vertex_buffer = b.index_buffer = 0;
    b.buffers_made = 0;
    b.saved_vertex_array = b.saved_array_buffer = b.saved_element_buffer = 0;
    b.uploaded = 0;
    b.closing_pending = 0;
    imm_reset_current();
}
