// Playing a recorded demo back: the header into the race and the rider tables, the
// states into the histories of the mapped slots, the events dispatched, the two
// timelines (replay and ghost) and the limits of one read.
#include "demo_fixture.h"

#include "race/demo/demo_reader.h"
#include "race/rider_history.h"
#include "sim/race_clock.h"
#include "support/console_capture.h"
#include "support/fresh_process.h"
#include "terrain/ruts.h"
#include "terrain/track_list.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>

using namespace demotest;

namespace {

std::string script_texts;

std::set<int32_t> held_ticks(int32_t slot)
{
    std::set<int32_t> out;
    for (int32_t k = 0; k < kHistoryLength; ++k)
        if (history_ticks[slot][k] >= 0)
            out.insert(history_ticks[slot][k]);
    return out;
}

// The held state of slot at tick equals the recorded one of recorded_slot.
bool holds_state(int32_t slot, int32_t tick, int32_t recorded_slot, int32_t shift = 0)
{
    const packed_rider_state want = state_of(recorded_slot, tick - shift);
    for (int32_t k = 0; k < kHistoryLength; ++k)
        if (history_ticks[slot][k] == tick)
            return memcmp(history_states[slot][k], want.bytes, kPackedStateSize) == 0;
    return false;
}

// A one-point deformation record that decodes.
std::string deformation()
{
    wheel_ruts ruts{};
    wheel_ruts_reset(&ruts);
    ruts.point_count = 1;
    ruts.points[0] = {100, 200, 0.5f, -0.25f, 4};
    uint8_t record[kDeformationRecordMax];
    const int32_t n = deformation_record_encode(&ruts, track_terrain.world_size, record);
    return std::string(reinterpret_cast<const char*>(record), size_t(n));
}

// Records slot 0 (local), 3 (bot) and 5 (remote, not recorded) from tick `from` to
// `last`, with the four kinds of event and an unknown one early on.
void record_race(int32_t from, int32_t last, int32_t laps_at_close)
{
    put_rider(0, rider_kind_local, "Player");
    put_rider(3, rider_kind_bot, "Roborider");
    put_rider(5, rider_kind_remote);
    fake.texts[3].number = "12345";
    current_tick = race.tick = from;
    demo_record_open();
    demo_record_states(1);
    while (current_tick < last) {
        tick();
        if (current_tick == from + 8) {
            demo_record_event(demo_block_chat, "hello", 5);
            demo_record_event(demo_block_erode, "erode 512", 9);
            const std::string d = deformation();
            demo_record_event(demo_block_deformation, d.data(), int32_t(d.size()));
            demo_record_event(demo_block_script, "lap 2", 5);
            demo_record_event(9, "ignored", 7);
        }
    }
    race.laps = laps_at_close;
    demo_record_close();
    for (int32_t k : {0, 3, 5})
        fake.occupied[k] = false;
}

// Two kind-1 slots play the demo's two riders.
void take_seats()
{
    put_rider(10, rider_kind_remote);
    put_rider(11, rider_kind_remote);
    demo_set_rider_slot(0, 10);
    demo_set_rider_slot(1, 11);
}

}  // namespace

TEST(DemoPlayback, RoundTripThroughTheUserFolder)
{
    bvtest::in_fresh_process([] {
        bvtest::Problems p;
        bvtest::TempDir root;
        start(root);
        record_race(0, 400, 7);
        history_clear_all();
        const std::string file = bvtest::read_file(user_file(root, "demos/default.bvdemo"));

        race.laps = 1;
        current_tick = race.tick = 0;
        demo_later_hooks.script_message = [](const char* text) { script_texts += text; };
        p.check(demo_playback_open() == 1, "opens");
        p.check(race.laps == 7 && race.gate_drop_tick == 1792 && race.time_limit_ticks == 0, "race values");
        p.check(demo_rider_count() == 2 && demo_playback_version() == 6, "two riders, version 6");
        const demo_rider_entry* r0 = demo_rider_info(0);
        const demo_rider_entry* r1 = demo_rider_info(1);
        p.check(r0 && r1 && !demo_rider_info(2), "rider tables");
        if (r0 && r1) {
            p.same(r0->bike, "yz250f(2017)", "bike");
            p.same(r0->rider_texture, "@rider_body-a.png", "rider texture");
            p.check(!r0->bike_texture && !r0->wheel_texture && !r0->head_texture, "empty textures null");
            p.same(r1->number, "123", "number cut to 3");
            p.same(r1->name, "Roborider", "name line");
        }
        const size_t header = file.find("Roborider\n\n") + 11;
        p.check(demo_reader.block_start == int64_t(header), "block start is the header's size");

        take_seats();
        const int32_t queued = erosion_queue_count();
        ConsoleCapture console;
        demo_playback_read();
        p.check(console.text().find("hello") != std::string::npos, "chat printed");
        p.check(track_terrain.erosion_amount == 512, "erosion amount set");
        p.check(erosion_queue_count() == queued + 1, "deformation queued");
        p.same(script_texts, "lap 2", "script handler");
        p.check(demo_reader.read_ahead_tick >= current_tick + 64 && demo_reader.read_ahead_tick <= current_tick + 80,
                "64 ticks ahead: " + std::to_string(demo_reader.read_ahead_tick));
        for (int32_t t = 0; t <= 64; t += 4)
            p.check(holds_state(10, t, 0) && holds_state(11, t, 3), "state at tick " + std::to_string(t));
        p.check(held_ticks(10).size() == size_t(demo_reader.read_ahead_tick / 4 + 1), "nothing beyond the blocks read");

        // Riding on: every recorded state reaches its slot.
        while (current_tick < 330)
            tick();
        for (int32_t t = 200; t <= 392; t += 4)
            p.check(holds_state(10, t, 0) && holds_state(11, t, 3), "later state " + std::to_string(t));
        demo_playback_close();
        p.check(!demo_playing(), "closed");
        return p.text;
    });
}

TEST(DemoPlayback, ReplayJumpsToTheFirstBlockAndAGhostShiftsInstead)
{
    bvtest::in_fresh_process([] {
        bvtest::Problems p;
        bvtest::TempDir root;
        start(root);
        record_race(50, 200, 1000);
        history_clear_all();
        snprintf(demo_settings.chosen, sizeof demo_settings.chosen, "@demos/default.bvdemo");

        current_tick = race.tick = 0;
        demo_playback_open();
        take_seats();
        demo_playback_read();
        p.check(current_tick == 50 && race.tick == 50, "replay jumps to tick 50");
        p.check(holds_state(10, 50, 0), "first state at its own tick");

        history_clear_all();
        race.time_trial_active = 1;
        current_tick = race.tick = 1000;
        demo_playback_open();
        take_seats();
        demo_playback_read();
        p.check(current_tick == 1000, "ghost keeps the tick");
        p.check(demo_reader.tick_offset == 950, "offset");
        p.check(holds_state(10, 1000, 0, 950) && holds_state(11, 1042, 3, 950), "ghost states shifted");
        p.check(demo_reader.read_ahead_tick >= 1064, "read-ahead in race time");
        return p.text;
    });
}

TEST(DemoPlayback, ReadsAtMost128BlocksPerCall)
{
    bvtest::in_fresh_process([] {
        bvtest::Problems p;
        bvtest::TempDir root;
        start(root);
        Encoder e;
        e.bytes = one_rider_head();
        for (int i = 0; i < 200; ++i)
            e.block(9, 0, "x");
        e.block(demo_block_states, 0, Encoder::entry(0, 0, state_of(0, 0)));
        bvtest::write_file(user_file(root, "demos/default.bvdemo"), e.bytes);
        p.check(demo_playback_open() == 1, "opens");
        take_seats();
        demo_playback_read();
        p.check(held_ticks(10).empty(), "first call stops after 128 blocks");
        demo_playback_read();
        p.check(holds_state(10, 0, 0), "second call reaches the states");
        return p.text;
    });
}
