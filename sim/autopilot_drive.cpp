// Normal driving: follow the path at the recorded speeds, slowing for riders ahead
// and for what the ground allows, and steer by leaning into the arc to a point a
// little way along the path.
#include "sim/autopilot_drive.h"

#include "sim/autopilot_body.h"
#include "sim/autopilot_race.h"
#include "sim/bike_step.h"
#include "sim/bike_info.h"
#include "sim/physics_world.h"
#include "sim/rider_access.h"
#include "terrain/terrain_queries.h"
#include "terrain/track_list.h"
#include "terrain/tile_materials.h"

#include <algorithm>
#include <cmath>

using namespace autopilot_body;

namespace {

constexpr float kPi = float(M_PI);
constexpr int ticks_per_second = 128;

const ai_line_point* path_of(const rider_slot* rider)
{
    return static_cast<const ai_line_point*>(rider->path.items);
}

// The path point at fractional position x (linear between its neighbours).
ai_line_point path_at(const rider_slot* rider, float x)
{
    const ai_line_point* path = path_of(rider);
    const int n = rider->path_count;
    const int i = std::clamp(int(std::floor(x)), 0, n - 1);
    const int j = std::min(i + 1, n - 1);
    const float f = std::clamp(x - float(i), 0.0f, 1.0f);
    const ai_line_point &a = path[i], &b = path[j];
    return {a.x + (b.x - a.x) * f, a.y + (b.y - a.y) * f, a.z + (b.z - a.z) * f,
            std::fabs(a.speed) + (std::fabs(b.speed) - std::fabs(a.speed)) * f, a.lean + (b.lean - a.lean) * f};
}

// The speed of the nearest rider ahead whose sweep crosses ours, along our present
// turning circle; negative when none.
struct traffic {
    float speed = -1;
    float distance = 0;
};

struct sweep {
    float cx, cz;        // rectangle centre
    float fx, fz;        // unit forward (horizontal)
    float half_length, half_width;
};

sweep sweep_of(const rider_slot* rider)
{
    const vec3f p = position(rider->bodies[body_frame]);
    vec3f v = velocity(rider->bodies[body_frame]);
    const float speed = std::hypot(v.x, v.z);
    float fx = 0, fz = -1;
    if (speed > 1e-3f) {
        fx = v.x / speed;
        fz = v.z / speed;
    } else {
        const vec3f back = axis(rider->bodies[body_frame], 2);
        const float h = std::hypot(back.x, back.z);
        if (h > 1e-6f) {
            fx = -back.x / h;
            fz = -back.z / h;
        }
    }
    // From 4 ft behind to speed + 4 ft ahead, 2 ft to either side.
    const float ahead = speed + 4, behind = 4;
    const float middle = (ahead - behind) / 2;
    return {p.x + fx * middle, p.z + fz * middle, fx, fz, (ahead + behind) / 2, 2};
}

// Separating-axis test of two oriented rectangles.
bool sweeps_cross(const sweep& a, const sweep& b)
{
    const float axes[4][2] = {{a.fx, a.fz}, {-a.fz, a.fx}, {b.fx, b.fz}, {-b.fz, b.fx}};
    const float dx = b.cx - a.cx, dz = b.cz - a.cz;
    for (const auto& ax : axes) {
        auto extent = [&](const sweep& s) {
            return s.half_length * std::fabs(s.fx * ax[0] + s.fz * ax[1]) +
                   s.half_width * std::fabs(-s.fz * ax[0] + s.fx * ax[1]);
        };
        if (std::fabs(dx * ax[0] + dz * ax[1]) > extent(a) + extent(b))
            return false;
    }
    return true;
}

traffic rider_ahead(const rider_slot* rider, float turn_radius)
{
    traffic found;
    const sweep mine = sweep_of(rider);
    const vec3f p = position(rider->bodies[body_frame]);
    float nearest = 0;
    for (const rider_slot& other : rider_slots) {
        if (&other == rider || !other.bodies[body_frame])
            continue;
        const vec3f q = position(other.bodies[body_frame]);
        const float dx = q.x - p.x, dz = q.z - p.z;
        if (dx * mine.fx + dz * mine.fz <= 0 || !sweeps_cross(mine, sweep_of(&other)))
            continue;
        const float d = std::hypot(dx, dz);
        if (found.speed >= 0 && d >= nearest)
            continue;
        // Its velocity along our turning circle, centred turn_radius to our side.
        const float cx = p.x - mine.fz * turn_radius, cz = p.z + mine.fx * turn_radius;
        float tx = -(q.z - cz), tz = q.x - cx;
        const float tl = std::hypot(tx, tz);
        if (tl > 1e-6f) {
            tx /= tl;
            tz /= tl;
        } else {
            tx = mine.fx;
            tz = mine.fz;
        }
        if (tx * mine.fx + tz * mine.fz < 0) {
            tx = -tx;
            tz = -tz;
        }
        const vec3f w = velocity(other.bodies[body_frame]);
        found.speed = std::max(w.x * tx + w.z * tz, 0.0f);
        found.distance = length({q.x - p.x, q.y - p.y, q.z - p.z});
        nearest = d;
    }
    return found;
}

float tile_grip_angle(const terrain_state* terrain, float x, float z)
{
    const int tile = terrain_tile_at(terrain, x, z);
    return std::min(std::atan(std::max(terrain->friction_values[tile][0], 0.0f)), 1.1780972f);
}

// The ground's slope across the bike at (x, z), along the bike's own sideways axis:
// positive when it falls to the bike's right.
float slope_across(const terrain_state* terrain, float x, float z, const vec3f& right)
{
    float n[3];
    terrain_normal_at(terrain, x, z, n);
    return std::asin(std::clamp(n[0] * right.x + n[1] * right.y + n[2] * right.z, -1.0f, 1.0f));
}

}  // namespace

float autopilot_progress(const rider_slot* rider)
{
    if (!rider->bodies[body_frame])
        return 0;
    dBodyID frame = rider->bodies[body_frame];
    return autopilot_path_progress(path_of(rider), rider->path_count, rider->path_index, position(frame),
                                   axis(frame, 2));
}

int autopilot_find_jump(const rider_slot* rider, int start)
{
    return autopilot_jump_ahead(path_of(rider), rider->path_count, start);
}

float autopilot_turn_radius(const rider_slot* rider, float x, float m)
{
    if (rider->path_count <= 0)
        return 10;
    dBodyID frame = rider->bodies[body_frame];
    const ai_line_point target = path_at(rider, x);
    return autopilot_arc_radius(position(frame), velocity(frame), {target.x, target.y, target.z}, m);
}

void autopilot_set_controls(rider_slot* rider, float v, float d)
{
    dBodyID frame = rider->bodies[body_frame];
    const float front_y = position(rider->bodies[body_front_wheel]).y;
    const float rear_y = position(rider->bodies[body_rear_wheel]).y;
    const bike_info* info = rider_get_bike_info(rider);
    const controls_situation s{rider->rear_contact.depth > 0,
                               front_y < rear_y,
                               front_y > rear_y + 1,
                               spin_about(frame, 0),
                               rider->crash_counter > 0,
                               rider->gear,
                               float(rider->engine_speed * 9.549296585513721),
                               info ? info->shift_down_rpm : 0.0f};
    const controls_out c = autopilot_controls(s, v, d);
    rider_set_throttle(rider, c.throttle);
    rider_set_clutch(rider, c.clutch);
    rider_set_front_brake(rider, c.front_brake);
    rider_set_rear_brake(rider, c.rear_brake);
}

void autopilot_drive(rider_slot* rider)
{
    const int now = autopilot_now();
    if (now - rider->progress_tick > 3 * ticks_per_second) {
        rider->recovery = 3;
        return;
    }
    dBodyID frame = rider->bodies[body_frame];
    const ai_line_point* path = path_of(rider);
    const int count = rider->path_count;
    const vec3f p = position(frame), vel = velocity(frame);
    const float v = length(vel);
    const bool crashed = rider->crash_counter > 0;

    // 2. Where along the path, at what speed, and how soon the next jump.
    rider_set_dab(rider, 0);
    const float s = autopilot_progress(rider);
    const int l = std::clamp(int(std::floor(s)), 0, count - 1);
    float d = path_at(rider, s).speed;
    const int jump = autopilot_find_jump(rider, l);
    float h = 1e6f;
    if (jump >= 0) {
        const float to_l = length({path[l].x - p.x, path[l].y - p.y, path[l].z - p.z});
        h = (v > 1e-6f ? to_l / v : 1e6f) + float(jump - l) * 0.25f;
    }

    // 3. Grip and the turn the present lean makes.
    auto load = [](const wheel_contact& c) {
        return c.feedback.f1[0] * c.normal[0] + c.feedback.f1[1] * c.normal[1] + c.feedback.f1[2] * c.normal[2];
    };
    const float mass = rider->total_mass > 0 ? rider->total_mass : 1;
    const float k = std::max(1.0f, float(load(rider->front_contact) + load(rider->rear_contact)) / 32 / mass - 1);
    float lean_rate_limit = kPi / k;
    const float lean = bike_lean_angle(frame);
    const float M = autopilot_lean_radius(v, k, lean);

    // 4. Riders ahead.
    const traffic ahead = rider_ahead(rider, M);
    if (ahead.speed >= 0) {
        const float t = float(std::min(autopilot_race_time(), 100.0));
        const float R = std::clamp((t - 3) / 2, 0.0f, 1.0f) * std::clamp((120 - t) / 100, 0.0f, 1.0f);
        const float S = 8 * R + 12, g = ahead.speed;
        if (ahead.distance < S) {
            d = std::min(d, g * (1 - R / 4));
        } else if (d > g) {
            const float b = (v - g) / 5;
            const float x = v * b - 2.5f * b * b - g * b - ahead.distance;
            if (x > -S) {
                for (int32_t& id : rider->picked_lines)
                    id = 0;
                d += (g - d) * std::clamp((S + x) / 3, 0.0f, 1.0f);
            }
        }
    }

    // 5. The look-ahead point and the steering gain.
    const vec3f side = v > 1e-6f ? vec3f{-vel.z / v, 0, vel.x / v} : vec3f{1, 0, 0};
    const vec3f forward = v > 1e-6f ? vec3f{vel.x / v, vel.y / v, vel.z / v} : vec3f{0, 0, -1};
    float look = s + 4, gain = 4;
    if (rider->timing_position > 0) {
        look = s + 2;
        int in_cone = 0;
        for (int i = l + 1; i <= l + 6 && i < count; ++i) {
            const vec3f o{path[i].x - p.x, path[i].y - p.y, path[i].z - p.z};
            const float along = dot(o, forward);
            if (along <= 0 || std::fabs(dot(o, side)) > along / 8)
                break;
            ++in_cone;
        }
        const float f = std::clamp((20 - float(in_cone)) / 17, 0.0f, 1.0f);
        gain = 4 * f;
        lean_rate_limit *= f;
        if (in_cone > 4 && std::fabs(lean) < kPi / 8)
            look = s + 3;
    }
    if (h < 2)
        look += (float(jump) - look) * std::clamp(2 * (2 - h), 0.0f, 1.0f);

    // 6. The lean that rides the arc to it.
    const float r = autopilot_turn_radius(rider, look, M);
    float wanted = std::atan2(-v * v / r, 32 * k);

    // 7. What the ground allows along the next points and under the front wheel soon.
    if (track_terrain.heights) {
        const terrain_state* ground = &track_terrain;
        const vec3f right = axis(frame, 0);
        const vec3f front = position(rider->bodies[body_front_wheel]);
        const vec3f fv = velocity(rider->bodies[body_front_wheel]);
        const float before = wanted;
        auto limit_at = [&](float x, float z) {
            wanted = autopilot_ground_lean_limit(wanted, lean, slope_across(ground, x, z, right),
                                                 tile_grip_angle(ground, x, z));
        };
        for (int i = std::min(l + 4, count - 1); i >= l; --i)
            limit_at(path[i].x, path[i].z);
        limit_at(front.x + fv.x * 0.25f, front.z + fv.z * 0.25f);
        if (wanted != before) {
            d = std::min(d, std::sqrt(32 * k * std::fabs(r) * std::tan(std::fabs(wanted))));
            rider->limit_tick = now;
        }
    }

    // 8. Front grip, slow riding and jumps.
    const float sliding = length({rider->front_contact.velocity[0], rider->front_contact.velocity[1],
                                  rider->front_contact.velocity[2]});
    const bool front_down = rider->front_contact.depth > 0;
    float e = front_down ? std::clamp((16 - sliding) / 16, 0.0f, 1.0f) : 1.0f;
    const float slow = std::clamp(0.4f * (v - 7.5f), 0.0f, 1.0f);
    e = 1 + (e - 1) * slow;
    wanted *= slow;
    if (h < 3) {
        const float f = std::clamp((3 - h) / 2, 0.0f, 1.0f);
        e += (1 - e) * f;
        d += (std::max(std::fabs(path[l].speed) + 2, v) - d) * f;
        const float most = kPi / 2 - 1.3744469f * f;
        wanted = std::clamp(wanted, -most, most);
        lean_rate_limit += (kPi / 8 - lean_rate_limit) * std::clamp((3 - h) / 3, 0.0f, 1.0f);
    }

    // 9. The lean correction, and the steering locks for it.
    float c = gain * (wanted - lean);
    const float limit = c * lean < 0 ? 2 * lean_rate_limit : lean_rate_limit;
    c = std::clamp(c, -limit, limit);
    bike_set_full_lock_speed(rider, 1);
    bike_set_restricted_lock_speed(rider, 50);
    bike_set_restricted_lock(rider, (1 + 4 * std::clamp(std::fabs(c) / kPi, 0.0f, 1.0f)) * kPi / 180);

    // 10. Steering: keep the front wheel aligned with its path, and lean by rolling.
    dJointID head = rider->joints[joint_steering];
    const float head_angle = float(dJointGetHingeAngle(head)), head_rate = float(dJointGetHingeAngleRate(head));
    const float term = dead_band(std::clamp(front_slip_angle(rider) - head_angle, -0.25f, 0.25f), 1.0f / 32) * 8 -
                       dead_band(head_rate, 1.0f / 2400);
    const float A = std::fabs(term) > 4.0f / 3 ? std::copysign(2.0f / 3, term) : term / 2;
    float steer = A;
    if (front_down) {
        const float q = std::clamp((4 - sliding) / 4, 0.0f, 1.0f);
        const float D = dead_band(spin_about(frame, 2) - c, 1.0f / 8);
        steer = std::clamp(A + q * (4 * D - A), -1.0f, 1.0f);
    }
    rider_set_steering(rider, steer);

    // 11. Throttle, brakes and clutch, the throttle smoothed.
    autopilot_set_controls(rider, v, d);
    const float wanted_throttle = rider->throttle * e;
    float t = rider->smoothed_throttle;
    if (now - rider->limit_tick < ticks_per_second / 8)
        t = wanted_throttle > t ? std::min(wanted_throttle, t + 1.0f / 32) : wanted_throttle;
    else
        t = wanted_throttle > t ? wanted_throttle : std::max(wanted_throttle, t - 1.0f / 32);
    t = crashed ? 0.0f : std::clamp(t, 0.0f, 1.0f);
    rider->smoothed_throttle = t;
    rider_set_throttle(rider, t);
}
