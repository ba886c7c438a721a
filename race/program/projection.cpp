#include "race/program/projection.h"

#include "gfx/fonts.h"
#include "gfx/gl_layer.h"
#include "gfx/gl_state.h"
#include "gfx/shaders.h"
#include "race/program/startup.h"
#include "terrain/lighting.h"

#include <cmath>

float projection_half_width = 1;
float projection_half_height = 0.75f;
int projection_window_width = 640;
int projection_window_height = 480;

void set_projection(int width, int height, float fov_degrees)
{
    width = width < 1 ? 1 : width;
    height = height < 1 ? 1 : height;
    projection_window_width = width;
    projection_window_height = height;
    bvglViewport(0, 0, width, height);
    bvglMatrixMode(GL_PROJECTION);
    bvglLoadIdentity();
    const double t = std::tan(fov_degrees * M_PI / 360.0);
    double hw, hh;
    // Wider than 4:3, compared without dividing: width / height > 4 / 3.
    if (int64_t(width) * 3 > int64_t(height) * 4) {
        hh = 0.75 * t;
        hw = width * hh / height;
    } else {
        hw = t;
        hh = height * t / width;
    }
    projection_half_width = float(hw);
    projection_half_height = float(hh);
    const double near_plane = lighting.near_plane, far_plane = lighting.far_plane;
    bvglFrustum(-hw * near_plane, hw * near_plane, -hh * near_plane, hh * near_plane, near_plane, far_plane);
    bvglMatrixMode(GL_MODELVIEW);
    bvglLoadIdentity();
}

void menu_backdrop_draw()
{
    const float hw = projection_half_width, hh = projection_half_height;
    gl_use_shader(shader_unlit);
    bvglEnable(GL_BLEND);
    bvglBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    bvglBindTexture(GL_TEXTURE_2D, gl_state.gl_white_texture);
    const float backdrop[4] = {0.2f, 0.2f, 0.2f, 0.5f};
    for (int i = 0; i < 4; ++i)
        imm_color[i] = backdrop[i];
    bvglBegin(GL_QUADS);
    bvglVertex3f(-hw, -hh, -1);
    bvglVertex3f(hw, -hh, -1);
    bvglVertex3f(hw, hh, -1);
    bvglVertex3f(-hw, hh, -1);
    bvglEnd();

    // Lines hh / 16 high; the text's right edge on the window's right edge and its
    // line standing on the bottom edge.
    const float line = hh / 16;
    bvglPushMatrix();
    bvglTranslatef(hw - text_width(build_string) * line, -hh, -1);
    bvglScalef(line, line, 1);
    text_draw_grey_shadowed(build_string);
    bvglPopMatrix();
}
