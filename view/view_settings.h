// Settings of the world drawing, named by their "@config" keys; the menus' "Ghost Fade
// Distance" and "Hide 1st Person Rider" edit them here. The model detail, lens flare
// and reflections are the graphics settings of the race core (race/settings_values.h),
// and so is the billboard window ("bbopt" on the console).
#pragma once
#include <cstdint>

extern double ghost_fade_distance;             // 10 ft
extern int32_t hide_rider;                     // 0 "No", 1 "Yes"

// Per-frame statistics the HUD shows; the world renderer zeroes them each frame.
struct frame_statistics {
    int32_t billboards_drawn;
    int32_t texture_changes;
};
extern frame_statistics frame_stats;

// Zeroes the view's counters and the GL layer's shader and model counters.
void frame_stats_zero();
