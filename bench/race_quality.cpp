// How well the automatic riders race the sample track, headless and deterministic:
//   race_quality [riders 1..40, default 8] [laps 1..20, default 3] [seconds, default 900]
// Each skill's lines (novice, amateur, expert) are raced once, in a process of their
// own, from the same fixed seed with no erosion; the race ends when every rider has
// its laps or `seconds` after the drop. Per skill one line, then the expert lines'
// figures again as the last line:
//   quality: <falls> falls per rider-lap, <first>% in first gear, clean laps <pct>% over
//   the lines' laps, worst <ft> ft off a line, <finished>/<riders> finished
// The race and what counts as a fall, a clean lap, the lines' own lap and straying are
// those of tests/race/quality_race.h, which the race tests share. The figures never
// fail the run: it fails only when the track does not load.
#include "race/quality_race.h"
#include "sim/wheel_sampling.h"
#include "tools/headless/headless_race.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include <sys/wait.h>
#include <unistd.h>
#include <xmmintrin.h>

namespace {

constexpr int kRoostDensity = 1000;   // the default
constexpr int kSeed = 11;
constexpr int kMaxRiders = 40;
const char* const kSkillNames[] = {"novice", "amateur", "expert"};

using figures = racetest::quality_figures;
using racetest::clean_percent_over;
using racetest::falls_per_rider_lap;
using racetest::first_gear_percent;

figures race_skill(int skill, int riders, int laps, int seconds)
{
    racetest::quality_race_setup setup;
    setup.seed = kSeed;
    setup.skill = skill;
    setup.riders = riders;
    setup.laps = laps;
    setup.seconds = seconds;
    return racetest::quality_race(setup);
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
        headless::race_start();
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
