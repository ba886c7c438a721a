#include "view/trackside_view.h"

#include "gfx/model_scene.h"
#include "race/game_settings.h"
#include "race/program/world_view.h"
#include "race/race_state.h"
#include "sim/gate_times.h"
#include "sim/physics_world.h"
#include "sim/race_clock.h"
#include "sim/rider_access.h"
#include "sim/rider_slot.h"
#include "terrain/terrain_queries.h"
#include "terrain/timing_gates.h"
#include "terrain/track_list.h"
#include "view/camera_views.h"

#include <algorithm>
#include <cmath>

trackside_camera free_camera = {0, 0, 0, 0, 0, 0, 0, 90, 0};
float free_camera_speed = 0;
int32_t selected_camera = -1;
growable_array camera_keys = {nullptr, 0, 0, sizeof(camera_key)};
int32_t camera_key_playback = 0;

namespace {

constexpr float kPi = 3.14159265358979f;
constexpr float kDt = float(kTickLength);

float wrap(float a)
{
    if (!std::isfinite(a))
        return 0;
    a = std::remainder(a, 2 * kPi);
    return a;
}

// Moves value towards goal by at most step.
float approach(float value, float goal, float step)
{
    if (value < goal)
        return std::min(value + step, goal);
    return std::max(value - step, goal);
}

float clamp_fov(float fov) { return fov >= 1 ? std::min(fov, 179.0f) : 1.0f; }

trackside_camera* shown_camera()
{
    if (selected_camera >= 0 && selected_camera < trackside_cameras.count)
        return static_cast<trackside_camera*>(trackside_cameras.items) + selected_camera;
    return &free_camera;
}

void draw(const float position[3], const float rotation[9], float fov)
{
    if (render_world_entry)
        render_world_entry(position, rotation, clamp_fov(fov), -1);
}

// Whether the last world view drawn was this one.
bool trackside_on_screen = false;

// The free camera at the last drawn camera's place, at rest, aimed at the slot's frame
// body when it has one.
void free_camera_take_over(int32_t slot)
{
    trackside_camera& c = free_camera;
    c.x = camera_position[0], c.y = camera_position[1], c.z = camera_position[2];
    c.yaw_rate = c.pitch_rate = 0;
    free_camera_speed = 0;
    c.fov = float(game_settings.fov);
    dBodyID frame = slot >= 0 && slot < kRiderSlots ? rider_get_frame_body(&rider_slots[slot]) : nullptr;
    if (!frame)
        return;
    const dReal* p = dBodyGetPosition(frame);
    const float d[3] = {float(p[0]) - c.x, float(p[1]) - c.y, float(p[2]) - c.z};
    if (d[0] == 0 && d[2] == 0)
        return;
    c.yaw = std::atan2(d[0], d[2]);
    c.pitch = std::atan2(d[1], std::hypot(d[0], d[2]));
}

}  // namespace

void trackside_view_left()
{
    trackside_on_screen = false;
}

void camera_track(trackside_camera* c, float yaw_control, float pitch_control, const float target[3],
                  const float velocity[3], int new_target)
{
    float want_yaw = yaw_control * 1.1780972f;
    float want_pitch = pitch_control * 0.7853982f;
    if (camera_auto_switch) {
        const float d[3] = {target[0] - c->x, target[1] - c->y, target[2] - c->z};
        const float n[3] = {d[0] + velocity[0] * kDt, d[1] + velocity[1] * kDt, d[2] + velocity[2] * kDt};
        const float yaw = std::atan2(d[0], d[2]);
        const float flat = std::hypot(d[0], d[2]);
        const float pitch = std::atan2(d[1], flat);
        const float w = std::clamp(wrap(std::atan2(n[0], n[2]) - yaw) / kDt, -2 * kPi, 2 * kPi);
        const float v = std::clamp(wrap(std::atan2(n[1], std::hypot(n[0], n[2])) - pitch) / kDt, -2 * kPi, 2 * kPi);
        if (new_target) {
            c->yaw = yaw, c->pitch = pitch;
            c->yaw_rate = w, c->pitch_rate = v;
        } else {
            const float e = std::clamp(wrap(yaw - c->yaw), -kPi / 2, kPi / 2);
            want_yaw = e + (w * e > 0 ? w : 0);
            const float f = pitch - c->pitch;
            want_pitch = 0.7853982f * f + (v * f > 0 ? v : 0);
        }
        if (c->autofovsize > 0) {
            const float aim = 114.59155902616465f * std::atan2(c->autofovsize, std::sqrt(flat * flat + d[1] * d[1]));
            c->fov = new_target ? aim : approach(c->fov, aim, (2 * std::fabs(aim - c->fov) + 1) * kDt);
        }
        if (new_target) {
            want_yaw = c->yaw_rate, want_pitch = c->pitch_rate;
        }
    }
    c->yaw_rate = approach(c->yaw_rate, want_yaw, kPi * kDt);
    c->pitch_rate = approach(c->pitch_rate, want_pitch, kPi * kDt);
    c->yaw = wrap(c->yaw + c->yaw_rate * kDt);
    c->pitch = std::clamp(c->pitch + c->pitch_rate * kDt, -kPi / 2, kPi / 2);
}

void quaternion_rotation(const float qin[4], float r[9])
{
    float q[4] = {qin[0], qin[1], qin[2], qin[3]};
    const float len2 = q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3];
    if (!(len2 > 1e-12f) || !std::isfinite(len2))
        q[0] = q[1] = q[2] = 0, q[3] = 1;
    const float q0 = q[0], q1 = q[1], q2 = q[2], q3 = q[3];
    r[0] = 2 * (q1 * q1 + q2 * q2) - 1, r[1] = -2 * (q1 * q0 - q2 * q3), r[2] = -2 * (q2 * q0 + q1 * q3);
    r[3] = 2 * (q1 * q0 + q2 * q3), r[4] = 1 - 2 * (q2 * q2 + q0 * q0), r[5] = 2 * (q1 * q2 - q0 * q3);
    r[6] = -2 * (q2 * q0 - q1 * q3), r[7] = -2 * (q1 * q2 + q0 * q3), r[8] = 2 * (q1 * q1 + q0 * q0) - 1;
}

void yaw_pitch_rotation(float a, float p, float r[9])
{
    r[0] = -std::cos(a), r[1] = -std::sin(p) * std::sin(a), r[2] = -std::cos(p) * std::sin(a);
    r[3] = 0, r[4] = std::cos(p), r[5] = -std::sin(p);
    r[6] = std::sin(a), r[7] = -std::sin(p) * std::cos(a), r[8] = -std::cos(p) * std::cos(a);
}

void render_quaternion_camera(const float position[3], const float q[4], float fov)
{
    float rotation[9];
    quaternion_rotation(q, rotation);
    draw(position, rotation, fov);
}

bool key_camera_view(float position[3], float q[4], float* fov)
{
    const int count = camera_keys.count;
    if (!camera_key_playback || count <= 0)
        return false;
    const auto* keys = static_cast<const camera_key*>(camera_keys.items);
    int i = 0;
    while (i < count && keys[i].tick <= current_tick)
        ++i;
    if (i == 0 || i == count) {
        const camera_key& k = keys[i == 0 ? 0 : count - 1];
        position[0] = k.x, position[1] = k.y, position[2] = k.z;
        std::copy(k.q, k.q + 4, q);
        *fov = k.fov;
        return true;
    }
    const camera_key& z = keys[std::max(i - 2, 0)];
    const camera_key& a = keys[i - 1];
    const camera_key& b = keys[i];
    const camera_key& d = keys[std::min(i + 1, count - 1)];
    const double t = double(b.tick) - a.tick;
    const double u = t != 0 ? std::clamp((double(current_tick) - a.tick) / t, 0.0, 1.0) : 0.0;
    const double r0 = t != 0 ? (double(a.tick) - z.tick) / t : 0.0;
    const double r3 = t != 0 ? (double(d.tick) - b.tick) / t : 0.0;
    auto hermite = [&](float zv, float av, float bv, float dv) {
        const double ma = r0 > 0 ? ((av - zv) / r0 + (bv - av)) / 2 : 0.0;
        const double mb = r3 > 0 ? ((dv - bv) / r3 + (bv - av)) / 2 : 0.0;
        return float(av + ma * u + (3.0 * (bv - av) - 2 * ma - mb) * u * u + (2.0 * (av - bv) + ma + mb) * u * u * u);
    };
    if (t <= 0) {
        position[0] = a.x, position[1] = a.y, position[2] = a.z;
    } else {
        position[0] = hermite(z.x, a.x, b.x, d.x);
        position[1] = hermite(z.y, a.y, b.y, d.y);
        position[2] = hermite(z.z, a.z, b.z, d.z);
    }
    auto aligned = [&](const camera_key& k, float out[4]) {
        const float dot = k.q[0] * b.q[0] + k.q[1] * b.q[1] + k.q[2] * b.q[2] + k.q[3] * b.q[3];
        for (int j = 0; j < 4; ++j)
            out[j] = dot < 0 ? -k.q[j] : k.q[j];
    };
    float qz[4], qa[4], qd[4];
    aligned(z, qz), aligned(a, qa), aligned(d, qd);
    float len2 = 0;
    for (int j = 0; j < 4; ++j) {
        q[j] = hermite(qz[j], qa[j], b.q[j], qd[j]);
        len2 += q[j] * q[j];
    }
    const float len = std::sqrt(len2);
    if (len > 1e-12f && std::isfinite(len))
        for (int j = 0; j < 4; ++j)
            q[j] /= len;
    *fov = float(a.fov + u * (b.fov - a.fov));
    return true;
}

void render_trackside_camera()
{
    float position[3], q[4], fov;
    if (key_camera_view(position, q, &fov)) {
        render_quaternion_camera(position, q, fov);
        return;
    }
    if (!trackside_on_screen) {
        trackside_on_screen = true;
        free_camera_take_over(race.viewed_slot);
    }
    const trackside_camera* c = shown_camera();
    float rotation[9];
    yaw_pitch_rotation(c->yaw, c->pitch, rotation);
    listener_velocity[0] = listener_velocity[1] = listener_velocity[2] = 0;
    const float eye[3] = {c->x, c->y, c->z};
    draw(eye, rotation, c->fov);
    if (c != &free_camera && trackside_running_order)
        trackside_running_order();
}

void trackside_select_digit(int n)
{
    selected_camera = std::min(n, int(trackside_cameras.count)) - 1;
}

int32_t trackside_gate_camera(int32_t g)
{
    const int32_t first = timing_gates.firstlap_length, normal = timing_gates.normallap_length;
    if (first <= 0 || normal <= 0)
        return -1;
    if (g < 0)
        g = 0;
    const int32_t at = g < first ? g : first + (g - first) % normal;
    int32_t gate = timing_gates.lap_entries[at];
    if (gate > 99999)
        gate -= 100000;
    if (gate < 0 || gate >= kGateCameraEntries)
        return -1;
    return gate_camera_table[gate];
}

void trackside_tick(int32_t timing_position, const float target[3], const float velocity[3],
                    const trackside_controls& controls)
{
    int new_target = 0;
    if (camera_auto_switch && selected_camera >= 0) {
        const int32_t cut = trackside_gate_camera(timing_position);
        if (cut >= 0 && cut != selected_camera) {
            selected_camera = cut;
            new_target = 1;
        }
    }
    trackside_camera* c = shown_camera();
    // An index past the table shows the free camera but steers nothing.
    if (c == &free_camera && selected_camera >= 0)
        return;
    camera_track(c, controls.yaw, controls.pitch, target, velocity, new_target);
    if (c != &free_camera)
        return;
    if (controls.forward > 0.5f)
        free_camera_speed = std::min(free_camera_speed + 80 * kDt, 100.0f);
    if (controls.backward > 0.5f)
        free_camera_speed = std::max(free_camera_speed - 80 * kDt, -100.0f);
    free_camera_speed = approach(free_camera_speed, 0, 60 * kDt);
    if (std::fabs(free_camera_speed) > 0.0001f) {
        const float step = free_camera_speed * kDt;
        free_camera.x += step * std::sin(free_camera.yaw) * std::cos(free_camera.pitch);
        free_camera.y += step * std::sin(free_camera.pitch);
        free_camera.z += step * std::cos(free_camera.yaw) * std::cos(free_camera.pitch);
        free_camera.y = std::max(free_camera.y, terrain_height_smoothed(&track_terrain, free_camera.x, free_camera.z) + 2);
    }
    free_camera.fov = float(game_settings.fov);
}

void (*trackside_running_order)() = nullptr;

void trackside_tick_slot(int32_t slot, const float controls[4], int paused)
{
    if (slot < 0 || slot >= kRiderSlots)
        return;
    const rider_slot* r = &rider_slots[slot];
    dBodyID frame = rider_get_frame_body(r);
    float target[3] = {free_camera.x, free_camera.y, free_camera.z}, velocity[3] = {0, 0, 0};
    if (frame) {
        const dReal* p = dBodyGetPosition(frame);
        const dReal* v = dBodyGetLinearVel(frame);
        for (int k = 0; k < 3; ++k) {
            target[k] = float(p[k]);
            velocity[k] = paused ? 0.0f : float(v[k]);
        }
    }
    trackside_tick(rider_get_timing_position(r), target, velocity,
                   trackside_controls{controls[0], controls[1], controls[2], controls[3]});
}
