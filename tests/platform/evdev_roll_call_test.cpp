// The roll calls as a whole, each in a fresh process of this test program (options
// and the log are decided once per process): what they register under the options,
// and what they log about each device.
#include "fake_evdev.h"
#include "support/test_support.h"

#include "platform/qorl_input.h"
#include "platform/qorl_log.h"

#include <gtest/gtest.h>

#include <climits>
#include <unistd.h>
#include <vector>

namespace {

// Run only by the tests below, with QORL_OPTIONS and QORL_LOGFILE set for it.
TEST(EvdevRollCallChild, DISABLED_RollCallAndShutdown)
{
    bvtest::FakeClock clock(100000);
    bvtest::FakeEvdev devices;
    devices.plug("/dev/input/event1", bvtest::keyboard_info("Keyboard"));
    devices.plug("/dev/input/event2", bvtest::pad_info("Game Pad"));
    devices.plug("/dev/input/event3", bvtest::wheel_info("Wheel"));
    qorl_input input;
    ASSERT_TRUE(qorl_input_init(&input, nullptr));
    qorl_input_roll_call(&input);
    uint32_t code = 0;
    if (qorl_find_device(input.devices, "Wheel")) {
        ASSERT_TRUE(qorl_input_key_code(&input, &code, "Wheel button 0"));
    }
    devices.send("/dev/input/event3", {bvtest::key_event(evdev::btn_joystick, 1, 105000)});
    qorl_poll_devices(&input);
    // The cursor buttons are aliases once the window's roll call is done.
    ASSERT_TRUE(qorl_input_key_code(&input, &code, "cursor-right"));
    EXPECT_EQ(code, 0x2002u);
    qorl_input_shutdown(&input);
    qorl_log(nullptr);
}

std::string run_child(const std::string& options, const std::string& log)
{
    char self[PATH_MAX] = {};
    ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    EXPECT_GT(length, 0);
    auto result = bvtest::run_process(
        {self, "--gtest_also_run_disabled_tests",
         "--gtest_filter=EvdevRollCallChild.DISABLED_RollCallAndShutdown"},
        {{"QORL_OPTIONS", options}, {"QORL_LOGFILE", log}});
    EXPECT_EQ(result.status, 0) << result.out << result.err;
    return bvtest::read_file(log);
}

bool has_line(const std::string& log, const std::string& line)
{
    return log.find("] " + line) != std::string::npos;
}

TEST(EvdevRollCall, PadsGoToTheXInputSlotsUnlessTheOptionsSayOtherwise)
{
    struct row {
        const char* options;
        std::vector<const char*> lines;
        const char* absent;
    };
    for (const row& r :
         {row{"",
              {"Game Pad (1234:5678)\n", "Ignoring XInput device\n", "3 axes, 12 keys\n", "Adding axis \"Wheel axis 2\"\n",
               "XInputGamepad0 found\n", "Killing Wheel\n", "Timestamp adjustment was 5000\n"},
              "Keyboard"},  // keyboards are not even offered
          row{"[xinput:off]", {"XInput disabled\n", "Adding axis \"GamePad axis 0\"\n"}, "Ignoring XInput device"},
          row{"[dinput:off]", {"DirectInput disabled\n", "XInputGamepad0 found\n"}, "Wheel"}}) {
        bvtest::TempDir dir;
        std::string log = run_child(r.options, dir / "log.txt");
        for (const char* line : r.lines)
            EXPECT_TRUE(has_line(log, line)) << r.options << ": " << line << "\nin:\n" << log;
        EXPECT_FALSE(has_line(log, r.absent)) << r.options;
    }
}

}  // namespace
