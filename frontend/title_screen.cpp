#include "frontend/title_screen.h"

#include "frontend/ui_widgets.h"
#include "gfx/fonts.h"
#include "gfx/gl_layer.h"
#include "gfx/gl_state.h"
#include "gfx/shaders.h"
#include "race/program/hud_pictures.h"
#include "race/program/projection.h"
#include "race/program/startup.h"

void hud_textured_quad(uint32_t texture, float x0, float y0, float x1, float y1)
{
    gl_use_shader(shader_unlit);
    bvglDisable(GL_BLEND);
    bvglBindTexture(GL_TEXTURE_2D, texture);
    for (float& c : imm_color)
        c = 1;
    bvglBegin(GL_QUADS);
    imm_texcoord[0] = 0;
    imm_texcoord[1] = 0;
    bvglVertex2f(x0, y0);
    imm_texcoord[1] = 1;
    bvglVertex2f(x0, y1);
    imm_texcoord[0] = 1;
    bvglVertex2f(x1, y1);
    imm_texcoord[1] = 0;
    bvglVertex2f(x1, y0);
    bvglEnd();
    bvglBindTexture(GL_TEXTURE_2D, 0);
}

void title_screen_draw(const char* message)
{
    const float w = projection_half_width, h = projection_half_height;
    bvglLoadIdentity();
    bvglDisable(GL_DEPTH_TEST);
    bvglPushMatrix();
    bvglTranslatef(0, 0, -1);
    // The picture is twice as wide as high: it fills the width or the height, and
    // overflows the other side, so it covers the whole view (unblended; without a
    // picture it samples black). No background fill is needed under it: a full-window
    // blended pass is a good part of every progress frame on a software renderer.
    if (w > 2 * h)
        hud_textured_quad(hud_pictures.title, -w, 0.5f * w, w, -0.5f * w);
    else
        hud_textured_quad(hud_pictures.title, -2 * h, h, 2 * h, -h);
    bvglPopMatrix();
    if (message && *message) {
        ui_begin_2d(25);
        text_draw(1, 1, 1, 1, message);
        ui_end();
    }
    bvglLoadIdentity();
    bvglTranslatef(w, -h, -1);
    const float line = h / 16;
    bvglScalef(line, line, line);
    text_draw_right(0.75f, 0.75f, 0.75f, 1, 0, build_string);
}
