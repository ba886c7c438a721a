// Settings the race core reads, kept as plain data named by their "@config" keys: the
// bike setup, the graphics settings the detail presets set, the connect field with its
// history, the window and display switches. The front end's menu records edit these
// values in place; the setup application, the presets and the command line read and
// write them here.
#pragma once
#include <cstdint>

// The bike setup: sliders are doubles, choices the selected item's index.
struct setup_values {
    double stability = 100;
    // Derived from stability by stability_derive (start-up derives them from 100).
    double leveling = 0;
    double roll_damping = 0;
    double roll_limit_angle = 0;          // degrees
    double roll_limit_factor = 0;
    double steering_damping = 0;
    double steering_strength = 0;
    double max_steering_force = 0;
    double direct_steering = 0;
    double slow_damping_speed = 0;
    double slow_damping_factor = 0;
    double land_damping_rampup = 0;
    double land_damping_falloff = 0;
    double land_damping_factor = 0;
    double full_lock_speed = 0;
    double restricted_lock_speed = 0;
    double restricted_lock = 0;           // degrees
    int32_t arcade = 1;                   // "No", "Yes"
    int32_t front_brake = 1;              // "Normal", "Antilock"
    int32_t rear_brake = 0;               // "Normal", "Antilock"
    int32_t stop_wheelies = 1;            // "No", "Yes", "Front Only"
    int32_t auto_shift = 1;               // "No", "Yes"
    int32_t auto_dab = 1;
    int32_t auto_align = 1;
    int32_t sticky_dab = 0;
    int32_t reverse_steering = 1;
    int32_t lean_indicator = 1;
    double auto_clutch_rpms = 5000;
    double brake_torque = 500;
    double rear_brake_torque = 250;
    double max_dab_speed = 60;            // miles per hour
    double front_sprocket_adjustment = 0;
    double rear_sprocket_adjustment = 0;
    double fork_compression_adjustment = 50;
    double fork_slow_compression_adjustment = 50;
    double fork_rebound_adjustment = 50;
    double fork_slow_rebound_adjustment = 50;
    double fork_spring_rate_adjustment = 50;
    double fork_preload_adjustment = 50;
    double fork_oil_level_adjustment = 50;
    double shock_compression_adjustment = 75;
    double shock_slow_compression_adjustment = 50;
    double shock_rebound_adjustment = 75;
    double shock_slow_rebound_adjustment = 50;
    double shock_spring_rate_adjustment = 50;
    double shock_preload_adjustment = 50;
    double rider_yspring = 50;
    double rider_ydamping = 50;
    double rider_zspring = 50;
    double rider_zdamping = 50;
    double rider_mass_distribution = 0.33;
};
extern setup_values setup;

// The graphics settings of the detail presets, at the menus' static values; start-up
// applies "Compatibility" before "@config" is read. "Compress Textures" is the texture
// code's own texture_compress.
struct graphics_values {
    double terrain_resync_rate = 0;
    double roost_density = 250;
    double model_detail = 50;
    int32_t use_shader = 1;               // "No", "Yes"
    int32_t lens_flare = 1;
    int32_t reflections = 1;
    int32_t render_texture = 2;           // "Software" ... "Shaders/Direct"
    int32_t ground_mipmaps = 1;
    int32_t ground_texture_dim_new = 3;   // "128x128" ... "4096x4096"
    double ground_texture_detail = 9;
    double model_texture_detail = 9;
    double ground_detail = 50;
};
extern graphics_values graphics_settings;

// The connect field and the addresses typed before, newest first.
inline constexpr int kServerNameSize = 128;
inline constexpr int kServerHistory = 16;
extern char server_name[kServerNameSize];
extern char server_name_hist[kServerHistory][kServerNameSize];
extern int32_t server_history_cursor;     // the entry being browsed, -1 = none

// Puts the connect field at the front of the history (dropping the oldest) unless it
// is empty or already entry 0; the browsing starts again from the field.
void server_history_push();

// The settings without a widget, and the video mode the window opens in.
struct plain_settings {
    int32_t xres = 640;                   // the "Windowed" mode's size
    int32_t yres = 480;
    int32_t draw_fps = 0;
    int32_t draw_time = 0;
    int32_t draw_ping = 1;
    int32_t draw_speed = 0;
    int32_t spy = 0;
    int32_t billboard_optimize_lookahead = 8;
    int32_t demo_backups = 0;
    float map_scale = 1.0f;
    int32_t video_mode = 0;               // "Default Fullscreen", "Windowed", then the modes
};
extern plain_settings plain_values;
