// The racing lines learn in the program itself: its own entry routine with "--learn"
// (and "--warp", a hundred ticks a frame) on the sample track, the automatic rider
// riding behind the main menu. Every line of the user's novice lines starts with 4
// tested runs; the rider's runs credit or blame the lines it picks, a race restart
// writes the lines and reads them back, and the lines with their fifth run make a lap
// plan. The restart also takes the applied setup as the setup watch's reference.
#include <gtest/gtest.h>

#include "frontend/front_end.h"
#include "platform/qorl_window.h"
#include "platform/x11_native.h"
#include "race/bike_setup.h"
#include "race/game_settings.h"
#include "race/program/main_loop.h"
#include "race/program/program_window.h"
#include "race/race_restart.h"
#include "race/program/settings_values.h"
#include "race/program/startup.h"
#include "race/track_load.h"
#include "sim/ai_lines.h"
#include "support/fake_input.h"
#include "support/fresh_process.h"
#include "support/test_support.h"
#include "support/xvfb_server.h"

#include <X11/Xlib.h>

#include <algorithm>
#include <cstdio>
#include <sstream>
#include <string>

namespace {

constexpr int kTestedRuns = 4;       // one short of what a plan needs
constexpr int kFrameCap = 3000;      // 300000 ticks

const std::string kLines = "/xdg/Brovanta/tracks/sample/lines_novice";

// The shipped lines with every line tested kTestedRuns times at its recorded times.
std::string tested_lines(const std::string& shipped)
{
    std::istringstream in(shipped);
    std::string out, line;
    while (std::getline(in, line)) {
        long v[9];
        if (sscanf(line.c_str(), "%ld %ld %ld %ld %ld %ld %ld %ld %ld", &v[0], &v[1], &v[2], &v[3], &v[4], &v[5],
                   &v[6], &v[7], &v[8]) == 9) {
            v[3] = kTestedRuns;
            v[4] = v[1];
            v[5] = v[2];
            v[6] = kTestedRuns * v[1];
            v[7] = kTestedRuns * v[2];
            v[8] = 0;
            line.clear();
            for (long x : v)
                line += std::to_string(x) + " ";
            line.pop_back();
        }
        out += line + "\n";
    }
    return out;
}

// Tested runs and failures over every line of the loaded tables; the most tested runs.
long runs_and_failures(int* most_tested)
{
    long sum = 0;
    *most_tested = 0;
    for (int t = 0; t < ai_lines.table_count; ++t)
        for (const ai_line& line : ai_table(t)->lines)
            if (ai_line_used(line)) {
                sum += line.tested + line.failures;
                *most_tested = std::max(*most_tested, int(line.tested));
            }
    return sum;
}

bool has_plan()
{
    for (int mode = 0; mode < ai_lap_plan_modes; ++mode)
        if (const int32_t* plan = ai_lap_plan(mode))
            for (int t = 0; t < ai_lines.table_count; ++t)
                if (plan[t] != 0)
                    return true;
    return false;
}

struct Run {
    Display* display = nullptr;
    int frame = 0;
    long at_start = -1;
    bool restarted = false;
    bool planned_before = false;
    bool planned_after = false;
    int most_tested_after = 0;
    bool watch_snapped = false;
    bvtest::Problems problems;
};
Run run;

void observe()
{
    ++run.frame;
    int most = 0;
    const long now = runs_and_failures(&most);
    if (run.at_start < 0) {
        run.at_start = now;
        run.planned_before = has_plan();
    }
    if (!run.restarted && (most > kTestedRuns || run.frame >= kFrameCap)) {
        // A changed setup value: the restart's snap makes it the watch's reference.
        setup.leveling += 7;
        reset_race(start_lineup, 0, 0, 0, 1000, game_settings.skill);
        run.restarted = true;
        runs_and_failures(&run.most_tested_after);
        run.planned_after = has_plan();
        run.watch_snapped = true;
        for (const setup_watch_entry& e : setup_watch.entries)
            run.watch_snapped = run.watch_snapped && e.snapshot == *e.value && e.changed == 0;
        bvtest::send_close(run.display, loop_io.window->native->handle);
    }
}

std::string learn_once(const std::string& home)
{
    setenv("XDG_DATA_HOME", (home + "/xdg").c_str(), 1);
    setenv("HOME", home.c_str(), 1);
    setenv("BV_HOME", BV_BUILD_DIR "/game", 1);
    unsetenv("QORL_OPTIONS");
    run.display = bvtest::open_test_display();
    if (!run.display)
        return "no test display";
    loop_io.frame_observer = observe;
    front_end_install();
    const char* argv[] = {"brovanta", "--track", "tracks/sample", "--learn", "--warp", nullptr};
    const int status = brovanta_main(5, const_cast<char**>(argv));
    bvtest::Problems& p = run.problems;
    p.check(status == 0, "the entry routine returns 0, got " + std::to_string(status));
    p.check(!run.planned_before, "the lines with 4 tested runs already make a plan");
    p.check(run.restarted && run.frame < kFrameCap,
            "no line got its fifth tested run in " + std::to_string(run.frame) + " frames");
    p.check(run.most_tested_after > kTestedRuns, "the restart did not read the learnt runs back");
    p.check(run.planned_after, "the learnt lines make no lap plan");
    p.check(run.watch_snapped, "the restart did not snap the setup watch to the applied setup");
    const std::string written = bvtest::read_file(home + kLines);
    const std::string log = bvtest::read_file(home + "/xdg/Brovanta/lastlog.txt");
    p.check(written.rfind("ct03 ", 0) == 0, "no lines file written at shutdown: " + log.substr(0, 300));
    p.check(written != tested_lines(bvtest::read_file(BV_BUILD_DIR "/base_staging/tracks/sample/lines_novice")),
            "the written lines' statistics did not change");
    XCloseDisplay(run.display);
    return p.text;
}

}  // namespace

TEST(LearningProgram, TheAutomaticRidersRunsAreLearntAndPlannedWithLearnOn)
{
    bvtest::XvfbServer server;
    BV_REQUIRE_XVFB(server);
    bvtest::TempDir temp;
    const char* given = getenv("BV_LEARN_HOME");
    const std::string home = given ? given : temp.path();
    setenv("QORL_LOGFILE", (home + "/xdg/Brovanta/lastlog.txt").c_str(), 1);
    if (!given) {
        setenv("BV_LEARN_HOME", home.c_str(), 1);
        bvtest::write_file(home + "/xdg/Brovanta/config", "video_mode=Windowed\nxres=320\nyres=240\n");
        const std::string shipped = bvtest::read_file(BV_BUILD_DIR "/base_staging/tracks/sample/lines_novice");
        ASSERT_EQ(shipped.rfind("ct03 ", 0), 0u);
        bvtest::write_file(home + kLines, tested_lines(shipped));
    }
    bvtest::in_fresh_process([&] { return learn_once(home); });
    unsetenv("BV_LEARN_HOME");
    unsetenv("QORL_LOGFILE");
}
