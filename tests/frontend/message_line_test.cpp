// The message ring: what is stored, what is logged, how many lines show and for how
// long, the on/off toggle text and the stutter report.
#include "foundation/front_door.h"
#include "frontend/front_end.h"
#include "frontend/message_line.h"
#include "frontend_env.h"
#include "gfx/log_capture.h"
#include "race/program/run_clock.h"

#include <gtest/gtest.h>

#include <string>

namespace {

bool has(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

class MessageLine : public testing::Test {
protected:
    void SetUp() override
    {
        message_log_clear();
        message_log.hide_spam = 1;
        message_lines = 5;
        run_clock = 0;
        stutter_threshold = 0;
    }
};

TEST_F(MessageLine, SpamIsDroppedUntilTheToggleLetsItThrough)
{
    LogCapture log;
    console_print("[SPAM] Setup change 3");
    EXPECT_EQ(message_log.write_index, 0);
    EXPECT_FALSE(has(log.text(), "Setup change"));

    console_toggle("Hide spam", &message_log.hide_spam);
    EXPECT_EQ(message_log.hide_spam, 0);
    EXPECT_STREQ(message_line_back(0), "Hide spam OFF");
    console_print("[SPAM] Setup change 4");
    EXPECT_STREQ(message_line_back(0), "[SPAM] Setup change 4");
    EXPECT_TRUE(has(log.text(), "Hide spam OFF\n"));
    EXPECT_TRUE(has(log.text(), "[SPAM] Setup change 4\n"));

    console_toggle("Hide spam", &message_log.hide_spam);
    EXPECT_STREQ(message_line_back(0), "Hide spam ON");
    int flag = 0;
    console_toggle(std::string(70, 'x').c_str(), &flag);
    EXPECT_EQ(message_line_back(0), std::string(60, 'x') + " ON");
}

TEST_F(MessageLine, LongTextsEscapesAndLineEnds)
{
    LogCapture log;
    const std::string long_text(300, 'q');
    console_print(long_text.c_str());
    EXPECT_EQ(message_line_back(0), std::string(255, 'q'));
    EXPECT_TRUE(has(log.text(), long_text + "\n"));

    console_print("\033[31mred");
    EXPECT_TRUE(has(log.text(), "\033[31mred\033[0m\n"));
    console_print("ends\n");
    EXPECT_TRUE(has(log.text(), "ends\n"));
    EXPECT_FALSE(has(log.text(), "ends\n\n"));
    EXPECT_STREQ(message_line_back(0), "ends\n");
    console_print("\033[31mboth\n");
    EXPECT_TRUE(has(log.text(), "\033[31mboth\n\033[0m"));
}

TEST_F(MessageLine, TheRingWrapsAfterAThousandLines)
{
    for (int i = 0; i < 1001; ++i)
        console_print(("line " + std::to_string(i)).c_str());
    EXPECT_EQ(message_log.write_index, 1);
    EXPECT_STREQ(message_log.lines[0], "line 1000");
    EXPECT_STREQ(message_log.lines[1], "line 1");
    EXPECT_STREQ(message_line_back(1), "line 999");
    EXPECT_EQ(message_ring_index(-1), 999);
    EXPECT_EQ(message_ring_index(2001), 1);
}

TEST_F(MessageLine, ShownLinesRetireTwoSecondsAfterTheNewestThenEveryFive)
{
    for (int i = 0; i < 7; ++i)
        console_print("quick");
    EXPECT_EQ(message_log.shown, 5);
    auto frame_at = [](double t) {
        run_clock = t;
        message_line_retire();
        return message_log.shown;
    };
    EXPECT_EQ(frame_at(1.9), 5);
    EXPECT_EQ(frame_at(2.01), 4);
    EXPECT_EQ(frame_at(6.9), 4);
    EXPECT_EQ(frame_at(7.02), 3);
    run_clock = 8;
    console_print("news");
    EXPECT_EQ(message_log.shown, 4);
    EXPECT_EQ(frame_at(9.9), 4);   // the wait is 2 s again
    EXPECT_EQ(frame_at(10.01), 3);

    message_log_clear();
    message_lines = 0;
    console_print("hidden");
    EXPECT_EQ(message_log.shown, 0);
    message_lines = 5000;
    for (int i = 0; i < 1200; ++i)
        console_print("many");
    EXPECT_EQ(message_log.shown, 1000);
}

TEST_F(MessageLine, StutterReportsNameTheSlowSection)
{
    fronttest::FakeClock clock(10000);
    LogCapture log;
    message_report_stutter("draw");
    clock.advance(5);
    message_report_stutter("draw");
    EXPECT_FALSE(has(log.text(), "Stutter"));

    stutter_threshold = 0.05;
    clock.advance(0.1);
    message_report_stutter("draw");
    EXPECT_TRUE(has(log.text(), "Stutter in draw - 0.100000 seconds\n"));
    clock.advance(0.04);
    message_report_stutter("flip");
    EXPECT_FALSE(has(log.text(), "Stutter in flip"));
}

TEST_F(MessageLine, StartUpClearsTheRingAndTheDoorOnlyLogsBeforeInstalling)
{
    console_print("kept until start-up");
    message_ring_clear();
    EXPECT_EQ(message_log.write_index, 0);
    EXPECT_STREQ(message_log.lines[0], "");

    front_door = front_door_log_only;
    LogCapture log;
    console_print("before the front end");
    front_end_install();
    EXPECT_TRUE(has(log.text(), "before the front end\n"));
    EXPECT_EQ(message_log.write_index, 0);
}

}  // namespace
