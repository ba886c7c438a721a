// The front end as every library below it sees it: the message line, the busy spinner
// and the progress screen. The front end sits above the race core, so these forward to
// what it installs at start-up; until then messages and progress lines go to the log.
#pragma once
#include <cstdint>

struct front_door_table {
    void (*console_print)(const char* text);
    void (*loading_spinner)();
    void (*draw_progress_screen)(const char* message);
    void (*progress_log_reset)(const char* message);
    void (*progress_dots)(const char* message);
    void (*progress_done)(const char* message);
    // Start-up's first act: the message ring emptied.
    void (*message_ring_clear)();
    // Names a section of the frame that took longer than the front end allows.
    void (*report_stutter)(const char* label);
};

extern front_door_table front_door;
// The log-only table a program has before the front end installs itself.
extern const front_door_table front_door_log_only;

// The one way to show a message to the user.
void console_print(const char* text);
// Busy indicator of long scans (once per listed folder or archive).
void loading_spinner();
// The title screen with a message, drawn and shown at once.
void draw_progress_screen(const char* message);
// Starts a progress line ("Loading terrain", ...).
void progress_log_reset(const char* message);
// Work goes on under the current line: the line with cycling dots.
void progress_dots(const char* message);
// "%.64s...done".
void progress_done(const char* message);
void message_ring_clear();
// Marks the end of a timed section of the frame ("draw", "flip", ...).
void report_stutter(const char* label);

// Calls of loading_spinner through the door, whatever is installed behind it.
uint32_t loading_spinner_calls();
