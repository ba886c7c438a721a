// GL contexts as the game asks for them, under a private Xvfb with Mesa's software
// renderer, and offscreen through EGL with no display at all. Each case is a fresh
// process: the request and the options are per process.
// GoogleTest goes before Xlib, whose macros (None, Bool) clash with its names.
#include <gtest/gtest.h>

#include "platform/qorl_gl.h"
#include "platform/qorl_log.h"
#include "platform/x11_native.h"
#include "platform/x_session.h"
#include "support/test_support.h"
#include "support/xvfb_server.h"


#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace {

constexpr unsigned gl_vendor = 0x1F00;
constexpr unsigned gl_version = 0x1F02;
constexpr unsigned gl_extensions = 0x1F03;
constexpr unsigned gl_num_extensions = 0x821D;

struct GlInfo {
    std::string version;
    bool compatibility = false;  // GL_ARB_compatibility offered
    bool es = false;
    int major = 0;
    int minor = 0;
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
    const char* numbers = info.version.c_str() + (info.es ? 10 : 0);
    sscanf(numbers, "%d.%d", &info.major, &info.minor);
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

std::string at_least(const GlInfo& info, int major, int minor)
{
    if (info.major > major || (info.major == major && info.minor >= minor))
        return "";
    return "version " + info.version + " is too old";
}

}  // namespace

class GlUnderXvfb : public testing::Test {
protected:
    void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
    bvtest::XvfbServer server;
};

TEST_F(GlUnderXvfb, DefaultRequestIsA31CoreContextWithoutDeprecatedCalls)
{
    BV_REQUIRE_XVFB(server);
    EXPECT_EXIT(
        {
            qorl_gl_request_version(3, 1, QORL_PROFILE_CORE);
            qorl_window* window = open_default_window();
            if (!window)
                bvtest::finish_child("no window");
            GlInfo info = query(window);
            std::string failure = at_least(info, 3, 1);
            if (failure.empty() && (info.es || info.compatibility))
                failure = "asked for core, got " + info.version + " with the compatibility calls";
            qorl_gl_close(window);
            bvtest::finish_child(failure);
        },
        testing::ExitedWithCode(0), "");
}

TEST_F(GlUnderXvfb, ProfileAnyGivesACompatibilityContext)
{
    BV_REQUIRE_XVFB(server);
    EXPECT_EXIT(
        {
            qorl_gl_request_version(3, 1, QORL_PROFILE_ANY);
            qorl_window* window = open_default_window();
            if (!window)
                bvtest::finish_child("no window");
            GlInfo info = query(window);
            qorl_gl_close(window);
            bvtest::finish_child(info.compatibility ? at_least(info, 3, 1)
                                                    : "no compatibility calls in " + info.version);
        },
        testing::ExitedWithCode(0), "");
}

TEST_F(GlUnderXvfb, EsRequestGivesAnEs3Context)
{
    BV_REQUIRE_XVFB(server);
    EXPECT_EXIT(
        {
            qorl_gl_request_version(3, 0, QORL_PROFILE_ES);
            qorl_window* window = open_default_window();
            if (!window)
                bvtest::finish_child("no window");
            GlInfo info = query(window);
            qorl_gl_close(window);
            bvtest::finish_child(info.es && info.major == 3 ? "" : "got " + info.version);
        },
        testing::ExitedWithCode(0), "");
}

TEST_F(GlUnderXvfb, EsRequestWithGlesOffFallsBackToCompatibility)
{
    BV_REQUIRE_XVFB(server);
    EXPECT_EXIT(
        {
            setenv("QORL_OPTIONS", "[gles:off]", 1);
            qorl_gl_request_version(3, 1, QORL_PROFILE_ES);
            qorl_window* window = open_default_window();
            if (!window)
                bvtest::finish_child("no window");
            GlInfo info = query(window);
            qorl_gl_close(window);
            bvtest::finish_child(!info.es && info.compatibility ? "" : "got " + info.version);
        },
        testing::ExitedWithCode(0), "");
}

TEST_F(GlUnderXvfb, RefusedVersionFailsTheOpenInsteadOfEndingTheProcess)
{
    BV_REQUIRE_XVFB(server);
    auto scenario = []() -> std::string {
        bvtest::TempDir dir;
        std::string log_path = dir / "log.txt";
        setenv("QORL_LOGFILE", log_path.c_str(), 1);
        qorl_gl_request_version(9, 9, QORL_PROFILE_CORE);
        qorl_window* window = open_default_window();
        qorl_log(nullptr);
        if (window)
            return "a 9.9 context opened";
        std::string log = bvtest::read_file(log_path);
        if (log.find("Couldn't create OpenGL context with attributes\n") == std::string::npos)
            return "log: " + log;
        return "";
    };
    EXPECT_EXIT(bvtest::finish_child(scenario()), testing::ExitedWithCode(0), "");
}

TEST_F(GlUnderXvfb, FramesPairUpAndAStrayEndReleasesNothing)
{
    BV_REQUIRE_XVFB(server);
    EXPECT_EXIT(
        {
            qorl_window* window = open_default_window();
            if (!window)
                bvtest::finish_child("no window");
            std::string failure;
            auto check = [&](bool ok, const char* what) {
                if (!ok && failure.empty())
                    failure = what;
            };
            check(qorl_end_frame(window) == 0, "an end without a begin reported a swap");
            qorl_frame* frame = qorl_begin_frame(window);
            check(frame && frame->x == 0 && frame->y == 0 && frame->width == 320 &&
                      frame->height == 240,
                  "first frame");
            check(qorl_begin_frame(window) == nullptr, "a second begin inside a frame");
            check(!window->window_mutex.try_lock(), "the frame does not hold the window lock");
            check(qorl_end_frame(window) == 1, "the swap failed");
            check(qorl_end_frame(window) == 0, "a second end reported a swap");
            bool free_now = window->window_mutex.try_lock();
            check(free_now, "the window lock is still held after the frame");
            if (free_now)
                window->window_mutex.unlock();

            // Hidden: no frame, and none may be ended.
            Display* display = bvtest::open_test_display();
            XUnmapWindow(display, window->native->handle);
            XSync(display, False);
            check(bvtest::pump_until(window, [&] { return !window->native->mapped; }),
                  "the unmap never arrived");
            check(qorl_begin_frame(window) == nullptr, "a frame while unmapped");
            XMapWindow(display, window->native->handle);
            XSync(display, False);
            check(bvtest::pump_until(window, [&] { return window->native->mapped.load(); }),
                  "the map never arrived");
            frame = qorl_begin_frame(window);
            check(frame != nullptr, "no frame after mapping again");
            if (frame)
                qorl_end_frame(window);
            XCloseDisplay(display);
            qorl_gl_close(window);
            bvtest::finish_child(failure);
        },
        testing::ExitedWithCode(0), "");
}

TEST_F(GlUnderXvfb, MessageThreadWaitsForTheFrameBeforeResizing)
{
    BV_REQUIRE_XVFB(server);
    EXPECT_EXIT(
        {
            setenv("QORL_OPTIONS", "[threaded:on]", 1);
            qorl_window* window = open_default_window();
            if (!window)
                bvtest::finish_child("no window");
            std::string failure;
            Display* display = bvtest::open_test_display();
            qorl_frame* frame = qorl_begin_frame(window);
            if (!frame)
                failure = "no frame";
            XResizeWindow(display, window->native->handle, 200, 150);
            XSync(display, False);
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            if (failure.empty() && (window->width != 320 || frame->width != 320))
                failure = "the size changed inside a frame";
            if (frame)
                qorl_end_frame(window);
            if (failure.empty() &&
                !bvtest::pump_until(window, [&] { return window->width == 200; }))
                failure = "the resize was lost";
            XCloseDisplay(display);
            qorl_gl_close(window);
            bvtest::finish_child(failure);
        },
        testing::ExitedWithCode(0), "");
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
            GlInfo info = query(window);
            std::string failure = at_least(info, 3, 1);
            if (failure.empty() && info.compatibility)
                failure = "core request gave compatibility";
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
            info = query(window);
            if (failure.empty() && !(info.es && info.major == 3))
                failure = "ES request gave " + info.version;
            qorl_gl_close(window);
            bvtest::finish_child(failure);
        },
        testing::ExitedWithCode(0), "");
}
