#include "racing_lines.h"

#include "sim/ai_lines_rules.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double tick = 1.0 / 128;
constexpr float rest_height = 2.0f;   // frame above the wheel contacts
constexpr float accelerate = 12.0f;   // ft/s^2 out of turns and off the start
constexpr float brake = 18.0f;

// The speed the rider may have at every centreline sample: the turn's limit, then
// what it can reach by accelerating forwards and braking backwards round the loop.
std::vector<float> speed_profile(const std::vector<centre_sample>& line, const lines_rider& rider)
{
    const size_t n = line.size();
    std::vector<float> v(n);
    for (size_t i = 0; i < n; ++i) {
        const float k = std::fabs(line[i].curvature);
        v[i] = k > 1e-6f ? std::min(rider.top_speed, std::sqrt(rider.grip / k)) : rider.top_speed;
    }
    for (int pass = 0; pass < 2; ++pass)
        for (size_t step = 0; step < 2 * n; ++step) {
            const size_t i = step % n, next = (i + 1) % n;
            const float ds = std::max(line[next].s - line[i].s, 0.5f);
            v[next] = std::min(v[next], std::sqrt(v[i] * v[i] + 2 * accelerate * ds));
            const size_t j = (2 * n - step) % n, before = (j + n - 1) % n;
            v[before] = std::min(v[before], std::sqrt(v[j] * v[j] + 2 * brake * ds));
        }
    return v;
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
        const centre_sample& c = course.centreline[index_at(lap_s(distance))];
        const float v = std::min(limit[index_at(lap_s(distance))], launch_speed);
        const float x = c.x + c.nx * rider.lane, z = c.z + c.nz * rider.lane;
        const float lean = -std::atan(v * v * c.curvature / 32.0f);
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
    course_walker walk{course, rider, speed_profile(course.centreline, rider), 0};
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
        launch_speed = std::min(launch_speed + accelerate * tick, 1e9);
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
