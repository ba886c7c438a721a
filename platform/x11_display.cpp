// The process's entry into Xlib: thread support first, then handlers that keep X errors
// from ending the game (they are logged, or caught by an error trap), and a lost server,
// logged before the exit unless an I/O guard on the losing thread takes it as a failure.
#include "platform/qorl_log.h"
#include "platform/x11_native.h"

#include <cstdlib>
#include <ctime>
#include <mutex>

namespace {

constexpr int open_attempts = 20;
constexpr long open_retry_ns = 50'000'000;

thread_local x11_error_trap* active_trap = nullptr;
thread_local x11_io_guard* active_guard = nullptr;

int on_error(Display* display, XErrorEvent* event)
{
    if (active_trap) {
        active_trap->record(event->error_code);
        return 0;
    }
    char text[256] = "";
    XGetErrorText(display, event->error_code, text, sizeof text);
    qorl_log("X error %d (%s), request %d.%d\n", event->error_code, text, event->request_code,
             event->minor_code);
    return 0;
}

int on_io_error(Display*)
{
    if (active_guard) {
        active_guard->record_loss();
        qorl_log("Lost the connection to the X server\n");
        return 0;
    }
    qorl_log("Unexpected destroy message!\n");
    exit(1);
}

// Runs after on_io_error returns: Xlib's own would end the process.
void on_io_error_exit(Display*, void*)
{
    if (!active_guard)
        exit(1);
}

}  // namespace

Display* x11_open_display()
{
    static std::once_flag once;
    std::call_once(once, [] {
        XInitThreads();
        XSetErrorHandler(on_error);
        XSetIOErrorHandler(on_io_error);
    });
    // A server whose last client just left resets, and refuses connections for a moment
    // (a bare Xvfb does that after the display-mode query): try again for a while.
    Display* display = XOpenDisplay(nullptr);
    for (int attempt = 1; !display && getenv("DISPLAY") && attempt < open_attempts; ++attempt) {
        timespec pause{0, open_retry_ns};
        nanosleep(&pause, nullptr);
        display = XOpenDisplay(nullptr);
    }
    if (display)
        XSetIOErrorExitHandler(display, on_io_error_exit, nullptr);
    if (!display) {
        const char* name = getenv("DISPLAY");
        qorl_set_error(name ? "Can't open the X display" : "No X display (DISPLAY is unset)");
    }
    return display;
}

x11_io_guard::x11_io_guard() : outer_(active_guard)
{
    active_guard = this;
}

x11_io_guard::~x11_io_guard()
{
    active_guard = outer_;
    if (outer_ && lost_)
        outer_->record_loss();
}

x11_error_trap::x11_error_trap(Display* display) : display_(display), outer_(active_trap)
{
    XSync(display_, False);  // earlier errors belong to whoever made them
    active_trap = this;
}

x11_error_trap::~x11_error_trap()
{
    XSync(display_, False);
    active_trap = outer_;
}

int x11_error_trap::sync()
{
    XSync(display_, False);
    return error_;
}

void x11_error_trap::record(int code)
{
    if (error_ == 0)
        error_ = code;
}
