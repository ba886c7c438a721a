#include "view/statue_draw.h"

#include "gfx/gl_layer.h"
#include "gfx/gl_state.h"
#include "gfx/model.h"
#include "gfx/model_scene.h"
#include "gfx/shaders.h"
#include "race/program/settings_values.h"
#include "terrain/lighting.h"
#include "terrain/statues.h"
#include "view/view_settings.h"

#include <cmath>

namespace {

// Binds a texture on a unit when it differs from what the previous statue had there.
void bind_changed(int unit, uint32_t texture, uint32_t* previous)
{
    if (texture == *previous)
        return;
    bvglActiveTexture(GL_TEXTURE0 + unit);
    bvglBindTexture(GL_TEXTURE_2D, texture);
    ++frame_stats.texture_changes;
    *previous = texture;
}

uint32_t normal_map_of(const statue& s)
{
    return s.normal_map ? s.normal_map : gl_state.gl_normal_texture;
}

}  // namespace

bool statue_facing(float rotation[9], float dx, float dz)
{
    const float length = std::sqrt(dx * dx + dz * dz);
    if (!(length > 0) || !std::isfinite(length))
        return false;
    const float x = dx / length, z = dz / length;
    const float rows[9] = {z, 0, x, 0, 1, 0, -x, 0, z};
    for (int k = 0; k < 9; ++k)
        rotation[k] = rows[k];
    return true;
}

void draw_statue(statue* s, const float camera[3], int reflection_pass)
{
    const float dx = camera[0] - s->x, dy = camera[1] - s->y, dz = camera[2] - s->z;
    const double d2 = double(dx) * dx + double(dy) * dy + double(dz) * dz;
    const double detail = graphics_settings.model_detail;
    if (detail <= 10) {
        const double limit = detail * detail * 20;
        if (d2 > limit * limit)
            return;
    }
    bvglPushMatrix();
    bvglTranslatef(s->x, s->y, s->z);
    const double reach = double(s->scale) - lod_bias;
    if (s->scale != 0 && d2 * lod_scale * lod_scale > reach * reach)
        statue_facing(s->rotation, dx, dz);
    const float* r = s->rotation;
    // Row-major rows written as column-major columns would transpose; the model's
    // axes are the rotation's columns, so they go in as the matrix's columns.
    const float m[16] = {r[0], r[3], r[6], 0, r[1], r[4], r[7], 0, r[2], r[5], r[8], 0, 0, 0, 0, 1};
    bvglMultMatrixf(m);
    imm_color[0] = imm_color[1] = imm_color[2] = imm_color[3] = 1;
    const float position[3] = {s->x, s->y, s->z};
    if (reflection_pass)
        model_draw_reflection_skinned(s->mesh, position, s->bone_centres, s->bone_translations, s->bone_rotations,
                                      s->bone_count);
    else
        model_draw_skinned(s->mesh, position, s->bone_centres, s->bone_translations, s->bone_rotations,
                           s->bone_count);
    bvglPopMatrix();
}

void draw_statues(const float camera[3])
{
    gl_use_shader(shader_norm_spec_lit);
    bvglEnable(GL_BLEND);
    bvglBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    uint32_t bound[3] = {0, 0, 0};
    const int32_t n = statue_count();
    for (int32_t i = 0; i < n; ++i) {
        statue* s = statue_at(i);
        if (!s->mesh || !s->texture)
            continue;
        bind_changed(0, s->texture, &bound[0]);
        bind_changed(1, normal_map_of(*s), &bound[1]);
        bind_changed(2, s->specular_map ? s->specular_map : gl_state.gl_white_texture, &bound[2]);
        model_has_specular_map = s->specular_map ? 1 : 0;
        draw_statue(s, camera, 0);
        model_has_specular_map = 0;
    }
    for (int unit = 2; unit >= 1; --unit) {
        bvglActiveTexture(GL_TEXTURE0 + unit);
        bvglBindTexture(GL_TEXTURE_2D, 0);
        ++frame_stats.texture_changes;
    }
    bvglActiveTexture(GL_TEXTURE0);

    {
        gl_use_shader(shader_norm_env);
        bvglBlendFunc(GL_ONE, GL_ONE);
        bvglBindTexture(GL_TEXTURE_2D, lighting.sky[sky_env]);
        uint32_t normal = 0;
        for (int32_t i = 0; i < n; ++i) {
            statue* s = statue_at(i);
            if (!s->mesh || !s->texture || !model_has_reflection(s->mesh))
                continue;
            bind_changed(1, normal_map_of(*s), &normal);
            bvglActiveTexture(GL_TEXTURE0);
            draw_statue(s, camera, 1);
        }
        bvglActiveTexture(GL_TEXTURE1);
        bvglBindTexture(GL_TEXTURE_2D, 0);
        bvglActiveTexture(GL_TEXTURE0);
        bvglBindTexture(GL_TEXTURE_2D, 0);
    }
    bvglDisable(GL_BLEND);
    gl_use_shader(shader_unlit);
}
