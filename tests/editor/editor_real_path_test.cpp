// The editor as a user drives it: the program's entry routine with "--editor" on the
// sample track under the test's X server, keys and the pointer through XTEST; a second
// start in the same user folder finds what the first one saved.
#include <gtest/gtest.h>

#include "editor/editor_widgets.h"
#include "editor/gradients.h"
#include "editor_xtest.h"
#include "terrain/billboards.h"
#include "terrain/statues.h"
#include "terrain/terrain_state.h"

#include <cmath>
#include <cstdio>
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

struct Session : edx::Session {
    int statues = 0, billboards = 0;
    float held_x = 0, held_z = 0;
    std::vector<std::string> texts;
};
Session run;

void keep_text(const char* text, float, float, const float*)
{
    run.texts.push_back(text);
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
    if (edx::opening_frame())
        return;
    switch (r.stage) {
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
    editor_text_observer = keep_text;
    return edx::run_program(run, home, second, observe, 8);
}

}  // namespace

TEST(EditorRealPath, TabKeysPointerSaveAndTheNextStart)
{
    bvtest::XvfbServer server;
    BV_REQUIRE_XVFB(server);
    edx::two_starts("BV_EDITOR_HOME", session_once);
}
