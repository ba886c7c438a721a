#include "editor/height_brushes.h"

#include "editor/editor_state.h"
#include "editor/editor_widgets.h"
#include "editor/gradients.h"
#include "gfx/gl_layer.h"
#include "platform/qorl_window.h"
#include "terrain/terrain_deform.h"
#include "terrain/terrain_queries.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace {

constexpr int kSmoothMaxRadius = 1024;

// The smooth disc's half-widths, worked out once per tick (no allocation per stroke).
int32_t smooth_widths[kSmoothMaxRadius];

struct index_box {
    int32_t x0, z0, x1, z1;
};

double strength_factor()
{
    return std::exp2(editor_widgets.strength.value);
}

int32_t clamp_index(double v, int32_t last)
{
    if (!(v > 0.0))
        return 0;
    return v >= double(last) ? last : int32_t(v);
}

// The height indices from floor((min - R) / c) to ceil((max + R) / c), clamped into 0..last.
index_box segment_box(const terrain_state* t, double x0, double z0, double x1, double z1, double R,
                      int32_t last)
{
    const double c = t->cell;
    return {clamp_index(std::floor((std::min(x0, x1) - R) / c), last),
            clamp_index(std::floor((std::min(z0, z1) - R) / c), last),
            clamp_index(std::ceil((std::max(x0, x1) + R) / c), last),
            clamp_index(std::ceil((std::max(z0, z1) + R) / c), last)};
}

// Distance from (px, pz) to the segment, or to its nearer end.
double segment_distance(double x0, double z0, double x1, double z1, double px, double pz)
{
    const double dx = x1 - x0, dz = z1 - z0;
    const double length2 = dx * dx + dz * dz;
    double t = 0.0;
    if (length2 > 0.0)
        t = std::clamp(((px - x0) * dx + (pz - z0) * dz) / length2, 0.0, 1.0);
    return std::hypot(px - (x0 + t * dx), pz - (z0 + t * dz));
}

void follow_extremes(terrain_state* t, float v)
{
    t->max_height = std::max(t->max_height, v);
    t->min_height = std::min(t->min_height, v);
}

void mark_stroke(terrain_state* t, int32_t x0, int32_t z0, int32_t x1, int32_t z1)
{
    editor_state.status_text = "Update needed!";
    editor_state.snapshot_stale = 1;
    terrain_mark_blocks_dirty(t, x0, z0, x1, z1);
    t->height_change_count += 1;
}

// The smooth brush's disc sum around (ix, iz) over the snapshot; w holds the half-widths.
double disc_sum(const terrain_state* t, const float* snap, int32_t ix, int32_t iz, int v)
{
    const int32_t last = t->size - 1;
    double sum = 0.0;
    for (int k = -(v - 1); k <= v - 1; ++k) {
        const int32_t row = std::clamp(iz + k, 0, last);
        const int w = smooth_widths[std::abs(k)];
        const float* line = snap + size_t(row) * size_t(t->size);
        for (int32_t i = ix - w; i <= ix + w; ++i)
            sum += line[std::clamp(i, 0, last)];
    }
    return sum;
}

// Moves the disc sum from (ix - 1, iz) to (ix, iz): every disc row gains its new right-hand
// column and loses its old left-hand one.
double disc_step(const terrain_state* t, const float* snap, int32_t ix, int32_t iz, int v, double sum)
{
    const int32_t last = t->size - 1;
    for (int k = -(v - 1); k <= v - 1; ++k) {
        const int32_t row = std::clamp(iz + k, 0, last);
        const int w = smooth_widths[std::abs(k)];
        const float* line = snap + size_t(row) * size_t(t->size);
        sum += double(line[std::clamp(ix + w, 0, last)]) - double(line[std::clamp(ix - 1 - w, 0, last)]);
    }
    return sum;
}

// The smudge mean along dir from world (x, z): samples every half cell while t < reach.
double smudge_mean(const terrain_state* t, double x, double z, double dir_x, double dir_z, double reach)
{
    const double half = 0.5 * t->cell;
    double sum = 0.0;
    int count = 0;
    for (int i = 0; double(i) * half < reach; ++i) {
        const double d = double(i) * half;
        sum += snapshot_height_at(t, 0, float(x + d * dir_x), float(z + d * dir_z));
        ++count;
    }
    return sum / count;
}

}  // namespace

float editor_brush_radius()
{
    const int32_t h = editor_state.window ? std::max(editor_state.window->height.load(), 1) : 1;
    return float(editor_widgets.radius.value) * editor_view_width() / float(h);
}

float snapshot_height_at(const terrain_state* terrain, int, float x, float z)
{
    return terrain_interpolate(terrain, editor_state.height_snapshot, x, z);
}

void brush_stroke(float x0, float z0, float x1, float z1, float R, float Ri, float s)
{
    terrain_state* t = editor_state.terrain;
    const float* snap = editor_state.height_snapshot;
    const int tool = editor_state.tool;
    if (!t || !snap || !t->heights || t->size <= 0 || !(tool >= 0 && tool <= 8 && tool != 4))
        return;
    if (!std::isfinite(x0) || !std::isfinite(z0) || !std::isfinite(x1) || !std::isfinite(z1) ||
        !std::isfinite(R) || !std::isfinite(Ri) || !std::isfinite(s))
        return;
    const int32_t last = t->size - 1;
    const index_box box = segment_box(t, x0, z0, x1, z1, R, last);
    const double c = t->cell;

    int v = 1;
    long disc_count = 1;
    if (tool == 2) {
        v = std::clamp(int(std::min(double(s), double(kSmoothMaxRadius))), 1, kSmoothMaxRadius);
        for (int k = 0; k < v; ++k)
            smooth_widths[k] = int(std::sqrt(double(v) * v - double(k) * k));
        disc_count = 0;
        for (int k = -(v - 1); k <= v - 1; ++k)
            disc_count += 2 * smooth_widths[std::abs(k)] + 1;
    }

    // The smudge pulls the ground from the trailing origin towards the pointer.
    double dir_x = 0.0, dir_z = 0.0;
    if (tool == 3) {
        const double dx = double(editor_state.smudge_origin[0]) - x1;
        const double dz = double(editor_state.smudge_origin[1]) - z1;
        const double length = std::hypot(dx, dz);
        if (length > 0.0) {
            dir_x = dx / length;
            dir_z = dz / length;
        }
    }
    const double reach = double(s) * c;
    const double rate = std::clamp(double(s), 0.0, 1.0);
    const int mode = editor_widgets.submode.selected;

    for (int32_t iz = box.z0; iz <= box.z1; ++iz) {
        double sum = 0.0;
        for (int32_t ix = box.x0; ix <= box.x1; ++ix) {
            if (tool == 2)
                sum = ix == box.x0 ? disc_sum(t, snap, ix, iz, v) : disc_step(t, snap, ix, iz, v, sum);
            const double wx = double(ix) * c, wz = double(iz) * c;
            const double D = segment_distance(x0, z0, x1, z1, wx, wz);
            if (D >= R)
                continue;
            double K = 1.0;
            if (D >= Ri) {
                const double u = (D - Ri) / (double(R) - Ri);
                K = 1.0 - 3.0 * u * u + 2.0 * u * u * u;
            }
            const size_t at = size_t(iz) * size_t(t->size) + size_t(ix);
            const double L = snap[at], H = t->heights[at];
            double value = H;
            if (tool <= 3) {
                double M = 0.0;
                if (tool == 0)
                    M = s;
                else if (tool == 1)
                    M = -s;
                else if (tool == 2)
                    M = sum / double(disc_count) - L;
                else if (reach > 0.0)
                    M = smudge_mean(t, wx, wz, dir_x, dir_z, reach) - L;
                if (std::fabs(K * M) > std::fabs(H - L))
                    value = L + K * M;
            } else {
                const double G = tool <= 6 ? gradient_linear_value(float(wx), float(wz))
                                           : gradient_radial_value(float(wx), float(wz));
                const double N = (tool == 5 || tool == 7) ? G - L : G;
                if (std::fabs(K * N) > std::fabs(H - L)) {
                    const double step = K * N * rate;
                    const double target = L + K * N;
                    value = step < 0.0 ? std::max(H + step, target) : std::min(H + step, target);
                }
            }
            if (mode == 1)
                value = std::max(value, L);
            else if (mode == 2)
                value = std::min(value, L);
            // The box is clamped to the grid; the check stays as a guard.
            const bool inside = ix >= 0 && ix <= last && iz >= 0 && iz <= last;
            if (inside && !t->edit_lock && std::isfinite(float(value)) && float(value) != t->heights[at]) {
                t->heights[at] = float(value);
                follow_extremes(t, float(value));
                t->change_flags = 7;
            }
        }
    }
    mark_stroke(t, box.x0, box.z0, box.x1, box.z1);
}

void brush_tick()
{
    editor_state_record& e = editor_state;
    e.press_ticks += 1;
    float px = 0.0f, pz = 0.0f;
    screen_to_world(&px, &pz);
    if (e.tool == 3) {
        const float dx = e.smudge_origin[0] - px, dz = e.smudge_origin[1] - pz;
        const float length2 = dx * dx + dz * dz;
        if (!(length2 >= 1.0f))
            return;
        const float length = std::sqrt(length2);
        e.smudge_origin[0] = px + dx / length;
        e.smudge_origin[1] = pz + dz / length;
    }
    const float x0 = e.line_start[0] < 0.0f ? px : e.line_start[0];
    const float z0 = e.line_start[0] < 0.0f ? pz : e.line_start[1];
    e.line_start[0] = px;
    e.line_start[1] = pz;
    const float R = editor_brush_radius();
    const float Ri = float(editor_widgets.focus.value) * R;
    brush_stroke(x0, z0, px, pz, R, Ri, float(strength_factor()));
}

void snap_tick()
{
    editor_state_record& e = editor_state;
    terrain_state* t = e.terrain;
    e.press_ticks += 1;
    if ((e.press_ticks - 1) % 16 != 0 || !t || !t->heights || !e.height_snapshot || t->size <= 0)
        return;
    const float* snap = e.height_snapshot;
    const double c = t->cell;
    const double s = strength_factor();
    int32_t g = 1;
    if (c < s) {
        g = 2;
        while (double(g) * c < s && g < (1 << 30))
            g *= 2;
    }
    float px = 0.0f, pz = 0.0f;
    screen_to_world(&px, &pz);
    const int32_t last = t->size - 1;
    auto coarse = [&](float w) {
        const double cell = std::floor(double(w) / c);
        if (!(cell > 0.0))
            return int32_t(0);
        const double snapped = std::floor(cell / g) * g;
        return snapped >= double(last) ? last : int32_t(snapped);
    };
    const int32_t x0 = coarse(px), z0 = coarse(pz);
    const int32_t x1 = int32_t(std::min<int64_t>(int64_t(x0) + g, last));
    const int32_t z1 = int32_t(std::min<int64_t>(int64_t(z0) + g, last));
    auto snap_at = [&](int64_t i, int64_t j) {
        i = std::clamp<int64_t>(i * g, 0, last);
        j = std::clamp<int64_t>(j * g, 0, last);
        return snap[size_t(j) * size_t(t->size) + size_t(i)];
    };
    if (!t->edit_lock) {
        for (int32_t iz = z0; iz <= z1; ++iz) {
            for (int32_t ix = x0; ix <= x1; ++ix) {
                // The ground's own triangles on the g-spaced grid: the diagonal follows
                // bit g of (ix XOR iz) of the coarse corners.
                const terrain_triangle tri = terrain_pick_triangle(float(double(ix) / g), float(double(iz) / g));
                const float hp = snap_at(tri.px, tri.pz);
                const float hx = snap_at(tri.qx, tri.pz);
                const float hz = snap_at(tri.px, tri.qz);
                const float value = hp + tri.u * (hx - hp) + tri.v * (hz - hp);
                if (!std::isfinite(value))
                    continue;
                t->heights[size_t(iz) * size_t(t->size) + size_t(ix)] = value;
                follow_extremes(t, value);
                t->change_flags = 7;
            }
        }
    }
    mark_stroke(t, x0 - 1, z0 - 1, x1 + 1, z1 + 1);
}

void tile_brush_tick()
{
    editor_state_record& e = editor_state;
    terrain_state* t = e.terrain;
    e.press_ticks += 1;
    if ((e.press_ticks - 1) % 32 != 0 || !t || !t->tile_map || t->size < 2)
        return;
    float px = 0.0f, pz = 0.0f;
    screen_to_world(&px, &pz);
    const float x0 = e.line_start[0] < 0.0f ? px : e.line_start[0];
    const float z0 = e.line_start[0] < 0.0f ? pz : e.line_start[1];
    e.line_start[0] = px;
    e.line_start[1] = pz;
    const double R = editor_brush_radius();
    if (!std::isfinite(x0) || !std::isfinite(z0) || !std::isfinite(px) || !std::isfinite(pz))
        return;
    const index_box box = segment_box(t, x0, z0, px, pz, R, t->size - 2);
    const int32_t width = 1 << t->n;
    // The tiles whose centre point (2tx + 1, 2tz + 1) lies in the box.
    const int32_t tx0 = box.x0 / 2, tz0 = box.z0 / 2;
    const int32_t tx1 = box.x1 >= 1 ? std::min((box.x1 - 1) / 2, width - 1) : -1;
    const int32_t tz1 = box.z1 >= 1 ? std::min((box.z1 - 1) / 2, width - 1) : -1;
    const uint8_t tile = uint8_t(std::clamp(int(editor_widgets.tile.value), 0, 255));
    const double c = t->cell;
    if (!t->edit_lock) {
        for (int32_t tz = tz0; tz <= tz1; ++tz) {
            for (int32_t tx = tx0; tx <= tx1; ++tx) {
                const double d = segment_distance(x0, z0, px, pz, double(2 * tx + 1) * c, double(2 * tz + 1) * c);
                if (d <= R) {
                    t->tile_map[size_t(tz) * size_t(width) + size_t(tx)] = tile;
                    t->change_flags = 7;
                }
            }
        }
    }
    terrain_mark_region_dirty(t, box.x0, box.z0, box.x1, box.z1);
    if (t->tilemap_texture && tx0 <= tx1 && tz0 <= tz1) {
        bvglBindTexture(GL_TEXTURE_2D, t->tilemap_texture);
        bvglPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        bvglPixelStorei(GL_UNPACK_ROW_LENGTH, width);
        bvglTexSubImage2D(GL_TEXTURE_2D, 0, tx0, tz0, tx1 - tx0 + 1, tz1 - tz0 + 1, GL_RED, GL_UNSIGNED_BYTE,
                          t->tile_map + size_t(tz0) * size_t(width) + size_t(tx0));
        bvglPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
        bvglBindTexture(GL_TEXTURE_2D, 0);
    }
}
