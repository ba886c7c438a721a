#include "view/rider_draw.h"

#include "gfx/gl_layer.h"
#include "gfx/gl_state.h"
#include "gfx/model.h"
#include "gfx/shaders.h"
#include "sim/bike_build.h"
#include "sim/rider_slot.h"
#include "view/view_settings.h"

namespace {

void bind_set(const texture_set& set)
{
    bvglActiveTexture(GL_TEXTURE0);
    bvglBindTexture(GL_TEXTURE_2D, set.colour);
    bvglActiveTexture(GL_TEXTURE1);
    bvglBindTexture(GL_TEXTURE_2D, set.normal ? set.normal : gl_state.gl_normal_texture);
    bvglActiveTexture(GL_TEXTURE2);
    bvglBindTexture(GL_TEXTURE_2D, set.specular ? set.specular : gl_state.gl_white_texture);
    bvglActiveTexture(GL_TEXTURE0);
    frame_stats.texture_changes += 3;
    model_has_specular_map = set.specular ? 1 : 0;
}

void draw_on(const model* m, dBodyID body)
{
    if (!m || !body)
        return;
    float position[3], rotation[9];
    body_push_matrix(body, position, rotation);
    model_draw(m, position);
    bvglPopMatrix();
}

}  // namespace

void rider_draw(rider_slot* rider, int mode, const float*)
{
    const bool own_view = mode != 0 && rider->crash_counter == 0;
    bvglEnable(GL_BLEND);
    bvglBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    gl_use_shader(shader_norm_spec_lit);
    imm_color[0] = imm_color[1] = imm_color[2] = imm_color[3] = 1;

    bind_set(rider->bike_textures);
    draw_on(rider->frame_model, rider->bodies[body_frame]);
    draw_on(rider->fork_upper_model, rider->bodies[body_fork_upper]);
    draw_on(rider->fork_lower_model, rider->bodies[body_fork_lower]);
    if (!own_view)
        draw_on(rider->swingarm_model, rider->bodies[body_swingarm]);

    bind_set(rider->wheel_textures);
    draw_on(rider->front_wheel_model, rider->bodies[body_front_wheel]);
    if (!own_view)
        draw_on(rider->rear_wheel_model, rider->bodies[body_rear_wheel]);

    model_has_specular_map = 0;
    gl_use_shader(shader_unlit);
}
