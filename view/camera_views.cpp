#include "view/camera_views.h"

#include "race/program/command_line.h"
#include "race/game_settings.h"
#include "race/program/world_view.h"
#include "sim/physics_world.h"
#include "sim/race_clock.h"
#include "sim/rider_access.h"
#include "sim/rider_slot.h"
#include "terrain/terrain_queries.h"
#include "terrain/track_list.h"
#include "view/limb.h"
#include "view/trackside_view.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

camera_setting_values camera_settings;
float listener_velocity[3];

namespace {

constexpr float kPi = 3.14159265358979f;

// The rider's eye's lagged backward axis and the race time it was last moved.
float lag_backward[3];
double lag_time;

// The chase camera's last good direction, for a bike pointing straight up.
float chase_direction[3] = {0, 0, 1};

void draw(const float eye[3], const float rotation[9], float fov, int32_t slot)
{
    trackside_view_left();
    if (render_world_entry)
        render_world_entry(eye, rotation, fov, slot);
}

void column(float o[3], const float r[9], int k) { o[0] = r[k], o[1] = r[3 + k], o[2] = r[6 + k]; }
void set_column(float r[9], int k, const float v[3]) { r[k] = v[0], r[3 + k] = v[1], r[6 + k] = v[2]; }

void copy_velocity(dBodyID body)
{
    const dReal* v = dBodyGetLinearVel(body);
    for (int k = 0; k < 3; ++k)
        listener_velocity[k] = float(v[k]);
}

// Turns the backward axis towards the one of the last frame, so the view's pitch
// follows the bike's with a lag that shrinks at k per second of race time.
void lag_pitch(float rotation[9], double gimbal)
{
    float right[3], up[3], back[3];
    column(right, rotation, 0), column(up, rotation, 1), column(back, rotation, 2);
    float angle = std::atan2(vec::dot(lag_backward, up), vec::dot(lag_backward, back));
    angle = std::clamp(angle, -kPi / 4, kPi / 4);
    const double now = current_tick * kTickLength;
    if (now > lag_time) {
        const double g = 1 - 0.01 * gimbal;
        const double k = g * g * g * 100 + 5;
        const float scaled = float(angle * (1 - k * std::min(now - lag_time, 0.125)));
        angle = angle > 0 ? std::max(scaled, 0.0f) : std::min(scaled, 0.0f);
        lag_time = now;
    }
    const float t = std::tan(angle);
    float b[3] = {back[0] + t * up[0], back[1] + t * up[1], back[2] + t * up[2]};
    if (!vec::normalise(b))
        column(b, rotation, 2);
    for (int k = 0; k < 3; ++k)
        lag_backward[k] = b[k];
    float u[3];
    vec::cross(u, b, right);
    set_column(rotation, 1, u);
    set_column(rotation, 2, b);
}

}  // namespace

void first_person_reset()
{
    lag_backward[0] = lag_backward[1] = lag_backward[2] = 0;
    lag_time = 0;
}

void render_first_person(dBodyID body, int32_t viewer_slot)
{
    const double h = camera_settings.first_person_height;
    dVector3 p;
    dBodyGetRelPointPos(body, 0, 0.558383 * h + 0.5, -0.79336953 * h - 0.4, p);
    const float eye[3] = {float(p[0]), float(p[1]), float(p[2])};
    const dReal* m = dBodyGetRotation(body);
    float rotation[9];
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            rotation[i * 3 + j] = float(m[i * 4 + j]);
    if (camera_settings.first_person_gimbal > 0.5)
        lag_pitch(rotation, camera_settings.first_person_gimbal);
    if (command_line_options.print_orientation)
        std::printf("t=%f p0=%f p1=%f p2=%f x0=%f x1=%f x2=%f z0=%f z1=%f z2=%f\n", current_tick * kTickLength,
                    eye[0], eye[1], eye[2], rotation[0], rotation[3], rotation[6], rotation[2], rotation[5],
                    rotation[8]);
    const float a = float(camera_settings.first_person_angle * kPi / 180);
    float up[3], back[3];
    column(up, rotation, 1), column(back, rotation, 2);
    for (int k = 0; k < 3; ++k) {
        rotation[3 * k + 1] = std::cos(a) * up[k] - std::sin(a) * back[k];
        rotation[3 * k + 2] = std::sin(a) * up[k] + std::cos(a) * back[k];
    }
    copy_velocity(body);
    draw(eye, rotation, float(game_settings.fov), viewer_slot);
}

void render_chase(const rider_slot* rider, bool local, const chase_orbit& orbit, const float pivot[3])
{
    dBodyID frame = rider_get_frame_body(rider);
    if (!frame)
        return;
    dVector3 pv;
    dBodyGetRelPointPos(frame, pivot[0], pivot[1], pivot[2], pv);
    const float p[3] = {float(pv[0]), float(pv[1]), float(pv[2])};
    float d[3], distance, height;
    if (local) {
        const dReal* r = dBodyGetRotation(frame);
        const float f[3] = {-float(r[2]), 0, -float(r[10])};
        const dReal* lv = dBodyGetLinearVel(frame);
        const float v[3] = {float(lv[0]), 0, float(lv[2])};
        const float speed2 = vec::dot(v, v);
        if (camera_settings.rigid_camera) {
            d[0] = f[0], d[1] = 0, d[2] = f[2];
        } else if (speed2 < 900) {
            const float t = std::clamp((std::sqrt(speed2) - 10) * 0.05f, 0.0f, 1.0f);
            for (int k = 0; k < 3; ++k)
                d[k] = f[k] + (v[k] - f[k]) * t;
        } else {
            d[0] = v[0], d[1] = 0, d[2] = v[2];
        }
        for (float& c : d)
            c = -c;
        distance = float(camera_settings.third_person_distance);
        height = float(camera_settings.third_person_height);
    } else {
        d[0] = std::sin(orbit.angle), d[1] = 0, d[2] = std::cos(orbit.angle);
        distance = orbit.distance;
        height = orbit.height;
    }
    // A bike pointing straight up or down has no heading (what is left of it is
    // rounding noise): keep the last one.
    if (vec::dot(d, d) > 1e-6f && vec::normalise(d))
        for (int k = 0; k < 3; ++k)
            chase_direction[k] = d[k];
    float eye[3] = {p[0] + chase_direction[0] * distance, 0, p[2] + chase_direction[2] * distance};
    eye[1] = std::max(terrain_height_smoothed(&track_terrain, eye[0], eye[2]) + 5, p[1] + height);

    float back[3], right[3], up[3];
    vec::sub(back, eye, p);
    if (!vec::normalise(back))
        back[0] = chase_direction[0], back[1] = 0, back[2] = chase_direction[2];
    right[0] = back[2], right[1] = 0, right[2] = -back[0];
    if (!vec::normalise(right))
        right[0] = 1, right[1] = 0, right[2] = 0;
    vec::cross(up, back, right);
    float rotation[9];
    set_column(rotation, 0, right), set_column(rotation, 1, up), set_column(rotation, 2, back);
    draw(eye, rotation, float(game_settings.fov), -1);
    copy_velocity(frame);
}

namespace {

void chase_entry(int32_t slot, int local, float angle, float distance, float height, const float pivot[3])
{
    if (slot >= 0 && slot < kRiderSlots)
        render_chase(&rider_slots[slot], local != 0, chase_orbit{angle, distance, height}, pivot);
}

}  // namespace

void camera_views_install()
{
    camera_views.first_person = render_first_person;
    camera_views.chase = chase_entry;
}
