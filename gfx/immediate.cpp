#include "gfx/immediate.h"

#include "gfx/gl_layer.h"
#include "gfx/gl_queue.h"
#include "gfx/gl_state.h"
#include "gfx/gl_table.h"

#include <cstdint>
#include <cstring>

float imm_color[4] = {1.0f, 1.0f, 1.0f, 1.0f};
float imm_texcoord[4] = {0.0f, 0.0f, 0.0f, 1.0f};

namespace {

constexpr int draw_command_words = 5;   // the longer of the two draw commands

imm_batch_record& batch() { return gl_state.imm_batch; }

float* vertex_at(int i) { return batch().vertices + i * imm_vertex_floats; }

void write_vertex(float x, float y, float z)
{
    imm_batch_record& b = batch();
    if (b.vertex_base + b.vertex_count == imm_max_vertices)
        imm_flush();
    float* v = vertex_at(b.vertex_base + b.vertex_count);
    v[0] = x;
    v[1] = y;
    v[2] = z;
    v[3] = 1.0f;
    memcpy(v + 4, imm_texcoord, sizeof imm_texcoord);
    memcpy(v + 8, imm_color, sizeof imm_color);
    ++b.vertex_count;
}

// Draws the finished primitives, then moves the open one to the start of the batch.
void relocate_open_primitive()
{
    imm_batch_record& b = batch();
    // The replay zeroes the bases and counts, so keep them here.
    int32_t base = b.vertex_base;
    int32_t count = b.vertex_count;
    b.vertex_count = 0;
    gl_replay_queue();
    b.vertex_count = count;
    memmove(vertex_at(0), vertex_at(base), static_cast<size_t>(count) * imm_vertex_bytes);
    b.vertex_base = 0;
    b.index_base = 0;
}

void make_empty(imm_batch_record& b)
{
    b.vertex_count = 0;
    b.index_count = 0;
}

}  // namespace

void imm_reset_current()
{
    imm_color[0] = imm_color[1] = imm_color[2] = imm_color[3] = 1.0f;
    imm_texcoord[0] = imm_texcoord[1] = imm_texcoord[2] = 0.0f;
    imm_texcoord[3] = 1.0f;
}

void bvglBegin(GLenum mode)
{
    imm_batch_record& b = batch();
    if (!b.buffers_made)
        imm_create_buffers();
    b.vertex_base += b.vertex_count;
    b.index_base += b.index_count;
    b.mode = static_cast<int32_t>(mode);
    b.vertex_count = 0;
    b.index_count = 0;
    b.closing_pending = 0;
}

void bvglVertex2f(GLfloat x, GLfloat y) { write_vertex(x, y, 0.0f); }
void bvglVertex3f(GLfloat x, GLfloat y, GLfloat z) { write_vertex(x, y, z); }
void screen_vertex(float x, float y) { write_vertex(x, y, -1); }

void bvglEnd()
{
    imm_batch_record& b = batch();
    if (b.closing_pending) {
        if (b.vertex_base + b.vertex_count == imm_max_vertices)
            imm_flush();
        memcpy(vertex_at(b.vertex_base + b.vertex_count), b.closing_vertex, imm_vertex_bytes);
        ++b.vertex_count;
        b.closing_pending = 0;
    }
    imm_index_primitive();
}

void imm_flush()
{
    if (batch().vertex_count == imm_max_vertices)
        imm_split_primitive();
    else
        relocate_open_primitive();
}

void imm_index_primitive()
{
    imm_batch_record& b = batch();
    // Should queuing the draw find the queue full, its replay would empty the batch
    // under the new command; make the room first, keeping the primitive.
    if (b.vertex_count > 0 && gl_queue_free_words() < draw_command_words)
        relocate_open_primitive();

    const int32_t v = b.vertex_base;
    int32_t n = b.vertex_count;
    uint16_t* out = b.indices + b.index_base;
    auto put = [&out](int32_t i0, int32_t i1, int32_t i2) {
        *out++ = static_cast<uint16_t>(i0);
        *out++ = static_cast<uint16_t>(i1);
        *out++ = static_cast<uint16_t>(i2);
    };

    switch (b.mode) {
    case GL_QUADS:
        if (n < 4)
            return make_empty(b);
        n &= ~3;
        for (int32_t q = v; q < v + n; q += 4) {
            put(q, q + 1, q + 3);
            put(q + 3, q + 1, q + 2);
        }
        break;
    case GL_QUAD_STRIP:
        if (n < 4)
            return make_empty(b);
        n &= ~1;
        for (int32_t k = 0; k < n - 2; ++k) {
            // Every other triangle is turned round to keep the strip's winding.
            if (k % 2 == 0)
                put(v + k, v + k + 1, v + k + 2);
            else
                put(v + k, v + k + 2, v + k + 1);
        }
        break;
    case GL_POLYGON:
        if (n < 3)
            return make_empty(b);
        for (int32_t k = 0; k < n - 2; ++k)
            put(v, v + k + 1, v + k + 2);
        break;
    default:
        if (n == 0)
            return;
        b.index_count = 0;
        gl_queue_draw_arrays(static_cast<uint32_t>(b.mode), v, n);
        return;
    }
    b.vertex_count = n;
    b.index_count = static_cast<int32_t>(out - (b.indices + b.index_base));
    gl_queue_draw_range_elements(b.index_base, b.index_count, v, n);
}

void imm_split_primitive()
{
    imm_batch_record& b = batch();
    const int32_t mode = b.mode;
    int32_t drawn = imm_max_vertices;
    int32_t carried = 0;        // trailing vertices that start the next part
    bool keep_first = false;    // fans keep their centre at position 0
    int32_t restart_mode = mode;

    switch (mode) {
    case GL_LINE_STRIP: carried = 1; break;
    case GL_LINE_LOOP:
        carried = 1;
        restart_mode = GL_LINE_STRIP;
        b.mode = GL_LINE_STRIP;
        memcpy(b.closing_vertex, vertex_at(0), imm_vertex_bytes);
        b.closing_pending = 1;
        break;
    case GL_TRIANGLES:
        drawn = imm_max_vertices - 2;
        carried = 2;
        break;
    case GL_TRIANGLE_STRIP:
    case GL_QUAD_STRIP: carried = 2; break;
    case GL_TRIANGLE_FAN:
    case GL_POLYGON:
        carried = 1;
        keep_first = true;
        break;
    default: break;   // points, lines, quads and anything else end cleanly at 8192
    }

    b.vertex_count = drawn;
    imm_index_primitive();
    gl_replay_queue();
    if (!b.buffers_made)
        imm_create_buffers();
    b.mode = restart_mode;
    int32_t to = keep_first ? 1 : 0;
    memmove(vertex_at(to), vertex_at(imm_max_vertices - carried), static_cast<size_t>(carried) * imm_vertex_bytes);
    b.vertex_count = to + carried;
}

void imm_create_buffers()
{
    imm_batch_record& b = batch();
    gl.GenVertexArrays(1, &b.vertex_array);
    gl.GenBuffers(1, &b.vertex_buffer);
    gl.GenBuffers(1, &b.index_buffer);
    gl.BindVertexArray(b.vertex_array);
    gl.BindBuffer(GL_ARRAY_BUFFER, b.vertex_buffer);
    gl.BufferData(GL_ARRAY_BUFFER, imm_vertex_buffer_bytes, nullptr, GL_STREAM_DRAW);
    // Position, texture coordinate and colour slots of the built-in programs.
    const struct {
        GLuint slot;
        uintptr_t offset;
    } attributes[] = {{0, 0}, {8, 16}, {3, 32}};
    for (const auto& a : attributes) {
        gl.EnableVertexAttribArray(a.slot);
        gl.VertexAttribPointer(a.slot, 4, GL_FLOAT, GL_FALSE, imm_vertex_bytes,
                               reinterpret_cast<const void*>(a.offset));
    }
    gl.BindBuffer(GL_ARRAY_BUFFER, 0);
    gl.BindBuffer(GL_ELEMENT_ARRAY_BUFFER, b.index_buffer);
    gl.BufferData(GL_ELEMENT_ARRAY_BUFFER, imm_index_buffer_bytes, nullptr, GL_STREAM_DRAW);
    gl.BindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    gl.BindVertexArray(0);
    b.buffers_made = 1;
}

void imm_upload()
{
    imm_batch_record& b = batch();
    int32_t vertices = b.vertex_base + b.vertex_count;
    if (vertices == 0) {
        b.uploaded = 0;
        return;
    }
    gl.GetIntegerv(GL_VERTEX_ARRAY_BINDING, &b.saved_vertex_array);
    gl.GetIntegerv(GL_ARRAY_BUFFER_BINDING, &b.saved_array_buffer);
    gl.GetIntegerv(GL_ELEMENT_ARRAY_BUFFER_BINDING, &b.saved_element_buffer);
    gl.BindVertexArray(b.vertex_array);
    gl.BindBuffer(GL_ARRAY_BUFFER, b.vertex_buffer);
    gl.BindBuffer(GL_ELEMENT_ARRAY_BUFFER, b.index_buffer);
    // Fresh storage each time, so the driver need not wait for draws still reading the old.
    gl.BufferData(GL_ARRAY_BUFFER, imm_vertex_buffer_bytes, nullptr, GL_STREAM_DRAW);
    gl.BufferData(GL_ELEMENT_ARRAY_BUFFER, imm_index_buffer_bytes, nullptr, GL_STREAM_DRAW);
    gl.BufferSubData(GL_ARRAY_BUFFER, 0, static_cast<GLsizeiptr>(vertices) * imm_vertex_bytes, b.vertices);
    int32_t indices = b.index_base + b.index_count;
    if (indices > 0)
        gl.BufferSubData(GL_ELEMENT_ARRAY_BUFFER, 0, static_cast<GLsizeiptr>(indices) * 2, b.indices);
    b.uploaded = 1;
}

void imm_restore()
{
    imm_batch_record& b = batch();
    if (b.uploaded) {
        gl.BindBuffer(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLuint>(b.saved_element_buffer));
        gl.BindBuffer(GL_ARRAY_BUFFER, static_cast<GLuint>(b.saved_array_buffer));
        gl.BindVertexArray(static_cast<GLuint>(b.saved_vertex_array));
        b.uploaded = 0;
    }
    b.vertex_base = b.vertex_count = b.index_base = b.index_count = 0;
}
