// What the menus cost under llvmpipe: the program on the sample track (an automatic
// rider racing behind), windowed at 1280 x 720 and at 640 x 480, drawn with no menu,
// the main menu, New Race and the console, interleaved in blocks of 20 frames so the
// race behind weighs the same on each: 60 warm-up frames, then 1200 frames without a
// frame lock ("menu_bench N": N frames, rounded up to whole rounds of the four modes).
// Prints frames per second and the mean CPU time of menu_draw alone (the thread's CPU
// clock around the call) for each.
#include "frontend/front_end.h"
#include "race/program/main_loop.h"
#include "race/program/menu_state.h"
#include "race/program/program_hooks.h"
#include "race/program/shutdown.h"
#include "race/program/startup.h"
#include "support/test_support.h"
#include "support/xvfb_server.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int kWarmup = 60;
constexpr int kBlock = 20;          // frames of one mode before the next takes over
constexpr int kModes = 4;
constexpr int kScreens[kModes] = {-1, screen_main_menu, screen_new_race, screen_console};
constexpr const char* kNames[kModes] = {"no menu", "main menu", "New Race", "console"};

using clock_type = std::chrono::steady_clock;
int timed_frames = 1200;   // the modes interleaved in blocks
int frames = 0;
int drawn = 0;   // the mode of the frame being drawn
clock_type::time_point last;
double frame_seconds[kModes] = {};
int frame_count[kModes] = {};
double draw_seconds[kModes] = {};
int draws[kModes] = {};
void (*real_menu_draw)() = nullptr;

double thread_cpu()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

void timed_menu_draw()
{
    const double before = thread_cpu();
    real_menu_draw();
    if (frames > kWarmup) {
        draw_seconds[drawn] += thread_cpu() - before;
        ++draws[drawn];
    }
}

// Called after each frame: the time since the last call belongs to the frame drawn in
// between; the next frame's mode is set here.
void observe()
{
    const auto now = clock_type::now();
    ++frames;
    if (frames > kWarmup) {
        frame_seconds[drawn] += std::chrono::duration<double>(now - last).count();
        ++frame_count[drawn];
    }
    last = now;
    if (frames == kWarmup + timed_frames) {
        for (int m = 0; m < kModes; ++m)
            printf("  %-10s %7.1f fps  menu_draw %7.3f ms\n", kNames[m], frame_count[m] / frame_seconds[m],
                   draws[m] ? draw_seconds[m] * 1000 / draws[m] : 0.0);
        fflush(stdout);
        loop.quit = 1;
        return;
    }
    drawn = (frames / kBlock) % kModes;
    menu_screen = kScreens[drawn];
}

int run(int width, int height)
{
    bvtest::TempDir home;
    bvtest::use_built_program_in_window(home, width, height);
    shutdown_pause_seconds = 0;
    front_end_install();
    real_menu_draw = program_hooks.menu_draw;
    program_hooks.menu_draw = timed_menu_draw;
    loop_io.frame_observer = observe;
    printf("%d x %d\n", width, height);
    fflush(stdout);
    const char* argv[] = {"brovanta", "--track", "tracks/sample", "--nosound", nullptr};
    return brovanta_main(4, const_cast<char**>(argv));
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc > 1) {
        const int round = kBlock * kModes;
        const int asked = std::clamp(atoi(argv[1]), 1, 1000000);
        timed_frames = (asked + round - 1) / round * round;
    }
    bvtest::XvfbServer server("1280x720x24");  // the measured window fits the screen
    if (!server.running()) {
        fprintf(stderr, "Xvfb did not start\n");
        return 1;
    }
    int failed = 0;
    for (auto [w, h] : {std::pair{1280, 720}, std::pair{640, 480}}) {
        const pid_t child = fork();
        if (child == 0)
            _exit(run(w, h));
        int status = 0;
        waitpid(child, &status, 0);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            fprintf(stderr, "the run at %d x %d failed\n", w, h);
            failed = 1;
        }
    }
    return failed;
}
