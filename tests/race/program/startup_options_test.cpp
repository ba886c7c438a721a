// The graphics and HUD options as the started program uses them: after the whole
// start-up ("@config", the settings' derivation, the lists, the track load) each value
// is the command line's when it was given, else the one "@config" derives.
#include "frontend/front_end.h"
#include "frontend/results_screen.h"
#include "gfx/model_scene.h"
#include "gfx/texture_settings.h"
#include "race/program/main_loop.h"
#include "race/program/settings_values.h"
#include "race/program/shutdown.h"
#include "race/program/startup.h"
#include "sim/wheel_sampling.h"
#include "support/fresh_process.h"
#include "support/xvfb_server.h"
#include "terrain/terrain_settings.h"
#include "terrain/track_list.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

using bvtest::TempDir;

namespace {

// A 1024 x 1024 ground texture and every other value far from what the options give.
const std::string kConfig =
    "video_mode=Windowed\nxres=320\nyres=240\nground_detail=50\nground_texture_detail=10\n"
    "ground_texture_dim_new=1024x1024\nmodel_detail=50\nmodel_texture_detail=10\nroost_density=250\n"
    "draw_fps=0\ndraw_time=0\ndraw_ping=1\ndraw_speed=0\n";

struct Option {
    const char* name;
    std::function<bool()> reached;   // read on the first frame with the track loaded
};

bool near(double a, double b)
{
    return std::fabs(a - b) < 1e-6;
}

std::string checked = "no frame with the track";
const std::vector<Option>* expected = nullptr;

void observe()
{
    if (track_folder == nullptr)
        return;
    checked.clear();
    for (const Option& o : *expected)
        if (!o.reached())
            checked += std::string(o.name) + " did not reach the program\n";
    loop.quit = 1;
}

// Starts the program in this (fresh) process with the config and arguments.
std::string start(const TempDir& home, const std::string& config, std::vector<const char*> args,
                  const std::vector<Option>& options)
{
    bvtest::write_file(home / "xdg/Brovanta/config", config);
    setenv("XDG_DATA_HOME", (home / "xdg").c_str(), 1);
    setenv("HOME", home.path().c_str(), 1);
    setenv("BV_HOME", BV_BUILD_DIR "/game", 1);
    unsetenv("QORL_OPTIONS");
    shutdown_pause_seconds = 0;
    expected = &options;
    loop_io.frame_observer = observe;
    front_end_install();
    args.insert(args.begin(), {"brovanta", "--track", "tracks/flat"});
    args.push_back(nullptr);
    const int status = brovanta_main(int(args.size()) - 1, const_cast<char**>(args.data()));
    return checked + (status == 0 ? "" : "the start failed\n");
}

}  // namespace

TEST(StartupOptions, EachGraphicsAndHudOptionWinsOverTheConfig)
{
    bvtest::XvfbServer server;
    BV_REQUIRE_XVFB(server);
    TempDir home;
    bvtest::in_fresh_process([&] {
        const std::vector<Option> options = {
            {"--texture-detail (models)", [] { return texture_detail_drop == 2; }},
            {"--texture-detail (ground)",
             [] { return terrain_texture_drop == 2 && track_terrain.detail_texture_size == 256; }},
            {"--detail", [] { return near(terrain_error_scale, 0.5); }},
            {"--lod-scale", [] { return near(lod_scale, 7); }},
            {"--lod-bias", [] { return near(lod_bias, 3); }},
            {"--roostfrequency", [] { return roost_density == 77; }},
            {"--max-detail-distance",
             [] { return near(terrain_max_detail_distance, 20) && near(terrain_max_detail_distance_outer, 25); }},
            {"--draw-fps", [] { return plain_values.draw_fps == 1; }},
            {"--draw-time", [] { return plain_values.draw_time == 1; }},
            {"--draw-ping", [] { return plain_values.draw_ping == 0; }},
            {"--draw-speed", [] { return plain_values.draw_speed == 1; }},
            {"--draw-render-stats", [] { return render_stats.on == 1; }},
        };
        return start(home, kConfig,
                     {"--texture-detail", "2", "--detail", "0.5", "--lod-scale", "7", "--lod-bias", "3",
                      "--roostfrequency", "77", "--max-detail-distance", "20", "--draw-fps", "1", "--draw-time", "1",
                      "--draw-ping", "0", "--draw-speed", "1", "--draw-render-stats", "1"},
                     options);
    });
}

TEST(StartupOptions, GroundTextureLevelsReachTheGroundFromTheConfigAndTheCommandLine)
{
    bvtest::XvfbServer server;
    BV_REQUIRE_XVFB(server);
    TempDir home, again;
    std::string config = kConfig;
    config.replace(config.find("ground_texture_detail=10"), 24, "ground_texture_detail=9");
    // The setting alone: one level off the 1024 x 1024 texture.
    bvtest::in_fresh_process([&] {
        const std::vector<Option> options = {
            {"ground_texture_detail=9",
             [] { return terrain_texture_drop == 1 && track_terrain.detail_texture_size == 512; }},
            {"model_texture_detail=10", [] { return texture_detail_drop == 0; }},
            {"ground_detail=50", [] { return near(terrain_error_scale, 0.125 / 50); }},
            {"no most detailed distance", [] { return terrain_max_detail_distance == 0; }},
        };
        return start(home, config, {}, options);
    });
    bvtest::in_fresh_process([&] {
        const std::vector<Option> options = {
            {"--ground-texture-detail",
             [] { return terrain_texture_drop == 3 && track_terrain.detail_texture_size == 128; }},
            {"--ground-texture-detail leaves the models", [] { return texture_detail_drop == 0; }},
        };
        return start(again, config, {"--ground-texture-detail", "3"}, options);
    });
}
