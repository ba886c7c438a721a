// The track editor's cost while painting, and how soon an edit shows, under llvmpipe.
// editor_bench [frames] [width height] (default 600 frames at 1280 x 720): the program's
// own frame through the entry routine with "--editor --track tracks/sample" in a fresh
// user folder, under the benchmark's own X server. The loop's clock advances exactly
// 1/60 s per frame, so every frame runs the same two or three ticks.
//   - Three painting runs (Raise and Smooth at strength 3, Tilemap Edit with tile 2):
//     the main button held while the pointer goes round a circle of a quarter of the
//     window height once every 4 s; 60 warm-up frames, then the timed frames. Mean and
//     95th percentile of the whole frame's real time, split into the ticks, the terrain
//     upkeep, the editor's drawing and the swap.
//   - Visibility: a one-tick Raise stroke, then a one-tick tile stroke, on settled
//     ground in view; frames with nothing pressed until the heights are uploaded, no
//     ground-texture level awaits a redraw and the level-of-detail build has caught up
//     (at most 5000 frames). F: the first frame whose stroke box differs from the frame
//     before the stroke; M: the frame from which the box stays within 2 per channel of
//     its final look; L: the frames until the level-of-detail build caught up.
// The last line: "editor: <N> ms per painted frame, edit visible after <M> frames".
#include "editor/editor_keys.h"
#include "editor/editor_state.h"
#include "editor/editor_widgets.h"
#include "gfx/gl_state.h"
#include "platform/qorl_events.h"
#include "platform/qorl_window.h"
#include "race/program/main_loop.h"
#include "race/program/menu_state.h"
#include "race/program/controls.h"
#include "race/program/program_hooks.h"
#include "race/program/shutdown.h"
#include "race/program/startup.h"
#include "support/test_support.h"
#include "support/xvfb_server.h"
#include "terrain/terrain_state.h"
#include "view/view_install.h"
#include "frontend/front_end.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using clock_type = std::chrono::steady_clock;
constexpr int kWarmup = 60;
constexpr int kSettleCap = 5000;
constexpr double kFrame = 1.0 / 60.0;

int timed_frames = 600;

double ms(clock_type::time_point a, clock_type::time_point b)
{
    return std::chrono::duration<double, std::milli>(b - a).count();
}

// The loop's clock: 1/60 s per frame, advanced by the frame observer.
double fake_now_value = 0;
clock_type::time_point step_at;   // when the frame step asked the time (after the swap)
double fake_now(void*)
{
    step_at = clock_type::now();
    return fake_now_value;
}
void fake_sleep(void*, int32_t s, int32_t us)
{
    fake_now_value += s + us * 1e-6;
}

// Keys the ticks take as if typed (Tab into the editor view).
std::deque<std::pair<uint32_t, int>> typed;
int typed_next(void*, uint32_t* code, int* pressed)
{
    if (loop_io.window) {
        // The window's own ring is drained and ignored: nothing here types.
        uint32_t c;
        int p;
        while (window_events(loop_io.window).next(loop_io.window, &c, &p)) {
        }
    }
    if (typed.empty())
        return 0;
    *code = typed.front().first;
    *pressed = typed.front().second;
    typed.pop_front();
    return 1;
}
int typed_next_until(void* context, uint32_t* code, int* pressed, int32_t, int32_t)
{
    return typed_next(context, code, pressed);
}

// Stage times of the frame being run.
clock_type::time_point frame_end, draw_begin, draw_end, last_mouse_end;
void (*real_draw)() = nullptr;
void (*real_mouse)() = nullptr;

// The stroke box read from the frame about to be shown (as the screenshot reads it).
int box_x0 = 0, box_y0 = 0, box_w = 0, box_h = 0;
bool read_box = false;
std::vector<uint8_t> box_pixels;

void timed_draw()
{
    draw_begin = clock_type::now();
    real_draw();
    draw_end = clock_type::now();
    if (read_box) {
        box_pixels.resize(size_t(box_w) * size_t(box_h) * 3);
        bvgl_read_pixels_rgb(box_x0, window_height - box_y0 - box_h, box_w, box_h, box_pixels.data());
    }
}

void timed_mouse()
{
    real_mouse();
    last_mouse_end = clock_type::now();
}

struct split {
    double total, ticks, upkeep, draw, swap;
};

struct painting_run {
    const char* name;
    int tool;
    double strength;
    double tile;
    std::vector<split> frames;
    double mean = 0;
};
painting_run runs[3] = {{"Raise", 0, 3, 0, {}, 0}, {"Smooth", 2, 3, 0, {}, 0}, {"Tilemap Edit", 14, 3, 2, {}, 0}};

struct visibility {
    const char* name;
    int tool;
    int F = -1, M = -1, L = -1, frames = 0;
};
visibility strokes[2] = {{"Raise", 0}, {"Tilemap Edit", 14}};

int stage = 0, stage_frame = 0, frame_count = 0;
std::vector<uint8_t> before;
std::vector<std::vector<uint8_t>> looks;

int width()
{
    return loop_io.window->width.load();
}
int height()
{
    return loop_io.window->height.load();
}

void set_pointer(int x, int y)
{
    loop_io.window->pointer_x = x;
    loop_io.window->pointer_y = y;
}

// The middle of the map: right of the panel.
int map_centre_x()
{
    return (std::max(editor_widgets.dummy.rect.x1, 0) + width()) / 2;
}

void pointer_on_circle(int frame)
{
    const double a = 2 * M_PI * frame / 240.0;
    const double r = height() / 4.0;
    set_pointer(map_centre_x() + int(std::lround(r * std::cos(a))), height() / 2 + int(std::lround(r * std::sin(a))));
}

void choose_tool(int tool)
{
    if (tool != editor_state.tool)
        take_snapshot();
    editor_state.tool = tool;
}

bool lod_caught_up()
{
    return editor_state.terrain->build_stamp == editor_state.terrain->height_change_count;
}

bool settled()
{
    const terrain_state* t = editor_state.terrain;
    const int blocks = terrain_blocks_per_side(t);
    for (int i = 0; i < (blocks * blocks + 7) / 8; ++i)
        if (t->dirty_blocks[i])
            return false;
    for (int i = 0; i < t->detail_level_count; ++i)
        if (t->detail_levels[i].redraw)
            return false;
    return t->redraw_level == kTerrainMaxDetailLevels && lod_caught_up();
}

void print_run(painting_run& run)
{
    const size_t n = run.frames.size();
    split mean{0, 0, 0, 0, 0};
    std::vector<double> total;
    for (const split& s : run.frames) {
        mean.total += s.total;
        mean.ticks += s.ticks;
        mean.upkeep += s.upkeep;
        mean.draw += s.draw;
        mean.swap += s.swap;
        total.push_back(s.total);
    }
    std::sort(total.begin(), total.end());
    const double k = 1.0 / double(std::max<size_t>(n, 1));
    run.mean = mean.total * k;
    printf("%-13s mean %7.2f ms  p95 %7.2f ms  (ticks %6.2f, terrain upkeep %6.2f, editor_draw %6.2f, swap %6.2f)\n",
           run.name, run.mean, n ? total[std::min(n - 1, size_t(double(n) * 0.95))] : 0.0, mean.ticks * k,
           mean.upkeep * k, mean.draw * k, mean.swap * k);
    fflush(stdout);
}

bool within(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b, int tolerance)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::abs(int(a[i]) - int(b[i])) > tolerance)
            return false;
    return true;
}

void finish()
{
    double slowest = 0;
    for (const painting_run& r : runs)
        slowest = std::max(slowest, r.mean);
    const int m = std::max(strokes[0].M, strokes[1].M);
    printf("editor: %.1f ms per painted frame, edit visible after %d frames\n", slowest, m);
    fflush(stdout);
    loop.quit = 1;
}

// A one-tick stroke of the given tool at window pixel (x, y); the box it may change.
void one_tick_stroke(const visibility& v, int x, int y)
{
    choose_tool(v.tool);
    editor_widgets.strength.value = 3;
    editor_widgets.tile.value = 2;
    set_pointer(x, y);
    const int r = int(editor_widgets.radius.value) + 4;
    box_x0 = std::max(x - r, 0);
    box_y0 = std::max(y - r, 0);
    box_w = std::min(x + r, width()) - box_x0;
    box_h = std::min(y + r, height()) - box_y0;
    editor_key(menu_keys.cursor_left, 1);
    editor_mouse();
    editor_key(menu_keys.cursor_left, 0);
}

// Stages: 0 into the editor; 1-3 the painting runs; 4 and 6 settle before a stroke;
// 5 and 7 the frames after it.
void observe()
{
    const auto now = clock_type::now();
    const split s{ms(frame_end, now), ms(step_at, last_mouse_end), ms(last_mouse_end, now), ms(draw_begin, draw_end),
                  ms(draw_end, step_at)};
    frame_end = now;
    fake_now_value += kFrame;
    ++frame_count;
    ++stage_frame;
    menu_screen = -1;
    if (frame_count > 100000) {
        fprintf(stderr, "the benchmark ran too many frames (stage %d)\n", stage);
        loop.quit = 1;
        return;
    }
    if (stage == 0) {
        if (stage_frame == 1) {
            printf("renderer: %s\n", gl_state.gl_renderer ? gl_state.gl_renderer : "(unknown)");
            fflush(stdout);
        }
        if (loop.view_mode != view_editor) {
            if (stage_frame % 10 == 1) {
                uint32_t tab = 9;
                qorl_key_code(nullptr, &tab, "tab");
                typed.push_back({tab, 1});
                typed.push_back({tab, 0});
            }
            if (stage_frame > 200) {
                fprintf(stderr, "Tab never reached the editor view\n");
                loop.quit = 1;
            }
            return;
        }
        editor_widgets.zoom.value = 1;
        stage = 1;
        stage_frame = 0;
        return;
    }
    if (stage >= 1 && stage <= 3) {
        painting_run& run = runs[stage - 1];
        if (stage_frame == 1) {
            choose_tool(run.tool);
            editor_widgets.strength.value = run.strength;
            editor_widgets.tile.value = run.tile;
            pointer_on_circle(0);
            editor_key(menu_keys.cursor_left, 1);
            return;
        }
        if (stage_frame > kWarmup + 1)
            run.frames.push_back(s);
        pointer_on_circle(stage_frame);
        if (int(run.frames.size()) == timed_frames) {
            editor_key(menu_keys.cursor_left, 0);
            print_run(run);
            ++stage;
            stage_frame = 0;
        }
        return;
    }
    const int k = (stage - 4) / 2;
    visibility& v = strokes[k];
    if (stage == 4 || stage == 6) {
        // Settle, then one frame that reads the box before the stroke.
        if (!settled() && stage_frame < kSettleCap)
            return;
        // Fresh ground: a diagonal third of the height from the centre, clear of the circle
        // the runs painted (a quarter of the height plus the brush).
        const int x = map_centre_x() + (k == 0 ? -1 : 1) * height() / 3, y = height() / 2 + height() / 3;
        if (!read_box) {
            // Place the box, read it on the next frame.
            const int r = int(editor_widgets.radius.value) + 4;
            box_x0 = std::max(x - r, 0);
            box_y0 = std::max(y - r, 0);
            box_w = std::min(x + r, width()) - box_x0;
            box_h = std::min(y + r, height()) - box_y0;
            read_box = true;
            return;
        }
        before = box_pixels;
        one_tick_stroke(v, x, y);
        looks.clear();
        ++stage;
        stage_frame = 0;
        return;
    }
    // The frames after the stroke.
    looks.push_back(box_pixels);
    if (v.F < 0 && !within(box_pixels, before, 0))
        v.F = stage_frame;
    if (v.L < 0 && lod_caught_up())
        v.L = stage_frame;
    if (!settled() && stage_frame < kSettleCap)
        return;
    v.frames = stage_frame;
    const std::vector<uint8_t>& final_look = looks.back();
    v.M = 1;
    for (int i = int(looks.size()) - 1; i >= 0; --i)
        if (!within(looks[size_t(i)], final_look, 2)) {
            v.M = i + 2;
            break;
        }
    printf("%-13s stroke: F %d  M %d  L %d%s\n", v.name, v.F, v.M, v.L,
           stage_frame >= kSettleCap ? "  (not settled within 5000 frames)" : "");
    fflush(stdout);
    read_box = false;
    looks.clear();
    ++stage;
    stage_frame = 0;
    if (stage == 8)
        finish();
}

// Wraps the editor's drawing and per-tick pointer work once the editor is installed.
void install_timing()
{
    editor_install();
    real_draw = program_hooks.editor_draw;
    real_mouse = program_hooks.editor_mouse;
    program_hooks.editor_draw = timed_draw;
    program_hooks.editor_mouse = timed_mouse;
}

int session(int w, int h)
{
    bvtest::TempDir home;
    bvtest::use_built_program_in_window(home, w, h);
    setenv("HOME", home.path().c_str(), 1);
    shutdown_pause_seconds = 0;
    loop_io.clock = {fake_now, fake_sleep, nullptr};
    loop_io.events = {typed_next, typed_next_until, nullptr};
    loop_io.frame_observer = observe;
    view_install();
    front_end_install();
    install_timing();
    frame_end = step_at = draw_begin = draw_end = last_mouse_end = clock_type::now();
    const char* argv[] = {"brovanta", "--editor", "--track", "tracks/sample", "--nosound", nullptr};
    const int status = brovanta_main(5, const_cast<char**>(argv));
    return stage == 8 ? status : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    int w = 1280, h = 720;
    if (argc > 1)
        timed_frames = std::max(atoi(argv[1]), 1);
    if (argc > 3) {
        w = std::max(atoi(argv[2]), 64);
        h = std::max(atoi(argv[3]), 64);
    }
    bvtest::XvfbServer server;
    if (!server.running()) {
        fprintf(stderr, "Xvfb did not start\n");
        return 1;
    }
    const char* threads = getenv("LP_NUM_THREADS");
    printf("LP_NUM_THREADS %s, %d x %d, %d timed frames per run\n", threads ? threads : "unset (Mesa's default)", w,
           h, timed_frames);
    fflush(stdout);
    const pid_t child = fork();
    if (child == 0)
        _exit(session(w, h));
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        fprintf(stderr, "the editor session failed\n");
        return 1;
    }
    return 0;
}
