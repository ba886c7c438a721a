// Three automatic riders race 2 laps of the sample track headless with the real game
// tick: while the leader has finished and the others have not the results table is
// "Unofficial Results" with only the finished riders' rows; once final, one row per
// rider in final order with its lap count, gaps from 0.000 up, best laps and the total
// race time.
#include "race_fixture.h"

#include "frontend/results_screen.h"
#include "race/game_tick.h"
#include "race/race_results.h"
#include "race/race_state.h"
#include "race/track_load.h"
#include "sim/race_clock.h"
#include "support/fresh_process.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>

namespace {

constexpr int kBots = 3;
constexpr int kLaps = 2;
constexpr int kCapSeconds = 600;

std::string check_unofficial(const results_table_text& t)
{
    std::string problems;
    if (t.title != "Unofficial Results")
        problems += "title \"" + t.title + "\" while the race runs\n";
    if (!t.total.empty())
        problems += "a total race time before the results are final\n";
    for (const results_row_text& r : t.rows)
        if (!results_riders.has_finished(r.slot))
            problems += "the unfinished rider " + r.number + " has a row\n";
    if (t.rows.empty() || int(t.rows.size()) >= kBots)
        problems += std::to_string(t.rows.size()) + " rows while only some have finished\n";
    return problems;
}

std::string check_final(const results_table_text& t)
{
    std::string problems;
    if (t.title != "Final Results")
        problems += "title \"" + t.title + "\" after the race\n";
    if (int(t.rows.size()) != kBots)
        return problems + std::to_string(t.rows.size()) + " rows in the final table\n";
    for (int i = 0; i < kBots; ++i) {
        const results_row_text& r = t.rows[size_t(i)];
        if (r.slot != final_order.rows[i].slot)
            problems += "row " + std::to_string(i) + " is not the final order's\n";
        if (r.place != std::to_string(i + 1))
            problems += "place \"" + r.place + "\"\n";
        if (r.lap != "L" + std::to_string(kLaps))
            problems += "lap column \"" + r.lap + "\" for a finisher of " + std::to_string(kLaps) + " laps\n";
        const double gap = atof(r.gap.c_str());
        if ((i == 0 && r.gap != "  0.000") || gap < 0)
            problems += "gap \"" + r.gap + "\" in row " + std::to_string(i) + "\n";
        // Lap 2 is the only lap that counts for the best lap.
        if (r.best_lap != "(2)" || !std::regex_match(r.best, std::regex("[0-9]+:[0-5][0-9]\\.[0-9]{3}")) ||
            r.best == "0:00.000")
            problems += "best lap \"" + r.best + "\" \"" + r.best_lap + "\"\n";
    }
    if (!std::regex_match(t.total, std::regex("Total Race Time: [0-9]+:[0-5][0-9]\\.[0-9]{3}")))
        problems += "\"" + t.total + "\"\n";
    return problems;
}

}  // namespace

TEST(ResultsRace, ThreeBotsOverTwoLaps)
{
    bvtest::in_fresh_process([] {
        bvtest::TempDir root;
        racetest::start_racing(root);
        race_requested_folder = "tracks/sample";
        race_opts.seed = 5;
        int32_t lineup[160] = {};
        for (int k = 0; k < kBots; ++k)
            lineup[k] = 2;
        reset_race(lineup, 0, 0, 0, kLaps, 0);
        std::string problems;
        bool seen_unofficial = false;
        const int32_t end = race.gate_drop_tick + kCapSeconds * 128;
        while (current_tick < end && !race_results_final()) {
            game_tick();
            const results_table_text t = results_table_texts();
            if (t.title.empty() || race_results_final() || seen_unofficial)
                continue;
            seen_unofficial = true;
            problems += check_unofficial(t);
        }
        if (!seen_unofficial)
            problems += "no unofficial table before the results were final\n";
        if (!race_results_final())
            return problems + "the results were not final after " + std::to_string(kCapSeconds) + " s\n";
        return problems + check_final(results_table_texts());
    });
}
