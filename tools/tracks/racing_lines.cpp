#include "racing_lines.h"

#include "sim/ai_lines_rules.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double tick = 1.0 / 128;
constexpr float rest_height = 2.0f;   // frame above the wheel contacts
constexpr float accelerate = 12.0f;   // ft/s^2 out of turns
constexpr float launch = 20.0f;       // ft/s^2 off the start, full throttle on packed dirt
constexpr float brake = 12.0f;   // what an automatic rider brakes at with room to spare
constexpr float gravity = 32.0f;
constexpr float airborne_from = 1.0f;   // feet of air that make a jump of a take-off
constexpr float landing_slope = -0.15f; // the ground falls at least this much where a jump lands
constexpr float landing_room = 12.0f;   // and still falls this far past it (a bike flies a little long)
constexpr float merge_length = 150.0f;  // feet from the start slot into the rider's own lane
constexpr float rough_stretch = 30.0f;  // take-offs closer than this make one rough stretch
constexpr float rough_speed_share = 0.8f;  // of its slowest crest's speed, so the bike stays on the ground
constexpr float run_up_seconds = 3.0f;  // before a take-off a rider holds its speed and no longer brakes
constexpr float run_up_margin = 2.0f;   // ft/s: and runs up this much faster than the line asks

// The ground the rider rides along the centreline (its lane beside it), and the
// flights it makes off jumps at the speeds it plans.
struct lap_ground {
    std::vector<float> height;   // per centreline sample
    float spacing = 1;           // feet between samples

    size_t count() const { return height.size(); }
    float at(size_t i) const { return height[i % count()]; }
    float slope_behind(size_t i) const { return (at(i) - at(i + count() - 2)) / (2 * spacing); }
    float slope_at(size_t i) const { return (at(i + 1) - at(i + count() - 1)) / (2 * spacing); }
};

struct flight {
    size_t landing = 0;          // samples after the take-off
    float air = 0;               // highest clearance over the ground
    std::vector<float> y;        // the rider's path height per sample of the flight
};

// A ballistic flight off sample i at speed v along the ground's slope there.
flight fly(const lap_ground& g, size_t i, float v)
{
    flight f;
    const float slope = g.slope_behind(i);
    const float horizontal = std::max(v / std::sqrt(1 + slope * slope), 0.5f);
    const size_t most = std::min(g.count() - 1, size_t(400 / g.spacing));
    for (size_t k = 1; k <= most; ++k) {
        const float d = float(k) * g.spacing;
        const float y = g.at(i) + slope * d - gravity * d * d / (2 * horizontal * horizontal);
        if (y <= g.at(i + k)) {
            f.landing = k;
            return f;
        }
        f.air = std::max(f.air, y - g.at(i + k));
        f.y.push_back(y);
    }
    f.landing = most;
    return f;
}

// A flight worth the name that comes down well up a falling slope (the far side of a
// table, a double's landing), not onto flat ground, a face or the next whoop.
bool lands_well(const lap_ground& g, size_t i, const flight& f)
{
    const size_t room = size_t(std::lround(landing_room / g.spacing));
    return f.air < airborne_from ||
           (g.slope_at(i + f.landing) <= landing_slope && g.slope_at(i + f.landing + room) <= landing_slope);
}

void accelerate_and_brake(const std::vector<centre_sample>& line, std::vector<float>& v)
{
    const size_t n = line.size();
    for (int pass = 0; pass < 2; ++pass)
        for (size_t step = 0; step < 2 * n; ++step) {
            const size_t i = step % n, next = (i + 1) % n;
            const float ds = std::max(line[next].s - line[i].s, 0.5f);
            v[next] = std::min(v[next], std::sqrt(v[i] * v[i] + 2 * accelerate * ds));
            const size_t j = (2 * n - step) % n, before = (j + n - 1) % n;
            v[before] = std::min(v[before], std::sqrt(v[j] * v[j] + 2 * brake * ds));
        }
}

// The speed the rider may have at every centreline sample: the turn's limit, then
// what it can reach by accelerating forwards and braking backwards round the loop.
// At every take-off it rides no faster than lands it on the jump's far slope, as a
// rider picks the speed for a jump; a jump it cannot land well it takes as it comes.
std::vector<float> speed_profile(const std::vector<centre_sample>& line, const lines_rider& rider,
                                 const lap_ground& g)
{
    const size_t n = line.size();
    std::vector<float> v(n);
    for (size_t i = 0; i < n; ++i) {
        const float k = std::fabs(line[i].curvature);
        v[i] = k > 1e-6f ? std::min(rider.top_speed, std::sqrt(rider.grip / k)) : rider.top_speed;
    }
    accelerate_and_brake(line, v);
    std::vector<size_t> held;   // take-offs whose speed the landing decided
    for (int round = 0; round < 3; ++round) {
        held.clear();
        for (size_t i = 0; i < n;) {
            const flight f = fly(g, i, v[i]);
            if (f.air < airborne_from) {
                ++i;
                continue;
            }
            for (float u = v[i]; u > 1; u -= 0.5f)
                if (lands_well(g, i, fly(g, i, u))) {
                    v[i] = std::min(v[i], u);
                    held.push_back(i);
                    break;
                }
            i += std::max<size_t>(fly(g, i, v[i]).landing, 1);
        }
        // Through whoops a rider rolls at one steady speed, below the slowest crest's,
        // rather than braking for every crest and opening up between them: a bike
        // bucked about at crest speed lands on one wheel and tips over.
        const size_t close = size_t(std::lround(rough_stretch / g.spacing));
        for (size_t k = 0; k + 1 < held.size();) {
            size_t last = k;
            float slowest = v[held[k]];
            while (last + 1 < held.size() && held[last + 1] - held[last] <= close)
                slowest = std::min(slowest, v[held[++last]]);
            for (size_t i = held[k]; last > k && i <= held[last]; ++i)
                v[i] = std::min(v[i], slowest * rough_speed_share);
            k = last + 1;
        }
        accelerate_and_brake(line, v);
    }
    // The jump's speed is settled before the run-up: in its last seconds a rider
    // opens up rather than brakes, so a line still slowing there sends it long.
    const std::vector<float> settled = v;
    for (size_t i : held) {
        if (fly(g, i, settled[i]).air < airborne_from)
            continue;   // rolled over, not jumped
        const float run_up = std::max(settled[i] - run_up_margin, 1.0f);
        float back = 0;
        for (size_t j = (i + n - 1) % n; j != i && back < run_up_seconds * settled[i]; j = (j + n - 1) % n) {
            back += std::max(line[(j + 1) % n].s - line[j].s, 0.5f);
            if (!std::binary_search(held.begin(), held.end(), j))
                v[j] = std::min(v[j], run_up);
        }
    }
    accelerate_and_brake(line, v);
    return v;
}

// Where the rider is in the air: per sample the height of its path, NaN on the ground.
std::vector<float> flights(const lap_ground& g, const std::vector<float>& v)
{
    const size_t n = g.count();
    std::vector<float> air(n, std::numeric_limits<float>::quiet_NaN());
    for (size_t i = 0; i < n;) {
        const flight f = fly(g, i, v[i]);
        if (f.air < airborne_from) {
            ++i;
            continue;
        }
        for (size_t k = 0; k < f.y.size(); ++k)
            air[(i + 1 + k) % n] = f.y[k];
        i += std::max<size_t>(f.landing, 1);
    }
    return air;
}

struct place {
    ai_line_point point;
    float speed;
};

// Where the rider is after `distance` feet from the course's start spot.
struct course_walker {
    const lines_course& course;
    const lines_rider& rider;
    std::vector<float> limit;
    std::vector<float> air;   // the path's height in flight, NaN on the ground
    float length;

    float lap_s(double distance) const
    {
        double s = std::fmod(double(course.start_s) + distance, double(length));
        return float(s < 0 ? s + length : s);
    }
    size_t index_at(float s) const
    {
        auto it = std::lower_bound(course.centreline.begin(), course.centreline.end(), s,
                                   [](const centre_sample& c, float value) { return c.s < value; });
        return it == course.centreline.end() ? 0 : size_t(it - course.centreline.begin());
    }
    place at(double distance, float launch_speed) const
    {
        const size_t i = index_at(lap_s(distance));
        const centre_sample& c = course.centreline[i];
        const float v = std::min(limit[i], launch_speed);
        const float merged = std::clamp(float(distance) / merge_length, 0.0f, 1.0f);
        const float lane = rider.start_lane + (rider.lane - rider.start_lane) * merged * merged * (3 - 2 * merged);
        const float x = c.x + c.nx * lane, z = c.z + c.nz * lane;
        const float lean = -std::atan(v * v * c.curvature / 32.0f);
        // In flight the speed carries the sign of both wheels off the ground.
        if (!std::isnan(air[i]))
            return {{x, air[i] + rest_height, z, -std::max(v, 1.0f), lean}, v};
        return {{x, course.ground(x, z) + rest_height, z, v, lean}, v};
    }
};

int switch_points_before(const lines_course& c, int position)
{
    return ai_segment_of_position_in(c.first_lap.data(), int(c.first_lap.size()), c.normal_lap.data(),
                                     int(c.normal_lap.size()), position);
}

bool is_switch_point(const lines_course& c, int position)
{
    return switch_points_before(c, position + 1) > switch_points_before(c, position);
}

}  // namespace

float arclength_near(const std::vector<centre_sample>& line, float x, float z)
{
    const centre_sample* best = &line.front();
    for (const centre_sample& s : line)
        if (std::hypot(s.x - x, s.z - z) < std::hypot(best->x - x, best->z - z))
            best = &s;
    return best->s;
}

int ride_racing_line(const lines_course& course, const lines_rider& rider)
{
    const int F = int(course.first_lap.size()), L = int(course.normal_lap.size());
    if (course.centreline.size() < 3 || F < 1 || L < 1 || int(course.position_s.size()) < F + L)
        return 0;
    const std::vector<centre_sample>& line = course.centreline;
    lap_ground g;
    for (const centre_sample& c : line)
        g.height.push_back(course.ground(c.x + c.nx * rider.lane, c.z + c.nz * rider.lane));
    g.spacing = std::max((line.back().s - line.front().s) / float(line.size() - 1), 0.1f);
    course_walker walk{course, rider, speed_profile(line, rider, g), {}, 0};
    walk.air = flights(g, walk.limit);
    walk.length = course.centreline.back().s + (course.centreline.back().s - course.centreline[course.centreline.size() - 2].s);

    // Distance from the start spot to every timing position of the ride, in order:
    // each lies ahead of the previous one by less than a lap.
    const int positions = F + 3 * L;
    std::vector<double> reached_at(size_t(positions) + 1);
    double previous_s = course.start_s, travelled = 0;
    for (int p = 0; p < positions; ++p) {
        const float s = course.position_s[size_t(p < F ? p : F + (p - F) % L)];
        double ahead = std::fmod(double(s) - previous_s + walk.length, double(walk.length));
        if (ahead < 1.0 && p > 0)
            ahead += walk.length;
        travelled += ahead;
        reached_at[size_t(p)] = travelled;
        previous_s = s;
    }

    std::vector<ai_line_point> buffer[2];
    std::vector<int64_t> gate_tick(size_t(positions), -1);
    int position = 0, stored = 0;
    double distance = 0, launch_speed = 0;
    for (int64_t now = 0; position < positions; ++now) {
        const place here = walk.at(distance, float(launch_speed));
        if (now % 32 == 0)
            buffer[switch_points_before(course, position) % 2].push_back(here.point);
        launch_speed = std::min(launch_speed + launch * tick, 1e9);
        distance += double(std::max(here.speed, 1.0f)) * tick;
        if (distance < reached_at[size_t(position)])
            continue;
        const int c = position;
        gate_tick[size_t(c)] = now;
        ++position;
        if (!is_switch_point(course, c))
            continue;
        // The same offer a human rider's crossing makes: segment Q - 1 goes to its
        // table with its own time and the time to the end of the following segment.
        const int Q = switch_points_before(course, c);
        if (Q > 0) {
            int b[3] = {-1, -1, c};
            for (int p = c - 1, k = 1; p >= 0 && k >= 0; --p)
                if (is_switch_point(course, p))
                    b[k--] = p;
            const int64_t T0 = b[0] < 0 ? 0 : gate_tick[size_t(b[0])];
            const int64_t T1 = b[1] < 0 ? 0 : gate_tick[size_t(b[1])];
            const std::vector<ai_line_point>& done = buffer[(Q - 1) % 2];
            if (ai_lines_offer(ai_table_of_segment(Q - 1), done.data(), int(done.size()), false, int32_t(T1 - T0),
                               int32_t(now - T0)) == ai_offer_result::stored)
                ++stored;
        }
        buffer[(Q + 1) % 2].clear();
    }
    return stored;
}
