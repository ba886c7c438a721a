// The pointer tools as a user works them: the entry routine with "--editor" on the
// sample track under the test's X server, keys and the pointer through XTEST. A Raise
// drag, Backspace back to the loaded ground, the drag again, a timing gate turned by
// its end handle, the Save button; a second start finds the raised path and the gate.
// Closes with unsaved work, and an undo after a save, warn before quitting.
#include <gtest/gtest.h>

#include "editor/editor_widgets.h"
#include "editor_xtest.h"
#include "terrain/terrain_state.h"
#include "terrain/timing_gates.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

using bvtest::Problems;

namespace {

using edx::click;
using edx::close_window;
using edx::move_to;
using edx::next_stage;
using edx::pixel_of;
using edx::tap;

struct PointerSession : edx::Session {
    std::vector<float> loaded;
    float a[2] = {}, b[2] = {};       // the drag's ends on the map
    int pa[2] = {}, pb[2] = {};       // and in window pixels
    int gate = -1, undos = 0;
    float gate_angle = 0;
    int handle[2] = {};
};
PointerSession run;

std::vector<float> heights_now()
{
    const terrain_state* t = editor_state.terrain;
    return std::vector<float>(t->heights, t->heights + size_t(t->size) * size_t(t->size));
}

std::string heights_bytes()
{
    const std::vector<float> h = heights_now();
    return std::string(reinterpret_cast<const char*>(h.data()), h.size() * sizeof(float));
}

std::string gate_text(int g)
{
    if (g < 0 || g >= timing_gates.checkpoint_count)
        return "no gate";
    const timing_gate& c = timing_gates.checkpoints[g];
    char line[200];
    snprintf(line, sizeof line, "%d %.2f %.2f %.3f %.3f", g, double(c.x), double(c.z),
             double(std::atan2(c.dx, c.dz)), double(c.length));
    return line;
}

// Distance from (x, z) to the segment a-b.
float to_segment(float x, float z, const float* a, const float* b)
{
    const float ux = b[0] - a[0], uz = b[1] - a[1];
    const float len2 = ux * ux + uz * uz;
    const float t = len2 > 0 ? std::clamp(((x - a[0]) * ux + (z - a[1]) * uz) / len2, 0.0f, 1.0f) : 0.0f;
    return std::hypot(x - a[0] - t * ux, z - a[1] - t * uz);
}

// The main-button drag from pa to pb over the stage's frames 1..40; true once released.
bool drag(int f, const int* from, const int* to, float* world_from, float* world_to)
{
    if (f == 1)
        move_to(from[0], from[1]);
    if (f == 6) {
        if (world_from)
            screen_to_world(&world_from[0], &world_from[1]);
        run.input.button(run.display, 1, true);
    }
    if (f > 8 && f <= 28) {
        const int k = f - 8;
        move_to(from[0] + (to[0] - from[0]) * k / 20, from[1] + (to[1] - from[1]) * k / 20);
    }
    if (f == 34) {
        if (world_to)
            screen_to_world(&world_to[0], &world_to[1]);
        run.input.button(run.display, 1, false);
    }
    return f == 40;
}

// The drag's effect on the ground: raised within the brush radius of the path, and
// nowhere else.
void check_raised(Problems& p, const char* which)
{
    const terrain_state* t = editor_state.terrain;
    const float cell = t->cell;
    const float per_pixel = editor_view_width() / float(program_window->height);
    const float R = float(editor_widgets.radius.value) * per_pixel;
    int raised = 0, outside = 0, lowered = 0, missed = 0;
    for (int iz = 0; iz < t->size; ++iz)
        for (int ix = 0; ix < t->size; ++ix) {
            const size_t i = size_t(iz) * size_t(t->size) + size_t(ix);
            const float d = to_segment(float(ix) * cell, float(iz) * cell, run.a, run.b);
            const float now = t->heights[i], was = run.loaded[i];
            if (now < was)
                ++lowered;
            if (now > was) {
                ++raised;
                if (d > R + 2 * per_pixel)
                    ++outside;
            } else if (d < R / 2) {
                ++missed;
            }
        }
    p.check(raised > 0 && outside == 0 && lowered == 0 && missed == 0,
            std::string(which) + ": raised " + std::to_string(raised) + ", outside the radius " +
                std::to_string(outside) + ", lowered " + std::to_string(lowered) + ", missed near the path " +
                std::to_string(missed));
}

// A gate whose end handle is in view and clear of every earlier gate's centre and handle.
int gate_in_view(int* hx, int* hy)
{
    const float r = pick_radius();
    const int W = program_window->width, H = program_window->height;
    for (int g = 0; g < timing_gates.checkpoint_count; ++g) {
        const timing_gate& c = timing_gates.checkpoints[g];
        const float len = std::hypot(c.dx, c.dz);
        if (len <= 0)
            continue;
        const float x = c.x + c.dx / len * c.length, z = c.z + c.dz / len * c.length;
        pixel_of(x, z, hx, hy);
        if (*hx < editor_widgets.dummy.rect.x1 + 60 || *hx > W - 60 || *hy < 60 || *hy > H - 60)
            continue;
        bool clear = true;
        for (int e = 0; e < g && clear; ++e) {
            const timing_gate& o = timing_gates.checkpoints[e];
            const float ol = std::hypot(o.dx, o.dz);
            clear = std::hypot(o.x - x, o.z - z) > 3 * r &&
                    (ol <= 0 || std::hypot(o.x + o.dx / ol * o.length - x, o.z + o.dz / ol * o.length - z) > 3 * r);
        }
        if (clear)
            return g;
    }
    return -1;
}

// The drag's ends: across the map to the right of the panel, a little downward.
void plan_drag()
{
    const int W = program_window->width, H = program_window->height;
    const int left = editor_widgets.dummy.rect.x1;
    run.pa[0] = left + (W - left) * 3 / 10;
    run.pa[1] = H * 2 / 5;
    run.pb[0] = left + (W - left) * 7 / 10;
    run.pb[1] = H * 3 / 5;
}

void first_run_stage(Problems& p)
{
    const int f = run.stage_frame;
    switch (run.stage) {
    case 3:   // the Raise button
        if (f == 1) {
            run.loaded = heights_now();
            click(editor_widgets.tools[0].rect);
        }
        if (f == 10) {
            p.check(editor_state.tool == 0, "the Raise button picks tool 0");
            plan_drag();
            next_stage();
        }
        break;
    case 4:   // the drag raises the ground along its path
        if (drag(f, run.pa, run.pb, run.a, run.b)) {
            check_raised(p, "the first drag");
            next_stage();
        }
        break;
    case 5:   // Backspace until the loaded heights are back (tool changes add levels)
        if (f % 4 == 1) {
            if (heights_now() == run.loaded || std::strcmp(editor_state.status_text, "No more undo levels!") == 0 ||
                run.undos > 10) {
                p.check(heights_now() == run.loaded, "Backspace gives the loaded heights back bit for bit after " +
                                                         std::to_string(run.undos) + " presses");
                next_stage();
            } else {
                tap(XK_BackSpace);
                ++run.undos;
            }
        }
        break;
    case 6:   // the drag again
        if (drag(f, run.pa, run.pb, run.a, run.b)) {
            check_raised(p, "the second drag");
            next_stage();
        }
        break;
    case 7:   // "9": the timing-gate tool; a gate's end handle in view
        if (f == 1)
            tap(XK_9);
        if (f == 10) {
            p.check(editor_state.tool == 11, "\"9\" picks the timing-gate tool");
            run.gate = gate_in_view(&run.handle[0], &run.handle[1]);
            p.check(run.gate >= 0, "a timing gate's end handle in view");
            if (run.gate < 0) {
                close_window();
                run.stage = 100;
                return;
            }
            const timing_gate& c = timing_gates.checkpoints[run.gate];
            run.gate_angle = std::atan2(c.dx, c.dz);
            next_stage();
        }
        break;
    case 8: {  // drag the end handle a quarter turn round the centre
        const timing_gate& c = timing_gates.checkpoints[run.gate];
        int cx = 0, cy = 0;
        pixel_of(c.x, c.z, &cx, &cy);
        static int to[2];
        if (f == 1) {
            to[0] = cx - (run.handle[1] - cy);
            to[1] = cy + (run.handle[0] - cx);
        }
        if (drag(f, run.handle, to, nullptr, nullptr)) {
            const float turned = std::atan2(c.dx, c.dz) - run.gate_angle;
            const float wrapped = std::remainder(turned, 2.0f * float(M_PI));
            p.check(std::fabs(std::fabs(wrapped) - float(M_PI) / 2) < 0.2f,
                    "the end handle turns the gate a quarter turn: " + std::to_string(wrapped));
            p.check(editor_state.selected_gate == run.gate, "the dragged gate is selected");
            next_stage();
        }
        break;
    }
    case 9:   // the Save button
        if (f == 1)
            click(editor_widgets.save.rect);
        if (f == 10) {
            p.same(editor_state.status_text, "Saved!", "the Save button saves");
            bvtest::write_file(run.home + "/pointer_run.gate", gate_text(run.gate));
            bvtest::write_file(run.home + "/pointer_run.heights", heights_bytes());
            close_window();
            next_stage();
        }
        break;
    default:
        break;
    }
}

void second_run_check(Problems& p)
{
    const std::string saved = bvtest::read_file(run.home + "/pointer_run.gate");
    int g = -1;
    sscanf(saved.c_str(), "%d", &g);
    p.same(gate_text(g), saved, "the second run finds the turned gate");
    const std::string before = bvtest::read_file(run.home + "/pointer_run.heights");
    const terrain_state* t = editor_state.terrain;
    const float step = (t->max_height - t->min_height) / 65535.0f;
    bool close = before.size() == size_t(t->size) * size_t(t->size) * sizeof(float);
    for (size_t i = 0; close && i < before.size() / 4; ++i) {
        float h;
        std::memcpy(&h, before.data() + i * 4, 4);
        close = std::fabs(h - t->heights[i]) <= step;
    }
    p.check(close, "the second run finds the raised path within one height step");
}

void observe()
{
    PointerSession& r = run;
    Problems& p = r.problems;
    if (edx::opening_frame())
        return;
    switch (r.stage) {
    case 2:   // a few frames of the editor
        if (r.stage_frame == 5) {
            if (r.second_run) {
                second_run_check(p);
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
    return edx::run_program(run, home, second, observe, 10);
}

}  // namespace

TEST(EditorPointerRealPath, RaiseUndoGateTurnSaveAndTheNextStart)
{
    bvtest::XvfbServer server;
    BV_REQUIRE_XVFB(server);
    edx::two_starts("BV_POINTER_HOME", session_once);
}

namespace {

// The window's close box with a Raise stroke not saved: the first close opens the exit
// screen with its warning, the second quits; the next start finds the loaded ground.
void close_observe()
{
    PointerSession& r = run;
    Problems& p = r.problems;
    if (edx::opening_frame())
        return;
    const int f = r.stage_frame;
    switch (r.stage) {
    case 2:
        if (f == 5 && r.second_run) {
            p.check(!bvtest::file_exists(r.home + "/xdg/Brovanta/tracks/sample/terrain.hf"),
                    "nothing was saved by the close");
            p.check(!editor_unsaved_changes(), "a fresh start has nothing to save");
            close_window();
            r.stage = 100;
        } else if (f == 5) {
            run.loaded = heights_now();
            click(editor_widgets.tools[0].rect);
        } else if (f == 15) {
            plan_drag();
            next_stage();
        }
        break;
    case 3:
        if (drag(f, run.pa, run.pb, nullptr, nullptr)) {
            p.check(heights_now() != run.loaded && editor_unsaved_changes(), "the stroke changed the heights");
            close_window();
            next_stage();
        }
        break;
    case 4:
        if (f == 15) {
            p.check(menu_screen == screen_exit && !loop.quit, "the first close opens the exit screen");
            close_window();
            next_stage();
        }
        break;
    default:
        break;
    }
}

std::string close_session(const std::string& home, int second)
{
    return edx::run_program(run, home, second, close_observe, 5);
}

}  // namespace

TEST(EditorPointerRealPath, CloseWithUnsavedWorkShowsTheWarningThenQuits)
{
    bvtest::XvfbServer server;
    BV_REQUIRE_XVFB(server);
    edx::two_starts("BV_CLOSE_HOME", close_session);
}

namespace {

// The track's saved files, each name with its bytes, in name order.
std::string saved_files()
{
    const std::filesystem::path folder = run.home + "/xdg/Brovanta/tracks/sample";
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    std::string all;
    for (const std::string& name : names)
        all += name + " " + bvtest::read_file((folder / name).string()) + "\n";
    return all;
}

// A Raise stroke, a gate turned, Save, then Backspace over the map: the first Backspace
// takes the stroke back, and the close after it warns; the saved files stay as saved.
void undo_close_observe()
{
    PointerSession& r = run;
    Problems& p = r.problems;
    if (edx::opening_frame())
        return;
    const int f = r.stage_frame;
    const std::string record = r.home + "/undo_close.saved";
    switch (r.stage) {
    case 2:
        if (f == 5 && r.second_run) {
            p.check(saved_files() == bvtest::read_file(record), "the next start finds the files as saved");
            close_window();
            r.stage = 100;
        } else if (f == 5) {
            run.loaded = heights_now();
            click(editor_widgets.tools[0].rect);
        } else if (f == 15) {
            plan_drag();
            next_stage();
        }
        break;
    case 3:
        if (drag(f, run.pa, run.pb, nullptr, nullptr))
            next_stage();
        break;
    case 4:   // the timing-gate tool and a gate's end handle
        if (f == 1)
            tap(XK_9);
        if (f == 10) {
            run.gate = gate_in_view(&run.handle[0], &run.handle[1]);
            p.check(editor_state.tool == 11 && run.gate >= 0, "a timing gate's end handle in view");
            if (run.gate < 0) {
                close_window();
                run.stage = 100;
                return;
            }
            next_stage();
        }
        break;
    case 5: {  // the handle dragged a little: the track changes, the heights do not
        static int to[2];
        if (f == 1) {
            to[0] = run.handle[0] + 30;
            to[1] = run.handle[1] + 30;
        }
        if (drag(f, run.handle, to, nullptr, nullptr))
            next_stage();
        break;
    }
    case 6:
        if (f == 1)
            click(editor_widgets.save.rect);
        if (f == 10) {
            p.same(editor_state.status_text, "Saved!", "the Save button saves");
            bvtest::write_file(record, saved_files());
            move_to(run.pa[0], run.pa[1]);
        }
        if (f == 15)
            tap(XK_BackSpace);
        if (f == 25) {
            p.check(heights_now() == run.loaded, "the first Backspace after the gate turn takes the stroke back");
            p.same(editor_state.status_text, "Undo!", "the Backspace's status");
            p.check(editor_unsaved_changes(), "the undo is work to save");
            close_window();
            next_stage();
        }
        break;
    case 7:
        if (f == 15) {
            p.check(menu_screen == screen_exit && !loop.quit, "the close after an undo shows the exit screen");
            p.check(saved_files() == bvtest::read_file(record), "the undo and the close write nothing");
            close_window();
            next_stage();
        }
        break;
    default:
        break;
    }
}

std::string undo_close_session(const std::string& home, int second)
{
    return edx::run_program(run, home, second, undo_close_observe, 8);
}

}  // namespace

TEST(EditorPointerRealPath, UndoAfterSaveWarnsAtCloseAndKeepsTheSavedFiles)
{
    bvtest::XvfbServer server;
    BV_REQUIRE_XVFB(server);
    edx::two_starts("BV_UNDO_CLOSE_HOME", undo_close_session);
}
