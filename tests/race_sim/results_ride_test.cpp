// The results over real rider slots: bikes built on a real physics world, their gate
// times set as the timing would, and the race rules installed as at start-up.
#include "race/race_hooks.h"
#include "race/race_results.h"
#include "race/race_rules.h"
#include "race/race_state.h"
#include "sim/autopilot_race.h"
#include "sim/gate_times.h"
#include "sim/race_clock.h"
#include "sim/rider_access.h"
#include "sim/sim_fixture.h"
#include "support/test_support.h"
#include "terrain/timing_gates.h"

#include <cstdio>

namespace {

class ResultsRide : public simtest::BikeTest {
protected:
    ResultsRide()
    {
        race_rules_install();
        race_hooks.series_record_round = [] {};
        results_calendar_time = [] { return time_t(42); };
        timing_gates.checkpoint_count = 4;
        timing_gates.firstlap_length = 2;
        timing_gates.normallap_length = 2;
        race.gate_drop_tick = 1000;
        race.time_limit_ticks = 0;
        race.laps = 2;
        race.lap_counts[0] = 1;
        race.lap_counts[1] = 2;
        race.results_written = 0;
        current_tick = 5000;
        std::remove(path().c_str());
    }
    ~ResultsRide() override
    {
        gate_timing_hooks = {};
        autopilot_race = {};
        rider_hidden_hook = nullptr;
        timing_gates.checkpoint_count = 0;
        std::remove(path().c_str());
    }
    static std::string path() { return simtest::root() + "/user/Brovanta/results.txt"; }
    rider_slot* rider(int slot, int32_t kind, const char* number, std::vector<int32_t> gates)
    {
        rider_slot* r = create("cr125", slot, number);
        race.kinds[slot] = kind;
        reach(r, gates);
        return r;
    }
    static void reach(rider_slot* r, const std::vector<int32_t>& gates)
    {
        for (size_t p = 0; p < gates.size(); ++p)
            rider_set_gate_time(r, int32_t(p), gates[p]);
        r->timing_position = int32_t(gates.size());
    }
};

TEST_F(ResultsRide, TheLastFinisherMakesTheResultsFinalAndWritesTheFile)
{
    rider(0, rider_kind_local, "7", {1100, 1200, 1300, 1400});
    rider(1, rider_kind_bot, "12", {1100, 1250, 1350, 1450});
    rider_slot* last = rider(2, rider_kind_bot, "31", {1150, 1300});
    race_results_compute();
    ASSERT_EQ(running_order.count, 3);
    EXPECT_EQ(running_order.rows[0].slot, 0);
    EXPECT_EQ(running_order.rows[1].slot, 1);
    EXPECT_EQ(running_order.rows[2].slot, 2);
    EXPECT_EQ(autopilot_race.ranked_slot(2), 1);
    EXPECT_EQ(gate_timing_hooks.leader_slot(), 0);
    EXPECT_EQ(race.results_written, 0) << "an automatic rider is still out";
    EXPECT_FALSE(bvtest::file_exists(path()));

    reach(last, {1150, 1300, 1600, 1700});
    race_results_refresh();
    ASSERT_EQ(race.results_written, 1);
    const std::string text = bvtest::read_file(path());
    const std::string bike = rider_get_bike_info(last)->name;
    char row[3][128];
    snprintf(row[0], sizeof row[0], "   7 | %12s |    2 |   0:03.125 |    2 |   0:01.562\r\n", bike.c_str());
    snprintf(row[1], sizeof row[1], "  12 | %12s |    2 |   0:03.515 |    2 |   0:01.562\r\n", bike.c_str());
    snprintf(row[2], sizeof row[2], "  31 | %12s |    2 |   0:05.468 |    2 |   0:03.125\r\n", bike.c_str());
    EXPECT_EQ(text.substr(0, text.find("\r\n\r\n") + 2),
              std::string("Time=0.00|Laps=2|Track=|Date=42\r\n"
                          " No. |         Bike | Laps | Total Time | BLap |  Best Time\r\n") +
                  row[0] + row[1] + row[2])
        << text;
    EXPECT_NE(text.find("\r\n4\r\n   0.781    1.562\r\n   2.344    3.125\r\n"), std::string::npos) << text;

    // Once final, later crossings change nothing.
    reach(last, {1150, 1300, 1600, 1700, 1800, 1900});
    race_results_refresh();
    EXPECT_EQ(running_order.rows[0].slot, 0);
}

}  // namespace
