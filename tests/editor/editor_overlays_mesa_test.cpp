// The tool overlays on the sample track drawn on Mesa: each picture against one drawn
// without the thing looked for, so that only the overlay's own pixels count.
#include "editor_mesa.h"

#include "editor/gradients.h"
#include "sim/shapes.h"
#include "terrain/statues.h"
#include "terrain/terrain_state.h"
#include "terrain/timing_gates.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

using edmesa::frame;
using edmesa::kH;
using edmesa::kW;
using edmesa::Picture;

namespace {

// The pixel of a world point in the current view.
void to_pixel(float x, float z, int* px, int* py)
{
    const float per = float(kH) / editor_view_width();
    *px = kW / 2 + int(std::lround((x - editor_state.view_x) * per));
    *py = kH / 2 + int(std::lround((z - editor_state.view_z) * per));
}

// Pixels within `reach` of (x, y) that pass `test` in `now` and not in `before`.
template <class Test>
int new_pixels(const Picture& before, const Picture& now, int x, int y, int reach, Test test)
{
    int n = 0;
    for (int dy = -reach; dy <= reach; ++dy)
        for (int dx = -reach; dx <= reach; ++dx) {
            const int u = x + dx, v = y + dy;
            if (u < 0 || v < 0 || u >= kW || v >= kH)
                continue;
            n += test(now, u, v) && !test(before, u, v);
        }
    return n;
}

bool white(const Picture& p, int x, int y)
{
    return p.white(x, y);
}

bool black(const Picture& p, int x, int y)
{
    return p.brightness(x, y) < 40;
}

void look_at(float x, float z, double zoom)
{
    editor_state.view_x = x;
    editor_state.view_z = z;
    editor_widgets.zoom.value = zoom;
    edmesa::point_at(kW - 5, kH - 5);   // the brush out of the way
}

}  // namespace

TEST(EditorViewMesa, SampleTrackGatesStatuesGradientsAndCollidable)
{
    edmesa::on_track("tracks/sample", [](const bvtest::TempDir&) {
        bvtest::Problems p;

        // Tool 11: the selected gate's arc turns white, its number is drawn.
        p.check(timing_gates.checkpoint_count > 1, "the sample track has gates");
        const timing_gate g = timing_gates.checkpoints[1];
        look_at(g.x, g.z, 2);
        editor_state.tool = 11;
        editor_state.selected_gate = -1;
        const Picture none = frame("sample_gates_none");
        editor_state.selected_gate = 1;
        const Picture one = frame("sample_gates_selected");
        const float c = std::atan2(g.dx, g.dz) + float(M_PI) / 4;
        int ax, ay;
        to_pixel(g.x + g.length * std::sin(c), g.z + g.length * std::cos(c), &ax, &ay);
        p.check(new_pixels(none, one, ax, ay, 2, white) > 0, "the selected gate's arc is white");
        p.check(new_pixels(one, none, ax, ay, 2, black) > 0, "an unselected gate's arc is black");

        // Tool 13: the selected statue's marker white over black.
        const int32_t s = statue_count() - 1;
        const statue* st = statue_at(s);
        look_at(st->x, st->z, 3);
        editor_state.tool = 13;
        editor_state.selected_statue = -1;
        const Picture plain = frame("sample_statues_none");
        editor_state.selected_statue = s;
        const Picture marked = frame("sample_statues_selected");
        int sx, sy;
        to_pixel(st->x, st->z, &sx, &sy);
        p.check(new_pixels(plain, marked, sx, sy, 4, white) > 0, "the selected statue's marker is white");
        bool finite = true;
        for (int32_t i = 0; i < statue_count(); ++i)
            for (float r : statue_at(i)->rotation)
                finite = finite && std::isfinite(r);
        p.check(finite, "statues drawn from straight above keep finite rotations");

        // "Show Collidable": a black circle round every placed collision sphere.
        int32_t shaped = -1;
        for (int32_t i = 0; i < statue_count() && shaped < 0; ++i)
            if (statue_at(i)->shape && statue_at(i)->shape->sphere_count > 0)
                shaped = i;
        p.check(shaped >= 0, "a statue with a collision shape");
        if (shaped >= 0) {
            statue* t = statue_at(shaped);
            look_at(t->x, t->z, 6);
            // The model would hide the circles inside it, and the ground those below
            // it: drawn without the model, lifted.
            model* mesh = t->mesh;
            t->mesh = nullptr;
            t->height_above_ground += 5;
            place_statue(t);
            editor_state.selected_statue = -1;
            editor_widgets.show_collidable.selected = 0;
            const Picture off = frame("sample_collidable_off");
            editor_widgets.show_collidable.selected = 1;
            const Picture on = frame("sample_collidable_on");
            editor_widgets.show_collidable.selected = 0;
            t->mesh = mesh;
            t->height_above_ground -= 5;
            // The start gates share this shape's instance: placed again where this one stood.
            const float lifted[3] = {t->x, t->y, t->z};
            shape_place(t->shape, lifted, t->rotation);
            int circles = 0;
            for (int k = 0; k < t->shape->sphere_count; ++k) {
                float centre[3], r = 0;
                shape_get_sphere(t->shape, k, centre, &r);
                int found = 0;
                for (int a = 0; a < 8; ++a) {
                    int cx, cy;
                    to_pixel(centre[0] + r * std::sin(float(a) * 0.785f), centre[2] + r * std::cos(float(a) * 0.785f),
                             &cx, &cy);
                    found += new_pixels(off, on, cx, cy, 1, black) > 0;
                }
                circles += found > 0;
            }
            place_statue(t);
            p.check(circles == t->shape->sphere_count,
                    "a black circle per sphere: " + std::to_string(circles) + " of " +
                        std::to_string(t->shape->sphere_count));
        }

        // Tool 9: the selected gradient's axis at alpha 1, the others at 0.25.
        p.check(gradient_count() >= 2, "the sample's edinfo gives two gradients");
        if (gradient_count() >= 1) {
            const gradient* gr = gradient_at(0);
            const float mx = 0.5f * (gr->start_x + gr->end_x), mz = 0.5f * (gr->start_z + gr->end_z);
            look_at(mx, mz, 3);
            editor_state.selected_gradient = 0;
            editor_state.tool = 9;
            const Picture lit = frame("sample_gradient_lit");
            editor_state.selected_gradient = gradient_count() - 1;
            const Picture dim = frame("sample_gradient_dim");
            int x, y;
            to_pixel(mx, mz, &x, &y);
            p.check(new_pixels(dim, lit, x, y, 2, white) > 0, "the lit axis is white");

            // Tool 10: the profile graph's quad and outline from the gradient's start.
            editor_state.selected_gradient = 0;
            editor_state.tool = 9;
            look_at(gr->start_x + 20, gr->start_z - 40, 2);
            const Picture before = frame("sample_profile_none");
            editor_state.tool = 10;
            const Picture graph = frame("sample_profile_graph");
            int qx, qy;
            to_pixel(gr->start_x + 5, gr->start_z - 95, &qx, &qy);
            p.check(graph.brightness(qx, qy) > before.brightness(qx, qy), "the graph's translucent quad");
            const gradient_point* pts = static_cast<const gradient_point*>(gr->points.items);
            const gradient_point last = pts[gr->points.count - 1];
            int ox, oy;
            to_pixel(gr->start_x + last.distance, gr->start_z - last.height * 0.5f, &ox, &oy);
            p.check(new_pixels(before, graph, ox, oy, 2, black) > 0, "the graph's black outline");
        }
        return p.text;
    });
}
