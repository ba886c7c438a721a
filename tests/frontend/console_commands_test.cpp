// The console's line: matching, chat and the commands, answered on the message line.
#include "console_fixture.h"
#include "frontend/results_screen.h"
#include "frontend/settings.h"
#include "race/game_settings.h"
#include "race/game_tick.h"
#include "race/program/main_loop.h"
#include "race/race_state.h"
#include "race/program/settings_values.h"
#include "view/trackside_view.h"

using fronttest::Console;

TEST_F(Console, Matching)
{
    const struct {
        const char* line;
        int taken;
        const char* answer;
    } cases[] = {
        {"/randdump", 1, ""},
        {"\\randdump", 1, ""},
        {"/randdump x", 0, ""},          // exact
        {"/renderstats", 1, ""},
        {"\\renderstats", 1, ""},
        {"/renderstats x", 0, ""},
        {"/addkey now", 0, ""},
        {"/fovx", 1, "Usage: fov <degrees>"},   // prefix: the argument is "x"
        {"/ messagelines 3", 1, "Maximum showing messages is now 3"},   // word
        {"/messagelinesx 3", 0, ""},
        {"/fpshistory", 1, "128=0 64=0 32=0 16=0 8=0 4=0 2=0 1=0 "},     // prefix
        {"/nosuchcommand", 0, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(console_execute(c.line), c.taken) << c.line;
        EXPECT_EQ(newest(), c.answer) << c.line;
    }
}

TEST_F(Console, Chat)
{
    EXPECT_EQ(console_execute("hello"), 1);
    EXPECT_EQ(newest(), "Not connected to server");
    run_clock += 1.5;
    EXPECT_EQ(console_execute("again"), 0);
    EXPECT_EQ(newest(), "No one likes a spammer");
    run_clock += 2.5;
    EXPECT_EQ(console_execute("later"), 1);
}

TEST_F(Console, Switches)
{
    const struct {
        const char* line;
        const char* label;
        int* flag;
    } cases[] = {
        {"/togglespy", "Spy mode", &plain_values.spy},
        {"/togglegraph", "Suspension graph", &suspension_graph.on},
        {"/togglekeycam", "Keycam mode", &camera_key_playback},
        {"/togglefps", "FPS display", &plain_values.draw_fps},
        {"/toggletime", "Time display", &plain_values.draw_time},
        {"/toggleping", "Ping display", &plain_values.draw_ping},
        {"/togglespam", "Hide spam", &message_log.hide_spam},
        {"/togglespeed", "Speed display", &plain_values.draw_speed},
    };
    for (const auto& c : cases)
        *c.flag = 0;
    for (const auto& c : cases) {
        EXPECT_EQ(console_execute(c.line), 1) << c.line;
        EXPECT_EQ(newest(), std::string(c.label) + " ON");
        EXPECT_EQ(*c.flag, 1) << c.line;
        for (const auto& other : cases)
            EXPECT_TRUE(other.flag == c.flag || *other.flag == 0) << c.line << " moved " << other.line;
        console_execute(c.line);
        EXPECT_EQ(newest(), std::string(c.label) + " OFF");
        EXPECT_EQ(*c.flag, 0) << c.line;
    }
    plain_values.draw_ping = 1;

    // "renderstats" only switches on, and clears the maxima each time.
    render_stats = {};
    render_stats.max[2] = 9;
    console_execute("/renderstats");
    EXPECT_EQ(render_stats.on, 1);
    EXPECT_EQ(render_stats.max[2], 0);
    render_stats.max[6] = 4;
    console_execute("/renderstats");
    EXPECT_EQ(render_stats.on, 1);
    EXPECT_EQ(render_stats.max[6], 0);
    render_stats = {};
}

TEST_F(Console, Numbers)
{
    plain_values.billboard_optimize_lookahead = 8;
    plain_values.demo_backups = 0;
    plain_values.map_scale = 1;
    fov_slider.value = 110;
    const struct {
        const char* line;
        const char* answer;
    } cases[] = {
        {"/bbopt 12", "Billboard optimization window is now 12"},
        {"/messagelines 3", "Maximum showing messages is now 3"},
        {"/demobackups 4", "Now keeping 4 demo backups"},
        {"/mapscale 0", "Map scale set to 0.125000"},
        {"/mapscale 20", "Map scale set to 8.000000"},
        {"/reportstutter 0.05", "Stutter threshold set to 0.050000"},
        {"/fov 500", "fov set"},
        {"/log e 2", "Logging 0x1, spacing 2.000000"},
        {"/log 2", "Logging 0x0, spacing 10.000000"},
        {"/messagelines 5000", "Maximum showing messages is now 1000"},
        // A number that does not scan changes nothing.
        {"/bbopt", "Usage: bbopt <window>"},
        {"/bbopt x", "Usage: bbopt <window>"},
        {"/messagelines", "Usage: messagelines <count>"},
        {"/demobackups many", "Usage: demobackups <count>"},
        {"/mapscale", "Usage: mapscale <scale>"},
        {"/mapscale nan", "Usage: mapscale <scale>"},
        {"/reportstutter x", "Usage: reportstutter <seconds>"},
        {"/fov", "Usage: fov <degrees>"},
        {"/fov wide", "Usage: fov <degrees>"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(console_execute(c.line), 1) << c.line;
        EXPECT_EQ(newest(), c.answer) << c.line;
    }
    EXPECT_EQ(plain_values.billboard_optimize_lookahead, 12);
    EXPECT_EQ(message_lines, 1000);
    EXPECT_EQ(plain_values.demo_backups, 4);
    EXPECT_EQ(plain_values.map_scale, 8.0f);
    EXPECT_DOUBLE_EQ(stutter_threshold, 0.05);
    EXPECT_EQ(fov_slider.value, 170);
    EXPECT_EQ(game_settings.fov, 170);   // the value the views draw with
    EXPECT_EQ(position_log_flags, 0);
    EXPECT_EQ(position_log_spacing, 10.0f);
    plain_values = plain_settings{};
    fov_slider.value = 110;
}

TEST_F(Console, TheRest)
{
    race.force_reload = 0;
    console_execute("/forcereload");
    EXPECT_EQ(race.force_reload, 1);
    EXPECT_EQ(newest(), "Track will be reloaded on next restart");

    loop.histogram[0] = 3;
    loop.histogram[7] = 9;
    console_execute("/fpshist");
    EXPECT_EQ(newest(), "128=3 64=0 32=0 16=0 8=0 4=0 2=0 1=9 ");
    EXPECT_EQ(loop.histogram[0], 0u);

    poslog_append(1, 2, 3, "spot");
    console_execute("/clearlog");
    EXPECT_TRUE(position_log.empty());

    for (const char* line : {"/hfvol", "/toggledecals", "/savetrackinfo"}) {
        EXPECT_EQ(console_execute(line), 1);
        EXPECT_EQ(newest(), "No track loaded") << line;
    }
}

TEST_F(Console, DemoNamesAndUploadsWithoutARecordingOrServer)
{
    const struct {
        const char* line;
        const char* answer;
    } cases[] = {
        {"/namedemo lap", "Not currently recording a demo"},
        {"/sendfile a/b", "Filename may only contain alphanumeric characters, '_' or '.'"},
        {"/sendfile", "Can't open file"},
        {"/sendfile ..", "Can't open file"},
        {"/sendfile track.txt", "Can't open file"},   // no "@outgoing/track.txt"
    };
    for (const auto& c : cases) {
        EXPECT_EQ(console_execute(c.line), 1) << c.line;
        EXPECT_EQ(newest(), c.answer) << c.line;
    }
    const std::string long_name = "/sendfile " + std::string(1014, 'a');
    console_execute(long_name.c_str());
    EXPECT_EQ(newest(), "Filename too long");
}
