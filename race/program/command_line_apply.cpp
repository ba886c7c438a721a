#include "race/program/command_line.h"

#include "foundation/intern.h"
#include "gfx/model_scene.h"
#include "gfx/texture_settings.h"
#include "race/net/net_client.h"
#include "race/race_state.h"
#include "race/program/settings_values.h"
#include "sim/ai_lines_file.h"
#include "sim/wheel_sampling.h"
#include "terrain/terrain_settings.h"

#include <cstring>

void command_line_apply(const command_line& c)
{
    if (c.verbose_level)
        verbose_level = *c.verbose_level;
    if (c.learning)
        ai_lines_learning = *c.learning;
    if (c.model_texture_drop)
        texture_detail_drop = *c.model_texture_drop;
    if (c.ground_texture_drop)
        terrain_texture_drop = *c.ground_texture_drop;
    if (c.max_detail_distance) {
        terrain_max_detail_distance = *c.max_detail_distance;
        terrain_max_detail_distance_outer = *c.max_detail_distance + 5;
    }
    if (c.terrain_error_scale)
        terrain_error_scale = *c.terrain_error_scale;
    if (c.lod_scale)
        lod_scale = *c.lod_scale;
    if (c.lod_bias)
        lod_bias = *c.lod_bias;
    if (c.roost_density)
        roost_density = *c.roost_density;
    if (c.draw_fps)
        plain_values.draw_fps = *c.draw_fps;
    if (c.draw_time)
        plain_values.draw_time = *c.draw_time;
    if (c.draw_ping)
        plain_values.draw_ping = *c.draw_ping;
    if (c.draw_speed)
        plain_values.draw_speed = *c.draw_speed;
    if (c.fugly)
        race_opts.fugly = 1;
    if (c.editor)
        race_opts.editor = 1;
    if (c.erode)
        race_opts.erode = *c.erode;
    if (c.connect) {
        // The parser has cut the address to what the field holds.
        strncpy(server_name, c.connect->c_str(), kServerNameSize - 1);
        server_name[kServerNameSize - 1] = '\0';
        server_history_push();
        net_set_server_name(server_name);
    }
    if (c.password)
        net_password = intern_string(c.password->c_str());
    if (c.fake_lag)
        net_fake_lag = *c.fake_lag;
    if (c.fake_loss)
        net_fake_loss = *c.fake_loss;
}
