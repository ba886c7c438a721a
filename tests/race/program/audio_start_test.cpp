// The program's audio step as a user drives it: "--record-audio" opens the offline
// recorder and its file, "--nosound" opens nothing, and otherwise whatever device
// exists is opened and closed again (none on a machine without a sound card).
#include "race/program/program_window.h"
#include "support/test_support.h"
#include "support/xvfb_server.h"

#include <gtest/gtest.h>

#include <unistd.h>

using bvtest::EnvChange;
using bvtest::TempDir;

namespace {

const std::string program = BV_BUILD_DIR "/brovanta";

struct run_result {
    int status;
    std::string err;
    std::string log;
};

run_result run(const TempDir& home, std::vector<std::string> args, const std::string& options = "")
{
    std::vector<EnvChange> env = {{"XDG_DATA_HOME", home / "xdg"}, {"HOME", home.path()},
                                  {"QORL_LOGFILE", "", true},      {"QORL_LOGFILE_FLAGS", "", true},
                                  {"BV_HOME", "", true},           {"BV_CHECK_ALLOC", "1"}};
    if (options.empty())
        env.push_back({"QORL_OPTIONS", "", true});
    else
        env.push_back({"QORL_OPTIONS", options});
    args.insert(args.begin(), program);
    // The audio step follows the window's: the program runs on a display and is closed.
    bvtest::ProcessResult r = bvtest::run_and_close_window(args, env).result;
    return {r.status, r.err, bvtest::read_file(home / "xdg/Brovanta/lastlog.txt")};
}

bool has(const std::string& log, const std::string& line)
{
    return log.find("] " + line) != std::string::npos;
}

TEST(AudioStart, RecordingOpensTheOfflineMixerAndItsFile)
{
    bvtest::XvfbServer server;
    BV_REQUIRE_XVFB(server);
    TempDir home;
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--record-audio", home / "race.raw"},
          std::vector<std::string>{"--record-audio=" + (home / "race.raw")}}) {
        unlink((home / "race.raw").c_str());
        run_result r = run(home, args);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err, "");
        EXPECT_TRUE(bvtest::file_exists(home / "race.raw"));
        EXPECT_TRUE(has(r.log, "Opening readback audio...\n")) << r.log;
        EXPECT_TRUE(has(r.log, "Audio opened!\n"));
        EXPECT_FALSE(has(r.log, "Opening waveOut audio...\n"));
    }
}

// A forgotten file name: the next option is read as an option, never taken as the file.
TEST(AudioStart, RecordingTakesNoOptionForItsFile)
{
    bvtest::XvfbServer server;
    BV_REQUIRE_XVFB(server);
    TempDir home;
    run_result r = run(home, {"--record-audio", "--glversion", "3.3"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(bvtest::file_exists("--glversion"));
    EXPECT_FALSE(has(r.log, "Opening readback audio...\n")) << r.log;
    EXPECT_TRUE(has(r.log, "GL_VERSION: ") && r.log.find("Compatibility Profile") != std::string::npos)
        << "3.3 asks for any profile: " << r.log;
}

TEST(AudioStart, UnwritableRecordingFileEndsTheRun)
{
    bvtest::XvfbServer server;
    BV_REQUIRE_XVFB(server);
    TempDir home;
    bvtest::write_file(home / "plain-file", "x");  // no folder can be made in its place
    run_result r = run(home, {"--record-audio", home / "plain-file/race.raw"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("--record-audio"), std::string::npos) << r.err;
    EXPECT_FALSE(has(r.log, "Opening readback audio...\n"));
}

TEST(AudioStart, NosoundOpensNoDevice)
{
    bvtest::XvfbServer server;
    BV_REQUIRE_XVFB(server);
    TempDir home;
    run_result r = run(home, {"--nosound"}, "[dsnd:off]");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(has(r.log, "Brovanta version")) << r.log;
    EXPECT_FALSE(has(r.log, "Opening waveOut audio...\n")) << r.log;
    EXPECT_EQ(r.log.find("ALSA lib"), std::string::npos);
}

TEST(AudioStart, LiveDeviceIsOpenedWhenThereIsOneAndClosedAgain)
{
    bvtest::XvfbServer server;
    BV_REQUIRE_XVFB(server);
    TempDir home;
    run_result r = run(home, {}, "[dsnd:off]");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");  // ALSA's complaints belong in the log
    ASSERT_TRUE(has(r.log, "Opening waveOut audio...\n")) << r.log;
    if (has(r.log, "Audio opened!\n")) {
        EXPECT_TRUE(has(r.log, "Closing audio\n"));
        EXPECT_TRUE(has(r.log, "Audio thread end\n"));
    } else {
        EXPECT_TRUE(has(r.log, "No audio device\n") || has(r.log, "Can't open waveOut\n")) << r.log;
    }
}

}  // namespace
