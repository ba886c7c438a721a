// The editor's lifecycle on a small terrain of its own: the state after init, the undo
// ring's eight levels, stale snapshots, the edit lock, reloads, and "edinfo" read back.
#include "editor/edinfo.h"
#include "editor/editor_state.h"
#include "editor/editor_widgets.h"
#include "editor/gradients.h"
#include "foundation/vfs/vfs.h"
#include "platform/qorl_window.h"
#include "editor_test_folder.h"
#include "support/fresh_process.h"
#include "support/test_support.h"
#include "terrain/terrain_state.h"
#include "terrain/track_list.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

using edtest::in_track_folder;
using edtest::status;

namespace {

struct editor_fixture {
    terrain_state terrain{};
    qorl_window window;
    editor_fixture()
    {
        terrain_init(&terrain);
        terrain_alloc(&terrain, 2, 8.0f, 0.0f, 10.0f);
        terrain.tile_count = 5;
        window.width = 640;
        window.height = 480;
        editor_init(&window, &terrain);
    }
    ~editor_fixture()
    {
        editor_free();
        terrain_free(&terrain);
    }
    int points() const { return terrain.size * terrain.size; }
    std::vector<float> grid() const { return {terrain.heights, terrain.heights + points()}; }
    // A stroke: every height changes, as a brush marks it.
    void stroke(float v)
    {
        for (int i = 0; i < points(); ++i)
            terrain.heights[i] = v + float(i);
        terrain.change_flags = 7;
        editor_check_stale();
    }
};

}  // namespace

TEST(EditorState, InitUndoRingAndLock)
{
    in_track_folder([](bvtest::TempDir&) {
        bvtest::Problems p;
        editor_fixture f;
        p.check(editor_state.view_x == f.terrain.world_size / 2 && editor_state.view_z == editor_state.view_x,
                "view at the centre");
        p.check(editor_state.tool == 0 && editor_state.selected_gate == -1 && editor_state.selected_gradient == -1 &&
                    editor_state.selected_point == -1 && editor_state.selected_statue == 0 &&
                    editor_state.copied_billboard == -1 && editor_state.line_start[0] < 0,
                "selections after init");
        p.same(status(), "OK", "status after init");
        p.check(f.terrain.change_flags == 0, "unmodified after init");
        p.check(editor_widgets.tile.max == 4, "tile maximum");

        editor_undo();
        p.same(status(), "No more undo levels!", "undo right after loading");

        std::vector<std::vector<float>> states{f.grid()};
        for (int k = 1; k <= 9; ++k) {
            f.stroke(float(k * 100));
            p.same(status(), "Update needed!", "a changed grid makes the snapshot stale");
            take_snapshot();
            states.push_back(f.grid());
        }
        for (int k = 1; k <= 7; ++k) {
            editor_undo();
            p.check(f.grid() == states[9 - k], "undo " + std::to_string(k) + " restores the earlier grid");
            p.same(status(), "Undo!", "undo status");
        }
        editor_undo();
        p.same(status(), "No more undo levels!", "the eighth undo");

        // An uncommitted stroke is recorded first, then stepped back from.
        const std::vector<float> before = f.grid();
        f.stroke(5000.0f);
        editor_undo();
        p.check(f.grid() == before, "undo after an uncommitted stroke");

        f.stroke(7000.0f);
        f.terrain.edit_lock = 1;
        const std::vector<float> locked = f.grid();
        editor_undo();
        p.check(f.grid() == locked, "the edit lock refuses undo");
        f.terrain.edit_lock = 0;

        // A reload keeps the zoom and drops the gradients.
        editor_widgets.zoom.value = 2.5;
        gradient_new();
        editor_init(&f.window, &f.terrain);
        p.check(gradient_count() == 0 && editor_state.selected_gradient == -1, "reload drops gradients");
        p.check(editor_widgets.zoom.value == 2.5, "reload keeps the zoom");
        editor_free();
        editor_free();
        return p.text;
    });
}

// Object edits mark the heights changed without changing them; undo changes them
// without making the snapshot stale, but leaves work to save.
TEST(EditorState, UndoAfterObjectEditsAndUnsavedMark)
{
    in_track_folder([](bvtest::TempDir&) {
        bvtest::Problems p;
        editor_fixture f;
        const std::vector<float> loaded = f.grid();
        for (int k = 0; k < 2; ++k) {   // the same stroke twice: one level
            f.stroke(100.0f);
            take_snapshot();
        }
        gradient_new();
        editor_check_stale();
        take_snapshot();
        gradient_new();
        editor_check_stale();
        f.terrain.change_flags &= ~2;   // saved
        editor_undo();
        p.check(f.grid() == loaded, "the first undo after object edits steps back over the stroke");
        p.check((f.terrain.change_flags & 2) != 0, "an undo leaves work to save");
        editor_check_stale();
        p.same(status(), "Undo!", "no update needed after an undo");
        editor_undo();
        p.same(status(), "No more undo levels!", "the loaded heights are the oldest level");
        return p.text;
    });
}

TEST(EditorState, PointerMapping)
{
    in_track_folder([](bvtest::TempDir&) {
        bvtest::Problems p;
        editor_fixture f;
        editor_widgets.zoom.value = 0;
        f.window.pointer_x = 320 + 240;
        f.window.pointer_y = 0;
        float x = 0, z = 0;
        const float width = screen_to_world(&x, &z);
        p.check(width == f.terrain.world_size, "zoom 0 shows the world size");
        p.check(x == editor_state.view_x + width * 0.5f && z == editor_state.view_z - width * 0.5f,
                "pointer to world divides both axes by the height");
        p.check(pick_radius() == 0.5f && handle_distance() == 4.0f, "small views keep the minimum radius");
        editor_widgets.zoom.value = 200;   // 2^200 overflows: nothing may crash
        p.check(pick_radius() == 0.5f, "an overflowing zoom");
        editor_widgets.zoom.value = 1;
        return p.text;
    });
}

TEST(EditorGradients, NewCopyAndProfile)
{
    in_track_folder([](bvtest::TempDir&) {
        bvtest::Problems p;
        editor_fixture f;
        gradient_copy();
        p.same(status(), "No gradient selected", "copy without a selection");
        gradient_new();
        gradient* g = selected_gradient_record();
        const auto* pts = static_cast<const gradient_point*>(g->points.items);
        p.check(g->points.count == 2 && pts[0].distance == 0 && pts[1].distance == 50 && pts[1].height == 0,
                "a new gradient's profile");
        p.check(f.terrain.change_flags == 7, "a new gradient changes the track");
        gradient_copy();
        p.check(editor_state.selected_gradient == 1, "the copy is selected");
        const gradient* c = selected_gradient_record();
        g = gradient_at(0);
        p.check(c->start_x == g->start_x && c->start_z == g->start_z - 10 && c->end_z == g->end_z - 10,
                "the copy moves 10 units sideways");
        // A zero-length axis is copied in place.
        g->end_x = g->start_x;
        editor_state.selected_gradient = 0;
        gradient_copy();
        c = selected_gradient_record();
        p.check(std::isfinite(c->start_x) && c->start_x == g->start_x && c->start_z == g->start_z,
                "a zero-length axis copies without a move");

        // Line (0,0)-(10,10), curve (10,10)-(20,0), line (20,0)-(30,0).
        editor_state.selected_gradient = 0;
        g = gradient_at(0);
        g->points.count = g->kinds.count = 0;
        gradient_push_point(g, 0, 0, 0);
        gradient_push_point(g, 10, 10, 1);
        gradient_push_point(g, 20, 0, 0);
        gradient_push_point(g, 30, 0, 0);
        p.check(gradient_profile_at(10) == 10 && gradient_profile_at(-5) == 0 && gradient_profile_at(30) == 0 &&
                    gradient_profile_at(99) == 0 && gradient_profile_at(5) == 5,
                "profile values at and between points");
        const float e = 1e-3f;
        const float left = (gradient_profile_at(10) - gradient_profile_at(10 - e)) / e;
        const float right = (gradient_profile_at(10 + e) - gradient_profile_at(10)) / e;
        p.check(std::fabs(left - right) < 0.05f, "a curve meets a line without a kink");
        // Two points at one distance, a lone point, and none.
        g->points.count = g->kinds.count = 0;
        gradient_push_point(g, 5, 1, 1);
        gradient_push_point(g, 5, 3, 1);
        p.check(gradient_slope_at(0) == 0 && gradient_hermite(0, 0.5f) == 1, "a segment of no width");
        g->points.count = g->kinds.count = 1;
        p.check(gradient_profile_at(100) == 1 && gradient_slope_at(0) == 0, "a lone point");
        g->points.count = g->kinds.count = 0;
        p.check(gradient_profile_at(1) == 0, "an empty profile");
        return p.text;
    });
}

TEST(EditorEdinfo, ReadSkipsBadLinesAndRoundTrips)
{
    in_track_folder([](bvtest::TempDir& root) {
        bvtest::Problems p;
        const std::string file = root / "user/Brovanta/tracks/t/edinfo";
        bvtest::write_file(file,
                           "add_point 0 1 2\n"
                           "  add_gradient 1 2 3 4\n"
                           "add_point 2 5 6\n"
                           "add_gradientx 1 2 3 4\n"
                           "add_gradient 1 2 3\n"
                           "add_point 1 7 8\n"
                           "add_point 1 nan 8\n"
                           "add_gradient 10 20 30 inf\n"
                           "add_gradient 9 8 7 6\n");
        editor_fixture f;
        p.check(gradient_count() == 2 && editor_state.selected_gradient == 1, "two gradients, the last selected");
        const gradient* g = gradient_at(0);
        p.check(g->start_x == 1 && g->end_z == 4 && g->points.count == 2, "the first gradient's lines");
        const auto* pts = static_cast<const gradient_point*>(g->points.items);
        const auto* kinds = static_cast<const uint8_t*>(g->kinds.items);
        p.check(pts[0].distance == 5 && kinds[0] == 0 && pts[1].distance == 7 && kinds[1] == 1,
                "kind 2 is a line; points after a short line go to the previous gradient");
        p.check(gradient_at(1)->points.count == 0, "a gradient without points");

        vfs_file* out = vfs_open("@tracks/t/edinfo", "wb");
        p.check(out && edinfo_write(out, nullptr), "written");
        if (out)
            vfs_close(out);
        editor_state.selected_gradient = 0;
        p.check(editor_state.selected_gradient == 0, "a write leaves the selection");
        p.same(bvtest::read_file(file),
               "add_gradient 1.000000 2.000000 3.000000 4.000000\n"
               "add_point 0 5.000000 6.000000\n"
               "add_point 1 7.000000 8.000000\n"
               "add_gradient 9.000000 8.000000 7.000000 6.000000\n",
               "the file");
        editor_init(&f.window, &f.terrain);
        p.check(gradient_count() == 2 && gradient_at(0)->points.count == 2, "read back");

        std::remove(file.c_str());
        editor_init(&f.window, &f.terrain);
        p.check(gradient_count() == 0 && editor_state.selected_gradient == -1, "a missing file");
        return p.text;
    });
}
