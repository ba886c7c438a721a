#include "editor/gradients.h"

#include "editor/editor_state.h"
#include "terrain/terrain_state.h"

#include <cmath>
#include <cstdint>

int gradient_count()
{
    return editor_state.gradients.items ? editor_state.gradients.count : 0;
}

gradient* gradient_at(int index)
{
    if (index < 0 || index >= gradient_count())
        return nullptr;
    return static_cast<gradient*>(editor_state.gradients.items) + index;
}

gradient* selected_gradient_record()
{
    return gradient_at(editor_state.selected_gradient);
}

namespace {

void mark_changed()
{
    if (editor_state.terrain)
        editor_state.terrain->change_flags = 7;
}

const gradient_point* points_of(const gradient* g)
{
    return static_cast<const gradient_point*>(g->points.items);
}

const uint8_t* kinds_of(const gradient* g)
{
    return static_cast<const uint8_t*>(g->kinds.items);
}

float h(const gradient* g, int i)
{
    return points_of(g)[i].height;
}

float pos(const gradient* g, int i)
{
    return points_of(g)[i].distance;
}

// The chord slope between points a and b; 0 across a segment of no width.
float chord(const gradient* g, int a, int b)
{
    const float w = pos(g, b) - pos(g, a);
    if (!(w != 0.0f) || !std::isfinite(w))
        return 0.0f;
    const float s = (h(g, b) - h(g, a)) / w;
    return std::isfinite(s) ? s : 0.0f;
}

}  // namespace

int gradient_push_point(gradient* g, float distance, float height, int kind)
{
    const gradient_point p{distance, height};
    const uint8_t k = kind == 1 ? 1 : 0;
    if (!array_push(&g->points, &p))
        return 0;
    if (!array_push(&g->kinds, &k)) {
        g->points.count -= 1;
        return 0;
    }
    return 1;
}

void gradient_new()
{
    gradient g{};
    g.start_x = editor_state.view_x;
    g.start_z = editor_state.view_z;
    g.end_x = editor_state.view_x + 50.0f;
    g.end_z = editor_state.view_z;
    if (!array_init(&g.points, int32_t(sizeof(gradient_point))))
        return;
    if (!array_init(&g.kinds, 1) || !array_push(&editor_state.gradients, &g)) {
        array_free(&g.points);
        array_free(&g.kinds);
        return;
    }
    editor_state.selected_gradient = editor_state.gradients.count - 1;
    gradient_reset_profile();
}

void gradient_reset_profile()
{
    gradient* g = selected_gradient_record();
    if (!g)
        return;
    mark_changed();
    g->points.count = 0;
    g->kinds.count = 0;
    const float length = std::hypot(g->end_x - g->start_x, g->end_z - g->start_z);
    gradient_push_point(g, 0.0f, 0.0f, 0);
    gradient_push_point(g, std::isfinite(length) ? length : 0.0f, 0.0f, 0);
    editor_state.selected_point = -1;
}

void gradient_copy()
{
    const int source = editor_state.selected_gradient;
    if (!gradient_at(source)) {
        editor_state.status_text = "No gradient selected";
        return;
    }
    gradient_new();
    if (editor_state.selected_gradient == source)
        return;   // no room for the copy
    const gradient* from = gradient_at(source);
    gradient* to = selected_gradient_record();
    const float dx = from->end_x - from->start_x;
    const float dz = from->end_z - from->start_z;
    const float length = std::hypot(dx, dz);
    float ox = 0.0f, oz = 0.0f;
    if (length > 0.0f && std::isfinite(length)) {
        ox = 10.0f * dz / length;
        oz = -10.0f * dx / length;
    }
    to->start_x = from->start_x + ox;
    to->start_z = from->start_z + oz;
    to->end_x = from->end_x + ox;
    to->end_z = from->end_z + oz;
    to->points.count = 0;
    to->kinds.count = 0;
    for (int i = 0; i < from->points.count && i < from->kinds.count; ++i)
        gradient_push_point(to, pos(from, i), h(from, i), kinds_of(from)[i]);
    mark_changed();
}

void gradients_clear()
{
    for (int i = 0; i < gradient_count(); ++i) {
        gradient* g = gradient_at(i);
        array_free(&g->points);
        array_free(&g->kinds);
    }
    if (editor_state.gradients.items)
        editor_state.gradients.count = 0;
}

float gradient_slope_at(int i)
{
    const gradient* g = selected_gradient_record();
    if (!g)
        return 0.0f;
    const int n = g->points.count;
    if (n < 2 || i < 0 || i >= n)
        return 0.0f;
    if (i == 0)
        return chord(g, 0, 1);
    if (i == n - 1)
        return chord(g, n - 2, n - 1);
    const uint8_t* kinds = kinds_of(g);
    if (kinds[i - 1] == 1) {
        if (kinds[i] == 1)
            return 0.5f * (chord(g, i - 1, i) + chord(g, i, i + 1));
        return chord(g, i, i + 1);
    }
    return chord(g, i - 1, i);
}

float gradient_hermite(int i, float t)
{
    const gradient* g = selected_gradient_record();
    if (!g || g->points.count == 0)
        return 0.0f;
    const int n = g->points.count;
    if (i < 0)
        i = 0;
    if (i >= n - 1)
        return h(g, n - 1);
    const float h0 = h(g, i), h1 = h(g, i + 1);
    const float w = pos(g, i + 1) - pos(g, i);
    if (!(w > 0.0f) || !std::isfinite(w))
        return h0;
    const float m0 = gradient_slope_at(i) * w;
    const float m1 = gradient_slope_at(i + 1) * w;
    const float v = h0 + m0 * t + (3.0f * (h1 - h0) - 2.0f * m0 - m1) * t * t +
                    (2.0f * (h0 - h1) + m0 + m1) * t * t * t;
    return std::isfinite(v) ? v : h0;
}

float gradient_profile_at(float d)
{
    const gradient* g = selected_gradient_record();
    if (!g || g->points.count == 0)
        return 0.0f;
    const int n = g->points.count;
    if (n < 2 || d < pos(g, 0))
        return h(g, 0);
    for (int i = 0; i + 1 < n; ++i) {
        const float a = pos(g, i), b = pos(g, i + 1);
        if (a <= d && d < b) {
            const float t = (d - a) / (b - a);
            if (kinds_of(g)[i] == 1)
                return gradient_hermite(i, t);
            return h(g, i) + (h(g, i + 1) - h(g, i)) * t;
        }
    }
    return h(g, n - 1);
}

float gradient_linear_value(float x, float z)
{
    const gradient* g = selected_gradient_record();
    if (!g || g->points.count == 0)
        return 0.0f;
    const double ax = double(g->end_x) - g->start_x, az = double(g->end_z) - g->start_z;
    const double length = std::hypot(ax, az);
    // An axis of no length (or none at all) puts every point at distance 0.
    double d = 0.0;
    if (length > 0.0 && std::isfinite(length))
        d = ((double(x) - g->start_x) * ax + (double(z) - g->start_z) * az) / length;
    return gradient_profile_at(std::isfinite(d) ? float(d) : 0.0f);
}

float gradient_radial_value(float x, float z)
{
    const gradient* g = selected_gradient_record();
    if (!g || g->points.count == 0)
        return 0.0f;
    const double ax = double(g->end_x) - g->start_x, az = double(g->end_z) - g->start_z;
    double vx = double(x) - g->start_x, vz = double(z) - g->start_z;
    const double along = vx * ax + vz * az;
    const double length2 = ax * ax + az * az;
    // Behind the start the distance is the one from the axis line: straight bands.
    if (along < 0.0 && length2 > 0.0 && std::isfinite(length2)) {
        vx -= along / length2 * ax;
        vz -= along / length2 * az;
    }
    const double d = std::hypot(vx, vz);
    return gradient_profile_at(std::isfinite(d) ? float(d) : 0.0f);
}
