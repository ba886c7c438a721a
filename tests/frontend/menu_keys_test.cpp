// The menu keys without a picture: the highlight over each screen and the lists, the
// race starts through a recording reset, series gates, the bike setup's marks and
// guard, the graphics presets and video modes, the server and console histories.
#include "frontend/menu.h"
#include "frontend/menu_records.h"
#include "frontend/settings.h"
#include "race/program/command_line.h"
#include "race/program/controls.h"
#include "race/demo/demo.h"
#include "race/net/net_client.h"
#include "race/series.h"
#include "terrain/track_list.h"
#include "race/race_state.h"
#include "race/program/settings_values.h"
#include "race/setup_guard.h"
#include "gfx/model_scene.h"
#include "sim/rider_slot.h"
#include "sim/wheel_sampling.h"

#include <gtest/gtest.h>

#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <string>
#include <vector>

namespace {

// The console screen's call as the program starts with it (the fixture replaces it).
int (*const program_console_execute)(const char*) = menu_seams.console_execute;

constexpr int kUp = 0x1048, kDown = 0x1050, kLeft = 0x104B, kRight = 0x104D, kEnter = 0x101C,
              kPageUp = 0x1049, kPageDown = 0x1051;

struct reset_call {
    std::vector<int32_t> lineup;
    int replay, record;
    int32_t ticks, laps, skill;
    std::string demo;
    std::string folder;   // the track asked for
};
std::string demo_settings_chosen()
{
    return demo_settings.chosen;
}

std::vector<reset_call> resets;
std::vector<std::vector<int>> modes;
int screen_changes = 0;
int quits = 0;
std::vector<std::string> executed;

void record_reset(const int32_t* lineup, int replay, int record, int32_t ticks, int32_t laps, int32_t skill)
{
    reset_call c{{}, replay, record, ticks, laps, skill, demo_settings_chosen(),
                 race_requested_folder ? race_requested_folder : ""};
    if (lineup)
        c.lineup.assign(lineup, lineup + kStartLineup);
    resets.push_back(c);
}

std::vector<std::string> demo_names;
int32_t demo_count()
{
    return int32_t(demo_names.size());
}
const char* demo_name_at(int32_t i)
{
    return demo_names[size_t(i)].c_str();
}

class MenuKeys : public testing::Test {
protected:
    void SetUp() override
    {
        settings_reset_static();
        menu_keys = {kUp, kDown, kLeft, kRight, kEnter, 0x111C, 1, 0x1019, 0x2000, 0x2001, kPageUp, kPageDown, 2};
        resets.clear();
        modes.clear();
        executed.clear();
        screen_changes = quits = 0;
        demo_names.clear();
        menu_seams.reset_race = record_reset;
        menu_seams.set_video_mode = [](int w, int h, int flags) {
            modes.push_back({w, h, flags});
            return 1;
        };
        menu_seams.screen_changed = [] { ++screen_changes; };
        menu_seams.quit = [] { ++quits; };
        menu_seams.demo_count = demo_count;
        menu_seams.demo_full_name = demo_name_at;
        menu_seams.demo_short_name = demo_name_at;
        menu_seams.console_execute = [](const char* line) {
            executed.push_back(line);
            return strcmp(line, "bad") != 0 ? 1 : 0;
        };
        command_line_options.rotate_lineup.reset();
        net_socket = -1;
        menu_close();
    }
    void press(int key, int times = 1)
    {
        for (int i = 0; i < times; ++i)
            menu_key(key);
    }
};

TEST_F(MenuKeys, TheHighlightStaysInsideEveryScreenAndEveryChangeStartsAtItemZero)
{
    for (int screen = screen_main_menu; screen <= screen_multiplayer; ++screen) {
        if (screen == screen_choose_list || screen == screen_playback_race || screen == screen_points_series ||
            screen == screen_customize_controls)
            continue;
        menu_open(screen);
        press(kUp);
        EXPECT_EQ(menu_item, 0) << screen;
        press(kDown, 100);
        EXPECT_EQ(menu_item, menu_item_count(screen) - 1) << screen;
    }
    menu_open(screen_main_menu);
    press(kDown, 3);
    press(kEnter);
    EXPECT_EQ(menu_screen, screen_time_trial);
    EXPECT_EQ(menu_item, 0);
    // "Quit" opens the exit screen and holds off the rest of the tick's events; there
    // any key quits.
    menu_open(screen_main_menu);
    press(kDown, 8);
    press(' ');
    EXPECT_EQ(menu_screen, screen_exit);
    EXPECT_EQ(screen_changes, 1);
    press('q');
    EXPECT_EQ(quits, 1);
}

TEST_F(MenuKeys, ListPagesSkipEmptyRowsAndHiddenButtons)
{
    static const char* const items[7] = {"a", "b", "c", "d", "e", "f", "g"};
    static int selected = 0;
    static ui_choice source = {"Letters", items, 7, selected, {-1, -1, -1, -1}};
    menu_open(screen_new_race);
    menu_open_choose_list("Choose Letter", &source, [](int i) { selected = i; });
    press(kDown, 8);   // Prev Page, then the seven rows
    EXPECT_EQ(menu_item, 8);
    press(kDown);
    EXPECT_EQ(menu_item, 22) << "the empty rows are skipped";
    press(kEnter);
    EXPECT_EQ(choose_list.page, 0) << "paging clamps to the only page";
    EXPECT_EQ(menu_item, 22);
    press(kUp, 2);
    press(kEnter);
    EXPECT_EQ(selected, 5);
    EXPECT_EQ(menu_screen, screen_new_race);
    EXPECT_EQ(menu_item, 0);

    // The playback list, 7 demos: the same.
    for (int i = 0; i < 7; ++i)
        demo_names.push_back("demos/d" + std::to_string(i) + ".bvdemo");
    menu_open(screen_playback_race);
    press(kDown, 9);
    EXPECT_EQ(menu_item, 9);
    press(kDown);
    EXPECT_EQ(menu_item, 23);
}

TEST_F(MenuKeys, PointsSeriesSkipsItsHiddenPageButtonsAndAnEmptyListStays)
{
    series_page_fill(0);
    menu_open(screen_points_series);
    press(kDown, 3);
    EXPECT_EQ(menu_item, 0) << "no series: nothing below the back button";

    array_free(&series_table);
    array_init(&series_table, sizeof(series));
    static char titles[27][16];
    for (int i = 0; i < 27; ++i) {
        series s{};
        snprintf(titles[i], sizeof titles[i], "S%d", i);
        s.title = titles[i];
        array_push(&series_table, &s);
    }
    menu_open(screen_points_series);
    press(kDown);
    EXPECT_EQ(menu_item, 2) << "no Prev Page on page 0";
    press(kUp);
    EXPECT_EQ(menu_item, 0);
    press(kDown, 21);
    EXPECT_EQ(menu_item, 22);
    press(kEnter);
    EXPECT_EQ(series_list_page, 1);
    EXPECT_EQ(choose_page.rows[6], titles[26]);
    EXPECT_EQ(choose_page.rows[7], nullptr);
    press(kUp);   // over the empty rows onto the 7th row of the last page
    EXPECT_EQ(menu_item, 8);
    press(kDown);
    EXPECT_EQ(menu_item, 8) << "the last page has no Next Page";
    array_free(&series_table);
    array_init(&series_table, sizeof(series));
}

TEST_F(MenuKeys, NewRaceStartFillsTheLineupAndRotatesTheGates)
{
    gate_choices[0].selected = 1;
    gate_choices[1].selected = 2;
    gate_choices[39].selected = 4;
    minutes_slider.value = 3;
    laps_slider.value = 7;
    robot_skill_choice.selected = 2;
    record_demo_choice.selected = 1;
    menu_open(screen_new_race);
    press(kDown);
    press(kEnter);
    ASSERT_EQ(resets.size(), 1u);
    EXPECT_EQ(menu_screen, -1);
    const reset_call& c = resets[0];
    EXPECT_EQ(c.lineup[0], 1);
    EXPECT_EQ(c.lineup[1], 2);
    EXPECT_EQ(c.lineup[39], 4);
    EXPECT_EQ(c.lineup[40], 0);
    EXPECT_EQ(c.replay, 0);
    EXPECT_EQ(c.record, 1);
    EXPECT_EQ(c.ticks, 3 * 60 * 128);
    EXPECT_EQ(c.laps, 7);
    EXPECT_EQ(c.skill, 2);
    EXPECT_EQ(gate_choices[0].selected, 1) << "no rotation by default";

    command_line_options.rotate_lineup = 1;
    menu_open(screen_new_race);
    press(kDown);
    press(kEnter);
    EXPECT_EQ(gate_choices[0].selected, 0);
    EXPECT_EQ(gate_choices[1].selected, 1);
    EXPECT_EQ(gate_choices[2].selected, 2);
}

// New Race and Time Trial race on the track the "Track" choice shows, also after a
// pick from its list.
TEST_F(MenuKeys, RacesStartOnTheTrackTheMenuShows)
{
    static char folders[2][16] = {"tracks/a", "tracks/b"};
    static char titles[2][16] = {"Alpha", "Beta"};
    track_entry entries[2] = {{folders[0], titles[0]}, {folders[1], titles[1]}};
    track_list = entries;
    track_count = 2;
    track_choice_build("tracks/b");
    menu_open(screen_new_race);
    press(kDown);
    press(kEnter);
    ASSERT_EQ(resets.size(), 1u);
    EXPECT_EQ(resets[0].folder, "tracks/b");

    menu_open(screen_time_trial);
    press(kDown, 2);
    press(kEnter);
    ASSERT_EQ(menu_screen, screen_choose_list);
    press(kDown, 2);
    press(kEnter);   // "Alpha"
    ASSERT_EQ(menu_screen, screen_time_trial);
    press(kDown);
    press(kEnter);
    ASSERT_EQ(resets.size(), 2u);
    EXPECT_EQ(resets[1].folder, "tracks/a");
    track_list = nullptr;
    track_count = 0;
    track_choice_build(nullptr);
    race_requested_folder = nullptr;
}

TEST_F(MenuKeys, LineupRotationTakesAnyCount)
{
    for (int32_t count : {0, 1, 159, 160, -1, -161, 2147483647, -2147483647 - 1}) {
        int32_t lineup[kStartLineup];
        for (int i = 0; i < kStartLineup; ++i)
            lineup[i] = i;
        lineup_rotate(lineup, count);
        const int r = int((int64_t(count) % 160 + 160) % 160);
        for (int i = 0; i < kStartLineup; ++i)
            ASSERT_EQ(lineup[(i + r) % 160], i) << count;
    }
}

TEST_F(MenuKeys, TimeTrialAndPlaybackStarts)
{
    menu_open(screen_time_trial);
    press(kDown);
    press(kEnter);
    ASSERT_EQ(resets.size(), 1u);
    EXPECT_TRUE(resets[0].lineup.empty());
    EXPECT_EQ(resets[0].laps, 1000);
    EXPECT_EQ(resets[0].record + resets[0].replay + resets[0].ticks, 0);

    demo_names = {"demos/default.bvdemo", "demos/sample.bvdemo"};
    record_demo_choice.selected = 1;
    // Playback only: nothing recorded.
    menu_open(screen_playback_race);
    press(kDown, 4);
    press(kEnter);
    ASSERT_EQ(resets.size(), 2u);
    EXPECT_EQ(resets[1].record, 0);
    EXPECT_EQ(resets[1].replay, 1);
    EXPECT_EQ(resets[1].laps, 10);
    EXPECT_EQ(resets[1].demo, "@demos/sample.bvdemo");
    EXPECT_EQ(demo_settings_chosen(), "") << "cleared after the reset";
    // Race against, no Human gate: the player at slot 0; the default file records nothing.
    playback_mode_choice.selected = 1;
    for (ui_choice& g : gate_choices)
        g.selected = 2;
    menu_open(screen_playback_race);
    press(kDown, 3);
    press(kEnter);
    ASSERT_EQ(resets.size(), 3u);
    EXPECT_EQ(resets[2].lineup[0], 1);
    EXPECT_EQ(resets[2].record, 0);
    menu_open(screen_playback_race);
    press(kDown, 4);
    press(kEnter);
    EXPECT_EQ(resets[3].record, 1);
}

TEST_F(MenuKeys, SeriesGateOrders)
{
    int32_t places[kSeriesPlaces] = {};
    int32_t gates[kSeriesPlaces] = {};
    // 3 opponents: places 2, 0, 3 and the player 1: worst first from gate 6.
    const int32_t three[] = {2, 0, 3, 1};
    std::copy(three, three + 4, places);
    series_gate_order(places, 3, gates);
    EXPECT_EQ(gates[2], 6);
    EXPECT_EQ(gates[0], 8);
    EXPECT_EQ(gates[3], 10);
    EXPECT_EQ(gates[1], 12);
    // 20 opponents, places from the back: 10, 9, 11, 8 ...
    for (int i = 0; i <= 20; ++i)
        places[i] = 20 - i;
    series_gate_order(places, 20, gates);
    EXPECT_EQ(gates[0], 10);
    EXPECT_EQ(gates[1], 9);
    EXPECT_EQ(gates[2], 11);
    EXPECT_EQ(gates[3], 8);
    // 45 opponents: every rider its own gate below 160.
    for (int i = 0; i <= 45; ++i)
        places[i] = i;
    series_gate_order(places, 45, gates);
    std::vector<bool> used(160);
    for (int i = 0; i <= 45; ++i) {
        ASSERT_GE(gates[i], 0);
        ASSERT_LT(gates[i], 160);
        EXPECT_FALSE(used[size_t(gates[i])]) << i;
        used[size_t(gates[i])] = true;
    }
}

TEST_F(MenuKeys, GraphicsPresetsAndVideoModes)
{
    menu_open(screen_graphics_sound);
    press(kDown, 5);
    press(kEnter);
    EXPECT_EQ(std::string(video_mode_choice.items[0]), "Default Fullscreen");
    video_mode_choice.selected = 1;
    plain_values.xres = -5;
    plain_values.yres = 480;
    press(kDown, 2);
    press(kEnter);
    video_mode_choice.selected = 0;
    press(kEnter);
    ASSERT_EQ(modes.size(), 2u);
    EXPECT_EQ(modes[0], (std::vector<int>{0, 480, 0}));
    EXPECT_EQ(modes[1], (std::vector<int>{0, 0, 0x200}));
    EXPECT_EQ(plain_values.video_mode, 0);
}

TEST_F(MenuKeys, ServerHistoryBrowsing)
{
    for (auto& h : server_name_hist)
        h[0] = 0;
    server_history_cursor = -1;
    ui_text_set(&server_field, "typed");
    menu_open(screen_multiplayer);
    press(kDown, 3);
    press(kPageUp);
    EXPECT_STREQ(server_field.buffer, "typed");
    EXPECT_EQ(server_history_cursor, -1);
    strcpy(server_name_hist[0], "typed");
    strcpy(server_name_hist[1], "a:1");
    server_field.cursor = 5;
    press(kPageUp);
    EXPECT_EQ(server_history_cursor, 1);
    EXPECT_STREQ(server_field.buffer, "a:1");
    EXPECT_LE(server_field.cursor, 3);
    press(kPageDown);
    EXPECT_STREQ(server_field.buffer, "typed");
    press(kPageDown);
    EXPECT_EQ(server_history_cursor, -1);
    EXPECT_STREQ(server_field.buffer, "typed");
}

// The field once opened with the cursor in front of "localhost", so typing went there.
TEST_F(MenuKeys, TheServerFieldTypesAfterTheAddressItShows)
{
    server_field.cursor = 0;   // as the program starts
    EXPECT_STREQ(server_field.buffer, "localhost");
    menu_open(screen_multiplayer);
    press(kDown, 3);
    press(':');
    press('7');
    EXPECT_STREQ(server_field.buffer, "localhost:7");
    // An address from "@config" or "--connect" alike.
    ui_text_set(&server_field, "127.0.0.1:5000");
    server_field.cursor = 0;
    menu_open(screen_main_menu);
    menu_open(screen_multiplayer);
    EXPECT_EQ(server_field.cursor, 14);
}

TEST_F(MenuKeys, TheConsoleScreenRunsTheCommands)
{
    menu_seams.console_execute = program_console_execute;
    menu_open(screen_console);
    ui_text_set(&console_field, "/mapscale 2");
    press(kEnter);
    EXPECT_EQ(plain_values.map_scale, 2.0f);
    EXPECT_STREQ(console_history[1], "/mapscale 2");   // a taken line is kept
    console_history_count = 1;   // as at start, for the history test
    console_history[1][0] = 0;
    console_history_index = 0;
}

TEST_F(MenuKeys, ConsoleHistoryKeepsTheNewest99AndClampsTheCursor)
{
    menu_open(screen_console);
    ui_text_set(&console_field, "bad");
    press(kEnter);
    EXPECT_STREQ(console_field.buffer, "bad");
    EXPECT_EQ(console_history_count, 1);
    for (int i = 0; i < 120; ++i) {
        ui_text_set(&console_field, ("line" + std::to_string(i)).c_str());
        press(kEnter);
    }
    EXPECT_EQ(console_history_count, 100);
    EXPECT_STREQ(console_history[1], "line119");
    EXPECT_STREQ(console_history[99], "line21");
    ui_text_set(&console_field, "a much longer line");
    console_field.cursor = 18;
    press(kUp);
    EXPECT_STREQ(console_field.buffer, "line119");
    EXPECT_EQ(console_field.cursor, 7);
    press('x');
    EXPECT_STREQ(console_field.buffer, "line119x");
    press(kDown);
    EXPECT_STREQ(console_field.buffer, "a much longer line");
    press(kPageUp, 1000);
    EXPECT_EQ(console_scroll, 950);
}

TEST_F(MenuKeys, BikeSetupMarksTheRiderInfo)
{
    menu_open(screen_bike_setup);
    net_rider_info_pending = 0;
    const int before = bike_choice.selected;
    bike_list_chosen(before);
    EXPECT_EQ(net_rider_info_pending, 0);
    menu_item = 5;
    ui_text_set(&rider_number_field, "999");
    rider_number_field.cursor = 0;
    press('1');
    EXPECT_STREQ(rider_number_field.buffer, "199");
    EXPECT_EQ(net_rider_info_pending, 1);
    // The race takes the bike the menu shows.
    menu_item = 3;
    press(kRight);
    EXPECT_STREQ(local_profile.bike, bike_names[bike_choice.selected]);
    EXPECT_NE(bike_choice.selected, before);
    // A look picked from its list marks the rider info too.
    net_rider_info_pending = 0;
    menu_item = 6;
    static const char* const looks[] = {"default", "red"};
    riding_gear_choice.items = looks;
    riding_gear_choice.count = 2;
    riding_gear_choice.selected = 0;
    press(kEnter);
    EXPECT_EQ(menu_screen, screen_choose_list);
    press(kDown, 3);
    press(kEnter);
    EXPECT_EQ(menu_screen, screen_bike_setup);
    EXPECT_EQ(riding_gear_choice.selected, 1);
    EXPECT_EQ(net_rider_info_pending, 1);
    // "*" on Stability opens the advanced screen.
    menu_open(screen_bike_setup);
    menu_item = 10;
    press('*');
    EXPECT_EQ(menu_screen, screen_advanced_stability);
}

}  // namespace

namespace {

// One series of two events and three opponents, selected.
struct OneSeries {
    series_event events[2] = {};
    OneSeries(int32_t completed)
    {
        array_free(&series_table);
        array_init(&series_table, sizeof(series));
        series s{};
        s.title = "Cup";
        s.event_count = 2;
        s.completed = completed;
        s.events = events;
        s.skill = 1;
        s.opponent_count = 3;
        s.opponents[0] = 7;
        s.opponents[1] = 8;
        s.opponents[2] = 9;
        events[0].minutes = 2;
        events[0].laps = 3;
        events[1].laps = 4;
        // First event places: opponents 1, 2, 0 and the player 3 (last).
        const int32_t places[] = {1, 2, 0, 3};
        std::copy(places, places + 4, events[0].places);
        array_push(&series_table, &s);
        list_select(0);
    }
    ~OneSeries()
    {
        array_free(&series_table);
        array_init(&series_table, sizeof(series));
    }
};

TEST_F(MenuKeys, SeriesEventsStartFromTheStandings)
{
    {
        OneSeries cup(0);
        ASSERT_EQ(series_start_next_event(), 1);
        const reset_call& c = resets.back();
        EXPECT_EQ(c.lineup[0], 1007);
        EXPECT_EQ(c.lineup[2], 1009);
        EXPECT_EQ(c.lineup[3], 1);
        EXPECT_EQ(c.ticks, 2 * 60 * 128);
        EXPECT_EQ(c.laps, 3);
        EXPECT_EQ(c.skill, 1);
    }
    {
        // Second event: the player finished last and starts at gate 6.
        OneSeries cup(1);
        series_active_index = -1;
        series_active_event = -1;
        menu_open(screen_series_standings);
        press(kDown);
        press(kEnter);
        EXPECT_EQ(menu_screen, -1);
        const reset_call& c = resets.back();
        EXPECT_EQ(c.lineup[6], 1);
        EXPECT_EQ(c.lineup[8], 1008);
        EXPECT_EQ(c.laps, 4);
        EXPECT_EQ(series_active_index, 0);
        EXPECT_EQ(series_active_event, 1);
        // The same series again while its event runs: nothing.
        const size_t before = resets.size();
        menu_open(screen_series_standings);
        press(kDown);
        press(kEnter);
        EXPECT_EQ(resets.size(), before);
    }
    {
        // A finished series starts nothing, yet the menus close.
        OneSeries cup(2);
        series_active_index = -1;
        const size_t before = resets.size();
        menu_open(screen_series_standings);
        press(kDown, 2);
        press(kEnter);
        EXPECT_EQ(menu_screen, -1);
        EXPECT_EQ(resets.size(), before);
    }
    series_active_index = -1;
    series_active_event = -1;
}

}  // namespace

namespace {

std::vector<int32_t> guarded;

TEST_F(MenuKeys, SetupKeysReachTheOwnBikeOnlyThroughTheGuard)
{
    menu_seams.setup_change_guard = [](int32_t slot) { guarded.push_back(slot); };
    guarded.clear();
    menu_open(screen_bike_setup);
    menu_item = 9;
    press(kDown);   // onto "Stability": no local rider, no guard
    EXPECT_TRUE(guarded.empty());

    race.kinds[0] = rider_kind_remote;
    race.kinds[2] = rider_kind_local;
    rider_slots[2].state_flags |= state_simulated_locally;
    menu_item = 9;
    press(kDown);
    EXPECT_EQ(guarded, std::vector<int32_t>{2});
    menu_item = 20;
    press(kDown);   // "Sticky Sit/Dab" is the rider's, not the bike's
    press(kRight);
    EXPECT_EQ(guarded.size(), 1u);
    press(kDown);   // "Realign After Fall"
    EXPECT_EQ(guarded.size(), 2u);
    menu_open(screen_suspension_gearing);
    press(kDown);
    press(kRight);
    EXPECT_EQ(guarded.size(), 4u);
    // Stepping "Stability" derives the advanced values from the new whole value.
    menu_open(screen_bike_setup);
    menu_item = 10;
    stability_slider.value = 57;
    press(kRight);
    EXPECT_EQ(stability_slider.value, 58);

    rider_slots[2].state_flags = 0;
    race.kinds[0] = race.kinds[2] = rider_kind_local;
    menu_seams.setup_change_guard = setup_change_guard;
}

}  // namespace

namespace {

TEST_F(MenuKeys, ResetPointsUnlocksTheRunningSeries)
{
    OneSeries cup(1);
    series_active_index = 0;
    series_active_event = 1;
    menu_open(screen_series_standings);
    press(kDown, 3);
    press(kEnter);
    EXPECT_EQ(series_at(0)->completed, 0);
    EXPECT_EQ(series_active_index, -1) << "the running event of a reset series is no longer counted";
    EXPECT_EQ(series_active_event, -1);
    // Now "Enter Next Event" starts the first event again.
    menu_open(screen_series_standings);
    press(kDown);
    press(kEnter);
    EXPECT_EQ(resets.back().lineup[3], 1);
    EXPECT_EQ(series_active_event, 0);
    series_active_index = series_active_event = -1;
}

TEST_F(MenuKeys, AdvancedGraphicsKeysTakeRoostAndReflectionsAtOnce)
{
    menu_open(screen_advanced_graphics);
    roost_density_slider.value = 250;
    roost_density = 250;
    reflections_choice.selected = 1;
    reflections = 1;
    menu_item = 8;
    press(kRight);
    EXPECT_EQ(roost_density, 260);
    menu_item = 11;
    press(kLeft);
    EXPECT_EQ(reflections, 0);
    const int before = roost_density;
    menu_item = 9;
    press(kRight);
    EXPECT_EQ(roost_density, before);
}

}  // namespace

// Multiplayer: Connect pushes the history and names the server; Disconnect leaves
// at once before the server answered, else through the leaving state; Request Restart
// closes the menus whatever the connection.
TEST_F(MenuKeys, MultiplayerConnectDisconnectAndRestart)
{
    for (auto& h : server_name_hist)
        h[0] = 0;
    ui_text_set(&server_field, "127.0.0.1:19800");
    menu_open(screen_multiplayer);
    press(kDown);
    press(kEnter);
    EXPECT_STREQ(server_name_hist[0], "127.0.0.1:19800");
    ASSERT_NE(net_server_name, nullptr);
    EXPECT_STREQ(net_server_name, "127.0.0.1:19800");
    EXPECT_LT(menu_screen, 0);
    net_server_name = nullptr;

    menu_open(screen_multiplayer);
    press(kDown, 2);
    press(kEnter);
    EXPECT_LT(menu_screen, 0) << "Request Restart closes the menus, connected or not";

    // A socket of the test's own stands for the connection.
    net_socket = socket(AF_INET, SOCK_DGRAM, 0);
    ASSERT_GE(net_socket, 0);
    net_state = 11;
    menu_open(screen_multiplayer);
    press(kDown);
    press(kEnter);
    EXPECT_EQ(net_state, 15) << "racing: the client leaves through its leaving state";
    EXPECT_NE(net_socket, -1);
    net_state = 0;
    press(kEnter);
    EXPECT_EQ(net_socket, -1) << "no answer yet: the client is reset at once";
    EXPECT_EQ(net_state, 0);
}
