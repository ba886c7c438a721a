// GL contexts as the game asks for them, under a private Xvfb with Mesa's software
// renderer, and offscreen through EGL with no display at all. Each case is a fresh
// process: the request and the options are per process.
// GoogleTest goes before Xlib, whose macros (None, Bool) clash with its names.
#include <gtest/gtest.h>

#include "platform/qorl_events.h"
#include "platform/qorl_gl.h"
#include "platform/qorl_log.h"
#include "platform/x11_native.h"
#include "platform/x_session.h"
#include "support/test_support.h"
#include "support/xvfb_server.h"


#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <future>
#include <thread>
#include <unistd.h>

namespace {

constexpr unsigned gl_version = 0x1F02, gl_extensions = 0x1F03, gl_num_extensions = 0x821D;

struct GlInfo {
    std::string version;
    bool compatibility = false;  // GL_ARB_compatibility offered
    bool es = false;
    int major = 0, minor = 0;
};

GlInfo query(qorl_window* window)
{
    using get_string_t = const unsigned char* (*)(unsigned);
    using get_string_i_t = const unsigned char* (*)(unsigned, unsigned);
    using get_integer_t = void (*)(unsigned, int*);
    auto get_string = reinterpret_cast<get_string_t>(qorl_gl_proc_address(window, "glGetString"));
    auto get_string_i = reinterpret_cast<get_string_i_t>(qorl_gl_proc_address(window, "glGetStringi"));
    auto get_integer = reinterpret_cast<get_integer_t>(qorl_gl_proc_address(window, "glGetIntegerv"));
    GlInfo info;
    const char* version = reinterpret_cast<const char*>(get_string(gl_version));
    info.version = version ? version : "";
    info.es = info.version.rfind("OpenGL ES ", 0) == 0;
    sscanf(info.version.c_str() + (info.es ? 10 : 0), "%d.%d", &info.major, &info.minor);
    int count = 0;
    get_integer(gl_num_extensions, &count);
    for (int i = 0; i < count; ++i) {
        const char* name = reinterpret_cast<const char*>(get_string_i(gl_extensions, static_cast<unsigned>(i)));
        if (name && strcmp(name, "GL_ARB_compatibility") == 0)
            info.compatibility = true;
    }
    return info;
}

qorl_window* open_default_window()
{
    return qorl_gl_open("GL test", 320, 240, 24, 0, 16, 0, 0);
}

std::string at_least_31(const GlInfo& info)
{
    return info.major > 3 || (info.major == 3 && info.minor >= 1) ? "" : "version " + info.version + " is too old";
}
// A core request gives no deprecated calls.
std::string core_31(const GlInfo& info)
{
    return info.es || info.compatibility ? "asked for core, got " + info.version : at_least_31(info);
}
std::string compatibility_31(const GlInfo& info)
{
    return !info.es && info.compatibility ? at_least_31(info) : "no compatibility calls in " + info.version;
}
// Asked from a thread of its own: the lock is re-entrant for the thread that holds it.
bool lock_is_free(qorl_window* window)
{
    if (!window->window_mutex.try_lock())
        return false;
    window->window_mutex.unlock();
    return true;
}

std::string es_3(const GlInfo& info)
{
    return info.es && info.major == 3 ? "" : "asked for ES 3, got " + info.version;
}

using Check = std::function<void(bool, const char*)>;

// A window with the given options in a fresh process, a connection of the test's own,
// and the scenario's first failed check as the child's verdict.
void expect_window_scenario(const char* options,
                            const std::function<void(qorl_window*, Display*, const Check&)>& scenario)
{
    EXPECT_EXIT(
        {
            alarm(120);  // a hang ends the child with a signal, failing the test
            setenv("QORL_OPTIONS", options, 1);
            qorl_window* window = open_default_window();
            if (!window)
                bvtest::finish_child("no window");
            bvtest::FirstFailure failure;
            Display* display = bvtest::open_test_display();
            scenario(window, display, [&](bool ok, const char* what) { failure.check(ok, what); });
            XCloseDisplay(display);
            qorl_gl_close(window);
            bvtest::finish_child(failure.text);
        },
        testing::ExitedWithCode(0), "");
}

}  // namespace

class GlUnderXvfb : public testing::Test {
protected:
    void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
    bvtest::XvfbServer server;
};

TEST_F(GlUnderXvfb, ContextsAsRequested)
{
    BV_REQUIRE_XVFB(server);
    struct request {
        int major, minor, profile;
        const char* options;
        std::string (*check)(const GlInfo&);
    };
    for (request r : {request{3, 1, QORL_PROFILE_CORE, "", core_31},  // the default
                      request{3, 1, QORL_PROFILE_ANY, "", compatibility_31}, request{3, 0, QORL_PROFILE_ES, "", es_3},
                      request{3, 1, QORL_PROFILE_ES, "[gles:off]", compatibility_31}}) {
        // A fresh process each: the request and the options are per process.
        EXPECT_EXIT(
            {
                setenv("QORL_OPTIONS", r.options, 1);
                qorl_gl_request_version(r.major, r.minor, r.profile);
                qorl_window* window = open_default_window();
                if (!window)
                    bvtest::finish_child("no window");
                GlInfo info = query(window);
                qorl_gl_close(window);
                bvtest::finish_child(r.check(info));
            },
            testing::ExitedWithCode(0), "")
            << r.major << "." << r.minor << " profile " << r.profile << " " << r.options;
    }
}

TEST_F(GlUnderXvfb, RefusedVersionFailsTheOpenInsteadOfEndingTheProcess)
{
    BV_REQUIRE_XVFB(server);
    auto scenario = []() -> std::string {
        bvtest::TempDir dir;
        setenv("QORL_LOGFILE", (dir / "log.txt").c_str(), 1);
        qorl_gl_request_version(9, 9, QORL_PROFILE_CORE);
        qorl_window* window = open_default_window();
        qorl_log(nullptr);
        std::string log = bvtest::read_file(dir / "log.txt");
        if (window)
            return "a 9.9 context opened";
        return log.find("Couldn't create OpenGL context with attributes\n") == std::string::npos ? "log: " + log : "";
    };
    EXPECT_EXIT(bvtest::finish_child(scenario()), testing::ExitedWithCode(0), "");
}

// With the message thread, which must wait for the frame before it resizes.
TEST_F(GlUnderXvfb, FramesPairUpUnderTheWindowLockAndAStrayEndReleasesNothing)
{
    BV_REQUIRE_XVFB(server);
    expect_window_scenario("[threaded:on]", [](qorl_window* window, Display* display, const Check& check) {
        check(qorl_end_frame(window) == 0, "an end without a begin reported a swap");
        qorl_frame* frame = qorl_begin_frame(window);
        check(frame && frame->x == 0 && frame->y == 0 && frame->width == 320 && frame->height == 240,
              "first frame");
        check(qorl_begin_frame(window) == nullptr, "a second begin inside a frame");
        check(!std::async([&] { return lock_is_free(window); }).get(), "the frame does not hold the window lock");
        XResizeWindow(display, window->native->handle, 200, 150);
        XSync(display, False);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        check(window->width == 320 && frame && frame->width == 320, "the size changed inside a frame");
        check(qorl_end_frame(window) == 1, "the swap failed");
        check(qorl_end_frame(window) == 0, "a second end reported a swap");
        check(bvtest::pump_until(window, [&] { return window->width == 200; }), "the resize was lost");
        check(std::async([&] { return lock_is_free(window); }).get(),
              "the window lock is still held after the frame");

        // Hidden: no frame, and none may be ended.
        XUnmapWindow(display, window->native->handle);
        XSync(display, False);
        check(bvtest::pump_until(window, [&] { return !window->native->mapped; }), "the unmap never arrived");
        check(qorl_begin_frame(window) == nullptr, "a frame while unmapped");
        XMapWindow(display, window->native->handle);
        XSync(display, False);
        check(bvtest::pump_until(window, [&] { return window->native->mapped.load(); }), "the map never arrived");
        frame = qorl_begin_frame(window);
        check(frame != nullptr, "no frame after mapping again");
        if (frame)
            qorl_end_frame(window);
    });
}

// Without the message thread the main thread pumps the window itself, also inside a
// frame (a progress screen drains input while a track loads): a resize or a mode switch
// arriving then must not wait for the lock that this same thread holds.
TEST_F(GlUnderXvfb, EventsPumpedInsideAFrameOnTheUnthreadedWindow)
{
    BV_REQUIRE_XVFB(server);
    expect_window_scenario("[threaded:off]", [](qorl_window* window, Display* display, const Check& check) {
        uint32_t code = 0;
        int pressed = 0;

        check(qorl_begin_frame(window) != nullptr, "no frame");
        XResizeWindow(display, window->native->handle, 200, 150);
        XSync(display, False);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (window->width != 200 && std::chrono::steady_clock::now() < deadline) {
            qorl_next_event(window, &code, &pressed);
            usleep(10000);
        }
        check(window->width == 200 && window->height == 150, "the resize inside a frame was lost");
        qorl_set_video_mode(window, 0, 0, QORL_FULLSCREEN);
        qorl_next_event(window, &code, &pressed);
        check((window->flags & QORL_WINDOW_FULLSCREEN_ACTIVE) != 0, "the switch inside a frame did not run");
        check(window->busy == 0, "busy left on");
        check(qorl_end_frame(window) == 1, "the swap failed");
        check(std::async([&] { return lock_is_free(window); }).get(), "the lock outlived the frame");
    });
}

// The swap's own result reaches the caller: a window destroyed behind the program's
// back (an X error) and a connection the server cut both fail the frame, and the
// window still closes without ending the process.
TEST_F(GlUnderXvfb, AFailedSwapIsReportedAndTheWindowStillCloses)
{
    BV_REQUIRE_XVFB(server);
    for (bool kill_client : {false, true}) {
        SCOPED_TRACE(kill_client ? "connection cut" : "window destroyed");
        expect_window_scenario("[threaded:off]", [=](qorl_window* window, Display* display, const Check& check) {
            check(qorl_begin_frame(window) != nullptr, "no frame");
            if (kill_client)
                XKillClient(display, window->native->handle);
            else
                XDestroyWindow(display, window->native->handle);
            XSync(display, False);
            check(qorl_end_frame(window) == 0, "the failed swap was reported as done");
        });
    }
}

TEST(GlOffscreen, CoreAndEsContextsWithoutAnyDisplay)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
    EXPECT_EXIT(
        {
            unsetenv("DISPLAY");
            qorl_gl_request_version(3, 1, QORL_PROFILE_CORE);
            qorl_window* window = qorl_gl_open_offscreen(64, 32, 0, 16, 0);
            if (!window)
                bvtest::finish_child("no offscreen context");
            std::string failure = core_31(query(window));
            qorl_frame* frame = qorl_begin_frame(window);
            if (failure.empty() && (!frame || frame->width != 64 || frame->height != 32))
                failure = "offscreen frame";
            if (frame && qorl_end_frame(window) != 1 && failure.empty())
                failure = "offscreen swap";
            qorl_gl_close(window);

            qorl_gl_request_version(3, 0, QORL_PROFILE_ES);
            window = qorl_gl_open_offscreen(16, 16, 0, 0, 0);
            if (!window)
                bvtest::finish_child("no offscreen ES context");
            if (failure.empty())
                failure = es_3(query(window));
            qorl_gl_close(window);
            bvtest::finish_child(failure);
        },
        testing::ExitedWithCode(0), "");
}
