// The Xlib side of a window, shared by the x11_* and glx_* files and nothing else.
//
// Connections: the window is created on the events connection, which receives every
// window event (the close protocol included, since X sends that to the window's creator).
// With a message thread that connection belongs to the thread alone, and the main thread
// swaps buffers on a connection of its own; unthreaded, both are the same connection.
#pragma once
#include <X11/Xlib.h>

#include <atomic>
#include <bitset>
#include <mutex>
#include <pthread.h>
#include <vector>

#include "platform/qorl_window.h"
#include "platform/x11_stamps.h"

struct x11_command {
    bool fullscreen;
    int width;
    int height;
};

struct qorl_x11_window {
    Display* display = nullptr;     // events connection, owns the window
    Display* gl_display = nullptr;  // the main thread's connection, or null without GL
    Window handle = 0;
    Colormap colormap = 0;
    Atom wm_protocols = 0;
    Atom wm_delete_window = 0;
    std::atomic<bool> gl_lost{false};  // the GL connection died (the swap saw it)
    std::atomic<bool> mapped{false};
    std::atomic<bool> obscured{false};

    bool thread_started = false;
    pthread_t thread{};
    int wake_fd = -1;  // eventfd: wakes the message thread for commands and close

    std::mutex command_mutex;  // a leaf lock around the command list only
    std::vector<x11_command> commands;

    x11_stamps stamps;
    std::bitset<0x200> held_keys;  // scan codes pressed and not yet released
};

// XInitThreads before the first Xlib call of the process, and the process-wide error
// handlers; then XOpenDisplay(NULL). Logs and gives null when there is no display.
Display* x11_open_display();

// Turns one event of the window into ring events and record updates.
void x11_handle_event(qorl_window* window, XEvent* event);
// Every waiting command and event (unthreaded windows: from qorl_next_event).
void x11_pump(qorl_window* window);
// Carries out the video-mode commands queued by qorl_set_video_mode.
void x11_run_commands(qorl_window* window);
void x11_enter_fullscreen(qorl_window* window, int width, int height);
void x11_leave_fullscreen(qorl_window* window, int width, int height);
// Before the first map of a window that starts fullscreen.
void x11_mark_fullscreen_before_map(qorl_window* window);
void x11_desktop_size(Display* display, int* width, int* height);

// Opens a window whose visual is given by id on gl_display (which the window then owns and
// closes), or with the default visual and no GL connection when gl_display is null.
qorl_window* x11_window_open(const char* title, int width, int height, int flags,
                             Display* gl_display, VisualID visual);

// While one lives, a lost server connection on this thread is logged and survived
// (every later Xlib call on that connection fails at once) instead of ending the process.
class x11_io_guard {
public:
    x11_io_guard();
    ~x11_io_guard();
    x11_io_guard(const x11_io_guard&) = delete;
    x11_io_guard& operator=(const x11_io_guard&) = delete;
    bool lost() const { return lost_; }  // a connection was lost while the guard lived
    void record_loss() { lost_ = true; }

private:
    x11_io_guard* outer_;
    bool lost_ = false;
};

// Collects the X errors raised by this thread's requests while it lives, instead of the
// default handler ending the process.
class x11_error_trap {
public:
    explicit x11_error_trap(Display* display);
    ~x11_error_trap();
    x11_error_trap(const x11_error_trap&) = delete;
    x11_error_trap& operator=(const x11_error_trap&) = delete;
    // XSync, then the first error code caught (0 when none).
    int sync();
    void record(int code);

private:
    Display* display_;
    x11_error_trap* outer_;
    int error_ = 0;
};
