// The video modes the "video_mode" setting chooses from: "Default Fullscreen",
// "Windowed", then one "%dx%d" entry per display mode of the desktop's colour depth.
#pragma once
#include <cstdint>

struct qorl_display_mode;

struct video_mode_size {
    int32_t width;
    int32_t height;
};

extern int32_t video_mode_count;
extern const char** video_mode_names;
extern video_mode_size* video_mode_sizes;

inline constexpr int kVideoModeWindowed = 1;

// The mode the window is in: the "Video Mode" choice changes the setting at once, the
// window only when the player switches to it.
extern int32_t video_mode_in_effect;

// Builds the list from the platform's zero-terminated mode list (desktop first; null
// gives the two fixed entries only). The list is one allocation; a failed one is fatal.
void video_modes_build(const qorl_display_mode* modes);
void video_modes_free();

// The largest window side asked of the GL driver: a drawable beyond it is more memory
// than a software renderer can give and crashes it.
inline constexpr int32_t kLargestWindowSide = 8192;

// How a window size from "@config" or the command line was taken.
enum class window_size_fit { kept, cut, out_of_range };

// Brings a window size within the screen's current size and the GL cap; a side of 0
// or less is out of range and takes the "Windowed" default (640 x 480) instead. A
// screen side of 0 (no display) leaves only the cap.
window_size_fit window_size_bound(int32_t screen_width, int32_t screen_height, int32_t* width, int32_t* height);
