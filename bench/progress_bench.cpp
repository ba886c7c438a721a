// How much the progress screen adds to a track load: "tracks/sample" loaded on an
// offscreen 1280 x 720 window through the log-only door, then through the real
// progress screen, with the number of progress frames and the mean time of one.
#include "foundation/front_door.h"
#include "frontend/front_end.h"
#include "frontend/progress_screen.h"
#include "gfx/gl_layer.h"
#include "gfx/gl_startup.h"
#include "gfx/shaders.h"
#include "platform/qorl_gl.h"
#include "platform/qorl_log.h"
#include "race/program/hud_pictures.h"
#include "race/race_state.h"
#include "race/program/startup.h"
#include "race/track_load.h"
#include "sim/physics_world.h"
#include "terrain/track_list.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace {

using clock_type = std::chrono::steady_clock;

int frames = 0;
double frame_seconds = 0;
clock_type::time_point frame_start;

void* entry_point(void* window, const char* name)
{
    return reinterpret_cast<void*>(qorl_gl_proc_address(static_cast<qorl_window*>(window), name));
}

// Frames are counted by the observer; their time is taken around the whole progress
// call through the door, which also drains input and keeps the delay record.
void count_frame(const char*)
{
    ++frames;
}

double load_seconds()
{
    race.force_reload = 1;
    const auto start = clock_type::now();
    reset_race(nullptr, 0, 0, 0, 3, 0);
    return std::chrono::duration<double>(clock_type::now() - start).count();
}

// The real progress screen, each call timed.
front_door_table real;
template <void (*front_door_table::*entry)(const char*)>
void timed(const char* message)
{
    const auto start = clock_type::now();
    (real.*entry)(message);
    // llvmpipe draws after the call returns: wait for it, or the cost lands on the load.
    bvglFinish();
    frame_seconds += std::chrono::duration<double>(clock_type::now() - start).count();
}

}  // namespace

int main()
{
    setenv("BV_HOME", BV_BUILD_DIR "/base_staging", 0);
    qorl_window* window = qorl_gl_open_offscreen(1280, 720, 0, 16, 0);
    if (!window) {
        fprintf(stderr, "no offscreen GL window\n");
        return 1;
    }
    gl_init(entry_point, window);
    if (!gl_create_shaders())
        return 1;
    qorl_begin_frame(window);
    graphics_defaults_load();
    bvglFlush();
    qorl_end_frame(window);
    program_window = window;
    physics_world_init();
    scan_tracks();
    race_requested_folder = "tracks/sample";
    race_opts.seed = 7;

    load_seconds();   // caches warm
    const double plain = load_seconds();
    const double plain_again = load_seconds();

    front_end_install();
    real = front_door;
    front_door.draw_progress_screen = timed<&front_door_table::draw_progress_screen>;
    front_door.progress_log_reset = timed<&front_door_table::progress_log_reset>;
    front_door.progress_dots = timed<&front_door_table::progress_dots>;
    front_door.progress_done = timed<&front_door_table::progress_done>;
    progress_frame_observer = count_frame;
    frame_seconds = 0;
    const double shown = load_seconds();
    const int first_frames = frames;
    const double shown_again = load_seconds();

    printf("tracks/sample at 1280 x 720 on llvmpipe\n");
    printf("log-only load:        %.3f s, again %.3f s\n", plain, plain_again);
    printf("progress-screen load: %.3f s (%+.1f %%), again %.3f s\n", shown, (shown - plain) / plain * 100,
           shown_again);
    printf("progress frames:      %d per load\n", first_frames);
    printf("mean progress frame:  %.2f ms\n", frames ? frame_seconds / frames * 1000 : 0.0);
    return 0;
}
