// Opening and closing the window, and the optional message thread. The window is made on
// the opener's thread in both modes (an X window belongs to a connection, not a thread);
// with "threaded" the events connection is then handed to the message thread, which waits
// in poll() on it and on an eventfd that carries video-mode commands and the close.
#include "platform/qorl_log.h"
#include "platform/x11_native.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <cerrno>
#include <mutex>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace {

constexpr long event_mask = KeyPressMask | KeyReleaseMask | ButtonPressMask | ButtonReleaseMask |
                            PointerMotionMask | StructureNotifyMask | FocusChangeMask |
                            VisibilityChangeMask;
constexpr int map_wait_ms = 5000;

bool threaded_option()
{
    static const bool threaded = [] {
        bool on = qorl_option_bool("threaded", 0) != 0;
        qorl_log("Options:\n");
        qorl_log("%10s [%s]\n", "threaded:", on ? "on" : "off");
        return on;
    }();
    return threaded;
}

// Asked of the server at each read: motion events stop once the pointer leaves the
// window, but the axes follow it anywhere on the screen. The last known position stands
// when the pointer is on another screen or the connection is gone.
int pointer_position(qorl_window* window, int32_t* x, int32_t* y)
{
    qorl_x11_window* native = window->native;
    Display* display = native->gl_display ? native->gl_display : native->display;
    if (display && native->handle && !native->gl_lost) {
        Window root = 0, child = 0;
        int root_x = 0, root_y = 0, window_x = 0, window_y = 0;
        unsigned int buttons = 0;
        if (XQueryPointer(display, native->handle, &root, &child, &root_x, &root_y, &window_x,
                          &window_y, &buttons)) {
            window->pointer_x = window_x;
            window->pointer_y = window_y;
        }
    }
    *x = window->pointer_x;
    *y = window->pointer_y;
    return 1;
}

// Waits up to timeout_ms for the connection (and the wake descriptor, when there is one).
void wait_readable(Display* display, int wake_fd, int timeout_ms)
{
    pollfd fds[2] = {{ConnectionNumber(display), POLLIN, 0}, {wake_fd, POLLIN, 0}};
    int count = wake_fd >= 0 ? 2 : 1;
    while (poll(fds, static_cast<nfds_t>(count), timeout_ms) < 0 && errno == EINTR) {
    }
    if (wake_fd >= 0 && (fds[1].revents & POLLIN)) {
        uint64_t value = 0;
        ssize_t got = read(wake_fd, &value, sizeof value);
        (void)got;
    }
}

void* message_thread(void* argument)
{
    auto* window = static_cast<qorl_window*>(argument);
    qorl_x11_window* x = window->native;
    while (!window->close_flag) {
        // Xlib may already hold events that poll() would not see.
        x11_pump(window);
        if (window->close_flag)
            break;
        wait_readable(x->display, x->wake_fd, -1);
    }
    return nullptr;
}

Visual* find_visual(Display* display, VisualID id, int* depth)
{
    XVisualInfo pattern{};
    pattern.visualid = id;
    pattern.screen = DefaultScreen(display);
    int count = 0;
    XVisualInfo* info = XGetVisualInfo(display, VisualIDMask | VisualScreenMask, &pattern, &count);
    if (!info)
        return nullptr;
    Visual* visual = info[0].visual;
    *depth = info[0].depth;
    XFree(info);
    return visual;
}

void set_names(Display* display, Window handle, const std::string& title)
{
    XStoreName(display, handle, title.c_str());
    Atom net_name = XInternAtom(display, "_NET_WM_NAME", False);
    Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    XChangeProperty(display, handle, net_name, utf8, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(title.c_str()),
                    static_cast<int>(title.size()));
    XClassHint hint{};
    char res_name[] = "brovanta";
    char res_class[] = "GameWindowClass";
    hint.res_name = res_name;
    hint.res_class = res_class;
    XSetClassHint(display, handle, &hint);
    // Lets a window manager offer to end the game when it stops answering.
    long pid = static_cast<long>(getpid());
    XChangeProperty(display, handle, XInternAtom(display, "_NET_WM_PID", False), XA_CARDINAL, 32,
                    PropModeReplace, reinterpret_cast<unsigned char*>(&pid), 1);
}

bool create_window(qorl_window* window, VisualID visual_id, int width, int height)
{
    qorl_x11_window* x = window->native;
    Display* display = x->display;
    int screen = DefaultScreen(display);
    Window root = RootWindow(display, screen);

    int depth = DefaultDepth(display, screen);
    Visual* visual = DefaultVisual(display, screen);
    if (visual_id != 0) {
        visual = find_visual(display, visual_id, &depth);
        if (!visual) {
            qorl_set_error("The chosen visual is not on the display");
            return false;
        }
    }

    int desktop_width = 0, desktop_height = 0;
    x11_desktop_size(display, &desktop_width, &desktop_height);
    bool fullscreen = (window->flags & QORL_WINDOW_FULLSCREEN_ACTIVE) != 0;
    if (fullscreen || window->width <= 0 || window->height <= 0) {
        window->width = desktop_width;
        window->height = desktop_height;
    }

    qorl_log("Creating window\n");
    x11_error_trap trap(display);
    x->colormap = XCreateColormap(display, root, visual, AllocNone);
    XSetWindowAttributes attributes{};
    attributes.colormap = x->colormap;
    attributes.event_mask = event_mask;
    attributes.background_pixmap = None;
    attributes.border_pixel = 0;
    x->handle = XCreateWindow(display, root, 0, 0, static_cast<unsigned>(window->width),
                              static_cast<unsigned>(window->height), 0, depth, InputOutput, visual,
                              CWColormap | CWEventMask | CWBackPixmap | CWBorderPixel, &attributes);
    if (trap.sync() != 0) {
        x->handle = 0;
        qorl_set_error("Can't create window!");
        return false;
    }

    set_names(display, x->handle, window->title);
    x->wm_protocols = XInternAtom(display, "WM_PROTOCOLS", False);
    x->wm_delete_window = XInternAtom(display, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(display, x->handle, &x->wm_delete_window, 1);
    Bool supported = False;
    XkbSetDetectableAutoRepeat(display, True, &supported);
    if (!supported)
        qorl_log("Keyboard auto-repeat cannot be told from key presses\n");

    if (fullscreen) {
        window->flags &= static_cast<uint8_t>(~QORL_WINDOW_FULLSCREEN_ACTIVE);
        int32_t w = 0, h = 0;
        qorl_choose_fullscreen_size(qorl_desktop_mode(), desktop_width, desktop_height,
                                    width, height, &w, &h);
        window->fullscreen_width = w;
        window->fullscreen_height = h;
        x11_mark_fullscreen_before_map(window);
        window->flags |= QORL_WINDOW_FULLSCREEN_ACTIVE;
    }

    XMapRaised(display, x->handle);
    XFlush(display);
    const int64_t start = qorl_time_milliseconds();
    while (!x->mapped) {
        x11_pump(window);
        if (x->mapped)
            break;
        int64_t waited = qorl_time_milliseconds() - start;
        if (waited >= map_wait_ms) {
            qorl_log("The window was not shown within %d ms\n", map_wait_ms);
            break;
        }
        wait_readable(display, -1, static_cast<int>(map_wait_ms - waited));
    }
    if (x->mapped) {
        // Without a window manager the focus would stay with the pointer.
        XSetInputFocus(display, x->handle, RevertToParent, CurrentTime);
        if (trap.sync() != 0)
            qorl_log("Can't set the input focus\n");
    }
    return true;
}

void teardown(qorl_window* window)
{
    qorl_x11_window* x = window->native;
    qorl_input_shutdown(&window->input);
    if (x) {
        // A lost connection has nothing to destroy; Xlib only frees its record.
        x11_io_guard guard;
        bool events_lost = x->gl_lost && x->display == x->gl_display;
        // The GL connection goes first: it may still know the window as a drawable.
        if (x->gl_display && x->gl_display != x->display)
            XCloseDisplay(x->gl_display);
        if (x->display) {
            if (x->handle && !events_lost) {
                qorl_log("Destroying window\n");
                XDestroyWindow(x->display, x->handle);
            }
            if (x->colormap && !events_lost)
                XFreeColormap(x->display, x->colormap);
            XCloseDisplay(x->display);
        }
        if (x->wake_fd >= 0)
            close(x->wake_fd);
        delete x;
        window->native = nullptr;
    }
    qorl_log("Window shutdown complete\n");
}

}  // namespace

qorl_input* qorl_window_input(qorl_window* window)
{
    return &window->input;
}

qorl_window* x11_window_open(const char* title, int width, int height, int flags,
                             Display* gl_display, VisualID visual)
{
    auto* window = new qorl_window;
    window->native = new qorl_x11_window;
    qorl_x11_window* x = window->native;
    x->gl_display = gl_display;
    auto fail = [&] {
        teardown(window);
        delete window;
        return nullptr;
    };

    window->title = title ? title : "";
    qorl_desktop_mode();
    bool threaded = threaded_option();
    window->width = width;
    window->height = height;
    window->colour_bits = flags & 0xFF;
    uint8_t record_flags = QORL_WINDOW_MAY_FULLSCREEN;
    if (threaded)
        record_flags |= QORL_WINDOW_THREADED;
    if (flags & QORL_FULLSCREEN)
        record_flags |= QORL_WINDOW_FULLSCREEN_ACTIVE;
    window->flags = record_flags;

    if (!qorl_input_init(&window->input, window))
        return fail();
    window->input.pointer = pointer_position;

    // A message thread reads its own connection; unthreaded, one connection does it all.
    if (threaded || !gl_display) {
        x->display = x11_open_display();
        if (!x->display)
            return fail();
    } else {
        x->display = gl_display;
    }
    if (!create_window(window, visual, width, height))
        return fail();

    if (threaded) {
        qorl_log("Starting message processing thread\n");
        x->wake_fd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        if (x->wake_fd < 0 || pthread_create(&x->thread, nullptr, message_thread, window) != 0) {
            qorl_set_error("Can't create thread!");
            window->close_flag = 1;
            return fail();
        }
        x->thread_started = true;
    } else {
        window->input.pump = x11_pump;
    }

    qorl_input_roll_call(&window->input);
    return window;
}

qorl_window* qorl_window_open(const char* title, int width, int height, int flags)
{
    return x11_window_open(title, width, height, flags, nullptr, 0);
}

void qorl_window_close(qorl_window* window)
{
    if (!window)
        return;
    qorl_x11_window* x = window->native;
    if (x && x->thread_started) {
        qorl_log("Setting close flag\n");
        window->close_flag = 1;
        uint64_t one = 1;
        ssize_t written = write(x->wake_fd, &one, sizeof one);
        (void)written;
        pthread_join(x->thread, nullptr);
        x->thread_started = false;
        qorl_log("Message processing thread done\n");
    } else {
        window->close_flag = 1;
    }
    teardown(window);
    delete window;
}
