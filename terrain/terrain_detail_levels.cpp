// Making the detail levels at load, and drawing into their textures through the
// terrain's framebuffer.
#include "foundation/front_door.h"
#include "foundation/text/text_util.h"
#include "gfx/gl_layer.h"
#include "gfx/gl_state.h"
#include "gfx/shaders.h"
#include "platform/qorl_log.h"
#include "terrain/terrain_settings.h"
#include "terrain/terrain_textures.h"

#include <bit>
#include <vector>

namespace {

// Blue border, and inside an 8 x 8 checkerboard of white and black: what a level
// shows before anything is drawn into it.
std::vector<uint8_t> placeholder(int32_t side)
{
    std::vector<uint8_t> texels(size_t(side) * size_t(side) * 3);
    const int32_t square = side / 8 > 0 ? side / 8 : 1;
    for (int32_t y = 0; y < side; ++y)
        for (int32_t x = 0; x < side; ++x) {
            uint8_t* p = &texels[(size_t(y) * size_t(side) + size_t(x)) * 3];
            if (x == 0 || y == 0 || x == side - 1 || y == side - 1) {
                p[0] = p[1] = 0;
                p[2] = 255;
            } else {
                p[0] = p[1] = p[2] = ((x / square + y / square) & 1) ? 0 : 255;
            }
        }
    return texels;
}

// Levels of a full chain down to 1 x 1 for a power-of-two side.
int32_t mip_levels(int32_t side)
{
    return int32_t(std::bit_width(uint32_t(side)));
}

// A new level texture. Without texels every level of its chain is defined but left
// for the clear to black, which needs each one to exist to attach it.
uint32_t make_texture(int32_t side, const uint8_t* texels)
{
    GLuint id = 0;
    bvglGenTextures(1, &id);
    bvglBindTexture(GL_TEXTURE_2D, id);
    bvglTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    bvglTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    bvglTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER,
                      terrain_ground_mipmaps ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST);
    bvglTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, terrain_ground_mipmaps ? GL_LINEAR : GL_NEAREST);
    bvglPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    bvglTexImage2D(GL_TEXTURE_2D, 0, GL_RGB8, side, side, 0, GL_RGB, GL_UNSIGNED_BYTE, texels);
    if (terrain_ground_mipmaps && texels)
        bvglGenerateMipmap(GL_TEXTURE_2D);
    else if (terrain_ground_mipmaps)
        for (int32_t level = 1, levels = mip_levels(side); level < levels; ++level)
            bvglTexImage2D(GL_TEXTURE_2D, level, GL_RGB8, side >> level, side >> level, 0, GL_RGB, GL_UNSIGNED_BYTE,
                           nullptr);
    bvglBindTexture(GL_TEXTURE_2D, 0);
    return id;
}

// 0 when the framebuffer would not take the texture. Each mip level is cleared on its
// own: a plain clear is a memory fill for the driver, where a drawn quad and generated
// mipmaps first have it build shaders, a large part of the whole track load.
int clear_to_black(terrain_state* t, uint32_t texture)
{
    const int bound = terrain_framebuffer_bind(t, texture);
    if (bound) {
        static const GLfloat black[4] = {0, 0, 0, 1};
        gl_use_shader(shader_unlit);
        bvglDisable(GL_BLEND);
        bvglClearBufferfv(GL_COLOR, 0, black);
        const int32_t levels = terrain_ground_mipmaps ? mip_levels(t->detail_texture_size) : 1;
        for (int32_t level = 1; level < levels; ++level) {
            bvglFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture, level);
            if (bvglCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
                // A driver that cannot draw into a smaller level still makes them from
                // the cleared base.
                bvglBindTexture(GL_TEXTURE_2D, texture);
                bvglGenerateMipmap(GL_TEXTURE_2D);
                bvglBindTexture(GL_TEXTURE_2D, 0);
                break;
            }
            bvglClearBufferfv(GL_COLOR, 0, black);
        }
        // What the loader draws next starts from white and no texture.
        bvglBindTexture(GL_TEXTURE_2D, 0);
        imm_color[0] = imm_color[1] = imm_color[2] = imm_color[3] = 1.0f;
    }
    bvglBindFramebuffer(GL_FRAMEBUFFER, 0);
    return bound;
}

void announce(int32_t index, int32_t side, int32_t window)
{
    qorl_log("Detail level %d is %dx%d covering %dx%d height elements\n", index, side, side, window, window);
}

}  // namespace

int terrain_framebuffer_bind(terrain_state* t, uint32_t texture)
{
    bvglBindFramebuffer(GL_FRAMEBUFFER, t->detail_framebuffer);
    bvglFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture, 0);
    const GLenum status = bvglCheckFramebufferStatus(GL_FRAMEBUFFER);
    if (status != GL_FRAMEBUFFER_COMPLETE) {
        char text[64];
        format_string(text, sizeof text, "Framebuffer error %x", unsigned(status));
        console_print(text);
        bvglBindFramebuffer(GL_FRAMEBUFFER, 0);
        return 0;
    }
    const int32_t T = t->detail_texture_size;
    bvglViewport(0, 0, T, T);
    bvglDepthMask(GL_FALSE);
    bvglDisable(GL_DEPTH_TEST);
    bvglMatrixMode(GL_PROJECTION);
    bvglLoadIdentity();
    bvglOrtho(-1, 1, -1, 1, -100, 100);
    bvglMatrixMode(GL_MODELVIEW);
    bvglLoadIdentity();
    return 1;
}

void terrain_map_world(float x0, float z0, float x1, float z1)
{
    // Turned -90 degrees about x, world z runs up the texture: texel row 0 holds z0.
    bvglMatrixMode(GL_MODELVIEW);
    bvglLoadIdentity();
    bvglScalef(2.0f / (x1 - x0), 2.0f / (z1 - z0), 1.0f);
    bvglTranslatef(-(x0 + x1) * 0.5f, -(z0 + z1) * 0.5f, 0.0f);
    bvglRotatef(-90.0f, 1.0f, 0.0f, 0.0f);
}

int terrain_detail_levels_create(terrain_state* t)
{
    int32_t T = 128 << (terrain_texture_dim_index < 0 ? 0 : (terrain_texture_dim_index > 5 ? 5 : terrain_texture_dim_index));
    for (int32_t drop = terrain_texture_drop; drop > 0 && T > 128; --drop)
        T >>= 1;
    t->detail_texture_size = T;
    int32_t l, m;
    terrain_window_sizes(t->cell, &l, &m);
    const int32_t whole = t->size - 1;
    int32_t count = 0;
    if (l < t->size)
        t->detail_levels[count++].window = l;
    if (m < t->size)
        t->detail_levels[count++].window = m;
    t->detail_levels[count++].window = whole;
    t->detail_level_count = count;
    t->detail_levels[kTerrainSpareLevel].window = whole;

    // Each texture starts as the placeholder and is then cleared to black; only one
    // that the framebuffer refuses keeps the placeholder, so only that one uploads it
    // (a level's placeholder and its mipmaps cost more than the clear at start-up).
    std::vector<uint8_t> texels;
    for (int32_t k = 0; k <= kTerrainSpareLevel; ++k) {
        if (k >= count && k != kTerrainSpareLevel)
            continue;
        terrain_detail_level& level = t->detail_levels[k];
        announce(k, T, level.window);
        level.colour_texture = make_texture(T, nullptr);
        level.normal_texture = make_texture(T, nullptr);
        level.specular_texture = make_texture(T, nullptr);
        level.origin_x = whole + 1;
        level.origin_z = 0;
        level.redraw = 1;
        for (uint32_t* texture : {&level.colour_texture, &level.normal_texture, &level.specular_texture}) {
            if (clear_to_black(t, *texture))
                continue;
            if (texels.empty())
                texels = placeholder(T);
            bvglDeleteTextures(1, texture);
            *texture = make_texture(T, texels.data());
        }
    }
    t->redraw_level = kTerrainSpareLevel;
    t->redraw_step = 0;
    return 1;
}
