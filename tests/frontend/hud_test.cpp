// The HUD's pitboard and banner texts over a table of riders.
#include "frontend/hud.h"
#include "race/race_results.h"
#include "race/race_state.h"
#include "terrain/timing_gates.h"

#include <gtest/gtest.h>

#include <map>

namespace {

struct rider {
    int32_t laps;
    std::map<int32_t, double> lap_times;
    std::map<int32_t, int32_t> gates;
};
std::map<int32_t, rider> riders;

const results_rider_view table = {
    [](int32_t slot) { return int(riders.count(slot)); },
    [](int32_t) { return int32_t(rider_kind_bot); },
    [](int32_t) { return int32_t(0); },
    [](int32_t slot, int32_t p) {
        auto& g = riders[slot].gates;
        return g.count(p) ? g[p] : -1;
    },
    [](int32_t slot) { return riders[slot].laps; },
    [](int32_t slot, int32_t lap) {
        auto& t = riders[slot].lap_times;
        return t.count(lap) ? t[lap] : 0.0;
    },
    [](int32_t) { return 0; },
    [](int32_t slot) { return slot == 0 ? "7" : slot == 1 ? "42" : "3"; },
    [](int32_t) { return "bike"; },
    [](int32_t) { return 8000.0f; },
    [](int32_t) { return int32_t(2); },
    [](int32_t, float out[3]) { out[0] = out[1] = out[2] = 0; },
    [](int32_t, float out[3]) { out[0] = out[1] = out[2] = 0; },
    [](int32_t, float out[9]) {
        for (int i = 0; i < 9; ++i)
            out[i] = i % 4 == 0 ? 1.0f : 0.0f;
    },
    [](int32_t) { return 0; },
};

class Hud : public testing::Test {
protected:
    void SetUp() override
    {
        saved = results_riders;
        results_riders = table;
        riders.clear();
        running_order.count = 0;
        timing_gates.firstlap_length = 10;
        timing_gates.normallap_length = 10;
    }
    void TearDown() override
    {
        results_riders = saved;
        running_order.count = 0;
        timing_gates.firstlap_length = timing_gates.normallap_length = 0;
    }
    results_rider_view saved{};
};

}  // namespace

TEST_F(Hud, RaceLengthBanner)
{
    const struct {
        int32_t laps, limit_ticks;
        const char* text;
    } cases[] = {
        {5, 0, "5 laps"},
        {0, 600 * 128, "10 minutes"},
        {0, 599 * 128, "10 minutes"},
        {2, 600 * 128, "10 minutes + 2 laps"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(hud_race_length_text(c.laps, c.limit_ticks), c.text);
}

TEST_F(Hud, PitboardRaceAndTimeTrial)
{
    riders[0] = {3, {{1, 70.0}, {2, 65.25}, {3, 64.5}}, {}};
    riders[1] = {1, {{1, 71.0}}, {}};
    running_order.count = 2;
    running_order.rows[0] = {0, 35, 10000};
    running_order.rows[1] = {1, 35, 10128};

    hud_panel_text leader = hud_panel_texts(0, 0, 0, 0);
    EXPECT_EQ(leader.position, "L4 P1");
    EXPECT_EQ(leader.gap, "+1.0 ");   // the leader shows its lead as positive
    EXPECT_EQ(leader.last, "Last - 1:04.5 ");
    EXPECT_EQ(leader.best, "Best - 1:04.5");   // lap 1 never counts

    hud_panel_text second = hud_panel_texts(1, 0, 0, 0);
    EXPECT_EQ(second.position, "L2 P2");
    EXPECT_EQ(second.gap, "-1.0 ");
    EXPECT_EQ(second.last, "");       // only from lap 2
    EXPECT_EQ(second.best, "");

    hud_panel_text trial = hud_panel_texts(0, 1, 61.0, 60.55);
    EXPECT_EQ(trial.position, "P1");
    EXPECT_EQ(trial.last, "Last - 1:01.0 ");
    EXPECT_EQ(trial.best, "Best - 1:00.5");
}

TEST_F(Hud, BestLapSkipsZeroLaps)
{
    riders[0] = {4, {{1, 50.0}, {2, 0.0}, {3, 66.0}, {4, 67.0}}, {}};
    EXPECT_EQ(hud_panel_texts(0, 0, 0, 0).best, "Best - 1:06.0");
}

TEST_F(Hud, AboutToLap)
{
    // Row 0 is a lap ahead and passed this rider's spot 2 s after it.
    riders[0] = {3, {}, {}};
    riders[1] = {2, {}, {}};
    running_order.count = 2;
    running_order.rows[0] = {0, 25, 5256};
    running_order.rows[1] = {1, 15, 5200};
    // G = 25 - 10 * ((25 - 15 - 1) / 10) - 10 - 1 = 14
    riders[1].gates[14] = 5000;
    EXPECT_EQ(hud_panel_texts(1, 0, 0, 0).about_to_lap, " 7 (2.0) ");

    running_order.rows[0].tick = 5000 + 4 * 128;   // 4 s later: not about to lap
    EXPECT_EQ(hud_panel_texts(1, 0, 0, 0).about_to_lap, "");

    running_order.rows[0].tick = 5256;
    timing_gates.normallap_length = 0;   // no further laps: no division by zero
    EXPECT_EQ(hud_panel_texts(1, 0, 0, 0).about_to_lap, "");
}

TEST_F(Hud, LapClock)
{
    EXPECT_EQ(hud_lap_clock(65.25), "1:05.2");
    EXPECT_EQ(hud_lap_clock(0.05), "0:00.0");
    EXPECT_EQ(hud_lap_clock(3600.99), "60:00.9");
}
