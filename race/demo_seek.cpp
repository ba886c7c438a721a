// Seeking in a played demo, stopping demos, and what the demos take from the rest of
// the program: the rider seam, the entry points of later parts and the settings.
#include "race/demo.h"
#include "race/demo_reader.h"
#include "race/game_tick.h"
#include "race/race_results.h"

#include "foundation/vfs.h"
#include "race/command_line.h"
#include "race/net_connection.h"
#include "race/race_hooks.h"
#include "race/race_riders.h"
#include "race/race_state.h"
#include "race/rider_history.h"
#include "race/settings_values.h"
#include "race/startup.h"
#include "sim/gate_times.h"
#include "sim/race_clock.h"
#include "sim/rider_access.h"
#include "sim/rider_slot.h"
#include "terrain/track_list.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kTicksPerSecond = 1.0 / tick_length;
constexpr int32_t kBehind = 64;

const char* texture_or_empty(const char* name)
{
    return name ? name : "";
}

void production_texts(int32_t slot, demo_rider_texts* out)
{
    *out = demo_rider_texts{};
    if (demo_rider_seam.online()) {
        if (const rider_request* r = race_hooks.network_rider(slot)) {
            *out = {r->bike, r->body_texture, r->bike_texture, r->wheel_texture, r->head_texture, r->number, r->name};
            return;
        }
    }
    const rider_slot* r = &rider_slots[slot];
    const bike_info* bike = rider_get_bike_info(r);
    out->bike = bike ? bike->name : "";
    out->rider_texture = texture_or_empty(rider_get_rider_texture_name(r));
    out->bike_texture = texture_or_empty(rider_get_bike_texture_name(r));
    out->wheel_texture = texture_or_empty(rider_get_wheel_texture_name(r));
    out->head_texture = texture_or_empty(rider_get_head_texture_name(r));
    out->number = rider_get_number(r);
    out->name = "";
}

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

demo_settings_values demo_settings;

demo_rider_calls demo_rider_seam = {
    [](int32_t slot) { return race_rider_exists(slot); },
    [](int32_t slot, packed_rider_state* out) { bike_pack_state(&rider_slots[slot], &track_terrain, out); },
    production_texts,
    [] { return int(net_socket >= 0); },
};

demo_later_calls demo_later_hooks = {
    game_tick,
    race_results_final,
    [](int final) { race.results_written = final; },
    [](const char*) {},
};

float engine_sound_presence[kDemoRiders];

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
        const uint32_t chained = uint32_t(head[0]) | uint32_t(head[1]) << 8 | uint32_t(head[2]) << 16 |
                                 uint32_t(head[3]) << 24;
        const int32_t tick = int32_t(uint32_t(head[4]) | uint32_t(head[5]) << 8 | uint32_t(head[6]) << 16 |
                                     uint32_t(head[7]) << 24);
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

void demo_install_hooks()
{
    race_hooks.demo_playback_open = demo_playback_open;
    race_hooks.demo_playback_track = demo_playback_track;
    race_hooks.demo_playback_close = demo_playback_close;
    race_hooks.demo_playback_read = demo_playback_read;
    race_hooks.demo_record_open = demo_record_open;
    race_hooks.demo_record_close = demo_record_close;
    race_hooks.demo_record_states = demo_record_states;
    race_hooks.demo_rider = demo_rider_request;
}
