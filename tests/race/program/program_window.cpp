#include "race/program/program_window.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <future>
#include <iterator>
#include <unistd.h>

namespace bvtest {

namespace {

// The process that owns a window by its _NET_WM_PID, or 0.
long window_pid(Display* display, Window window)
{
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    long pid = 0;
    if (XGetWindowProperty(display, window, XInternAtom(display, "_NET_WM_PID", False), 0, 1, False,
                           XA_CARDINAL, &type, &format, &count, &after, &data) == Success &&
        type == XA_CARDINAL && format == 32 && count == 1)
        pid = reinterpret_cast<long*>(data)[0];
    if (data)
        XFree(data);
    return pid;
}

// Whether pid is a live child of this process: the program under test, and not a window
// of an earlier run that the server has not dropped yet (whose id may even come again).
bool is_our_child(long pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    size_t name_end = text.rfind(')');
    if (name_end == std::string::npos)
        return false;
    char state = 0;
    long parent = 0;
    if (sscanf(text.c_str() + name_end + 1, " %c %ld", &state, &parent) != 2)
        return false;
    return parent == static_cast<long>(getpid()) && state != 'Z';
}

// A mapped top-level window titled "Brovanta" that belongs to the program under test, or 0.
Window find_program_window(Display* display)
{
    Window root = DefaultRootWindow(display), parent = 0, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, root, &root, &parent, &children, &count))
        return 0;
    Window found = 0;
    for (unsigned i = 0; i < count && !found; ++i) {
        char* name = nullptr;
        XWindowAttributes attributes{};
        if (XFetchName(display, children[i], &name) && name) {
            if (strcmp(name, "Brovanta") == 0 &&
                XGetWindowAttributes(display, children[i], &attributes) &&
                attributes.map_state == IsViewable && is_our_child(window_pid(display, children[i])))
                found = children[i];
            XFree(name);
        }
    }
    if (children)
        XFree(children);
    return found;
}

}  // namespace

void send_close(Display* display, Window window)
{
    XEvent close{};
    close.xclient.type = ClientMessage;
    close.xclient.window = window;
    close.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    close.xclient.format = 32;
    close.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    close.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &close);
    XSync(display, False);
}

WindowedRun run_and_close_window(const std::vector<std::string>& argv,
                                 const std::vector<EnvChange>& env, int timeout_seconds)
{
    WindowedRun run;
    XInitThreads();
    auto program = std::async(std::launch::async,
                              [&] { return run_process(argv, env, timeout_seconds); });
    Display* display = nullptr;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeout_seconds);
    while (program.wait_for(std::chrono::milliseconds(20)) != std::future_status::ready &&
           std::chrono::steady_clock::now() < deadline) {
        // Opened late and retried: a server left without clients by the previous run
        // resets and refuses connections for a moment.
        if (!display)
            display = XOpenDisplay(nullptr);
        if (!display)
            continue;
        if (Window window = find_program_window(display)) {
            run.window_seen = true;
            send_close(display, window);
            break;
        }
    }
    run.result = program.get();
    if (display)
        XCloseDisplay(display);
    return run;
}

}  // namespace bvtest
