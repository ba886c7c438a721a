#include "race/program/hud_pictures.h"

#include "gfx/fonts.h"
#include "gfx/gl_layer.h"
#include "gfx/texture_cache.h"

hud_picture_ids hud_pictures{};

void graphics_defaults_load()
{
    bvglClear(GL_COLOR_BUFFER_BIT);
    bvglClearColor(0.196078f, 0.6f, 0.8f, 0.0f);
    bvglEnable(GL_CULL_FACE);
    // Texture rows of odd RGB widths are not 4-byte aligned.
    bvglPixelStorei(GL_PACK_ALIGNMENT, 1);
    bvglPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    fonts_load();
    hud_pictures.tach = texture_load("!@tach.png");
    hud_pictures.shifter = texture_load("!@shifter.png");
    hud_pictures.pitboard = texture_load("!@pitboard.png");
    hud_pictures.title = texture_load("!@title.png");
}

void graphics_free()
{
    fonts_free();
    texture_purge(1);
    hud_pictures = {};
}
