// The height brushes tick by tick against results worked out here the plain way (every
// point's distance to the segment, whole-disc means, every smudge sample), the snap tool
// and the tile brush, and undo over real strokes.
#include "editor/editor_keys.h"
#include "editor/editor_state.h"
#include "editor/editor_widgets.h"
#include "editor/gradients.h"
#include "editor/height_brushes.h"
#include "brush_fixture.h"
#include "editor_test_folder.h"
#include "support/fresh_process.h"
#include "gfx/gl_layer.h"
#include "gfx/gl_startup.h"
#include "gfx/gl_table.h"
#include "support/egl_context.h"
#include "terrain/terrain_gl.h"
#include "terrain/terrain_queries.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

using edtest::brush_fixture;
using edtest::in_track_folder;
using edtest::status;

namespace {

constexpr double kEdge = 1e-4;   // a point this close to a boundary may go either way

struct brush_case {
    int tool;
    int submode;
    double strength;
};

double seg_distance(double x0, double z0, double x1, double z1, double px, double pz)
{
    const double dx = x1 - x0, dz = z1 - z0, l2 = dx * dx + dz * dz;
    double t = l2 > 0 ? ((px - x0) * dx + (pz - z0) * dz) / l2 : 0.0;
    t = std::max(0.0, std::min(1.0, t));
    return std::hypot(px - x0 - t * dx, pz - z0 - t * dz);
}

// The test gradient: start (20, 30), end (100, 50), a profile of straight pieces.
struct line_profile {
    std::vector<double> pos{0, 30, 50, 0}, h{2, 6, -3, 1};
    double sx = 20, sz = 30, ex = 100, ez = 50;
    line_profile() { pos[3] = std::hypot(ex - sx, ez - sz); }
    double at(double d) const
    {
        if (d < pos[0])
            return h[0];
        for (size_t i = 0; i + 1 < pos.size(); ++i)
            if (pos[i] <= d && d < pos[i + 1])
                return h[i] + (h[i + 1] - h[i]) * (d - pos[i]) / (pos[i + 1] - pos[i]);
        return h.back();
    }
    double linear(double x, double z) const
    {
        const double ax = ex - sx, az = ez - sz;
        return at(((x - sx) * ax + (z - sz) * az) / std::hypot(ax, az));
    }
    double radial(double x, double z) const
    {
        const double ax = ex - sx, az = ez - sz;
        double vx = x - sx, vz = z - sz;
        const double along = vx * ax + vz * az;
        if (along < 0) {
            const double l2 = ax * ax + az * az;
            vx -= along / l2 * ax;
            vz -= along / l2 * az;
        }
        return at(std::hypot(vx, vz));
    }
    void install() const
    {
        gradient_new();
        gradient* g = selected_gradient_record();
        g->start_x = float(sx);
        g->start_z = float(sz);
        g->end_x = float(ex);
        g->end_z = float(ez);
        g->points.count = g->kinds.count = 0;
        for (size_t i = 0; i < pos.size(); ++i)
            gradient_push_point(g, float(pos[i]), float(h[i]), 0);
    }
};

// One tick's expected heights from the heights before it; fuzzy marks the points near a
// boundary.
std::vector<float> reference_tick(const brush_fixture& f, const std::vector<float>& before,
                                  const std::vector<float>& snap, const brush_case& bc, double x0, double z0,
                                  double x1, double z1, double dir_x, double dir_z, const line_profile& lp,
                                  std::vector<char>& fuzzy)
{
    const int n = f.terrain.size;
    const double c = f.terrain.cell;
    const double R = 8.0, Ri = 4.0, s = std::exp2(bc.strength);
    std::vector<float> out = before;
    fuzzy.assign(before.size(), 0);
    for (int iz = 0; iz < n; ++iz) {
        for (int ix = 0; ix < n; ++ix) {
            const size_t at = size_t(iz) * n + ix;
            const double wx = ix * c, wz = iz * c;
            const double D = seg_distance(x0, z0, x1, z1, wx, wz);
            if (std::fabs(D - R) < kEdge || std::fabs(D - Ri) < kEdge)
                fuzzy[at] = 1;
            if (D >= R)
                continue;
            double K = 1;
            if (D >= Ri) {
                const double u = (D - Ri) / (R - Ri);
                K = 1 - 3 * u * u + 2 * u * u * u;
            }
            const double L = snap[at], H = before[at];
            double v = H, M = 0;
            if (bc.tool <= 3) {
                if (bc.tool == 0)
                    M = s;
                else if (bc.tool == 1)
                    M = -s;
                else if (bc.tool == 2) {
                    const int r = std::max(1, std::min(1024, int(s)));
                    double sum = 0;
                    long count = 0;
                    for (int k = -(r - 1); k <= r - 1; ++k) {
                        const int w = int(std::sqrt(double(r) * r - double(k) * k));
                        for (int i = -w; i <= w; ++i) {
                            const int cx = std::clamp(ix + i, 0, n - 1), cz = std::clamp(iz + k, 0, n - 1);
                            sum += snap[size_t(cz) * n + cx];
                            ++count;
                        }
                    }
                    M = sum / count - L;
                } else {
                    double sum = 0;
                    int count = 0;
                    for (int i = 0; i * c / 2 < s * c; ++i) {
                        const double t = i * c / 2;
                        sum += terrain_interpolate(&f.terrain, snap.data(), float(wx + t * dir_x),
                                                   float(wz + t * dir_z));
                        ++count;
                    }
                    M = sum / count - L;
                }
                if (std::fabs(std::fabs(K * M) - std::fabs(H - L)) < kEdge)
                    fuzzy[at] = 1;
                if (std::fabs(K * M) > std::fabs(H - L))
                    v = L + K * M;
            } else {
                const double G = bc.tool <= 6 ? lp.linear(wx, wz) : lp.radial(wx, wz);
                const double N = (bc.tool == 5 || bc.tool == 7) ? G - L : G;
                if (std::fabs(std::fabs(K * N) - std::fabs(H - L)) < kEdge)
                    fuzzy[at] = 1;
                if (std::fabs(K * N) > std::fabs(H - L)) {
                    const double step = K * N * std::min(1.0, std::max(0.0, s));
                    v = step < 0 ? std::max(H + step, L + K * N) : std::min(H + step, L + K * N);
                }
            }
            if (bc.submode == 1)
                v = std::max(v, L);
            else if (bc.submode == 2)
                v = std::min(v, L);
            out[at] = float(v);
        }
    }
    return out;
}

// Presses the main button for the brush tools as the pointer handling does.
void press(brush_fixture& f, int px, int py)
{
    f.pointer(px, py);
    editor_state.press_ticks = 0;
    editor_state.press_state = 1;
    if (editor_state.tool == 3)
        screen_to_world(&editor_state.smudge_origin[0], &editor_state.smudge_origin[1]);
    if (editor_state.tool <= 4)
        take_snapshot();
}

void release()
{
    editor_state.press_state = 0;
    editor_state.line_start[0] = editor_state.line_start[1] = -1.0f;
    if (editor_state.tool <= 4)
        take_snapshot();
}

}  // namespace

TEST(HeightBrushes, EveryBrushModeAndStrengthMatchesTheReference)
{
    in_track_folder([](bvtest::TempDir&) {
        bvtest::Problems p;
        brush_fixture f;
        const line_profile lp;
        lp.install();
        const int path[][2] = {{200, 230}, {230, 250}, {231, 250}, {262, 256}, {290, 300}};
        const auto base = f.heights();
        for (int tool : {0, 1, 2, 3, 5, 6, 7, 8}) {
            for (int submode = 0; submode < 3; ++submode) {
                for (double strength : {-5.0, 0.0, 3.0, 5.0}) {
                    const brush_case bc{tool, submode, strength};
                    const std::string name = "tool " + std::to_string(tool) + " mode " + std::to_string(submode) +
                                             " strength " + std::to_string(int(strength));
                    memcpy(f.terrain.heights, base.data(), base.size() * sizeof(float));
                    f.commit();
                    editor_state.tool = tool;
                    editor_widgets.submode.selected = submode;
                    editor_widgets.strength.value = strength;
                    press(f, path[0][0], path[0][1]);
                    const auto snap = f.snapshot();
                    double ox = editor_state.smudge_origin[0], oz = editor_state.smudge_origin[1];
                    double lx = -1, lz = -1;
                    int bad = 0;
                    for (const auto& pt : path) {
                        float px, pz;
                        f.pointer(pt[0], pt[1], &px, &pz);
                        const auto before = f.heights();
                        brush_tick();
                        double dir_x = 0, dir_z = 0;
                        bool moves = true;
                        if (tool == 3) {
                            const double dx = ox - px, dz = oz - pz, d = std::hypot(dx, dz);
                            moves = dx * dx + dz * dz >= 1;
                            if (moves) {
                                // The origin is kept as the state keeps it, in floats.
                                ox = float(px + dx / d);
                                oz = float(pz + dz / d);
                                const double ux = ox - px, uz = oz - pz;
                                dir_x = ux / std::hypot(ux, uz);
                                dir_z = uz / std::hypot(ux, uz);
                            }
                        }
                        std::vector<float> want = before;
                        std::vector<char> fuzzy(before.size(), 0);
                        if (moves) {
                            const double x0 = lx < 0 ? px : lx, z0 = lx < 0 ? pz : lz;
                            want = reference_tick(f, before, snap, bc, x0, z0, px, pz, dir_x, dir_z, lp, fuzzy);
                            lx = px;
                            lz = pz;
                        }
                        const auto got = f.heights();
                        for (size_t i = 0; i < got.size(); ++i) {
                            if (fuzzy[i])
                                continue;
                            const bool ok = want[i] == before[i] ? got[i] == before[i]
                                                                 : std::fabs(got[i] - want[i]) <= 1e-5f;
                            if (!ok && bad++ < 3)
                                p.check(false, name + ": point " + std::to_string(i) + " got " +
                                                   std::to_string(got[i]) + " want " + std::to_string(want[i]));
                        }
                        if (submode == 1)
                            p.check(std::equal(got.begin(), got.end(), snap.begin(), std::greater_equal<float>()),
                                    name + ": raise only went below the snapshot");
                    }
                    release();
                }
            }
        }
        return p.text;
    });
}

TEST(HeightBrushes, HoldingStillLineStartEdgesAndLock)
{
    in_track_folder([](bvtest::TempDir&) {
        bvtest::Problems p;
        brush_fixture f;
        const int n = f.terrain.size;
        // Raise, strength 0, focus 1: exactly one unit within R of the path, however long.
        editor_state.tool = 0;
        editor_widgets.focus.value = 1;
        press(f, 240, 240);
        const auto snap = f.snapshot();
        for (int i = 0; i < 20; ++i) {
            f.pointer(240 + (i < 10 ? 0 : i * 3), 240);
            brush_tick();
        }
        float x0, z0, x1, z1;
        f.pointer(240, 240, &x0, &z0);
        f.pointer(240 + 19 * 3, 240, &x1, &z1);
        for (int iz = 0; iz < n; ++iz)
            for (int ix = 0; ix < n; ++ix) {
                const double D = seg_distance(x0, z0, x1, z1, ix * 2.0, iz * 2.0);
                const size_t at = size_t(iz) * n + ix;
                if (std::fabs(D - 8) < kEdge)
                    continue;
                const float want = D < 8 ? float(double(snap[at]) + 1.0) : snap[at];
                p.check(f.terrain.heights[at] == want, "raise by one at " + std::to_string(at));
            }
        release();

        // A smudge press without moving changes nothing.
        editor_state.tool = 3;
        editor_widgets.strength.value = 3;
        const auto before = f.heights();
        press(f, 300, 300);
        for (int i = 0; i < 5; ++i)
            brush_tick();
        p.check(f.heights() == before, "smudge without moving");
        release();

        // "l" then a press: the first segment runs from the line start.
        editor_state.tool = 0;
        editor_widgets.strength.value = 0;
        f.pointer(100, 100, &x0, &z0);
        editor_key('l', 1);
        p.check(editor_state.line_start[0] == x0 && editor_state.line_start[1] == z0, "l sets the line start");
        press(f, 400, 100);
        brush_tick();
        const size_t middle = 12 * size_t(n) + 31;   // (62, 24): one unit off the line, far from its end
        p.check(f.terrain.heights[middle] > editor_state.height_snapshot[middle], "the line is raised in its middle");
        release();

        // Over the edge: only points inside; with the lock no height moves but the marks come.
        editor_state.tool = 1;
        press(f, 0, 0);
        for (int i = 0; i < 4; ++i) {
            f.pointer(i * 8 - 30, -20);
            brush_tick();
        }
        p.check(f.terrain.heights[0] < editor_state.height_snapshot[0], "the corner is lowered");
        release();
        f.terrain.edit_lock = 1;
        const auto locked = f.heights();
        press(f, 256, 256);
        editor_state.snapshot_stale = 0;
        memset(f.terrain.dirty_blocks, 0, 1);
        const int count = f.terrain.height_change_count;
        brush_tick();
        p.check(f.heights() == locked, "locked ground keeps its heights");
        p.same(status(), "Update needed!", "locked status");
        p.check(editor_state.snapshot_stale == 1 && f.terrain.height_change_count == count + 1 &&
                    f.terrain.dirty_blocks[0] != 0,
                "locked stroke still marks");
        return p.text;
    });
}

TEST(HeightBrushes, GradientStrokesConverge)
{
    in_track_folder([](bvtest::TempDir&) {
        bvtest::Problems p;
        brush_fixture f;
        const line_profile lp;
        lp.install();
        const int n = f.terrain.size;
        // Linear paint at strength 5 reaches the profile in one tick inside the focus.
        editor_state.tool = 5;
        editor_widgets.strength.value = 5;
        press(f, 256, 256);
        float x, z;
        f.pointer(256, 256, &x, &z);
        brush_tick();
        release();
        auto inner = [&](auto&& each) {
            for (int iz = 0; iz < n; ++iz)
                for (int ix = 0; ix < n; ++ix)
                    if (std::hypot(ix * 2.0 - x, iz * 2.0 - z) < 4.0 - kEdge)
                        each(size_t(iz) * n + ix, lp.linear(ix * 2.0, iz * 2.0));
        };
        inner([&](size_t at, double g) {
            p.check(std::fabs(f.terrain.heights[at] - g) < 1e-5, "strength 5 reaches the profile");
        });
        // Strength -2: a quarter of the way per tick; a second stroke with no snapshot in
        // between goes on to the same target and stops there.
        f.commit();
        const auto snap = f.snapshot();
        gradient* g = selected_gradient_record();
        for (int i = 0; i < 4; ++i)
            static_cast<gradient_point*>(g->points.items)[i].height += 4.0f;
        editor_widgets.strength.value = -2;
        press(f, 256, 256);
        brush_tick();
        release();
        inner([&](size_t at, double gv) {
            p.check(std::fabs(f.terrain.heights[at] - (snap[at] + 0.25 * (gv + 4 - snap[at]))) < 1e-5,
                    "a quarter of the way");
        });
        for (int stroke = 0; stroke < 2; ++stroke) {
            press(f, 256, 256);
            for (int i = 0; i < 4; ++i)
                brush_tick();
            release();
        }
        inner([&](size_t at, double gv) {
            p.check(std::fabs(f.terrain.heights[at] - (gv + 4)) < 1e-5, "the target, and no further");
        });
        return p.text;
    });
}

TEST(HeightBrushes, SmoothAlongALongRowHasNoDrift)
{
    in_track_folder([](bvtest::TempDir&) {
        bvtest::Problems p;
        brush_fixture f(9, 2.0f);
        // Heights around 1000 make a float running sum drift over a 1025-point row.
        const int n = f.terrain.size;
        for (int i = 0; i < n * n; ++i)
            f.terrain.heights[i] += 1000.0f + float(i % 7) * 0.37f;
        f.commit();
        editor_state.tool = 2;
        editor_widgets.submode.selected = 0;
        const int row = 512;
        brush_stroke(0.0f, row * 2.0f, (n - 1) * 2.0f, row * 2.0f, 3.0f, 2.9f, 32.0f);
        const float* snap = editor_state.height_snapshot;
        for (int ix : {n - 1, n - 2, n - 400}) {
            double sum = 0;
            long count = 0;
            for (int k = -31; k <= 31; ++k) {
                const int w = int(std::sqrt(32.0 * 32 - double(k) * k));
                for (int i = -w; i <= w; ++i) {
                    sum += snap[size_t(row + k) * n + std::clamp(ix + i, 0, n - 1)];
                    ++count;
                }
            }
            const size_t at = size_t(row) * n + ix;
            const double want = sum / count;
            p.check(std::fabs(f.terrain.heights[at] - want) < 1e-4,
                    "disc mean at column " + std::to_string(ix) + ": got " + std::to_string(f.terrain.heights[at]) +
                        " want " + std::to_string(want));
        }
        return p.text;
    });
}

TEST(HeightBrushes, SnapToTheCoarseGrid)
{
    in_track_folder([](bvtest::TempDir&) {
        bvtest::Problems p;
        brush_fixture f;
        const int n = f.terrain.size;
        // Strength -5: g = 1, the cell under the pointer gets its snapshot heights back.
        for (int i = 0; i < n * n; ++i)
            f.terrain.heights[i] += 2.0f;
        editor_state.tool = 4;
        editor_widgets.strength.value = -5;
        editor_state.press_ticks = 0;
        float x, z;
        f.pointer(300, 310, &x, &z);
        snap_tick();
        const int cx = int(x / 2), cz = int(z / 2);
        for (int iz = 0; iz < n; ++iz)
            for (int ix = 0; ix < n; ++ix) {
                const size_t at = size_t(iz) * n + ix;
                const bool cell = ix >= cx && ix <= cx + 1 && iz >= cz && iz <= cz + 1;
                p.check(f.terrain.heights[at] == editor_state.height_snapshot[at] + (cell ? 0.0f : 2.0f),
                        "g = 1 at " + std::to_string(at));
            }
        // Strength 3 on cells of 2: g = 4, the points lie on the coarse triangles.
        editor_widgets.strength.value = 3;
        f.commit();
        const auto snap = f.snapshot();
        for (auto [px, py] : {std::pair{300, 310}, std::pair{150, 410}, std::pair{330, 170}}) {
            editor_state.press_ticks = 0;
            f.pointer(px, py, &x, &z);
            snap_tick();
            const int x0 = int(x / 2) / 4 * 4, z0 = int(z / 2) / 4 * 4;
            auto H = [&](int i, int j) { return double(snap[size_t(z0 + 4 * j) * n + x0 + 4 * i]); };
            for (int iz = z0; iz <= z0 + 4; ++iz)
                for (int ix = x0; ix <= x0 + 4; ++ix) {
                    const double u = (ix - x0) / 4.0, v = (iz - z0) / 4.0;
                    double want;
                    if ((x0 ^ z0) & 4)
                        want = u + v <= 1 ? H(0, 0) + u * (H(1, 0) - H(0, 0)) + v * (H(0, 1) - H(0, 0))
                                          : H(1, 1) + (1 - u) * (H(0, 1) - H(1, 1)) + (1 - v) * (H(1, 0) - H(1, 1));
                    else
                        want = u >= v ? H(0, 0) + u * (H(1, 0) - H(0, 0)) + v * (H(1, 1) - H(1, 0))
                                      : H(0, 0) + v * (H(0, 1) - H(0, 0)) + u * (H(1, 1) - H(0, 1));
                    p.check(std::fabs(f.terrain.heights[size_t(iz) * n + ix] - want) < 1e-5,
                            "coarse point " + std::to_string(ix) + "," + std::to_string(iz) + " in square " +
                                std::to_string(x0) + "," + std::to_string(z0));
                }
        }
        // A held press works on ticks 1, 17 and 33 only.
        editor_state.press_ticks = 0;
        std::vector<int> worked;
        for (int tick = 1; tick <= 40; ++tick) {
            const int count = f.terrain.height_change_count;
            snap_tick();
            if (f.terrain.height_change_count != count)
                worked.push_back(tick);
        }
        p.check(worked == std::vector<int>{1, 17, 33}, "snap cadence");
        return p.text;
    });
}

TEST(HeightBrushes, TilePaintingByCentreDistanceAndCadence)
{
    in_track_folder([](bvtest::TempDir&) {
        bvtest::Problems p;
        brush_fixture f;
        const int width = 1 << f.terrain.n;
        editor_state.tool = 14;
        editor_widgets.tile.value = 1;
        editor_widgets.radius.value = 24;   // 6 units
        std::vector<uint8_t> want(f.terrain.tile_map, f.terrain.tile_map + width * width);
        editor_state.press_ticks = 0;
        const int path[][2] = {{100, 120}, {300, 200}, {420, 460}};
        double lx = -1, lz = -1;
        std::vector<int> worked;
        for (int tick = 1; tick <= 70; ++tick) {
            float x, z;
            const int leg = std::min((tick - 1) / 32, 2);
            f.pointer(path[leg][0], path[leg][1], &x, &z);
            const double sx = editor_state.line_start[0];
            tile_brush_tick();
            if (editor_state.line_start[0] != sx) {
                worked.push_back(tick);
                const double x0 = lx < 0 ? x : lx, z0 = lx < 0 ? z : lz;
                for (int tz = 0; tz < width; ++tz)
                    for (int tx = 0; tx < width; ++tx)
                        if (seg_distance(x0, z0, x, z, (2 * tx + 1) * 2.0, (2 * tz + 1) * 2.0) <= 6.0)
                            want[size_t(tz) * width + tx] = 1;
                lx = x;
                lz = z;
            }
        }
        p.check(worked == std::vector<int>{1, 33, 65}, "tile cadence");
        p.check(std::equal(want.begin(), want.end(), f.terrain.tile_map), "tiles by centre distance");
        p.check(std::count(want.begin(), want.end(), 1) > 20, "a trail of tiles");
        return p.text;
    });
}

TEST(HeightBrushes, UndoOverRealStrokes)
{
    in_track_folder([](bvtest::TempDir&) {
        bvtest::Problems p;
        brush_fixture f;
        editor_state.tool = 0;
        editor_widgets.strength.value = 0;
        std::vector<std::vector<float>> grids{f.heights()};
        for (int s = 0; s < 9; ++s) {
            press(f, 100 + 30 * s, 200);
            for (int i = 0; i < 3; ++i) {
                f.pointer(100 + 30 * s + 5 * i, 200 + 7 * i);
                brush_tick();
            }
            release();
            grids.push_back(f.heights());
        }
        for (int u = 1; u <= 7; ++u) {
            editor_key(8, 1);
            p.check(f.heights() == grids[9 - u], "undo " + std::to_string(u) + " gives the earlier grid");
        }
        editor_key(8, 1);
        p.same(status(), "No more undo levels!", "the eighth undo");
        // A gradient stroke takes no snapshot: it becomes a level at the next "u".
        const line_profile lp;
        lp.install();
        const auto before = f.heights();
        editor_state.tool = 5;
        editor_state.press_ticks = 0;
        f.pointer(256, 256);
        brush_tick();
        release();
        const auto painted = f.heights();
        p.check(painted != before, "the gradient painted");
        editor_key('u', 1);
        editor_state.tool = 0;
        press(f, 300, 300);
        brush_tick();
        release();
        editor_key(8, 1);
        p.check(f.heights() == painted, "undo back to the painted ground");
        editor_key(8, 1);
        p.check(f.heights() == before, "and then to before the gradient stroke");
        return p.text;
    });
}

TEST(HeightBrushes, TileStrokesReachTheTileTextureOnMesa)
{
    in_track_folder([](bvtest::TempDir&) {
        bvtest::Problems p;
        EglContext egl(GlApi::desktop_core);
        if (!egl.ok())
            return "no GL context: " + egl.error() + "\n";
        gl_init(EglContext::load, nullptr);
        brush_fixture f;
        terrain_tilemap_texture_create(&f.terrain);
        const int width = 1 << f.terrain.n;
        editor_state.tool = 14;
        editor_widgets.radius.value = 20;
        int tile = 1;
        for (auto [x0, y0, x1, y1] : {std::array{60, 80, 300, 120}, std::array{400, 400, 500, 260}}) {
            editor_widgets.tile.value = tile++;
            editor_state.press_ticks = 0;
            f.pointer(x0, y0);
            tile_brush_tick();
            for (int i = 1; i < 33; ++i) {
                f.pointer(x0 + (x1 - x0) * i / 32, y0 + (y1 - y0) * i / 32);
                tile_brush_tick();
            }
            release();
        }
        GLint row_length = -1;
        gl.GetIntegerv(GL_UNPACK_ROW_LENGTH, &row_length);
        p.check(row_length == 0, "the row length is put back");
        // The map's bytes arrive as the red channel of an R8 texture.
        GLuint framebuffer = 0;
        bvglGenFramebuffers(1, &framebuffer);
        bvglBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
        bvglFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, f.terrain.tilemap_texture, 0);
        std::vector<uint8_t> pixels(size_t(width) * width * 4);
        bvglPixelStorei(GL_PACK_ALIGNMENT, 1);
        bvglReadPixels(0, 0, width, width, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
        bvglBindFramebuffer(GL_FRAMEBUFFER, 0);
        int differ = 0, painted = 0;
        for (int i = 0; i < width * width; ++i) {
            differ += pixels[size_t(i) * 4] != f.terrain.tile_map[i];
            painted += f.terrain.tile_map[i] != 0;
        }
        p.check(painted > 10 && differ == 0, "texture equals the map: " + std::to_string(differ) + " differ of " +
                                                 std::to_string(painted) + " painted");
        return p.text;
    });
}
