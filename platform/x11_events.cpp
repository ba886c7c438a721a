// The window's events become ring events and record updates:
//   key press/release   0x1000 | scan code (0x100 marks extended keys), then on a press the
//                       typed Latin-1 characters 1..255, always pressed
//   buttons 1, 2, 3     0x2000, 0x2001, 0x2002 (the wheel buttons 4..7 give nothing)
//   close protocol      0xDEAD pressed; the window stays
//   focus lost          a release for every key still held, since X sends those releases
//                       to whichever window has the focus then
//   size, map state, visibility and pointer motion update the record.
#include "platform/qorl_log.h"
#include "platform/x11_native.h"

#include <X11/Xutil.h>

#include <cstdlib>

namespace {

// Server time onto qorl_time's clock; events sent by other clients carry whatever time
// their sender chose, so they are stamped on arrival and left out of the clock offset.
void event_stamp(qorl_window* window, const XEvent& event, Time server_time, int32_t* s, int32_t* us)
{
    int64_t now = qorl_time_milliseconds();
    int64_t ms = now;
    if (!event.xany.send_event && server_time != CurrentTime)
        ms = window->native->stamps.stamp(static_cast<uint32_t>(server_time), now);
    *s = static_cast<int32_t>(ms / 1000);
    *us = static_cast<int32_t>(ms % 1000) * 1000;
}

void push(qorl_window* window, uint32_t code, int pressed, int32_t s, int32_t us)
{
    qorl_input_push(&window->input, code, pressed, s, us);
}

void key_event(qorl_window* window, XEvent& event)
{
    bool pressed = event.type == KeyPress;
    int32_t s = 0, us = 0;
    event_stamp(window, event, event.xkey.time, &s, &us);
    int scan = qorl_scan_from_x_keycode(event.xkey.keycode);
    if (scan >= 0 && scan < static_cast<int>(QORL_SCAN_LIMIT)) {
        window->native->held_keys[static_cast<size_t>(scan)] = pressed;
        push(window, QORL_KEY_BASE | static_cast<uint32_t>(scan), pressed, s, us);
    }
    if (!pressed)
        return;
    char text[16];
    KeySym keysym = 0;
    int length = XLookupString(&event.xkey, text, sizeof text, &keysym, nullptr);
    for (int i = 0; i < length; ++i) {
        auto c = static_cast<unsigned char>(text[i]);
        if (c != 0)
            push(window, c, 1, s, us);
    }
}

void button_event(qorl_window* window, XEvent& event)
{
    window->pointer_x = event.xbutton.x;
    window->pointer_y = event.xbutton.y;
    uint32_t code = 0;
    switch (event.xbutton.button) {
    case Button1: code = QORL_MOUSE_LEFT; break;
    case Button2: code = QORL_MOUSE_MIDDLE; break;
    case Button3: code = QORL_MOUSE_RIGHT; break;
    default: return;
    }
    int32_t s = 0, us = 0;
    event_stamp(window, event, event.xbutton.time, &s, &us);
    push(window, code, event.type == ButtonPress, s, us);
}

void release_held_keys(qorl_window* window)
{
    auto& held = window->native->held_keys;
    for (uint32_t scan = 0; scan < held.size(); ++scan) {
        if (held[scan])
            qorl_input_push_now(&window->input, QORL_KEY_BASE | scan, 0);
    }
    held.reset();
}

void configure_event(qorl_window* window, const XConfigureEvent& event)
{
    if (event.width == window->width && event.height == window->height)
        return;
    {
        // Waits for a frame in progress on the main thread: its size must not change under it.
        std::lock_guard lock(window->window_mutex);
        window->width = event.width;
        window->height = event.height;
    }
    qorl_log("Window size %dx%d\n", event.width, event.height);
}

}  // namespace

void x11_handle_event(qorl_window* window, XEvent* event)
{
    qorl_x11_window* x = window->native;
    if (event->type == MappingNotify) {
        // A new keyboard layout: characters come from the new key map from now on.
        XRefreshKeyboardMapping(&event->xmapping);
        return;
    }
    if (event->xany.window != x->handle)
        return;
    switch (event->type) {
    case KeyPress:
    case KeyRelease:
        key_event(window, *event);
        break;
    case ButtonPress:
    case ButtonRelease:
        button_event(window, *event);
        break;
    case MotionNotify:
        window->pointer_x = event->xmotion.x;
        window->pointer_y = event->xmotion.y;
        break;
    case FocusOut:
        // Grabs (a window manager's Alt-Tab) move the focus only for a while; the keys
        // still go up elsewhere, so they are released here all the same.
        release_held_keys(window);
        break;
    case ConfigureNotify:
        configure_event(window, event->xconfigure);
        break;
    case MapNotify:
        x->mapped = true;
        break;
    case UnmapNotify:
        x->mapped = false;
        break;
    case VisibilityNotify:
        x->obscured = event->xvisibility.state == VisibilityFullyObscured;
        break;
    case ClientMessage:
        if (event->xclient.message_type == x->wm_protocols && event->xclient.format == 32 &&
            static_cast<Atom>(event->xclient.data.l[0]) == x->wm_delete_window)
            qorl_input_push_now(&window->input, QORL_CLOSE, 1);
        break;
    case DestroyNotify:
        if (event->xdestroywindow.window == x->handle && !window->close_flag) {
            qorl_log("Unexpected destroy message!\n");
            exit(1);
        }
        break;
    default:
        break;
    }
}

void x11_pump(qorl_window* window)
{
    qorl_x11_window* x = window->native;
    x11_run_commands(window);
    while (XPending(x->display) > 0) {
        XEvent event;
        XNextEvent(x->display, &event);
        x11_handle_event(window, &event);
    }
}
