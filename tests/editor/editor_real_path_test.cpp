// The editor as a user drives it: the program's entry routine with "--editor" on the
// sample track under the test's X server, keys and the pointer through XTEST; a second
// start in the same user folder finds what the first one saved.
#include <gtest/gtest.h>

#include "editor/editor_state.h"
#include "editor/editor_view.h"
#include "editor/editor_widgets.h"
#include "editor/gradients.h"
#include "frontend/front_end.h"
#include "platform/qorl_window.h"
#include "platform/x11_native.h"
#include "race/main_loop.h"
#include "race/menu_state.h"
#include "race/shutdown.h"
#include "race/startup.h"
#include "support/fake_input.h"
#include "support/fresh_process.h"
#include "support/test_support.h"
#include "support/xvfb_server.h"
#include "terrain/billboards.h"
#include "terrain/statues.h"
#include "terrain/terrain_state.h"
#include "view/view_install.h"

#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

using bvtest::Problems;

namespace {

struct Session {
    Display* display = nullptr;
    bvtest::FakeInput input;
    int second_run = 0;
    int frame = 0, stage = 0, stage_frame = 0;
    int statues = 0, billboards = 0;
    float held_x = 0, held_z = 0;
    std::string home;
    std::vector<std::string> texts;
    Problems problems;
};
Session run;

void keep_text(const char* text, float, float, const float*)
{
    run.texts.push_back(text);
}

void tap(KeySym key)
{
    run.input.key(run.display, key, true);
    run.input.key(run.display, key, false);
}

// The pointer to window pixel (x, y).
void move_to(int x, int y)
{
    int rx = 0, ry = 0;
    Window child;
    XTranslateCoordinates(run.display, loop_io.window->native->handle, DefaultRootWindow(run.display), x, y, &rx,
                          &ry, &child);
    run.input.move(run.display, rx, ry);
}

void click(const ui_rect& r)
{
    move_to((r.x0 + r.x1) / 2, (r.y0 + r.y1) / 2);
    run.input.button(run.display, 1, true);
    run.input.button(run.display, 1, false);
}

// The window pixel of world point (x, z) in the editor's view.
void pixel_of(float x, float z, int* px, int* py)
{
    const int H = program_window->height, W = program_window->width;
    const float per = float(H) / editor_view_width();
    *px = W / 2 + int(std::lround((x - editor_state.view_x) * per));
    *py = H / 2 + int(std::lround((z - editor_state.view_z) * per));
}

void close_window()
{
    bvtest::close_window(run.display, loop_io.window->native->handle);
}

void next_stage()
{
    ++run.stage;
    run.stage_frame = 0;
}

bool shown(const char* text)
{
    for (const std::string& t : run.texts)
        if (t == text)
            return true;
    return false;
}

// What the first run leaves for the second: counts, gradients and heights.
std::string fingerprint()
{
    std::string s = std::to_string(statue_count()) + " " + std::to_string(billboard_count()) + "\n";
    char line[160];
    for (int i = 0; i < gradient_count(); ++i) {
        const gradient* g = gradient_at(i);
        snprintf(line, sizeof line, "%.3f %.3f %.3f %.3f %d\n", double(g->start_x), double(g->start_z),
                 double(g->end_x), double(g->end_z), g->points.count);
        s += line;
    }
    return s;
}

std::string heights_bytes()
{
    const terrain_state* t = editor_state.terrain;
    return std::string(reinterpret_cast<const char*>(t->heights), size_t(t->size) * size_t(t->size) * sizeof(float));
}

void first_run_stage(Problems& p)
{
    switch (run.stage) {
    case 3: {   // "-" twice: zoom 0; the Statues button; "d" over open ground
        if (run.stage_frame == 1) {
            tap(XK_minus);
            tap(XK_minus);
        }
        if (run.stage_frame == 10) {
            p.check(editor_widgets.zoom.value == 0, "two zoom steps out give zoom 0");
            click(editor_widgets.tools[13].rect);
        }
        if (run.stage_frame == 20) {
            p.check(editor_state.tool == 13, "the Statues button picks tool 13");
            editor_state.selected_statue = first_track_statue;
            run.statues = statue_count();
            move_to(program_window->width * 3 / 4, program_window->height / 3);
        }
        if (run.stage_frame == 25)
            tap(XK_d);
        if (run.stage_frame == 35) {
            float x, z;
            screen_to_world(&x, &z);
            const statue* s = statue_at(statue_count() - 1);
            p.check(statue_count() == run.statues + 1 && std::hypot(s->x - x, s->z - z) < 1.0f,
                    "\"d\" copies the statue under the pointer");
            next_stage();
        }
        break;
    }
    case 4: {   // the Billboards button, the pointer on a billboard of the track, "x"
        if (run.stage_frame == 1)
            click(editor_widgets.tools[12].rect);
        if (run.stage_frame == 10) {
            p.check(editor_state.tool == 12, "the Billboards button picks tool 12");
            run.billboards = billboard_count();
            int target = -1, px = 0, py = 0;
            for (int32_t i = first_track_billboard; i < billboard_count() && target < 0; ++i) {
                pixel_of(billboard_at(i)->x, billboard_at(i)->z, &px, &py);
                if (px > editor_widgets.dummy.rect.x1 + 20 && px < program_window->width - 20 && py > 20 &&
                    py < program_window->height - 20)
                    target = i;
            }
            p.check(target >= 0, "a billboard of the track in view");
            editor_state.selected_billboard = target - 1;   // the search starts after the selection
            move_to(px, py);
        }
        if (run.stage_frame == 15)
            tap(XK_x);
        if (run.stage_frame == 25) {
            p.check(billboard_count() == run.billboards - 1, "\"x\" removes the billboard");
            next_stage();
        }
        break;
    }
    case 5:     // "7", then New Gradient
        if (run.stage_frame == 1) {
            move_to(program_window->width * 3 / 4, program_window->height / 2);
            tap(XK_7);
        }
        if (run.stage_frame == 10)
            click(editor_widgets.new_gradient.rect);
        if (run.stage_frame == 20)
            run.texts.clear();
        if (run.stage_frame == 22) {
            p.check(shown("Length: 50.00"), "the panel shows the new gradient's length");
            next_stage();
        }
        break;
    case 6: {   // a drag with the second button keeps the point under the pointer
        const int W = program_window->width, H = program_window->height;
        if (run.stage_frame == 1)
            move_to(W / 2, H / 2);
        if (run.stage_frame == 5) {
            screen_to_world(&run.held_x, &run.held_z);
            run.input.button(run.display, 3, true);
        }
        if (run.stage_frame > 5 && run.stage_frame <= 15)
            move_to(W / 2 + (run.stage_frame - 5) * 8, H / 2 + (run.stage_frame - 5) * 5);
        if (run.stage_frame == 20)
            run.input.button(run.display, 3, false);
        if (run.stage_frame == 25) {
            float x, z;
            screen_to_world(&x, &z);
            p.check(std::hypot(x - run.held_x, z - run.held_z) < 0.01f * editor_view_width(),
                    "the map point under the pointer follows the drag");
            p.check(editor_state.view_x != 512.0f || editor_state.view_z != 512.0f, "the view moved");
            next_stage();
        }
        break;
    }
    case 7:     // backspace: every edit marks the heights changed too, so each tool change
                // kept an undo level of the same heights; stepping back through them ends
                // with nothing more to undo
        if (run.stage_frame % 4 == 1 && run.stage_frame < 24)
            tap(XK_BackSpace);
        if (run.stage_frame == 30) {
            p.same(editor_state.status_text, "No more undo levels!", "backspace undoes");
            click(editor_widgets.save.rect);
        }
        if (run.stage_frame == 40) {
            p.check(std::string(editor_state.status_text) == "Saved!", "the Save button saves");
            bvtest::write_file(run.home + "/first_run.txt", fingerprint());
            bvtest::write_file(run.home + "/first_run.heights", heights_bytes());
            close_window();
            next_stage();
        }
        break;
    default:
        break;
    }
}

void observe()
{
    Session& r = run;
    Problems& p = r.problems;
    ++r.frame;
    ++r.stage_frame;
    if (r.frame > 3000) {
        p.check(false, "the session took too many frames (stage " + std::to_string(r.stage) + ")");
        close_window();
        r.stage = 100;
        return;
    }
    switch (r.stage) {
    case 0:     // the main menu first: Esc closes it
        if (r.stage_frame == 1) {
            XSetInputFocus(r.display, loop_io.window->native->handle, RevertToParent, CurrentTime);
            XSync(r.display, False);
        }
        if (r.stage_frame == 20)
            tap(XK_Escape);
        if (r.stage_frame > 20 && menu_screen < 0)
            next_stage();
        break;
    case 1:     // Tab until the editor view shows
        if (r.stage_frame % 15 == 1)
            tap(XK_Tab);
        if (loop.view_mode == view_editor)
            next_stage();
        else if (r.stage_frame > 100) {
            p.check(false, "Tab never reached the editor view");
            close_window();
            r.stage = 100;
        }
        break;
    case 2:     // a frame of the editor: the panel and "OK"
        if (r.stage_frame == 1)
            r.texts.clear();
        if (r.stage_frame == 5) {
            p.check(editor_widgets.dummy.rect.x1 > 0 && editor_widgets.tools[0].rect.x1 > 0, "the panel is drawn");
            p.check(shown("OK"), "the status line says OK");
            if (r.second_run) {
                p.same(fingerprint(), bvtest::read_file(r.home + "/first_run.txt"),
                       "the second run finds the first run's statues, billboards and gradients");
                const std::string before = bvtest::read_file(r.home + "/first_run.heights");
                const std::string now = heights_bytes();
                const terrain_state* t = editor_state.terrain;
                const float step = (t->max_height - t->min_height) / 65535.0f;
                bool close = before.size() == now.size();
                for (size_t i = 0; close && i < now.size() / 4; ++i)
                    close = std::fabs(reinterpret_cast<const float*>(before.data())[i] - t->heights[i]) <= step;
                p.check(close, "the heights within one height step");
                close_window();
                r.stage = 100;
            } else {
                next_stage();
            }
        }
        break;
    default:
        first_run_stage(p);
        break;
    }
}

std::string session_once(const std::string& home, int second)
{
    setenv("XDG_DATA_HOME", (home + "/xdg").c_str(), 1);
    setenv("HOME", home.c_str(), 1);
    setenv("BV_HOME", BV_BUILD_DIR, 1);
    unsetenv("QORL_OPTIONS");
    shutdown_pause_seconds = 0;
    run.home = home;
    run.second_run = second;
    run.display = bvtest::open_test_display();
    if (!run.display || !run.input.available())
        return "no test display or no XTEST";
    loop_io.frame_observer = observe;
    editor_text_observer = keep_text;
    view_install();
    front_end_install();
    editor_install();
    const char* argv[] = {"brovanta", "--editor", "--track", "tracks/sample", "--lock-fps", "30", nullptr};
    const int status = brovanta_main(6, const_cast<char**>(argv));
    Problems& p = run.problems;
    p.check(status == 0, "the entry routine returns 0, got " + std::to_string(status));
    p.check(run.stage == (second ? 100 : 8), "the session reached its end (stage " + std::to_string(run.stage) + ")");
    XCloseDisplay(run.display);
    return p.text;
}

}  // namespace

TEST(EditorRealPath, TabKeysPointerSaveAndTheNextStart)
{
    bvtest::XvfbServer server;
    BV_REQUIRE_XVFB(server);
    bvtest::TempDir temp;
    const char* given = getenv("BV_EDITOR_HOME");
    const std::string home = given ? given : temp.path();
    setenv("QORL_LOGFILE", (home + "/xdg/Brovanta/lastlog.txt").c_str(), 1);
    if (!given) {
        setenv("BV_EDITOR_HOME", home.c_str(), 1);
        bvtest::write_file(home + "/xdg/Brovanta/config", "video_mode=Windowed\nxres=800\nyres=600\n");
    }
    bvtest::in_fresh_process([&] { return session_once(home, 0); });
    bvtest::in_fresh_process([&] { return session_once(home, 1); });
    unsetenv("BV_EDITOR_HOME");
    unsetenv("QORL_LOGFILE");
}
