// The display and race settings the race core reads, with their built-in defaults,
// and the "@config" file that keeps them with the control bindings between runs.
#pragma once
#include <cstdint>

struct game_settings_values {
    int32_t xres = 640;
    int32_t yres = 480;
    int32_t spy = 0;
    const char* track = "rabbithill";   // interned once read; the selected track's folder
    int32_t record = 0;                 // "No", "Yes"
    int32_t skill = 0;                  // "Novice", "Amateur", "Expert"
    double minutes = 0;                 // 0..60
    double laps = 5;                    // 0..50
    int32_t time_trial_abort = 1;       // "No", "Yes"
    int32_t video_mode = 0;             // index of the video-mode list
    double fov = 110;                   // 10..170
    int32_t hide_spam = 1;              // messages holding "[SPAM]" are not shown
};
extern game_settings_values game_settings;

// The track list entry chosen at start-up (index into track_list), -1 = none.
extern int32_t selected_track;

// The race core's own "@config" until the front end's settings file is installed in
// program_hooks: reads every known line (unknown lines are kept for the next write;
// 0 when there is no file), and writes the settings, the twenty binding lines and the
// kept lines (0 when the file cannot be created).
int config_stand_in_read();
int config_stand_in_write();
// The lines config_read did not know, forgotten (tests, shutdown).
void config_forget_unknown();
