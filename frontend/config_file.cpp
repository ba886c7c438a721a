#include "frontend/config_file.h"

#include "foundation/door/data_name.h"
#include "foundation/start/startup_check.h"
#include "foundation/intern.h"
#include "foundation/os_paths.h"
#include "foundation/text/scan.h"
#include "foundation/vfs/vfs.h"
#include "foundation/door/whole_file.h"
#include "frontend/message_line.h"
#include "frontend/settings.h"
#include "frontend/setup_file.h"
#include "platform/qorl_log.h"
#include "race/program/bindings.h"
#include "race/game_settings.h"
#include "race/program/settings_values.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace
{

enum class kind { integer, real, choice, track, slots, setup, server, history, map_scale, bindings, use_fbo, ignored };

struct config_key {
    const char* key;
    kind k;
    void* value; // int32_t, ui_slider, ui_choice or float
};

config_key integer(const char* key, int32_t& v)
{
    return {key, kind::integer, &v};
}
config_key real(const char* key, ui_slider& s)
{
    return {key, kind::real, &s};
}
config_key pick(const char* key, ui_choice& c)
{
    return {key, kind::choice, &c};
}
config_key block(kind k)
{
    return {"", k, nullptr};
}

// In the order config_write writes them; the last two are only read.
const config_key config_keys[] = {
    integer("xres", plain_values.xres),
    integer("yres", plain_values.yres),
    integer("draw_fps", plain_values.draw_fps),
    integer("draw_time", plain_values.draw_time),
    integer("draw_ping", plain_values.draw_ping),
    integer("draw_speed", plain_values.draw_speed),
    integer("spy", plain_values.spy),
    {"track", kind::track, nullptr},
    pick("record", record_demo_choice),
    pick("skill", robot_skill_choice),
    real("minutes", minutes_slider),
    real("laps", laps_slider),
    block(kind::slots),
    real("ghost_fade_distance", ghost_fade_slider),
    pick("time_trial_abort", time_trial_abort_choice),
    block(kind::setup),
    pick("video_mode", video_mode_choice),
    {"server_name", kind::server, nullptr},
    block(kind::history),
    real("ground_detail", ground_detail_slider),
    real("ground_texture_detail", ground_texture_detail_slider),
    pick("ground_texture_dim", ground_texture_dim_old_choice),
    pick("ground_texture_dim_new", ground_texture_dim_choice),
    pick("ground_mipmaps", ground_mipmaps_choice),
    pick("texture_compress", compress_textures_choice),
    pick("render_texture", render_texture_choice),
    pick("use_shader", use_shader_choice),
    real("roost_density", roost_density_slider),
    real("reshade_delay", reshade_delay_slider),
    real("terrain_resync_rate", terrain_sync_slider),
    pick("lens_flare", lens_flare_choice),
    pick("reflections", reflections_choice),
    pick("hide_rider", hide_rider_choice),
    pick("rigid_camera", rigid_camera_choice),
    real("model_detail", model_detail_slider),
    real("model_texture_detail", model_texture_detail_slider),
    real("fov", fov_slider),
    real("first_person_height", first_person_height_slider),
    real("first_person_angle", first_person_angle_slider),
    real("first_person_gimbal", first_person_gimbal_slider),
    real("third_person_height", third_person_height_slider),
    real("third_person_distance", third_person_distance_slider),
    real("volume", volume_slider),
    real("comp_volume", comp_volume_slider),
    pick("playback_mode", playback_mode_choice),
    integer("billboard_optimize_lookahead", plain_values.billboard_optimize_lookahead),
    integer("message_lines", message_lines),
    integer("demo_backups", plain_values.demo_backups),
    {"map_scale", kind::map_scale, &plain_values.map_scale},
    block(kind::bindings),
    {"use_fbo", kind::use_fbo, nullptr},
    {"ground_texture_distance", kind::ignored, nullptr},
};

// Set when "@config" exists but could not be read: shutdown must not replace it.
bool unreadable = false;

// The index n when key is the prefix followed by two digits below count, else -1.
int numbered(const char* key, const char* prefix, int count)
{
    char name[32];
    for (int i = 0; i < count; ++i) {
        snprintf(name, sizeof name, "%s%02d", prefix, i);
        if (strcmp(key, name) == 0)
            return i;
    }
    return -1;
}

void apply_table_key(const config_key& c, const char* value)
{
    switch (c.k) {
    case kind::integer: {
        int v = 0;
        if (scan_string(value, "%d", &v) == 1)
            *static_cast<int32_t*>(c.value) = v;
        break;
    }
    case kind::real:
        setting_real(static_cast<ui_slider*>(c.value), value);
        break;
    case kind::choice:
        ui_choice_select(static_cast<ui_choice*>(c.value), value);
        break;
    case kind::track:
        game_settings.track = intern_string(value);
        break;
    case kind::server:
        ui_text_set(&server_field, value);
        break;
    case kind::map_scale: {
        float v = 0;
        if (scan_string(value, "%f", &v) == 1 && v == v)
            *static_cast<float*>(c.value) = v < 0.125f ? 0.125f : v > 8.0f ? 8.0f : v;
        break;
    }
    case kind::use_fbo:
        ui_choice_select(&use_fbo_choice, value);
        render_texture_choice.selected = use_fbo_choice.selected == 1 ? 2 : 1;
        break;
    default:
        break;
    }
}

void apply_config_line(const char* key, const char* value)
{
    if (setup_parse(key, value))
        return;
    for (const config_key& c : config_keys)
        if (c.key[0] && strcmp(c.key, key) == 0) {
            apply_table_key(c, value);
            return;
        }
    if (const int slot = numbered(key, "slot", kGateSlots); slot >= 0) {
        ui_choice_select(&gate_choices[slot], value);
        return;
    }
    if (const int entry = numbered(key, "server_name_hist", kServerHistory); entry >= 0) {
        if (strlen(value) <= kServerNameSize - 2)
            memcpy(server_name_hist[entry], value, strlen(value) + 1);
        return;
    }
    for (const binding_config_key& b : binding_config_keys)
        if (strcmp(key, b.key) == 0) {
            binding_parse(&bindings[b.id], value);
            return;
        }
}

const char* choice_text(const ui_choice* c)
{
    return c->selected >= 0 && c->selected < c->count && c->items[c->selected] ? c->items[c->selected] : "";
}

int write_key(vfs_file* f, const config_key& c)
{
    switch (c.k) {
    case kind::integer:
        return vfs_printf(f, "%s=%d\n", c.key, *static_cast<int32_t*>(c.value)) >= 0;
    case kind::real:
        return vfs_printf(f, "%s=%f\n", c.key, static_cast<ui_slider*>(c.value)->value) >= 0;
    case kind::choice:
        return setting_line_write(f, c.key, choice_text(static_cast<ui_choice*>(c.value))) >= 0;
    case kind::track: {
        // Until the track list stands, the text that was read goes back unchanged.
        const char* folder = track_choice_folder();
        return setting_line_write(f, "track", folder ? folder : game_settings.track) >= 0;
    }
    case kind::slots: {
        bool ok = true;
        char key[16];
        for (int i = 0; i < kGateSlots; ++i) {
            snprintf(key, sizeof key, "slot%02d", i);
            ok = setting_line_write(f, key, choice_text(&gate_choices[i])) >= 0 && ok;
        }
        return ok;
    }
    case kind::setup:
        return setup_write(f);
    case kind::server:
        return setting_line_write(f, "server_name", std::string(server_name, strnlen(server_name, 127)).c_str()) >= 0;
    case kind::history: {
        bool ok = true;
        char key[32];
        for (int i = 0; i < kServerHistory; ++i) {
            snprintf(key, sizeof key, "server_name_hist%02d", i);
            ok = setting_line_write(f, key, std::string(server_name_hist[i], strnlen(server_name_hist[i], 127)).c_str()) >= 0 && ok;
        }
        return ok;
    }
    case kind::map_scale:
        return vfs_printf(f, "map_scale=%f\n", double(*static_cast<float*>(c.value))) >= 0;
    case kind::bindings: {
        bool ok = true;
        std::string value;
        for (const binding_config_key& b : binding_config_keys)
            if (binding_config_value(&bindings[b.id], &value))
                ok = setting_line_write(f, b.key, value.c_str()) >= 0 && ok;
        return ok;
    }
    default:
        return 1;
    }
}

int write_config(vfs_file* f, void*)
{
    bool ok = true;
    for (const config_key& c : config_keys)
        ok = write_key(f, c) && ok;
    return ok ? 1 : 0;
}

}  // namespace

int config_read()
{
    // The user folder's file first, through the read step as its write goes through the
    // write step; one that is there but cannot be read is noted, so that shutdown leaves
    // it for the user to mend instead of writing defaults over it.
    vfs_file* f = nullptr;
    const int own = vfs_open_own(&f, "@config");
    if (own < 0) {
        unreadable = true;
        qorl_log("Can't read '@config' in the user folder: it is kept as it is\n");
        return 0;
    }
    const char* name = "@config";
    if (!f)
        f = vfs_open(name, "rb");
    if (!f)
        return 0;
    setting_lines_read(f, name, apply_config_line);
    if (ferror(f->file) && own == 1) {
        unreadable = true;
        qorl_log("Can't read '@config' in the user folder: it is kept as it is\n");
    }
    vfs_close(f);
    return 1;
}

int config_write()
{
    if (unreadable) {
        qorl_log("Settings not written: the config file could not be read at start-up\n");
        return 0;
    }
    if (!whole_file_write("@config", write_config, nullptr)) {
        qorl_log("Can't write the config file\n");
        return 0;
    }
    return 1;
}

void config_forget_unreadable()
{
    unreadable = false;
}
