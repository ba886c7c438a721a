// The GL objects a loaded terrain owns besides its detail levels: the heights,
// shadow and tile-map textures, the streamed mesh buffer and the detail framebuffer;
// and their release.
#include "gfx/gl_layer.h"
#include "gfx/gl_state.h"
#include "gfx/texture_upload.h"
#include "terrain/terrain_gl.h"
#include "terrain/terrain_lod.h"
#include "terrain/terrain_textures.h"

#include <cstring>

namespace {

GLuint new_texture(GLint min_filter, GLint mag_filter)
{
    GLuint id = 0;
    bvglGenTextures(1, &id);
    bvglBindTexture(GL_TEXTURE_2D, id);
    // Clamped, or the far-edge samples of the shaders wrap to the opposite edge.
    bvglTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    bvglTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    bvglTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, min_filter);
    bvglTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, mag_filter);
    bvglPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    return id;
}

// OpenGL ES filters float textures only with OES_texture_float_linear.
bool float_filtering()
{
    const char* extensions = gl_state.gl_extensions;
    return !gl_state.gl_es || (extensions && strstr(extensions, "OES_texture_float_linear"));
}

void delete_texture(uint32_t& id)
{
    if (id) {
        const GLuint name = id;
        bvglDeleteTextures(1, &name);
    }
    id = 0;
}

void delete_buffers(uint32_t& array, uint32_t& buffer)
{
    if (array) {
        const GLuint name = array;
        bvglDeleteVertexArrays(1, &name);
    }
    if (buffer) {
        const GLuint name = buffer;
        bvglDeleteBuffers(1, &name);
    }
    array = buffer = 0;
}

bool has_gl_objects(const terrain_state* t)
{
    if (t->heights_texture || t->shadow_texture || t->tilemap_texture || t->tile_atlas || t->vertex_array ||
        t->vertex_buffer || t->detail_framebuffer || t->appended_vertex_array || t->appended_buffer)
        return true;
    for (const terrain_detail_level& level : t->detail_levels)
        if (level.colour_texture || level.normal_texture || level.specular_texture)
            return true;
    for (int r = 0; r < kTerrainBucketsPerSide; ++r)
        for (int c = 0; c < kTerrainBucketsPerSide; ++c)
            if (t->decal_vertex_arrays[r][c] || t->decal_buffers[r][c])
                return true;
    return false;
}

}  // namespace

void terrain_heights_texture_create(terrain_state* t)
{
    const GLint filter = float_filtering() ? GL_LINEAR : GL_NEAREST;
    t->heights_texture = new_texture(filter, filter);
    const int32_t side = t->size - 1;
    // The last row and column are not uploaded: rows of N samples, (N - 1)^2 texels.
    bvglPixelStorei(GL_UNPACK_ROW_LENGTH, t->size);
    bvglTexImage2D(GL_TEXTURE_2D, 0, GL_R32F, side, side, 0, GL_RED, GL_FLOAT, t->heights);
    bvglPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    bvglBindTexture(GL_TEXTURE_2D, 0);
    texture_memory += int64_t(side) * side * 4;
}

void terrain_shadow_texture_create(terrain_state* t)
{
    t->shadow_texture = new_texture(GL_LINEAR_MIPMAP_LINEAR, GL_LINEAR);
    const int32_t side = t->size - 1;
    bvglPixelStorei(GL_UNPACK_ROW_LENGTH, t->size);
    bvglTexImage2D(GL_TEXTURE_2D, 0, GL_R8, side, side, 0, GL_RED, GL_UNSIGNED_BYTE, t->shadow);
    bvglPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    bvglGenerateMipmap(GL_TEXTURE_2D);
    bvglBindTexture(GL_TEXTURE_2D, 0);
    texture_memory += int64_t(side) * side * 4 / 3;
}

void terrain_tilemap_texture_create(terrain_state* t)
{
    t->tilemap_texture = new_texture(GL_NEAREST, GL_NEAREST);
    const int32_t side = 1 << t->n;
    bvglTexImage2D(GL_TEXTURE_2D, 0, GL_R8, side, side, 0, GL_RED, GL_UNSIGNED_BYTE, t->tile_map);
    bvglBindTexture(GL_TEXTURE_2D, 0);
    texture_memory += int64_t(side) * side;
}

void terrain_mesh_buffers_create(terrain_state* t)
{
    GLuint array = 0, buffer = 0;
    bvglGenVertexArrays(1, &array);
    bvglBindVertexArray(array);
    bvglGenBuffers(1, &buffer);
    bvglBindBuffer(GL_ARRAY_BUFFER, buffer);
    bvglBufferData(GL_ARRAY_BUFFER, kTerrainMeshBufferBytes, nullptr, GL_DYNAMIC_DRAW);
    bvglVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, 12, nullptr);
    bvglEnableVertexAttribArray(0);
    bvglBindVertexArray(0);
    bvglBindBuffer(GL_ARRAY_BUFFER, 0);
    t->vertex_array = array;
    t->vertex_buffer = buffer;
    GLuint framebuffer = 0;
    bvglGenFramebuffers(1, &framebuffer);
    t->detail_framebuffer = framebuffer;
}

void terrain_release_gl(terrain_state* t)
{
    // A record that never reached GL (or a test without a context) makes no GL call.
    if (!has_gl_objects(t))
        return;
    if (t->detail_framebuffer) {
        const GLuint name = t->detail_framebuffer;
        bvglDeleteFramebuffers(1, &name);
        t->detail_framebuffer = 0;
    }
    delete_buffers(t->vertex_array, t->vertex_buffer);
    for (int r = 0; r < kTerrainBucketsPerSide; ++r)
        for (int c = 0; c < kTerrainBucketsPerSide; ++c)
            delete_buffers(t->decal_vertex_arrays[r][c], t->decal_buffers[r][c]);
    delete_buffers(t->appended_vertex_array, t->appended_buffer);
    for (terrain_detail_level& level : t->detail_levels) {
        delete_texture(level.colour_texture);
        delete_texture(level.normal_texture);
        delete_texture(level.specular_texture);
    }
    delete_texture(t->tile_atlas);
    delete_texture(t->heights_texture);
    delete_texture(t->shadow_texture);
    delete_texture(t->tilemap_texture);
}
