// A practice ride's frame rate under llvmpipe: the sample track windowed at 1280 x 720
// and at 640 x 480, throttle held, 60 warm-up frames, then 600 frames without a frame
// lock ("practice_bench N": N frames). Prints frames per second, mean and 95th-percentile frame time, and ticks per
// second, with the world as it is drawn today.
//
// "practice_bench hud": the program's own world drawing and HUD at 1280 x 720, three
// rides (with the HUD, with "--hidden-hud", with the suspension graph on) on one line:
//   hud: 1280 x 720  with HUD  N fps  hidden  N fps  suspension graph  N fps
#include "frontend/front_end.h"
#include "race/program/bindings.h"
#include "race/program/controls.h"
#include "race/game_tick.h"
#include "race/program/main_loop.h"
#include "race/program/menu_state.h"
#include "race/program/shutdown.h"
#include "race/program/startup.h"
#include "sim/race_clock.h"
#include "support/test_support.h"
#include "support/xvfb_server.h"
#include "view/view_install.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kWarmup = 60;
int timed_frames = 600;

using clock_type = std::chrono::steady_clock;
int frames = 0;
int32_t first_tick = 0;
clock_type::time_point last, first;
std::vector<double> frame_ms;
bool hud_line = false;   // print only the frame rate, for the "hud:" line
int graph_on = 0;

void observe()
{
    ++frames;
    menu_screen = -1;
    control_list[bind_throttle].value = 1;
    suspension_graph.on = graph_on;
    const auto now = clock_type::now();
    if (frames == kWarmup) {
        first = now;
        first_tick = current_tick;
    } else if (frames > kWarmup) {
        frame_ms.push_back(std::chrono::duration<double, std::milli>(now - last).count());
    }
    last = now;
    if (frames == kWarmup + timed_frames) {
        const double seconds = std::chrono::duration<double>(now - first).count();
        std::vector<double> sorted = frame_ms;
        std::sort(sorted.begin(), sorted.end());
        double mean = 0;
        for (double ms : frame_ms)
            mean += ms;
        mean /= double(frame_ms.size());
        if (hud_line)
            printf(" %6.1f fps", timed_frames / seconds);
        else
            printf("%6.1f fps  mean %6.2f ms  p95 %6.2f ms  %7.1f ticks/s\n", timed_frames / seconds, mean,
                   sorted[size_t(sorted.size() * 0.95)], (current_tick - first_tick) / seconds);
        fflush(stdout);
        loop.quit = 1;
    }
}

int ride(int width, int height, bool hidden_hud)
{
    bvtest::TempDir home;
    bvtest::use_built_program_in_window(home, width, height);
    shutdown_pause_seconds = 0;
    loop_io.frame_observer = observe;
    if (hud_line) {
        view_install();
        front_end_install();
    } else {
        printf("%4d x %-4d ", width, height);
        fflush(stdout);
    }
    const char* argv[] = {"brovanta", "--track", "tracks/sample", "--practice", "--nosound", "--hidden-hud", nullptr};
    return brovanta_main(hidden_hud ? 6 : 5, const_cast<char**>(argv));
}

int failed_rides = 0;

void ride_in_child(int width, int height, bool hidden_hud)
{
    const pid_t child = fork();
    if (child == 0)
        _exit(ride(width, height, hidden_hud));
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        fprintf(stderr, "the ride at %d x %d failed\n", width, height);
        failed_rides = 1;
    }
}

}  // namespace

int main(int argc, char** argv)
{
    bvtest::XvfbServer server("1280x720x24");  // the measured window fits the screen
    if (!server.running()) {
        fprintf(stderr, "Xvfb did not start\n");
        return 1;
    }
    if (argc > 1 && strcmp(argv[1], "hud") == 0) {
        hud_line = true;
        printf("hud: 1280 x 720  with HUD");
        fflush(stdout);
        ride_in_child(1280, 720, false);
        printf("  hidden");
        fflush(stdout);
        ride_in_child(1280, 720, true);
        printf("  suspension graph");
        fflush(stdout);
        graph_on = 1;
        ride_in_child(1280, 720, false);
        printf("\n");
        return failed_rides;
    }
    if (argc > 1)
        timed_frames = std::clamp(atoi(argv[1]), 1, 1000000);
    for (auto [w, h] : {std::pair{1280, 720}, std::pair{640, 480}})
        ride_in_child(w, h, false);
    return failed_rides;
}
