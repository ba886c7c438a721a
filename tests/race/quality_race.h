// A headless race of automatic riders on a track's lines with fixed seed and no
// erosion, counting how well they race: falls, recoveries, gears, clean laps and
// straying from the lines. The race-quality benchmark prints these figures; the race
// tests hold them to limits. Needs headless::race_start (or the fixture's
// start_racing) in a fresh process.
#pragma once

#include <cstdint>
#include <functional>

namespace racetest {

struct quality_figures {
    int riders = 0, laps = 0, finished = 0, falls = 0, recoveries = 0;
    long first_gear_ticks = 0, riding_ticks = 0;
    long gear_ticks[6] = {};
    int clean_laps = 0;
    double clean_ratio_sum = 0;   // clean lap time / the lines' lap, summed
    double lines_first_lap = 0, lines_lap = 0;   // seconds
    float worst = 0;
    float worst_at[2] = {};
    int most_falls = 0;           // by one rider
    double longest_lap = 0;       // seconds, over the laps completed
    bool loaded = false;
};

struct quality_race_setup {
    const char* folder = "tracks/sample";
    int64_t seed = 11;
    int skill = 0;
    int riders = 8;               // automatic riders in slots 0..riders-1
    int laps = 1;
    int seconds = 900;            // after the drop, at most
    // Lineup values of the riders' slots (null: every one a random automatic rider).
    const int32_t* lineup = nullptr;
    // Called before every game tick, with the tick about to run.
    std::function<void(int32_t)> before_tick;
};

// Resets the race and runs it until every rider has its laps or the time is up.
// A fall is the crash counter becoming non-zero; a clean lap is one without a fall
// and without a recovery; the lines' own lap is the sum, over the tables of that lap
// (first or further), of the fastest recorded segment time; "off a line" is the
// frame's horizontal distance to the nearest stretch of any loaded line, every 16
// ticks. First gear and straying count only until the rider has its laps.
quality_figures quality_race(const quality_race_setup& setup);

double falls_per_rider_lap(const quality_figures& f);
double first_gear_percent(const quality_figures& f);
double clean_percent_over(const quality_figures& f);

}  // namespace racetest
