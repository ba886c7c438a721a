#include "frontend/settings.h"

#include "foundation/intern.h"
#include "foundation/memory.h"
#include "frontend/message_line.h"
#include "frontend/texture_choices.h"
#include "gfx/model_scene.h"
#include "gfx/texture_settings.h"
#include "race/program/bindings.h"
#include "race/game_settings.h"
#include "race/net/player_setup.h"
#include "race/race_state.h"
#include "race/program/settings_values.h"
#include "sim/wheel_sampling.h"
#include "terrain/terrain_settings.h"
#include "terrain/track_list.h"
#include "view/camera_views.h"
#include "view/sound_listener.h"
#include "view/view_settings.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>

namespace {

// A fresh user races against five robots from gates 18 to 23, from gate 20 themself.
constexpr std::array<int, kGateSlots> default_gates = [] {
    std::array<int, kGateSlots> gates{};
    for (int i = 17; i <= 22; ++i)
        gates[i] = 2;
    gates[19] = 1;
    return gates;
}();

// The values only the front end reads; the rest live where the race core, the views,
// the graphics and the simulation read them. The track is the chooser's index: the
// race is given its folder when it starts.
struct front_values {
    int track = 0;
    std::array<int, kGateSlots> gates = default_gates;
    int playback_mode = 0;
    int ground_texture_dim_old = 2;
    int use_fbo = 1;
    double reshade_delay = 0;
    int bike = 0;
    char rider_name[64] = "Quinlo Dust";
    char rider_number[4] = "999";
    int graphics[4] = {};
};
front_values front;

const char* const no_yes[] = {"No", "Yes"};
const char* const no_yes_always[] = {"No", "Yes", "Always"};
const char* const skills[] = {"Novice", "Amateur", "Expert"};
const char* const gate_items[] = {"Empty", "Human", "Robot", "Robot (2 stroke)", "Robot (4 stroke)"};
const char* const playback_items[] = {"Playback Only", "Race Against"};
const char* const old_dims[] = {"32x32", "64x64", "128x128", "256x256", "512x512", "1024x1024"};
const char* const dims[] = {"128x128", "256x256", "512x512", "1024x1024", "2048x2048", "4096x4096"};
const char* const render_methods[] = {"Software", "Hardware/Copy", "Hardware/Direct", "Shaders/Copy",
                                      "Shaders/Direct"};
const char* const brakes[] = {"Normal", "Antilock"};
const char* const wheelie_items[] = {"No", "Yes", "Front Only"};
const char* const default_only[] = {"default"};
const char* const video_fixed[] = {"Default Fullscreen", "Windowed"};

char gate_labels[kGateSlots][8];
const bool gate_labels_set = [] {
    for (int i = 0; i < kGateSlots; ++i)
        snprintf(gate_labels[i], sizeof gate_labels[i], "Gate %d", i + 1);
    return true;
}();

template <size_t N>
ui_choice choice(const char* label, const char* const (&items)[N], int& selected)
{
    return {label, items, int(N), selected, {-1, -1, -1, -1}};
}

ui_slider slider(const char* label, double& value, double min, double max, double step)
{
    return {label, value, step, min, max, {-1, -1, -1, -1}, 0, 0};
}

ui_choice gate(int i)
{
    return {gate_labels[i], gate_items, 5, front.gates[i], {-1, -1, -1, -1}};
}

ui_choice graphics(const char* label, int i)
{
    return choice(label, default_only, front.graphics[i]);
}

// The video-mode list's storage: one block of names and their sizes.
struct video_mode_entry {
    int32_t size[2];
    char name[22];
};
video_mode_entry* video_modes = nullptr;
const char** video_mode_names = nullptr;

// The track list's titles as the track choice's items.
const char** track_titles = nullptr;

}  // namespace

// The bike database's models in its order (the "Bike" choice's items).
const char* const bike_names[kBikeModels] = {
    "450sxf(2018)", "crf450(2018)", "fc450(2018)",  "kx450f(2018)", "rmz450(2018)", "yz450f(2018)",
    "450sxf(2017)", "crf450(2017)", "fc450(2017)",  "kx450f(2017)", "rmz450(2017)", "yz450f(2017)",
    "450sxf(2016)", "crf450(2016)", "kx450f(2016)", "rmz450(2016)", "yz450f(2016)", "450sxf(2013)",
    "crf450(2013)", "kx450f(2013)", "rmz450(2013)", "yz450f(2013)", "450sxf(2011)", "crf450(2011)",
    "kx450f(2011)", "rmz450(2011)", "yz450f(2011)", "350sxf(2017)", "350sxf(2013)", "350sxf(2011)",
    "250sx(2012)",  "cr250(2007)",  "kx250(2006)",  "rm250(2008)",  "yz250(2012)",  "250sxf(2018)",
    "crf250(2018)", "fc250(2018)",  "kx250f(2018)", "rmz250(2018)", "yz250f(2018)", "250sxf(2017)",
    "crf250(2017)", "fc250(2017)",  "kx250f(2017)", "rmz250(2017)", "yz250f(2017)", "250sxf(2016)",
    "crf250(2016)", "kx250f(2016)", "rmz250(2016)", "yz250f(2016)", "250sxf(2013)", "crf250(2013)",
    "kx250f(2013)", "rmz250(2013)", "yz250f(2013)", "250sxf(2009)", "crf250(2009)", "kx250f(2009)",
    "rmz250(2009)", "yz250f(2009)", "crf250(2008)", "kx250f(2008)", "rmz250(2008)", "yz250f(2008)",
    "crf250(2007)", "kx250f(2007)", "rmz250(2007)", "yz250f(2007)", "yz250f_se(2006)", "125sx",
    "cr125",        "kx125",        "rm125",        "yz125",        "rs50cr",       "rs50kx",
    "rs50rm",       "rs50yz",
};

ui_choice track_choice = {"Track", nullptr, 0, front.track, {-1, -1, -1, -1}};
ui_choice record_demo_choice = choice("Record Demo", no_yes, game_settings.record);
ui_choice robot_skill_choice = choice("Robot Skill", skills, game_settings.skill);
ui_slider minutes_slider = slider("Minutes", game_settings.minutes, 0, 60, 1);
ui_slider laps_slider = slider("Laps", game_settings.laps, 0, 50, 1);
ui_choice gate_choices[kGateSlots] = {
    gate(0),  gate(1),  gate(2),  gate(3),  gate(4),  gate(5),  gate(6),  gate(7),  gate(8),  gate(9),
    gate(10), gate(11), gate(12), gate(13), gate(14), gate(15), gate(16), gate(17), gate(18), gate(19),
    gate(20), gate(21), gate(22), gate(23), gate(24), gate(25), gate(26), gate(27), gate(28), gate(29),
    gate(30), gate(31), gate(32), gate(33), gate(34), gate(35), gate(36), gate(37), gate(38), gate(39),
};
ui_slider ghost_fade_slider = slider("Ghost Fade Distance", ghost_fade_distance, 0, 40, 1);
ui_choice time_trial_abort_choice = choice("Backing Up Aborts Attempt", no_yes, game_settings.time_trial_abort);
ui_choice playback_mode_choice = choice("Playback Mode", playback_items, front.playback_mode);

ui_choice video_mode_choice = choice("Video Mode", video_fixed, plain_values.video_mode);
ui_choice hide_rider_choice = choice("Hide 1st Person Rider", no_yes, hide_rider);
ui_choice rigid_camera_choice = choice("Rigid 3rd person camera", no_yes, camera_settings.rigid_camera);
ui_slider fov_slider = slider("Field Of View", game_settings.fov, 10, 170, 1);
ui_slider first_person_height_slider = slider("1st Person Height", camera_settings.first_person_height, 0, 1, 0.03125);
ui_slider first_person_angle_slider = slider("1st Person Angle", camera_settings.first_person_angle, 0, 40, 1);
ui_slider first_person_gimbal_slider = slider("1st Person Gimbal", camera_settings.first_person_gimbal, 0, 100, 1);
ui_slider third_person_height_slider = slider("3rd Person Height", camera_settings.third_person_height, 0, 20, 1);
ui_slider third_person_distance_slider = slider("3rd Person Distance", camera_settings.third_person_distance, 5, 40, 1);
ui_slider volume_slider = slider("Volume", volume, 0, 10, 1);
ui_slider comp_volume_slider = slider("Competitor Volume", comp_volume, 0, 10, 1);
ui_slider ground_detail_slider = slider("Ground Geometric Detail", graphics_settings.ground_detail, 0, 100, 1);
ui_slider ground_texture_detail_slider =
    slider("Ground Texture Levels", graphics_settings.ground_texture_detail, 0, 10, 1);
ui_choice ground_texture_dim_old_choice = choice("Ground Texture Resolution", old_dims, front.ground_texture_dim_old);
ui_choice ground_texture_dim_choice =
    choice("Ground Texture Resolution", dims, graphics_settings.ground_texture_dim_new);
ui_choice ground_mipmaps_choice = choice("Enable Ground Mipmaps", no_yes, graphics_settings.ground_mipmaps);
ui_choice compress_textures_choice = choice("Compress Textures", no_yes_always, texture_compress);
ui_slider model_detail_slider = slider("Model Geometric Detail", graphics_settings.model_detail, 0, 100, 1);
ui_slider model_texture_detail_slider =
    slider("Model Texture Detail", graphics_settings.model_texture_detail, 0, 10, 1);
ui_slider roost_density_slider = slider("Roost Density", graphics_settings.roost_density, 0, 1000, 10);
ui_slider terrain_sync_slider = slider("Terrain Sync Rate", graphics_settings.terrain_resync_rate, 0, 10, 1);
ui_choice lens_flare_choice = choice("Enable Lens Flares", no_yes, graphics_settings.lens_flare);
ui_choice reflections_choice = choice("Enable Reflections", no_yes, graphics_settings.reflections);
ui_choice render_texture_choice =
    choice("Terrain Rendering Method", render_methods, graphics_settings.render_texture);
ui_choice use_shader_choice = choice("Use Shader Programs", no_yes, graphics_settings.use_shader);
ui_choice use_fbo_choice = choice("Use Framebuffer Objects", no_yes, front.use_fbo);
ui_slider reshade_delay_slider = slider("Reshade Delay", front.reshade_delay, 0, 20, 1);

ui_text_field server_field = {"Server", kServerNameSize - 1, server_name, 0, 1, {-1, -1, -1, -1}};

ui_choice bike_choice = choice("Bike", bike_names, front.bike);
ui_text_field rider_name_field = {"Name", 63, front.rider_name, 0, 1, {-1, -1, -1, -1}};
ui_text_field rider_number_field = {"Number", 3, front.rider_number, 0, 0, {-1, -1, -1, -1}};
ui_choice riding_gear_choice = graphics("Riding Gear", 0);
ui_choice helmet_choice = graphics("Helmet", 1);
ui_choice bike_graphics_choice = graphics("Bike Graphics", 2);
ui_choice wheel_graphics_choice = graphics("Wheel Graphics", 3);
ui_choice* const graphics_choices[4] = {&riding_gear_choice, &helmet_choice, &bike_graphics_choice,
                                        &wheel_graphics_choice};
char kept_graphics_names[4][kKeptNameSize] = {"default", "default", "default", "default"};

ui_slider stability_slider = slider("Stability", setup.stability, 0, 100, 1);
ui_slider bike_setup_sliders[4] = {
    slider("Auto Clutch RPMs", setup.auto_clutch_rpms, 0, 5000, 100),
    slider("Braking Torque (Front)", setup.brake_torque, 0, 500, 10),
    slider("Braking Torque (Rear)", setup.rear_brake_torque, 0, 500, 10),
    slider("Max Dab Speed (MPH)", setup.max_dab_speed, 5, 60, 1),
};
ui_choice assist_choices[10] = {
    choice("Arcade Physics", no_yes, setup.arcade),
    choice("Front Brake", brakes, setup.front_brake),
    choice("Rear Brake", brakes, setup.rear_brake),
    choice("Stop Wheelies", wheelie_items, setup.stop_wheelies),
    choice("Automatic Shifting", no_yes, setup.auto_shift),
    choice("Dab When Stopped", no_yes, setup.auto_dab),
    choice("Sticky Sit/Dab", no_yes, setup.sticky_dab),
    choice("Realign After Fall", no_yes, setup.auto_align),
    choice("Reversed Steering", no_yes, setup.reverse_steering),
    choice("Lean Indicator", no_yes, setup.lean_indicator),
};
ui_slider suspension_sliders[20] = {
    slider("Fork High Speed Compression Damping", setup.fork_compression_adjustment, 0, 100, 1),
    slider("Fork Low Speed Compression Damping", setup.fork_slow_compression_adjustment, 0, 100, 1),
    slider("Fork High Speed Rebound Damping", setup.fork_rebound_adjustment, 0, 100, 1),
    slider("Fork Low Speed Rebound Damping", setup.fork_slow_rebound_adjustment, 0, 100, 1),
    slider("Fork Spring Rate", setup.fork_spring_rate_adjustment, 0, 100, 1),
    slider("Fork Preload", setup.fork_preload_adjustment, 0, 100, 1),
    slider("Fork Oil Level", setup.fork_oil_level_adjustment, 0, 100, 1),
    slider("Shock High Speed Compression Damping", setup.shock_compression_adjustment, 0, 100, 1),
    slider("Shock Low Speed Compression Damping", setup.shock_slow_compression_adjustment, 0, 100, 1),
    slider("Shock High Speed Rebound Damping", setup.shock_rebound_adjustment, 0, 100, 1),
    slider("Shock Low Speed Rebound Damping", setup.shock_slow_rebound_adjustment, 0, 100, 1),
    slider("Shock Spring Rate", setup.shock_spring_rate_adjustment, 0, 100, 1),
    slider("Shock Preload", setup.shock_preload_adjustment, 0, 100, 1),
    slider("Countershaft Sprocket", setup.front_sprocket_adjustment, -2, 2, 1),
    slider("Rear Sprocket", setup.rear_sprocket_adjustment, -2, 2, 1),
    slider("Rider Vertical Spring", setup.rider_yspring, 0, 100, 1),
    slider("Rider Vertical Damping", setup.rider_ydamping, 0, 100, 1),
    slider("Rider Forward Spring", setup.rider_zspring, 0, 100, 1),
    slider("Rider Forward Damping", setup.rider_zdamping, 0, 100, 1),
    slider("Rider Mass Distribution", setup.rider_mass_distribution, 0.33, 0.5, 0.01),
};
namespace {
ui_slider advanced[16] = {
    slider("Leveling", setup.leveling, 0, 100, 1),
    slider("Roll Damping", setup.roll_damping, 0, 100, 1),
    slider("Roll Limit Angle", setup.roll_limit_angle, 0, 180, 1),
    slider("Roll Limit Factor", setup.roll_limit_factor, 0, 64, 1),
    slider("Steering Damping", setup.steering_damping, 0, 100, 1),
    slider("Steering Strength", setup.steering_strength, 0, 100, 1),
    slider("Max Steering Force", setup.max_steering_force, 0, 1000, 5),
    slider("Direct Steering", setup.direct_steering, 0, 1, 0.125),
    slider("Slow Damping Speed", setup.slow_damping_speed, 0, 100, 1),
    slider("Slow Damping Factor", setup.slow_damping_factor, 1, 10, 0.25),
    slider("Landing Damping Ramp Up", setup.land_damping_rampup, 0, 0.5, 0.0078125),
    slider("Landing Damping Falloff", setup.land_damping_falloff, 0, 0.5, 0.0625),
    slider("Landing Damping Factor", setup.land_damping_factor, 1, 3, 0.25),
    slider("Full Lock Speed", setup.full_lock_speed, 1, 100, 1),
    slider("Restricted Lock Speed", setup.restricted_lock_speed, 1, 100, 1),
    slider("Restricted Lock Angle", setup.restricted_lock, 0, 45, 0.125),
};
}  // namespace
ui_slider* const advanced_stability_sliders[16] = {
    &advanced[0], &advanced[1], &advanced[2],  &advanced[3],  &advanced[4],  &advanced[5],  &advanced[6],  &advanced[7],
    &advanced[8], &advanced[9], &advanced[10], &advanced[11], &advanced[12], &advanced[13], &advanced[14], &advanced[15],
};

void video_modes_build(const int32_t* sizes, int count)
{
    // The selection is kept by its text: the list may differ from the last run's.
    char selected[22];
    snprintf(selected, sizeof selected, "%s", video_mode_choice.items[video_mode_choice.selected]);
    count = std::max(count, 0);
    const int total = count + 2;
    auto* entries = static_cast<video_mode_entry*>(xmalloc(sizeof(video_mode_entry) * size_t(total)));
    auto* names = static_cast<const char**>(xmalloc(sizeof(const char*) * size_t(total)));
    for (int i = 0; i < total; ++i) {
        video_mode_entry& e = entries[i];
        if (i < 2) {
            e.size[0] = e.size[1] = 0;
            snprintf(e.name, sizeof e.name, "%s", video_fixed[i]);
        } else {
            e.size[0] = sizes[2 * (i - 2)];
            e.size[1] = sizes[2 * (i - 2) + 1];
            snprintf(e.name, sizeof e.name, "%dx%d", e.size[0], e.size[1]);
        }
        names[i] = e.name;
    }
    mem_free(video_modes);
    mem_free(video_mode_names);
    video_modes = entries;
    video_mode_names = names;
    video_mode_choice.items = names;
    video_mode_choice.count = total;
    video_mode_choice.selected = 0;
    ui_choice_select(&video_mode_choice, selected);
}

void track_choice_build(const char* folder)
{
    mem_free(track_titles);
    track_titles = nullptr;
    track_choice.items = nullptr;
    track_choice.count = 0;
    if (track_count <= 0)
        return;
    track_titles = static_cast<const char**>(xmalloc(sizeof(const char*) * size_t(track_count)));
    // Interned, so that a later rescan of the tracks leaves no item dangling.
    for (int32_t i = 0; i < track_count; ++i)
        track_titles[i] = intern_string(track_list[i].title);
    track_choice.items = track_titles;
    track_choice.count = track_count;
    if (track_choice.selected < 0 || track_choice.selected >= track_count)
        track_choice.selected = 0;
    if (const int32_t listed = track_list_find(folder); listed >= 0)
        track_choice.selected = listed;
}

const char* track_choice_folder()
{
    if (!track_choice.items || track_choice.selected < 0 || track_choice.selected >= track_count)
        return nullptr;
    return track_list[track_choice.selected].folder;
}

void settings_release_lists()
{
    mem_free(track_titles);
    track_titles = nullptr;
    track_choice.items = nullptr;
    track_choice.count = 0;
    mem_free(video_modes);
    mem_free(video_mode_names);
    video_modes = nullptr;
    video_mode_names = nullptr;
    video_mode_choice.items = video_fixed;
    video_mode_choice.count = 2;
    if (video_mode_choice.selected >= 2)
        video_mode_choice.selected = 0;
}

void settings_derive()
{
    const graphics_values& g = graphics_settings;
    texture_detail_drop = int(std::clamp(10 - g.model_texture_detail, 0.0, 10.0));
    terrain_error_scale = float(0.125 / g.ground_detail);
    terrain_texture_dim_index = g.ground_texture_dim_new;
    terrain_texture_drop = int(std::clamp(10 - g.ground_texture_detail, 0.0, 10.0));
    terrain_ground_mipmaps = g.ground_mipmaps;
    float s = float(std::clamp(100 - g.model_detail, 0.0, 100.0) * 0.02);
    lod_scale = s > 1 ? s * s * s : s;
    lod_bias = float(50 - 50 * std::clamp((g.model_detail - 10) * 0.05, 0.0, 1.0));
    roost_density = int(g.roost_density);
    reflections = g.reflections;
    local_profile_update();
}

void local_profile_update()
{
    local_profile.bike = bike_names[std::clamp(bike_choice.selected, 0, kBikeModels - 1)];
    local_profile.number = rider_number_field.buffer;
    local_profile.body_texture = texture_choice_file(0);
    local_profile.head_texture = texture_choice_file(1);
    local_profile.bike_texture = texture_choice_file(2);
    local_profile.wheel_texture = texture_choice_file(3);
    // What the server is told: the same selections, with the name.
    const rider_profile& l = local_profile;
    player_setup = {l.bike, l.body_texture, l.bike_texture, l.wheel_texture, l.head_texture, l.number,
                    rider_name_field.buffer};
}

void settings_reset_static()
{
    front = front_values{};
    game_settings = game_settings_values{};
    ghost_fade_distance = 10;
    hide_rider = 0;
    camera_settings = camera_setting_values{};
    volume = 10;
    comp_volume = 8;
    setup = setup_values{};
    graphics_settings = graphics_values{};
    texture_compress = 1;
    memset(server_name, 0, sizeof server_name);
    memcpy(server_name, "localhost", sizeof "localhost");
    memset(server_name_hist, 0, sizeof server_name_hist);
    message_lines = 5;
    plain_values = plain_settings{};
    for (char* name : kept_graphics_names)
        snprintf(name, kKeptNameSize, "default");
    bindings_set_defaults();
}
