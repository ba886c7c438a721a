#include "race/race_rules.h"

#include "race/race_hooks.h"
#include "race/race_results.h"
#include "race/race_state.h"
#include "race/rider_visibility.h"
#include "race/series.h"
#include "race/statue_grid.h"
#include "sim/autopilot_race.h"
#include "sim/gate_times.h"
#include "sim/rider_access.h"

void race_rules_install()
{
    race_hooks.series_record_round = series_record_round;
    race_hooks.race_results_compute = race_results_compute;
    race_hooks.statue_grid_build = statue_grid_build;
    race_hooks.statue_grid_free = statue_grid_free;
    gate_timing_hooks.leader_slot = [] { return running_order.count > 0 ? running_order.rows[0].slot : -1; };
    gate_timing_hooks.results_refresh = race_results_refresh;
    race_hooks.race_results_refresh = race_results_refresh;
    // The laps that end the race: the laps setting, or once a timed race's length is
    // settled, the laps it was settled at.
    gate_timing_hooks.laps = [] { return race.lap_counts[1]; };
    autopilot_race.ranked_count = [] { return int(running_order.count); };
    autopilot_race.ranked_slot = [](int rank) {
        return rank >= 1 && rank <= running_order.count ? int(running_order.rows[rank - 1].slot) : -1;
    };
    rider_hidden_hook = rider_hidden;
}
