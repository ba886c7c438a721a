#include "sim/autopilot_plan.h"

#include "gfx/texture_settings.h"
#include "platform/qorl_log.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

const autopilot_personality autopilot_personalities[autopilot_personality_count] = {
    {"empty", 0, 0, 0.0f, 0.0f, 0.0f, 0.0f},
    {"ostro", 0, 0, 1.0f, 0.2f, 0.4f, 0.0f},
    {"vardle", 2, 1, 10.0f, 0.2f, 0.4f, 0.0f},
    {"sollo", 1, 0, 10.0f, 0.0f, 0.1f, 0.0f},
    {"tester", 3, 3, 1.0f, 0.2f, 0.4f, 0.0f},
};

int autopilot_personality_id(const char* name)
{
    for (int id = 1; id < autopilot_personality_count; ++id)
        if (name && std::strcmp(name, autopilot_personalities[id].name) == 0)
            return id;
    qorl_log("auto pilot personality '%s' not found\n", name ? name : "");
    return 1;
}

int64_t autopilot_line_cost(const ai_line& line, int mode)
{
    const int64_t t = line.tested, f = line.failures;
    if (mode == 3) {
        if (t + f > 5 && 4 * t < f)
            return 100000;
        if (t + 4 * f == 0)
            return 0;
        int bits = 0;
        for (uint64_t v = uint64_t(t + 4 * f); v; v >>= 1)
            ++bits;
        return int64_t(bits) * 1000 + 4000;
    }
    if ((mode == 2 && t <= 0) || (mode != 2 && t < 5))
        return 1000000;
    const double weight = mode == 1 ? 8.0 / 7.0 : mode == 2 ? 4.0 : 1.0;
    const double share = std::min(double(f) * weight / double(t + f), 1.0);
    return int64_t(share * 640.0) + int64_t(line.segment_time_sum) / t;
}

void ai_circle_xz(const ai_line_point& a, const ai_line_point& b, const ai_line_point& c, double* cx, double* cz)
{
    // Perpendicular bisectors of ab and bc: 2(b - a).p = |b|^2 - |a|^2, same for bc.
    const double ax = a.x, az = a.z, bx = b.x, bz = b.z, qx = c.x, qz = c.z;
    const double a1 = 2 * (bx - ax), b1 = 2 * (bz - az), c1 = bx * bx + bz * bz - ax * ax - az * az;
    const double a2 = 2 * (qx - bx), b2 = 2 * (qz - bz), c2 = qx * qx + qz * qz - bx * bx - bz * bz;
    const double det = a1 * b2 - a2 * b1;
    if (std::fabs(det) > 1e-6) {
        *cx = (c1 * b2 - c2 * b1) / det;
        *cz = (a1 * c2 - a2 * c1) / det;
        return;
    }
    const double dx = qx - bx, dz = qz - bz;
    const double length = std::sqrt(dx * dx + dz * dz);
    const double ux = length > 0 ? -dz / length : 0.0, uz = length > 0 ? dx / length : 0.0;
    *cx = (bx + qx) / 2 + ux * 1000000.0;
    *cz = (bz + qz) / 2 + uz * 1000000.0;
}

bool autopilot_transition_allowed(const ai_line& from, const ai_line& to)
{
    if (!ai_line_used(from) || !ai_line_used(to) || from.point_count < 3 || to.point_count < 2)
        return false;
    const ai_line_point* p = from.points + from.point_count - 3;
    double cx, cz;
    ai_circle_xz(p[0], p[1], p[2], &cx, &cz);
    auto distance = [&](const ai_line_point& q) { return std::hypot(double(q.x) - cx, double(q.z) - cz); };
    const double r = distance(p[2]);
    const double d1 = distance(to.points[0]), d2 = distance(to.points[1]);
    return std::fabs(p[2].speed) <= std::fabs(to.points[0].speed) + 15.0f && d1 >= std::max(r - 2.5, 0.0) &&
           d1 <= r + 2.5 && std::fabs(d2 - d1) <= 2.0;
}

namespace {

constexpr int N = ai_lines_per_table;
constexpr uint8_t no_predecessor = N;

// The programme over segments first .. first + count - 1 (mode m), per start line a
// of the first segment: best[a][j] is the least cost of riding from a to line j of
// the segment after the range; pred[step][a][j] the line of segment first + step
// that leads to j.
struct route_table {
    int first = 0;
    int count = 0;
    int64_t best[N][N];
    std::vector<uint8_t> pred;   // count x N x N

    uint8_t& predecessor(int step, int a, int j) { return pred[(size_t(step) * N + a) * N + j]; }
};

const ai_line_table& table_of(int segment)
{
    return ai_lines.tables[ai_table_of_segment(segment)];
}

void run_programme(route_table& rt, int first, int count, int mode)
{
    rt.first = first;
    rt.count = count;
    rt.pred.assign(size_t(count) * N * N, no_predecessor);
    bool allowed[N][N];
    auto fill_allowed = [&](const ai_line_table& from, const ai_line_table& to) {
        for (int i = 0; i < N; ++i)
            for (int j = 0; j < N; ++j)
                allowed[i][j] = autopilot_transition_allowed(from.lines[i], to.lines[j]);
    };
    // The segment after step's; past the range's end the table mapping wraps a
    // normal lap onto its own first segment.
    auto next_table = [&](int step) -> const ai_line_table& { return table_of(first + step + 1); };

    const ai_line_table& start = table_of(first);
    fill_allowed(start, next_table(0));
    for (int a = 0; a < N; ++a) {
        const int64_t cost = autopilot_line_cost(start.lines[a], mode);
        for (int j = 0; j < N; ++j) {
            rt.best[a][j] = allowed[a][j] ? cost : autopilot_no_route;
            if (allowed[a][j])
                rt.predecessor(0, a, j) = uint8_t(a);
        }
    }
    for (int step = 1; step < count; ++step) {
        const ai_line_table& here = table_of(first + step);
        fill_allowed(here, next_table(step));
        int64_t cost[N];
        for (int x = 0; x < N; ++x)
            cost[x] = autopilot_line_cost(here.lines[x], mode);
        int64_t next[N][N];
        for (int a = 0; a < N; ++a)
            for (int j = 0; j < N; ++j) {
                int64_t least = autopilot_no_route;
                uint8_t arg = no_predecessor;
                for (int x = 0; x < N; ++x)
                    if (allowed[x][j] && (arg == no_predecessor || cost[x] + rt.best[a][x] < least)) {
                        least = cost[x] + rt.best[a][x];
                        arg = uint8_t(x);
                    }
                next[a][j] = least;
                rt.predecessor(step, a, j) = arg;
            }
        std::memcpy(rt.best, next, sizeof next);
    }
}

// Walks back from line `end` of the segment after the range, start line a, and
// writes each segment's planned line id (lines with at least 5 tests only).
void fill_plan(route_table& rt, int a, int end, int32_t* plan)
{
    int line = end;
    for (int step = rt.count - 1; step >= 0; --step) {
        line = line == no_predecessor ? no_predecessor : rt.predecessor(step, a, line);
        const int table = ai_table_of_segment(rt.first + step);
        plan[table] = 0;
        if (line != no_predecessor) {
            const ai_line& chosen = ai_lines.tables[table].lines[line];
            plan[table] = chosen.tested >= 5 ? chosen.line_id : 0;
        }
    }
}

}  // namespace

void autopilot_line_weights(int segment, float weights[ai_lines_per_table], int mode)
{
    for (int a = 0; a < N; ++a)
        weights[a] = 1.0f;
    if (!ai_lines_exist() || segment < 0)
        return;
    auto rt = std::make_unique<route_table>();
    run_programme(*rt, segment, 8, mode);
    int64_t least[N];
    int64_t overall = 0;
    for (int a = 0; a < N; ++a) {
        least[a] = *std::min_element(rt->best[a], rt->best[a] + N);
        overall = a == 0 ? least[a] : std::min(overall, least[a]);
    }
    for (int a = 0; a < N; ++a)
        weights[a] = least[a] <= 0 ? 1.0f : float(double(overall) / double(least[a]));
}

void autopilot_plan_lap(int32_t* plan, int mode, int64_t* first_lap_cost, int64_t* normal_lap_cost)
{
    if (!ai_lines_exist() || !plan)
        return;
    auto rt = std::make_unique<route_table>();
    const int s1 = ai_lines.first_lap_segments, sn = ai_lines.normal_lap_segments;

    run_programme(*rt, s1, sn, mode);
    int d = 0;
    for (int a = 1; a < N; ++a)
        if (rt->best[a][a] < rt->best[d][d])
            d = a;
    const int64_t normal = rt->best[d][d];
    fill_plan(*rt, d, d, plan);

    run_programme(*rt, 0, s1, mode);
    int h = 0;
    for (int a = 1; a < N; ++a)
        if (rt->best[a][d] < rt->best[h][d])
            h = a;
    const int64_t first = rt->best[h][d];
    fill_plan(*rt, h, d, plan);

    if (verbose_level) {
        qorl_log("First lap: %f\n", double(first) / 128.0);
        qorl_log("Normal lap: %f\n", double(normal) / 128.0);
    }
    if (first_lap_cost)
        *first_lap_cost = first;
    if (normal_lap_cost)
        *normal_lap_cost = normal;
}

void autopilot_plan_laps()
{
    if (!ai_lines_exist())
        return;
    for (int mode = 0; mode < ai_lap_plan_modes; ++mode)
        autopilot_plan_lap(ai_lap_plan(mode), mode);
}
