// How fast the world is drawn: the sample track with a field of automatic riders on
// the gate, from a fixed camera behind the start gate looking along the straight.
//   render_bench [riders] [width height] [passes]      (defaults 20, 1280 x 720)
// Prints the renderer, the thread setting of the software rasteriser, the frame
// times, the processor time a frame takes (all of the program's threads, so the
// rasteriser's too) and, last, "render: <riders> riders, <W>x<H>, <F> fps". With
// "passes" every section of the frame is finished before the next begins and the
// frame's time is split by section, wall clock and processor time: slower as a whole,
// but it shows where the frame goes. The base data is found through BV_HOME (default:
// the build's staging folder).
#include "foundation/front_door.h"
#include "gfx/gl_layer.h"
#include "gfx/gl_startup.h"
#include "gfx/gl_state.h"
#include "gfx/model.h"
#include "gfx/shaders.h"
#include "platform/qorl_gl.h"
#include "race/program/hud_pictures.h"
#include "race/race_state.h"
#include "race/track_load.h"
#include "sim/physics_world.h"
#include "terrain/terrain_queries.h"
#include "terrain/timing_gates.h"
#include "terrain/track_list.h"
#include "view/render_world.h"
#include "view/view_install.h"
#include "view/view_settings.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

namespace {

using clock_type = std::chrono::steady_clock;

double processor_ms()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1000.0 + double(t.tv_nsec) / 1.0e6;
}

// The frame's sections, as the world drawing names their ends.
struct pass_time {
    const char* label;
    double wall_ms, processor_ms;
};
std::vector<pass_time> passes;
bool timing_passes = false;
clock_type::time_point pass_began;
double pass_processor_began = 0;

void pass_start()
{
    bvglFinish();
    pass_began = clock_type::now();
    pass_processor_began = processor_ms();
}

void pass_end(const char* label)
{
    if (!timing_passes)
        return;
    bvglFinish();
    const double wall = std::chrono::duration<double, std::milli>(clock_type::now() - pass_began).count();
    const double processor = processor_ms() - pass_processor_began;
    auto it = std::find_if(passes.begin(), passes.end(), [label](const pass_time& p) { return !strcmp(p.label, label); });
    if (it == passes.end())
        passes.push_back({label, wall, processor});
    else {
        it->wall_ms += wall;
        it->processor_ms += processor;
    }
    pass_start();
}

void* entry_point(void* window, const char* name)
{
    return reinterpret_cast<void*>(qorl_gl_proc_address(static_cast<qorl_window*>(window), name));
}

// 15 ft behind and 8 ft above the middle of the start gate, looking along the bikes'
// heading.
void start_camera(float position[3], float rotation[9])
{
    const int n = std::max(timing_gates.start_slot_count, 1);
    float x = 0, z = 0, yaw = 0;
    for (int i = 0; i < timing_gates.start_slot_count; ++i) {
        x += timing_gates.start_slot_position[i][0] / float(n);
        z += timing_gates.start_slot_position[i][2] / float(n);
        yaw = timing_gates.start_slot_yaw[i];
    }
    // A bike faces (-sin yaw, 0, -cos yaw); the camera's backward axis is the opposite.
    const float fx = -std::sin(yaw), fz = -std::cos(yaw);
    position[0] = x - 15 * fx;
    position[2] = z - 15 * fz;
    position[1] = terrain_height_at(&track_terrain, position[0], position[2]) + 8;
    const float r[9] = {-fz, 0, -fx, 0, 1, 0, fx, 0, -fz};
    std::copy(r, r + 9, rotation);
}

}  // namespace

int main(int argc, char** argv)
{
    const int riders = argc > 1 ? std::clamp(atoi(argv[1]), 0, 160) : 20;
    const int width = argc > 3 ? std::max(atoi(argv[2]), 16) : 1280;
    const int height = argc > 3 ? std::max(atoi(argv[3]), 16) : 720;
    const bool split = argc > 4 && !strcmp(argv[4], "passes");
    if (!getenv("BV_HOME"))
        setenv("BV_HOME", BV_BUILD_DIR "/base_staging", 1);
    if (!getenv("XDG_DATA_HOME")) {
        char home[] = "/tmp/render_bench.XXXXXX";
        if (mkdtemp(home))
            setenv("XDG_DATA_HOME", home, 1);
    }
    qorl_window* window = qorl_gl_open_offscreen(width, height, 8, 24, 0);
    if (!window) {
        fprintf(stderr, "render_bench: no offscreen context\n");
        return 1;
    }
    gl_init(entry_point, window);
    if (!gl_create_shaders()) {
        fprintf(stderr, "render_bench: the shaders do not build\n");
        return 1;
    }
    view_install();
    if (qorl_begin_frame(window)) {
        graphics_defaults_load();
        qorl_end_frame(window);
    }
    physics_world_init();
    scan_tracks();
    race_requested_folder = "tracks/sample";
    race_opts.seed = 7;
    int32_t lineup[160] = {};
    for (int i = 0; i < riders; ++i)
        lineup[i] = 2;
    reset_race(lineup, 0, 0, 0, 3, 0);
    if (!track_folder) {
        fprintf(stderr, "render_bench: the sample track did not load\n");
        return 1;
    }
    view_width = width;
    view_height = height;
    float position[3], rotation[9];
    start_camera(position, rotation);

    if (split)
        front_door.report_stutter = pass_end;
    std::vector<double> times;
    double processor = 0;
    int64_t billboards = 0, triangles = 0;
    const int frames = split ? 180 : 660;
    for (int frame = 0; frame < frames; ++frame) {
        const auto start = clock_type::now();
        const double processor_start = processor_ms();
        if (!qorl_begin_frame(window))
            continue;
        timing_passes = split && frame >= 60;
        if (timing_passes)
            pass_start();
        render_world(position, rotation, 110, -1);
        pass_end("rest");
        bvglFinish();
        qorl_end_frame(window);
        if (frame < 60)
            continue;
        processor += processor_ms() - processor_start;
        times.push_back(std::chrono::duration<double, std::milli>(clock_type::now() - start).count());
        billboards += frame_stats.billboards_drawn;
        triangles += model_triangles_drawn;
    }
    if (times.empty())
        return 1;
    // The sky's clear alone: the colour and depth, against the depth only.
    double clear_both = 0, clear_depth = 0;
    for (int round = 0; split && round < 200; ++round) {
        for (const bool colour : {true, false}) {
            bvglFinish();
            const double began = processor_ms();
            bvglClear(colour ? GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT : GL_DEPTH_BUFFER_BIT);
            bvglFinish();
            (colour ? clear_both : clear_depth) += (processor_ms() - began) / 200;
        }
    }
    double sum = 0;
    for (double t : times)
        sum += t;
    const double mean = sum / double(times.size());
    std::sort(times.begin(), times.end());
    const double p95 = times[size_t(double(times.size() - 1) * 0.95)];
    const char* threads = getenv("LP_NUM_THREADS");
    printf("renderer: %s\n", gl_state.gl_renderer ? gl_state.gl_renderer : "?");
    printf("LP_NUM_THREADS: %s\n", threads ? threads : "unset (Mesa's default)");
    printf("riders %d, %dx%d, %zu frames\n", riders, width, height, times.size());
    printf("frame time: mean %.2f ms, 95th percentile %.2f ms\n", mean, p95);
    printf("processor time: %.2f ms a frame\n", processor / double(times.size()));
    if (split)
        printf("  clear: colour and depth %.2f ms, depth only %.2f ms (processor)\n", clear_both, clear_depth);
    for (const pass_time& p : passes)
        printf("  pass %-14s %6.2f ms, processor %6.2f ms\n", p.label, p.wall_ms / double(times.size()),
               p.processor_ms / double(times.size()));
    printf("per frame: %lld billboards drawn, %lld model triangles\n", (long long)(billboards / int64_t(times.size())),
           (long long)(triangles / int64_t(times.size())));
    printf("render: %d riders, %dx%d, %.1f fps\n", riders, width, height, 1000.0 / mean);
    qorl_gl_close(window);
    return 0;
}
