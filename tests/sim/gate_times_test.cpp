// Gate crossings and laps with a made-up course and running order; the front wheel is
// placed by hand, no bike is built.
//
//   gates 0..5 along +x, 20 ft apart, each a half-disc of radius 3 facing +x
//   first lap: 0 1 2          (F = 3; position 2 is the first lap line)
//   normal lap: 3 4 5 2       (L = 4; positions 6, 10, ... are lap lines; gate 3 is
//                              listed with the non-switch mark 100003)
#include "sim/gate_times.h"

#include "terrain/timing_gates.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

int32_t tick_now = 0;
int32_t drop_tick = 0;
int32_t race_laps = 2;
int32_t leader = -1;
int refreshes = 0;
std::vector<int32_t> crossings;      // t, expected pairs from the learning half
int downs = 0, cancels = 0;

class GateTimes : public ::testing::Test {
protected:
    rider_slot* a = &rider_slots[0];
    rider_slot* b = &rider_slots[1];

    void SetUp() override
    {
        std::memset(&timing_gates, 0, sizeof timing_gates);
        for (int g = 0; g < 6; ++g)
            timing_gates.checkpoints[g] = {20.0f * g, 0.0f, 50.0f, 1.0f, 0.0f, 0.0f, 3.0f, 0};
        timing_gates.checkpoint_count = 6;
        const int32_t entries[] = {0, 1, 2, 100003, 4, 5, 2};
        std::memcpy(timing_gates.lap_entries, entries, sizeof entries);
        timing_gates.firstlap_length = 3;
        timing_gates.normallap_length = 4;

        tick_now = 0;
        drop_tick = 640;
        race_laps = 2;
        leader = -1;
        refreshes = downs = cancels = 0;
        crossings.clear();
        gate_timing_hooks = {[] { return tick_now; }, [] { return drop_tick; }, [] { return race_laps; },
                             [] { return leader; }, [] { ++refreshes; }};
        gate_learning_hooks = {nullptr, [](rider_slot*) { ++downs; }, [](rider_slot*) { ++cancels; },
                               [](rider_slot* r, int32_t t, int32_t expected) {
                                   EXPECT_EQ(r->timing_position, t);
                                   EXPECT_EQ(rider_get_gate_time(r, t), tick_now);
                                   crossings.push_back(t);
                                   crossings.push_back(expected);
                               }};
        for (rider_slot* r : {a, b}) {
            std::memset(r, 0, sizeof *r);
            ASSERT_EQ(array_init(&r->gate_times, sizeof(int32_t)), 1);
        }
    }
    void TearDown() override
    {
        for (rider_slot* r : {a, b}) {
            array_free(&r->gate_times);
            array_free(&r->path);
        }
        gate_timing_hooks = {};
        gate_learning_hooks = {};
        std::memset(&timing_gates, 0, sizeof timing_gates);
    }

    // The front wheel just past gate g at tick t.
    void at_gate(rider_slot* r, int g, int32_t t)
    {
        tick_now = t;
        const float w[3] = {20.0f * g + 0.5f, 0.0f, 50.0f};
        rider_gate_tick_at(r, w);
    }
    void nowhere(rider_slot* r, int32_t t)
    {
        tick_now = t;
        const float w[3] = {-100.0f, 0.0f, -100.0f};
        rider_gate_tick_at(r, w);
    }
    // Rides positions from..to in order, one per tick from tick t.
    void ride(rider_slot* r, int32_t from, int32_t to, int32_t t)
    {
        for (int32_t p = from; p <= to; ++p)
            at_gate(r, timing_gates_entry_at(p) % kFlaggedLapEntry, t + (p - from));
    }
};

}  // namespace

TEST_F(GateTimes, LapsAndLapTimesOfATwoLapRace)
{
    EXPECT_EQ(rider_lap_time(a, -1), 0.0) << "no lap completed yet";
    ride(a, 0, 1, 700);
    at_gate(a, 2, 1920);
    EXPECT_EQ(rider_get_timing_position(a), 3);
    EXPECT_EQ(rider_laps_completed(a), 1);
    EXPECT_DOUBLE_EQ(rider_lap_time(a, 1), 10.0) << "gate drop 640 to 1920";
    EXPECT_DOUBLE_EQ(rider_lap_time(a, -1), 10.0);
    EXPECT_EQ(a->finished, 0);

    ride(a, 3, 5, 2000);
    at_gate(a, 2, 3200);  // position 6, the final position
    EXPECT_EQ(rider_laps_completed(a), 2);
    EXPECT_DOUBLE_EQ(rider_lap_time(a, 2), (3200 - 1920) / 128.0);
    EXPECT_DOUBLE_EQ(rider_lap_time(a, 3), 0.0);
    EXPECT_EQ(a->finished, 1) << "second lap of two";
    EXPECT_EQ(rider_has_finished(a), 1);

    // Finished riders count nothing more.
    at_gate(a, 3, 3300);
    EXPECT_EQ(rider_get_timing_position(a), 7);
    EXPECT_EQ(refreshes, 7);
    EXPECT_EQ(crossings.size(), 14u);

    // A missing tick leaves the lap time at 0.
    rider_set_gate_time(a, 2, -1);
    EXPECT_DOUBLE_EQ(rider_lap_time(a, 2), 0.0);
}

TEST_F(GateTimes, WhichPositionCountsInATick)
{
    // Gates 0 and 1 on top of each other: one per tick, in order.
    timing_gates.checkpoints[1].x = 0.0f;
    at_gate(a, 0, 10);
    EXPECT_EQ(rider_get_timing_position(a), 1);
    at_gate(a, 0, 11);
    EXPECT_EQ(rider_get_timing_position(a), 2);
    EXPECT_EQ(rider_get_gate_time(a, 1), 11);
    timing_gates.checkpoints[1].x = 20.0f;

    // Backwards through the gate just passed: not counted again.
    at_gate(a, 1, 12);
    EXPECT_EQ(rider_get_timing_position(a), 2);
    EXPECT_EQ(rider_get_gate_time(a, 1), 11);

    // Behind the centre of a gate (the half-disc faces the way of travel): no crossing.
    tick_now = 13;
    const float behind[3] = {39.5f, 0.0f, 50.0f};
    rider_gate_tick_at(a, behind);
    EXPECT_EQ(rider_get_timing_position(a), 2);

    // Position 2 is a lap line: riding on to position 3's gate does not skip it ...
    at_gate(a, 3, 14);
    EXPECT_EQ(rider_get_timing_position(a), 2);
    // ... but an ordinary position may be skipped: from 3, position 4's gate counts.
    ride(a, 2, 2, 15);
    at_gate(a, 4, 16);
    EXPECT_EQ(rider_get_timing_position(a), 5);
    EXPECT_EQ(rider_get_gate_time(a, 3), -1);
    EXPECT_EQ(crossings.back(), 3) << "the learning half sees the skip";

    // Position 3 (now N - 2) was never reached: crossing it moves the rider back.
    at_gate(a, 3, 17);
    EXPECT_EQ(rider_get_timing_position(a), 4);
    EXPECT_EQ(rider_get_gate_time(a, 3), 17);

    // Back to position 1: its gate counts again.
    rider_truncate_timing(a, 1);
    EXPECT_EQ(a->gate_times.count, 1);
    at_gate(a, 1, 18);
    EXPECT_EQ(rider_get_timing_position(a), 2);
    EXPECT_EQ(rider_get_gate_time(a, 1), 18);

    // Nothing is crossed far from every gate.
    nowhere(a, 19);
    EXPECT_EQ(rider_get_timing_position(a), 2);
}

TEST_F(GateTimes, FinishAgainstTheLeader)
{
    // a leads and finishes; b finishes at its own next lap line, on the first lap.
    leader = 0;
    ride(a, 0, 6, 1000);
    EXPECT_EQ(a->finished, 1);
    ride(b, 0, 1, 900);
    EXPECT_EQ(rider_has_finished(b), 0);
    at_gate(b, 2, 1100);
    EXPECT_EQ(b->finished, 1);
    EXPECT_EQ(rider_laps_completed(b), 1);

    // Asked instead of crossing: a rider whose last lap line came after the leader's finish.
    b->finished = 0;
    EXPECT_EQ(rider_has_finished(b), 1);
    b->finished = 0;
    rider_set_gate_time(b, 2, 1005);
    EXPECT_EQ(rider_has_finished(b), 0) << "crossed before the leader finished";

    // Without a lap count every lap line ends the race for the rider crossing it.
    race_laps = 0;
    leader = -1;
    rider_truncate_timing(b, 0);
    ride(b, 0, 2, 2000);
    EXPECT_EQ(b->finished, 1);

    // An automatic rider that finishes eases off along the rest of its path.
    rider_truncate_timing(b, 0);
    EXPECT_EQ(b->finished, 0);
    b->personality = 1;
    ASSERT_EQ(array_init(&b->path, sizeof(ai_line_point)), 1);
    for (int k = 0; k < 5; ++k) {
        const ai_line_point p = {0, 0, 0, 40.0f, 0};
        array_push(&b->path, &p);
    }
    b->path_count = 5;
    b->path_index = 1;
    ride(b, 0, 2, 3000);
    const auto* path = static_cast<const ai_line_point*>(b->path.items);
    EXPECT_FLOAT_EQ(path[0].speed, 40.0f);
    EXPECT_FLOAT_EQ(path[1].speed, 40.0f);
    EXPECT_FLOAT_EQ(path[4].speed, 40.0f * (0.75f / 4.0f + 0.25f));
}

TEST_F(GateTimes, RiderDownAndTheLearningHalf)
{
    a->rider_down = 1;
    nowhere(a, 5);
    EXPECT_EQ(a->rider_down, 2);
    EXPECT_EQ(downs, 1);
    nowhere(a, 6);
    EXPECT_EQ(downs, 1) << "only when the flag first moves";
    at_gate(a, 0, 7);
    EXPECT_EQ(cancels, 1);
    EXPECT_EQ(a->rider_down, 0);
    at_gate(a, 1, 8);
    EXPECT_EQ(cancels, 1);
    EXPECT_EQ(crossings, (std::vector<int32_t>{0, 0, 1, 1}));
    a->rider_down = 1;
    rider_truncate_timing(a, 2);
    EXPECT_EQ(a->rider_down, 0);
}

TEST_F(GateTimes, GateTimeArrayAndBadInput)
{
    rider_set_gate_time(a, 20, 99);
    EXPECT_EQ(a->gate_times.count, 21);
    for (int p = 0; p < 20; ++p)
        EXPECT_EQ(rider_get_gate_time(a, p), -1) << p;
    EXPECT_EQ(rider_get_gate_time(a, 20), 99);
    EXPECT_EQ(rider_get_gate_time(a, 21), -1);
    EXPECT_EQ(rider_get_gate_time(a, -1), -1);

    // Positions from outside data that no race reaches are ignored, not allocated.
    rider_set_gate_time(a, -3, 5);
    rider_set_gate_time(a, kGateTimeMaxPositions, 5);
    rider_set_gate_time(a, INT32_MAX, 5);
    EXPECT_EQ(a->gate_times.count, 21);
    rider_set_gate_time(a, kGateTimeMaxPositions - 1, 5);
    EXPECT_EQ(a->gate_times.count, kGateTimeMaxPositions);

    // Truncating below the position clears the finish; above it only moves the position.
    a->timing_position = 30;
    a->finished = 1;
    rider_truncate_timing(a, 40);
    EXPECT_EQ(a->finished, 1);
    EXPECT_EQ(a->gate_times.count, 40);
    rider_truncate_timing(a, 10);
    EXPECT_EQ(a->finished, 0);
    EXPECT_EQ(rider_get_timing_position(a), 10);

    // A normal lap of no positions (an edited list): no laps and no division by zero.
    timing_gates.normallap_length = 0;
    a->timing_position = 7;
    EXPECT_EQ(rider_laps_completed(a), 0);
    EXPECT_EQ(rider_lap_time(a, 1), 0.0);
    leader = 1;
    b->timing_position = 9;
    EXPECT_EQ(rider_has_finished(a), 0);
    at_gate(a, 0, 50);
    EXPECT_EQ(rider_get_timing_position(a), 7);

    // An untimed track: nothing at all.
    timing_gates.normallap_length = 4;
    timing_gates.checkpoint_count = 0;
    rider_truncate_timing(a, 0);
    at_gate(a, 0, 60);
    EXPECT_EQ(rider_get_timing_position(a), 0);
    EXPECT_EQ(rider_laps_completed(a), 0);
    EXPECT_EQ(rider_has_finished(a), 0);
}
