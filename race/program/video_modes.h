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

// Builds the list from the platform's zero-terminated mode list (desktop first; null
// gives the two fixed entries only). The list is one allocation; a failed one is fatal.
void video_modes_build(const qorl_display_mode* modes);
void video_modes_free();

// The largest window side asked of the GL driver: a drawable beyond it is more memory
// than a software renderer can give and crashes it.
inline constexpr int32_t kLargestWindowSide = 8192;

// Brings a window size within the screen (the desktop mode, modes[0]) and the GL cap;
// a negative side becomes 0 (the desktop's). True when the size had to change.
bool window_size_bound(const qorl_display_mode* modes, int32_t* width, int32_t* height);
