// Gradient values, the placement and profile edit tools, Set From Terrain, and the axes
// of no or absurd length.
#include "editor/editor_state.h"
#include "editor/editor_widgets.h"
#include "editor/gradient_tools.h"
#include "editor/gradients.h"
#include "editor/height_brushes.h"
#include "brush_fixture.h"
#include "editor_test_folder.h"
#include "support/fresh_process.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

using edtest::brush_fixture;
using edtest::in_track_folder;

namespace {

gradient_point* points(gradient* g)
{
    return static_cast<gradient_point*>(g->points.items);
}

uint8_t* kinds(gradient* g)
{
    return static_cast<uint8_t*>(g->kinds.items);
}

// A selected gradient from (sx, sz) to (ex, ez) with the given profile.
gradient* make_gradient(float sx, float sz, float ex, float ez, const std::vector<gradient_point>& profile,
                        const std::vector<int>& segment_kinds)
{
    gradient_new();
    gradient* g = selected_gradient_record();
    g->start_x = sx;
    g->start_z = sz;
    g->end_x = ex;
    g->end_z = ez;
    g->points.count = g->kinds.count = 0;
    for (size_t i = 0; i < profile.size(); ++i)
        gradient_push_point(g, profile[i].distance, profile[i].height, segment_kinds[i]);
    return g;
}

bool near(float a, double b, double tolerance = 1e-5)
{
    return std::fabs(a - b) <= tolerance;
}

}  // namespace

TEST(GradientTools, LinearAndRadialValues)
{
    in_track_folder([](bvtest::TempDir&) {
        bvtest::Problems p;
        brush_fixture f;
        p.check(gradient_linear_value(1, 2) == 0.0f && gradient_radial_value(1, 2) == 0.0f, "no gradient gives 0");
        // Axis from (10, 20) along (3, 4) / 5; profile 2 at 0 rising to 12 at 10, flat after.
        make_gradient(10, 20, 40, 60, {{0, 2}, {10, 12}, {50, 12}}, {0, 0, 0});
        struct {
            float x, z;
            double linear, radial;
        } cases[] = {
            {10 + 3, 20 + 4, 7, 7},                  // 5 along the axis
            {10 + 3 + 8, 20 + 4 - 6, 7, 12},         // 5 along, 10 across: projected 5, radius 11.18
            {10 - 3, 20 - 4, 2, 2},                  // 5 behind the start, on the axis line: h(0)
            {10 - 3 + 4, 20 - 4 - 3, 2, 7},          // 5 behind, 5 across: the band's distance 5
            {10 + 0.8f, 20 - 0.6f, 2, 3},            // beside the start: 0 along, 1 away
        };
        for (const auto& c : cases) {
            const std::string at = std::to_string(c.x) + "," + std::to_string(c.z);
            p.check(near(gradient_linear_value(c.x, c.z), c.linear, 1e-4), "linear at " + at);
            p.check(near(gradient_radial_value(c.x, c.z), std::min(12.0, c.radial), 1e-4), "radial at " + at);
        }
        p.check(near(gradient_radial_value(10 + 3 + 8, 20 + 4 - 6), 12), "circle in front");
        // Behind the start, points on one line parallel to the axis share their value.
        const float behind[] = {gradient_radial_value(10 - 3 + 4, 20 - 4 - 3),
                                gradient_radial_value(10 - 30 + 4, 20 - 40 - 3)};
        p.check(near(behind[0], behind[1], 1e-4), "straight bands behind the start");
        return p.text;
    });
}

TEST(GradientTools, PlacementDragsTurnsAndSelects)
{
    in_track_folder([](bvtest::TempDir&) {
        bvtest::Problems p;
        brush_fixture f;
        editor_state.tool = 9;
        // No gradient selected: a press does nothing.
        f.point_at(64, 64);
        gradient_place_press();
        p.check(gradient_count() == 0 && editor_state.drag_part == 0, "no gradient, nothing");

        // A profiled gradient: its start drags the whole axis.
        gradient* g = make_gradient(40, 40, 70, 40, {{0, 0}, {10, 3}, {30, 0}}, {1, 1, 0});
        f.point_at(40, 40);
        gradient_place_press();
        p.check(editor_state.drag_part == 1, "start handle");
        f.point_at(50, 60);
        gradient_place_drag();
        p.check(g->start_x == 50 && g->start_z == 60 && g->end_x == 80 && g->end_z == 60, "the axis moves whole");
        gradient_place_release();
        p.check(g->points.count == 3, "a profile survives the release");
        // The end handle turns the axis and keeps the profile's length.
        f.point_at(80, 60);
        gradient_place_press();
        p.check(editor_state.drag_part == 2, "end handle");
        f.point_at(50, 100);
        gradient_place_drag();
        p.check(g->start_x == 50 && g->start_z == 60 && near(g->end_x, 50) && near(g->end_z, 90), "turned, length kept");

        // A trivial one: the start alone moves, and the release rebuilds for the new length.
        g = make_gradient(10, 10, 30, 10, {{0, 0}, {20, 0}}, {0, 0});
        f.point_at(10, 10);
        gradient_place_press();
        f.point_at(10, 20);
        gradient_place_drag();
        p.check(g->start_x == 10 && g->start_z == 20 && g->end_x == 30 && g->end_z == 10, "only the start");
        gradient_place_release();
        p.check(g->points.count == 2 && near(points(g)[1].distance, std::hypot(20.0, 10.0)), "rebuilt profile");
        f.point_at(30, 10);
        gradient_place_press();
        f.point_at(10, 40);
        gradient_place_drag();
        p.check(g->end_x == 10 && g->end_z == 40, "the trivial end follows the pointer");
        // Dragged onto its start, the end stays where it was: no axis of no length.
        f.point_at(10, 20);
        gradient_place_drag();
        p.check(g->end_x == 10 && g->end_z == 40, "no axis of no length");

        // A press away from the selected one's handles selects the last gradient near it.
        make_gradient(100, 100, 110, 100, {{0, 0}, {10, 0}}, {0, 0});
        make_gradient(10, 40, 110, 100, {{0, 0}, {10, 0}}, {0, 0});
        editor_state.selected_gradient = 0;
        editor_state.selected_point = 1;
        f.point_at(110, 100);
        gradient_place_press();
        p.check(editor_state.selected_gradient == 3 && editor_state.selected_point == -1 && editor_state.drag_part == 0,
                "the last gradient with an end near");
        return p.text;
    });
}

TEST(GradientTools, ProfileEditInsertsRoundsMovesAndDeletes)
{
    in_track_folder([](bvtest::TempDir&) {
        bvtest::Problems p;
        brush_fixture f;
        editor_state.tool = 10;
        // The profile lies in the map plane at (start x + d, start z - h).
        gradient* g = make_gradient(20, 64, 20, 0, {{0, 0}, {20, 4}, {40, 0}}, {0, 1, 0});
        editor_widgets.granularity.value = 0;
        // A press between points 1 and 2 inserts a curve point.
        f.point_at(50, 62);
        gradient_edit_press();
        p.check(g->points.count == 4 && editor_state.selected_point == 2 && editor_state.drag_part == 1,
                "a point inserted at 2");
        p.check(near(points(g)[2].distance, 30) && near(points(g)[2].height, 2) && kinds(g)[2] == 1,
                "at the pointer, with the split segment's kind");
        p.check(editor_widgets.segment_type.selected == 1, "Segment Type shows it");
        // Granularity 0.5 rounds distance and height.
        editor_widgets.granularity.value = 0.5;
        f.point_at(51.75f, 61.75f);   // (31.75, 2.25) rounds to (32, 2.5)
        gradient_edit_drag();
        p.check(points(g)[2].distance == 32 && points(g)[2].height == 2.5f, "rounded to halves");
        // Past the neighbour: deleted.
        f.point_at(65, 60);
        gradient_edit_drag();
        p.check(g->points.count == 3 && editor_state.selected_point == -1 && editor_state.drag_part == 0,
                "dragged past its neighbour, deleted");
        p.check(kinds(g)[0] == 0 && kinds(g)[1] == 1, "the kinds follow");
        // The first and last points change only their heights.
        editor_widgets.granularity.value = 0;
        f.point_at(60, 64);
        gradient_edit_press();
        p.check(editor_state.selected_point == 2 && editor_widgets.segment_type.selected == 0, "the last point picked");
        f.point_at(70, 60);
        gradient_edit_drag();
        p.check(points(g)[2].distance == 40 && near(points(g)[2].height, 4), "the last point only rises");
        f.point_at(20, 64);
        gradient_edit_press();
        f.point_at(10, 66);
        gradient_edit_drag();
        p.check(points(g)[0].distance == 0 && near(points(g)[0].height, -2), "the first point only sinks");
        // Beyond the profile's ends nothing is added.
        f.point_at(90, 64);
        gradient_edit_press();
        p.check(g->points.count == 3 && editor_state.drag_part == 0, "nothing beyond the end");
        return p.text;
    });
}

TEST(GradientTools, SetFromTerrainFindsRunsAndBends)
{
    in_track_folder([](bvtest::TempDir&) {
        bvtest::Problems p;
        brush_fixture f;
        const int n = f.terrain.size;
        // Flat ground: two points joined by a line.
        for (int i = 0; i < n * n; ++i)
            f.terrain.heights[i] = 3.0f;
        f.commit();
        gradient* g = make_gradient(10, 30, 90, 90, {{0, 0}, {100, 0}}, {0, 0});
        gradient_set_from_terrain();
        p.check(g->points.count == 2 && kinds(g)[0] == 0, "flat: one line");
        p.check(points(g)[0].distance == 0 && near(points(g)[1].distance, 100) && near(points(g)[0].height, 3) &&
                    near(points(g)[1].height, 3),
                "flat: the ends");

        // A ramp, a smooth bend, a plateau along x.
        auto ground = [](double x) {
            if (x < 40)
                return 0.25 * x;
            if (x < 80)
                return 10 + 0.25 * (x - 40) - 0.25 * (x - 40) * (x - 40) / 80;
            return 15.0;
        };
        for (int iz = 0; iz < n; ++iz)
            for (int ix = 0; ix < n; ++ix)
                f.terrain.heights[iz * n + ix] = float(ground(ix * 2.0));
        f.commit();
        g->start_x = 4;
        g->start_z = 64;
        g->end_x = 124;
        g->end_z = 64;
        editor_state.selected_point = 3;
        gradient_set_from_terrain();
        const int count = g->points.count;
        p.check(count >= 4 && count < 20, "a handful of points: " + std::to_string(count));
        p.check(editor_state.selected_point == -1, "no point selected");
        bool rising = true, lines_straight = true, curves_bent = true;
        for (int i = 0; i < count; ++i) {
            const gradient_point a = points(g)[i];
            p.check(near(a.height, ground(4 + a.distance), 1e-4), "on the ground at " + std::to_string(a.distance));
            if (i + 1 == count)
                break;
            const gradient_point b = points(g)[i + 1];
            rising = rising && a.distance < b.distance;
            if (kinds(g)[i] == 1)
                curves_bent = curves_bent && 4 + a.distance >= 38 && 4 + b.distance <= 82;
            else
                lines_straight = lines_straight && (4 + b.distance <= 40 || 4 + a.distance >= 80);
        }
        p.check(rising, "distances in increasing order");
        p.check(lines_straight, "lines only over straight runs");
        p.check(curves_bent, "curves only where the ground bends");
        p.check(kinds(g)[0] == 0 && near(points(g)[1].distance, 36) && kinds(g)[count - 2] == 0 &&
                    near(points(g)[count - 2].distance, 76),
                "the ramp and the plateau are one line each");
        return p.text;
    });
}

TEST(GradientTools, AxesOfNoOrAbsurdLength)
{
    in_track_folder([](bvtest::TempDir&) {
        bvtest::Problems p;
        brush_fixture f;
        // A zero-length axis: linear gives h(0), radial the profile at the distance from the start.
        gradient* g = make_gradient(50, 50, 50, 50, {{0, 5}, {10, 1}}, {0, 0});
        p.check(gradient_linear_value(80, 20) == 5.0f, "linear on no axis is h(0)");
        p.check(near(gradient_radial_value(53, 54), 3), "radial on no axis: distance from the start");
        // The brushes write no NaN.
        editor_state.tool = 5;
        editor_widgets.strength.value = 5;
        editor_state.press_ticks = 0;
        f.point_at(50, 50);
        brush_tick();
        bool finite = true;
        for (int i = 0; i < f.terrain.size * f.terrain.size; ++i)
            finite = finite && std::isfinite(f.terrain.heights[i]);
        p.check(finite && f.terrain.heights[25 * f.terrain.size + 25] == 5.0f, "painted h(0), no NaN");
        // A drag of the end of a profiled gradient onto its start keeps the end.
        g->end_x = 60;
        editor_state.tool = 9;
        f.point_at(60, 50);
        gradient_place_press();
        f.point_at(50, 50);
        gradient_place_drag();
        p.check(g->end_x == 60 && g->end_z == 50, "no direction: the end stays");
        // Set From Terrain on no axis gives the flat profile.
        g->end_x = 50;
        gradient_set_from_terrain();
        p.check(g->points.count == 2 && points(g)[0].height == 0 && points(g)[1].height == 0, "flat profile");
        // An axis of 1e9 (too many samples) or not finite leaves the profile alone.
        g = make_gradient(0, 0, 1e9f, 0, {{0, 1}, {5, 2}, {9, 3}}, {1, 1, 0});
        gradient_set_from_terrain();
        p.check(g->points.count == 3 && points(g)[1].height == 2, "a huge axis leaves the profile");
        g->end_x = INFINITY;
        gradient_set_from_terrain();
        p.check(g->points.count == 3, "an endless axis leaves the profile");
        return p.text;
    });
}
