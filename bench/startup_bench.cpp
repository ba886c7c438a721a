// How long the program takes to start: launched N times (default 5) on the built data
// in a 1280 x 720 window under the benchmark's own X server, over the sample track with
// an automatic rider behind the main menu. Each launch is a fresh process (forked,
// before any of the program's start-up has run); it ends at its first frame. Prints
// each launch, then the medians as the last line:
//   startup: <T> s to the menu, track load <L> s
// T runs from the launch to the first menu frame shown; L from the track load's first
// progress screen ("Resetting...") to the last progress call before that frame.
// "startup_bench <launches> trace" also prints, per launch, the time since the launch
// at every progress call, to show where the start-up spends its time. "--user DIR" as
// the last two arguments copies DIR into the user data folder before each launch (a
// download to measure: the same start with and without it), and each launch line then
// also gives the processor time to the first menu frame, less what the copy took, and
// the launch's peak memory. The copy keeps the holes of sparse files, so a download
// of a few bytes that unpacks to gigabytes of them costs the launch none of them.
#include "foundation/front_door.h"
#include "frontend/front_end.h"
#include "race/program/main_loop.h"
#include "race/race_hooks.h"
#include "race/program/shutdown.h"
#include "race/program/startup.h"
#include "support/test_support.h"
#include "support/xvfb_server.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using clock_type = std::chrono::steady_clock;   // one clock for the parent and its children

clock_type::time_point launched;
clock_type::time_point load_began, load_ended;
bool loading = false;
int result_pipe = -1;
bool tracing = false;
const char* user_files = nullptr;
double copy_seconds = 0;   // processor time the launch spent copying user_files
front_door_table real;
void (*real_race_progress_screen)(const char*) = nullptr;

double since(clock_type::time_point from, clock_type::time_point to)
{
    return std::chrono::duration<double>(to - from).count();
}

// The track load's progress calls, timed through the door the front end installs.
// Traced, each shows when it began and how long its own frame took.
template <typename Call>
void progress_call(const char* message, Call call)
{
    const auto began = clock_type::now();
    if (!loading && strcmp(message, "Resetting...") == 0) {
        loading = true;
        load_began = began;
    }
    call();
    load_ended = clock_type::now();
    if (tracing)
        fprintf(stderr, "  %7.3f s  %6.1f ms  %s\n", since(launched, began), 1000.0 * since(began, load_ended),
                message);
}

void progress_screen(const char* message)
{
    progress_call(message, [message] { real.draw_progress_screen(message); });
}

void race_progress_screen(const char* message)
{
    progress_call(message, [message] { real_race_progress_screen(message); });
}

template <void (*front_door_table::*call)(const char*)>
void timed(const char* message)
{
    progress_call(message, [message] { (real.*call)(message); });
}

double processor_seconds(const rusage& used)
{
    return double(used.ru_utime.tv_sec + used.ru_stime.tv_sec) + double(used.ru_utime.tv_usec + used.ru_stime.tv_usec) / 1e6;
}

void first_frame_shown()
{
    const auto now = clock_type::now();
    if (tracing)
        fprintf(stderr, "  %7.3f s  (first menu frame)\n", since(launched, now));
    // Processor time to this frame, less the copy: the removal of the copied files
    // after the launch is no cost of the start.
    rusage used{};
    getrusage(RUSAGE_SELF, &used);
    const double seconds[3] = {since(launched, now), loading ? since(load_began, load_ended) : -1.0,
                               processor_seconds(used) - copy_seconds};
    if (write(result_pipe, seconds, sizeof seconds) != sizeof seconds)
        _exit(3);
    loop.quit = 1;
    loop_io.frame_observer = nullptr;
}

// DIR's files into the user folder, by cp, which copies a sparse file's data and not
// its holes.
bool copy_user_files(const std::string& to)
{
    const std::string from = std::string(user_files) + "/.";
    const pid_t copier = fork();
    if (copier == 0) {
        execlp("cp", "cp", "-R", "--", from.c_str(), to.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    return copier > 0 && waitpid(copier, &status, 0) == copier && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

int launch()
{
    bvtest::TempDir home;
    bvtest::use_built_program_in_window(home, 1280, 720);
    if (user_files) {
        if (!copy_user_files(home / "xdg/Brovanta"))
            return 4;
        rusage used{};
        getrusage(RUSAGE_SELF, &used);
        copy_seconds = processor_seconds(used);
    }
    shutdown_pause_seconds = 0;
    front_end_install();
    real = front_door;
    front_door.draw_progress_screen = progress_screen;
    front_door.progress_log_reset = timed<&front_door_table::progress_log_reset>;
    front_door.progress_dots = timed<&front_door_table::progress_dots>;
    front_door.progress_done = timed<&front_door_table::progress_done>;
    real_race_progress_screen = race_hooks.draw_progress_screen;
    race_hooks.draw_progress_screen = race_progress_screen;
    loop_io.frame_observer = first_frame_shown;
    const char* argv[] = {"brovanta", "--track", "tracks/sample", "--nosound", nullptr};
    return brovanta_main(4, const_cast<char**>(argv));
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc > 3 && strcmp(argv[argc - 2], "--user") == 0) {
        user_files = argv[argc - 1];
        argc -= 2;
    }
    const int runs = argc > 1 ? atoi(argv[1]) : 5;
    tracing = argc > 2 && strcmp(argv[2], "trace") == 0;
    if (runs < 1 || runs > 100 || (argc > 2 && !tracing) || argc > 3) {
        fprintf(stderr, "usage: startup_bench [launches 1..100] [trace] [--user DIR]\n");
        return 1;
    }
    bvtest::XvfbServer server("1280x720x24");  // the measured window fits the screen
    if (!server.running()) {
        fprintf(stderr, "Xvfb did not start\n");
        return 1;
    }
    std::vector<double> to_menu, load;
    for (int k = 0; k < runs; ++k) {
        int fds[2];
        if (pipe(fds) != 0)
            return 1;
        fflush(stdout);
        launched = clock_type::now();
        const pid_t child = fork();
        if (child == 0) {
            close(fds[0]);
            result_pipe = fds[1];
            _exit(launch());
        }
        close(fds[1]);
        double seconds[3] = {};
        const bool got = read(fds[0], seconds, sizeof seconds) == sizeof seconds;
        close(fds[0]);
        int status = 0;
        rusage used{};
        wait4(child, &status, 0, &used);
        if (!got || seconds[1] < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            fprintf(stderr, "launch %d failed\n", k + 1);
            return 1;
        }
        printf("launch %d: %.3f s to the menu, track load %.3f s", k + 1, seconds[0], seconds[1]);
        if (user_files)
            printf(", %.3f s of processor time, %ld MB at most", seconds[2], used.ru_maxrss / 1024);
        printf("\n");
        to_menu.push_back(seconds[0]);
        load.push_back(seconds[1]);
    }
    printf("startup: %.3f s to the menu, track load %.3f s\n", median(to_menu), median(load));
    return 0;
}
