// The pointer tools for the track's objects on the flat track: picking and dragging
// timing gates, selecting billboards and laying copies and trails of them, moving and
// turning statues, all through the main button as a user works them, with the lock,
// stale selections and handles dragged onto their centre.
#include "editor/object_tools.h"
#include "flat_track_fixture.h"

#include <gtest/gtest.h>

#include <numbers>

using edtest::flat_track;

namespace {

constexpr float kPi = std::numbers::pi_v<float>;

void run(const std::function<std::string(flat_track&)>& scenario)
{
    bvtest::in_fresh_process([&] {
        bvtest::TempDir root;
        flat_track f(root.path());
        return scenario(f);
    });
}

void set_gate(int g, float x, float z, float dx, float dz, float length)
{
    timing_gates.checkpoints[g] = {x, 0, z, dx, 0, dz, length, 0};
}

}  // namespace

TEST(ObjectTools, TimingGatesArePickedAndDragged)
{
    run([](flat_track& f) {
        bvtest::Problems p;
        editor_state.tool = 11;
        timing_gates.checkpoint_count = 3;
        set_gate(0, 60, 60, 1, 0, 10);
        set_gate(1, 60.25f, 60, 1, 0, 10);
        set_gate(2, 30, 30, 0, 2, 8);
        timing_gates.checkpoints[0].y = 5;
        const auto& g0 = timing_gates.checkpoints[0];
        const auto& g2 = timing_gates.checkpoints[2];

        f.stroke({{60.25f, 60}, {70, 70}});
        p.check(editor_state.selected_gate == 0 && editor_state.drag_part == 1, "two centres near: the earlier gate");
        p.check(g0.x == 70 && g0.y == 0 && g0.z == 70 && track_terrain.change_flags == 7, "the centre follows");
        f.stroke({{30, 38}, {36, 30}});
        p.check(editor_state.selected_gate == 2 && editor_state.drag_part == 2 && g2.dx == 6 && g2.dz == 0 &&
                    g2.length == 6 && g2.x == 30,
                "the end handle sets direction and radius");
        f.stroke({{36, 30}, {30, 30}});
        p.check(g2.dx == 6 && g2.dz == 0 && g2.length == 6, "the handle on the centre keeps the direction");
        f.click(33, 30);
        p.check(editor_state.selected_gate == 2 && editor_state.drag_part == 0, "inside the half-disc");
        f.click(27, 30);
        p.check(editor_state.selected_gate == -1 && editor_state.drag_part == 0, "behind it: nothing");

        track_terrain.edit_lock = 1;
        f.stroke({{60.25f, 60}, {90, 90}});
        p.check(editor_state.selected_gate == 1 && timing_gates.checkpoints[1].x == 60.25f,
                "locked: the pick works, the move does not");
        track_terrain.edit_lock = 0;
        // A gate taken away while it is dragged is left alone.
        f.press_change_move(30, 30, [] { timing_gates.checkpoint_count = 2; }, 50, 50);
        p.check(g2.x == 30 && g2.z == 30, "a gate past the table is not moved");
        return p.text;
    });
}

TEST(ObjectTools, BillboardsAreSelectedCopiedAndLaidInTrails)
{
    run([](flat_track& f) {
        bvtest::Problems p;
        editor_state.tool = 12;
        create_billboard(64, 0, 64, 1, 1, nullptr);   // a particle: no texture, no name
        create_billboard(40, 2, 40, 3, 2, "#ff0000#b");
        create_billboard(80, 0, 80, 1, 1, "c");
        first_track_billboard = 1;
        editor_widgets.spacing.value = 1;

        f.click(60, 60);
        p.check(billboard_count() == 3, "the particle selected at start has no texture: no copy");
        f.click(40, 40);
        p.check(billboard_count() == 3 && editor_state.selected_billboard == 1 &&
                    editor_widgets.height.value == 2 && editor_state.copied_billboard == -1,
                "a press next to a billboard selects it");
        f.click(50, 50);
        const billboard* copy = billboard_at(3);
        p.check(billboard_count() == 4 && editor_state.copied_billboard == 3 && copy->x == 50 && copy->z == 50 &&
                    copy->height_above_ground == 2 && copy->y == 2 && copy->size == 3 && copy->aspect == 2 &&
                    copy->texture == 2 && copy->colour[0] == 255 && copy->colour[1] == 0 &&
                    std::string(copy->name) == "b",
                "a press on open ground copies the selected one");

        // Spacing: size 3 x second size 2 x "Spacing" 1 = 6.
        std::vector<std::pair<float, float>> path;
        for (float z = 60; z <= 90; z += 0.25f)
            path.push_back({20, z});
        f.stroke(path);
        p.check(billboard_count() == 4 + 6, "a copy at the press and five along the drag: " +
                                                 std::to_string(billboard_count()));
        bool apart = true;
        for (int i = 1; i < billboard_count(); ++i)
            for (int j = i + 1; j < billboard_count(); ++j)
                apart = apart && std::hypot(billboard_at(i)->x - billboard_at(j)->x,
                                            billboard_at(i)->z - billboard_at(j)->z) >= 6;
        p.check(apart && billboard_at(9)->z == 90, "the trail keeps the spacing from every billboard");

        // Two billboards on one spot: presses take them in turn.
        create_billboard(100, 0, 100, 1, 1, "c");
        create_billboard(100, 0, 100, 1, 1, "c");
        const int n = billboard_count();
        editor_state.selected_billboard = 999;   // past the table: counts as the last
        f.click(100, 100);
        p.check(editor_state.selected_billboard == n - 2, "the search wraps to the first near one");
        f.click(100, 100);
        p.check(editor_state.selected_billboard == n - 1, "then the next");

        // A billboard without size gives no spacing: its copy starts no trail.
        create_billboard(110, 0, 20, 0, 1, "c");
        f.click(110, 20);
        f.stroke({{110, 40}, {110, 50}, {110, 60}});
        p.check(billboard_count() == n + 2, "no trail at spacing 0: " + std::to_string(billboard_count()));
        // A copy that has gone from the table ends the trail.
        editor_state.selected_billboard = 1;
        f.press_change_move(120, 120, [] { editor_state.copied_billboard = 999; }, 120, 10);
        p.check(billboard_count() == n + 3, "no trail from a copy past the table");
        return p.text;
    });
}

TEST(ObjectTools, StatuesAreMovedAndTurned)
{
    run([](flat_track& f) {
        bvtest::Problems p;
        editor_state.tool = 13;
        first_track_statue = 0;
        create_statue(40, 1, 40, 0, nullptr, "a", nullptr);
        create_statue(70, 1, 70, 0, nullptr, "a", nullptr);
        create_statue(20, 1, 100, 3.5f, nullptr, "a", nullptr);
        create_statue(100, 1, 40, -7, nullptr, "a", nullptr);
        const int n = track_terrain.size;
        for (int i = 0; i < n * n; ++i)
            track_terrain.heights[i] = float(i % n);   // a slope, so that re-placing shows

        f.stroke({{40, 40}, {45, 50}});
        p.check(editor_state.selected_statue == 0 && editor_state.drag_part == 1 && statue_at(0)->x == 45 &&
                    statue_at(0)->z == 50 && std::fabs(statue_at(0)->y - (22.5f + 1)) < 1e-4f &&
                    track_terrain.change_flags == 7,
                "a dragged statue stands on the ground where it is put");
        // The handle lies 4 H = 5.12 ft against the facing.
        f.stroke({{70, 64.88f}, {75, 70}});
        p.check(editor_state.drag_part == 2 && std::fabs(statue_at(1)->angle + kPi / 2) < 1e-6f,
                "the handle turns the statue towards it");
        f.stroke({{75.12f, 70}, {70, 75}});
        p.check(statue_at(1)->angle == -kPi, "an angle of pi is wrapped to -pi");
        const float hx = 20 - 5.12f * std::sin(3.5f), hz = 100 - 5.12f * std::cos(3.5f);
        f.stroke({{hx, hz}, {30, 100}});
        p.check(editor_state.selected_statue == 2 && statue_at(2)->angle == 3.5f, "a scaled statue never turns");
        const float ux = 100 - 5.12f * std::sin(-7.0f), uz = 40 - 5.12f * std::cos(-7.0f);
        f.stroke({{ux, uz}, {105, 40}});
        p.check(editor_state.selected_statue == 3 && std::fabs(statue_at(3)->angle - (-kPi / 2 - 4 * kPi)) < 1e-5f,
                "an upright statue stays upright");

        f.stroke({{60, 20}, {45, 50}});
        p.check(editor_state.selected_statue == -1 && editor_state.drag_part == 0 && statue_at(0)->x == 45,
                "open ground clears the selection and moves nothing");
        track_terrain.edit_lock = 1;
        f.stroke({{45, 50}, {10, 10}});
        p.check(editor_state.selected_statue == 0 && statue_at(0)->x == 45, "locked: picked, not moved");
        track_terrain.edit_lock = 0;
        f.press_change_move(45, 50, [] { statues.count = 0; }, 10, 10);   // the table emptied under the drag
        statues.count = 4;
        p.check(statue_at(0)->x == 45, "a statue past the table is not moved");
        return p.text;
    });
}
