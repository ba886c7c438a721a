// Putting the race back to a known state: the local rider back on the course, the
// loaded track freed, the start lineup rotated.
#include "race/race_restart.h"

#include "platform/qorl_log.h"
#include "race/demo/demo.h"
#include "race/game_tick.h"
#include "race/race_hooks.h"
#include "race/race_results.h"
#include "race/race_riders.h"
#include "race/race_start.h"
#include "race/race_state.h"
#include "race/statue_grid.h"
#include "sim/ai_lines.h"
#include "sim/autopilot_drive.h"
#include "sim/gate_times.h"
#include "sim/physics_world.h"
#include "terrain/billboards.h"
#include "terrain/flaggers.h"
#include "terrain/lighting.h"
#include "terrain/statues.h"
#include "terrain/timing_gates.h"
#include "terrain/track_list.h"
#include "terrain/trackside_cameras.h"
#include "terrain/ruts.h"

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

// Where a rider goes on the timing gate of a lap entry: on the gate, facing its
// direction of travel. False when the entry names no gate.
bool gate_pose(int32_t entry, float* x, float* z, float* yaw)
{
    if (entry >= kFlaggedLapEntry)
        entry -= kFlaggedLapEntry;
    if (entry < 0 || entry >= timing_gates.checkpoint_count)
        return false;
    const timing_gate& g = timing_gates.checkpoints[entry];
    // The bike faces (-sin a, -cos a) after a turn by a: this faces (dx, dz).
    const float heading = std::atan2(-g.dx, -g.dz);
    *x = on_terrain(g.x);
    *z = on_terrain(g.z);
    *yaw = std::isfinite(heading) ? heading : 0.0f;
    return true;
}

void place(int32_t slot, float x, float z, float yaw)
{
    race_place_rider(slot, x, z, yaw);
    dJointGroupEmpty(contact_group);
}

// What the bike's reset clears of a rider's place in the race: its timing, its crashes
// and the path it follows with the lines it picked.
struct race_progress {
    int32_t timing_position, gate_times, finished, crash_count;
    int32_t path_points, path_index, path_count, segment_counter, picked_lines[4];
    int32_t progress_tick, recovery, limit_tick;
    float start_timer;
};

// The race start's placement, keeping the rider's place in the race.
void place_in_race(int32_t slot, float x, float z, float yaw)
{
    rider_slot* r = &rider_slots[slot];
    race_progress k{r->timing_position, r->gate_times.count, r->finished, r->crash_count,
                    r->path.count, r->path_index, r->path_count, r->segment_counter, {},
                    r->progress_tick, r->recovery, r->limit_tick, r->start_timer};
    std::copy(r->picked_lines, r->picked_lines + 4, k.picked_lines);
    // The ruts dug on the way out stay: the reset would drop the runs not yet sent.
    wheel_ruts_pack(&r->front_contact.ruts, &track_terrain);
    wheel_ruts_pack(&r->rear_contact.ruts, &track_terrain);
    place(slot, on_terrain(x), on_terrain(z), std::isfinite(yaw) ? yaw : 0.0f);
    r->timing_position = k.timing_position;
    r->gate_times.count = k.gate_times;
    r->finished = k.finished;
    r->crash_count = k.crash_count;
    r->path.count = k.path_points;
    r->path_index = k.path_index;
    r->path_count = k.path_count;
    r->segment_counter = k.segment_counter;
    std::copy(k.picked_lines, k.picked_lines + 4, r->picked_lines);
    r->progress_tick = k.progress_tick;
    r->recovery = k.recovery;
    r->limit_tick = k.limit_tick;
    r->start_timer = k.start_timer;
}

// The index of the followed path's point horizontally nearest to (x, z), the first
// on ties; 0 without a path.
int32_t nearest_path_point(const rider_slot* r, float x, float z)
{
    const ai_line_point* path = static_cast<const ai_line_point*>(r->path.items);
    int32_t best = 0;
    float best_d2 = INFINITY;
    for (int32_t i = 0; path && i < std::min(r->path_count, r->path.count); ++i) {
        const float dx = path[i].x - x, dz = path[i].z - z, d2 = dx * dx + dz * dz;
        if (d2 < best_d2) {
            best = i;
            best_d2 = d2;
        }
    }
    return best;
}

}  // namespace

bool rider_lost_at(float x, float y, float z)
{
    const terrain_state& t = track_terrain;
    if (!t.heights || !(t.world_size > 0))
        return false;
    const bool on_ground = x >= 0 && z >= 0 && x <= t.world_size && z <= t.world_size;
    return !on_ground || !(y >= t.min_height - kLostDepth);
}

bool rider_put_back_if_lost(int32_t slot)
{
    if (slot < 0 || slot >= kRaceSlots || race.kinds[slot] == rider_kind_remote)
        return false;
    rider_slot* r = &rider_slots[slot];
    if (!r->bodies[body_frame])
        return false;
    const dReal* at = dBodyGetPosition(r->bodies[body_frame]);
    if (!rider_lost_at(float(at[0]), float(at[1]), float(at[2])))
        return false;
    // Back where it last counted: the gate it reached last, its start spot before the
    // first. Not the gate still to reach (nor a robot's path point, which may lie
    // past it): the next gate tick would credit that gate, and falling off the world
    // would skip the stretch to it.
    const int32_t reached = rider_get_timing_position(r);
    float x, z, yaw;
    if (reached <= 0 || !gate_pose(timing_gates_entry_at(reached - 1), &x, &z, &yaw))
        race_start_spot(slot, &x, &z, &yaw);
    place_in_race(slot, x, z, yaw);
    // A robot starts its recovery over, heading for the point of its path nearest to
    // where it stands.
    if (race.kinds[slot] == rider_kind_bot && autopilot_restart_recovery(r))
        r->path_index = nearest_path_point(r, x, z);
    return true;
}

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
    float x, z, yaw;
    if (gate_pose(timing_gates_entry_at(restart_position(F, N, race.restart_counter)), &x, &z, &yaw))
        place(0, x, z, yaw);
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
