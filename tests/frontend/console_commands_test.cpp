// The console's line: matching, chat and the commands, answered on the message line.
#include "foundation/front_door.h"
#include "frontend/console_commands.h"
#include "frontend/front_end.h"
#include "frontend/message_line.h"
#include "frontend/position_log.h"
#include "frontend/results_screen.h"
#include "race/main_loop.h"
#include "race/net_connection.h"
#include "race/race_state.h"
#include "race/run_clock.h"
#include "sim/wheel_sampling.h"
#include "view/render_world.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class Console : public testing::Test {
protected:
    void SetUp() override
    {
        front_end_install();
        message_log_clear();
        message_log.hide_spam = 0;
        message_lines = 5;
        run_clock = 100;
        console_last_chat_time = -1e9;
        net_socket = -1;
    }
    void TearDown() override
    {
        message_log.hide_spam = 1;
        position_log_flags = 0;
        position_log_spacing = 10;
        stutter_threshold = 0;
        poslog_clear();
    }
    // The newest message, "" when nothing was printed since the last call.
    std::string newest()
    {
        if (message_log.write_index == seen)
            return "";
        seen = message_log.write_index;
        return message_line_back(0);
    }
    int seen = 0;
};

}  // namespace

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
        {"/togglefps", "FPS display", &results_overlay.draw_fps},
        {"/toggletime", "Time display", &results_overlay.draw_time},
        {"/toggleping", "Ping display", &results_overlay.draw_ping},
        {"/togglespam", "Hide spam", &message_log.hide_spam},
        {"/togglespeed", "Speed display", &results_overlay.draw_speed},
    };
    for (const auto& c : cases) {
        const int before = *c.flag;
        console_execute(c.line);
        EXPECT_NE(*c.flag, before) << c.line;
        console_execute(c.line);
        EXPECT_EQ(*c.flag, before) << c.line;
    }
    message_log.hide_spam = 0;
}

TEST_F(Console, Numbers)
{
    const struct {
        const char* line;
        const char* answer;
    } cases[] = {
        {"/messagelines 3", "Maximum showing messages is now 3"},
        {"/messagelines 5000", "Maximum showing messages is now 1000"},
        {"/messagelines", "Usage: messagelines <count>"},
        {"/reportstutter 0.05", "Stutter threshold set to 0.050000"},
        {"/reportstutter x", "Usage: reportstutter <seconds>"},
        {"/log e 2", "Logging 0x1, spacing 2.000000"},
        {"/log 2", "Logging 0x0, spacing 10.000000"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(console_execute(c.line), 1) << c.line;
        EXPECT_EQ(newest(), c.answer) << c.line;
    }
    EXPECT_EQ(message_lines, 1000);
    EXPECT_DOUBLE_EQ(stutter_threshold, 0.05);
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

    for (const char* line : {"/hfvol", "/toggledecals"}) {
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
        {"/sendfile track.txt", "Not connected to server"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(console_execute(c.line), 1) << c.line;
        EXPECT_EQ(newest(), c.answer) << c.line;
    }
    const std::string long_name = "/sendfile " + std::string(1014, 'a');
    console_execute(long_name.c_str());
    EXPECT_EQ(newest(), "Filename too long");
}
