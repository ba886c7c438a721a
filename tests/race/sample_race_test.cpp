// Five automatic riders race two laps of the sample track through reset_race and the
// real game tick, with no display, on the novice and the expert lines: every rider
// finishes both laps in a sensible time, the field seldom falls (nobody trips over
// the dropped start gate when it comes round again, nobody crashes off the jumps
// lap after lap), and nobody strays far from the racing lines.
#include "race_fixture.h"
#include "line_stretches.h"

#include "race/game_tick.h"
#include "race/net/net_client.h"
#include "race/race_hooks.h"
#include "race/race_rules.h"
#include "race/race_state.h"
#include "race/track_load.h"
#include "sim/ai_lines.h"
#include "sim/ai_lines_learning.h"
#include "sim/gate_times.h"
#include "sim/race_clock.h"
#include "sim/rider_slot.h"
#include "support/fresh_process.h"
#include "terrain/track_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

constexpr int kBots = 5;
constexpr int kLaps = 2;
constexpr int kCapSeconds = 300;       // after the drop
constexpr double kLongestLap = 150;    // seconds; the lines' own laps take 65 to 95
constexpr int kFieldFalls = kBots;     // over both laps, all riders together
constexpr int kRiderFalls = 2;
constexpr float kFarthest = 60;        // feet from every racing line (the track is about 30 wide)

using racetest::distance_to;
using racetest::line_stretches;
using racetest::stretch;

std::string story_file(pid_t parent)
{
    return "/tmp/bv-sample-race-" + std::to_string(parent);
}

void start(const bvtest::TempDir& root)
{
    racetest::start(root);
    track_terrain_loader = racetest::ground_only;
    scan_tracks();
    race_rules_install();
    ai_lines_learning_install();
    race_hooks.riders_clear = riders_clear;
}

// Races the field on one skill's lines; the problems found, with what each rider did.
std::string race_two_laps(int skill)
{
    bvtest::Problems p;
    race_requested_folder = "tracks/sample";
    race_opts.seed = 5;
    int32_t lineup[160] = {};
    for (int k = 0; k < kBots; ++k)
        lineup[k] = 2;
    reset_race(lineup, 0, 0, 0, kLaps, skill);
    const std::vector<stretch> lines = line_stretches();
    if (lines.empty())
        return "no racing lines loaded for skill " + std::to_string(skill);

    float farthest[kBots] = {};
    float farthest_at[kBots][2] = {};
    int falls[kBots] = {};
    bool down[kBots] = {};
    auto all_done = [] {
        for (int k = 0; k < kBots; ++k)
            if (rider_laps_completed(&rider_slots[k]) < kLaps)
                return false;
        return true;
    };
    const int32_t cap = race.gate_drop_tick + kCapSeconds * 128;
    while (current_tick < cap && !all_done()) {
        game_tick();
        if (current_tick % 16 || current_tick <= race.gate_drop_tick)
            continue;
        for (int k = 0; k < kBots; ++k) {
            const rider_slot& r = rider_slots[k];
            const dReal* at = dBodyGetPosition(r.bodies[body_frame]);
            const float off = distance_to(lines, float(at[0]), float(at[2]));
            if (off > farthest[k]) {
                farthest[k] = off;
                farthest_at[k][0] = float(at[0]);
                farthest_at[k][1] = float(at[2]);
            }
            falls[k] += r.crash_counter > 0 && !down[k];
            down[k] = r.crash_counter > 0;
        }
    }

    int field_falls = 0;
    std::string story;
    for (int k = 0; k < kBots; ++k) {
        const rider_slot& r = rider_slots[k];
        char line[256];
        snprintf(line, sizeof line,
                 "skill %d rider %d: %d laps (%.1f s, %.1f s), %d falls, at most %.1f ft off the lines near (%.0f, %.0f)\n",
                 skill, k, rider_laps_completed(&r), rider_lap_time(&r, 1), rider_lap_time(&r, 2), falls[k],
                 double(farthest[k]), double(farthest_at[k][0]), double(farthest_at[k][1]));
        story += line;
        field_falls += falls[k];
        p.check(rider_laps_completed(&r) >= kLaps, "rider " + std::to_string(k) + " did not finish both laps");
        for (int lap = 1; lap <= kLaps; ++lap)
            p.check(rider_lap_time(&r, lap) > 0 && rider_lap_time(&r, lap) < kLongestLap,
                    "rider " + std::to_string(k) + " lap " + std::to_string(lap) + " took too long");
        p.check(falls[k] <= kRiderFalls, "rider " + std::to_string(k) + " fell " + std::to_string(falls[k]) + " times");
        p.check(farthest[k] <= kFarthest, "rider " + std::to_string(k) + " strayed off the course");
    }
    p.check(field_falls <= kFieldFalls, "the field fell " + std::to_string(field_falls) + " times");
    // The lap times seen go to the test's output either way, through a file named by
    // the parent process that the test prints.
    if (FILE* f = fopen(story_file(getppid()).c_str(), "a")) {
        fputs(story.c_str(), f);
        fclose(f);
    }
    return p.text.empty() ? "" : p.text + story;
}

TEST(SampleRace, FiveRidersFinishTwoLapsOnTheCourse)
{
    for (int skill : {0, 2})
        bvtest::in_fresh_process([skill] {
            bvtest::TempDir root;
            start(root);
            return race_two_laps(skill);
        });
    std::string story;
    if (FILE* f = fopen(story_file(getpid()).c_str(), "r")) {
        char buffer[512];
        while (fgets(buffer, sizeof buffer, f))
            story += buffer;
        fclose(f);
    }
    printf("%s", story.c_str());
    std::remove(story_file(getpid()).c_str());
}

}  // namespace
