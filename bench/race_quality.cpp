// How well the automatic riders race the sample track, headless and deterministic:
//   race_quality [riders 1..40, default 8] [laps 1..20, default 3] [seconds, default 900]
// Each skill's lines (novice, amateur, expert) are raced once, in a process of their
// own, from the same fixed seed with no erosion; the race ends when every rider has
// its laps or `seconds` after the drop. Per skill one line, then the expert lines'
// figures again as the last line:
//   quality: <falls> falls per rider-lap, <first>% in first gear, clean laps <pct>% over
//   the lines' laps, worst <ft> ft off a line, <finished>/<riders> finished
// A fall is the crash counter becoming non-zero; a clean lap is one without a fall and
// without a recovery; the lines' own lap is the sum, over the tables of that lap (first
// or further), of the fastest recorded segment time; "off a line" is the frame's
// horizontal distance to the nearest stretch of any loaded line, every 16 ticks.
// First gear and straying count only until the rider has its laps. The figures never
// fail the run: it fails only when the track does not load.
#include "race/demo/demo.h"
#include "race/game_tick.h"
#include "race/headless_race.h"
#include "race/line_stretches.h"
#include "race/race_state.h"
#include "race/track_load.h"
#include "sim/ai_lines.h"
#include "sim/gate_times.h"
#include "sim/race_clock.h"
#include "sim/rider_access.h"
#include "sim/rider_slot.h"
#include "sim/wheel_sampling.h"
#include "terrain/track_list.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>
#include <xmmintrin.h>

namespace {

constexpr int kRoostDensity = 1000;   // the default
constexpr int kSeed = 11;
constexpr int kMaxRiders = 40;
const char* const kSkillNames[] = {"novice", "amateur", "expert"};

struct figures {
    int riders = 0, laps = 0, finished = 0, falls = 0, recoveries = 0;
    long first_gear_ticks = 0, riding_ticks = 0;
    long gear_ticks[6] = {};
    int clean_laps = 0;
    double clean_ratio_sum = 0;   // clean lap time / the lines' lap, summed
    double lines_first_lap = 0, lines_lap = 0;   // seconds
    float worst = 0;
    float worst_at[2] = {};
    bool loaded = false;
};

using racetest::distance_to;
using racetest::line_stretches;
using racetest::stretch;

// Seconds of the fastest line of each table from `first` on, `count` tables.
double fastest_lines(int first, int count)
{
    double total = 0;
    for (int t = first; t < first + count; ++t) {
        int32_t best = ai_line_no_time;
        for (const ai_line& line : ai_table(t)->lines)
            if (ai_line_used(line))
                best = std::min(best, line.segment_time);
        if (best < ai_line_no_time)
            total += best / 128.0;
    }
    return total;
}

figures race_skill(int skill, int riders, int laps, int seconds)
{
    figures f;
    f.riders = riders;
    f.laps = laps;
    race_requested_folder = "tracks/sample";
    race_opts.seed = kSeed;
    race_opts.erode = -1;
    int32_t lineup[160] = {};
    for (int k = 0; k < riders; ++k)
        lineup[k] = 2;
    reset_race(lineup, 0, 0, 0, laps, skill);
    if (!track_terrain.heights)
        return f;
    f.loaded = true;
    const std::vector<stretch> lines = line_stretches();
    if (ai_lines_exist()) {
        f.lines_first_lap = fastest_lines(0, ai_lines.first_lap_segments);
        f.lines_lap = fastest_lines(ai_lines.first_lap_segments, ai_lines.normal_lap_segments);
    }

    std::vector<char> down(size_t(riders), 0), recovering(size_t(riders), 0);
    // Per rider and lap (1-based): an incident happened during it.
    std::vector<std::vector<char>> incident(size_t(riders), std::vector<char>(size_t(laps) + 2, 0));
    const int32_t cap = race.gate_drop_tick + seconds * 128;
    auto all_done = [&] {
        for (int k = 0; k < riders; ++k)
            if (rider_laps_completed(&rider_slots[k]) < laps)
                return false;
        return true;
    };
    while (current_tick < cap && !all_done()) {
        game_tick();
        if (current_tick <= race.gate_drop_tick)
            continue;
        for (int k = 0; k < riders; ++k) {
            const rider_slot& r = rider_slots[k];
            const int done = rider_laps_completed(&r);
            if (done >= laps)
                continue;
            const size_t lap = size_t(done + 1);
            ++f.riding_ticks;
            const int gear = std::clamp(rider_get_gear(&r), 0, 5);
            ++f.gear_ticks[gear];
            f.first_gear_ticks += gear == 0 ? 1 : 0;   // gear 0 is the first
            const bool fell = r.crash_counter > 0 && !down[size_t(k)];
            const bool recovers = r.recovery != 0 && !recovering[size_t(k)];
            f.falls += fell ? 1 : 0;
            f.recoveries += recovers ? 1 : 0;
            if (fell || recovers)
                incident[size_t(k)][lap] = 1;
            down[size_t(k)] = r.crash_counter > 0;
            recovering[size_t(k)] = r.recovery != 0;
            if (current_tick % 16 == 0 && !lines.empty()) {
                const dReal* at = dBodyGetPosition(r.bodies[body_frame]);
                const float off = distance_to(lines, float(at[0]), float(at[2]));
                if (off > f.worst) {
                    f.worst = off;
                    f.worst_at[0] = float(at[0]);
                    f.worst_at[1] = float(at[2]);
                }
            }
        }
    }
    for (int k = 0; k < riders; ++k) {
        const rider_slot& r = rider_slots[k];
        const int done = rider_laps_completed(&r);
        f.finished += done >= laps ? 1 : 0;
        for (int lap = 1; lap <= std::min(done, laps); ++lap) {
            const double own = lap == 1 ? f.lines_first_lap : f.lines_lap;
            const double took = rider_lap_time(&r, lap);
            if (incident[size_t(k)][size_t(lap)] || own <= 0 || took <= 0)
                continue;
            ++f.clean_laps;
            f.clean_ratio_sum += took / own;
        }
    }
    return f;
}

double falls_per_rider_lap(const figures& f)
{
    return f.riders * f.laps > 0 ? double(f.falls) / (f.riders * f.laps) : 0;
}
double first_gear_percent(const figures& f)
{
    return f.riding_ticks > 0 ? 100.0 * double(f.first_gear_ticks) / double(f.riding_ticks) : 0;
}
double clean_percent_over(const figures& f)
{
    return f.clean_laps > 0 ? 100.0 * (f.clean_ratio_sum / f.clean_laps - 1) : 0;
}

void print_figures(const char* head, const figures& f)
{
    printf("%s%.2f falls per rider-lap, %.0f%% in first gear, clean laps %.1f%% over the lines' laps, worst %.1f ft "
           "off a line, %d/%d finished",
           head, falls_per_rider_lap(f), first_gear_percent(f), clean_percent_over(f), double(f.worst), f.finished,
           f.riders);
}

// Races one skill in a child process (each race starts from a fresh program state)
// and hands its figures back through a pipe.
bool race_in_child(int skill, int riders, int laps, int seconds, figures* out)
{
    int ends[2];
    if (pipe(ends) != 0)
        return false;
    fflush(stdout);
    const pid_t child = fork();
    if (child < 0)
        return false;
    if (child == 0) {
        close(ends[0]);
        racetest::headless_race_start();
        roost_density = kRoostDensity;
        const figures f = race_skill(skill, riders, laps, seconds);
        const bool sent = write(ends[1], &f, sizeof f) == ssize_t(sizeof f);
        _exit(sent ? 0 : 1);
    }
    close(ends[1]);
    const bool got = read(ends[0], out, sizeof *out) == ssize_t(sizeof *out);
    close(ends[0]);
    int status = 0;
    waitpid(child, &status, 0);
    return got && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

int main(int argc, char** argv)
{
    const int riders = argc > 1 ? atoi(argv[1]) : 8;
    const int laps = argc > 2 ? atoi(argv[2]) : 3;
    const int seconds = argc > 3 ? atoi(argv[3]) : 900;
    if (riders < 1 || riders > kMaxRiders || laps < 1 || laps > 20 || seconds < 1 || seconds > 7200) {
        fprintf(stderr, "usage: race_quality [riders 1..40] [laps 1..20] [seconds 1..7200]\n");
        return 1;
    }
    _mm_setcsr(_mm_getcsr() | 0x8040);   // flush-to-zero and denormals-are-zero, as the program runs
    if (!getenv("BV_HOME"))
        setenv("BV_HOME", BV_BUILD_DIR "/base_staging", 1);
    char home[] = "/tmp/race_quality.XXXXXX";
    if (mkdtemp(home))
        setenv("XDG_DATA_HOME", home, 1);

    printf("sample track, seed %d, erosion off, %d riders, %d laps, at most %d s\n", kSeed, riders, laps, seconds);
    figures expert;
    for (int skill = 0; skill < 3; ++skill) {
        figures f;
        if (!race_in_child(skill, riders, laps, seconds, &f) || !f.loaded) {
            fprintf(stderr, "race_quality: can't race tracks/sample on the %s lines\n", kSkillNames[skill]);
            std::error_code ignored;
            std::filesystem::remove_all(home, ignored);
            return 1;
        }
        char head[64];
        snprintf(head, sizeof head, "%s lines: ", kSkillNames[skill]);
        print_figures(head, f);
        printf(", %d recoveries, %d clean laps, lines' laps %.1f s and %.1f s, worst near (%.0f, %.0f)\n",
               f.recoveries, f.clean_laps, f.lines_first_lap, f.lines_lap, double(f.worst_at[0]),
               double(f.worst_at[1]));
        printf("  time in gears 1-6:");
        for (long t : f.gear_ticks)
            printf(" %.0f%%", f.riding_ticks > 0 ? 100.0 * double(t) / double(f.riding_ticks) : 0.0);
        printf("\n");
        if (skill == 2)
            expert = f;
    }
    print_figures("quality: ", expert);
    printf("\n");
    std::error_code ignored;
    std::filesystem::remove_all(home, ignored);
    return 0;
}
