// The main loop: one frame per pass (view, drawing, sound, frame step, the ticks of
// the step, once-per-frame upkeep) until the quit flag is set or a swap fails.
#pragma once
#include <cstdint>
#include <cstdio>
#include <vector>

struct qorl_window;

// The clock and sleep the frame step uses (the program: qorl_time and qorl_sleep).
struct frame_clock {
    double (*now)(void* context);
    void (*sleep)(void* context, int32_t seconds, int32_t microseconds);
    void* context;
};

// Where a tick takes its events (the program: the window's ring). next_until takes
// only an event stamped no later than the time.
struct event_source {
    int (*next)(void* context, uint32_t* code, int* pressed);
    int (*next_until)(void* context, uint32_t* code, int* pressed, int32_t seconds,
                      int32_t microseconds);
    void* context;
    // Whether a close request waits, taking no event; null: never asked.
    int (*close_waiting)(void* context) = nullptr;
};

enum view_mode_id : int32_t {
    view_rider = 0, view_editor = 2, view_chase = 3, view_trackside = 4, view_title = 5
};

struct main_loop_state {
    int32_t view_mode = view_rider;
    int32_t paused = 0;
    int32_t quit = 0;
    int32_t swap_failed = 0;
    double frame_start = 0;
    double measured = 0;          // the time taken by the frame step
    double accumulated = 0;       // sum of frame steps
    double simulated = 0;         // whole ticks run
    double lock_period = 0;       // "--lock-fps" 1/F, 0 = off
    // Frame statistics.
    uint32_t histogram[8] = {};
    double smallest_step = 1.0;
    double largest_step = 0;
    std::vector<float> frame_times;
    // Chase camera.
    float orbit_angle = 0;
    float orbit_distance = 10;
    float orbit_height = 5;
    float chase_target[3] = {0, 2.52f, 0.52f};
    // Input state of the ticks.
    int32_t screen_changed = 0;
    int32_t last_event_screen = 0;
    int32_t cursor_held = 0;
    float cursor_last[2] = {};
    int32_t screenshot_counter = 0;
    int32_t screenshot_pending = 0;
    int32_t time_trial_restart_state = 0;
    int32_t sticky_dab_on = 0;
    float previous_dab = 0;
    float previous_trackside_dab = 0;
    // "--record-video" writes to this stream; a failed write stops the frames.
    FILE* video_out = nullptr;
    int32_t video_failed = 0;
};

extern main_loop_state loop;

// The program's window, its clock and events.
struct main_loop_io {
    qorl_window* window = nullptr;
    frame_clock clock{};
    event_source events{};
    // Called once per frame after the ticks (tests and the benchmark); null = none.
    void (*frame_observer)() = nullptr;
};
extern main_loop_io loop_io;

// The window's own clock and event ring.
frame_clock program_clock();
event_source window_events(qorl_window* window);

struct qorl_frame;
// Steps 5-9 of a frame: the view by mode (through the installed camera views), its
// HUD lines, the banners and the menu.
void draw_view(qorl_frame* frame);

// Runs frames until quit; 0 after the quit key, 1 when a swap failed.
int main_loop_run();
// One frame (steps 1-22); 0 when the loop ends.
int main_loop_frame();
// The ticks the accumulated time covers (tick dispatch).
void run_ticks();
// One tick with the tick's wall time in seconds.
void run_one_tick(double tick_time, bool last_of_frame);
// Writes the frame being drawn as the next screenshot.
void take_screenshot();

// Reads the drawn frame as 8-bit RGB, rows bottom first.
void bvgl_read_pixels_rgb(int32_t x, int32_t y, int32_t w, int32_t h, uint8_t* rgb);
// The drawable size of the last drawn frame.
extern int32_t window_width;
extern int32_t window_height;
// The menu cursor's axes ("cursor-x", "cursor-y"), null when absent.
struct qorl_axis;
extern qorl_axis* cursor_axes[2];

// Whether the followed slot's rider is driven here (spy in the trackside view: no).
bool followed_is_local();
// The online game-server name is set.
bool server_set();
