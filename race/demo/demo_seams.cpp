// What the demos take from the rest of the program: the rider slots behind the
// recorder's seam, the game tick and the results, the settings and the race hook
// table's demo entries.
#include "race/demo/demo.h"
#include "race/demo/demo_reader.h"

#include "race/game_tick.h"
#include "race/net/net_connection.h"
#include "race/race_results.h"
#include "race/race_hooks.h"
#include "race/race_riders.h"
#include "race/race_state.h"
#include "sim/race_clock.h"
#include "sim/rider_access.h"
#include "sim/rider_slot.h"
#include "terrain/track_list.h"

namespace {

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
    out->rider_texture = rider_get_rider_texture_name(r);
    out->bike_texture = rider_get_bike_texture_name(r);
    out->wheel_texture = rider_get_wheel_texture_name(r);
    out->head_texture = rider_get_head_texture_name(r);
    out->number = rider_get_number(r);
    out->name = race_rider_name(slot);
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
    [](const char* text) { race_hooks.script_call_message_handler(text); },
};

float* (*engine_sound_presence)(int32_t slot) = [](int32_t) {
    static float scratch;
    return &scratch;
};

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
    race_hooks.demo_record_event = demo_record_event;
}
