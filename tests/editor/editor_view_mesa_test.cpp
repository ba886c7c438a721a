// The editor view drawn on Mesa over the real tracks: the map's scale, the panel and
// its widgets, the brush, the tool overlays and the panel texts.
#include "editor_mesa.h"

#include "editor/editor_keys.h"
#include "editor/gradients.h"
#include "race/program/controls.h"
#include "race/program/settings_values.h"
#include "terrain/statues.h"
#include "terrain/terrain_queries.h"
#include "terrain/terrain_textures.h"
#include "terrain/terrain_state.h"
#include "terrain/timing_gates.h"

#include <gtest/gtest.h>

#include <cmath>
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

using edmesa::frame;
using edmesa::kH;
using edmesa::kW;
using edmesa::point_at;

namespace {

std::vector<std::string> texts;

void keep_text(const char* text, float, float, const float*)
{
    texts.push_back(text);
}

bool shown(const std::string& text)
{
    for (const std::string& t : texts)
        if (t == text)
            return true;
    return false;
}

std::string all_texts()
{
    std::string s;
    for (const std::string& t : texts)
        s += "[" + t + "]";
    return s;
}

double detail_seen = -1;

void observe_terrain_draw(terrain_state* t)
{
    detail_seen = graphics_settings.ground_texture_detail;
    terrain_draw(t);
}

}  // namespace

TEST(EditorViewMesa, FlatTrackMapPanelBrushAndTexts)
{
    edmesa::on_track("tracks/flat", [](const bvtest::TempDir&) {
        bvtest::Problems p;
        editor_text_observer = keep_text;
        editor_terrain_draw = observe_terrain_draw;

        // Zoom 0: the whole terrain across the window height, centred.
        editor_widgets.zoom.value = 0;
        point_at(kW / 2, kH / 2);
        graphics_settings.ground_texture_detail = 9;
        const edmesa::Picture f = frame("flat_zoom0_raise");
        p.check(detail_seen == 6, "the terrain is drawn at ground-texture detail 6");
        p.check(graphics_settings.ground_texture_detail == 9, "the detail setting is restored");
        const int right = kW / 2 + kH / 2;
        const auto inside = f.at(right - 3, 420), outside = f.at(right + 3, 420);
        p.check(!(inside[0] < 10 && inside[1] < 10 && inside[2] > 245), "ground just inside the right edge");
        p.check(outside[0] < 10 && outside[1] < 10 && outside[2] > 245, "clear colour just outside the right edge");
        const float width0 = editor_view_width();
        editor_widgets.zoom.value = 1;
        p.check(std::abs(editor_view_width() - width0 / 2) < 1e-3f, "one zoom step halves the view width");
        editor_widgets.zoom.value = 0;

        // The panel: the dummy rect is 20 x 64 units from the top left.
        const ui_rect& d = editor_widgets.dummy.rect;
        p.check(d.x0 == 0 && d.y0 == 0 && d.x1 == 150 && d.y1 == kH, "the panel's rect in pixels");
        // Its background halves the ground under it (row below the last text line).
        const int under = f.brightness(kW / 2 - kH / 2 + 40, 470), beside = f.brightness(170, 470);
        p.check(beside > 60 && under > beside * 0.35 && under < beside * 0.65,
                "the panel darkens the ground by half: " + std::to_string(under) + " of " + std::to_string(beside));
        for (int i = 0; i < kEditorTools; ++i) {
            const ui_rect& r = editor_widgets.tools[i].rect;
            int light = 0;
            for (int y = std::max(r.y0, 0); y < std::min(r.y1, kH); ++y)
                for (int x = std::max(r.x0, 0); x < std::min(r.x1, kW); ++x)
                    light += f.brightness(x, y) > 330;
            int top = 0;
            for (int y = std::max(r.y0, 0); y < std::min(r.y1, kH); ++y)
                for (int x = std::max(r.x0, 0); x < std::min(r.x1, kW); ++x)
                    top = std::max(top, f.brightness(x, y));
            p.check(r.x0 >= 0 && light > 10, std::string("light text in the button ") + editor_tool_names[i] + " " +
                                                 std::to_string(r.x0) + "," + std::to_string(r.y0) + "," +
                                                 std::to_string(r.x1) + "," + std::to_string(r.y1) + " max " +
                                                 std::to_string(top));
        }
        const ui_rect& hidden = editor_widgets.new_gradient.rect;
        p.check(hidden.x0 == -1 && hidden.y0 == -1 && hidden.x1 == -1 && hidden.y1 == -1,
                "a widget not drawn has no rect");

        // The brush of tool 0: the outer circle of Radius pixels, the inner Focus circle.
        const int R = int(editor_widgets.radius.value), r = int(R * editor_widgets.focus.value);
        auto ring_white = [&](int radius) {
            int hits = 0;
            for (int k = 0; k < 8; ++k) {
                const double a = k * M_PI / 4;
                const int x = kW / 2 + int(std::lround(radius * std::sin(a)));
                const int y = kH / 2 + int(std::lround(radius * std::cos(a)));
                bool any = false;
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx)
                        any = any || f.white(x + dx, y + dy);
                hits += any;
            }
            return hits;
        };
        p.check(ring_white(R) >= 7, "white pixels on the Radius circle");
        p.check(ring_white(r) >= 7, "white pixels on the Focus circle");
        p.check(!f.white(kW / 2, kH / 2), "no white at the brush centre");

        // With line_start set: the capsule reaches past the far end.
        editor_state.line_start[0] = editor_state.view_x + 30.0f;
        editor_state.line_start[1] = editor_state.view_z;
        const edmesa::Picture capsule = frame("flat_zoom0_capsule");
        const int far = kW / 2 + int(30.0f * kH / width0);
        bool rim = false;
        for (int dx = -2; dx <= 2; ++dx)
            for (int dy = -2; dy <= 2; ++dy)
                rim = rim || capsule.white(far + dx, kH / 2 - R + dy);
        p.check(rim, "the capsule's side at the line start");
        editor_state.line_start[0] = editor_state.line_start[1] = -1;

        // Texts for the default sliders in a 512-pixel-high window record.
        qorl_window tall;
        tall.width = kW;
        tall.height = 512;
        tall.pointer_x = kW / 2;
        tall.pointer_y = 256;
        qorl_window* own = editor_state.window;
        editor_state.window = &tall;
        texts.clear();
        frame("flat_tall_texts");
        editor_state.window = own;
        p.check(shown("Actual Radius: 16.00 (8.00)"), "the actual radius text: " + all_texts());
        p.check(shown("Actual Strength: 8.000"), "the actual strength text");
        p.check(!texts.empty() && texts.back() == "OK", "the status line comes last");
        char readout[96];
        const float h = terrain_height_at(editor_state.terrain, 64, 64);
        snprintf(readout, sizeof readout, "%.2f %.2f %.2f", 64.0, double(h), 64.0);
        p.check(shown(readout), std::string("the pointer readout ") + readout);

        // Tool 15 keeps the setting; tool 9 shows the gradient's length.
        editor_state.tool = 15;
        detail_seen = -1;
        frame("flat_decals");
        p.check(detail_seen == 9, "tool 15 keeps the ground-texture detail");
        editor_state.tool = 9;
        gradient_new();
        texts.clear();
        frame("flat_gradient_placement");
        p.check(shown("Length: 50.00"), "the gradient's length: " + all_texts());
        p.check(editor_widgets.new_gradient.rect.x0 >= 0, "tool 9 draws New Gradient");

        // Tool 12 without a billboard of the track's own: "[none]".
        editor_state.tool = 12;
        editor_state.selected_billboard = -1;
        texts.clear();
        frame("flat_billboards");
        p.check(shown("[none]"), "no billboard selected: " + all_texts());

        // The widgets drawn take the pointer: a held main button drags the Zoom slider
        // (code 16) and a press that began on it never reaches the map.
        editor_state.tool = 0;
        editor_widgets.zoom.value = 0;
        frame("flat_widgets");
        const ui_slider& zs = editor_widgets.zoom;
        point_at((zs.bar_x0 + zs.bar_x1) / 2, (zs.rect.y0 + zs.rect.y1) / 2);
        editor_key(menu_keys.cursor_left, 1);
        point_at(zs.bar_x0 + (zs.bar_x1 - zs.bar_x0) * 3 / 4, (zs.rect.y0 + zs.rect.y1) / 2);
        editor_mouse();
        p.check(zs.value > 4.0 && zs.value < 6.0, "dragging the Zoom slider: " + std::to_string(zs.value));
        const std::vector<float> before(editor_state.terrain->heights,
                                        editor_state.terrain->heights +
                                            editor_state.terrain->size * editor_state.terrain->size);
        const int32_t statues_before = statue_count();
        point_at(kW / 2, kH / 2);
        for (int i = 0; i < 4; ++i)
            editor_mouse();
        editor_key(menu_keys.cursor_left, 0);
        p.check(std::equal(before.begin(), before.end(), editor_state.terrain->heights) &&
                    statue_count() == statues_before && editor_state.press_state == 0,
                "a press begun on a widget leaves the map alone");

        // Tool 11's switch-point text for a gate in both lap lists, once plain, once not.
        editor_state.tool = 11;
        editor_state.selected_gate = 1;
        const timing_gates_state kept = timing_gates;
        timing_gates.lap_entries[timing_gates.firstlap_length] = 100001;
        texts.clear();
        frame("flat_gates_mixed");
        p.check(shown("Switch Point: Mixed"), "the mixed switch point: " + all_texts());
        timing_gates = kept;

        // A profile segment 10^9 long with a curve: the walk is capped, the frame ends.
        editor_state.tool = 10;
        gradient* g = selected_gradient_record();
        if (g) {
            g->points.count = 0;
            g->kinds.count = 0;
            gradient_push_point(g, 0, 0, 1);
            gradient_push_point(g, 1e9f, 5, 1);
            editor_state.selected_point = 1;
            texts.clear();
            frame("flat_profile_long");
            p.check(shown("Height: 5.00"), "the selected point's height: " + all_texts());
        }

        // Far in, view_width overflows to 0: still a frame.
        editor_state.tool = 0;
        editor_widgets.zoom.value = 200;
        frame("flat_zoom_overflow");
        editor_widgets.zoom.value = 1;
        editor_text_observer = nullptr;
        editor_terrain_draw = terrain_draw;
        return p.text;
    });
}
