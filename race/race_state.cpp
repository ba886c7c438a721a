#include "race/race_state.h"

#include "race/demo/demo.h"
#include "race/demo/demo_reader.h"
#include "race/race_hooks.h"
#include "race/race_riders.h"

race_state race = [] {
    race_state r{};
    r.remembered_skill = -1;
    r.last_refused_setup = -20;
    r.viewed_slot = 0;
    return r;
}();

race_options race_opts = {0, -1, 0, -1, 0};
const char* race_requested_folder = nullptr;
rider_profile local_profile = {"999", "cr125", nullptr, nullptr, nullptr, nullptr};

namespace {

void nothing() {}
void nothing_slot(int32_t) {}
void nothing_text(const char*) {}
const char* no_track() { return nullptr; }
const rider_request* no_rider(int32_t) { return nullptr; }
int no_script(const char*) { return 0; }

}  // namespace

race_hooks_table race_hooks = {
    nothing,        // series_record_round
    nothing,        // race_results_compute
    nothing_slot,   // bike_apply_setup
    nothing_text,   // draw_progress_screen
    demo_playback_open,
    demo_playback_track,
    demo_playback_close,
    demo_playback_read,
    demo_record_open,
    demo_record_close,
    demo_record_states,
    demo_rider_request,
    no_track,       // network_track
    no_rider,       // network_rider
    nothing_slot,   // engine_sound_free
    nothing_slot,   // engine_sound_load
    nothing,        // script_sounds_free
    nothing,        // roost_particles_free
    nothing,        // smoothed_values_snap
    no_script,      // script_load
    nothing,        // script_unload
    nothing,        // statue_grid_build
    nothing,        // statue_grid_free
    nothing,        // riders_clear
    nothing,        // rider_histories_clear
    nothing,        // editor_init
    nothing,        // editor_leave
    demo_record_event,
    nothing_text,   // script_call_message_handler
    nothing,        // race_results_refresh
};
