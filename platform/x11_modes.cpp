// Display modes and fullscreen. The list is the desktop mode (the root window's size and
// depth) followed by the modes the server's RandR extension offers for its connected
// outputs, when it has the extension. The monitor's mode is never switched: X would not
// restore it if the game died. Fullscreen is the window manager's fullscreen state where
// one offers it, else the window moved and sized over the whole root window; either way
// it covers the screen at the desktop size, and the mode arithmetic only chooses the
// fullscreen size that the record keeps.
#include "platform/qorl_log.h"
#include "platform/x11_native.h"

#include <X11/Xatom.h>
#include <X11/extensions/Xrandr.h>

#include <algorithm>
#include <mutex>
#include <unistd.h>
#include <vector>

namespace {

constexpr int mode_list_capacity = 128;
qorl_display_mode mode_list[mode_list_capacity];
bool mode_list_ok = false;

bool valid_depth(int bits)
{
    return bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

int refresh_rate(const XRRModeInfo& mode)
{
    double dots = static_cast<double>(mode.hTotal) * mode.vTotal;
    return dots > 0 ? static_cast<int>(mode.dotClock / dots + 0.5) : 0;
}

// The modes of every connected output (RandR 1.2 and later), or the screen sizes of the
// older protocol. Empty without the extension.
std::vector<qorl_offered_mode> randr_modes(Display* display, int depth)
{
    std::vector<qorl_offered_mode> modes;
    int event_base = 0, error_base = 0, major = 0, minor = 0;
    if (!XRRQueryExtension(display, &event_base, &error_base) || !XRRQueryVersion(display, &major, &minor))
        return modes;
    Window root = DefaultRootWindow(display);
    if (major == 1 && minor < 2) {
        int count = 0;
        XRRScreenSize* sizes = XRRSizes(display, DefaultScreen(display), &count);
        for (int i = 0; i < count; ++i)
            modes.push_back({{sizes[i].width, sizes[i].height, depth}, 0});
        return modes;
    }
    XRRScreenResources* resources = minor >= 3 || major > 1 ? XRRGetScreenResourcesCurrent(display, root)
                                                            : XRRGetScreenResources(display, root);
    if (!resources)
        return modes;
    for (int o = 0; o < resources->noutput; ++o) {
        XRROutputInfo* output = XRRGetOutputInfo(display, resources, resources->outputs[o]);
        if (!output)
            continue;
        for (int m = 0; output->connection == RR_Connected && m < output->nmode; ++m)
            for (int k = 0; k < resources->nmode; ++k) {
                const XRRModeInfo& info = resources->modes[k];
                if (info.id == output->modes[m])
                    modes.push_back({{static_cast<int32_t>(info.width), static_cast<int32_t>(info.height), depth},
                                     refresh_rate(info)});
            }
        XRRFreeOutputInfo(output);
    }
    XRRFreeScreenResources(resources);
    return modes;
}

void build_mode_list()
{
    Display* display = x11_open_display();
    if (!display)
        return;
    int width = 0, height = 0;
    x11_desktop_size(display, &width, &height);
    int depth = DefaultDepth(display, DefaultScreen(display));
    std::vector<qorl_offered_mode> offered = randr_modes(display, depth);
    XCloseDisplay(display);
    qorl_display_modes_build({width, height, depth}, offered.data(), static_cast<int>(offered.size()),
                             mode_list, mode_list_capacity);
    mode_list_ok = true;
}

// A window manager that is running (its check window names itself) and offers the
// fullscreen state.
bool wm_offers_fullscreen(Display* display)
{
    Window root = DefaultRootWindow(display);
    Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", False);
    auto read_window = [&](Window from, Window* out) {
        Atom type = 0;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        bool ok = XGetWindowProperty(display, from, check, 0, 1, False, XA_WINDOW, &type, &format,
                                     &count, &after, &data) == Success &&
                  type == XA_WINDOW && format == 32 && count == 1;
        if (ok)
            *out = static_cast<Window>(reinterpret_cast<unsigned long*>(data)[0]);
        if (data)
            XFree(data);
        return ok;
    };
    Window wm = 0, self = 0;
    if (!read_window(root, &wm))
        return false;
    {
        x11_error_trap trap(display);  // a stale check window is gone
        if (!read_window(wm, &self) || trap.sync() != 0 || self != wm)
            return false;
    }
    Atom supported = XInternAtom(display, "_NET_SUPPORTED", False);
    Atom fullscreen = XInternAtom(display, "_NET_WM_STATE_FULLSCREEN", False);
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    bool found = false;
    if (XGetWindowProperty(display, root, supported, 0, 4096, False, XA_ATOM, &type, &format,
                           &count, &after, &data) == Success &&
        type == XA_ATOM && format == 32) {
        auto* atoms = reinterpret_cast<unsigned long*>(data);
        for (unsigned long i = 0; i < count && !found; ++i)
            found = atoms[i] == fullscreen;
    }
    if (data)
        XFree(data);
    return found;
}

// _NET_WM_STATE action: 0 remove, 1 add.
void send_fullscreen_state(Display* display, Window window, long action)
{
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "_NET_WM_STATE", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = action;
    event.xclient.data.l[1] = static_cast<long>(XInternAtom(display, "_NET_WM_STATE_FULLSCREEN", False));
    event.xclient.data.l[3] = 1;  // a normal application
    XSendEvent(display, DefaultRootWindow(display), False,
               SubstructureRedirectMask | SubstructureNotifyMask, &event);
}

void set_busy(qorl_window* window, uint32_t busy)
{
    std::lock_guard lock(window->window_mutex);
    window->busy = busy;
}

}  // namespace

const qorl_display_mode* qorl_desktop_mode()
{
    static std::once_flag once;
    std::call_once(once, build_mode_list);
    return mode_list_ok ? mode_list : nullptr;
}

int qorl_screen_size(int32_t* width, int32_t* height)
{
    *width = *height = 0;
    Display* display = x11_open_display();
    if (!display)
        return 0;
    int w = 0, h = 0;
    x11_desktop_size(display, &w, &h);
    XCloseDisplay(display);
    *width = w;
    *height = h;
    return 1;
}

void qorl_display_modes_build(qorl_display_mode desktop, const qorl_offered_mode* offered, int count,
                              qorl_display_mode* list, int capacity)
{
    list[0] = {};
    if (qorl_display_mode_add(list, capacity, desktop))
        qorl_log("Desktop mode is %dx%dx%d\n", desktop.width, desktop.height, desktop.colour_bits);
    else
        qorl_log("Desktop mode is %dx%dx%d (ignored)\n", desktop.width, desktop.height, desktop.colour_bits);
    std::vector<qorl_offered_mode> sorted(offered, offered + std::max(count, 0));
    std::stable_sort(sorted.begin(), sorted.end(), [](const qorl_offered_mode& a, const qorl_offered_mode& b) {
        return a.mode.width != b.mode.width ? a.mode.width < b.mode.width : a.mode.height < b.mode.height;
    });
    for (const qorl_offered_mode& o : sorted) {
        const qorl_display_mode& m = o.mode;
        if (!valid_depth(m.colour_bits))
            qorl_log("Found mode %dx%dx%d@%dhz (ignored)\n", m.width, m.height, m.colour_bits, o.refresh);
        else if (qorl_display_mode_add(list, capacity, m))
            qorl_log("Found mode %dx%dx%d@%dhz\n", m.width, m.height, m.colour_bits, o.refresh);
    }
}

int qorl_display_mode_add(qorl_display_mode* list, int capacity, qorl_display_mode mode)
{
    if (!valid_depth(mode.colour_bits) || mode.width <= 0 || mode.height <= 0)
        return 0;
    int count = 0;
    for (; count < capacity && list[count].width != 0; ++count) {
        const qorl_display_mode& m = list[count];
        if (m.width == mode.width && m.height == mode.height && m.colour_bits == mode.colour_bits)
            return 0;
    }
    if (count + 1 >= capacity)
        return 0;
    list[count] = mode;
    list[count + 1] = {};
    return 1;
}

void qorl_choose_fullscreen_size(const qorl_display_mode* modes, int desktop_width,
                                 int desktop_height, int width, int height, int32_t* out_width,
                                 int32_t* out_height)
{
    if (desktop_width <= 0 || desktop_height <= 0) {
        desktop_width = 640;
        desktop_height = 480;
    }
    *out_width = desktop_width;
    *out_height = desktop_height;
    if (width <= 0 || height <= 0 || !modes)
        return;
    const qorl_display_mode* best = nullptr;
    for (const qorl_display_mode* m = modes; m->width != 0; ++m) {
        if (m->width < width || m->height < height)
            continue;
        if (!best || m->width + m->height < best->width + best->height)
            best = m;
    }
    if (best) {
        *out_width = best->width;
        *out_height = best->height;
    }
}

void x11_desktop_size(Display* display, int* width, int* height)
{
    int screen = DefaultScreen(display);
    *width = DisplayWidth(display, screen);
    *height = DisplayHeight(display, screen);
}

int qorl_set_video_mode(qorl_window* window, int width, int height, int flags)
{
    if (!window || !window->native)
        return 0;
    qorl_x11_window* x = window->native;
    {
        std::lock_guard lock(x->command_mutex);
        x->commands.push_back({(flags & QORL_FULLSCREEN) != 0, width, height});
    }
    if (x->wake_fd >= 0) {
        uint64_t one = 1;
        ssize_t written = write(x->wake_fd, &one, sizeof one);
        (void)written;  // a full counter already wakes the thread
    }
    return 1;
}

void x11_run_commands(qorl_window* window)
{
    qorl_x11_window* x = window->native;
    std::vector<x11_command> commands;
    {
        std::lock_guard lock(x->command_mutex);
        commands.swap(x->commands);
    }
    for (const x11_command& c : commands) {
        set_busy(window, 1);
        if (c.fullscreen)
            x11_enter_fullscreen(window, c.width, c.height);
        else
            x11_leave_fullscreen(window, c.width, c.height);
        set_busy(window, 0);
    }
}

void x11_enter_fullscreen(qorl_window* window, int width, int height)
{
    if (!(window->flags & QORL_WINDOW_MAY_FULLSCREEN))
        return;
    qorl_x11_window* x = window->native;
    window->flags &= static_cast<uint8_t>(~QORL_WINDOW_FULLSCREEN_ACTIVE);
    int desktop_width = 0, desktop_height = 0;
    x11_desktop_size(x->display, &desktop_width, &desktop_height);
    int32_t w = 0, h = 0;
    qorl_choose_fullscreen_size(qorl_desktop_mode(), desktop_width, desktop_height, width, height,
                                &w, &h);
    window->fullscreen_width = w;
    window->fullscreen_height = h;
    if (wm_offers_fullscreen(x->display)) {
        send_fullscreen_state(x->display, x->handle, 1);
    } else {
        XMoveResizeWindow(x->display, x->handle, 0, 0, static_cast<unsigned>(desktop_width),
                          static_cast<unsigned>(desktop_height));
        XRaiseWindow(x->display, x->handle);
    }
    XFlush(x->display);
    window->flags |= QORL_WINDOW_FULLSCREEN_ACTIVE;
}

void x11_leave_fullscreen(qorl_window* window, int width, int height)
{
    qorl_x11_window* x = window->native;
    window->flags &= static_cast<uint8_t>(~QORL_WINDOW_FULLSCREEN_ACTIVE);
    if (wm_offers_fullscreen(x->display))
        send_fullscreen_state(x->display, x->handle, 0);
    if (width <= 0 || height <= 0)
        x11_desktop_size(x->display, &width, &height);
    XResizeWindow(x->display, x->handle, static_cast<unsigned>(width), static_cast<unsigned>(height));
    XFlush(x->display);
}

void x11_mark_fullscreen_before_map(qorl_window* window)
{
    qorl_x11_window* x = window->native;
    Atom state = XInternAtom(x->display, "_NET_WM_STATE", False);
    Atom fullscreen = XInternAtom(x->display, "_NET_WM_STATE_FULLSCREEN", False);
    XChangeProperty(x->display, x->handle, state, XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&fullscreen), 1);
}
