// The automatic rider on a built bike (the world is not stepped): who is driven, the
// start at the gate, stopping without lines, the line pick, and line learning at the
// gates.
#include "ai_lines_fixture.h"
#include "sim_fixture.h"

#include "sim/ai_lines_learning.h"
#include "sim/autopilot_drive.h"
#include "sim/autopilot_plan.h"
#include "sim/gate_times.h"
#include "sim/race_clock.h"
#include "sim/rider_access.h"
#include "foundation/numbers/random.h"
#include "terrain/timing_gates.h"

#include <cmath>

namespace {

int& clock_tick = current_tick;
int drop_tick;

class Autopilot : public simtest::BikeTest {
protected:
    void SetUp() override
    {
        clock_tick = 0;
        drop_tick = 13 * 128;
        gate_timing_hooks = {};
        gate_timing_hooks.gate_drop_tick = [] { return int32_t(drop_tick); };
        random_seed(1234);
        // Lap lists 0 1 2 | 3 4 5 (every entry a switch point): 3 + 3 tables.
        timing_gates = {};
        const int32_t lists[] = {0, 1, 2, 3, 4, 5};
        std::copy(lists, lists + 6, timing_gates.lap_entries);
        timing_gates.firstlap_length = timing_gates.normallap_length = 3;
        timing_gates.firstlap_counted = timing_gates.normallap_counted = 3;
        timing_gates.checkpoint_count = 6;
        ASSERT_EQ(ai_lines_resize(3, 3), 1);
        rider = create();
    }
    void TearDown() override
    {
        ai_lines_free();
        gate_timing_hooks = {};
        timing_gates = {};
    }
    void run_until(int tick)
    {
        for (; clock_tick < tick; ++clock_tick)
            autopilot_tick(rider);
    }
    // Lines of 21 points along -z (the way the bike faces) from z = 0 for table t.
    void lines_ahead(int t, float x, float z0 = 0)
    {
        for (ai_line& line : ai_lines.tables[t].lines)
            if (!ai_line_used(line)) {
                aitest::put_line(line, 21, 0, 0);
                for (int i = 0; i < 21; ++i)
                    line.points[i] = {x, 2, z0 - 5.0f * float(i), 20, 0};
                return;
            }
    }
    rider_slot* rider = nullptr;
};

TEST_F(Autopilot, ARiderWithoutAPersonalityIsNeverDriven)
{
    rider->personality = 0;
    rider_set_throttle(rider, 0.5f);
    run_until(20 * 128);
    EXPECT_FLOAT_EQ(rider->throttle, 0.5f);
    EXPECT_FLOAT_EQ(rider->front_brake, 0.0f);
}

TEST_F(Autopilot, LaunchesWithinThePersonalitysWindowAfterTheDrop)
{
    struct Case {
        const char* name;
        float early, late;
    } cases[] = {{"sollo", 0.0f, 0.1f}, {"ostro", 0.2f, 0.4f}, {"vardle", 0.2f, 0.4f}};
    for (const Case& c : cases) {
        for (uint32_t seed = 1; seed <= 5; ++seed) {
            SCOPED_TRACE(std::string(c.name) + " seed " + std::to_string(seed));
            random_seed(seed);
            bike_reset(rider);
            autopilot_set_personality(rider, c.name);
            clock_tick = 0;
            int launch = -1, blips = 0;
            float last_throttle = 0;
            for (; clock_tick < drop_tick + 128 && launch < 0; ++clock_tick) {
                autopilot_tick(rider);
                blips += clock_tick < 5 * 128 && rider->throttle > last_throttle ? 1 : 0;
                last_throttle = rider->throttle;
                if (rider->front_brake == 0.0f)
                    launch = clock_tick;
                else
                    EXPECT_FLOAT_EQ(rider->rear_brake, 1.0f);   // held at the gate
            }
            EXPECT_GE(blips, 1);
            const float after = float(launch - drop_tick) / 128;
            EXPECT_GE(after, c.early - 1.0f / 128);
            EXPECT_LE(after, c.late + 1.0f / 128);
        }
    }
}

TEST_F(Autopilot, WithoutLinesTheBotStopsWithBothBrakes)
{
    autopilot_set_personality(rider, "sollo");
    clock_tick = drop_tick + 6 * 128;
    run_until(clock_tick + 10);
    EXPECT_FLOAT_EQ(rider->throttle, 0.0f);
    EXPECT_FLOAT_EQ(rider->front_brake, 1.0f);
    EXPECT_FLOAT_EQ(rider->rear_brake, 1.0f);
    EXPECT_EQ(rider->path_count, 0);
    // A bot that lost its path long ago still stops instead of dividing by the count.
    rider->recovery = 3;
    rider->progress_tick = 0;
    clock_tick += 50 * 128;
    run_until(clock_tick + 2);
    EXPECT_FLOAT_EQ(rider->front_brake, 1.0f);
}

TEST_F(Autopilot, FollowsItsPathUprightAtAStandstillWithFiniteControls)
{
    autopilot_set_personality(rider, "ostro");
    for (int t = 0; t < 6; ++t)
        lines_ahead(t, 0, -105.0f * float(t));
    clock_tick = drop_tick + 6 * 128;
    rider->progress_tick = clock_tick;
    rider->front_contact.depth = rider->rear_contact.depth = 0.05f;   // on the ground
    run_until(clock_tick + 3);
    ASSERT_GT(rider->path_count, 10);
    EXPECT_EQ(rider->segment_counter, 1);
    EXPECT_NE(rider->picked_lines[0], 0);
    EXPECT_GT(rider->path_index, 0);
    for (float control : {rider->throttle, rider->steering, rider->clutch, rider->front_brake, rider->rear_brake})
        EXPECT_TRUE(std::isfinite(control));
    EXPECT_GT(rider->throttle, 0.0f);   // 20 ft/s wanted, standing still
    EXPECT_NEAR(rider->steering, 0.0f, 0.05f);
}

TEST_F(Autopilot, ABotCloseBehindAnotherRidesSlowerThanIt)
{
    // 100 s into the race the gap kept is 13.6 ft and the speed at most 0.95 of the
    // rider ahead's: 20 ft/s here, the path asking for 30.
    autopilot_set_personality(rider, "ostro");
    for (int t = 0; t < 6; ++t)
        lines_ahead(t, 0, -105.0f * float(t));
    for (ai_line_point* p = ai_lines.tables[0].lines[0].points; p < ai_lines.tables[0].lines[0].points + 21; ++p)
        p->speed = 30;
    clock_tick = 100 * 128;
    rider->progress_tick = clock_tick;
    rider->timing_position = 1;
    rider->front_contact.depth = rider->rear_contact.depth = 0.05f;
    rider->gear = 2;
    auto ride_at = [](rider_slot* r, float z, float speed) {
        for (dBodyID b : r->bodies) {
            const dReal* p = dBodyGetPosition(b);
            dBodySetPosition(b, p[0], p[1], p[2] + z);
            dBodySetLinearVel(b, 0, 0, -speed);
        }
    };
    ride_at(rider, 0, 20);
    autopilot_tick(rider);   // takes its first line (which counts its progress from 30 s)
    rider->progress_tick = clock_tick;
    rider->recovery = 0;
    autopilot_tick(rider);
    EXPECT_FLOAT_EQ(rider->throttle, 1.0f);
    EXPECT_FLOAT_EQ(rider->front_brake, 0.0f);

    rider_slot* ahead = create("cr125", 1, "8");
    ride_at(ahead, -10, 20);
    ++clock_tick;
    autopilot_tick(rider);
    EXPECT_FLOAT_EQ(rider->front_brake, 1.0f);   // 20 - 0.95 x 20 = 1: full brakes
    EXPECT_FLOAT_EQ(rider->throttle, 1 - 1.0f / 32);   // and the throttle closing smoothly
}

TEST_F(Autopilot, RecentlyPickedLinesScoreLessAndSharedEndsShareTheirRest)
{
    // Two lines as good and as near as each other, 3 ft either side of the bike.
    autopilot_set_personality(rider, "ostro");
    lines_ahead(2, -3);
    lines_ahead(2, 3);
    lines_ahead(2, 4.5f);   // ends 1.5 ft from the second: marked with it
    lines_ahead(2, 40);     // far off: a poor start match
    for (int t : {3, 4, 5, 0})
        lines_ahead(t, 0, -105);
    ai_line* lines = ai_lines.tables[2].lines;
    clock_tick = 100 * 128;
    lines[0].last_picked = clock_tick - 128;   // a second ago: a third of its weight
    EXPECT_EQ(autopilot_pick_line(rider, 2), &lines[1]);
    EXPECT_EQ(lines[1].last_picked, clock_tick);
    EXPECT_EQ(lines[2].last_picked, clock_tick);
    EXPECT_EQ(lines[0].last_picked, clock_tick - 128);
    EXPECT_EQ(lines[3].last_picked, 0);
    clock_tick += 128;   // now the first was picked two seconds ago, the second one
    EXPECT_EQ(autopilot_pick_line(rider, 2), &lines[0]);

    EXPECT_EQ(autopilot_pick_line(rider, 1), nullptr);   // an empty table
    rider->finished = 1;
    EXPECT_EQ(autopilot_pick_line(rider, 2), nullptr);
}

TEST_F(Autopilot, HumanRidesAreRecordedAndOfferedSegmentBySegment)
{
    rider->personality = 0;
    // Ride segment 1 (between positions 0 and 1), sampled every 32 ticks.
    rider_set_gate_time(rider, 0, 100);
    rider->timing_position = 1;
    for (clock_tick = 100; clock_tick < 300; ++clock_tick) {
        dBodySetPosition(rider->bodies[body_frame], 0, 2, -0.1 * (clock_tick - 100));
        ai_lines_learning_tick(rider);
    }
    EXPECT_EQ(rider->line_buffers[1].count, 6);   // ticks 128, 160, ..., 288
    rider_set_gate_time(rider, 1, 300);
    rider->timing_position = 1;
    ai_lines_learning_crossed(rider, 1, 1);   // Q = 1: offers segment 0 (empty, cancelled)
    EXPECT_EQ(ai_table_used_count(ai_lines.tables[0]), 0);
    rider->timing_position = 2;
    rider_set_gate_time(rider, 2, 420);
    ai_lines_learning_crossed(rider, 2, 2);   // Q = 2: segment 1 goes to table 1
    ASSERT_EQ(ai_table_used_count(ai_lines.tables[1]), 1);
    const ai_line& line = ai_lines.tables[1].lines[0];
    EXPECT_EQ(line.point_count, 6);
    EXPECT_EQ(line.segment_time, 200);
    EXPECT_EQ(line.extended_time, 320);
    EXPECT_EQ(rider->line_buffers[1].count, 0);

    // A fall in the segment cancels it; a skipped gate clears both buffers.
    rider->timing_position = 3;
    for (clock_tick = 448; clock_tick < 600; clock_tick += 32)
        ai_lines_learning_tick(rider);
    ai_lines_learning_cancel(rider);
    rider_set_gate_time(rider, 3, 600);
    ai_lines_learning_crossed(rider, 3, 3);
    EXPECT_EQ(ai_table_used_count(ai_lines.tables[3]), 0);
    for (clock_tick = 608; clock_tick < 700; clock_tick += 32)
        ai_lines_learning_tick(rider);
    ai_lines_learning_crossed(rider, 5, 4);
    EXPECT_EQ(rider->line_buffers[0].count + rider->line_buffers[1].count, 0);
}

TEST_F(Autopilot, BotsCreditAndBlameThePickedLines)
{
    autopilot_set_personality(rider, "ostro");
    lines_ahead(1, 0);
    ai_line& line = ai_lines.tables[1].lines[0];
    rider->picked_lines[1] = line.line_id;
    EXPECT_EQ(autopilot_count_failure(rider, 1), 0);   // position 1 lies in segment 1
    EXPECT_EQ(line.failures, 1);
    EXPECT_EQ(rider->picked_lines[1], 0);
    EXPECT_EQ(autopilot_count_failure(rider, 1), ai_lines_per_table);

    // Crossing position 2 on the path, in time: segment 1 is credited.
    rider->picked_lines[1] = line.line_id;
    for (int i = 0; i < line.point_count; ++i)
        array_push(&rider->path, &line.points[i]);
    rider->path_count = rider->path.count;
    rider->path_index = 4;
    dBodySetPosition(rider->bodies[body_frame], 0, 2, -12);
    rider_set_gate_time(rider, 0, 100);
    rider_set_gate_time(rider, 1, 300);
    rider_set_gate_time(rider, 2, 420);
    rider->timing_position = 2;
    ai_lines_learning_crossed(rider, 2, 2);
    EXPECT_EQ(line.tested, 1);
    EXPECT_EQ(line.segment_time_sum, 200);
    EXPECT_EQ(line.extended_time_sum, 320);
    EXPECT_EQ(line.best_segment_time, 200);

    // Off the path by more than 4 ft: a failure instead.
    rider->picked_lines[1] = line.line_id;
    dBodySetPosition(rider->bodies[body_frame], 6, 2, -12);
    ai_lines_learning_crossed(rider, 2, 2);
    EXPECT_EQ(line.tested, 1);
}

}  // namespace
