// Edits made with the pointer seen in the editor's pictures on Mesa, on the sample
// track with the real terrain upkeep: grass painted onto dirt, a stamped decal, and a
// raised bump in the lit ground.
#include "editor_mesa.h"

#include "editor/editor_keys.h"
#include "race/program/controls.h"
#include "race/program/settings_values.h"
#include "terrain/decals.h"
#include "terrain/lighting.h"
#include "terrain/terrain_lod.h"
#include "terrain/terrain_settings.h"
#include "terrain/terrain_state.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <string>

using edmesa::kH;
using edmesa::kW;
using edmesa::Picture;

namespace {

constexpr int kPx = 420, kPy = 240;   // the pointer: right of the panel

bool detail_pending(const terrain_state* t)
{
    if (t->redraw_level != kTerrainMaxDetailLevels)
        return true;
    for (int i = 0; i < t->detail_level_count; ++i)
        if (t->detail_levels[i].redraw)
            return true;
    return false;
}

// Frames with the terrain upkeep of the editor view (every height block uploaded)
// until no detail level awaits a redraw, at most 256; the last one read and saved.
Picture settled_frame(const std::string& name)
{
    for (int n = 0; n < 256; ++n) {
        terrain_upload_budget = INT_MAX;
        terrain_update_step(&track_terrain);
        set_projection(kW, kH, 60.0f);
        editor_draw();
        if (!detail_pending(&track_terrain))
            break;
    }
    return edmesa::frame(name);
}

// The view at the zoom, with map point (x, z) under the pointer.
void look_at(double zoom, float x, float z)
{
    editor_widgets.zoom.value = zoom;
    const float per = editor_view_width() / float(kH);
    editor_state.view_x = x - float(kPx - kW / 2) * per;
    editor_state.view_z = z - float(kPy - kH / 2) * per;
    edmesa::point_at(kPx, kPy);
}

// Map point of window pixel (x, y).
void world_of(int x, int y, float* wx, float* wz)
{
    const float per = editor_view_width() / float(kH);
    *wx = editor_state.view_x + float(x - kW / 2) * per;
    *wz = editor_state.view_z + float(y - kH / 2) * per;
}

void one_tick_stroke()
{
    editor_key(menu_keys.cursor_left, 1);
    editor_mouse();
    editor_key(menu_keys.cursor_left, 0);
}

int greenness(const Picture& p, int x, int y)
{
    const auto c = p.at(x, y);
    return 2 * c[1] - c[0] - c[2];
}

// The centre of a 12 x 12 square of dirt tiles (0) on the sample's tile map.
bool dirt_square(float* x, float* z)
{
    const terrain_state* t = &track_terrain;
    const int side = (t->size - 1) / 2;
    for (int tz = 16; tz + 12 < side; tz += 2)
        for (int tx = 16; tx + 12 < side; tx += 2) {
            bool dirt = true;
            for (int j = 0; j < 12 && dirt; ++j)
                for (int i = 0; i < 12 && dirt; ++i)
                    dirt = t->tile_map[size_t(tz + j) * size_t(side) + size_t(tx + i)] == 0;
            if (dirt) {
                *x = float(2 * (tx + 6)) * t->cell;
                *z = float(2 * (tz + 6)) * t->cell;
                return true;
            }
        }
    return false;
}

double detail_seen = -1;
void observe_terrain_draw(terrain_state* t)
{
    detail_seen = graphics_settings.ground_texture_detail;
    terrain_draw(t);
}

}  // namespace

TEST(EditorEditsMesa, GrassPaintedOntoDirtShowsWhereItWasPainted)
{
    edmesa::on_track("tracks/sample", [](const bvtest::TempDir&) {
        bvtest::Problems p;
        float x = 0, z = 0;
        if (!dirt_square(&x, &z))
            return std::string("no square of dirt on the sample track");
        look_at(3, x, z);
        editor_widgets.radius.value = 32;
        const Picture before = settled_frame("grass_before");
        edmesa::choose_tool(14);
        editor_widgets.tile.value = 2;
        one_tick_stroke();
        const Picture after = settled_frame("grass_after");

        const float per = editor_view_width() / float(kH);
        const float R = float(editor_widgets.radius.value) * per;
        int inside = 0, greener = 0, outside_changed = 0;
        double green_before = 0, green_after = 0;
        for (int y = 0; y < kH; ++y)
            for (int px = editor_widgets.dummy.rect.x1 + 4; px < kW; ++px) {
                float wx, wz;
                world_of(px, y, &wx, &wz);
                const float d = std::hypot(wx - x, wz - z);
                if (d < R - 3 * track_terrain.cell) {
                    ++inside;
                    green_before += greenness(before, px, y);
                    green_after += greenness(after, px, y);
                    greener += greenness(after, px, y) > greenness(before, px, y);
                } else if (d > R + 3 * track_terrain.cell && before.at(px, y) != after.at(px, y)) {
                    ++outside_changed;
                }
            }
        p.check(inside > 100 && green_after > green_before + 20.0 * inside && greener > inside * 3 / 4,
                "the painted area moves towards grass: " + std::to_string(greener) + " of " +
                    std::to_string(inside) + " greener, mean " + std::to_string(green_before / inside) + " -> " +
                    std::to_string(green_after / inside));
        p.check(outside_changed == 0,
                "the pixels outside the brush stay as they were: " + std::to_string(outside_changed) + " changed");
        return p.text;
    });
}

TEST(EditorEditsMesa, StampedDecalShowsAtItsPositionAtTheUsersDetail)
{
    edmesa::on_track("tracks/sample", [](const bvtest::TempDir&) {
        bvtest::Problems p;
        if (track_terrain.decals.count < 1)
            return std::string("the sample track has no decals");
        editor_terrain_draw = observe_terrain_draw;
        graphics_settings.ground_texture_detail = 9;
        edmesa::choose_tool(15);
        editor_state.selected_decal = 0;
        const decal primary = *terrain_decal(&track_terrain, 0);
        // Open ground two decal sizes beside the primary.
        const float x = primary.x + 2.0f * primary.size + 8.0f, z = primary.z;
        look_at(4, x, z);
        const Picture before = settled_frame("decal_before");
        p.check(detail_seen == 9, "with the decal tool the ground is drawn at the user's detail: " +
                                      std::to_string(detail_seen));
        const int32_t count = track_terrain.decals.count;
        one_tick_stroke();
        p.check(track_terrain.decals.count == count + 1, "a press on open ground stamps a decal");
        const Picture after = settled_frame("decal_after");
        const int reach = 5;   // inside the stamp's narrow side

        int near = 0, changed = 0;
        for (int y = kPy - reach; y <= kPy + reach; ++y)
            for (int px = kPx - reach; px <= kPx + reach; ++px) {
                ++near;
                changed += before.at(px, y) != after.at(px, y);
            }
        p.check(changed > near / 2, "the stamped decal changes the pixels at its position: " +
                                        std::to_string(changed) + " of " + std::to_string(near));
        return p.text;
    });
}

TEST(EditorEditsMesa, RaisedBumpShowsInTheLitGround)
{
    edmesa::on_track("tracks/sample", [](const bvtest::TempDir&) {
        bvtest::Problems p;
        float x = 0, z = 0;
        if (!dirt_square(&x, &z))
            return std::string("no square of dirt on the sample track");
        look_at(3, x, z);
        editor_widgets.radius.value = 48;
        editor_widgets.strength.value = 5;
        editor_widgets.focus.value = 0;
        const Picture before = settled_frame("bump_before");
        edmesa::choose_tool(0);
        one_tick_stroke();
        const Picture after = settled_frame("bump_after");

        // The sun's direction on the map, and a patch half a radius to each side.
        const float* sun = lighting.sun_vector;
        const float len = std::hypot(sun[0], sun[2]);
        const int off = int(float(editor_widgets.radius.value) * 0.5f);
        const int sx = kPx + int(std::lround(sun[0] / len * float(off))), sz = kPy + int(std::lround(sun[2] / len * float(off)));
        const int hx = kPx - (sx - kPx), hz = kPy - (sz - kPy);
        auto patch = [](const Picture& f, int cx, int cy) {
            int sum = 0;
            for (int j = -2; j <= 2; ++j)
                for (int i = -2; i <= 2; ++i)
                    sum += f.brightness(cx + i, cy + j);
            return sum / 25;
        };
        const int sunny0 = patch(before, sx, sz), sunny1 = patch(after, sx, sz);
        const int shade0 = patch(before, hx, hz), shade1 = patch(after, hx, hz);
        p.check(std::abs(sunny1 - sunny0) >= 6 && std::abs(shade1 - shade0) >= 6,
                "the bump's sunny and shaded sides differ from the frame before: sunny " + std::to_string(sunny0) +
                    " -> " + std::to_string(sunny1) + ", shaded " + std::to_string(shade0) + " -> " +
                    std::to_string(shade1));
        p.check(sunny1 > shade1, "the sunny side is the brighter one: " + std::to_string(sunny1) + " and " +
                                     std::to_string(shade1));
        return p.text;
    });
}
