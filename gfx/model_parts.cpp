#include "gfx/model_parts.h"

#include "foundation/memory.h"
#include "gfx/gl_layer.h"

#include <cstring>
#include <initializer_list>

model* model_part_allocate(const char* name, int vertex_count, int triangle_count, int bone_count)
{
    const size_t n = static_cast<size_t>(vertex_count);
    const size_t t = static_cast<size_t>(triangle_count);
    const bool skinned = bone_count > 0;
    // The vertex arrays lie back to back in the order the vertex buffer takes them,
    // so the upload is one copy of one range.
    const size_t vertex_bytes = n * 44 + (skinned ? n * 32 : 0);
    const size_t name_bytes = strlen(name) + 1;
    char* block = static_cast<char*>(xmalloc(sizeof(model) + vertex_bytes + t * 12 + name_bytes));
    model* m = reinterpret_cast<model*>(block);
    memset(m, 0, sizeof *m);
    float* floats = reinterpret_cast<float*>(block + sizeof(model));
    m->positions = floats;
    m->normals = floats + 3 * n;
    m->tangents = floats + 6 * n;
    m->texcoords = floats + 9 * n;
    if (skinned) {
        m->bone_weights = floats + 11 * n;
        m->bone_numbers = reinterpret_cast<int32_t*>(floats + 15 * n);
    }
    m->triangles = reinterpret_cast<uint32_t*>(block + sizeof(model) + vertex_bytes);
    m->name = block + sizeof(model) + vertex_bytes + t * 12;
    memcpy(m->name, name, name_bytes);
    m->vertex_count = vertex_count;
    m->triangle_count = triangle_count;
    m->bone_count = skinned ? bone_count : 0;
    m->a = 1.0f;
    return m;
}

void model_part_free(model* part)
{
    if (part->vertex_array)
        bvglDeleteVertexArrays(1, &part->vertex_array);
    GLuint buffers[2];
    int count = 0;
    for (GLuint id : {part->vertex_buffer, part->index_buffer})
        if (id)
            buffers[count++] = id;
    if (count)
        bvglDeleteBuffers(count, buffers);
    mem_free(part);
}

void model_free_with_variants(model* m)
{
    while (m) {
        model* next_lod = m->next_lod;
        for (model* part = m; part;) {
            model* next = part->next_part;
            model_part_free(part);
            part = next;
        }
        m = next_lod;
    }
}
