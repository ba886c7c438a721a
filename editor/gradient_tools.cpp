#include "editor/gradient_tools.h"

#include "editor/editor_state.h"
#include "editor/editor_widgets.h"
#include "editor/gradients.h"
#include "editor/height_brushes.h"
#include "terrain/terrain_state.h"

#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

constexpr double kRunTolerance = 1.0 / 8192.0;     // 2^-13
constexpr double kThinFirstTolerance = 1.0 / 128.0;   // 2^-7, doubling over the passes
constexpr int kThinPasses = 6;
constexpr double kMostSamples = 1048576.0;         // 2^20

gradient_point* points_of(gradient* g)
{
    return static_cast<gradient_point*>(g->points.items);
}

uint8_t* kinds_of(gradient* g)
{
    return static_cast<uint8_t*>(g->kinds.items);
}

void mark_changed()
{
    if (editor_state.terrain)
        editor_state.terrain->change_flags = 7;
}

bool trivial(gradient* g)
{
    if (g->points.count > 2)
        return false;
    for (int i = 0; i < g->points.count; ++i)
        if (points_of(g)[i].height != 0.0f)
            return false;
    return true;
}

// Takes point i and its kind out of the profile.
void remove_point(gradient* g, int i)
{
    if (i < 0 || i >= g->points.count)
        return;
    gradient_point* p = points_of(g);
    memmove(p + i, p + i + 1, size_t(g->points.count - i - 1) * sizeof *p);
    g->points.count -= 1;
    if (i < g->kinds.count) {
        uint8_t* k = kinds_of(g);
        memmove(k + i, k + i + 1, size_t(g->kinds.count - i - 1));
        g->kinds.count -= 1;
    }
}

double chord(gradient* g, int a, int b)
{
    const gradient_point* p = points_of(g);
    const double w = double(p[b].distance) - p[a].distance;
    if (!(w != 0.0))
        return 0.0;
    return (double(p[b].height) - p[a].height) / w;
}

// A run of three or more points on one straight line, spanning at least 2 sqrt(2) cells,
// becomes its two ends joined by a line; runs are looked for from the far end.
void join_straight_runs(gradient* g, double cell)
{
    int e = g->points.count - 1;
    while (e >= 2) {
        int b = e - 1;
        while (b >= 1 && std::fabs(chord(g, b - 1, b) - chord(g, b, e)) < kRunTolerance)
            --b;
        const double span = double(points_of(g)[e].distance) - points_of(g)[b].distance;
        if (e - b >= 2 && span >= 2.0 * std::sqrt(2.0) * cell) {
            for (int i = e - 1; i > b; --i)
                remove_point(g, i);
            kinds_of(g)[b] = 0;
            e = b;
        } else {
            e -= 1;
        }
    }
}

// Interior points between two curves that lie within the tolerance of the line through
// their neighbours go, over six passes of a doubling tolerance.
void thin_curves(gradient* g)
{
    if (g->points.count < 3)
        return;
    double tolerance = kThinFirstTolerance;
    for (int pass = 0; pass < kThinPasses; ++pass, tolerance *= 2.0) {
        for (int i = g->points.count - 2; i >= 1; --i) {
            const uint8_t* k = kinds_of(g);
            if (k[i - 1] != 1 || k[i] != 1)
                continue;
            const gradient_point* p = points_of(g);
            const double w = double(p[i + 1].distance) - p[i - 1].distance;
            const double t = w != 0.0 ? (double(p[i].distance) - p[i - 1].distance) / w : 0.0;
            const double line = p[i - 1].height + t * (double(p[i + 1].height) - p[i - 1].height);
            if (std::fabs(p[i].height - line) < tolerance)
                remove_point(g, i);
        }
    }
}

float round_to(float v, double granularity)
{
    if (granularity == 0.0)
        return v;
    return float(std::floor(double(v) / granularity + 0.5) * granularity);
}

}  // namespace

void gradient_set_from_terrain()
{
    mark_changed();
    gradient* g = selected_gradient_record();
    const terrain_state* t = editor_state.terrain;
    if (!g || !t)
        return;
    const double ax = double(g->end_x) - g->start_x, az = double(g->end_z) - g->start_z;
    const double length = std::hypot(ax, az);
    const double cell = t->cell;
    if (!std::isfinite(length) || !(cell > 0.0) || std::ceil(length / cell) + 1.0 > kMostSamples)
        return;   // no profile could follow such an axis: keep the one there is
    if (length == 0.0) {
        gradient_reset_profile();
        return;
    }
    // The new profile is built aside, so a refused allocation keeps the old one.
    gradient fresh = *g;
    if (!array_init(&fresh.points, int32_t(sizeof(gradient_point))))
        return;
    if (!array_init(&fresh.kinds, 1)) {
        array_free(&fresh.points);
        return;
    }
    const double ux = ax / length, uz = az / length;
    bool ok = true;
    // Integer steps: a float distance would stop growing on a long enough axis.
    for (int64_t i = 0; ok && double(i) * cell < length; ++i) {
        const double d = double(i) * cell;
        const float h = snapshot_height_at(t, 0, float(g->start_x + d * ux), float(g->start_z + d * uz));
        ok = gradient_push_point(&fresh, float(d), h, 1);
    }
    ok = ok && gradient_push_point(&fresh, float(length), snapshot_height_at(t, 0, g->end_x, g->end_z), 1);
    if (!ok) {
        array_free(&fresh.points);
        array_free(&fresh.kinds);
        return;
    }
    join_straight_runs(&fresh, cell);
    thin_curves(&fresh);
    array_free(&g->points);
    array_free(&g->kinds);
    g->points = fresh.points;
    g->kinds = fresh.kinds;
    editor_state.selected_point = -1;
}

void gradient_place_press()
{
    editor_state_record& e = editor_state;
    const gradient* g = selected_gradient_record();
    if (!g) {
        e.drag_part = 0;
        return;
    }
    float px = 0.0f, pz = 0.0f;
    screen_to_world(&px, &pz);
    const float r = pick_radius();
    auto near = [&](float x, float z) { return std::hypot(x - px, z - pz) < r; };
    if (near(g->start_x, g->start_z)) {
        e.drag_part = 1;
    } else if (near(g->end_x, g->end_z)) {
        e.drag_part = 2;
    } else {
        e.drag_part = 0;
        for (int i = gradient_count() - 1; i >= 0; --i) {
            const gradient* other = gradient_at(i);
            if (near(other->start_x, other->start_z) || near(other->end_x, other->end_z)) {
                e.selected_gradient = i;
                e.selected_point = -1;
                break;
            }
        }
    }
}

void gradient_place_drag()
{
    editor_state_record& e = editor_state;
    gradient* g = selected_gradient_record();
    if (!g || (e.drag_part != 1 && e.drag_part != 2))
        return;
    mark_changed();
    float px = 0.0f, pz = 0.0f;
    screen_to_world(&px, &pz);
    if (!std::isfinite(px) || !std::isfinite(pz))
        return;
    const bool plain = trivial(g);
    if (e.drag_part == 1) {
        if (plain) {
            if (px != g->end_x || pz != g->end_z) {   // never an axis of no length
                g->start_x = px;
                g->start_z = pz;
            }
        } else {
            g->end_x += px - g->start_x;
            g->end_z += pz - g->start_z;
            g->start_x = px;
            g->start_z = pz;
        }
        return;
    }
    const double dx = double(px) - g->start_x, dz = double(pz) - g->start_z;
    const double length = std::hypot(dx, dz);
    if (!(length > 0.0) || !std::isfinite(length))
        return;   // no direction: the end stays where it was
    if (plain) {
        g->end_x = px;
        g->end_z = pz;
        return;
    }
    const double reach = points_of(g)[g->points.count - 1].distance;
    const float ex = float(g->start_x + dx / length * reach);
    const float ez = float(g->start_z + dz / length * reach);
    if ((ex != g->start_x || ez != g->start_z) && std::isfinite(ex) && std::isfinite(ez)) {
        g->end_x = ex;
        g->end_z = ez;
    }
}

void gradient_place_release()
{
    gradient* g = selected_gradient_record();
    if (g && (editor_state.drag_part == 1 || editor_state.drag_part == 2) && trivial(g))
        gradient_reset_profile();
}

void gradient_edit_press()
{
    editor_state_record& e = editor_state;
    e.drag_part = 0;
    gradient* g = selected_gradient_record();
    if (!g || g->points.count == 0)
        return;
    float px = 0.0f, pz = 0.0f;
    screen_to_world(&px, &pz);
    const float r = pick_radius();
    const int n = g->points.count;
    for (int i = 0; i < n; ++i) {
        const gradient_point p = points_of(g)[i];
        if (std::hypot(g->start_x + p.distance - px, g->start_z - p.height - pz) < r) {
            e.selected_point = i;
            e.drag_part = 1;
            editor_widgets.segment_type.selected = i < g->kinds.count ? kinds_of(g)[i] : 0;
            return;
        }
    }
    for (int i = 1; i < n; ++i) {
        const float a = g->start_x + points_of(g)[i - 1].distance;
        const float b = g->start_x + points_of(g)[i].distance;
        if (!(a < px && px < b))
            continue;
        const gradient_point point{px - g->start_x, g->start_z - pz};
        const uint8_t kind = kinds_of(g)[i - 1];
        if (!array_insert_at(&g->points, &point, i))
            return;
        if (!array_insert_at(&g->kinds, &kind, i)) {
            remove_point(g, i);
            return;
        }
        e.selected_point = i;
        e.drag_part = 1;
        editor_widgets.segment_type.selected = kind;
        mark_changed();
        return;
    }
}

void gradient_edit_drag()
{
    editor_state_record& e = editor_state;
    gradient* g = selected_gradient_record();
    if (e.drag_part != 1 || !g)
        return;
    const int n = g->points.count;
    const int i = e.selected_point;
    if (i < 0 || i >= n) {
        e.drag_part = 0;
        return;
    }
    mark_changed();
    float px = 0.0f, pz = 0.0f;
    screen_to_world(&px, &pz);
    const double granularity = editor_widgets.granularity.value;
    const float d = round_to(px - g->start_x, granularity);
    const float h = round_to(g->start_z - pz, granularity);
    if (!std::isfinite(d) || !std::isfinite(h))
        return;
    gradient_point* p = points_of(g);
    if (i == 0 || i == n - 1) {
        p[i].height = h;
        return;
    }
    if (p[i - 1].distance < d && d < p[i + 1].distance) {
        p[i] = {d, h};
        return;
    }
    // Dragged onto or past a neighbour: the point goes.
    remove_point(g, i);
    e.selected_point = -1;
    e.drag_part = 0;
}
