// The ground-tile atlas: one 256 x 256 RGB texture of c x c slots, d = 256 / c texels
// each; tile t sits at column t mod c, row t div c, its image's top row at the slot's
// first row (the tile's low-z edge). Mipmapped down to one texel per slot.
#include "foundation/memory.h"
#include "gfx/gl_layer.h"
#include "gfx/image_chain.h"
#include "gfx/images.h"
#include "gfx/mip_chain.h"
#include "terrain/terrain_textures.h"

#include <cstring>

namespace {

// Copies the tile image into its slot: its own mip levels while larger than the slot
// (and both sides even), then nearest sampling. A tile that does not load is grey.
void fill_slot(uint8_t* atlas, int32_t column, int32_t row, int32_t d, const std::string& name)
{
    uint8_t* chain = nullptr;
    int w = 0, h = 0;
    const bool loaded = !name.empty() && image_load_rgb(name.c_str(), &chain, &w, &h) && chain && w > 0 && h > 0;
    const uint8_t* level = chain;
    if (loaded)
        while ((w > d || h > d) && w % 2 == 0 && h % 2 == 0) {
            level += size_t(w) * size_t(h) * 3;
            w /= 2;
            h /= 2;
        }
    for (int32_t y = 0; y < d; ++y)
        for (int32_t x = 0; x < d; ++x) {
            uint8_t* out = atlas + (size_t(row * d + y) * kTerrainAtlasSide + size_t(column * d + x)) * 3;
            if (!loaded) {
                out[0] = out[1] = out[2] = 128;
                continue;
            }
            const uint8_t* in = level + (size_t(y * h / d) * size_t(w) + size_t(x * w / d)) * 3;
            memcpy(out, in, 3);
        }
    if (chain)
        mem_free(chain);
}

}  // namespace

int32_t terrain_atlas_columns(int32_t tile_count)
{
    int32_t c = 1;
    while (c * c < tile_count && c < 16)
        c *= 2;
    return c;
}

int terrain_atlas_create(terrain_state* t, const std::vector<std::string>& names)
{
    const int32_t side = kTerrainAtlasSide;
    const int32_t c = terrain_atlas_columns(t->tile_count);
    const int32_t d = side / c;
    uint8_t* chain = chain_alloc(side, side, 3);
    if (!chain)
        return 0;
    memset(chain, 128, size_t(side) * side * 3);
    for (int32_t tile = 0; tile < t->tile_count; ++tile)
        fill_slot(chain, tile % c, tile / c, d, tile < int32_t(names.size()) ? names[size_t(tile)] : std::string());
    mipchain_rgb(chain, side, side);

    int32_t max_level = 0;
    while ((d >> max_level) > 1)
        ++max_level;
    GLuint id = 0;
    bvglGenTextures(1, &id);
    bvglBindTexture(GL_TEXTURE_2D, id);
    bvglTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    bvglTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    bvglTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST_MIPMAP_NEAREST);
    bvglTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    bvglTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, max_level);
    bvglPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    const int levels = chain_level_count(side, side);
    for (int level = 0; level < levels; ++level) {
        const int s = side >> level > 0 ? side >> level : 1;
        bvglTexImage2D(GL_TEXTURE_2D, level, GL_RGB8, s, s, 0, GL_RGB, GL_UNSIGNED_BYTE,
                       chain_level(chain, side, side, 3, level));
    }
    bvglBindTexture(GL_TEXTURE_2D, 0);
    mem_free(chain);
    t->tile_atlas = id;
    return 1;
}
