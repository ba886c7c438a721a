// The first frame of the program: the fonts and start-up pictures of the base data
// load, a broken font is only reported, and everything is freed at the end.
#include "race/program/program_window.h"
#include "support/xvfb_server.h"

#include <gtest/gtest.h>

using bvtest::EnvChange;
using bvtest::TempDir;
using bvtest::has;

namespace {

const std::string& program = bvtest::program_path;

TEST(StartupGraphics, TheBundledFontsAndPicturesLoadAndAreFreed)
{
    bvtest::XvfbServer server;
    BV_REQUIRE_XVFB(server);
    TempDir home;
    bvtest::WindowedRun run = bvtest::run_and_close_window({program}, bvtest::program_env(home));
    EXPECT_TRUE(run.window_seen);
    EXPECT_EQ(run.result.status, 0);
    EXPECT_EQ(run.result.err, "");   // allocation tracking is on: nothing left behind
    const std::string log = bvtest::read_file(home / "xdg/Brovanta/lastlog.txt");
    EXPECT_FALSE(has(log, "Can't open font")) << log;
    EXPECT_FALSE(has(log, "Warning:")) << log;
}

TEST(StartupGraphics, AnUnreadableFontIsReportedAndTheProgramRuns)
{
    bvtest::XvfbServer server;
    BV_REQUIRE_XVFB(server);
    TempDir home;
    // The user data folder comes first in the search: a broken font there hides the bundled one.
    bvtest::write_file(home / "xdg/Brovanta/font.png", "not a picture");
    bvtest::WindowedRun run = bvtest::run_and_close_window({program}, bvtest::program_env(home));
    EXPECT_TRUE(run.window_seen);
    EXPECT_EQ(run.result.status, 0);
    EXPECT_EQ(run.result.err, "");
    const std::string log = bvtest::read_file(home / "xdg/Brovanta/lastlog.txt");
    EXPECT_TRUE(has(log, "] Can't open font '@font.png'\n")) << log;
    EXPECT_FALSE(has(log, "Can't open font '@numbers.png'")) << log;
}

}  // namespace
