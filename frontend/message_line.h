// The message line: every message for the user goes into a ring of 1000 lines and
// the log; the HUD shows the newest few for a while, the console screen the last 50.
#pragma once
#include <cstdint>

inline constexpr int message_ring_lines = 1000;
inline constexpr int message_line_bytes = 256;

struct message_log_state {
    char lines[message_ring_lines][message_line_bytes];
    int write_index;          // the line the next message goes to
    int shown;                // how many of the newest lines the HUD shows
    double display_until;     // run_clock seconds until the next line retires
    int hide_spam;            // 1 at start: texts holding "[SPAM]" are dropped
};

extern message_log_state message_log;
// Most lines shown at once ("message_lines", default 5).
extern int message_lines;
// Seconds a section may take before report_stutter names it; 0 = off.
extern double stutter_threshold;

// Prints one message; returns the new shown count.
int message_print(const char* text);
// Inverts the flag and prints "%.60s ON" or "%.60s OFF" with the label.
void console_toggle(const char* label, int* flag);
// One profiler mark: names the section that just ended when it took too long.
void message_report_stutter(const char* label);
// Once per frame: the oldest shown line retires when its time is up.
void message_line_retire();
// The name of a state-driven rider being watched, at the bottom of the window.
void draw_watched_rider_name(int slot);
// The name of the slot's rider (any kind), the same line; nothing for an empty name.
void draw_rider_name_line(int32_t slot);
// Text in white with its shadow on a line of a frame of `lines` lines, centred across
// the window (the "Paused" and warm-up banners).
void banner_draw(const char* text, int32_t line, int32_t lines);
// Every line emptied, the write index 0, nothing shown.
void message_log_clear();

// i mod 1000 for any i, so readers may count back from the write index.
inline int message_ring_index(int i)
{
    return ((i % message_ring_lines) + message_ring_lines) % message_ring_lines;
}
// Line k counted back from the newest (k = 0 is the newest).
inline const char* message_line_back(int k)
{
    return message_log.lines[message_ring_index(message_log.write_index - 1 - k)];
}
