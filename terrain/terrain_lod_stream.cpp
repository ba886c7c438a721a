// The GL side of the level of detail: the queued mesh streamed through one orphaned
// buffer, drawn segment by segment with each detail level's textures, and changed
// height blocks uploaded into the heights texture.
#include "gfx/gl_layer.h"
#include "gfx/shaders.h"
#include "terrain/terrain_lod.h"

#include <cstddef>

namespace {

terrain_draw_segment* segments(terrain_state* t)
{
    return static_cast<terrain_draw_segment*>(t->draw_segments.items);
}

void upload_block(terrain_state* t, int32_t row, int32_t column)
{
    const int32_t last = t->size - 1;
    const int32_t x = column * kTerrainBlockSide, z = row * kTerrainBlockSide;
    const int32_t w = last - x < kTerrainBlockSide ? last - x : kTerrainBlockSide;
    const int32_t h = last - z < kTerrainBlockSide ? last - z : kTerrainBlockSide;
    if (w <= 0 || h <= 0)
        return;
    bvglBindTexture(GL_TEXTURE_2D, t->heights_texture);
    bvglPixelStorei(GL_UNPACK_ROW_LENGTH, t->size);
    bvglTexSubImage2D(GL_TEXTURE_2D, 0, x, z, w, h, GL_RED, GL_FLOAT,
                      t->heights + size_t(z) * size_t(t->size) + size_t(x));
    bvglPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    bvglBindTexture(GL_TEXTURE_2D, 0);
}

}  // namespace

void terrain_mesh_flush(terrain_state* t)
{
    growable_array& list = t->draw_segments;
    const int32_t count = t->mesh_vertex_count;
    if (count > 0 && list.count > 0) {
        bvglBufferSubData(GL_ARRAY_BUFFER, 0, GLsizeiptr(count) * 12, t->mesh_vertices);
        terrain_draw_segment* s = segments(t);
        for (int32_t k = 0; k < list.count; ++k) {
            const int32_t end = k + 1 < list.count ? s[k + 1].first : count;
            if (end <= s[k].first)
                continue;
            // Bound in this order so unit 0 is the active one afterwards; the shader
            // reads the normal map on unit 1 and the specular map on unit 2.
            bvglActiveTexture(GL_TEXTURE1);
            bvglBindTexture(GL_TEXTURE_2D, s[k].textures[1]);
            bvglActiveTexture(GL_TEXTURE2);
            bvglBindTexture(GL_TEXTURE_2D, s[k].textures[2]);
            bvglActiveTexture(GL_TEXTURE0);
            bvglBindTexture(GL_TEXTURE_2D, s[k].textures[0]);
            gl_uniform_texoffset(s[k].offset[0], s[k].offset[1], s[k].scale);
            bvglDrawArrays(GL_TRIANGLES, s[k].first, end - s[k].first);
        }
        // A fresh store, so the next batch does not wait for these draws.
        bvglBufferData(GL_ARRAY_BUFFER, kTerrainMeshBufferBytes, nullptr, GL_DYNAMIC_DRAW);
    }
    if (list.count > 0) {
        terrain_draw_segment open = segments(t)[list.count - 1];
        open.first = 0;
        segments(t)[0] = open;
        list.count = 1;
    }
    t->mesh_vertex_count = 0;
}

int terrain_upload_heights(terrain_state* t, int32_t budget)
{
    if (!t->dirty_blocks || !t->heights || t->size < 3 || budget <= 0)
        return 0;
    const int32_t blocks = terrain_blocks_per_side(t);
    const int32_t total = blocks * blocks;
    int32_t uploads = 0;
    for (int32_t examined = 0; examined < total && uploads < budget; ++examined) {
        int32_t bit = t->upload_cursor;
        if (bit < 0 || bit >= total)
            bit = 0;
        t->upload_cursor = bit + 1 < total ? bit + 1 : 0;
        uint8_t& byte = t->dirty_blocks[bit >> 3];
        const uint8_t mask = uint8_t(1u << (bit & 7));
        if (!(byte & mask))
            continue;
        byte &= uint8_t(~mask);
        if (t->heights_texture)
            upload_block(t, bit / blocks, bit % blocks);
        ++uploads;
    }
    return uploads;
}
