// The sample track worked with every pointer tool in a temporary user folder, saved,
// and loaded again by a fresh process: the heights within half a height step, the tile
// map byte for byte, gates, statues, billboards, decals and gradients as "%f" prints them.
#include "editor_mesa.h"

#include "editor/editor_keys.h"
#include "race/program/controls.h"
#include "saved_objects_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

using edmesa::kH;
using edmesa::kW;

namespace {

using path_points = std::vector<std::pair<float, float>>;

// The view centred on (x, z), so that strokes near it stay right of the panel.
void centre_on(float x, float z)
{
    editor_state.view_x = x;
    editor_state.view_z = z;
}

// A main-button stroke: a press at the first point, a tick at each, the release.
void stroke(const path_points& path)
{
    edmesa::point_at_world(path.front().first, path.front().second);
    editor_key(menu_keys.cursor_left, 1);
    for (const auto& [x, z] : path) {
        edmesa::point_at_world(x, z);
        editor_mouse();
    }
    editor_key(menu_keys.cursor_left, 0);
}

void key_at(int32_t code, float x, float z)
{
    edmesa::point_at_world(x, z);
    editor_key(code, 1);
    editor_key(code, 0);
}

std::string heights_bytes()
{
    const terrain_state* t = &track_terrain;
    return std::string(reinterpret_cast<const char*>(t->heights), size_t(t->size) * size_t(t->size) * sizeof(float));
}

std::string tile_bytes()
{
    const terrain_state* t = &track_terrain;
    const size_t side = size_t(t->size - 1) / 2;
    return std::string(reinterpret_cast<const char*>(t->tile_map), side * side);
}

// Every tool's edit on the sample track; what is kept goes to root.
std::string edit_and_save(const std::string& root)
{
    bvtest::Problems p;
    editor_widgets.zoom.value = 2;
    editor_widgets.radius.value = 24;
    const float cx = 300, cz = 300;
    centre_on(cx, cz);

    // The height tools, each along its own short path.
    const std::string loaded_heights = heights_bytes(), loaded_tiles = tile_bytes();
    editor_widgets.strength.value = 3;
    for (int tool = 0; tool <= 8; ++tool) {
        edmesa::choose_tool(tool);
        const float z = cz - 80 + 20.0f * float(tool);
        path_points path;
        for (int k = 0; k <= 6; ++k)
            path.push_back({cx - 60 + 10.0f * float(k), z});
        stroke(path);
    }
    take_snapshot();
    // Tiles: along a path, a tile other than the one there.
    edmesa::choose_tool(14);
    const size_t side = size_t(track_terrain.size - 1) / 2;
    const uint8_t there = track_terrain.tile_map[size_t(cz - 40) / 2 * side + size_t(cx + 50) / 2];
    editor_widgets.tile.value = (there + 1) % 3;
    stroke({{cx + 40, cz - 60}, {cx + 50, cz - 40}, {cx + 60, cz - 20}});
    p.check(heights_bytes() != loaded_heights, "the ground changed");
    p.check(tile_bytes() != loaded_tiles, "the tiles changed");

    // A gradient placed (its end dragged) and profiled (a point inserted and raised).
    gradient_new();
    gradient* g = selected_gradient_record();
    p.check(g != nullptr, "a new gradient");
    if (!g)
        return p.text;
    centre_on(g->start_x, g->start_z);
    edmesa::choose_tool(9);
    stroke({{g->end_x, g->end_z}, {g->end_x - 5, g->end_z + 10}});
    edmesa::choose_tool(10);
    const float length = std::hypot(g->end_x - g->start_x, g->end_z - g->start_z);
    stroke({{g->start_x + length / 2, g->start_z}, {g->start_x + length / 2, g->start_z - 6}});
    p.check(g->points.count == 3, "the profile gained a point: " + std::to_string(g->points.count));

    // A gate's centre dragged.
    edmesa::choose_tool(11);
    const timing_gate gate = timing_gates.checkpoints[0];
    centre_on(gate.x, gate.z);
    stroke({{gate.x, gate.z}, {gate.x + 4, gate.z + 3}});
    p.check(std::fabs(timing_gates.checkpoints[0].x - gate.x - 4) < 0.5f, "the gate moved");

    // A billboard of the track selected, then a trail of copies on open ground.
    edmesa::choose_tool(12);
    int32_t named = -1;
    for (int32_t i = first_track_billboard; i < billboard_count() && named < 0; ++i)
        if (billboard_at(i)->name)
            named = i;
    p.check(named >= 0, "a named billboard on the track");
    if (named < 0)
        return p.text;
    const billboard chosen = *billboard_at(named);
    centre_on(chosen.x, chosen.z);
    stroke({{chosen.x, chosen.z}});
    const int32_t billboards = billboard_count();
    path_points trail;
    for (int k = 0; k <= 40; ++k)
        trail.push_back({chosen.x + 60, chosen.z - 60 + 2.0f * float(k)});
    stroke(trail);
    p.check(billboard_count() > billboards + 1, "a billboard trail: " + std::to_string(billboard_count() - billboards));

    // A statue of the track moved, then turned by its handle.
    edmesa::choose_tool(13);
    const int32_t si = first_track_statue;
    const statue before = *statue_at(si);
    centre_on(before.x, before.z);
    stroke({{before.x, before.z}, {before.x + 6, before.z + 4}});
    const statue* moved = statue_at(si);
    const float h = std::max(editor_view_width() * 0.01f, 1.0f);
    const float hx = moved->x - 4 * h * std::sin(moved->angle), hz = moved->z - 4 * h * std::cos(moved->angle);
    stroke({{hx, hz}, {moved->x + 4 * h, moved->z}});
    p.check(std::fabs(statue_at(si)->x - before.x - 6) < 0.5f && std::fabs(statue_at(si)->angle - before.angle) > 0.1f,
            "the statue moved and turned");

    // Decals: a stamp on open ground, a step with "d", one erased with "x".
    edmesa::choose_tool(15);
    editor_state.selected_decal = 0;
    const decal first = *terrain_decal(&track_terrain, 0);
    centre_on(first.x, first.z);
    const int32_t decals = track_terrain.decals.count;
    stroke({{first.x + 2 * first.size + 10, first.z + 30}});
    key_at('d', first.x + 2 * first.size + 40, first.z + 30);
    key_at('x', first.x, first.z);
    p.check(track_terrain.decals.count == decals + 1, "two decals stamped, one erased: " +
                                                          std::to_string(track_terrain.decals.count - decals));

    key_at('s', cx, cz);
    p.same(editor_state.status_text, "Saved!", "the save");
    bvtest::write_file(root + "/kept.heights", heights_bytes());
    bvtest::write_file(root + "/kept.tiles", tile_bytes());
    bvtest::write_file(root + "/kept.objects", edtest::saved_objects_text());
    return p.text;
}

std::string compare_reloaded(const std::string& root)
{
    bvtest::Problems p;
    const std::string heights = bvtest::read_file(root + "/kept.heights");
    const terrain_state* t = &track_terrain;
    const float half_step = (t->max_height - t->min_height) / 65535.0f / 2.0f;
    bool close = heights.size() == size_t(t->size) * size_t(t->size) * sizeof(float);
    float worst = 0;
    for (size_t i = 0; close && i < heights.size() / 4; ++i) {
        float h;
        std::memcpy(&h, heights.data() + i * 4, 4);
        worst = std::max(worst, std::fabs(h - t->heights[i]));
    }
    // Half a step, and two float roundings at the heights' magnitude (a truncating
    // save would miss by up to a whole step).
    const float ulp = std::max(std::fabs(t->max_height), std::fabs(t->min_height)) * 0x1p-23f;
    p.check(close && worst <= half_step + 2 * ulp,
            "the heights within half a height step: " + std::to_string(worst) + " of " + std::to_string(half_step));
    p.check(tile_bytes() == bvtest::read_file(root + "/kept.tiles"), "the tile map byte for byte");
    const std::string got = edtest::saved_objects_text(), want = bvtest::read_file(root + "/kept.objects");
    size_t at = 0;
    while (at < got.size() && at < want.size() && got[at] == want[at])
        ++at;
    at = got.rfind('\n', at) == std::string::npos ? 0 : got.rfind('\n', at) + 1;
    p.same(got.substr(at), want.substr(at), "the objects read back, from the first line that differs");
    return p.text;
}

std::string on_saved_root(const std::string& root, std::string (*scenario)(const std::string&))
{
    if (!edmesa::open_window(root))
        return std::string();
    const std::string loaded = edmesa::load_track(root, "tracks/sample");
    return loaded.empty() ? scenario(root) : loaded;
}

}  // namespace

TEST(SampleRoundTrip, EveryPointerToolsEditSavedAndReloaded)
{
    // Both processes re-run this body: the first run makes the folder, the rest find it.
    std::unique_ptr<bvtest::TempDir> made;
    if (!getenv("BV_ROUND_TRIP_ROOT")) {
        made = std::make_unique<bvtest::TempDir>();
        setenv("BV_ROUND_TRIP_ROOT", made->path().c_str(), 1);
    }
    const std::string root = getenv("BV_ROUND_TRIP_ROOT");
    bvtest::in_fresh_process([&] { return on_saved_root(root, edit_and_save); });
    bvtest::in_fresh_process([&] { return on_saved_root(root, compare_reloaded); });
    unsetenv("BV_ROUND_TRIP_ROOT");
}
