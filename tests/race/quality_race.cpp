#include "quality_race.h"

#include "line_stretches.h"

#include "race/game_tick.h"
#include "race/race_state.h"
#include "race/track_load.h"
#include "sim/ai_lines.h"
#include "sim/gate_times.h"
#include "sim/race_clock.h"
#include "sim/rider_access.h"
#include "sim/rider_slot.h"
#include "terrain/track_list.h"

#include <algorithm>
#include <vector>

namespace racetest {
namespace {

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

}  // namespace

quality_figures quality_race(const quality_race_setup& setup)
{
    quality_figures f;
    const int riders = std::clamp(setup.riders, 0, kRaceSlots);
    const int laps = setup.laps;
    f.riders = riders;
    f.laps = laps;
    race_requested_folder = setup.folder;
    race_opts.seed = setup.seed;
    race_opts.erode = -1;
    int32_t lineup[kRaceSlots] = {};
    for (int k = 0; k < kRaceSlots; ++k)
        lineup[k] = setup.lineup ? setup.lineup[k] : k < riders ? 2 : 0;
    reset_race(lineup, 0, 0, 0, laps, setup.skill);
    if (!track_terrain.heights)
        return f;
    f.loaded = true;
    const std::vector<stretch> lines = line_stretches();
    if (ai_lines_exist()) {
        f.lines_first_lap = fastest_lines(0, ai_lines.first_lap_segments);
        f.lines_lap = fastest_lines(ai_lines.first_lap_segments, ai_lines.normal_lap_segments);
    }

    std::vector<char> down(size_t(riders), 0), recovering(size_t(riders), 0);
    std::vector<int> falls(size_t(riders), 0);
    // Per rider and lap (1-based): an incident happened during it.
    std::vector<std::vector<char>> incident(size_t(riders), std::vector<char>(size_t(laps) + 2, 0));
    const int32_t cap = race.gate_drop_tick + setup.seconds * 128;
    auto all_done = [&] {
        for (int k = 0; k < riders; ++k)
            if (rider_laps_completed(&rider_slots[k]) < laps)
                return false;
        return true;
    };
    while (current_tick < cap && !all_done()) {
        if (setup.before_tick)
            setup.before_tick(current_tick);
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
            falls[size_t(k)] += fell ? 1 : 0;
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
        f.most_falls = std::max(f.most_falls, falls[size_t(k)]);
        for (int lap = 1; lap <= std::min(done, laps); ++lap) {
            const double own = lap == 1 ? f.lines_first_lap : f.lines_lap;
            const double took = rider_lap_time(&r, lap);
            f.longest_lap = std::max(f.longest_lap, took);
            if (incident[size_t(k)][size_t(lap)] || own <= 0 || took <= 0)
                continue;
            ++f.clean_laps;
            f.clean_ratio_sum += took / own;
        }
    }
    return f;
}

double falls_per_rider_lap(const quality_figures& f)
{
    return f.riders * f.laps > 0 ? double(f.falls) / (f.riders * f.laps) : 0;
}

double first_gear_percent(const quality_figures& f)
{
    return f.riding_ticks > 0 ? 100.0 * double(f.first_gear_ticks) / double(f.riding_ticks) : 0;
}

double clean_percent_over(const quality_figures& f)
{
    return f.clean_laps > 0 ? 100.0 * (f.clean_ratio_sum / f.clean_laps - 1) : 0;
}

}  // namespace racetest
