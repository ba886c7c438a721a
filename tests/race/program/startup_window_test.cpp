// The program's window as a user meets it: it opens with the GL context that
// "--glversion" asks for, says in the log what the driver is, and ends cleanly when the
// window is closed.
#include "race/program/program_window.h"
#include "support/xvfb_server.h"

#include <gtest/gtest.h>

using bvtest::EnvChange;
using bvtest::TempDir;
using bvtest::has;

namespace {

const std::string& program = bvtest::program_path;

}  // namespace

TEST(ProgramWindow, OpensReportsTheDriverAndEndsWhenClosed)
{
    bvtest::XvfbServer server;
    BV_REQUIRE_XVFB(server);
    for (const char* options : {"[threaded:off]", "[threaded:on]"}) {
        SCOPED_TRACE(options);
        TempDir home;
        auto env = bvtest::program_env(home);
        env.push_back({"QORL_OPTIONS", options});
        bvtest::WindowedRun run = bvtest::run_and_close_window({program}, env);
        EXPECT_TRUE(run.window_seen);
        EXPECT_EQ(run.result.status, 0);
        EXPECT_EQ(run.result.err, "");  // allocation tracking is on: nothing left behind
        std::string log = bvtest::program_log(home);
        EXPECT_TRUE(has(log, "] Brovanta version 2023-06-18-1650 snapshot\n")) << log;
        EXPECT_TRUE(has(log, "] GL_VENDOR: ")) << log;
        EXPECT_TRUE(has(log, "] GL_RENDERER: ")) << log;
        EXPECT_TRUE(has(log, "] GL_VERSION: 4.")) << log;  // Mesa's core profile at 3.1 or later
        EXPECT_TRUE(has(log, "] GL_EXTENSIONS: NULL\n")) << log;  // a core context has no string
        EXPECT_TRUE(has(log, "] Creating \"tilemap\" shader\n")) << log;  // the last of the six
        EXPECT_TRUE(has(log, "] Deleting OpenGL context\n")) << log;
        EXPECT_TRUE(has(log, "] Window shutdown complete\n")) << log;
    }
}

TEST(ProgramWindow, GlversionPicksTheContext)
{
    bvtest::XvfbServer server;
    BV_REQUIRE_XVFB(server);
    TempDir home;
    bvtest::WindowedRun run =
        bvtest::run_and_close_window({program, "--glversion=3.1 es"}, bvtest::program_env(home));
    EXPECT_TRUE(run.window_seen);
    EXPECT_EQ(run.result.status, 0);
    EXPECT_TRUE(has(bvtest::program_log(home), "] GL_VERSION: OpenGL ES 3.")) << bvtest::program_log(home);
    EXPECT_TRUE(has(bvtest::program_log(home), "] Creating \"tilemap\" shader\n")) << bvtest::program_log(home);

    TempDir compat_home;
    run = bvtest::run_and_close_window({program, "--glversion", "3.3"}, bvtest::program_env(compat_home));
    EXPECT_TRUE(run.window_seen);
    EXPECT_EQ(run.result.status, 0);
    EXPECT_TRUE(has(bvtest::program_log(compat_home), "(Compatibility Profile)")) << bvtest::program_log(compat_home);
    EXPECT_TRUE(has(bvtest::program_log(compat_home), "] Creating \"tilemap\" shader\n")) << bvtest::program_log(compat_home);
}

TEST(ProgramWindow, OldGlVersionIsLoggedAndEndsWithoutWaiting)
{
    bvtest::XvfbServer server;
    BV_REQUIRE_XVFB(server);
    TempDir home;
    auto env = bvtest::program_env(home);
    env.push_back({"MESA_GL_VERSION_OVERRIDE", "3.0"});  // the driver claims no more than 3.0
    auto r = bvtest::run_process({program, "--glversion", "3.0"}, env);
    EXPECT_EQ(r.status, 1) << r.err;
    std::string log = bvtest::program_log(home);
    EXPECT_TRUE(has(log, "] GL_VERSION: 3.0")) << log;
    EXPECT_TRUE(has(log, "] OpenGL version too old\n")) << log;
    EXPECT_TRUE(has(log, "] Deleting OpenGL context\n")) << log;
    // The short shutdown: from "Closing audio" on, in order, and "@config" is written.
    size_t at = log.find("] OpenGL version too old\n");
    for (const char* line : {"Closing audio", "Writing config files", "Freeing memory (2)", "Freeing memory (3)",
                             "Freeing file list", "Freeing memory (4)", "Deleting textures", "Deleting models",
                             "Deleting OpenGL context"}) {
        at = log.find(std::string("] ") + line + "\n", at);
        EXPECT_NE(at, std::string::npos) << line << " missing or out of order\n" << log;
    }
    EXPECT_FALSE(has(log, "Deallocating bikes")) << log;
    EXPECT_TRUE(has(bvtest::read_file(home / "xdg/Brovanta/config"), "throttle_key=(k)x\n"));
    EXPECT_EQ(r.err, "");
}

// A window of 100000 x 100000 once ended in SIGSEGV inside the GL driver, from the
// command line and from "@config" alike: the screen's size is taken, with a line.
TEST(ProgramWindow, AHugeWindowSizeIsBroughtToTheScreen)
{
    bvtest::XvfbServer server;
    BV_REQUIRE_XVFB(server);
    const std::string said = "Window size 100000x100000 is more than the screen allows: using 1024x768\n";
    for (bool from_config : {false, true}) {
        SCOPED_TRACE(from_config ? "xres and yres" : "--width and --height");
        TempDir home;
        bvtest::write_file(home / "xdg/Brovanta/config",
                           from_config ? "video_mode=Windowed\nxres=100000\nyres=100000\n" : "video_mode=Windowed\n");
        std::vector<std::string> argv = {program};
        if (!from_config)
            argv.insert(argv.end(), {"--width", "100000", "--height", "100000"});
        const bvtest::WindowedRun run = bvtest::run_and_close_window(argv, bvtest::program_env(home));
        EXPECT_TRUE(run.window_seen);
        EXPECT_EQ(run.result.status, 0);
        EXPECT_EQ(run.result.err, said);
        EXPECT_TRUE(has(bvtest::program_log(home), said));
    }
}

// On a 1280 x 720 screen a 1280 x 720 window was once cut to 1024 x 720, and "xres=-640"
// was called more than the screen: the screen's own size is the bound, and a size of 0
// or less is out of range and takes the default. The size the window got is saved.
TEST(ProgramWindow, TheWindowFitsTheScreenItOpensOn)
{
    bvtest::XvfbServer server("1280x720x24");
    BV_REQUIRE_XVFB(server);
    struct {
        const char* config;
        std::string said;
        const char* saved;
    } const cases[] = {
        {"xres=1280\nyres=720\n", "", "xres=1280\nyres=720\n"},
        {"xres=1281\nyres=720\n", "Window size 1281x720 is more than the screen allows: using 1280x720\n",
         "xres=1280\nyres=720\n"},
        {"xres=1\nyres=1\n", "", "xres=1\nyres=1\n"},
        {"xres=0\nyres=600\n", "Window size 0x600 is out of range: using 640x600\n", "xres=640\nyres=600\n"},
        {"xres=-640\nyres=-480\n", "Window size -640x-480 is out of range: using 640x480\n",
         "xres=640\nyres=480\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.config);
        TempDir home;
        bvtest::write_file(home / "xdg/Brovanta/config", std::string("video_mode=Windowed\n") + c.config);
        const bvtest::WindowedRun run = bvtest::run_and_close_window({program}, bvtest::program_env(home));
        EXPECT_TRUE(run.window_seen);
        EXPECT_EQ(run.result.status, 0);
        EXPECT_EQ(run.result.err, c.said);
        EXPECT_TRUE(has(bvtest::read_file(home / "xdg/Brovanta/config"), c.saved));
    }
}

TEST(ProgramWindow, OnlyTheBaseArchiveMeansNoTracks)
{
    bvtest::XvfbServer server;
    BV_REQUIRE_XVFB(server);
    TempDir home;
    bvtest::write_file(home / "data/zzzz.saf", bvtest::read_file(BV_BUILD_DIR "/game/zzzz.saf"));
    auto env = bvtest::program_env(home);
    env.push_back({"BV_HOME", home / "data"});
    auto r = bvtest::run_process({program}, env);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "No tracks found\n");
}

TEST(ProgramWindow, ShadersThatDoNotBuildEndWithStatusOne)
{
    bvtest::XvfbServer server;
    BV_REQUIRE_XVFB(server);
    TempDir home;
    auto env = bvtest::program_env(home);
    env.push_back({"MESA_GLSL_VERSION_OVERRIDE", "140"});  // refuses the programs' "#version 150"
    auto r = bvtest::run_process({program}, env);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Can't initialize shaders\n");
    std::string log = bvtest::program_log(home);
    EXPECT_TRUE(has(log, "] Creating \"unlit\" shader\n")) << log;
    EXPECT_FALSE(has(log, "Creating \"norm_env\" shader")) << log;
    EXPECT_TRUE(has(log, "] Deleting OpenGL context\n")) << log;
}

TEST(ProgramWindow, BadGlversionStopsBeforeAnyWindow)
{
    struct Case {
        std::vector<std::string> arguments;
        std::string message;
    };
    const std::string dialect =
        "unknown OpenGL dialect for --glversion (must be 'compatibility', 'core' or 'es')\n";
    const Case cases[] = {{{"--glversion", "es"}, "bad arg for --glversion\n"},
                          {{"--glversion"}, "bad arg for --glversion\n"},
                          {{"--glversion=3"}, "bad arg for --glversion\n"},
                          {{"--glversion", "3.3fortran"}, dialect}};
    for (const Case& c : cases) {
        TempDir home;
        std::vector<std::string> argv = {program};
        argv.insert(argv.end(), c.arguments.begin(), c.arguments.end());
        auto env = bvtest::program_env(home);
        env.push_back({"DISPLAY", ":999999"});  // a window would fail differently
        auto r = bvtest::run_process(argv, env);
        EXPECT_EQ(r.status, 1) << c.arguments.back();
        EXPECT_EQ(r.err, c.message) << c.arguments.back();
        EXPECT_FALSE(has(bvtest::program_log(home), "Creating window")) << c.arguments.back();
    }
}

TEST(ProgramWindow, NoDisplayMeansStatusOne)
{
    TempDir home;
    auto env = bvtest::program_env(home);
    env.push_back({"DISPLAY", "", true});
    auto r = bvtest::run_process({program}, env);
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(has(bvtest::program_log(home), "] Brovanta version")) << bvtest::program_log(home);
}
