// The editor's panel: 20 units of the 64-unit window height on the left, the tool
// buttons and the widgets of the current tool one line each, their texts, the pointer
// readout and the status line.
#include "editor/editor_view.h"

#include "editor/editor_state.h"
#include "editor/editor_widgets.h"
#include "editor/gradients.h"
#include "frontend/ui_widgets.h"
#include "gfx/fonts.h"
#include "gfx/gl_layer.h"
#include "gfx/gl_state.h"
#include "gfx/shaders.h"
#include "gfx/texture_cache.h"
#include "platform/qorl_window.h"
#include "race/program/projection.h"
#include "terrain/billboards.h"
#include "terrain/terrain_queries.h"
#include "terrain/terrain_state.h"
#include "terrain/terrain_textures.h"
#include "terrain/timing_gates.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

void (*editor_text_observer)(const char* text, float x, float y, const float colour[4]) = nullptr;

namespace {

constexpr float kUnits = 64.0f;          // text units per window height
constexpr float kPanelWidth = 20.0f;
constexpr float kLeft = 0.5f;
constexpr float kLine = 1.5f;
constexpr float kWidgetWidth = 19.0f;
constexpr float kSplit = 0.5f;
constexpr float kTextColour[4] = {1, 1, 1, 1};

// The pen of the panel's lines; y is the bottom of the current line (units, y up).
struct panel_pen {
    ui_vec2 scale;
    float y = -0.5f;

    ui_vec2 next()
    {
        y -= 1.0f;
        const ui_vec2 at{kLeft, y};
        y -= kLine - 1.0f;
        return at;
    }
};

void text_line(panel_pen& pen, const char* text)
{
    const ui_vec2 at = pen.next();
    bvglPushMatrix();
    bvglTranslatef(at.x, at.y, 0);
    text_draw(kTextColour[0], kTextColour[1], kTextColour[2], kTextColour[3], text);
    bvglPopMatrix();
    if (editor_text_observer)
        editor_text_observer(text, at.x, at.y, kTextColour);
}

template <class Draw>
void widget_line(panel_pen& pen, Draw draw)
{
    const ui_vec2 at = pen.next();
    bvglPushMatrix();
    bvglTranslatef(at.x, at.y, 0);
    draw(at);
    bvglPopMatrix();
}

bool hovered(int index)
{
    return editor_state.hovered_widget == index;
}

void button(panel_pen& pen, ui_button& b, int index, bool current = false)
{
    widget_line(pen, [&](ui_vec2 at) { ui_draw_button(&b, hovered(index) || current, at, pen.scale, kWidgetWidth, 0.5f); });
}

void slider(panel_pen& pen, ui_slider& s, int index)
{
    widget_line(pen, [&](ui_vec2 at) { ui_draw_slider(&s, hovered(index), at, pen.scale, kWidgetWidth, 0, kSplit); });
}

void choice(panel_pen& pen, ui_choice& c, int index)
{
    widget_line(pen, [&](ui_vec2 at) { ui_draw_choice(&c, hovered(index), at, pen.scale, kWidgetWidth, 0, kSplit); });
}

void background()
{
    gl_use_shader(shader_unlit);
    bvglBindTexture(GL_TEXTURE_2D, gl_state.gl_white_texture);
    bvglEnable(GL_BLEND);
    bvglBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    bvglBegin(GL_QUADS);
    imm_color[0] = imm_color[1] = imm_color[2] = 0;
    imm_color[3] = 0.5f;
    bvglVertex2f(0, -kUnits);
    bvglVertex2f(21, -kUnits);
    bvglVertex2f(21, 0);
    bvglVertex2f(0, 0);
    bvglVertex2f(21, -kUnits);
    imm_color[3] = 0;
    bvglVertex2f(21.25f, -kUnits);
    bvglVertex2f(21.25f, 0);
    imm_color[3] = 0.5f;
    bvglVertex2f(21, 0);
    bvglEnd();
    bvglDisable(GL_BLEND);
}

void tile_preview(int32_t tile)
{
    const terrain_state* t = editor_state.terrain;
    float uv[4];
    tile_preview_coords(t->tile_count, tile, uv);
    gl_use_shader(shader_unlit);
    bvglBindTexture(GL_TEXTURE_2D, t->tile_atlas);
    imm_color[0] = imm_color[1] = imm_color[2] = imm_color[3] = 1;
    bvglBegin(GL_QUADS);
    imm_texcoord[0] = uv[0], imm_texcoord[1] = uv[3];
    bvglVertex2f(0, 0);
    imm_texcoord[0] = uv[2], imm_texcoord[1] = uv[3];
    bvglVertex2f(4, 0);
    imm_texcoord[0] = uv[2], imm_texcoord[1] = uv[1];
    bvglVertex2f(4, 4);
    imm_texcoord[0] = uv[0], imm_texcoord[1] = uv[1];
    bvglVertex2f(0, 4);
    bvglEnd();
    imm_texcoord[0] = imm_texcoord[1] = imm_texcoord[2] = 0;
    imm_texcoord[3] = 1;
}

void tool_widgets(panel_pen& pen)
{
    editor_widget_set& w = editor_widgets;
    char text[160];
    switch (editor_state.tool) {
    case 9: {
        button(pen, w.new_gradient, w_new_gradient);
        button(pen, w.copy_gradient, w_copy_gradient);
        const gradient* g = selected_gradient_record();
        const float length = g ? std::hypot(g->end_x - g->start_x, g->end_z - g->start_z) : 0.0f;
        snprintf(text, sizeof text, "Length: %.2f", double(length));
        text_line(pen, text);
        break;
    }
    case 10: {
        choice(pen, w.segment_type, w_segment_type);
        slider(pen, w.granularity, w_granularity);
        pen.y -= 3.0f;
        button(pen, w.set_from_terrain, w_set_from_terrain);
        button(pen, w.flatten, w_flatten);
        const gradient* g = selected_gradient_record();
        const int p = editor_state.selected_point;
        if (g && p >= 0 && p < g->points.count) {
            if (p < g->kinds.count) {
                snprintf(text, sizeof text, "Slope: %.3f", double(gradient_slope_at(p)));
                text_line(pen, text);
            }
            snprintf(text, sizeof text, "Height: %.2f",
                     double(static_cast<const gradient_point*>(g->points.items)[p].height));
            text_line(pen, text);
        }
        break;
    }
    case 11:
        text_line(pen, switch_point_text(editor_state.selected_gate));
        button(pen, w.set_switch, w_set_switch);
        button(pen, w.clear_switch, w_clear_switch);
        break;
    case 12: {
        slider(pen, w.spacing, w_spacing);
        slider(pen, w.height, w_height);
        const int32_t b = editor_state.selected_billboard;
        const char* name = nullptr;
        if (b >= 0 && b < billboard_count()) {
            name = texture_name(billboard_at(b)->texture);
            if (!name || !*name)
                name = billboard_at(b)->name;
        }
        text_line(pen, name && *name ? name : "[none]");
        break;
    }
    case 13:
        choice(pen, w.show_wireframe, w_show_wireframe);
        choice(pen, w.show_collidable, w_show_collidable);
        button(pen, w.snap_to_gradient, w_snap_to_gradient);
        break;
    case 14: {
        slider(pen, w.tile, w_tile);
        const int32_t tile = std::clamp(int32_t(std::clamp(w.tile.value, 0.0, 255.0)), 0, kTerrainMaxTiles - 1);
        text_line(pen, editor_state.terrain->tile_names[tile]);
        const ui_vec2 at = pen.next();
        bvglPushMatrix();
        bvglTranslatef(at.x, at.y - 3.0f, 0);
        tile_preview(tile);
        bvglPopMatrix();
        pen.y -= 3.0f;
        break;
    }
    case 15:
        slider(pen, w.decal_spacing, w_decal_spacing);
        choice(pen, w.orientation, w_orientation);
        choice(pen, w.hide_different, w_hide_different);
        choice(pen, w.level, w_level);
        break;
    default: break;
    }
}

}  // namespace

const char* switch_point_text(int32_t gate)
{
    const int32_t total = timing_gates.firstlap_length + timing_gates.normallap_length;
    int plain = 0, marked = 0;
    for (int32_t i = 0; i < total && i < int32_t(std::size(timing_gates.lap_entries)); ++i) {
        const int32_t e = timing_gates.lap_entries[i];
        plain += gate >= 0 && e == gate;
        marked += gate >= 0 && e == gate + 100000;
    }
    if (plain && marked)
        return "Switch Point: Mixed";
    if (plain)
        return "Switch Point: Yes";
    if (marked)
        return "Switch Point: No";
    return "Gate not referenced";
}

void tile_preview_coords(int32_t tile_count, int32_t tile, float uv[4])
{
    const int32_t n = tile_count < 2 ? 1 : terrain_atlas_columns(tile_count);
    const int32_t cell = std::clamp(tile, 0, n * n - 1);
    const float column = float(cell % n), row = float(cell / n);
    uv[0] = (column + 0.0625f) / float(n);
    uv[1] = (row + 0.0625f) / float(n);
    uv[2] = (column + 0.9375f) / float(n);
    uv[3] = (row + 0.9375f) / float(n);
}

void editor_panel_draw()
{
    editor_state_record& s = editor_state;
    editor_widget_set& w = editor_widgets;
    const float a = projection_half_width, b = projection_half_height;
    const int32_t H = std::max(s.window->height.load(), 1);
    const float pixels = float(H) / kUnits;

    editor_widget_rects_clear();
    w.dummy.rect = {0, 0, int32_t(kPanelWidth * pixels), H};

    bvglDepthFunc(GL_ALWAYS);
    bvglPushMatrix();
    bvglLoadIdentity();
    bvglTranslatef(-a, b, -1);
    bvglScalef(b / 32, b / 32, b / 32);
    background();

    panel_pen pen;
    pen.scale = {pixels, -pixels};
    for (int i = 0; i < kEditorTools; ++i)
        button(pen, w.tools[i], i, s.tool == i);
    choice(pen, w.submode, w_submode);
    button(pen, w.save, w_save);
    slider(pen, w.zoom, w_zoom);
    slider(pen, w.strength, w_strength);
    slider(pen, w.focus, w_focus);
    slider(pen, w.radius, w_radius);

    char text[160];
    const float per_pixel = editor_view_width() / float(H);
    const double radius = w.radius.value * double(per_pixel);
    snprintf(text, sizeof text, "Actual Radius: %.2f (%.2f)", radius, radius * w.focus.value);
    text_line(pen, text);
    snprintf(text, sizeof text, "Actual Strength: %.3f", std::exp2(w.strength.value));
    text_line(pen, text);
    tool_widgets(pen);

    float px, pz;
    screen_to_world(&px, &pz);
    snprintf(text, sizeof text, "%.2f %.2f %.2f", double(px), double(terrain_height_at(s.terrain, px, pz)), double(pz));
    text_line(pen, text);
    text_line(pen, s.status_text ? s.status_text : "");
    bvglPopMatrix();
}
