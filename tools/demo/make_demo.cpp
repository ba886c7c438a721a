// The bundled demo: five automatic riders race the sample track with the race's own
// code, headless (no window, no sound), recorded for 45 s of race after the gate drop.
//   make_demo <base data folder> <output .bvdemo>
// The seed is fixed, so the same sources give the same bytes; it is one whose race
// has nobody down for the whole recording, so that the first race a player watches
// does not open with a fall.
#include "race/demo/demo.h"
#include "race/game_tick.h"
#include "race/race_state.h"
#include "race/track_load.h"
#include "sim/race_clock.h"
#include "sim/wheel_sampling.h"
#include "terrain/track_list.h"
#include "tools/headless/headless_race.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <xmmintrin.h>

namespace {

constexpr int kRiders = 5;
constexpr int kRecordedSeconds = 45;
constexpr int kLaps = 3;
constexpr int64_t kSeed = 5;
constexpr int kRoostDensity = 1000;

int fail(const char* what, const std::string& home)
{
    fprintf(stderr, "make_demo: %s\n", what);
    std::error_code ignored;
    std::filesystem::remove_all(home, ignored);
    return 1;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: make_demo <base data folder> <output .bvdemo>\n");
        return 1;
    }
    _mm_setcsr(_mm_getcsr() | 0x8040);   // flush-to-zero and denormals-are-zero, as the program runs
    setenv("BV_HOME", argv[1], 1);
    char temp[] = "/tmp/make_demo.XXXXXX";
    if (!mkdtemp(temp)) {
        perror("make_demo");
        return 1;
    }
    const std::string home = temp;
    const std::string recorded = home + "/Brovanta/demos/default.bvdemo";
    std::filesystem::create_directories(home + "/Brovanta/demos");
    setenv("XDG_DATA_HOME", home.c_str(), 1);
    unsetenv("QORL_LOGFILE");
    headless::race_start();
    roost_density = kRoostDensity;

    race_requested_folder = "tracks/sample";
    race_opts.seed = kSeed;
    race_opts.erode = -1;
    int32_t lineup[160] = {};
    for (int k = 0; k < kRiders; ++k)
        lineup[k] = 2;
    reset_race(lineup, 0, 1, 0, kLaps, 0);
    if (!track_terrain.heights)
        return fail("can't load tracks/sample", home);
    const int32_t end = race.gate_drop_tick + kRecordedSeconds * 128;
    while (current_tick < end)
        game_tick();
    demo_record_close();

    std::ifstream in(recorded, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.size() < 64)
        return fail("no demo was recorded", home);
    const std::filesystem::path out = argv[2];
    if (out.has_parent_path())
        std::filesystem::create_directories(out.parent_path());
    std::ofstream file(out, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), std::streamsize(bytes.size()));
    file.close();
    if (!file)
        return fail("can't write the demo", home);
    std::error_code ignored;
    std::filesystem::remove_all(home, ignored);
    return 0;
}
