// Seeking a played demo: the chain walked back, a rewind's landing tick, histories,
// timing and results afterwards, deformations applied once, a forward skip through
// game ticks, the refusals, and the frame arithmetic of versions 4 and 5.
#include "demo_fixture.h"

#include "race/program/command_line.h"
#include "race/demo/demo_reader.h"
#include "race/race_hooks.h"
#include "race/rider_history.h"
#include "race/program/settings_values.h"
#include "sim/gate_times.h"
#include "sim/race_clock.h"
#include "support/console_capture.h"
#include "support/fresh_process.h"
#include "terrain/ruts.h"
#include "terrain/track_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

using namespace demotest;

namespace {

int ticks_run = 0, results_computed = 0;
std::vector<double> densities;

void counting_tick()
{
    ++ticks_run;
    densities.push_back(graphics_settings.roost_density);
    demo_set_current_tick(current_tick + 1);
    demo_playback_read();
}

int32_t oldest_held(int32_t slot)
{
    int32_t oldest = INT32_MAX;
    for (int32_t k = 0; k < kHistoryLength; ++k)
        if (history_ticks[slot][k] >= 0)
            oldest = std::min(oldest, history_ticks[slot][k]);
    return oldest;
}

bool held_ticks_none(int32_t slot)
{
    return oldest_held(slot) == INT32_MAX;
}

bool held(int32_t slot, int32_t tick)
{
    for (int32_t k = 0; k < kHistoryLength; ++k)
        if (history_ticks[slot][k] == tick)
            return true;
    return false;
}

std::string deformation()
{
    wheel_ruts ruts{};
    wheel_ruts_reset(&ruts);
    ruts.point_count = 1;
    ruts.points[0] = {10, 20, 0.5f, 0.5f, 2};
    uint8_t record[kDeformationRecordMax];
    const int32_t n = deformation_record_encode(&ruts, track_terrain.world_size, record);
    return std::string(reinterpret_cast<const char*>(record), size_t(n));
}

// Slots 0 and 3 recorded from tick 0 to 2000, a deformation at 500 and a chat at 600;
// then the demo opened with slots 10 and 11 playing it.
void recorded_and_opened()
{
    put_rider(0, rider_kind_local);
    put_rider(3, rider_kind_bot);
    demo_record_open();
    demo_record_states(1);
    while (current_tick < 2000) {
        tick();
        if (current_tick == 500) {
            const std::string d = deformation();
            demo_record_event(demo_block_deformation, d.data(), int32_t(d.size()));
        }
        if (current_tick == 600)
            demo_record_event(demo_block_chat, "at six hundred", 14);
    }
    demo_record_close();
    fake.occupied[0] = fake.occupied[3] = false;
    race.kinds[0] = race.kinds[3] = rider_kind_remote;
    history_clear_all();
    current_tick = race.tick = 0;
    demo_playback_open();
    put_rider(10, rider_kind_remote);
    put_rider(11, rider_kind_remote);
    demo_set_rider_slot(0, 10);
    demo_set_rider_slot(1, 11);
    demo_later_hooks.game_tick = counting_tick;
    race_hooks.race_results_compute = [] { ++results_computed; };
}

void ride_to(int32_t tick)
{
    while (current_tick < tick)
        counting_tick();
}

// Gate times for slot: positions 0.. at the given ticks.
void give_gate_times(int32_t slot, const std::vector<int32_t>& ticks)
{
    rider_slot* r = &rider_slots[slot];
    r->gate_times.element_size = sizeof(int32_t);
    for (size_t i = 0; i < ticks.size(); ++i)
        rider_set_gate_time(r, int32_t(i), ticks[i]);
    rider_truncate_timing(r, int32_t(ticks.size()));   // the timing position
}

}  // namespace

TEST(DemoSeek, WalkingBackVisitsTheForwardBlocksInReverse)
{
    bvtest::in_fresh_process([] {
        bvtest::Problems p;
        bvtest::TempDir root;
        start(root);
        recorded_and_opened();
        const std::string file = bvtest::read_file(user_file(root, "demos/default.bvdemo"));
        std::vector<size_t> forward = block_starts(file, size_t(demo_reader.block_start));
        ride_to(2100);   // read to the end
        p.check(demo_reader.position == int64_t(file.size()), "read to the end");
        std::vector<size_t> back;
        while (demo_reader.position > demo_reader.block_start) {
            demo_walk_back(INT32_MAX);   // every block is at or below: one step each
            back.push_back(size_t(demo_reader.position));
        }
        std::reverse(back.begin(), back.end());
        p.check(back == forward && forward.size() > 100, "same starts (" + std::to_string(back.size()) + " vs " +
                                                             std::to_string(forward.size()) + ")");
        p.check(demo_reader.previous_length == 0, "previous length 0 at the first block");
        return p.text;
    });
}

TEST(DemoSeek, RewindLandsReplaysAndCutsTimingBack)
{
    bvtest::in_fresh_process([] {
        bvtest::Problems p;
        bvtest::TempDir root;
        start(root);
        recorded_and_opened();
        ConsoleCapture console;
        ride_to(1500);
        const int32_t queued = erosion_queue_count();
        p.check(queued == 1, "deformation applied once on the way");
        give_gate_times(10, {100, 500, 900, 1400});
        demo_later_hooks.set_results_final(1);
        ticks_run = results_computed = 0;
        demo_seek(-5);
        const int32_t t = 1500 - 1 - 5 * 128;   // 859
        p.check(ticks_run == 1 && current_tick == t + 1, "one game tick after landing at t: " +
                                                             std::to_string(current_tick));
        p.check(rider_get_timing_position(&rider_slots[10]) == 2, "gate times after t cut");
        p.check(rider_get_gate_time(&rider_slots[10], 1) == 500, "earlier gate kept");
        p.check(!demo_later_hooks.results_final() && results_computed == 1, "results no longer final, recomputed");
        // The walk stopped at the block of tick 784 (the first at or below t - 64).
        p.check(oldest_held(10) == 772, "nothing before the landing block: " + std::to_string(oldest_held(10)));
        for (int32_t k = 772; k <= t + 64; k += 4)
            p.check(held(10, k) && held(11, k), "held " + std::to_string(k));

        // Back before the deformation and the chat, then forward past them again.
        demo_seek(-10);
        ride_to(700);
        p.check(erosion_queue_count() == queued, "deformation not applied again");
        const std::string said = console.text();
        p.check(said.find("at six hundred") != said.rfind("at six hundred"), "chat dispatched again");
        return p.text;
    });
}

TEST(DemoSeek, SkipRunsGameTicksWithoutRoostAndRefusalsDoNothing)
{
    bvtest::in_fresh_process([] {
        bvtest::Problems p;
        bvtest::TempDir root;
        start(root);
        recorded_and_opened();
        ride_to(300);
        graphics_settings.roost_density = 640;
        densities.clear();
        ticks_run = 0;
        demo_seek(1);
        p.check(ticks_run == 128 && current_tick == 428, "128 ticks run");
        p.check(std::all_of(densities.begin(), densities.end(), [](double d) { return d == 0; }), "no roost");
        p.check(graphics_settings.roost_density == 640, "density restored");

        auto unmoved = [&](const std::string& why) {
            ticks_run = 0;
            demo_seek(-1);
            demo_seek(1);
            p.check(ticks_run == 0 && current_tick == 428, why);
        };
        put_rider(20, rider_kind_local);
        unmoved("a local rider refuses");
        race.kinds[20] = rider_kind_bot;
        unmoved("an automatic rider refuses");
        fake.occupied[20] = false;
        race.kinds[20] = rider_kind_remote;

        // Recording (a time-trial file, so the playing one is kept).
        race.time_trial_active = 1;
        demo_record_open();
        race.time_trial_active = 0;
        unmoved("recording refuses");
        demo_record_close();
        demo_playback_close();
        unmoved("no demo refuses");
        return p.text;
    });
}

namespace {

// A version-4 or 5 demo: R riders, frames of R records whose bytes name (frame, record).
std::string legacy_demo(int version, int riders, int frames, const std::string& header_tail = " 0 3 1500\n")
{
    const int size = version == 4 ? 26 : 39;
    std::string out = "BV0" + std::to_string(version) + " " + std::to_string(riders) + header_tail;
    out += "tracks/sample\n";
    for (int i = 0; i < riders; ++i)
        out += "cr125|a.png|b.png|c.png|d.png\n" + std::to_string(100 + i) + "\n";
    for (int f = 0; f < frames; ++f)
        for (int r = 0; r < riders; ++r)
            for (int b = 0; b < size; ++b)
                out += char(f * 3 + r * 50 + b + 1);
    return out;
}

bool holds_record(int32_t slot, int32_t tick, int frame, int record, int size)
{
    for (int32_t k = 0; k < kHistoryLength; ++k) {
        if (history_ticks[slot][k] != tick)
            continue;
        for (int b = 0; b < kPackedStateSize; ++b)
            if (history_states[slot][k][b] != (b < size ? uint8_t(frame * 3 + record * 50 + b + 1) : 0))
                return false;
        return true;
    }
    return false;
}

void legacy_seats()
{
    put_rider(2, rider_kind_remote);
    put_rider(4, rider_kind_local);
    put_rider(7, rider_kind_remote);
}

// The engine sound records' presence values, as the world presentation keeps them.
float presence[kDemoRiders];

void watch_presence()
{
    engine_sound_presence = [](int32_t slot) { return &presence[slot]; };
}

}  // namespace

TEST(DemoLegacy, FramesFillTheStateDrivenSlotsInOrder)
{
    bvtest::in_fresh_process([] {
        bvtest::Problems p;
        bvtest::TempDir root;
        start(root);
        // Three records per frame but two state-driven slots: the third is dropped.
        bvtest::write_file(user_file(root, "demos/default.bvdemo"), legacy_demo(5, 3, 400));
        p.check(demo_playback_open() == 1, "v5 opens");
        p.check(race.laps == 3 && race.gate_drop_tick == 1500, "header values");
        p.same(demo_rider_info(1)->number, "101", "number line");
        legacy_seats();
        watch_presence();
        current_tick = race.tick = 100;
        demo_playback_read();
        for (int32_t t = 100; t <= 108; ++t)
            p.check(holds_record(2, t, t - 100, 0, 39) && holds_record(7, t, t - 100, 1, 39),
                    "frame at " + std::to_string(t));
        p.check(!held(2, 109) && held_ticks_none(4), "eight ticks ahead, local slot untouched");
        p.check(presence[2] == 1.0f && presence[7] == 1.0f, "presence");

        // Rewind by arithmetic: frame k is tick k. (Only state-driven riders may seek.)
        fake.occupied[4] = false;
        ticks_run = 0;
        demo_later_hooks.game_tick = counting_tick;
        demo_seek(-0.5);
        const int32_t t = 100 - 1 - 64;
        p.check(ticks_run == 1 && current_tick == t + 1, "landed");
        p.check(holds_record(2, t, t, 0, 39) && holds_record(7, t + 3, t + 3, 1, 39), "frames from t");
        // Forward without "--accurate-skip" jumps the same way.
        demo_seek(1);
        p.check(ticks_run == 2 && holds_record(2, t + 128, t + 128, 0, 39), "skip by arithmetic");
        command_line_options.accurate_skip = true;
        const int32_t before = current_tick;
        demo_seek(1);
        p.check(ticks_run == 2 + 128 && current_tick == before + 128, "accurate skip runs the tick");
        command_line_options.accurate_skip = false;
        return p.text;
    });
}

TEST(DemoLegacy, Version4PadsAndAShortFrameStoresNothing)
{
    bvtest::in_fresh_process([] {
        bvtest::Problems p;
        bvtest::TempDir root;
        start(root);
        std::string file = legacy_demo(4, 2, 3, " 0\n");   // three fields: laps 0, gate drop 14 s
        file += std::string(30, 'x');                       // a fourth frame cut inside record 1
        bvtest::write_file(user_file(root, "demos/default.bvdemo"), file);
        race.laps = 9;
        watch_presence();
        presence[7] = 5;
        p.check(demo_playback_open() == 1, "v4 opens");
        p.check(race.laps == 0 && race.gate_drop_tick == 1792, "defaults of a short header");
        p.check(demo_playback_version() == 4, "layout version 4");
        legacy_seats();
        demo_playback_read();
        for (int32_t t = 0; t < 3; ++t)
            p.check(holds_record(2, t, t, 0, 26) && holds_record(7, t, t, 1, 26), "padded frame " + std::to_string(t));
        p.check(held(2, 3) && !held(7, 3), "whole record kept, the cut one not");
        p.check(presence[7] == 0.0f, "presence 0 on a short record");
        demo_playback_read();
        p.check(!held(7, 3), "still nothing half-read");
        return p.text;
    });
}
