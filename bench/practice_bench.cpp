// A practice ride's frame rate under llvmpipe: the sample track windowed at 1280 x 720
// and at 640 x 480, throttle held, 60 warm-up frames, then 600 frames without a frame
// lock. Prints frames per second, mean and 95th-percentile frame time, and ticks per
// second, with the world as it is drawn today.
#include "race/bindings.h"
#include "race/controls.h"
#include "race/main_loop.h"
#include "race/menu_state.h"
#include "race/shutdown.h"
#include "race/startup.h"
#include "sim/race_clock.h"
#include "support/test_support.h"
#include "support/xvfb_server.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kWarmup = 60;
constexpr int kFrames = 600;

using clock_type = std::chrono::steady_clock;
int frames = 0;
int32_t first_tick = 0;
clock_type::time_point last, first;
std::vector<double> frame_ms;

void observe()
{
    ++frames;
    menu_screen = -1;
    control_list[bind_throttle].value = 1;
    const auto now = clock_type::now();
    if (frames == kWarmup) {
        first = now;
        first_tick = current_tick;
    } else if (frames > kWarmup) {
        frame_ms.push_back(std::chrono::duration<double, std::milli>(now - last).count());
    }
    last = now;
    if (frames == kWarmup + kFrames) {
        const double seconds = std::chrono::duration<double>(now - first).count();
        std::vector<double> sorted = frame_ms;
        std::sort(sorted.begin(), sorted.end());
        double mean = 0;
        for (double ms : frame_ms)
            mean += ms;
        mean /= double(frame_ms.size());
        printf("%6.1f fps  mean %6.2f ms  p95 %6.2f ms  %7.1f ticks/s\n", kFrames / seconds, mean,
               sorted[size_t(sorted.size() * 0.95)], (current_tick - first_tick) / seconds);
        fflush(stdout);
        loop.quit = 1;
    }
}

int ride(int width, int height)
{
    bvtest::TempDir home;
    bvtest::write_file(home / "xdg/Brovanta/config", "video_mode=Windowed\nxres=" + std::to_string(width) +
                                                          "\nyres=" + std::to_string(height) + "\n");
    setenv("XDG_DATA_HOME", (home / "xdg").c_str(), 1);
    setenv("BV_HOME", BV_BUILD_DIR, 1);
    shutdown_pause_seconds = 0;
    loop_io.frame_observer = observe;
    printf("%4d x %-4d ", width, height);
    fflush(stdout);
    const char* argv[] = {"brovanta", "--track", "tracks/sample", "--practice", "--nosound", nullptr};
    return brovanta_main(5, const_cast<char**>(argv));
}

}  // namespace

int main()
{
    bvtest::XvfbServer server;
    if (!server.running()) {
        fprintf(stderr, "Xvfb did not start\n");
        return 1;
    }
    for (auto [w, h] : {std::pair{1280, 720}, std::pair{640, 480}}) {
        const pid_t child = fork();
        if (child == 0)
            _exit(ride(w, h));
        int status = 0;
        waitpid(child, &status, 0);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
            fprintf(stderr, "the ride at %d x %d failed\n", w, h);
    }
    return 0;
}
