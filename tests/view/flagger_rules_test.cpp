#include "view/flagger_rules.h"

#include <gtest/gtest.h>

namespace {

TEST(StartFlagger, BoardRaisedDroppedThenWalksOff)
{
    // Reference 640 ticks: the drop comes at D = 5 s.
    const struct {
        int32_t tick;
        int texture;
    } table[] = {{650, 0}, {660, 1}, {720, 2}, {800, 3}, {1000, 4}};
    for (const auto& row : table)
        EXPECT_EQ(start_flagger_at(row.tick, 640, 1).texture, row.texture) << row.tick;
    EXPECT_FLOAT_EQ(start_flagger_at(int32_t(6.5 * 128), 640, 1).walk, 0.5f);
    EXPECT_FLOAT_EQ(start_flagger_at(700, 640, 1).walk, 0);
    EXPECT_FLOAT_EQ(start_flagger_at(2000, 640, 1).walk, 1);
}

TEST(StartFlagger, AWalkOfNoDurationIsAStep)
{
    for (float walk : {0.0f, -2.0f}) {
        EXPECT_EQ(start_flagger_at(767, 640, walk).walk, 0) << walk;
        EXPECT_EQ(start_flagger_at(768, 640, walk).walk, 1) << walk;
        EXPECT_EQ(start_flagger_at(768, 640, walk).texture, 4) << walk;
    }
}

lap_board_race board(int32_t g, int32_t laps)
{
    lap_board_race r{};
    r.leader_position = g;
    r.first_lap = 3;
    r.normal_lap = 4;
    r.total_laps = laps;
    r.lap_estimate = (laps + 1) / 2;
    r.extra_laps = laps;
    r.tick = 100;
    r.gate_drop_tick = 1000;   // before the drop: no time has passed
    return r;
}

TEST(LapBoard, PlainHalfwayWhiteAndChequered)
{
    const struct {
        int32_t g;
        int texture;
    } table[] = {{-1, 0}, {1, 0}, {6, 1}, {10, 2}, {14, 3}, {30, 3}};
    for (const auto& row : table)
        EXPECT_EQ(lap_board_texture(board(row.g, 4)), row.texture) << row.g;
}

TEST(LapBoard, ATimedRaceEndsAtTheLeadersLapPlusTheExtraLaps)
{
    lap_board_race r = board(10, 1000000);
    r.lap_estimate = 1000000;
    r.extra_laps = 1;
    r.time_limit_ticks = 128 * 60;
    r.gate_drop_tick = 0;
    r.tick = 128 * 60 - 1;
    EXPECT_EQ(lap_board_texture(r), 0);   // the time is not up yet
    r.tick = 128 * 60;
    EXPECT_EQ(lap_board_texture(r), 2);   // T = 3 + 1: the last lap begins
    r.leader_position = 11;               // past the lap end: T stays the race's
    EXPECT_EQ(lap_board_texture(r), 0);
}

TEST(GateFlags, PositionWithinTheLapAndTheGateItNames)
{
    EXPECT_EQ(lap_position(-1, 3, 4), 0);
    EXPECT_EQ(lap_position(2, 3, 4), 2);
    EXPECT_EQ(lap_position(3, 3, 4), 3);
    EXPECT_EQ(lap_position(9, 3, 4), 5);
    EXPECT_EQ(lap_position(7, 3, 0), 0);
    EXPECT_EQ(lap_entry_gate(4, 6), 4);
    EXPECT_EQ(lap_entry_gate(100004, 6), 4);
    // Gates the editor has deleted since the lists were read are ignored.
    EXPECT_EQ(lap_entry_gate(6, 6), -1);
    EXPECT_EQ(lap_entry_gate(100009, 6), -1);
    EXPECT_EQ(lap_entry_gate(-1, 6), -1);
}

}  // namespace
