#include "view/rider_draw.h"

#include "gfx/gl_layer.h"
#include "gfx/gl_state.h"
#include "gfx/model.h"
#include "gfx/shaders.h"
#include "gfx/texture_settings.h"
#include "sim/ai_line_point.h"
#include "sim/bike_build.h"
#include "sim/bike_info.h"
#include "sim/rider_slot.h"
#include "terrain/lighting.h"
#include "view/rider_pose.h"

#include <algorithm>
#include <cmath>

namespace {

void bind_textures(uint32_t colour, uint32_t normal, uint32_t specular)
{
    bvglActiveTexture(GL_TEXTURE0);
    bvglBindTexture(GL_TEXTURE_2D, colour);
    bvglActiveTexture(GL_TEXTURE1);
    bvglBindTexture(GL_TEXTURE_2D, normal ? normal : gl_state.gl_normal_texture);
    bvglActiveTexture(GL_TEXTURE2);
    bvglBindTexture(GL_TEXTURE_2D, specular ? specular : gl_state.gl_white_texture);
    bvglActiveTexture(GL_TEXTURE0);
    model_has_specular_map = specular ? 1 : 0;
}

void bind_set(const texture_set& set) { bind_textures(set.colour, set.normal, set.specular); }

void draw_on(const model* m, dBodyID body, bool reflection)
{
    if (!m || !body || (reflection && !model_has_reflection(m)))
        return;
    float position[3], rotation[9];
    body_push_matrix(body, position, rotation);
    if (reflection)
        model_draw_reflection(m, position);
    else
        model_draw(m, position);
    bvglPopMatrix();
}

void draw_head(const model* m, const rider_pose& pose, bool reflection)
{
    const float* x = pose.head_axes;
    const float matrix[16] = {x[0], x[1], x[2], 0, x[3], x[4], x[5], 0, x[6], x[7], x[8], 0, 0, 0, 0, 1};
    bvglPushMatrix();
    bvglTranslatef(pose.head_position[0], pose.head_position[1], pose.head_position[2]);
    bvglMultMatrixf(matrix);
    if (reflection)
        model_draw_reflection(m, pose.head_position);
    else
        model_draw(m, pose.head_position);
    bvglPopMatrix();
}

void draw_skinned(const model* m, const rider_slot* rider, const rider_pose& pose, bool reflection)
{
    const float* centres = bike_infos[std::clamp(rider->bike_index, 0, kBikeCount - 1)].pose_points + kPoseBoneCentres;
    if (reflection)
        model_draw_reflection_skinned(m, pose.body_position, centres, pose.translations, pose.rotations, kRiderBones);
    else
        model_draw_skinned(m, pose.body_position, centres, pose.translations, pose.rotations, kRiderBones);
}

// The reflection pass selects its program only once something reflects.
struct reflection_pass {
    bool started = false;
    bool ready(const model* m)
    {
        if (!m || !model_has_reflection(m))
            return false;
        if (!started)
            gl_use_shader(shader_norm_env);
        started = true;
        return true;
    }
};

void draw_path_markers(const rider_slot* rider)
{
    if (rider->path_count <= 0 || !rider->path.items)
        return;
    bvglActiveTexture(GL_TEXTURE0);
    bvglBindTexture(GL_TEXTURE_2D, gl_state.gl_white_texture);
    bvglDisable(GL_BLEND);
    bvglBegin(GL_QUADS);
    const auto* points = static_cast<const ai_line_point*>(rider->path.items);
    const int count = std::min<int>(rider->path_count, rider->path.count);
    for (int i = 0; i < count; ++i) {
        const float p[3] = {points[i].x, points[i].y, points[i].z};
        if (i == rider->path_index)
            path_marker(p, 1, 1, 1, 0.25f);
        else if (std::signbit(points[i].speed))
            path_marker(p, 0.5f, 0.5f, 1, 0.125f);
        else
            path_marker(p, 0.5f, 0.5f, 0.5f, 0.125f);
    }
    bvglEnd();
}

}  // namespace

void path_marker(const float point[3], float r, float g, float b, float h)
{
    const float x = point[0], y = point[1], z = point[2];
    auto square = [&](float half, float height, bool flip) {
        const float xs[4] = {x - half, x + half, x + half, x - half};
        const float zs[4] = {z - half, z - half, z + half, z + half};
        for (int k = 0; k < 4; ++k) {
            const int i = flip ? 3 - k : k;
            bvglVertex3f(xs[i], height, zs[i]);
        }
    };
    imm_color[0] = imm_color[1] = imm_color[2] = 0, imm_color[3] = 1;
    square(1.5f, y, false);
    square(1.5f, y, true);
    imm_color[0] = r, imm_color[1] = g, imm_color[2] = b, imm_color[3] = 1;
    square(1, y + h, false);
    square(1, y - h, false);
}

void rider_draw(rider_slot* rider, int mode, const float*)
{
    const bool own_view = mode != 0 && rider->crash_counter == 0;
    dBodyID* bodies = rider->bodies;
    bvglEnable(GL_BLEND);
    bvglBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    gl_use_shader(shader_norm_spec_lit);
    imm_color[0] = imm_color[1] = imm_color[2] = imm_color[3] = 1;

    bind_set(rider->bike_textures);
    draw_on(rider->frame_model, bodies[body_frame], false);
    draw_on(rider->fork_upper_model, bodies[body_fork_upper], false);
    draw_on(rider->fork_lower_model, bodies[body_fork_lower], false);
    if (!own_view)
        draw_on(rider->swingarm_model, bodies[body_swingarm], false);

    bind_set(rider->wheel_textures);
    draw_on(rider->front_wheel_model, bodies[body_front_wheel], false);
    if (!own_view)
        draw_on(rider->rear_wheel_model, bodies[body_rear_wheel], false);

    const bool has_body = bodies[body_rider] != nullptr;
    rider_pose pose;
    bool posed = false;
    const model* figure = nullptr;
    if (has_body && (rider->rider_body_model || (mode == 0 && rider->head_model)))
        rider_pose_compute(rider, &pose);
    if (mode != 1 && has_body && rider->rider_body_model) {
        posed = true;
        figure = mode == 2 && rider->rider_body_fp_model ? rider->rider_body_fp_model : rider->rider_body_model;
        bind_set(rider->rider_textures);
        draw_skinned(figure, rider, pose, false);
    }
    const bool head = mode == 0 && has_body && rider->head_model;
    if (head) {
        bind_set(rider->head_textures);
        draw_head(rider->head_model, pose, false);
    }

    bind_textures(rider->number_texture, 0, 0);
    draw_on(rider->front_plate_model, bodies[body_fork_upper], false);
    draw_on(rider->side_plates_model, bodies[body_frame], false);
    const bool rider_plate = mode == 0 && posed && rider->rider_plate_model;
    if (rider_plate)
        draw_skinned(rider->rider_plate_model, rider, pose, false);

    // Reflections add the environment sky over what was drawn.
    bvglBlendFunc(GL_ONE, GL_ONE);
    bvglActiveTexture(GL_TEXTURE2);
    bvglBindTexture(GL_TEXTURE_2D, 0);
    bvglActiveTexture(GL_TEXTURE0);
    bvglBindTexture(GL_TEXTURE_2D, lighting.sky[sky_env]);
    model_has_specular_map = 0;
    reflection_pass pass;
    if (pass.ready(rider->frame_model))
        draw_on(rider->frame_model, bodies[body_frame], true);
    if (pass.ready(rider->fork_upper_model))
        draw_on(rider->fork_upper_model, bodies[body_fork_upper], true);
    if (!own_view) {
        const struct { const model* m; int body; } parts[] = {
            {rider->fork_lower_model, body_fork_lower},
            {rider->swingarm_model, body_swingarm},
            {rider->front_wheel_model, body_front_wheel},
            {rider->rear_wheel_model, body_rear_wheel},
        };
        for (const auto& part : parts)
            if (pass.ready(part.m))
                draw_on(part.m, bodies[part.body], true);
    }
    if (posed && pass.ready(figure))
        draw_skinned(figure, rider, pose, true);
    if (head && pass.ready(rider->head_model))
        draw_head(rider->head_model, pose, true);
    if (pass.ready(rider->front_plate_model))
        draw_on(rider->front_plate_model, bodies[body_fork_upper], true);
    if (pass.ready(rider->side_plates_model))
        draw_on(rider->side_plates_model, bodies[body_frame], true);
    if (rider_plate && pass.ready(rider->rider_plate_model))
        draw_skinned(rider->rider_plate_model, rider, pose, true);
    bvglActiveTexture(GL_TEXTURE1);
    bvglBindTexture(GL_TEXTURE_2D, 0);
    bvglActiveTexture(GL_TEXTURE0);
    gl_use_shader(shader_unlit);

    if (verbose_level >= 2)
        draw_path_markers(rider);
}
