// The window under a private Xvfb (no window manager): what the game sees of keys,
// buttons, the close box, resizes and video-mode switches, unthreaded and with the
// message thread.
// GoogleTest goes before Xlib, whose macros (None, Bool) clash with its names.
#include <gtest/gtest.h>

#include "platform/qorl_events.h"
#include "platform/qorl_log.h"
#include "platform/qorl_window.h"
#include "platform/x11_native.h"
#include "platform/x_session.h"
#include "support/xvfb_server.h"

#include <X11/keysym.h>

#include <cstdlib>
#include <sstream>
#include <unistd.h>

using bvtest::contains;
using bvtest::RingEvent;

namespace {

constexpr uint32_t key_a = 0x101E;
constexpr uint32_t key_right_ctrl = 0x111D;

int64_t now_ms()
{
    int32_t s = 0, us = 0;
    qorl_time(&s, &us);
    return static_cast<int64_t>(s) * 1000 + us / 1000;
}

std::string describe(const std::vector<RingEvent>& events)
{
    std::ostringstream text;
    for (const RingEvent& e : events)
        text << std::hex << "0x" << e.code << (e.pressed ? "+ " : "- ");
    return text.str();
}

// Lets events gather in the ring without popping them.
bool wait_in_ring(qorl_window* window, uint32_t count)
{
    for (int waited = 0; waited < 3000; waited += 2) {
        if (window->input.pump)
            window->input.pump(window);
        pthread_mutex_lock(&window->input.ring_mutex);
        bool enough = window->input.ring.count >= count;
        pthread_mutex_unlock(&window->input.ring_mutex);
        if (enough)
            return true;
        usleep(2000);
    }
    return false;
}

// One scenario, used both unthreaded and threaded; returns "" or what went wrong.
std::string window_scenario(bool expect_threaded)
{
    qorl_window* window = qorl_window_open("Window test", 0, 0, 24);
    if (!window)
        return std::string("the window did not open: ") + qorl_last_error();
    std::ostringstream failure;
    auto check = [&](bool ok, const std::string& what) {
        if (!ok && failure.str().empty())
            failure << what;
    };
    check(((window->flags & QORL_WINDOW_THREADED) != 0) == expect_threaded, "threaded flag");
    check(window->width == 1024 && window->height == 768, "0 x 0 should give the desktop size");

    Display* display = bvtest::open_test_display();
    bvtest::FakeInput input;
    Window handle = window->native->handle;

    // A typed key: the key event first, its character after it, stamps not in the future.
    check(input.available(), "no XTEST library (libXtst.so.6) to type with");
    if (input.available()) {
        int64_t before = now_ms();
        input.key(display, XK_a, true);
        input.key(display, XK_a, false);
        input.key(display, XK_Control_R, true);
        input.key(display, XK_Control_R, false);
        std::vector<RingEvent> events = bvtest::pop_events(window, [](const auto& got) {
            return contains(got, key_right_ctrl, 0);
        });
        std::vector<RingEvent> expected = {{key_a, 1}, {'a', 1}, {key_a, 0},
                                           {key_right_ctrl, 1}, {key_right_ctrl, 0}};
        bool same = events.size() == expected.size();
        for (size_t i = 0; same && i < events.size(); ++i)
            same = events[i].code == expected[i].code && events[i].pressed == expected[i].pressed;
        check(same, "typed keys gave " + describe(events));

        // Stamps, read straight from the ring after a fresh key press.
        input.key(display, XK_b, true);
        input.key(display, XK_b, false);
        bool arrived = wait_in_ring(window, 3);
        int64_t after = now_ms();
        check(arrived, "a key press and release never reached the ring");
        pthread_mutex_lock(&window->input.ring_mutex);
        const qorl_event_ring& ring = window->input.ring;
        for (uint32_t i = 0; i < ring.count; ++i) {
            uint32_t slot = (ring.head + i) % QORL_RING_SIZE;
            int64_t stamp = static_cast<int64_t>(ring.seconds[slot]) * 1000 +
                            ring.microseconds[slot] / 1000;
            check(stamp >= before - 1000 && stamp <= after, "a key stamp lies outside the test");
        }
        pthread_mutex_unlock(&window->input.ring_mutex);
        bvtest::pop_events(window, [](const auto&) { return false; }, 100);

        // Pointer buttons over the window; the wheel gives nothing.
        input.move(display, 10, 20);
        input.button(display, 1, true);
        input.button(display, 1, false);
        input.button(display, 4, true);
        input.button(display, 4, false);
        input.button(display, 3, true);
        input.button(display, 3, false);
        events = bvtest::pop_events(window, [](const auto& got) {
            return contains(got, QORL_MOUSE_RIGHT, 0);
        });
        expected = {{QORL_MOUSE_LEFT, 1}, {QORL_MOUSE_LEFT, 0}, {QORL_MOUSE_RIGHT, 1},
                    {QORL_MOUSE_RIGHT, 0}};
        same = events.size() == expected.size();
        for (size_t i = 0; same && i < events.size(); ++i)
            same = events[i].code == expected[i].code && events[i].pressed == expected[i].pressed;
        check(same, "buttons gave " + describe(events));
        check(window->pointer_x == 10 && window->pointer_y == 20, "pointer position");

        // A key held while the focus goes elsewhere is released for the game.
        input.key(display, XK_a, true);
        bvtest::pop_events(window, [](const auto& got) { return contains(got, key_a, 1); });
        XSetInputFocus(display, None, RevertToNone, CurrentTime);
        XSync(display, False);
        events = bvtest::pop_events(window, [](const auto& got) { return contains(got, key_a, 0); });
        check(contains(events, key_a, 0), "focus loss did not release a held key");
        input.key(display, XK_a, false);
        XSetInputFocus(display, handle, RevertToParent, CurrentTime);
        XSync(display, False);
        bvtest::pop_events(window, [](const auto&) { return false; }, 100);
    }

    // The close box gives 0xDEAD and the window stays.
    XEvent close{};
    close.xclient.type = ClientMessage;
    close.xclient.window = handle;
    close.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    close.xclient.format = 32;
    close.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    close.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, handle, False, NoEventMask, &close);
    XSync(display, False);
    std::vector<RingEvent> events = bvtest::pop_events(window, [](const auto& got) {
        return contains(got, QORL_CLOSE, 1);
    });
    check(contains(events, QORL_CLOSE, 1), "no close event: " + describe(events));
    XWindowAttributes attributes{};
    check(XGetWindowAttributes(display, handle, &attributes) != 0 &&
              attributes.map_state == IsViewable,
          "the close box closed the window");

    // A resize by someone else reaches the record.
    XResizeWindow(display, handle, 320, 200);
    XSync(display, False);
    check(bvtest::pump_until(window, [&] { return window->width == 320 && window->height == 200; }),
          "the record missed a resize");

    // Fullscreen without a window manager covers the root window; windowed comes back.
    qorl_set_video_mode(window, 1000, 700, QORL_FULLSCREEN);
    check(bvtest::pump_until(window, [&] { return window->width == 1024 && window->height == 768; }),
          "fullscreen did not cover the screen");
    check((window->flags & QORL_WINDOW_FULLSCREEN_ACTIVE) != 0, "fullscreen flag");
    check(window->fullscreen_width == 1024 && window->fullscreen_height == 768,
          "fullscreen mode choice");
    qorl_set_video_mode(window, 640, 480, 0);
    check(bvtest::pump_until(window, [&] { return window->width == 640 && window->height == 480; }),
          "windowed mode did not come back");
    check((window->flags & QORL_WINDOW_FULLSCREEN_ACTIVE) == 0, "fullscreen flag left on");
    check(window->busy == 0, "busy left on after a switch");

    XCloseDisplay(display);
    qorl_window_close(window);
    return failure.str();
}

}  // namespace

TEST(WindowUnderXvfb, OpensAtDesktopSizeAndTurnsInputIntoEvents)
{
    bvtest::XvfbServer server;
    BV_REQUIRE_XVFB(server);
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // A fresh process: the "threaded" option is read once per process.
    EXPECT_EXIT(
        {
            setenv("QORL_OPTIONS", "[threaded:off]", 1);
            bvtest::finish_child(window_scenario(false));
        },
        testing::ExitedWithCode(0), "");
}

TEST(WindowUnderXvfb, MessageThreadDeliversTheSameAndJoinsOnClose)
{
    bvtest::XvfbServer server;
    BV_REQUIRE_XVFB(server);
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            setenv("QORL_OPTIONS", "[threaded:on]", 1);
            bvtest::finish_child(window_scenario(true));
        },
        testing::ExitedWithCode(0), "");
}

TEST(WindowUnderXvfb, UnexpectedDestroyEndsTheProgram)
{
    bvtest::XvfbServer server;
    BV_REQUIRE_XVFB(server);
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            qorl_window* window = qorl_window_open("Doomed", 200, 100, 24);
            if (!window)
                bvtest::finish_child("the window did not open");
            Display* display = bvtest::open_test_display();
            XDestroyWindow(display, window->native->handle);
            XSync(display, False);
            bvtest::pump_until(window, [] { return false; }, 3000);
            bvtest::finish_child("still running after its window was destroyed");
        },
        testing::ExitedWithCode(1), "");
}

TEST(WindowUnderXvfb, OpenFailsCleanlyWithoutADisplay)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            setenv("DISPLAY", ":999999", 1);
            qorl_window* window = qorl_window_open("Nowhere", 0, 0, 24);
            bvtest::finish_child(window ? "opened a window on a missing display" : "");
        },
        testing::ExitedWithCode(0), "");
}
