// Speed of the track script's handlers: a headless race start on "tracks/sample" with
// 8 automatic riders, timing only the tick and frame handler calls (one frame per
// tick, the worst case). First a stress script that calls the API heavily each tick,
// then the sample track's own script.
//   script_bench [--ticks N]
#include "race/race_rules.h"
#include "race/race_state.h"
#include "race/track_load.h"
#include "script/script_host.h"
#include "script/script_seams.h"
#include "terrain/track_list.h"
#include "tools/headless/headless_race.h"

#include "duktape.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

double time_handlers(int ticks)
{
    using clock_type = std::chrono::steady_clock;
    const int32_t first = race.gate_drop_tick;
    const auto start = clock_type::now();
    for (int t = 0; t < ticks; ++t) {
        race.tick = first + t;
        script_call_tic_handler();
        script_call_frame_handler();
    }
    return std::chrono::duration<double, std::micro>(clock_type::now() - start).count() / ticks;
}

double script_number(const char* name)
{
    duk_context* ctx = script_current->engine;
    duk_get_global_string(ctx, name);
    const double v = duk_get_number_default(ctx, -1, 0);
    duk_pop(ctx);
    return v;
}

void race_on_sample()
{
    race_requested_folder = "tracks/sample";
    race.force_reload = 1;
    int32_t lineup[160] = {2, 2, 2, 2, 2, 2, 2, 2};
    reset_race(lineup, 0, 0, 0, 3, 0);
}

}  // namespace

int main(int argc, char** argv)
{
    int ticks = 2000;
    for (int i = 1; i + 1 < argc; ++i)
        if (!strcmp(argv[i], "--ticks"))
            ticks = std::max(1, atoi(argv[i + 1]));
    char user[] = "/tmp/bv_script_bench_XXXXXX";
    if (!mkdtemp(user)) {
        perror("mkdtemp");
        return 1;
    }
    const std::string folder = std::string(user) + "/Brovanta/tracks/sample";
    std::filesystem::create_directories(folder);
    setenv("XDG_DATA_HOME", user, 1);
    setenv("BV_HOME", BV_BUILD_DIR "/base_staging", 0);
    headless::start();
    race_rules_install();   // the running order the scripts read
    script_install();

    // The stress script stands in the user folder as the sample's script.
    std::ifstream in(BV_SOURCE_DIR "/bench/stress_script.js");
    std::stringstream text;
    text << in.rdbuf();
    std::ofstream(folder + "/nofrills.js") << text.str();
    if (!scan_tracks()) {
        fputs("no tracks found\n", stderr);
        return 1;
    }
    race_on_sample();
    if (!script_current) {
        fputs("the stress script did not load\n", stderr);
        return 1;
    }
    const double us = time_handlers(ticks);
    const double calls = script_number("calls_per_tick");
    printf("stress script: %.1f us per tick, %.0f API calls, %.0f ns per call\n", us, calls,
           calls > 0 ? us * 1000 / calls : 0.0);
    script_unload();

    // Then the sample track's own script, the stand-in gone from the user folder.
    std::filesystem::remove_all(user + std::string("/Brovanta"));
    scan_tracks();
    race_on_sample();
    if (!script_current) {
        fputs("the sample track's script did not load\n", stderr);
        std::filesystem::remove_all(user);
        return 1;
    }
    printf("script: %.1f us per tick\n", time_handlers(ticks));
    script_unload();
    std::filesystem::remove_all(user);
    return 0;
}
