// The program's one window: its record, opening and closing (with an optional message
// thread, option "threaded"), the display-mode list and fullscreen switching, and the
// window lock that a frame holds from qorl_begin_frame to qorl_end_frame (qorl_gl.h).
#pragma once
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "platform/qorl_input.h"

struct qorl_gl_context;
struct qorl_x11_window;  // the window system's side, private to the platform library

struct qorl_frame {
    int32_t x;
    int32_t y;
    int32_t width;
    int32_t height;
};

// Lists of modes end with an all-zero entry.
struct qorl_display_mode {
    int32_t width;
    int32_t height;
    int32_t colour_bits;
};

// Open flags: the low byte is the colour bits.
constexpr int QORL_FULLSCREEN = 0x200;

// Record flags.
constexpr uint8_t QORL_WINDOW_MAY_FULLSCREEN = 2;
constexpr uint8_t QORL_WINDOW_THREADED = 4;
constexpr uint8_t QORL_WINDOW_FULLSCREEN_ACTIVE = 8;

// Fields that the message thread writes are atomics, so the main thread may read them at
// any time; the size only changes while no frame is open (the window mutex).
struct qorl_window {
    qorl_x11_window* native = nullptr;  // null for an offscreen GL window
    qorl_frame frame{};                 // filled by qorl_begin_frame
    std::atomic<int32_t> width{0};      // client size in pixels
    std::atomic<int32_t> height{0};
    int32_t colour_bits = 0;
    std::atomic<int32_t> fullscreen_width{0};  // the mode chosen for fullscreen (0 until chosen)
    std::atomic<int32_t> fullscreen_height{0};
    std::string title;
    std::atomic<int32_t> pointer_x{0};  // pointer in client pixels from the top-left corner
    std::atomic<int32_t> pointer_y{0};
    // Guards size and busy changes against a frame in progress. Re-entrant: without the
    // message thread, events are pumped inside a frame on the thread that holds it.
    std::recursive_mutex window_mutex;
    qorl_input input;         // event ring, ring mutex, devices, axis names
    std::atomic<uint32_t> close_flag{0};
    std::atomic<uint32_t> busy{0};  // 1 while the window is being switched
    std::atomic<uint8_t> flags{0};
    qorl_gl_context* gl = nullptr;
    bool frame_open = false;  // main thread only: begin_frame succeeded, end_frame pending
};

// Width or height 0: the desktop size. Null when the window cannot be made.
qorl_window* qorl_window_open(const char* title, int width, int height, int flags);
// Null is ignored. Stops the message thread, closes the devices, destroys the window.
void qorl_window_close(qorl_window* window);

// Asks the window's thread for fullscreen (flags has QORL_FULLSCREEN) at width x height,
// or a window of that size (0 x 0: the desktop size). Returns 1 at once.
int qorl_set_video_mode(qorl_window* window, int width, int height, int flags);

// The display-mode list, desktop mode first, read once; null when there is no display.
// The list is read once per process, so it stays valid for the whole run.
const qorl_display_mode* qorl_desktop_mode();

// The screen's size as it is now (the list above is read once and may be older).
// 0 and both sizes 0 when there is no display.
int qorl_screen_size(int32_t* width, int32_t* height);

// The fullscreen size for a request: among the listed modes at least width x height, the
// one with the smallest width + height (first listed on a tie), else the desktop size.
// Width or height 0 asks for the desktop size; an unknown desktop (0 x 0) counts as 640 x 480.
void qorl_choose_fullscreen_size(const qorl_display_mode* modes, int desktop_width,
                                 int desktop_height, int width, int height, int32_t* out_width,
                                 int32_t* out_height);

// A mode as the display offers it, with its refresh rate (0 when unknown) for the log.
struct qorl_offered_mode {
    qorl_display_mode mode;
    int32_t refresh;
};
// Fills the zero-terminated list of at most capacity entries (terminator included): the
// desktop mode first, then the offered modes by width and height, each usable mode once.
void qorl_display_modes_build(qorl_display_mode desktop, const qorl_offered_mode* offered, int count,
                              qorl_display_mode* list, int capacity);

// Appends a mode to a zero-terminated list of at most capacity entries (terminator
// included) unless its colour depth is not 8, 16, 24 or 32 or an equal mode is listed.
// Returns 1 when it was added.
int qorl_display_mode_add(qorl_display_mode* list, int capacity, qorl_display_mode mode);
