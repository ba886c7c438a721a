// Which menu screen is open. The menus set it; the network client reads it to hold
// back a rider-info report while the player is still editing the setup.
#pragma once
#include <cstdint>

enum menu_screen_id : int {
    screen_main_menu,
    screen_new_race,
    screen_choose_list,
    screen_playback_race,
    screen_points_series,
    screen_series_standings,
    screen_time_trial,
    screen_bike_setup,
    screen_suspension_gearing,
    screen_advanced_stability,
    screen_customize_controls,
    screen_graphics_sound,
    screen_advanced_graphics,
    screen_multiplayer,
    screen_console,
    screen_exit,
};

extern int menu_screen;  // negative: no menu open
extern int32_t menu_item;  // the highlighted item of the open screen

// Running as the track editor with edits not yet saved: the exit screen warns, and
// the window's close request opens it instead of quitting.
bool editor_unsaved_changes();
