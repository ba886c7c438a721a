// Putting the race back to a known state: the local rider back on the course, the
// loaded track freed, the start lineup rotated.
#include "race/race_restart.h"

#include "platform/qorl_log.h"
#include "race/demo/demo.h"
#include "race/game_tick.h"
#include "race/race_hooks.h"
#include "race/race_results.h"
#include "race/race_riders.h"
#include "race/race_state.h"
#include "race/statue_grid.h"
#include "sim/ai_lines.h"
#include "sim/gate_times.h"
#include "sim/physics_world.h"
#include "terrain/billboards.h"
#include "terrain/flaggers.h"
#include "terrain/lighting.h"
#include "terrain/statues.h"
#include "terrain/timing_gates.h"
#include "terrain/track_list.h"
#include "terrain/trackside_cameras.h"

#include <algorithm>
#include <cmath>

int32_t start_lineup[kRaceSlots];

namespace {

// A gate coordinate read from the track's file, kept on the terrain (NaN to 0).
float on_terrain(float v)
{
    if (std::isnan(v))
        return 0;
    return std::clamp(v, 0.0f, std::max(track_terrain.world_size, 0.0f));
}

}  // namespace

int32_t restart_position(int32_t F, int32_t N, int32_t k)
{
    if (N <= 0)
        return 0;
    const int32_t c = std::max(F, F + N - k);
    if (c < 0)
        return 0;
    return F + (c - F) % N;
}

void local_rider_reset()
{
    demo_stop();
    rider_slot* r = &rider_slots[0];
    if (!r->bodies[body_frame] || timing_gates.checkpoint_count <= 0)
        return;
    const int32_t F = results_first_lap_positions(), N = results_lap_positions();
    int32_t entry = timing_gates_entry_at(restart_position(F, N, race.restart_counter));
    if (entry >= kFlaggedLapEntry)
        entry -= kFlaggedLapEntry;
    if (entry >= 0 && entry < timing_gates.checkpoint_count) {
        const timing_gate& g = timing_gates.checkpoints[entry];
        // The bike faces (-sin a, -cos a) after a turn by a: this faces (dx, dz).
        const float heading = std::atan2(-g.dx, -g.dz);
        race_place_rider(0, on_terrain(g.x), on_terrain(g.z), std::isfinite(heading) ? heading : 0.0f);
        dJointGroupEmpty(contact_group);
    }
    rider_truncate_timing(r, std::max(0, F - 1));
    time_trial.last_lap = 0;
    if (!race_results_final())
        race_results_compute();
}

void track_free()
{
    qorl_log("Deallocating track\n");
    race_hooks.editor_leave();
    ai_lines_free();
    statue_grid_free();
    statues_free();
    array_free(&lighting.flares);
    billboards_free();
    flaggers_free();
    trackside_cameras_free();
    terrain_free(&track_terrain);
    qorl_log("Finished deallocating track\n");
}

void lineup_rotate(int32_t n)
{
    const int32_t shift = ((n % kRaceSlots) + kRaceSlots) % kRaceSlots;
    std::rotate(start_lineup, start_lineup + (kRaceSlots - shift) % kRaceSlots, start_lineup + kRaceSlots);
}
