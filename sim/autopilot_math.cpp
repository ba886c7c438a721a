#include "sim/autopilot_math.h"

#include <algorithm>
#include <cmath>

namespace {

float clampf(float x, float lo, float hi)
{
    return std::max(std::min(x, hi), lo);
}

float dot(const vec3f& a, const vec3f& b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

vec3f minus(const ai_line_point& p, const vec3f& q)
{
    return {p.x - q.x, p.y - q.y, p.z - q.z};
}

}  // namespace

float autopilot_arc_radius(const vec3f& frame, const vec3f& velocity, const vec3f& target, float m)
{
    const float speed = std::sqrt(dot(velocity, velocity));
    vec3f side{1, 0, 0}, rear{0, 0, 1};
    if (speed > 0) {
        side = {-velocity.z / speed, 0, velocity.x / speed};
        rear = {-velocity.x / speed, -velocity.y / speed, -velocity.z / speed};
    }
    const vec3f d{target.x - frame.x, target.y - frame.y, target.z - frame.z};
    const double b = dot(d, rear), o = dot(d, side);
    if (b >= 0)
        return o < 0 ? -10.0f : 10.0f;
    // Double precision: with a straight-line m of 1e6 the terms cancel to a few feet.
    const double M = m, w = std::fabs(M);
    const double D = 1.0 / std::sqrt((M - o) * (M - o) + b * b);
    const double E = o - 2 * (M - o + (o - M) * w * D);
    const double B = -b - 2 * (b - w * b * D);
    double e2 = E * E, twice_e = 2 * E;
    if (std::fabs(E) < 1e-6) {
        e2 = 1e-12;
        twice_e = std::copysign(2e-6, E);
    }
    return float((e2 + B * B) / twice_e);
}

float autopilot_lean_radius(float speed, float grip, float lean)
{
    const float t = std::tan(lean);
    if (!(std::fabs(t) >= 1e-6f))
        return lean < 0 || std::signbit(lean) ? 1e6f : -1e6f;
    return -speed * speed / (32.0f * grip * t);
}

float autopilot_ground_lean_limit(float wanted, float lean, float slope, float grip_angle)
{
    // The slope is taken across the leaning bike, so it carries the lean itself: a bike
    // leant over on flat ground sees the ground fall away by its own lean.
    const float ground = lean - slope;
    return clampf(wanted, ground - grip_angle, ground + grip_angle);
}

controls_out autopilot_controls(const controls_situation& s, float v, float d)
{
    controls_out c{0, 0, 0, 0};
    if (!s.rear_on_ground) {
        const float p = s.pitch_rate;
        c.clutch = 0.125f;
        if ((s.front_below_rear && p < 0) || p < -float(M_PI) / 4) {
            c.throttle = 1;
        } else if (s.front_high && p >= -float(M_PI) / 8) {
            c.clutch = 0;
            c.rear_brake = 1;
        }
    } else {
        if (v < d - 1) {
            c.throttle = 1;
        } else if (v < d) {
            c.throttle = d - v;
        } else {
            c.front_brake = c.rear_brake = std::min(v - d, 1.0f);
        }
        c.clutch = s.gear > 0 ? 1.0f : clampf((s.rpm - (s.shift_down_rpm - 1000)) / 1000, 0, 1);
    }
    if (s.crashed)
        c.throttle = 0;
    return c;
}

float autopilot_path_progress(const ai_line_point* path, int count, int n, const vec3f& frame, const vec3f& rear)
{
    if (n <= 0 || !path)
        return float(std::max(n, 0));
    n = std::min(n, count);
    for (int i = n - 1; i >= 0; --i) {
        const float h = dot(minus(path[i], frame), rear);
        if (h > 0) {
            const int j = i + 1;
            if (j >= count)
                return float(j);
            const float g = -dot(minus(path[j], frame), rear);
            return float(j) + (g + h > 0 ? clampf(h / (g + h), 0, 1) : 0.0f);
        }
    }
    return 0;
}

int autopilot_jump_ahead(const ai_line_point* path, int count, int start)
{
    for (int i = std::max(start, 0); i < start + 20 && i + 1 < count; ++i)
        if (std::signbit(path[i].speed) && std::signbit(path[i + 1].speed))
            return i;
    return -1;
}

void autopilot_join(ai_line_point* path, int count, int i, const ai_line_point& first, const ai_line_point& second,
                    const vec3f& frame, const vec3f& forward)
{
    if (i < 0 || i >= count || std::signbit(path[i].speed) || std::signbit(first.speed))
        return;
    const float d = float(count - i);
    vec3f p0{path[i].x, path[i].y, path[i].z}, m0;
    if (i == 0) {
        p0 = frame;
        m0 = {forward.x * 7.5f * d, forward.y * 7.5f * d, forward.z * 7.5f * d};
    } else {
        m0 = {(path[i].x - path[i - 1].x) * d, (path[i].y - path[i - 1].y) * d, (path[i].z - path[i - 1].z) * d};
    }
    const vec3f m1{(second.x - first.x) * d, (second.y - first.y) * d, (second.z - first.z) * d};
    const ai_line_point start = path[i];
    for (int k = i + 1; k < count; ++k) {
        const float t = float(k - i) / d, t2 = t * t, t3 = t2 * t;
        const float h00 = 2 * t3 - 3 * t2 + 1, h10 = t3 - 2 * t2 + t, h01 = -2 * t3 + 3 * t2, h11 = t3 - t2;
        ai_line_point& p = path[k];
        p.x = h00 * p0.x + h10 * m0.x + h01 * first.x + h11 * m1.x;
        p.y = h00 * p0.y + h10 * m0.y + h01 * first.y + h11 * m1.y;
        p.z = h00 * p0.z + h10 * m0.z + h01 * first.z + h11 * m1.z;
        p.speed = std::min(start.speed + (first.speed - start.speed) * t, p.speed);
        p.lean = start.lean + (first.lean - start.lean) * t;
    }
}
