// The results table's texts, the penalty lines and the statistics overlay over a
// table of riders.
#include "foundation/front_door.h"
#include "frontend/front_end.h"
#include "frontend/message_line.h"
#include "frontend/results_screen.h"
#include "race/program/main_loop.h"
#include "race/net/net_client.h"
#include "race/net/net_connection.h"
#include "race/race_results.h"
#include "race/race_state.h"
#include "sim/race_clock.h"
#include "terrain/timing_gates.h"
#include "view/view_settings.h"

#include <gtest/gtest.h>

#include <map>

namespace {

struct rider {
    int finished;
    int32_t laps;
    int32_t passed;
    std::map<int32_t, int32_t> gates;
    std::map<int32_t, double> lap_times;
    const char* number;
};
std::map<int32_t, rider> riders;
float velocity[3] = {};

const results_rider_view table = {
    [](int32_t slot) { return int(riders.count(slot)); },
    [](int32_t) { return int32_t(rider_kind_bot); },
    [](int32_t slot) { return riders[slot].passed; },
    [](int32_t slot, int32_t p) {
        auto& g = riders[slot].gates;
        return g.count(p) ? g[p] : -1;
    },
    [](int32_t slot) { return riders[slot].laps; },
    [](int32_t slot, int32_t lap) {
        auto& t = riders[slot].lap_times;
        return t.count(lap) ? t[lap] : 0.0;
    },
    [](int32_t slot) { return riders[slot].finished; },
    [](int32_t slot) { return riders[slot].number; },
    [](int32_t) { return "bike"; },
    nullptr, nullptr, nullptr,
    [](int32_t, float out[3]) {
        for (int i = 0; i < 3; ++i)
            out[i] = velocity[i];
    },
    nullptr, nullptr,
};

class Results : public testing::Test {
protected:
    void SetUp() override
    {
        saved = results_riders;
        results_riders = table;
        riders.clear();
        running_order.count = final_order.count = 0;
        race.results_written = 0;
        race.gate_drop_tick = 1000;
        timing_gates.firstlap_length = 10;
        timing_gates.normallap_length = 10;
        // Three riders over 2 laps (20 positions); the third has not finished.
        riders[4] = {1, 2, 20, {{19, 9000}}, {{1, 30.0}, {2, 28.5}}, "12"};
        riders[7] = {1, 2, 20, {{19, 9256}}, {{1, 31.0}, {2, 29.0}}, "5"};
        riders[9] = {0, 1, 14, {{13, 8000}}, {{1, 33.0}}, "77"};
        running_order.count = 3;
        running_order.rows[0] = {4, 20, 9000};
        running_order.rows[1] = {7, 20, 9256};
        running_order.rows[2] = {9, 14, 8000};
    }
    void TearDown() override
    {
        results_riders = saved;
        running_order.count = final_order.count = 0;
        race.results_written = 0;
        timing_gates.firstlap_length = timing_gates.normallap_length = 0;
    }
    results_rider_view saved{};
};

}  // namespace

TEST_F(Results, UnofficialThenFinal)
{
    results_table_text t = results_table_texts();
    EXPECT_EQ(t.title, "Unofficial Results");
    ASSERT_EQ(t.rows.size(), 2u);   // only the finished riders
    EXPECT_EQ(t.total, "");

    final_order = running_order;
    race.results_written = 1;
    t = results_table_texts();
    EXPECT_EQ(t.title, "Final Results");
    ASSERT_EQ(t.rows.size(), 3u);
    EXPECT_EQ(t.rows[0].place, "1");
    EXPECT_EQ(t.rows[0].number, " 12");
    EXPECT_EQ(t.rows[0].lap, "L2");
    EXPECT_EQ(t.rows[0].gap, "  0.000");   // the leader
    EXPECT_EQ(t.rows[1].gap, "  2.000");
    EXPECT_EQ(t.rows[0].best, "0:28.500");
    EXPECT_EQ(t.rows[0].best_lap, "(2)");
    // One lap is no best lap: nothing shown, where "0:00.000 (0)" once stood.
    EXPECT_EQ(t.rows[2].lap, "L1");
    EXPECT_EQ(t.rows[2].best, "");
    EXPECT_EQ(t.rows[2].best_lap, "");
    EXPECT_EQ(t.total, "Total Race Time: 1:02.500");
    EXPECT_TRUE(t.penalties.empty());
}

TEST_F(Results, NoTableBeforeTheLeaderFinishes)
{
    riders[4].finished = 0;
    EXPECT_EQ(results_table_texts().title, "");
}

TEST_F(Results, PenaltyLines)
{
    // The second rider lost a lap and 40 s; the third only 2.5 s.
    final_order = running_order;
    final_order.rows[1] = {7, 10, 9256 + 40 * 128};
    final_order.rows[2] = {9, 14, 8000 + 320};
    race.results_written = 1;
    const results_table_text t = results_table_texts();
    ASSERT_EQ(t.penalties.size(), 2u);
    EXPECT_EQ(t.penalties[0], "  5 penalized 1 lap 40.00 seconds for cutting track");
    EXPECT_EQ(t.penalties[1], " 77 penalized 2.50 seconds for cutting track");
}

// The overlay's switches are the settings' own; every case starts with all off.
class Overlay : public Results {
protected:
    void SetUp() override
    {
        Results::SetUp();
        saved_settings = plain_values;
        plain_values.draw_fps = plain_values.draw_time = plain_values.draw_ping = plain_values.draw_speed = 0;
        message_log_clear();
        message_log.hide_spam = 0;
        message_lines = 5;
    }
    void TearDown() override
    {
        plain_values = saved_settings;
        render_stats = {};
        setup.sticky_dab = 0;
        loop.sticky_dab_on = 0;
        message_log_clear();
        Results::TearDown();
    }
    plain_settings saved_settings{};
};

TEST_F(Overlay, FrameRateTimeAndMessages)
{
    plain_values.draw_fps = plain_values.draw_time = 1;
    loop.largest_step = 0.05;
    current_tick = 1000 + 65 * 128 + 64;
    console_print("one");
    console_print("two");
    std::vector<std::string> lines = results_overlay_lines(4);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "FPS - 20");
    EXPECT_EQ(lines[1], "Time - 1:05.5 ");
    EXPECT_EQ(lines[2], "one");   // oldest first
    EXPECT_EQ(lines[3], "two");
    EXPECT_EQ(loop.largest_step, 0.0);
    EXPECT_EQ(loop.smallest_step, 1.0);
    EXPECT_EQ(results_overlay_lines(4)[0], "FPS - 0");   // nothing recorded since
    // Before the gate drops the race time stays 0.
    current_tick = 10;
    EXPECT_EQ(results_overlay_lines(4)[1], "Time - 0:00.0 ");
}

TEST_F(Overlay, MessagesAcrossTheRingsEnd)
{
    // The write index has wrapped to 1: the shown lines are entries 997..999 and 0.
    message_log.write_index = 997;
    for (const char* text : {"a", "b", "c", "d"})
        console_print(text);
    ASSERT_EQ(message_log.write_index, 1);
    EXPECT_EQ(results_overlay_lines(4), (std::vector<std::string>{"a", "b", "c", "d"}));
}

TEST_F(Overlay, SpeedInMilesPerHourOnlyWithARider)
{
    plain_values.draw_speed = 1;
    velocity[0] = 30;
    velocity[1] = 0;
    velocity[2] = 40;   // 50 ft/s
    EXPECT_EQ(results_overlay_lines(4), (std::vector<std::string>{"Speed - 34.09"}));
    EXPECT_TRUE(results_overlay_lines(3).empty());   // an empty slot
    velocity[0] = velocity[2] = 0;
}

TEST_F(Overlay, RenderStatisticsKeepTheirMaxima)
{
    EXPECT_TRUE(results_overlay_lines(4).empty());
    render_stats_restart();
    frame_stats.billboards_drawn = 40;
    frame_stats.texture_changes = 7;
    std::vector<std::string> lines = results_overlay_lines(4);
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[2], "Billboards - 40 max=40");
    EXPECT_EQ(lines[4], "Texture Changes - 7 max=7");
    EXPECT_EQ(lines[6].rfind("Erode buffered - ", 0), 0u);
    frame_stats.billboards_drawn = 12;
    lines = results_overlay_lines(4);
    EXPECT_EQ(lines[2], "Billboards - 12 max=40");
    // "renderstats" again starts the maxima afresh.
    render_stats_restart();
    EXPECT_EQ(results_overlay_lines(4)[2], "Billboards - 12 max=12");
    frame_stats = {};
}

TEST_F(Overlay, DabbingWhileTheStickyDabIsEngaged)
{
    loop.sticky_dab_on = 1;
    EXPECT_TRUE(results_overlay_lines(4).empty());   // the option is off
    setup.sticky_dab = 1;
    EXPECT_EQ(results_overlay_lines(4), (std::vector<std::string>{"Dabbing!"}));
    loop.sticky_dab_on = 0;
    EXPECT_TRUE(results_overlay_lines(4).empty());
}

TEST_F(Overlay, PingOnlyWhenConnectedWithASlot)
{
    plain_values.draw_ping = 1;
    current_tick = 5000;
    net_server_tick = 5064;
    net_ping[3] = 16;
    net_socket = -1;
    net_own_slot = 3;
    EXPECT_TRUE(results_overlay_lines(3).empty());
    net_socket = 5;
    EXPECT_EQ(results_overlay_lines(3)[0], "Ping - 125ms (500ms offset)");
    net_own_slot = 160;
    EXPECT_TRUE(results_overlay_lines(3).empty());
    net_socket = -1;
    net_ping[3] = 0;
}
