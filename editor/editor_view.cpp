#include "editor/editor_view.h"

#include "editor/editor_overlays.h"
#include "editor/editor_state.h"
#include "editor/editor_widgets.h"
#include "editor/gradients.h"
#include "gfx/fonts.h"
#include "gfx/gl_layer.h"
#include "gfx/gl_state.h"
#include "gfx/shaders.h"
#include "platform/qorl_window.h"
#include "race/program/projection.h"
#include "race/program/settings_values.h"
#include "sim/shapes.h"
#include "terrain/billboards.h"
#include "terrain/decals.h"
#include "terrain/lighting.h"
#include "terrain/statues.h"
#include "terrain/terrain_state.h"
#include "terrain/terrain_textures.h"
#include "terrain/timing_gates.h"
#include "view/statue_draw.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

void (*editor_terrain_draw)(terrain_state* terrain) = terrain_draw;

namespace {

constexpr float kPi = float(M_PI);
constexpr float kDegrees = 180.0f / kPi;

struct frame_values {
    float width;        // view_width
    float per_pixel;    // world units per pixel
    float px, pz;       // the world point under the pointer
    float m;            // marker size
};

void white_texture()
{
    bvglBindTexture(GL_TEXTURE_2D, gl_state.gl_white_texture);
}

// The brush outline: a capsule to line_start when it is set, else circles.
void draw_brush(const frame_values& f)
{
    const float r = float(editor_widgets.radius.value) * f.per_pixel;
    const float focus = float(editor_widgets.focus.value);
    overlay_colour(1, 1, 1, 1);
    const float radii[2] = {r * focus, r};
    const float lx = editor_state.line_start[0], lz = editor_state.line_start[1];
    for (float radius : radii) {
        if (radius == radii[0] && !(focus > 0.0f))
            continue;
        if (!(lx < 0.0f)) {
            const float c = std::atan2(lx - f.px, lz - f.pz);
            bvglBegin(GL_LINE_LOOP);
            draw_arc(lx, lz, radius, c - kPi / 2, c + kPi / 2);
            draw_arc(f.px, f.pz, radius, c + kPi / 2, c + 3 * kPi / 2);
            bvglEnd();
        } else {
            draw_circle_xz(f.px, 0.0f, f.pz, radius);
        }
    }
}

void draw_snap_cell(const frame_values& f)
{
    const terrain_state* t = editor_state.terrain;
    const float wanted = std::exp2(float(editor_widgets.strength.value));
    float s = t->cell;
    for (int i = 0; i < 64 && s > 0.0f && s < wanted; ++i)
        s *= 2.0f;
    if (!(s > 0.0f))
        return;
    const float x0 = std::floor(f.px / s) * s, z0 = std::floor(f.pz / s) * s;
    overlay_colour(1, 1, 1, 1);
    bvglBegin(GL_LINE_LOOP);
    imm_vertex2(x0, z0);
    imm_vertex2(x0 + s, z0);
    imm_vertex2(x0 + s, z0 + s);
    imm_vertex2(x0, z0 + s);
    bvglEnd();
}

void handle_rings(float x, float z, float m, const float outer[3], const float inner[3])
{
    overlay_colour(outer[0], outer[1], outer[2], 1);
    draw_ring(x, z, m / 2, 0.375f * m);
    overlay_colour(inner[0], inner[1], inner[2], 1);
    draw_ring(x, z, m / 2, 0.25f * m);
}

constexpr float kBlack[3] = {0, 0, 0};
constexpr float kWhite[3] = {1, 1, 1};
constexpr float kGrey[3] = {0.5f, 0.5f, 0.5f};

void draw_gates(const frame_values& f)
{
    for (int32_t i = 0; i < timing_gates.checkpoint_count; ++i) {
        const timing_gate& g = timing_gates.checkpoints[i];
        const bool selected = i == editor_state.selected_gate;
        const float c = std::atan2(g.dx, g.dz);
        overlay_colour(selected ? 1.0f : 0.0f, selected ? 1.0f : 0.0f, selected ? 1.0f : 0.0f, 1);
        bvglBegin(GL_LINE_LOOP);
        draw_arc(g.x, g.z, g.length, c - kPi / 2, c + kPi / 2);
        imm_vertex2(g.x, g.z);
        bvglEnd();
        const float n = std::hypot(g.dx, g.dz);
        const float ux = n > 0 ? g.dx / n : 0.0f, uz = n > 0 ? g.dz / n : 0.0f;
        handle_rings(g.x, g.z, f.m, selected ? kBlack : kGrey, selected ? kWhite : kBlack);
        handle_rings(g.x + ux * g.length, g.z + uz * g.length, f.m, selected ? kBlack : kGrey,
                     selected ? kWhite : kBlack);
    }
    for (int32_t i = 0; i < timing_gates.checkpoint_count; ++i) {
        const timing_gate& g = timing_gates.checkpoints[i];
        char number[16];
        snprintf(number, sizeof number, "%d", i);
        bvglPushMatrix();
        bvglTranslatef(g.x, 0.0f, g.z);
        bvglRotatef(-90.0f, 1, 0, 0);
        bvglScalef(25, 25, 25);
        text_draw(1, 1, 1, 1, number);
        bvglPopMatrix();
        white_texture();
    }
}

void billboard_marks(const billboard& b, float m, const float circle[3], const float outer[3], const float inner[3])
{
    overlay_colour(circle[0], circle[1], circle[2], 1);
    draw_circle_xz(b.x, 0.0f, b.z, b.size * b.aspect * 0.5f);
    handle_rings(b.x, b.z, m, outer, inner);
}

void draw_billboard_marks(const frame_values& f)
{
    for (int32_t i = std::max(first_track_billboard, 0); i < billboard_count(); ++i)
        billboard_marks(*billboard_at(i), f.m, kBlack, kGrey, kBlack);
    const int32_t s = editor_state.selected_billboard;
    if (s >= 0 && s < billboard_count())
        billboard_marks(*billboard_at(s), f.m, kWhite, kBlack, kWhite);
}

// A marker pair at (x, z) turned by angle (radians) and scaled by m.
void markers(float x, float z, float angle, float m, const float thick[3], const float thin[3])
{
    bvglPushMatrix();
    bvglTranslatef(x, 0.0f, z);
    if (std::isfinite(angle))
        bvglRotatef(angle * kDegrees, 0, 1, 0);
    bvglScalef(m, m, m);
    overlay_colour(thick[0], thick[1], thick[2], 1);
    draw_switch_marker_thick();
    overlay_colour(thin[0], thin[1], thin[2], 1);
    draw_switch_marker_thin();
    bvglPopMatrix();
}

void draw_statue_marks(const frame_values& f)
{
    for (int32_t i = 0; i < statue_count(); ++i) {
        const statue* s = statue_at(i);
        const bool selected = i == editor_state.selected_statue;
        markers(s->x, s->z, s->angle, f.m, selected ? kBlack : kGrey, selected ? kWhite : kBlack);
    }
}

bool in_decal_selection(int32_t index)
{
    const growable_array& sel = editor_state.decal_selection;
    const int32_t* items = static_cast<const int32_t*>(sel.items);
    return std::find(items, items + sel.count, index) != items + sel.count;
}

void draw_decal_marks(const frame_values& f)
{
    terrain_state* t = editor_state.terrain;
    const growable_array* near = decals_near(t, f.px - 100, f.pz - 100, f.px + 100, f.pz + 100);
    if (!near)
        return;
    const decal* chosen = editor_state.selected_decal >= 0 && editor_state.selected_decal < t->decals.count
                              ? terrain_decal(t, editor_state.selected_decal)
                              : nullptr;
    const bool hide = editor_widgets.hide_different.selected == 1;
    for (int32_t k = 0; k < near->count; ++k) {
        const int32_t index = static_cast<const int32_t*>(near->items)[k];
        if (index < 0 || index >= t->decals.count)
            continue;
        const decal* d = terrain_decal(t, index);
        if (std::hypot(d->x - f.px, d->z - f.pz) >= 100.0f)
            continue;
        if (hide && (!chosen || d->texture != chosen->texture))
            continue;
        if (index == editor_state.selected_decal)
            markers(d->x, d->z, d->angle, f.m, kBlack, kWhite);
        else if (in_decal_selection(index))
            markers(d->x, d->z, d->angle, f.m, kBlack, kGrey);
        else
            markers(d->x, d->z, d->angle, f.m, kGrey, kBlack);
    }
}

void grid_lines(float first, float last, float spacing, float alpha)
{
    overlay_colour(0, 0, 0, alpha);
    bvglBegin(GL_LINES);
    for (int k = 0; k <= int(100.0f / spacing + 0.5f); ++k) {
        const float z = -float(k) * spacing;
        imm_vertex2(first, z);
        imm_vertex2(last, z);
    }
    float step = spacing;
    const int32_t count = overlay_steps(last - first, &step);
    for (int32_t k = 0; k <= count; ++k) {
        const float x = std::min(first + float(k) * step, last);
        imm_vertex2(x, 0.0f);
        imm_vertex2(x, -100.0f);
    }
    bvglEnd();
}

void draw_profile_graph(const frame_values& f)
{
    const gradient* g = selected_gradient_record();
    if (!g || g->points.count <= 0)
        return;
    const gradient_point* p = static_cast<const gradient_point*>(g->points.items);
    const uint8_t* kinds = static_cast<const uint8_t*>(g->kinds.items);
    const int n = g->points.count;
    const float first = p[0].distance, last = p[n - 1].distance;
    if (!std::isfinite(first) || !std::isfinite(last))
        return;
    bvglPushMatrix();
    bvglTranslatef(g->start_x, 0.0f, g->start_z);
    white_texture();
    bvglEnable(GL_BLEND);
    bvglBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    overlay_colour(1, 1, 1, 0.25f);
    bvglBegin(GL_QUADS);
    imm_vertex2(first, -100.0f);
    imm_vertex2(last, -100.0f);
    imm_vertex2(last, 0.0f);
    imm_vertex2(first, 0.0f);
    bvglEnd();
    grid_lines(first, last, 10.0f, 0.25f);
    grid_lines(first, last, 2.5f, 0.0625f);
    bvglDisable(GL_BLEND);

    overlay_colour(0, 0, 0, 1);
    bvglBegin(GL_LINE_LOOP);
    imm_vertex2(first, 0.0f);
    for (int i = 0; i < n; ++i) {
        if (i < g->kinds.count && kinds[i] == 1 && i < n - 1)
            draw_profile_curve(p, i, n);
        else
            imm_vertex2(p[i].distance, -p[i].height);
    }
    imm_vertex2(last, 0.0f);
    bvglEnd();

    for (int i = 0; i < n; ++i) {
        const bool selected = i == editor_state.selected_point;
        handle_rings(p[i].distance, -p[i].height, f.m, selected ? kBlack : kGrey, selected ? kWhite : kBlack);
    }
    bvglPopMatrix();
}

void draw_tool_overlay(const frame_values& f)
{
    white_texture();
    switch (editor_state.tool) {
    case 4: draw_snap_cell(f); break;
    case 5: case 6: case 7: case 8:
        for (int i = 0; i < gradient_count(); ++i)
            draw_gradient_overlay(i);
        white_texture();
        draw_brush(f);
        break;
    case 9:
        for (int i = 0; i < gradient_count(); ++i)
            draw_gradient_overlay(i);
        break;
    case 10:
        for (int i = 0; i < gradient_count(); ++i)
            draw_gradient_overlay(i);
        draw_profile_graph(f);
        break;
    case 11: draw_gates(f); break;
    case 12: draw_billboard_marks(f); break;
    case 13: draw_statue_marks(f); break;
    case 15: draw_decal_marks(f); break;
    default: draw_brush(f); break;
    }
}

void draw_collidable()
{
    white_texture();
    bvglDisable(GL_BLEND);
    overlay_colour(0, 0, 0, 1);
    for (int32_t i = 0; i < statue_count(); ++i) {
        statue* s = statue_at(i);
        if (!s->shape)
            continue;
        // The shape's body-space spheres taken through the statue's rotation and position.
        const float position[3] = {s->x, s->y, s->z};
        shape_place(s->shape, position, s->rotation);
        for (int k = 0; k < s->shape->sphere_count; ++k) {
            float c[3], r = 0;
            if (shape_get_sphere(s->shape, k, c, &r))
                draw_circle_xz(c[0], c[1], c[2], r);
        }
    }
}

}  // namespace

void editor_draw()
{
    editor_state_record& s = editor_state;
    if (!s.initialised || !s.window || !s.terrain)
        return;
    terrain_state* t = s.terrain;
    const int32_t W = std::max(s.window->width.load(), 1), H = std::max(s.window->height.load(), 1);
    frame_values f{};
    f.width = screen_to_world(&f.px, &f.pz);
    f.per_pixel = f.width / float(H);
    f.m = std::max(f.width * 0.01f, 1.0f);

    t->camera_position[0] = f.px;
    t->camera_position[1] = 0.0f;
    t->camera_position[2] = f.pz;
    t->view_direction[0] = t->view_direction[1] = t->view_direction[2] = 0.0f;
    for (int i = 0; i < 8; ++i)
        terrain_update_textures(t);

    const float a = projection_half_width, b = projection_half_height;
    const float zoom = float(editor_zoom());
    bvglViewport(0, 0, W, H);
    bvglMatrixMode(GL_PROJECTION);
    bvglPushMatrix();
    bvglLoadIdentity();
    bvglOrtho(-a, a, -b, b, -1000, 1000);
    bvglMatrixMode(GL_MODELVIEW);
    bvglPushMatrix();
    bvglLoadIdentity();
    bvglRotatef(90, 1, 0, 0);
    bvglTranslatef(0, -1, 0);
    const float scale = b * 2.0f * std::exp2(zoom) / t->world_size;
    bvglScalef(scale, scale, scale);
    bvglTranslatef(-s.view_x, 0, -s.view_z);

    bvglEnable(GL_DEPTH_TEST);
    bvglDepthFunc(GL_ALWAYS);
    bvglClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    const float* sun = lighting.sun_vector;
    gl_use_shader(shader_norm_spec_lit);
    gl_uniform_light_position(sun[0], -sun[2], sun[1]);
    gl_use_shader(shader_terrain);
    gl_uniform_light_position(sun[0], -sun[2], sun[1]);
    gl_use_shader(shader_unlit);

    const double detail = graphics_settings.ground_texture_detail;
    if (s.tool != 15)
        graphics_settings.ground_texture_detail = 6;
    editor_terrain_draw(t);
    graphics_settings.ground_texture_detail = detail;
    bvglDepthFunc(GL_LEQUAL);

    if (editor_widgets.show_wireframe.selected == 1)
        draw_statue_wireframes();
    const float above[3] = {0, 1000, 0};
    draw_statues(above);
    gl_use_shader(shader_unlit);
    // Overlay shapes face either way.
    bvglDisable(GL_CULL_FACE);
    if (s.tool == 13 && editor_widgets.show_collidable.selected == 1)
        draw_collidable();
    bvglDepthFunc(GL_ALWAYS);
    draw_tool_overlay(f);
    bvglEnable(GL_CULL_FACE);

    bvglMatrixMode(GL_PROJECTION);
    bvglPopMatrix();
    bvglMatrixMode(GL_MODELVIEW);
    bvglPopMatrix();
    editor_panel_draw();
    imm_color[0] = imm_color[1] = imm_color[2] = imm_color[3] = 1;
}
