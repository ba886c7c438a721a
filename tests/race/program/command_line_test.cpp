// The command line as the parser reads it: every option into its field in both
// writings, the ends of the parse, the conversions and their limits.
#include "race/program/command_line.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

command_line_result parse(std::vector<std::string> args)
{
    std::vector<const char*> argv = {"brovanta"};
    for (const std::string& a : args)
        argv.push_back(a.c_str());
    return parse_command_line(int(argv.size()), argv.data());
}

// Parses and expects the run to go on without a line.
command_line settings(std::vector<std::string> args)
{
    const command_line_result r = parse(args);
    EXPECT_EQ(r.outcome, command_line_outcome::go_on) << args[0];
    EXPECT_TRUE(r.lines.empty()) << args[0] << ": " << (r.lines.empty() ? "" : r.lines[0]);
    return r.settings;
}

void expect_failure(std::vector<std::string> args, const std::string& line)
{
    const command_line_result r = parse(args);
    EXPECT_EQ(r.outcome, command_line_outcome::fail) << args[0];
    ASSERT_EQ(r.lines.size(), 1u) << args[0];
    EXPECT_EQ(r.lines[0], line);
}

}  // namespace

TEST(CommandLine, EveryFlagLandsInItsFieldAndTakesNoEqualsValue)
{
    using check = std::function<bool(const command_line&)>;
    const std::pair<const char*, check> flags[] = {
        {"--fugly", [](const command_line& c) { return c.fugly; }},
        {"--nosound", [](const command_line& c) { return c.nosound; }},
        {"--novertexarrays", [](const command_line&) { return true; }},
        {"--learn", [](const command_line& c) { return c.learning == 1; }},
        {"--nolearn", [](const command_line& c) { return c.learning == 0; }},
        {"--nommx", [](const command_line&) { return true; }},
        {"--debug", [](const command_line& c) { return c.verbose_level == 1; }},
        {"--super-debug", [](const command_line& c) { return c.verbose_level == 2; }},
        {"--practice", [](const command_line& c) { return c.practice; }},
        {"--warp", [](const command_line& c) { return c.warp; }},
        {"--record-video", [](const command_line& c) { return c.record_video; }},
        {"--editor", [](const command_line& c) { return c.editor; }},
        {"--hidden-pause", [](const command_line& c) { return c.hidden_pause; }},
        {"--hidden-hud", [](const command_line& c) { return c.hidden_hud; }},
        {"--accurate-skip", [](const command_line& c) { return c.accurate_skip; }},
        {"--glfinish", [](const command_line& c) { return c.glfinish; }},
        {"--print-orientation", [](const command_line& c) { return c.print_orientation; }},
    };
    for (const auto& [name, given] : flags) {
        EXPECT_TRUE(given(settings({name}))) << name;
        expect_failure({std::string(name) + "=1"}, std::string("bad option '") + name + "=1'\n");
    }
    const command_line none = settings({"demo.bvdemo"});
    EXPECT_FALSE(none.fugly || none.nosound || none.editor || none.learning || none.verbose_level);
}

TEST(CommandLine, EveryValueOptionInBothWritings)
{
    using check = std::function<bool(const command_line&)>;
    const struct {
        const char* name;
        const char* value;
        check landed;
    } options[] = {
        {"--texture-detail", "3", [](const command_line& c) { return c.model_texture_drop == 3 && c.ground_texture_drop == 3; }},
        {"--ground-texture-detail", "1", [](const command_line& c) { return c.ground_texture_drop == 1 && !c.model_texture_drop; }},
        {"--roostfrequency", "500", [](const command_line& c) { return c.roost_density == 500; }},
        {"--erode", "2", [](const command_line& c) { return c.erode == 2048; }},
        {"--detail", "0.5", [](const command_line& c) { return c.terrain_error_scale == 0.5f; }},
        {"--max-detail-distance", "30", [](const command_line& c) { return c.max_detail_distance == 30.0f; }},
        {"--lod-scale", "2.5", [](const command_line& c) { return c.lod_scale == 2.5f; }},
        {"--lod-bias", "-4", [](const command_line& c) { return c.lod_bias == -4.0f; }},
        {"--lock-fps", "60", [](const command_line& c) { return c.lock_fps == 60.0f; }},
        {"--fake-lag", "250", [](const command_line& c) { return c.fake_lag && std::abs(*c.fake_lag - 0.25) < 1e-9; }},
        {"--fake-loss", "7", [](const command_line& c) { return c.fake_loss == 7; }},
        {"--record-audio", "out.raw", [](const command_line& c) { return c.record_audio == "out.raw"; }},
        {"--rotate-lineup", "3", [](const command_line& c) { return c.rotate_lineup == 3; }},
        {"--width", "800", [](const command_line& c) { return c.width == 800; }},
        {"--height", "600", [](const command_line& c) { return c.height == 600; }},
        {"--depth", "24", [](const command_line& c) { return c.depth == 24; }},
        {"--zdepth", "32", [](const command_line& c) { return c.zdepth == 32; }},
        {"--draw-fps", "1", [](const command_line& c) { return c.draw_fps == 1; }},
        {"--draw-time", "2", [](const command_line& c) { return c.draw_time == 2; }},
        {"--draw-ping", "3", [](const command_line& c) { return c.draw_ping == 3; }},
        {"--draw-speed", "4", [](const command_line& c) { return c.draw_speed == 4; }},
        {"--draw-render-stats", "5", [](const command_line& c) { return c.draw_render_stats == 5; }},
        {"--track", "hill", [](const command_line& c) { return c.track == "hill"; }},
        {"--password", "secret", [](const command_line& c) { return c.password == "secret"; }},
        {"--connect", "host:19800", [](const command_line& c) { return c.connect == "host:19800" && c.track == ""; }},
        {"--chase-center", "1,2,3", [](const command_line& c) { return c.chase_center == std::array<float, 3>{1, 2, 3}; }},
        {"--glversion", "4.6core", [](const command_line& c) {
             return c.glversion && c.glversion->major == 4 && c.glversion->minor == 6 && c.glversion->profile == 1;
         }},
    };
    for (const auto& o : options) {
        EXPECT_TRUE(o.landed(settings({o.name, o.value}))) << o.name << " " << o.value;
        EXPECT_TRUE(o.landed(settings({std::string(o.name) + "=" + o.value}))) << o.name << "=" << o.value;
    }
    // "--bikes" takes its value, says it does nothing and the run goes on.
    for (const auto& args : {std::vector<std::string>{"--bikes", "x"}, {"--bikes=x"}, {"--bikes"}}) {
        const command_line_result r = parse(args);
        EXPECT_EQ(r.outcome, command_line_outcome::go_on);
        EXPECT_EQ(r.lines, std::vector<std::string>{"--bikes doesn't do anything anymore\n"});
        EXPECT_FALSE(r.settings.demo_file);
    }
}

TEST(CommandLine, NamesMatchWholeAndTheEndOfOptionsMakesFileNames)
{
    expect_failure({"--detail0.5"}, "bad option '--detail0.5'\n");
    expect_failure({"--glversionx", "es"}, "bad option '--glversionx'\n");
    expect_failure({"-x"}, "bad option '-x'\n");
    expect_failure({"-"}, "bad option '-'\n");
    EXPECT_EQ(settings({"--", "--editor"}).demo_file, "--editor");
    EXPECT_FALSE(settings({"--", "--editor"}).editor);
    EXPECT_EQ(settings({"--", "--"}).demo_file, "--");   // a second "--" is a file name
    EXPECT_EQ(settings({"--nosound", "--"}).demo_file, std::nullopt);
    expect_failure({"a.bvdemo", "b.bvdemo"}, "Too many files!\n");
    expect_failure({"a.bvdemo", "--", "--glversion"}, "Too many files!\n");
    // A value option takes the next argument whatever it looks like...
    EXPECT_EQ(settings({"--track", "--editor"}).track, "--editor");
    // ...except that a recording file is never the next option.
    const command_line c = settings({"--record-audio", "--nosound"});
    EXPECT_FALSE(c.record_audio);
    EXPECT_TRUE(c.nosound);
    EXPECT_EQ(settings({"--record-audio=--odd"}).record_audio, "--odd");
}

TEST(CommandLine, ValueOptionsGivenLast)
{
    const char* with_message[] = {"--texture-detail", "--ground-texture-detail", "--roostfrequency", "--erode",
                                  "--detail", "--max-detail-distance", "--lod-scale", "--lod-bias",
                                  "--lock-fps", "--fake-lag", "--fake-loss", "--chase-center"};
    for (const char* name : with_message)
        expect_failure({"--nosound", name}, std::string("Bad arg for ") + name + "\n");
    expect_failure({"--glversion"}, "bad arg for --glversion\n");
    // The others leave their settings unset and the run goes on.
    const char* quiet[] = {"--track", "--record-audio", "--password", "--connect", "--width", "--height",
                           "--rotate-lineup", "--depth", "--zdepth", "--draw-fps", "--draw-time",
                           "--draw-ping", "--draw-speed", "--draw-render-stats"};
    for (const char* name : quiet) {
        const command_line c = settings({"--width", "1024", "--track", "t", name});
        EXPECT_EQ(c.width, 1024);
        EXPECT_FALSE(c.record_audio || c.password || c.connect || c.height || c.depth || c.draw_fps);
        EXPECT_EQ(c.track, "t");
    }
}

TEST(CommandLine, ClampsAndConversions)
{
    EXPECT_EQ(settings({"--fake-loss", "250"}).fake_loss, 100);
    EXPECT_EQ(settings({"--fake-loss", "-3"}).fake_loss, 0);
    EXPECT_EQ(settings({"--fake-lag", "2000"}).fake_lag, 1.0);
    EXPECT_EQ(settings({"--fake-lag", "-5"}).fake_lag, 0.0);
    const command_line nine = settings({"--texture-detail", "9"});
    EXPECT_EQ(nine.model_texture_drop, 4);
    EXPECT_EQ(nine.ground_texture_drop, 4);
    EXPECT_EQ(settings({"--roostfrequency", "5000"}).roost_density, 1000);
    EXPECT_EQ(settings({"--erode", "0.5"}).erode, 512);
    EXPECT_EQ(settings({"--erode", "150"}).erode, 102400);
    EXPECT_EQ(settings({"--erode", "-1"}).erode, 0);
    EXPECT_EQ(settings({"--lod-scale", "0"}).lod_scale, 1e-6f);
    EXPECT_EQ(settings({"--lod-scale", "1e9"}).lod_scale, 1e6f);
    // "%d" stops at the first character that is not part of the number.
    EXPECT_EQ(settings({"--width", "3x"}).width, 3);
    EXPECT_FALSE(settings({"--width", "x3"}).width);
    // Plain integers: white space, a sign, digits; 0 without any; saturated.
    EXPECT_EQ(settings({"--depth", "  -12abc"}).depth, -12);
    EXPECT_EQ(settings({"--depth", "abc"}).depth, 0);
    EXPECT_EQ(settings({"--depth", "99999999999"}).depth, INT32_MAX);
    EXPECT_EQ(settings({"--depth", "-99999999999"}).depth, INT32_MIN);
    expect_failure({"--chase-center", "1,2"}, "Bad arg for --chase-center\n");
    expect_failure({"--detail", "fine"}, "Bad arg for --detail\n");
    // A distance below 0 was once taken silently; 0 is the terrain's own detail.
    expect_failure({"--max-detail-distance", "-50"}, "Bad arg for --max-detail-distance\n");
    expect_failure({"--max-detail-distance", "-0.001"}, "Bad arg for --max-detail-distance\n");
    EXPECT_EQ(settings({"--max-detail-distance", "0"}).max_detail_distance, 0.0f);
    EXPECT_EQ(settings({"--max-detail-distance", "0.001"}).max_detail_distance, 0.001f);
    expect_failure({"--texture-detail", "high"}, "Bad arg for --texture-detail\n");
    // A real that scans to infinity does not convert.
    expect_failure({"--lock-fps", "1e999"}, "Bad arg for --lock-fps\n");
    expect_failure({"--chase-center", "1,1e999,2"}, "Bad arg for --chase-center\n");
}

// A rate a player can wait through: 1e-12 once made a period beyond any int, 0.001 a
// frame every 1000 s. Slower rates come up to 1 a second with a line; 0 or less is off,
// as it always was; fast rates (a 2000 fps slow-motion capture) pass as given.
TEST(CommandLine, LockFpsIsBoundedAndSaysSo)
{
    struct {
        const char* value;
        float rate;
        const char* line;
    } const cases[] = {
        {"1e-12", 1, "--lock-fps 1e-12 is out of range: using 1\n"},
        {"0.001", 1, "--lock-fps 0.001 is out of range: using 1\n"},
        {"0.999", 1, "--lock-fps 0.999 is out of range: using 1\n"},
        {"1", 1, nullptr},
        {"30", 30, nullptr},
        {"1000", 1000, nullptr},
        {"1001", 1001, nullptr},
        {"2000", 2000, nullptr},
        {"1e9", 1e9f, nullptr},
        {"0", 0, nullptr},
        {"-5", -5, nullptr},
    };
    for (const auto& c : cases) {
        const command_line_result r = parse({"--lock-fps", c.value});
        EXPECT_EQ(r.outcome, command_line_outcome::go_on) << c.value;
        EXPECT_EQ(r.settings.lock_fps, c.rate) << c.value;
        if (c.line) {
            ASSERT_EQ(r.lines.size(), 1u) << c.value;
            EXPECT_EQ(r.lines[0], c.line);
        } else {
            EXPECT_TRUE(r.lines.empty()) << c.value;
        }
    }
    // The largest rate a float holds passes either way; the next step scans to infinity.
    EXPECT_EQ(settings({"--lock-fps", "3.4e38"}).lock_fps, 3.4e38f);
    expect_failure({"--lock-fps", "3.5e38"}, "Bad arg for --lock-fps\n");
    EXPECT_EQ(settings({"--lock-fps", "-3.4e38"}).lock_fps, -3.4e38f);
    expect_failure({"--lock-fps", "-3.5e38"}, "Bad arg for --lock-fps\n");
    expect_failure({"--lock-fps", "nan"}, "Bad arg for --lock-fps\n");
}

TEST(CommandLine, GlVersionAndDialect)
{
    EXPECT_FALSE(settings({"--nosound"}).glversion);
    const gl_version_choice plain{};
    EXPECT_EQ(plain.major * 10 + plain.minor, 31);
    EXPECT_EQ(plain.profile, 1);   // 3.1 core unless asked otherwise
    const struct {
        std::vector<std::string> args;
        int version, profile;
    } good[] = {{{"--glversion", "3.3"}, 33, 0},
                {{"--glversion", "3.2core"}, 32, 1},
                {{"--glversion=3.2 core"}, 32, 1},
                {{"--glversion=3.0 es"}, 30, 2},
                {{"--glversion", "4.6compatibility"}, 46, 0},
                {{"--glversion", "3.3", "--glversion=4.1 core"}, 41, 1}};
    for (const auto& g : good) {
        const command_line c = settings(g.args);
        ASSERT_TRUE(c.glversion) << g.args[0];
        EXPECT_EQ(c.glversion->major * 10 + c.glversion->minor, g.version) << g.args.back();
        EXPECT_EQ(c.glversion->profile, g.profile) << g.args.back();
    }
    expect_failure({"--glversion", "es"}, "bad arg for --glversion\n");
    expect_failure({"--glversion", "3"}, "bad arg for --glversion\n");
    expect_failure({"--glversion", "3.2 vulkan"},
                   "unknown OpenGL dialect for --glversion (must be 'compatibility', 'core' or 'es')\n");
}

TEST(CommandLine, LaterOptionsWinAndTheFirstEndingCounts)
{
    const command_line a = settings({"--texture-detail", "2", "--ground-texture-detail", "3"});
    EXPECT_EQ(a.model_texture_drop, 2);
    EXPECT_EQ(a.ground_texture_drop, 3);
    const command_line b = settings({"--ground-texture-detail", "3", "--texture-detail", "2"});
    EXPECT_EQ(b.model_texture_drop, 2);
    EXPECT_EQ(b.ground_texture_drop, 2);
    EXPECT_EQ(settings({"--debug", "--super-debug"}).verbose_level, 2);
    EXPECT_EQ(settings({"--learn", "--nolearn"}).learning, 0);

    command_line_result r = parse({"--open-home", "--bogus"});
    EXPECT_EQ(r.outcome, command_line_outcome::open_home);
    EXPECT_TRUE(r.lines.empty());
    r = parse({"--bogus", "--open-home"});
    EXPECT_EQ(r.outcome, command_line_outcome::fail);
    EXPECT_EQ(r.lines, std::vector<std::string>{"bad option '--bogus'\n"});
    r = parse({"--bikes", "1", "--bogus", "--also-bad"});
    EXPECT_EQ(r.lines, (std::vector<std::string>{"--bikes doesn't do anything anymore\n", "bad option '--bogus'\n"}));
}

TEST(CommandLine, ConnectAddress)
{
    EXPECT_EQ(settings({"--connect", "brovanta:host:19800"}).connect, "host:19800");
    EXPECT_EQ(settings({"--connect", "host"}).connect, "host");
    const std::string long_address(300, 'h');
    EXPECT_EQ(settings({"--connect", long_address}).connect, std::string(127, 'h'));
    // The server names the track.
    const command_line c = settings({"--track", "hill", "--connect", "host"});
    EXPECT_EQ(c.track, "");
    EXPECT_FALSE(settings({"--track", "hill", "--connect"}).track == "");
}
