// The main loop's frame: view modes, the frame-time histogram, pacing on a fake clock
// offline and online, the sound level, the setup-change report, warp's laps, the
// screenshot numbers and what start-up derives.
#include "loop_harness.h"

#include "foundation/front_door.h"
#include "platform/qorl_window.h"
#include "race/bike_setup.h"
#include "race/program/command_line.h"
#include "race/program/frame_math.h"
#include "race/net/net_client.h"
#include "race/program/program_hooks.h"
#include "race/race_state.h"
#include "race/program/run_clock.h"
#include "race/program/settings_values.h"
#include "race/program/startup.h"
#include "race/program/startup_lists.h"
#include "race/program/video_modes.h"
#include "sim/race_clock.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using looptest::FakeClock;
using looptest::ScriptedEvents;

namespace {

constexpr double T = 1.0 / 128.0;

uint32_t server_tick = 0;

// Offline (or online against server_tick), no track, no menu.
void plain_loop(FakeClock& clock, ScriptedEvents& events, bool online = false)
{
    command_line_options = command_line{};
    net_server_name = online ? "localhost" : nullptr;
    program_hooks.net_step = [] {};
    program_hooks.net_server_tick = [] { return server_tick; };
    menu_screen = -1;
    run_clock = 0;
    looptest::begin(clock, events, 100.0);
}

double step_of_frame(FakeClock& clock, double seconds)
{
    const double before = loop.accumulated;
    looptest::frame(clock, seconds);
    return loop.accumulated - before;
}

std::vector<std::string> printed;

}  // namespace

TEST(FrameMath, ViewModesFollowTheTrackTheRiderAndTheSpySetting)
{
    struct Row {
        int32_t previous;
        bool track, rider, local, spy;
        int32_t want;
    };
    const Row rows[] = {
        {5, true, true, true, false, 0},    // a track just loaded with a rider
        {5, true, false, false, false, 4},  // ... without one
        {3, true, true, true, false, 3},    // the chase view stays
        {2, true, true, true, false, 2},    // so does the editor
        {4, true, true, true, false, 0},    // a local rider forces the rider's eye
        {4, true, true, true, true, 4},     // unless spying
        {4, true, true, false, false, 4},
        {0, true, false, false, false, 4},  // nobody in the followed slot
        {0, false, true, true, false, 5},   // no track: the title screen
        {3, false, false, false, false, 5},
    };
    for (const Row& r : rows)
        EXPECT_EQ(derive_view_mode(r.previous, r.track, r.rider, r.local, r.spy), r.want)
            << "from " << r.previous << " track " << r.track << " rider " << r.rider << " local "
            << r.local << " spy " << r.spy;
}

TEST(FrameMath, HistogramSoundLevelLapsAndSetupText)
{
    EXPECT_EQ(frame_histogram_bucket(0.5 * T, T), 0);
    EXPECT_EQ(frame_histogram_bucket(T, T), 1);
    EXPECT_EQ(frame_histogram_bucket(3 * T, T), 2);
    EXPECT_EQ(frame_histogram_bucket(63.9 * T, T), 6);
    EXPECT_EQ(frame_histogram_bucket(64 * T, T), 7);
    EXPECT_EQ(frame_histogram_bucket(1000 * T, T), 7);

    EXPECT_EQ(sound_level(true, 0, false, true), 0.0f);
    EXPECT_EQ(sound_level(false, 2, false, true), 0.0f);
    EXPECT_EQ(sound_level(false, 0, false, true), 1.0f);
    EXPECT_EQ(sound_level(false, 0, true, true), 0.0f);
    EXPECT_EQ(sound_level(false, 4, true, false), 0.25f);

    EXPECT_EQ(completed_laps(10, 12, 8), 0);
    EXPECT_EQ(completed_laps(12, 12, 8), 1);
    EXPECT_EQ(completed_laps(27, 12, 8), 2);
    EXPECT_EQ(completed_laps(50, 12, 0), 0) << "no lap positions: no division";

    int32_t marks[40] = {};
    marks[27] = 1;
    const char* letters = "ldaxdsmdsxrlxlsacfrdggCcRrsplCcRrspyzYZm";
    EXPECT_EQ(setup_change_text(letters, marks, 40),
              "[SPAM] Setup change " + std::string(27, '-') + "p" + std::string(12, '-') + "\n");
}

TEST(FrameMath, ScreenshotNumbersFromTheFileNames)
{
    int32_t counter = 0;
    EXPECT_EQ(screenshot_number(&counter, {}), 1);
    EXPECT_EQ(screenshot_number(&counter, {}), 2);
    counter = 0;
    EXPECT_EQ(screenshot_number(&counter, {"screenshot004.png", "screenshot009.ppm", "other.png"}), 10);
    EXPECT_EQ(screenshot_number(&counter, {}), 11);
    counter = 0;
    EXPECT_EQ(screenshot_number(&counter, {"screenshot4294967295.png", "screenshot7.png"}), 8)
        << "numbers past the counter's range are passed over";
}

TEST(StartupMath, DemoNamesAndVideoModes)
{
    EXPECT_EQ(demo_short_name("demos/fast lap.bvdemo"), "fast lap");
    EXPECT_EQ(demo_short_name("demos/a.b/noext"), "");
    EXPECT_EQ(demo_short_name("plain.bvdemo"), "plain");

    video_modes_build(nullptr);
    ASSERT_EQ(video_mode_count, 2);
    EXPECT_STREQ(video_mode_names[0], "Default Fullscreen");
    EXPECT_STREQ(video_mode_names[1], "Windowed");
    const qorl_display_mode modes[] = {{1920, 1080, 24}, {1280, 720, 24}, {800, 600, 16}, {640, 480, 24}, {}};
    video_modes_build(modes);
    ASSERT_EQ(video_mode_count, 5);
    EXPECT_STREQ(video_mode_names[2], "1920x1080");
    EXPECT_STREQ(video_mode_names[3], "1280x720");
    EXPECT_STREQ(video_mode_names[4], "640x480");
    EXPECT_EQ(video_mode_sizes[3].width, 1280);
    EXPECT_EQ(video_mode_sizes[1].width, 0);
    video_modes_free();
}

TEST(FramePacing, OfflineStepsAreCappedLockedOrWarped)
{
    FakeClock clock;
    ScriptedEvents events;
    plain_loop(clock, events);
    EXPECT_DOUBLE_EQ(step_of_frame(clock, 0.5), 0.125) << "a long frame moves the race 1/8 s";
    EXPECT_EQ(loop.histogram[7], 1u);
    const int sleeps = clock.sleeps;
    EXPECT_NEAR(step_of_frame(clock, 0.001), T, 2e-6) << "a frame waits for one tick";
    EXPECT_GT(clock.sleeps, sleeps);
    EXPECT_GE(loop.smallest_step, T);
    EXPECT_DOUBLE_EQ(loop.largest_step, 0.125);
    EXPECT_FLOAT_EQ(loop.frame_times.front(), 0.5f);

    plain_loop(clock, events);
    loop.lock_period = 1.0 / 30;
    EXPECT_DOUBLE_EQ(step_of_frame(clock, 0.01), 1.0 / 30);
    EXPECT_NEAR(clock.t - 100.0, 1.0 / 30, 1e-6) << "slept to the period";
    EXPECT_DOUBLE_EQ(step_of_frame(clock, 0.2), 1.0 / 30);

    plain_loop(clock, events);
    command_line_options.warp = true;
    EXPECT_DOUBLE_EQ(step_of_frame(clock, 0.02), 100 * T);
}

TEST(FramePacing, OnlineStepsLeanTowardsTheServer)
{
    FakeClock clock;
    ScriptedEvents events;
    race.gate_drop_tick = 10000;
    current_tick = 5000;
    plain_loop(clock, events, true);
    loop.lock_period = 1.0 / 30;   // "--lock-fps" does nothing online
    server_tick = 5000 + 256 + 1;  // 2 s ahead of us, before the drop
    EXPECT_NEAR(step_of_frame(clock, 1.0 / 60), 4.0 / 60, 1e-12);
    current_tick = 20000;
    race.gate_drop_tick = 0;
    server_tick = 20000 + 256 + 1;
    EXPECT_NEAR(step_of_frame(clock, 1.0 / 60), 1.125 / 60, 1e-12);
    server_tick = 20000 - 64 + 1;  // we are 0.5 s ahead
    EXPECT_NEAR(step_of_frame(clock, 1.0 / 60), 0.75 / 60, 1e-12);
    // An unsigned server tick below ours is a negative difference, not a huge one.
    server_tick = 0;
    EXPECT_NEAR(step_of_frame(clock, 1.0 / 60), 0.5 / 60, 1e-12);
    net_server_name = nullptr;
}

TEST(FramePacing, ManyFramesRunExactlyTheTicksTheirStepsCover)
{
    FakeClock clock;
    ScriptedEvents events;
    plain_loop(clock, events);
    double sum = 0;
    uint32_t seed = 12345;
    for (int i = 0; i < 500; ++i) {
        seed = seed * 1103515245u + 12345u;
        const double took = (seed >> 8) % 40000 * 0.000005;   // 0 .. 0.2 s
        sum += step_of_frame(clock, took);
    }
    // Without events each tick asks its source once: the last of a frame for every
    // event, the others up to their own time.
    const int ticks = events.next_calls + events.until_calls;
    EXPECT_EQ(ticks, int(std::ceil(sum / T - 1e-9)));
    EXPECT_DOUBLE_EQ(loop.simulated, ticks * T);
    EXPECT_DOUBLE_EQ(run_clock, sum);
    EXPECT_DOUBLE_EQ(loop.accumulated, sum);
    EXPECT_LT(loop.simulated - loop.accumulated, T);
    EXPECT_GE(loop.simulated - loop.accumulated, 0);
}

TEST(FrameLoop, SetupChangesAreReportedEveryFiveSecondsOnlyWhenThereAreAny)
{
    FakeClock clock;
    ScriptedEvents events;
    plain_loop(clock, events);
    front_door.console_print = [](const char* text) { printed.emplace_back(text); };
    printed.clear();
    setup_watch_arm();
    setup_watch.next_report_time = 0;
    looptest::frame(clock, 0.1);
    EXPECT_TRUE(printed.empty()) << "nothing changed";
    EXPECT_DOUBLE_EQ(setup_watch.next_report_time, run_clock + 5);

    setup.fork_preload_adjustment += 10;
    setup_watch_mark();
    while (run_clock < 4.9)
        looptest::frame(clock, 0.1);
    EXPECT_TRUE(printed.empty()) << "not before 5 s";
    while (run_clock < 5.2)
        looptest::frame(clock, 0.1);
    ASSERT_EQ(printed.size(), 1u);
    EXPECT_EQ(printed[0], "[SPAM] Setup change " + std::string(27, '-') + "p" + std::string(12, '-') + "\n");
    setup.fork_preload_adjustment -= 10;
    front_door.console_print = front_door_log_only.console_print;
}

TEST(FrameLoop, WithoutATrackTheTitleScreenRunsNoUpkeep)
{
    FakeClock clock;
    ScriptedEvents events;
    plain_loop(clock, events);
    static int ticks = 0;
    program_hooks.game_tick = [] { ++ticks; };
    loop.view_mode = 0;
    looptest::frame(clock, 0.05);
    EXPECT_EQ(loop.view_mode, 5);
    EXPECT_EQ(ticks, 0);
    EXPECT_GT(events.next_calls, 0) << "the ticks still take their events";
}

// A slow "--lock-fps" still lets the window close: the wait sleeps in short slices and
// stops once a close request waits in the ring (which the next tick then takes).
TEST(FramePacing, ASlowLockedFrameEndsWhenTheWindowAsksToClose)
{
    FakeClock clock;
    ScriptedEvents events;
    plain_loop(clock, events);
    static int asked = 0;
    asked = 0;
    loop_io.events.close_waiting = [](void*) { return ++asked > 3 ? 1 : 0; };
    loop.lock_period = 1.0 / kLockFpsLowest;
    const int sleeps = clock.sleeps;
    looptest::frame(clock, 0.001);
    EXPECT_LT(clock.t - 100.0, 0.2) << "the close request cut the one-second wait short";
    EXPECT_EQ(clock.sleeps - sleeps, 3);
    EXPECT_DOUBLE_EQ(loop.accumulated, 1.0) << "the frame still moves the race by its period";

    // Without a request the whole period passes, in slices of at most 0.05 s.
    asked = -1000;
    const double before = clock.t;
    looptest::frame(clock, 0.001);
    EXPECT_NEAR(clock.t - before, 1.0, 1e-6);
    EXPECT_GE(clock.sleeps - sleeps, 3 + 20);
    loop_io.events.close_waiting = nullptr;
}

// Dragging with the button held sends the cursor key once per movement, not every frame.
TEST(FrameLoop, AHeldPointerSendsOneCursorKeyPerMovement)
{
    FakeClock clock;
    ScriptedEvents events;
    plain_loop(clock, events);
    static std::vector<int32_t> keys;
    keys.clear();
    const auto kept = program_hooks.menu_key;
    program_hooks.menu_key = [](int32_t code) { keys.push_back(code); };
    menu_screen = 0;
    loop.cursor_held = 1;
    loop.cursor_last[0] = 5;   // the axes (absent here) read 0: one movement
    loop.cursor_last[1] = 5;
    for (int i = 0; i < 4; ++i)
        looptest::frame(clock, 0.02);
    EXPECT_EQ(keys, std::vector<int32_t>{16});
    menu_screen = -1;
    loop.cursor_held = 0;
    program_hooks.menu_key = kept;
}

// "--width 100000 --height 100000" (or "xres"/"yres" as large) once crashed the GL driver;
// a 1280 x 720 window on a 1280 x 720 screen was once cut to the first listed mode's
// width; "xres=-640" was once taken as "more than the screen".
TEST(StartupMath, WindowSizesStayWithinTheScreenAndTheGlCap)
{
    using fit = window_size_fit;
    struct {
        int32_t screen_w, screen_h, w, h, want_w, want_h;
        fit how;
    } const cases[] = {
        {1280, 720, 1280, 720, 1280, 720, fit::kept},      // exactly the screen
        {1280, 720, 1281, 720, 1280, 720, fit::cut},       // one more
        {1280, 720, 1280, 721, 1280, 720, fit::cut},
        {1280, 720, 100000, 100000, 1280, 720, fit::cut},
        {1024, 768, 800, 600, 800, 600, fit::kept},
        {1280, 720, 1, 1, 1, 1, fit::kept},                // the smallest side kept
        {1280, 720, 0, 600, 640, 600, fit::out_of_range},  // the "Windowed" default instead
        {1280, 720, 800, 0, 800, 480, fit::out_of_range},
        {1280, 720, -640, -480, 640, 480, fit::out_of_range},
        {480, 320, -640, 300, 480, 300, fit::out_of_range},  // the default, within a small screen
        // Two 8K monitors side by side: the GL cap, not the screen, bounds the width.
        {15360, 4320, 8192, 4320, 8192, 4320, fit::kept},
        {15360, 4320, 8193, 4320, 8192, 4320, fit::cut},
        {0, 0, 8192, 8192, 8192, 8192, fit::kept},         // no display: the cap alone
        {0, 0, 8193, 100000, 8192, 8192, fit::cut},
    };
    for (const auto& c : cases) {
        int32_t w = c.w, h = c.h;
        const std::string what = std::to_string(c.w) + "x" + std::to_string(c.h) + " on " +
                                 std::to_string(c.screen_w) + "x" + std::to_string(c.screen_h);
        EXPECT_EQ(window_size_bound(c.screen_w, c.screen_h, &w, &h), c.how) << what;
        EXPECT_EQ(w, c.want_w) << what;
        EXPECT_EQ(h, c.want_h) << what;
    }
}
