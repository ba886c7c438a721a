// The editor driven as a user drives it: the program's entry routine with "--editor" on
// the sample track under the test's X server, keys and the pointer through XTEST, a
// frame observer stepping through stages; a second start in the same user folder.
#pragma once
#include "editor/editor_state.h"
#include "editor/editor_view.h"
#include "frontend/front_end.h"
#include "frontend/ui_widgets.h"
#include "platform/qorl_window.h"
#include "platform/x11_native.h"
#include "race/program/main_loop.h"
#include "race/program/menu_state.h"
#include "race/program/shutdown.h"
#include "race/program/startup.h"
#include "support/fake_input.h"
#include "support/fresh_process.h"
#include "support/test_support.h"
#include "support/xvfb_server.h"
#include "view/view_install.h"

#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include <unistd.h>

namespace edx {

// Frames a close may take to end the program before the run fails.
constexpr int kQuitFrames = 150;

struct Session {
    Display* display = nullptr;
    bvtest::FakeInput input;
    int second_run = 0;
    int frame = 0, stage = 0, stage_frame = 0;
    int end_stage = 100;                // the stage after the run's last close
    int last_stage = 0, stage_since = 0;   // the frame at which the stage was entered
    std::string home;
    bvtest::Problems problems;
};
// The session being run (set by run_program).
inline Session* current = nullptr;

inline void tap(KeySym key)
{
    current->input.key(current->display, key, true);
    current->input.key(current->display, key, false);
}

// The pointer to window pixel (x, y).
inline void move_to(int x, int y)
{
    int rx = 0, ry = 0;
    Window child;
    XTranslateCoordinates(current->display, loop_io.window->native->handle, DefaultRootWindow(current->display), x,
                          y, &rx, &ry, &child);
    current->input.move(current->display, rx, ry);
}

inline void click(const ui_rect& r)
{
    move_to((r.x0 + r.x1) / 2, (r.y0 + r.y1) / 2);
    current->input.button(current->display, 1, true);
    current->input.button(current->display, 1, false);
}

inline void close_window()
{
    bvtest::close_window(current->display, loop_io.window->native->handle);
}

inline void next_stage()
{
    ++current->stage;
    current->stage_frame = 0;
}

// The window pixel of world point (x, z) in the editor's view.
inline void pixel_of(float x, float z, int* px, int* py)
{
    const int H = program_window->height, W = program_window->width;
    const float per = float(H) / editor_view_width();
    *px = W / 2 + int(std::lround((x - editor_state.view_x) * per));
    *py = H / 2 + int(std::lround((z - editor_state.view_z) * per));
}

// Counts the frame; runs the frame cap, the limit on the last close and the opening
// stages (0: Esc closes the main menu; 1: Tab until the editor view shows). True when
// the frame was theirs.
inline bool opening_frame()
{
    Session& r = *current;
    ++r.frame;
    ++r.stage_frame;
    if (r.stage != r.last_stage) {
        r.last_stage = r.stage;
        r.stage_since = r.frame;
    }
    if (r.stage >= r.end_stage && r.frame - r.stage_since > kQuitFrames) {
        // A run that will not end would otherwise wait for its window forever.
        r.problems.check(false, "the window's close did not end the program within " + std::to_string(kQuitFrames) +
                                    " frames (stage " + std::to_string(r.stage) + ")");
        fputs(r.problems.text.c_str(), stderr);
        fflush(stderr);
        _exit(1);
    }
    if (r.frame > 3000) {
        r.problems.check(false, "the session took too many frames (stage " + std::to_string(r.stage) + ")");
        close_window();
        r.stage = 100;
        return true;
    }
    switch (r.stage) {
    case 0:
        if (r.stage_frame == 1) {
            XSetInputFocus(r.display, loop_io.window->native->handle, RevertToParent, CurrentTime);
            XSync(r.display, False);
        }
        if (r.stage_frame == 20)
            tap(XK_Escape);
        if (r.stage_frame > 20 && menu_screen < 0)
            next_stage();
        return true;
    case 1:
        if (r.stage_frame % 15 == 1)
            tap(XK_Tab);
        if (loop.view_mode == view_editor) {
            next_stage();
        } else if (r.stage_frame > 100) {
            r.problems.check(false, "Tab never reached the editor view");
            close_window();
            r.stage = 100;
        }
        return true;
    default:
        return false;
    }
}

// One start of the program in the user folder home with observe as the frame observer;
// the first run must end at end_stage, the second at 100. The problems found.
inline std::string run_program(Session& r, const std::string& home, int second, void (*observe)(), int end_stage)
{
    setenv("XDG_DATA_HOME", (home + "/xdg").c_str(), 1);
    setenv("HOME", home.c_str(), 1);
    setenv("BV_HOME", BV_BUILD_DIR "/game", 1);
    unsetenv("QORL_OPTIONS");
    shutdown_pause_seconds = 0;
    current = &r;
    r.home = home;
    r.second_run = second;
    r.end_stage = second ? 100 : end_stage;
    r.display = bvtest::open_test_display();
    if (!r.display || !r.input.available())
        return "no test display or no XTEST";
    loop_io.frame_observer = observe;
    view_install();
    front_end_install();
    editor_install();
    const char* argv[] = {"brovanta", "--editor", "--track", "tracks/sample", "--lock-fps", "30", nullptr};
    const int status = brovanta_main(6, const_cast<char**>(argv));
    r.problems.check(status == 0, "the entry routine returns 0, got " + std::to_string(status));
    r.problems.check(r.stage == (second ? 100 : end_stage),
                     "the session reached its end (stage " + std::to_string(r.stage) + ")");
    XCloseDisplay(r.display);
    return r.problems.text;
}

// The two starts, each in a fresh process, sharing one user folder with an 800 x 600
// window; the re-executed children find the folder through the environment variable.
inline void two_starts(const char* folder_variable, const std::function<std::string(const std::string&, int)>& start)
{
    bvtest::TempDir temp;
    const char* given = getenv(folder_variable);
    const std::string home = given ? given : temp.path();
    setenv("QORL_LOGFILE", (home + "/xdg/Brovanta/lastlog.txt").c_str(), 1);
    if (!given) {
        setenv(folder_variable, home.c_str(), 1);
        bvtest::write_file(home + "/xdg/Brovanta/config", "video_mode=Windowed\nxres=800\nyres=600\n");
    }
    bvtest::in_fresh_process([&] { return start(home, 0); });
    bvtest::in_fresh_process([&] { return start(home, 1); });
    unsetenv(folder_variable);
    unsetenv("QORL_LOGFILE");
}

}  // namespace edx
