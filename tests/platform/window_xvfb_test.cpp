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
#include "support/test_support.h"
#include "support/xvfb_server.h"

#include <X11/keysym.h>

#include <chrono>
#include <cstdlib>
#include <unistd.h>

using bvtest::RingEvent;
using Events = std::vector<RingEvent>;

namespace {

constexpr uint32_t key_a = 0x101E;
constexpr uint32_t key_b = 0x1030;
constexpr uint32_t key_right_ctrl = 0x111D;

int64_t now_ms()
{
    int32_t s = 0, us = 0;
    qorl_time(&s, &us);
    return static_cast<int64_t>(s) * 1000 + us / 1000;
}

// Lets events gather in the ring without popping them.
bool wait_in_ring(qorl_window* window, uint32_t count)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < deadline) {
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
    bvtest::FirstFailure failure;
    auto check = [&](bool ok, const std::string& what) { failure.check(ok, what); };
    check(((window->flags & QORL_WINDOW_THREADED) != 0) == expect_threaded, "threaded flag");
    check(window->width == 1024 && window->height == 768, "0 x 0 should give the desktop size");

    Display* display = bvtest::open_test_display();
    bvtest::FakeInput input;
    Window handle = window->native->handle;

    // A typed key: the key event first, its character after it, stamps not in the future.
    check(input.available(), "no XTEST library (libXtst.so.6) to type with");
    if (input.available()) {
        int64_t before = now_ms();
        for (KeySym key : {XK_a, XK_Control_R}) {
            input.key(display, key, true);
            input.key(display, key, false);
        }
        Events events = bvtest::pop_until(window, {key_right_ctrl, 0});
        check(events == Events{{key_a, 1}, {'a', 1}, {key_a, 0}, {key_right_ctrl, 1}, {key_right_ctrl, 0}},
              "typed keys gave " + bvtest::describe(events));

        // Stamps, read straight from the ring after a fresh key press.
        input.key(display, XK_b, true);
        input.key(display, XK_b, false);
        check(wait_in_ring(window, 3), "a key press and release never reached the ring");
        int64_t after = now_ms();
        pthread_mutex_lock(&window->input.ring_mutex);
        const qorl_event_ring& ring = window->input.ring;
        for (uint32_t i = 0; i < ring.count; ++i) {
            uint32_t slot = (ring.head + i) % QORL_RING_SIZE;
            int64_t stamp = static_cast<int64_t>(ring.seconds[slot]) * 1000 + ring.microseconds[slot] / 1000;
            check(stamp >= before - 1000 && stamp <= after, "a key stamp lies outside the test");
        }
        pthread_mutex_unlock(&window->input.ring_mutex);
        // The release may come well after the press on a busy machine: wait for it, so
        // that it never shows among the buttons.
        bvtest::pop_until(window, {key_b, 0});

        // Pointer buttons over the window; the wheel gives nothing.
        input.move(display, 10, 20);
        for (unsigned button : {1, 4, 3}) {
            input.button(display, button, true);
            input.button(display, button, false);
        }
        events = bvtest::pop_until(window, {QORL_MOUSE_RIGHT, 0});
        check(events == Events{{QORL_MOUSE_LEFT, 1}, {QORL_MOUSE_LEFT, 0}, {QORL_MOUSE_RIGHT, 1}, {QORL_MOUSE_RIGHT, 0}},
              "buttons gave " + bvtest::describe(events));
        check(window->pointer_x == 10 && window->pointer_y == 20, "pointer position");

        // A key held while the focus goes elsewhere is released for the game.
        input.key(display, XK_a, true);
        bvtest::pop_until(window, {key_a, 1});
        XSetInputFocus(display, None, RevertToNone, CurrentTime);
        XSync(display, False);
        check(bvtest::contains(bvtest::pop_until(window, {key_a, 0}), {key_a, 0}),
              "focus loss did not release a held key");
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
    XSendEvent(display, handle, False, NoEventMask, &close);
    XSync(display, False);
    Events events = bvtest::pop_until(window, {QORL_CLOSE, 1});
    check(bvtest::contains(events, {QORL_CLOSE, 1}), "no close event: " + bvtest::describe(events));
    XWindowAttributes attributes{};
    check(XGetWindowAttributes(display, handle, &attributes) != 0 && attributes.map_state == IsViewable,
          "the close box closed the window");

    // A resize by someone else reaches the record.
    auto size_becomes = [&](int32_t w, int32_t h) {
        return bvtest::pump_until(window, [&] { return window->width == w && window->height == h; });
    };
    XResizeWindow(display, handle, 320, 200);
    XSync(display, False);
    check(size_becomes(320, 200), "the record missed a resize");

    // Fullscreen without a window manager covers the root window; windowed comes back.
    qorl_set_video_mode(window, 1000, 700, QORL_FULLSCREEN);
    check(size_becomes(1024, 768), "fullscreen did not cover the screen");
    check((window->flags & QORL_WINDOW_FULLSCREEN_ACTIVE) != 0, "fullscreen flag");
    check(window->fullscreen_width == 1024 && window->fullscreen_height == 768, "fullscreen mode choice");
    qorl_set_video_mode(window, 640, 480, 0);
    check(size_becomes(640, 480), "windowed mode did not come back");
    check((window->flags & QORL_WINDOW_FULLSCREEN_ACTIVE) == 0, "fullscreen flag left on");
    check(window->busy == 0, "busy left on after a switch");

    XCloseDisplay(display);
    qorl_window_close(window);
    return failure.text;
}

// Runs the scenario in a fresh process; it passes when the scenario returns "".
void expect_child_passes(std::string (*scenario)())
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(bvtest::finish_child(scenario()), testing::ExitedWithCode(0), "");
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

// The cursor axes follow the pointer outside the window too, in window pixels.
TEST(WindowUnderXvfb, CursorAxesFollowThePointerOutsideTheWindow)
{
    bvtest::XvfbServer server;
    BV_REQUIRE_XVFB(server);
    expect_child_passes([]() -> std::string {
        qorl_window* window = qorl_window_open("Pointer", 200, 100, 24);
        if (!window)
            return "the window did not open";
        Display* display = bvtest::open_test_display();
        Window root = DefaultRootWindow(display);
        qorl_axis* axis_x = qorl_axis_open(window, "cursor-x");
        qorl_axis* axis_y = qorl_axis_open(window, "cursor-y");
        std::string failure;
        auto expect_at = [&](int root_x, int root_y, const char* where) {
            XWarpPointer(display, None, root, 0, 0, 0, 0, root_x, root_y);
            XSync(display, False);
            int want_x = 0, want_y = 0;
            Window child = 0;
            XTranslateCoordinates(display, root, window->native->handle, root_x, root_y, &want_x, &want_y, &child);
            // The motion may take a while to arrive on a busy machine.
            bvtest::pump_until(window, [&] {
                return qorl_axis_read(axis_x) == want_x && qorl_axis_read(axis_y) == want_y;
            });
            int got_x = qorl_axis_read(axis_x), got_y = qorl_axis_read(axis_y);
            if (got_x != want_x || got_y != want_y)
                failure += std::string(where) + ": " + std::to_string(got_x) + "," + std::to_string(got_y) +
                           " instead of " + std::to_string(want_x) + "," + std::to_string(want_y) + "\n";
        };
        if (!axis_x || !axis_y) {
            failure = "no cursor axes";
        } else {
            expect_at(50, 40, "inside");
            expect_at(700, 600, "outside");
        }
        qorl_axis_close(axis_x);
        qorl_axis_close(axis_y);
        XCloseDisplay(display);
        qorl_window_close(window);
        return failure;
    });
}

// Xvfb's RandR extension offers just its desktop mode, which is listed once.
TEST(WindowUnderXvfb, ModeListHoldsTheServersModeOnce)
{
    bvtest::XvfbServer server;
    BV_REQUIRE_XVFB(server);
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            const qorl_display_mode* m = qorl_desktop_mode();
            bool ok = m && m[0].width == 1024 && m[0].height == 768 && m[0].colour_bits == 24 && m[1].width == 0;
            bvtest::finish_child(ok ? "" : "not the server's one mode");
        },
        testing::ExitedWithCode(0), "");
}

TEST(WindowUnderXvfb, CloseLogsItsStepsOnceEach)
{
    bvtest::XvfbServer server;
    BV_REQUIRE_XVFB(server);
    expect_child_passes([]() -> std::string {
        bvtest::TempDir dir;
        setenv("QORL_LOGFILE", (dir / "log.txt").c_str(), 1);
        qorl_window* window = qorl_window_open("Closing", 200, 100, 24);
        if (!window)
            return "the window did not open";
        qorl_window_close(window);
        qorl_log(nullptr);
        std::string log = bvtest::read_file(dir / "log.txt");
        std::string failure;
        for (const char* line : {"Closing input devices\n", "Destroying window\n", "Window shutdown complete\n"}) {
            size_t first = log.find(line);
            if (first == std::string::npos || log.find(line, first + 1) != std::string::npos)
                failure += std::string("not logged exactly once: ") + line;
        }
        return failure;
    });
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
            bvtest::pump_until(window, [] { return false; }, 30000);
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
