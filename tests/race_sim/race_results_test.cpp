// The running order, the race length of a timed race, when the results become final,
// the cutting penalty and its laps, "@results.txt", the off-course test and the gaps.
#include "race_table.h"

#include "race/net/net_connection.h"
#include "race/net/net_client.h"
#include "race/race_state.h"
#include "race/rider_history.h"
#include "sim/race_clock.h"
#include "sim/sim_fixture.h"
#include "support/test_support.h"
#include "terrain/track_list.h"

#include <cstdio>

namespace {

using racetable::riders;
using racetable::TableRider;

std::string results_path()
{
    return simtest::root() + "/user/Brovanta/results.txt";
}

std::vector<int32_t> order_slots(const order_table& t)
{
    std::vector<int32_t> out;
    for (int32_t i = 0; i < t.count; ++i)
        out.push_back(t.rows[i].slot);
    return out;
}

class Results : public racetable::RaceTable {
protected:
    Results() { std::remove(results_path().c_str()); }
};

TEST_F(Results, RowsGoByPositionsThenEarlierTickThenLowerSlot)
{
    ride(9, {2100, 2200});
    ride(4, {2100, 2200});       // same positions and tick: the lower slot first
    ride(7, {2100, 2150});       // earlier last tick
    ride(2, {2100, 2300, 2400}); // more positions
    ride(5, {});                 // none passed: tick 0, last
    race_results_compute();
    EXPECT_EQ(order_slots(running_order), (std::vector<int32_t>{2, 7, 4, 9, 5}));
    EXPECT_EQ(running_order.rows[4].tick, 0);
    EXPECT_EQ(running_order.rows[0].tick, 2400);
    EXPECT_EQ(running_order.rows[0].positions, 3);
}

TEST_F(Results, TheLapEstimateIsTakenOnceAtHalfTheTimeLimit)
{
    struct Case {
        int32_t first, further, leader_positions, expected;
    } cases[] = {{3, 4, 11, 4}, {3, 0, 11, 1}, {3, 4, 2, 1}};
    for (const Case& c : cases) {
        lap_layout(c.first, c.further);
        std::vector<int32_t> gates;
        for (int32_t p = 0; p < c.leader_positions; ++p)
            gates.push_back(1800 + p);
        ride(0, gates);
        race.time_limit_ticks = 2561;
        race.lap_counts[0] = race.lap_counts[1] = kLapsNotEstimated;
        current_tick = race.gate_drop_tick + 1279;
        race_results_compute();
        EXPECT_EQ(race.lap_counts[0], kLapsNotEstimated);
        current_tick = race.gate_drop_tick + 1280;
        race_results_compute();
        EXPECT_EQ(race.lap_counts[0], c.expected) << c.first << " " << c.further << " " << c.leader_positions;
        ride(0, {});
        race_results_compute();
        EXPECT_EQ(race.lap_counts[0], c.expected) << "taken once only";
    }
}

// The leader ends lap 3 before the time runs out and lap 4 after it: with one lap
// added, the race runs 5 laps. Before the time is up nothing changes.
TEST_F(Results, ATimedRaceEndsOneLapAfterTheFirstLapCompletedLate)
{
    lap_layout(2, 3);   // laps end at positions 1, 4, 7, 10
    race.gate_drop_tick = 0;
    race.time_limit_ticks = 10000;
    race.laps = 1;
    race.lap_counts[0] = race.lap_counts[1] = kLapsNotEstimated;
    std::vector<int32_t> gates;
    for (int32_t p = 0; p <= 11; ++p)
        gates.push_back(p <= 7 ? 1000 * (p + 1) : 10500 + 200 * p);
    ride(0, gates);
    ride(1, {500, 900});
    current_tick = 9999;
    race_results_compute();
    EXPECT_EQ(race.lap_counts[1], kLapsNotEstimated);
    current_tick = 12000;
    race_results_compute();
    EXPECT_EQ(race.lap_counts[1], 5);

    // Without a time limit the total stays as the race start set it.
    race.time_limit_ticks = 0;
    race.lap_counts[1] = 3;
    current_tick = 1000000;
    race_results_compute();
    EXPECT_EQ(race.lap_counts[1], 3);
}

TEST_F(Results, ATrackWithoutFurtherLapsSettlesTheTimedLengthWithoutLooping)
{
    lap_layout(3, 0);
    race.gate_drop_tick = 0;
    race.time_limit_ticks = 1000;
    race.laps = 1;
    race.lap_counts[0] = race.lap_counts[1] = kLapsNotEstimated;
    ride(0, {100, 200, 300, 400});
    current_tick = 2000;
    race_results_compute();
    EXPECT_EQ(race.lap_counts[1], kLapsNotEstimated);
}

TEST_F(Results, OfflineUnfinishedLocalAutomaticAndFreshDemoRidersHoldTheResults)
{
    ride(0, {1900}).finished = true;
    ride(1, {1900}, rider_kind_bot);
    race_results_compute();
    EXPECT_EQ(race.results_written, 0) << "an automatic rider still rides";
    riders[1].kind = rider_kind_local;
    race_results_compute();
    EXPECT_EQ(race.results_written, 0) << "a local rider still rides";

    riders[1].kind = rider_kind_remote;   // a demo rider: only its history decides
    current_tick = 5000;
    const packed_rider_state state{};
    add_state_to_history(1, &state, 5000 - 1280);
    race_results_compute();
    EXPECT_EQ(race.results_written, 0) << "a state 1280 ticks old still counts";
    current_tick = 5001;
    race_results_compute();
    EXPECT_EQ(race.results_written, 1) << "1281 ticks old does not";
    EXPECT_EQ(recorded_rounds, 1);
}

TEST_F(Results, ADemoRiderWithNoHistoryDoesNotHoldTheResults)
{
    ride(0, {1900}).finished = true;
    ride(3, {1900}, rider_kind_remote);
    race_results_compute();
    EXPECT_EQ(race.results_written, 1);
}

TEST_F(Results, OnlineTheOwnSlotAndFreshRemoteRidersHold)
{
    net_socket = 99;   // only tested for being open
    net_own_slot = 2;
    current_tick = 10000;
    ride(2, {1900}, rider_kind_local);
    ride(5, {1900}, rider_kind_remote);
    net_state_tick[5] = 10000 - 128;
    race_results_compute();
    EXPECT_EQ(race.results_written, 0) << "the own slot";
    riders[2].finished = true;
    net_state_tick[5] = 10000 + 3;   // stamped ahead of this tick: fresh
    race_results_compute();
    EXPECT_EQ(race.results_written, 0) << "a state from the future is fresh";
    net_state_tick[5] = 10000 - 127;
    race_results_compute();
    EXPECT_EQ(race.results_written, 0) << "silent 127 ticks";
    net_state_tick[5] = 10000 - 128;
    race_results_compute();
    EXPECT_EQ(race.results_written, 1) << "silent 128 ticks";
}

TEST_F(Results, WhileWatchingALocalSlotIsPassedOver)
{
    net_socket = 99;
    race.own_lineup_value = kWatchOnlyValue;
    current_tick = 10000;
    ride(0, {1900}, rider_kind_local);
    race_results_compute();
    EXPECT_EQ(race.results_written, 1);
}

TEST_F(Results, FinalResultsNoLongerChange)
{
    ride(0, {1900, 2000}).finished = true;
    ride(1, {1950}).finished = true;
    race_results_compute();
    ASSERT_EQ(race.results_written, 1);
    riders[1].gates = {1900, 1910, 1920};
    race_results_refresh();
    EXPECT_EQ(order_slots(running_order), (std::vector<int32_t>{0, 1}));
    EXPECT_EQ(order_slots(final_order), (std::vector<int32_t>{0, 1}));
    EXPECT_EQ(recorded_rounds, 1);
}

// Reference riders A and C rode positions 1 to 4 in 300 and 450 ticks; D missed
// position 3 and does not count. X skipped 2 and 3 and rode it 2 s faster than
// their average plus 1 s.
TEST_F(Results, AFirstLapShortCutCostsWhatItSaved)
{
    lap_layout(10, 5);
    ride(0, {1000, 1100, 1200, 1300, 1400});
    ride(2, {1000, 1150, 1300, 1450, 1600});
    ride(3, {1000, 1100, 1101, -1, 1102});
    ride(1, {1000, 1100, -1, -1, 1100 + 375 + 128 - 256});
    race_results_compute();
    EXPECT_EQ(rider_cutting_penalty(1), 256);
    EXPECT_EQ(rider_cutting_penalty(0), 0);

    // From the gate drop: a skip of position 0 measures from tick 0.
    ride(4, {-1, 700});
    race_results_compute();
    // A, D and X reached 1 at 1100 and C at 1150, from tick 0; plus 1 s.
    EXPECT_EQ(rider_cutting_penalty(4), (1100 + 1150 + 1100 + 1100) / 4 + 128 - 700);
}

// F = 2, N = 3: laps run 2..4, 5..7, 8..10. X skipped position 6 (stretch 5..7).
TEST_F(Results, ALaterLapShortCutIsMeasuredOverEveryWholeLapOfTheOthers)
{
    lap_layout(2, 3);
    // A: stretches 2..4, 5..7, 8..10 took 200, 260 and 230: 230 on average.
    ride(0, {10, 20, 100, 150, 300, 400, 500, 660, 700, 800, 930});
    // B missed 9: only 2..4 and 5..7 count, 300 each.
    ride(2, {10, 20, 100, 250, 400, 500, 600, 800, 900, -1, 1000});
    // X rode 2..4 whole in 250 and skipped 6.
    ride(1, {10, 20, 100, 200, 350, 400, -1, 500});
    race_results_compute();
    const int32_t reference = (230 + 300 + 250) / 3 + 128;
    EXPECT_EQ(rider_cutting_penalty(1), reference - 100);
}

TEST_F(Results, WithoutAnyReferenceAShortCutIsMeasuredAgainstAMinute)
{
    ride(0, {1000, -1, 1100});
    race_results_compute();
    EXPECT_EQ(rider_cutting_penalty(0), 7680 + 128 - 100);

    // No further laps: a later-lap stretch has nothing to be compared with.
    lap_layout(2, 0);
    ride(1, {1000, 1100, 1200, 1300, 1400});
    ride(0, {1000, 1100, 1200, -1, 1250});
    race_results_compute();
    EXPECT_EQ(rider_cutting_penalty(0), 7680 + 128 - 50);
    // Trailing skips are not judged.
    ride(0, {1000, 1100, -1, -1});
    EXPECT_EQ(rider_cutting_penalty(0), 0);
}

// X skipped position 1 (penalty 1000 ticks, Y's 1000 + 1 s - 128) and its best lap
// (lap 3, lap 2 having no time) lasted 400 ticks: two laps go, 200 ticks are added,
// and Z, who finished later, ranks ahead.
TEST_F(Results, APenaltyOfWholeBestLapsTakesLapsAndAddsTheRest)
{
    lap_layout(2, 3);
    ride(1, {1000, 1500, 2000}).finished = true;
    std::vector<int32_t> x = {1000, -1, 1128, 1300, 1600, 1800, 1900, 2000, 2200, 2300, 2400};
    ride(0, x).finished = true;
    std::vector<int32_t> z = {1000, 1500, 2000, 2100, 2200, 2300, 2400, 2500, 2600, 2700, 2800};
    ride(2, z).finished = true;
    race_results_compute();
    ASSERT_EQ(race.results_written, 1);
    EXPECT_EQ(rider_cutting_penalty(0), 1000);
    EXPECT_EQ(order_slots(running_order), (std::vector<int32_t>{0, 2, 1}));
    EXPECT_EQ(order_slots(final_order), (std::vector<int32_t>{2, 0, 1}));
    EXPECT_EQ(final_order.rows[1].positions, 5);
    EXPECT_EQ(final_order.rows[1].tick, 2400 + 200);
}

// Damaged timing gives a best lap of negative length: no lap is taken away.
TEST_F(Results, ABestLapOfNoLengthTakesNothingAway)
{
    lap_layout(2, 3);
    ride(1, {1000, 1500, 2000}).finished = true;
    ride(0, {1000, -1, 1128, 1300, 1600, 1800, 1900, 2000, 1500, 1700, 1400}).finished = true;
    race_results_compute();
    EXPECT_EQ(final_order.rows[0].slot, 0);
    EXPECT_EQ(final_order.rows[0].positions, 11);
    EXPECT_EQ(final_order.rows[0].tick, 1400 + 1000);
}

TEST_F(Results, TheResultsFileOfOneFinishedRider)
{
    static char folder[] = "tracks/sample";
    track_folder = folder;
    results_calendar_time = [] { return time_t(1700000000); };
    TableRider& r = ride(0, {2048, 2304, 2560, 3072, 3328, 3584, 3840});
    r.finished = true;
    r.number = "999";
    r.bike = "yz250f(2017)";
    race_results_compute();
    track_folder = nullptr;
    EXPECT_EQ(bvtest::read_file(results_path()),
              "Time=0.00|Laps=2|Track=tracks/sample|Date=1700000000\r\n"
              " No. |         Bike | Laps | Total Time | BLap |  Best Time\r\n"
              " 999 | yz250f(2017) |    2 |   0:16.000 |    2 |   0:10.000\r\n"
              "\r\n"
              "7\r\n"
              "   2.000    4.000    6.000\r\n"
              "  10.000   12.000   14.000   16.000\r\n");
}

TEST_F(Results, TheResultsFileListsOnlyFinishedRidersWithMissedSplitsAndBestLaps)
{
    results_calendar_time = [] { return time_t(5); };
    lap_layout(2, 2);
    race.time_limit_ticks = 128 * 90;
    race.laps = 1;
    race.gate_drop_tick = 0;
    // Laps: 1 ends at 1, 2 at 3, 3 at 5, 4 at 7. Lap 3 (256) is faster than 2 and 4.
    TableRider& a = ride(0, {128, 256, 512, 896, 1024, 1152, 1408, 1792});
    a.finished = true;
    a.number = "7";
    // Missed position 3: 64 ticks of penalty (A rode 2..4 and 4..6 in 448 on average,
    // plus 1 s, against its 512), and no time for laps 2 and 3, which share it.
    TableRider& b = ride(1, {128, 256, 512, -1, 1024, 1280});
    b.finished = true;
    b.number = "12";
    ride(2, {128, 256}, rider_kind_remote);   // a demo rider gone quiet, unfinished: not listed
    // 9000 ms past the minute: the total is worked in single precision.
    race_results_compute();
    EXPECT_EQ(bvtest::read_file(results_path()),
              "Time=90.00|Laps=1|Track=|Date=5\r\n"
              " No. |         Bike | Laps | Total Time | BLap |  Best Time\r\n"
              "   7 |        cr125 |    4 |   0:14.000 |    3 |   0:02.000\r\n"
              "  12 |        cr125 |    3 |   0:10.500 |    3 |   0:00.000\r\n"
              "\r\n8\r\n"
              "   1.000    2.000\r\n"
              "   4.000    7.000\r\n"
              "   8.000    9.000\r\n"
              "  11.000   14.000\r\n"
              "\r\n6\r\n"
              "   1.000    2.000\r\n"
              "   4.000       -1\r\n"
              "   8.000   10.000\r\n");

    // No further laps: every split on one line; fewer than two laps: best lap 0.
    race.results_written = 0;
    ride(2, {}, rider_kind_remote);
    riders[1].occupied = false;
    lap_layout(3, 0);
    riders[0].gates = {128, 256, 384, 8000 * 128 + 77};
    race_results_compute();
    const std::string text = bvtest::read_file(results_path());
    EXPECT_NE(text.find("   7 |        cr125 |    0 | 133:20.601 |    0 |   0:00.000\r\n"), std::string::npos)
        << text;
    EXPECT_NE(text.find("\r\n4\r\n   1.000    2.000    3.000 8000.602\r\n"), std::string::npos) << text;
}

TEST_F(Results, AnUnfinishedWinnerLeavesNoFileButTheResultsBecomeFinal)
{
    ride(0, {1900, 2000}, rider_kind_remote);   // a demo rider gone quiet, ahead
    ride(1, {1950}).finished = true;
    race_results_compute();
    EXPECT_EQ(race.results_written, 1);
    EXPECT_EQ(recorded_rounds, 1);
    EXPECT_FALSE(bvtest::file_exists(results_path()));

    // A folder in the way of the file: still final and recorded.
    bvtest::make_dirs(results_path());
    race.results_written = 0;
    riders[0].finished = true;
    race_results_compute();
    EXPECT_EQ(race.results_written, 1);
    EXPECT_EQ(recorded_rounds, 2);
    rmdir(results_path().c_str());
}

TEST_F(Results, OffCourseAfterTooLongSinceTheLastPosition)
{
    // The leader took 256 ticks from position 2 to 3; X reached 2 at 3000.
    ride(0, {2000, 2200, 2400, 2656, 2900});
    ride(1, {2000, 2200, 3000});
    race_results_compute();
    const int32_t limit = 3000 + 384 + 1280;   // 1.5 x 256 + 10 s
    current_tick = limit - 1;
    EXPECT_EQ(rider_off_course(1), 0);
    current_tick = limit;
    EXPECT_EQ(rider_off_course(1), 1);
    off_course_scale = 2.0f;
    EXPECT_EQ(rider_off_course(1), 0);

    ride(2, {});
    race_results_compute();
    EXPECT_EQ(rider_off_course(2), 1) << "no position passed";
    // The leader has nobody ahead to compare with.
    current_tick = 100000;
    EXPECT_EQ(rider_off_course(0), 0);
}

TEST_F(Results, GapsBetweenRows)
{
    ride(0, {2000, 2200, 2400});
    ride(1, {2000, 2300, 2450});
    ride(2, {2000, 2260});
    race_results_compute();
    EXPECT_EQ(rider_gap(0, 1), 50);   // equal counts: the last ticks
    EXPECT_EQ(rider_gap(0, 2), 60);   // at position 1, the last both passed
    ride(3, {});
    race_results_compute();
    EXPECT_EQ(rider_gap(0, 3), 0);    // no tick
    ride(1, {});
    ride(2, {});
    riders[3].occupied = false;
    race_results_compute();
    EXPECT_EQ(rider_gap(0, 1), 0);
    riders[1].occupied = riders[2].occupied = false;
    race_results_compute();
    EXPECT_EQ(rider_gap(0, 0), 0);    // one row only
}

}  // namespace
