// A part's vertex arrays and triangles into GL buffers under one vertex array object.
// Vertex buffer layout for n vertices, every attribute tightly packed:
//   slot 0  positions       3 floats at 0
//   slot 2  normals         3 floats at 12n
//   slot 9  tangents        3 floats at 24n
//   slot 8  texture coords  2 floats at 36n
//   slot 10 bone weights    4 floats at 44n   (skinned parts only)
//   slot 11 bone numbers    4 ints at 60n, not normalised, read as floats
// Index buffer: 3 unsigned 32-bit vertex numbers per triangle.
#include "gfx/model.h"

#include "gfx/gl_layer.h"

#include <cstddef>
#include <cstdint>

namespace {

void attribute(GLuint slot, GLint size, GLenum type, size_t offset)
{
    bvglEnableVertexAttribArray(slot);
    bvglVertexAttribPointer(slot, size, type, GL_FALSE, 0, reinterpret_cast<const void*>(offset));
}

}  // namespace

void model_upload(model* m)
{
    const size_t n = static_cast<size_t>(m->vertex_count);
    const bool skinned = m->bone_weights != nullptr;
    bvglGenVertexArrays(1, &m->vertex_array);
    bvglGenBuffers(1, &m->vertex_buffer);
    bvglGenBuffers(1, &m->index_buffer);
    bvglBindVertexArray(m->vertex_array);
    bvglBindBuffer(GL_ARRAY_BUFFER, m->vertex_buffer);
    bvglBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(n * 44 + (skinned ? n * 32 : 0)), m->positions,
                   GL_STATIC_DRAW);
    attribute(0, 3, GL_FLOAT, 0);
    attribute(2, 3, GL_FLOAT, 12 * n);
    attribute(9, 3, GL_FLOAT, 24 * n);
    attribute(8, 2, GL_FLOAT, 36 * n);
    if (skinned) {
        attribute(10, 4, GL_FLOAT, 44 * n);
        attribute(11, 4, GL_INT, 60 * n);
    }
    bvglBindBuffer(GL_ELEMENT_ARRAY_BUFFER, m->index_buffer);
    bvglBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(m->triangle_count) * 12, m->triangles,
                   GL_STATIC_DRAW);
    bvglBindVertexArray(0);
}
