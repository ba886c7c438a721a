// The race settings the race core reads, with their built-in defaults (the window and
// display values are plain_values in settings_values.h). The front end's menu records
// and "@config" edit these in place.
#pragma once
#include <cstdint>

struct game_settings_values {
    const char* track = "rabbithill";   // "@config"'s track folder, interned once read
    int32_t record = 0;                 // "No", "Yes"
    int32_t skill = 0;                  // "Novice", "Amateur", "Expert"
    double minutes = 0;                 // 0..60
    double laps = 5;                    // 0..50
    int32_t time_trial_abort = 1;       // "No", "Yes"
    double fov = 110;                   // 10..170
    int32_t hide_spam = 1;              // messages holding "[SPAM]" are not shown
};
extern game_settings_values game_settings;

// The track list entry chosen at start-up (index into track_list), -1 = none.
extern int32_t selected_track;
