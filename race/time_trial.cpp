// Time trial: the player (slot 0) rides against the ghost of the best lap (slot 1).
// A lap is the timing span from position F - 1 to F + N - 1; when the player ends
// one, the recording of that lap may become the new ghost, and the ghost starts over.
#include "race/game_tick.h"

#include "foundation/door/data_name.h"
#include "foundation/door/search_folders.h"
#include "foundation/door/fresh_file.h"
#include "foundation/vfs/vfs.h"
#include "race/bot_personas.h"
#include "race/demo/demo.h"
#include "race/race_hooks.h"
#include "race/race_results.h"
#include "race/race_state.h"
#include "sim/bike_build.h"
#include "sim/gate_times.h"
#include "terrain/timing_gates.h"
#include "terrain/track_list.h"

#include <algorithm>
#include <cstdio>
#include <string>

time_trial_state time_trial;

namespace {

constexpr int32_t kGhostSlot = 1;

rider_slot* occupied(int32_t slot)
{
    rider_slot* r = &rider_slots[slot];
    return r->bodies[body_frame] ? r : nullptr;
}

// The measured lap's length in ticks; 0 when a position of it has no time (or the
// lap has no positions).
int32_t lap_length(const rider_slot* r)
{
    const int32_t F = results_first_lap_positions(), N = results_lap_positions();
    if (!r || F < 1 || N < 1)
        return 0;
    for (int32_t p = F - 1; p <= F + N - 1; ++p)
        if (rider_get_gate_time(r, p) < 0)
            return 0;
    return rider_get_gate_time(r, F + N - 1) - rider_get_gate_time(r, F - 1);
}

void keep_best(int32_t t)
{
    if (t > 0 && (time_trial.best_lap == 0 || time_trial.best_lap > t))
        time_trial.best_lap = t;
}

bool fastlap_exists(const std::string& path)
{
    vfs_file* f = vfs_open(path.c_str(), "rb");
    if (!f)
        return false;
    vfs_close(f);
    return true;
}

void recreate_ghost()
{
    if (!demo_playback_open())
        return;
    const int32_t start = std::max(0, results_first_lap_positions() - 1);
    const int32_t count = std::min(demo_rider_count(), kRaceSlots - 1);
    for (int32_t r = 0; r < count; ++r) {
        const demo_rider_entry* e = demo_rider_info(r);
        if (!e)
            continue;
        const int32_t slot = r + 1;
        rider_slot* ghost = rider_create(current_bike_name(e->bike ? e->bike : "rm125"), slot, 0, e->number,
                                         e->rider_texture, e->head_texture, e->bike_texture, e->wheel_texture);
        race.kinds[slot] = rider_kind_remote;
        if (!ghost)
            continue;
        race_hooks.engine_sound_load(slot);
        bike_sleep(ghost);
        rider_truncate_timing(ghost, start);
        demo_set_rider_slot(r, slot);
    }
}

void player_lap_done()
{
    const rider_slot* player = occupied(0);
    const rider_slot* ghost = occupied(kGhostSlot);
    const int32_t player_position = player ? rider_get_timing_position(player) : -1;
    const int32_t ghost_position = ghost ? rider_get_timing_position(ghost) : -1;
    demo_stop();
    if (timing_gates.checkpoint_count <= 0 || !track_folder)
        return;
    const bool exists = fastlap_exists(std::string("@") + track_folder + "/fastlap.bvdemo");
    const int32_t t = lap_length(occupied(0));
    time_trial.last_lap = t;
    keep_best(t);
    if (!exists || (t > 0 && player_position >= 0 && player_position > ghost_position))
        time_trial_copy_ghost();

    recreate_ghost();
    if (rider_slot* r = occupied(0)) {
        rider_truncate_timing(r, std::max(0, results_first_lap_positions() - 1));
        rider_gate_tick(r);
    }
    demo_record_open();
    demo_record_states(1);
    if (!race_results_final())
        race_results_compute();
}

}  // namespace

int time_trial_copy_ghost()
{
    if (!track_folder || !data_user_folder_known())
        return 0;
    const std::string folder = std::string("@") + track_folder + "/";
    vfs_file* in = vfs_open((folder + "lastlap.bvdemo").c_str(), "rb");
    if (!in)
        return 0;
    // A new file of ours in the user folder replaces the ghost, never anything that
    // stood in the track folder under either name.
    fresh_file out;
    if (!fresh_file_open((folder + "fastlap.bvdemo").c_str(), &out)) {
        vfs_close(in);
        return 0;
    }
    bool ok = true;
    uint8_t chunk[1024];
    for (int n; ok && (n = vfs_read(in, chunk, sizeof chunk)) > 0;)
        ok = vfs_write(out.f, chunk, size_t(n)) == size_t(n);
    vfs_close(in);
    return fresh_file_close(&out, ok);
}

void time_trial_remember_laps()
{
    for (int32_t k = 0; k < 2; ++k) {
        const rider_slot* r = occupied(k);
        time_trial.laps_before[k] = r ? rider_laps_completed(r) : 0;
    }
}

void time_trial_laps()
{
    if (const rider_slot* ghost = occupied(kGhostSlot); ghost && rider_laps_completed(ghost) > time_trial.laps_before[1])
        keep_best(lap_length(ghost));
    if (const rider_slot* player = occupied(0); player && rider_laps_completed(player) > time_trial.laps_before[0])
        player_lap_done();
}
