// Every setting the user keeps: the menu records that edit them (a record's value is
// the setting itself, wherever the rest of the program reads it) and the plain
// values without a widget. "@config" and the setup files read and write these.
#pragma once
#include "frontend/ui_widgets.h"

#include <cstdint>

inline constexpr int kGateSlots = 40;
inline constexpr int kBikeModels = 80;
inline constexpr int kKeptNameSize = 1024;

// New Race and Time Trial.
extern ui_choice track_choice;             // items: the track list's titles
extern ui_choice record_demo_choice;
extern ui_choice robot_skill_choice;
extern ui_slider minutes_slider;
extern ui_slider laps_slider;
extern ui_choice gate_choices[kGateSlots];
extern ui_slider ghost_fade_slider;
extern ui_choice time_trial_abort_choice;
extern ui_choice playback_mode_choice;

// Graphics/Sound and Advanced Graphics, with the choices no screen shows.
extern ui_choice video_mode_choice;        // items: the video-mode list
extern ui_choice hide_rider_choice;
extern ui_choice rigid_camera_choice;
extern ui_slider fov_slider;
extern ui_slider first_person_height_slider;
extern ui_slider first_person_angle_slider;
extern ui_slider first_person_gimbal_slider;
extern ui_slider third_person_height_slider;
extern ui_slider third_person_distance_slider;
extern ui_slider volume_slider;
extern ui_slider comp_volume_slider;
extern ui_slider ground_detail_slider;
extern ui_slider ground_texture_detail_slider;
extern ui_choice ground_texture_dim_old_choice;   // an older resolution, kept but unused
extern ui_choice ground_texture_dim_choice;
extern ui_choice ground_mipmaps_choice;
extern ui_choice compress_textures_choice;
extern ui_slider model_detail_slider;
extern ui_slider model_texture_detail_slider;
extern ui_slider roost_density_slider;
extern ui_slider terrain_sync_slider;
extern ui_choice lens_flare_choice;
extern ui_choice reflections_choice;
extern ui_choice render_texture_choice;
extern ui_choice use_shader_choice;
extern ui_choice use_fbo_choice;
extern ui_slider reshade_delay_slider;

// Multiplayer.
extern ui_text_field server_field;

// Bike setup.
extern ui_choice bike_choice;
extern ui_text_field rider_name_field;
extern ui_text_field rider_number_field;
extern ui_choice riding_gear_choice;
extern ui_choice helmet_choice;
extern ui_choice bike_graphics_choice;
extern ui_choice wheel_graphics_choice;
extern ui_slider stability_slider;
// "Auto Clutch RPMs", "Braking Torque (Front)", "Braking Torque (Rear)", "Max Dab Speed (MPH)".
extern ui_slider bike_setup_sliders[4];
// "Arcade Physics" ... "Lean Indicator", in the bike setup screen's order.
extern ui_choice assist_choices[10];
// The "Suspension and Gearing" screen's 20 sliders, fork first.
extern ui_slider suspension_sliders[20];
extern ui_slider* const advanced_stability_sliders[16];

extern const char* const bike_names[kBikeModels];

// The plain settings (xres ... map_scale) are race/'s plain_values; message_lines is
// the message line's. The "track" text read from "@config" is game_settings.track.

// The graphics names kept by the setup lines until the lists stand: riding gear,
// helmet, bike graphics, wheel graphics.
extern char kept_graphics_names[4][kKeptNameSize];
// The four graphics choices in that order.
extern ui_choice* const graphics_choices[4];

// The video-mode list: "Default Fullscreen", "Windowed", then "%dx%d" per mode.
// Start-up builds it before "@config" is read; the selection is kept by text.
// sizes: count width, height pairs.
void video_modes_build(const int32_t* sizes, int count);
// The track choice's items from the track list (titles), selecting the listed folder
// named by `folder`, or keeping the selection when none is named or listed.
void track_choice_build(const char* folder);
// The folder of the selected track, or null while the track list is not built.
const char* track_choice_folder();

// Frees the video-mode list and the track choice's items (shutdown).
void settings_release_lists();

// The values made from the records: texture and terrain detail, model detail, roost,
// reflections and the local rider's profile. After "@config" is read and whenever a
// screen changes a record.
void settings_derive();
// The race's profile of the local rider (bike, number, looks) and the rider info the
// server is told (the same, with the name) from the bike setup's selections: after
// start-up and after each change in the menus.
void local_profile_update();
// Every record and plain value back to its static initial value (tests).
void settings_reset_static();
