// How fast the game tick races automatic riders on the sample track, headless:
//   race_bench <riders 1..160> [seconds, default 60]
// The track loads through reset_race with a fixed seed, the default roost density and
// no erosion; the wait for the gate drop runs untimed, then `seconds` of race after
// the drop are timed. The last line is
//   race: <riders> riders, <T> ticks/s, <F>x real time, state hash <40 hex digits>
// where the hash is the RIPEMD-160 of every timed tick's packed states (slot order),
// so two runs with the same arguments can be compared. Single-threaded; pin it with
// taskset -c 0 on a busy machine. The base data is found through BV_HOME (default:
// the build's staging folder).
#include "foundation/numbers/ripemd160.h"
#include "race/demo/demo.h"
#include "race/game_tick.h"
#include "race/race_rules.h"
#include "race/race_state.h"
#include "race/track_load.h"
#include "sim/ai_lines_learning.h"
#include "sim/race_clock.h"
#include "sim/rider_slot.h"
#include "sim/wheel_sampling.h"
#include "terrain/track_list.h"
#include "tools/headless/headless_race.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <xmmintrin.h>

namespace {

constexpr int kRoostDensity = 1000;   // the default

}  // namespace

int main(int argc, char** argv)
{
    const int riders = argc > 1 ? atoi(argv[1]) : 0;
    const int seconds = argc > 2 ? atoi(argv[2]) : 60;
    if (riders < 1 || riders > 160 || seconds < 1) {
        fprintf(stderr, "usage: race_bench <riders 1..160> [seconds]\n");
        return 1;
    }
    _mm_setcsr(_mm_getcsr() | 0x8040);   // flush-to-zero and denormals-are-zero, as the program runs
    if (!getenv("BV_HOME"))
        setenv("BV_HOME", BV_BUILD_DIR "/base_staging", 1);
    char home[] = "/tmp/race_bench.XXXXXX";
    if (mkdtemp(home))
        setenv("XDG_DATA_HOME", home, 1);
    headless::race_start();
    roost_density = kRoostDensity;

    race_requested_folder = "tracks/sample";
    race_opts.seed = 11;
    race_opts.erode = -1;
    int32_t lineup[160] = {};
    for (int k = 0; k < riders; ++k)
        lineup[k] = 2;
    reset_race(lineup, 0, 0, 0, 3, 0);
    if (!track_terrain.heights) {
        fprintf(stderr, "race_bench: can't load tracks/sample\n");
        return 1;
    }
    while (current_tick <= race.gate_drop_tick)
        game_tick();

    const int ticks = seconds * 128;
    ripemd160_ctx hash;
    ripemd160_init(&hash);
    double timed = 0;
    for (int t = 0; t < ticks; ++t) {
        const auto began = std::chrono::steady_clock::now();
        game_tick();
        timed += std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
        for (int k = 0; k < kRiderSlots; ++k) {
            const rider_slot* r = &rider_slots[k];
            if (!r->bodies[body_frame])
                continue;
            packed_rider_state s;
            bike_pack_state(r, &track_terrain, &s);
            ripemd160_update(&hash, s.bytes, sizeof s.bytes);
        }
    }
    ripemd160_final(&hash);
    char hex[41];
    for (int i = 0; i < 20; ++i)
        snprintf(hex + 2 * i, 3, "%02x", hash.digest[i]);

    const double per_second = ticks / timed, factor = per_second / 128;
    printf("roost density %d, erosion off, seed 11\n", kRoostDensity);
    printf("riders %d, ticks %d, wall %.3f s, %.1f ticks/s, %.2fx real time, %.1f us per rider-tick\n", riders, ticks,
           timed, per_second, factor, timed * 1e6 / ticks / riders);
    printf("race: %d riders, %.1f ticks/s, %.2fx real time, state hash %s\n", riders, per_second, factor, hex);
    return 0;
}
