#include "editor/editor_overlays.h"

#include "editor/editor_state.h"
#include "editor/gradients.h"
#include "gfx/gl_layer.h"
#include "gfx/gl_state.h"
#include "gfx/model.h"
#include "terrain/statues.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr float kTurn = float(2.0 * M_PI);
constexpr float kStep = kTurn / 64.0f;
constexpr int32_t kMaxSteps = 4096;

// A marker ring's mid radius and width from its inner and outer radii.
void marker_ring(float z, float inner, float outer)
{
    draw_ring(0.0f, z, 0.5f * (inner + outer), outer - inner);
}

void quad(const float (&c)[4][2])
{
    bvglBegin(GL_QUADS);
    for (const auto& p : c)
        imm_vertex2(p[0], p[1]);
    bvglEnd();
}

void marker(float inner, float outer, float half_bar, const float (&chevron)[4][2])
{
    marker_ring(0.0f, inner, outer);
    marker_ring(-4.0f, inner, outer);
    quad({{-half_bar, -0.5f}, {half_bar, -0.5f}, {half_bar, -3.5f}, {-half_bar, -3.5f}});
    quad(chevron);
    float mirror[4][2];
    // The mirror half: x negated, the order reversed to keep the winding.
    for (int k = 0; k < 4; ++k) {
        mirror[k][0] = -chevron[3 - k][0];
        mirror[k][1] = chevron[3 - k][1];
    }
    quad(mirror);
}

const gradient_point* profile_points(const gradient* g)
{
    return static_cast<const gradient_point*>(g->points.items);
}

}  // namespace

void overlay_colour(float r, float g, float b, float a)
{
    imm_color[0] = r;
    imm_color[1] = g;
    imm_color[2] = b;
    imm_color[3] = a;
}

void imm_vertex2(float x, float z)
{
    bvglVertex3f(x, 0.0f, z);
}

void imm_vertex3(float x, float y, float z)
{
    bvglVertex3f(x, y, z);
}

void draw_ring(float x, float z, float r, float w)
{
    const float inner = r - 0.5f * w, outer = r + 0.5f * w;
    bvglBegin(GL_QUAD_STRIP);
    for (int i = 0; i <= 64; ++i) {
        const float a = float(i) * kStep, s = std::sin(a), c = std::cos(a);
        imm_vertex2(x + inner * s, z + inner * c);
        imm_vertex2(x + outer * s, z + outer * c);
    }
    bvglEnd();
}

void draw_arc(float x, float z, float r, float from, float to)
{
    if (!std::isfinite(from) || !std::isfinite(to))
        return;
    if (to < from)
        to += std::ceil((from - to) / kTurn) * kTurn;
    const int32_t n = std::min(int32_t(std::ceil((to - from) / kStep)), int32_t(64));
    for (int32_t i = 0; i < n; ++i) {
        const float a = from + float(i) * kStep;
        if (a >= to)
            break;
        imm_vertex2(x + r * std::sin(a), z + r * std::cos(a));
    }
    imm_vertex2(x + r * std::sin(to), z + r * std::cos(to));
}

void draw_circle_xz(float x, float y, float z, float r)
{
    bvglBegin(GL_LINE_LOOP);
    for (int i = 0; i < 64; ++i) {
        const float a = float(i) * kStep;
        imm_vertex3(x + r * std::sin(a), y, z + r * std::cos(a));
    }
    bvglEnd();
}

void draw_switch_marker_thick()
{
    marker(0.3125f, 0.6875f, 0.1875f, {{0, -3.234835f}, {0, -3.765165f}, {-1.2651651f, -2.5f}, {-1, -2.234835f}});
}

void draw_switch_marker_thin()
{
    marker(0.375f, 0.625f, 0.125f, {{0, -3.3232234f}, {0, -3.6767766f}, {-1.1767766f, -2.5f}, {-1, -2.3232234f}});
}

void draw_gradient_overlay(int index)
{
    if (index < 0 || index >= gradient_count())
        return;
    const gradient* g = gradient_at(index);
    const float d = std::max(editor_view_width() * 0.01f, 1.0f), h = 0.5f * d;
    const bool selected = index == editor_state.selected_gradient;
    const float alpha = selected && editor_state.tool == 9 ? 1.0f : 0.25f;
    bvglBindTexture(GL_TEXTURE_2D, gl_state.gl_white_texture);
    bvglEnable(GL_BLEND);
    bvglBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);

    overlay_colour(1, 1, 1, alpha);
    bvglBegin(GL_LINES);
    imm_vertex2(g->start_x, g->start_z);
    imm_vertex2(g->end_x, g->end_z);
    imm_vertex2(g->start_x - 2 * d, g->start_z);
    imm_vertex2(g->start_x + 2 * d, g->start_z);
    imm_vertex2(g->start_x, g->start_z - 2 * d);
    imm_vertex2(g->start_x, g->start_z + 2 * d);
    bvglEnd();

    overlay_colour(0, 0, 0, alpha);
    draw_ring(g->start_x, g->start_z, h, 0.375f * d);
    draw_ring(g->end_x, g->end_z, h, 0.375f * d);
    overlay_colour(1, 1, 1, alpha);
    draw_ring(g->start_x, g->start_z, h, 0.25f * d);
    draw_ring(g->end_x, g->end_z, h, 0.25f * d);

    if (selected) {
        overlay_colour(1, 1, 1, 0.25f);
        const int p = editor_state.selected_point;
        float radius = std::hypot(g->end_x - g->start_x, g->end_z - g->start_z);
        if (editor_state.tool == 10 && p >= 0 && p < g->points.count)
            radius = profile_points(g)[p].distance;
        draw_circle_xz(g->start_x, 0.0f, g->start_z, radius);
    }
    bvglDisable(GL_BLEND);
}

int32_t overlay_steps(float length, float* step)
{
    if (!(length > 0.0f) || !std::isfinite(length) || !(*step > 0.0f))
        return 0;
    const double wanted = std::ceil(double(length) / *step);
    if (wanted > kMaxSteps) {
        *step = float(double(length) / kMaxSteps);
        return kMaxSteps;
    }
    return int32_t(wanted);
}

void draw_profile_curve(const gradient_point* points, int i, int n)
{
    if (!points || n <= 0)
        return;
    const bool have_profile = selected_gradient_record() != nullptr;
    if (i >= n - 1) {
        imm_vertex2(points[n - 1].distance, have_profile ? -points[n - 1].height : 0.0f);
        return;
    }
    const float a = points[i].distance, b = points[i + 1].distance, w = b - a;
    float step = 0.25f;
    const int32_t count = overlay_steps(w, &step);
    for (int32_t k = 0; k < count; ++k) {
        const float t = a + float(k) * step;
        if (t >= b)
            break;
        const float value = have_profile ? gradient_hermite(i, (t - a) / w) : 0.0f;
        imm_vertex2(t, std::isfinite(value) ? -value : 0.0f);
    }
}

void draw_statue_wireframes()
{
    for (int32_t i = 0; i < statue_count(); ++i) {
        const statue* s = statue_at(i);
        if (!s->mesh)
            continue;
        bvglBindTexture(GL_TEXTURE_2D, s->texture);
        bvglPushMatrix();
        bvglTranslatef(s->x, s->y, s->z);
        const float* r = s->rotation;
        const float m[16] = {r[0], r[3], r[6], 0, r[1], r[4], r[7], 0, r[2], r[5], r[8], 0, 0, 0, 0, 1};
        bvglMultMatrixf(m);
        overlay_colour(0, 0, 0, 1);
        model_draw_edges(s->mesh);
        bvglPopMatrix();
    }
}
