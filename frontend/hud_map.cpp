// The track map in the top-right corner: the track's own top view (top row z = 0) on
// the ground plane turned to face the eye, a black dot per shown rider, the running
// order's dots over them (the leader on top) and the followed rider's arrow.
#include "frontend/hud_parts.h"

#include "gfx/gl_layer.h"
#include "race/program/projection.h"
#include "race/race_results.h"
#include "race/race_state.h"
#include "race/program/settings_values.h"
#include "terrain/track_list.h"

#include <cmath>

namespace {

constexpr float kMapScale = 0.46680503f;

void square(float x, float z, float d)
{
    bvglVertex3f(x - d, 0, z - d);
    bvglVertex3f(x - d, 0, z + d);
    bvglVertex3f(x + d, 0, z + d);
    bvglVertex3f(x + d, 0, z - d);
}

// The rotation whose z axis is the frame body's backward axis laid flat on the ground.
void heading_matrix(int32_t slot, float m[16])
{
    float r[9];
    results_riders.frame_rotation(slot, r);
    float zx = r[2], zz = r[8];
    const float length = std::hypot(zx, zz);
    if (length > 0) {
        zx /= length;
        zz /= length;
    } else {
        zx = 0;
        zz = 1;
    }
    const float columns[16] = {zz, 0, -zx, 0, 0, 1, 0, 0, zx, 0, zz, 0, 0, 0, 0, 1};
    for (int i = 0; i < 16; ++i)
        m[i] = columns[i];
}

void triangle(float x0, float z0, float x1, float z1, float x2, float z2)
{
    bvglVertex3f(x0, 0, z0);
    bvglVertex3f(x1, 0, z1);
    bvglVertex3f(x2, 0, z2);
}

void arrow(float o, float v)
{
    const float m = o + v;
    hud_colour(0, 0, 0, 1);
    bvglBegin(GL_TRIANGLES);
    triangle(0, -m, -m, m, m, m);
    triangle(0, -m, -o / 2 - v, 2 * o + v, o / 2 + v, 2 * o + v);
    bvglEnd();
    hud_colour(1, 1, 1, 1);
    bvglBegin(GL_TRIANGLES);
    triangle(0, -o, -o, o, o, o);
    triangle(0, -o, -o / 2, 2 * o, o / 2, 2 * o);
    bvglEnd();
}

}  // namespace

void hud_draw_map(int32_t slot)
{
    if (!race.map_texture)
        return;
    const float w = projection_half_width, h = projection_half_height;
    const float scale = plain_values.map_scale > 0 ? plain_values.map_scale : 1.0f;
    bvglEnable(GL_BLEND);
    bvglPushMatrix();
    bvglLoadIdentity();
    bvglTranslatef(w, h, -1);
    const float s = kMapScale * h * scale;
    bvglScalef(s, s, s);
    bvglTranslatef(-1, 0, 0);
    bvglRotatef(90, 1, 0, 0);
    bvglBindTexture(GL_TEXTURE_2D, race.map_texture);
    hud_colour(1, 1, 1, 1);
    bvglBegin(GL_QUADS);
    hud_texcoord(0, 0);
    bvglVertex3f(0, 0, 0);
    hud_texcoord(0, 1);
    bvglVertex3f(0, 0, 1);
    hud_texcoord(1, 1);
    bvglVertex3f(1, 0, 1);
    hud_texcoord(1, 0);
    bvglVertex3f(1, 0, 0);
    bvglEnd();
    hud_bind_white();
    hud_texcoord(0, 0);
    const float c = track_terrain.world_size > 0 ? 1 / track_terrain.world_size : 0;
    float p[3];
    hud_colour(0, 0, 0, 1);
    bvglBegin(GL_QUADS);
    for (int32_t i = 0; i < kRaceSlots; ++i) {
        if (!results_riders.occupied(i) || results_riders.hidden(i))
            continue;
        results_riders.frame_position(i, p);
        square(p[0] * c, p[2] * c, 0.015625f / scale);
    }
    bvglEnd();
    bvglBegin(GL_QUADS);
    for (int32_t row = running_order.count - 1; row >= 0; --row) {
        const int32_t rider = running_order.rows[row].slot;
        if (!results_riders.occupied(rider))
            continue;
        if (results_riders.has_finished(rider))
            hud_colour(0.25f, 0.25f, 0.25f, 1);
        else if (row == 0)
            hud_colour(0, 1, 0, 1);
        else
            hud_colour(1, 1, 1, 1);
        results_riders.frame_position(rider, p);
        square(p[0] * c, p[2] * c, 0.0078125f / scale);
    }
    bvglEnd();
    if (slot >= 0 && slot < kRaceSlots && results_riders.occupied(slot)) {
        results_riders.frame_position(slot, p);
        bvglTranslatef(p[0] * c, 0, p[2] * c);
        float m[16];
        heading_matrix(slot, m);
        bvglMultMatrixf(m);
        arrow(0.0234375f / scale, 0.01171875f / scale);
    }
    bvglPopMatrix();
}
