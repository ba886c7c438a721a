#include "gfx/gl_queue.h"

#include "gfx/gl_layer.h"
#include "gfx/gl_matrix.h"
#include "gfx/gl_state.h"
#include "gfx/gl_table.h"
#include "gfx/immediate.h"
#include "platform/qorl_log.h"

#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

namespace {

uint32_t word(float f) { return std::bit_cast<uint32_t>(f); }
float real(uint32_t w) { return std::bit_cast<float>(w); }

[[noreturn]] void invalid_command()
{
    qorl_log("Invalid GL command queued\n");
    fputs("Invalid GL command queued\n", stderr);
    exit(1);
}

void execute(uint32_t opcode, const uint32_t* a)
{
    float m[16];
    switch (opcode) {
    case op_active_texture: gl_stack_active_texture(a[0]); break;
    case op_bind_texture: gl.BindTexture(a[0], a[1]); break;
    case op_blend_func: gl.BlendFunc(a[0], a[1]); break;
    case op_depth_func: gl.DepthFunc(a[0]); break;
    case op_depth_mask: gl.DepthMask(static_cast<GLboolean>(a[0] & 0xff)); break;
    case op_disable: gl.Disable(a[0]); break;
    case op_draw_arrays:
        gl_draw_step();
        gl.DrawArrays(a[0], static_cast<GLint>(a[1]), static_cast<GLsizei>(a[2]));
        break;
    case op_draw_range_elements: {
        gl_draw_step();
        GLuint first = a[2];
        GLuint last = first + a[3] - 1;
        auto offset = static_cast<uintptr_t>(a[0]) * 2;
        gl.DrawRangeElements(GL_TRIANGLES, first, last, static_cast<GLsizei>(a[1]), GL_UNSIGNED_SHORT,
                             reinterpret_cast<const void*>(offset));
        break;
    }
    case op_enable: gl.Enable(a[0]); break;
    case op_frustum:
        if (mat4_frustum(m, real(a[0]), real(a[1]), real(a[2]), real(a[3]), real(a[4]), real(a[5])))
            gl_stack_multiply(m);
        break;
    case op_load_identity: gl_stack_load_identity(); break;
    case op_matrix_mode: gl_stack_select(a[0]); break;
    case op_mult_matrix:
        for (int i = 0; i < 16; ++i)
            m[i] = real(a[i]);
        gl_stack_multiply(m);
        break;
    case op_ortho:
        if (mat4_ortho(m, real(a[0]), real(a[1]), real(a[2]), real(a[3]), real(a[4]), real(a[5])))
            gl_stack_multiply(m);
        break;
    case op_pop_matrix: gl_stack_pop(); break;
    case op_push_matrix: gl_stack_push(); break;
    case op_rotate:
        if (mat4_rotation(m, real(a[0]), real(a[1]), real(a[2]), real(a[3])))
            gl_stack_multiply(m);
        break;
    case op_scale:
        mat4_scaling(m, real(a[0]), real(a[1]), real(a[2]));
        gl_stack_multiply(m);
        break;
    case op_translate:
        mat4_translation(m, real(a[0]), real(a[1]), real(a[2]));
        gl_stack_multiply(m);
        break;
    default: invalid_command();
    }
}

void queue1(uint32_t opcode)
{
    gl_queue_record(1)[0] = opcode;
}

void queue2(uint32_t opcode, uint32_t a)
{
    uint32_t* w = gl_queue_record(2);
    w[0] = opcode;
    w[1] = a;
}

void queue3(uint32_t opcode, uint32_t a, uint32_t b)
{
    uint32_t* w = gl_queue_record(3);
    w[0] = opcode;
    w[1] = a;
    w[2] = b;
}

void queue_floats(uint32_t opcode, std::initializer_list<float> values)
{
    uint32_t* w = gl_queue_record(1 + static_cast<int>(values.size()));
    *w++ = opcode;
    for (float v : values)
        *w++ = word(v);
}

}  // namespace

int gl_opcode_words(uint32_t opcode)
{
    static const int8_t words[21] = {0, 2, 3, 3, 2, 2, 2, 4, 5, 2, 7, 0, 1, 2, 17, 7, 1, 1, 5, 4, 4};
    return opcode < 21 ? words[opcode] : 0;
}

int gl_queue_free_words()
{
    return gl_queue_words - gl_state.queue_fill;
}

uint32_t* gl_queue_record(int n)
{
    if (gl_state.queue_fill > gl_queue_words - n)
        gl_replay_queue();
    uint32_t* at = gl_state.queue + gl_state.queue_fill;
    gl_state.queue_fill += n;
    return at;
}

void gl_replay_queue()
{
    imm_upload();
    const int32_t fill = gl_state.queue_fill;
    int32_t at = 0;
    while (at < fill) {
        uint32_t opcode = gl_state.queue[at];
        int n = gl_opcode_words(opcode);
        // A command that runs past the fill count is as corrupt as a bad opcode.
        if (n == 0 || n > fill - at)
            invalid_command();
        execute(opcode, gl_state.queue + at + 1);
        at += n;
    }
    gl_state.queue_fill = 0;
    imm_restore();
}

void gl_draw_step()
{
    if (gl_state.current_program == 0)
        gl_fixed_shader_fatal();
    gl_upload_matrices();
}

void gl_fixed_shader_fatal()
{
    qorl_log("Error: Fixed shader used\n");
    fputs("Error: Fixed shader used\n", stderr);
    exit(1);
}

void gl_queue_draw_arrays(uint32_t mode, int32_t first, int32_t count)
{
    uint32_t* w = gl_queue_record(4);
    w[0] = op_draw_arrays;
    w[1] = mode;
    w[2] = static_cast<uint32_t>(first);
    w[3] = static_cast<uint32_t>(count);
}

void gl_queue_draw_range_elements(int32_t index_start, int32_t index_count, int32_t first_vertex,
                                  int32_t vertex_count)
{
    uint32_t* w = gl_queue_record(5);
    w[0] = op_draw_range_elements;
    w[1] = static_cast<uint32_t>(index_start);
    w[2] = static_cast<uint32_t>(index_count);
    w[3] = static_cast<uint32_t>(first_vertex);
    w[4] = static_cast<uint32_t>(vertex_count);
}

void bvglActiveTexture(GLenum texture) { queue2(op_active_texture, texture); }
void bvglBindTexture(GLenum target, GLuint texture) { queue3(op_bind_texture, target, texture); }
void bvglBlendFunc(GLenum sfactor, GLenum dfactor) { queue3(op_blend_func, sfactor, dfactor); }
void bvglDepthFunc(GLenum func) { queue2(op_depth_func, func); }
void bvglDepthMask(GLboolean flag) { queue2(op_depth_mask, flag); }
void bvglDisable(GLenum cap) { queue2(op_disable, cap); }
void bvglEnable(GLenum cap) { queue2(op_enable, cap); }
void bvglLoadIdentity() { queue1(op_load_identity); }
void bvglMatrixMode(GLenum mode) { queue2(op_matrix_mode, mode); }
void bvglPushMatrix() { queue1(op_push_matrix); }
void bvglPopMatrix() { queue1(op_pop_matrix); }

void bvglFrustum(double left, double right, double bottom, double top, double near_plane, double far_plane)
{
    queue_floats(op_frustum, {float(left), float(right), float(bottom), float(top), float(near_plane),
                              float(far_plane)});
}

void bvglOrtho(double left, double right, double bottom, double top, double near_plane, double far_plane)
{
    queue_floats(op_ortho, {float(left), float(right), float(bottom), float(top), float(near_plane),
                            float(far_plane)});
}

void bvglMultMatrixf(const GLfloat* m)
{
    uint32_t* w = gl_queue_record(17);
    w[0] = op_mult_matrix;
    memcpy(w + 1, m, 16 * sizeof(float));
}

void bvglRotatef(GLfloat angle, GLfloat x, GLfloat y, GLfloat z) { queue_floats(op_rotate, {angle, x, y, z}); }
void bvglScalef(GLfloat x, GLfloat y, GLfloat z) { queue_floats(op_scale, {x, y, z}); }
void bvglTranslatef(GLfloat x, GLfloat y, GLfloat z) { queue_floats(op_translate, {x, y, z}); }
