// Seeking in a played demo, and stopping demos.
#include "race/demo/demo.h"
#include "race/demo/demo_reader.h"

#include "foundation/vfs/vfs.h"
#include "race/program/command_line.h"
#include "race/race_hooks.h"
#include "race/race_riders.h"
#include "race/race_state.h"
#include "race/rider_history.h"
#include "race/program/settings_values.h"
#include "race/program/startup.h"
#include "sim/gate_times.h"
#include "sim/race_clock.h"
#include "sim/rider_slot.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kTicksPerSecond = 1.0 / tick_length;
constexpr int32_t kBehind = 64;

bool seek_allowed()
{
    if (!demo_reader.file || demo_recording())
        return false;
    for (int32_t k = 0; k < kDemoRiders; ++k)
        if (demo_rider_seam.occupied(k) && race.kinds[k] != rider_kind_remote)
            return false;
    return true;
}

// Runs game ticks until the current tick reaches target, with no roost thrown.
void run_ticks_to(int64_t target)
{
    const double density = graphics_settings.roost_density;
    graphics_settings.roost_density = 0;
    while (int64_t(current_tick) < target) {
        const int32_t before = current_tick;
        demo_later_hooks.game_tick();
        if (current_tick == before)
            break;   // a tick that does not advance would never get there
    }
    graphics_settings.roost_density = density;
}

// Every rider's timing back to what it had at tick t.
void cut_timing(int32_t t)
{
    for (int32_t k = 0; k < kDemoRiders; ++k) {
        if (!demo_rider_seam.occupied(k))
            continue;
        rider_slot* r = &rider_slots[k];
        for (int32_t h = rider_get_timing_position(r); h > 0 && rider_get_gate_time(r, h - 1) > t; --h) {
            rider_truncate_timing(r, h - 1);
            demo_later_hooks.set_results_final(0);
        }
    }
    if (!demo_later_hooks.results_final())
        race_hooks.race_results_compute();
}

}  // namespace

// Back along the block chain to the first block at or before tick stop.
void demo_walk_back(int32_t stop)
{
    vfs_file* f = demo_reader.file;
    while (demo_reader.position > demo_reader.block_start) {
        const int64_t start = demo_reader.position - kDemoBlockHead - int64_t(demo_reader.previous_length);
        if (start < demo_reader.block_start) {
            // A damaged chain: start again from the first block.
            demo_reader.position = demo_reader.block_start;
            break;
        }
        uint8_t head[8];
        if (!vfs_seek(f, uint32_t(start)) || vfs_read(f, head, 8) != 8)
            break;
        const uint32_t chained = demo_u32(head);
        const int32_t tick = int32_t(demo_u32(head + 4));
        demo_reader.position = start;
        demo_reader.previous_length ^= chained;
        if (tick <= stop)
            break;
    }
    if (demo_reader.position <= demo_reader.block_start) {
        demo_reader.position = demo_reader.block_start;
        demo_reader.previous_length = 0;
    }
    demo_reader.reposition = true;
    demo_reader.ended = false;
}

void demo_seek(double seconds)
{
    if (!seek_allowed() || !std::isfinite(seconds))
        return;
    const double ticks = seconds * kTicksPerSecond;
    const int32_t version = demo_reader.version;
    if (seconds > 0 && (version == 6 || command_line_options.accurate_skip)) {
        run_ticks_to(int64_t(std::min(double(current_tick) + ticks, double(INT32_MAX))));
        return;
    }
    const int32_t t = int32_t(std::clamp(double(current_tick) - 1 + ticks, 0.0, double(INT32_MAX)));
    if (version == 6) {
        demo_walk_back(std::max(t - kBehind, 0));
    } else {
        const int64_t offset = demo_reader.block_start + int64_t(t) * race.demo_rider_count * demo_record_size();
        if (offset > 0x7ffffffe || !vfs_seek(demo_reader.file, uint32_t(offset)))
            return;
        demo_reader.position = offset;
        demo_reader.reposition = false;
        demo_reader.ended = false;
        demo_reader.first_block_tick = 0;
    }
    demo_reader.read_ahead_tick = t;
    if (t < current_tick)
        cut_timing(t);
    demo_set_current_tick(t);
    history_clear_all();
    demo_playback_read();
    demo_later_hooks.game_tick();
}

void demo_stop()
{
    demo_playback_close();
    demo_record_states(1);
    demo_record_close();
    race.demo_rider_count = 0;
    for (int32_t k = 1; k < kDemoRiders; ++k) {
        race_hooks.engine_sound_free(k);
        race_destroy_rider(k);
        race.kinds[k] = rider_kind_remote;
    }
}
