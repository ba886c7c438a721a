#include "race/program/world_stand_in.h"

#include "gfx/gl_layer.h"
#include "gfx/shaders.h"
#include "race/race_riders.h"
#include "race/program/world_view.h"
#include "sim/rider_access.h"
#include "sim/rider_slot.h"
#include "terrain/terrain_textures.h"
#include "terrain/track_list.h"

#include <cmath>

world_camera last_camera = {{0, 0, 0}, {1, 0, 0, 0, 1, 0, 0, 0, 1}, 110, -1};

namespace {

float chase_eye[3] = {0, 10, 10};
bool chase_eye_known = false;

bool finite3(const double* p)
{
    return std::isfinite(p[0]) && std::isfinite(p[1]) && std::isfinite(p[2]);
}

void stand_in_render(const float position[3], const float rotation[9])
{
    bvglClearColor(0.196078f, 0.6f, 0.8f, 0.0f);
    bvglClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    if (!track_folder)
        return;
    for (int k = 0; k < 3; ++k) {
        track_terrain.camera_position[k] = position[k];
        track_terrain.view_direction[k] = -rotation[3 * k + 2];
    }
    terrain_update_textures(&track_terrain);
    bvglMatrixMode(GL_MODELVIEW);
    bvglLoadIdentity();
    const float* r = rotation;
    const float view[16] = {r[0], r[1], r[2], 0, r[3], r[4], r[5], 0, r[6], r[7], r[8], 0, 0, 0, 0, 1};
    bvglMultMatrixf(view);
    bvglTranslatef(-position[0], -position[1], -position[2]);
    bvglEnable(GL_DEPTH_TEST);
    bvglDepthFunc(GL_LEQUAL);
    gl_use_shader(shader_terrain);
    gl_uniform_light_position(r[1], r[4], r[7]);
    gl_use_shader(shader_unlit);
    terrain_draw(&track_terrain);
    bvglDisable(GL_DEPTH_TEST);
    bvglLoadIdentity();
}

}  // namespace

void world_draw(const float position[3], const float rotation[9], float fov, int32_t viewer_slot)
{
    for (int k = 0; k < 3; ++k)
        last_camera.position[k] = position[k];
    for (int k = 0; k < 9; ++k)
        last_camera.rotation[k] = rotation[k];
    last_camera.fov = fov;
    last_camera.viewer_slot = viewer_slot;
    if (render_world_entry)
        render_world_entry(position, rotation, fov, viewer_slot);
    else
        stand_in_render(position, rotation);
}

void look_at(const float eye[3], const float target[3], float rotation[9])
{
    float back[3] = {eye[0] - target[0], eye[1] - target[1], eye[2] - target[2]};
    float n = std::sqrt(back[0] * back[0] + back[1] * back[1] + back[2] * back[2]);
    if (!(n > 1e-6f)) {
        back[0] = 0, back[1] = 0, back[2] = 1, n = 1;
    }
    for (float& v : back)
        v /= n;
    // right = up x back, up = back x right
    float right[3] = {back[2], 0, -back[0]};
    float m = std::sqrt(right[0] * right[0] + right[2] * right[2]);
    if (!(m > 1e-6f)) {
        right[0] = 1, right[2] = 0, m = 1;
    }
    right[0] /= m, right[2] /= m;
    const float up[3] = {back[1] * right[2] - back[2] * right[1], back[2] * right[0] - back[0] * right[2],
                         back[0] * right[1] - back[1] * right[0]};
    for (int i = 0; i < 3; ++i) {
        rotation[3 * i + 0] = right[i];
        rotation[3 * i + 1] = up[i];
        rotation[3 * i + 2] = back[i];
    }
}

void render_first_person(int32_t slot, float fov)
{
    if (!race_rider_exists(slot)) {
        world_draw(last_camera.position, last_camera.rotation, fov, -1);
        return;
    }
    dBodyID body = rider_get_rider_body(&rider_slots[slot]);
    const dReal* p = dBodyGetPosition(body);
    const dReal* R = dBodyGetRotation(body);
    if (!finite3(p)) {
        world_draw(last_camera.position, last_camera.rotation, fov, slot);
        return;
    }
    const float eye[3] = {float(p[0]), float(p[1]), float(p[2])};
    float rotation[9];
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            rotation[3 * i + j] = float(R[4 * i + j]);
    world_draw(eye, rotation, fov, slot);
}

void render_chase(int32_t slot, float fov, float angle, float distance, float height,
                  const float target_offset[3])
{
    float target[3] = {last_camera.position[0], last_camera.position[1], last_camera.position[2]};
    if (race_rider_exists(slot)) {
        dBodyID body = rider_get_frame_body(&rider_slots[slot]);
        const dReal* p = dBodyGetPosition(body);
        const dReal* R = dBodyGetRotation(body);
        if (finite3(p)) {
            // The target point in the frame, and the bike's backward axis on the ground.
            for (int i = 0; i < 3; ++i)
                target[i] = float(p[i] + R[4 * i] * target_offset[0] + R[4 * i + 1] * target_offset[1] +
                                  R[4 * i + 2] * target_offset[2]);
            float bx = float(R[2]), bz = float(R[10]);
            const float n = std::sqrt(bx * bx + bz * bz);
            if (n > 1e-6f)
                bx /= n, bz /= n;
            else
                bx = 0, bz = 1;
            const float c = std::cos(angle), s = std::sin(angle);
            const float eye[3] = {target[0] + (c * bx + s * bz) * distance, target[1] + height,
                                  target[2] + (c * bz - s * bx) * distance};
            if (std::isfinite(eye[0]) && std::isfinite(eye[1]) && std::isfinite(eye[2])) {
                for (int k = 0; k < 3; ++k)
                    chase_eye[k] = eye[k];
                chase_eye_known = true;
            }
        }
    }
    float rotation[9];
    look_at(chase_eye, target, rotation);
    world_draw(chase_eye, rotation, fov, -1);
}

void render_trackside(int32_t slot, float fov)
{
    // The stand-in trackside camera: high above and behind the rider.
    const float centre[3] = {0, 0, 0};
    render_chase(slot, fov, 0.6f, 40, 20, centre);
}
