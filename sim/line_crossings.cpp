#include "sim/line_crossings.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

constexpr int kMaxGridSide = 512;

struct extent {
    float x0, z0, x1, z1;
};

// Orientation of c against the directed segment a -> b in the x-z plane.
int orientation(const ai_line_point& a, const ai_line_point& b, const ai_line_point& c)
{
    const double v = (double(b.x) - a.x) * (double(c.z) - a.z) - (double(b.z) - a.z) * (double(c.x) - a.x);
    return v > 0 ? 1 : v < 0 ? -1 : 0;
}

// A segment that can cross another: finite, and not a single point (which has no
// side for anything to lie on).
bool usable(const ai_line_point& a, const ai_line_point& b)
{
    return std::isfinite(a.x) && std::isfinite(a.z) && std::isfinite(b.x) && std::isfinite(b.z) &&
           (a.x != b.x || a.z != b.z);
}

extent segment_extent(const ai_line_point& a, const ai_line_point& b)
{
    return {std::min(a.x, b.x), std::min(a.z, b.z), std::max(a.x, b.x), std::max(a.z, b.z)};
}

bool overlap(const extent& a, const extent& b)
{
    return a.x0 <= b.x1 && b.x0 <= a.x1 && a.z0 <= b.z1 && b.z0 <= a.z1;
}

extent line_extent(const ai_line_point* p, int n)
{
    extent e{INFINITY, INFINITY, -INFINITY, -INFINITY};
    for (int i = 0; i + 1 < n; ++i)
        if (usable(p[i], p[i + 1])) {
            const extent s = segment_extent(p[i], p[i + 1]);
            e = {std::min(e.x0, s.x0), std::min(e.z0, s.z0), std::max(e.x1, s.x1), std::max(e.z1, s.z1)};
        }
    return e;
}

// Cells along one axis. The mapping only has to be monotonic: two segments whose
// extents overlap then share at least one cell, and a crossing needs overlapping extents.
struct axis {
    double low, scale;
    int side;
    int cell(float v) const
    {
        const double c = std::floor((double(v) - low) * scale);
        return c <= 0 ? 0 : c >= side - 1 ? side - 1 : int(c);
    }
};

axis make_axis(float low, float high, int side)
{
    const double width = double(high) - low;
    return {double(low), width > 0 ? side / width : 0.0, side};
}

}  // namespace

bool ai_segments_cross(const ai_line_point& a, const ai_line_point& b, const ai_line_point& c,
                       const ai_line_point& d)
{
    const int o1 = orientation(a, b, c), o2 = orientation(a, b, d);
    const int o3 = orientation(c, d, a), o4 = orientation(c, d, b);
    return o1 * o2 < 0 && o3 * o4 < 0;
}

bool ai_polylines_cross(const ai_line_point* p, int p_count, const ai_line_point* q, int q_count, int64_t* budget)
{
    if (p_count < 2 || q_count < 2 || *budget <= 0)
        return false;
    const extent ep = line_extent(p, p_count), eq = line_extent(q, q_count);
    const extent common{std::max(ep.x0, eq.x0), std::max(ep.z0, eq.z0), std::min(ep.x1, eq.x1),
                        std::min(ep.z1, eq.z1)};
    *budget -= p_count + q_count;
    if (!(common.x0 <= common.x1 && common.z0 <= common.z1) || *budget <= 0)
        return false;

    const int side = std::clamp(int(std::sqrt(double(q_count))), 1, kMaxGridSide);
    const axis ax = make_axis(common.x0, common.x1, side), az = make_axis(common.z0, common.z1, side);
    std::vector<int32_t> start(size_t(side) * size_t(side) + 1, 0);
    auto cells_of = [&](const extent& s, auto&& visit) {
        for (int z = az.cell(s.z0), z1 = az.cell(s.z1); z <= z1; ++z)
            for (int x = ax.cell(s.x0), x1 = ax.cell(s.x1); x <= x1; ++x)
                visit(z * side + x);
    };
    auto q_segment_in_common = [&](int j, extent* s) {
        if (!usable(q[j], q[j + 1]))
            return false;
        *s = segment_extent(q[j], q[j + 1]);
        return overlap(*s, common);
    };

    // The q segments by cell, counted first so that a line of long diagonal segments
    // is given up before its entries are stored.
    int64_t entries = 0;
    extent s;
    for (int j = 0; j + 1 < q_count; ++j)
        if (q_segment_in_common(j, &s))
            entries += int64_t(az.cell(s.z1) - az.cell(s.z0) + 1) * (ax.cell(s.x1) - ax.cell(s.x0) + 1);
    if (entries >= *budget) {
        *budget = 0;
        return false;
    }
    *budget -= entries;
    for (int j = 0; j + 1 < q_count; ++j)
        if (q_segment_in_common(j, &s))
            cells_of(s, [&](int cell) { ++start[size_t(cell) + 1]; });
    for (size_t c = 1; c < start.size(); ++c)
        start[c] += start[c - 1];
    std::vector<int32_t> segments(static_cast<size_t>(entries));
    std::vector<int32_t> fill(start.begin(), start.end() - 1);
    for (int j = 0; j + 1 < q_count; ++j)
        if (q_segment_in_common(j, &s))
            cells_of(s, [&](int cell) { segments[size_t(fill[size_t(cell)]++)] = j; });

    // A q segment in several cells is tested once per p segment.
    std::vector<int32_t> tested_by(size_t(q_count), -1);
    for (int i = 0; i + 1 < p_count; ++i) {
        if (!usable(p[i], p[i + 1]))
            continue;
        const extent ps = segment_extent(p[i], p[i + 1]);
        if (!overlap(ps, common))
            continue;
        bool crossed = false;
        cells_of(ps, [&](int cell) {
            *budget -= 1 + (start[size_t(cell) + 1] - start[size_t(cell)]);
            for (int32_t k = start[size_t(cell)]; k < start[size_t(cell) + 1] && !crossed && *budget > 0; ++k) {
                const int32_t j = segments[size_t(k)];
                if (tested_by[size_t(j)] == i)
                    continue;
                tested_by[size_t(j)] = i;
                crossed = ai_segments_cross(p[i], p[i + 1], q[j], q[j + 1]);
            }
        });
        if (crossed)
            return true;
        if (*budget <= 0)
            return false;
    }
    return false;
}
