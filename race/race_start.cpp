#include "race/race_start.h"

#include "foundation/start/tune_process.h"
#include "foundation/index/file_index.h"
#include "foundation/text/text_util.h"
#include "foundation/front_door.h"
#include "gfx/model.h"
#include "gfx/texture_cache.h"
#include "gfx/texture_upload.h"
#include "platform/qorl_log.h"
#include "race/bot_personas.h"
#include "race/demo/demo.h"
#include "race/race_hooks.h"
#include "race/race_restart.h"
#include "race/race_riders.h"
#include "race/game_tick.h"
#include "race/race_state.h"
#include "race/setup_guard.h"
#include "race/program/startup.h"
#include "sim/ai_lines.h"
#include "sim/ai_lines_file.h"
#include "sim/ai_lines_rules.h"
#include "sim/autopilot_plan.h"
#include "sim/race_clock.h"
#include "terrain/billboards.h"
#include "terrain/timing_gates.h"
#include "terrain/track_list.h"

#include <cmath>
#include <cstring>
#include <string>

namespace {

constexpr int32_t kPracticeTick = int32_t(300 / tick_length);

struct slot_rider {
    rider_request request{};
    int32_t kind = rider_kind_bot;
    const char* personality = nullptr;
    bool present = false;
};

rider_request local_request()
{
    rider_request r{};
    r.bike = local_profile.bike;
    r.number = local_profile.number ? local_profile.number : "999";
    r.body_texture = local_profile.body_texture;
    r.head_texture = local_profile.head_texture;
    r.bike_texture = local_profile.bike_texture;
    r.wheel_texture = local_profile.wheel_texture;
    return r;
}

// Who rides slot k for lineup value v (step 4 of the start).
slot_rider choose_rider(int32_t k, int32_t v, bool online, int32_t* bot_cursor, int32_t* demo_next)
{
    slot_rider s;
    s.present = true;
    s.kind = race.kinds[k];
    if (v == 1) {
        s.kind = rider_kind_local;
        const rider_request* r = online ? race_hooks.network_rider(k) : nullptr;
        s.request = r ? *r : local_request();
    } else if (v == 2 || v == 3 || v == 4 || v > 999) {
        const bot_persona& p = bot_persona_table[bot_persona_pick(v, bot_cursor)];
        s.kind = rider_kind_bot;
        s.personality = p.personality;
        s.request = {p.bike, p.number, "Roborider", p.body_texture, p.head_texture, p.bike_texture, p.wheel_texture, 1};
    } else if (v == 5) {
        s.kind = rider_kind_remote;
        const rider_request* r = race_hooks.network_rider(k);
        s.present = r != nullptr;
        if (r)
            s.request = *r;
    } else if (v != 0) {
        s.request.bike = "rm125";
    } else if (*demo_next < race.demo_rider_count) {
        const rider_request* r = race_hooks.demo_rider(*demo_next);
        demo_set_rider_slot(*demo_next, k);
        ++*demo_next;
        s.kind = rider_kind_remote;
        s.present = r != nullptr;
        if (r)
            s.request = *r;
    } else {
        s.present = false;
    }
    return s;
}

void load_lines(const char* folder, int32_t skill)
{
    race.remembered_skill = skill;
    ai_lines_load(folder, skill);
    progress_log_reset("Analyzing lines");
    ai_lines_prune();
    autopilot_plan_laps();
    progress_done("Analyzing lines");
}

void build_riders(bool online)
{
    progress_log_reset("Loading bikes");
    int32_t bot_cursor = 0, demo_next = 0, placed = 0;
    const int32_t local_spot = race.own_lineup_value == kWatchOnlyValue ? 0 : race.own_lineup_value;
    for (int32_t k = 0; k < kRaceSlots; ++k) {
        const int32_t v = race.lineup[k];
        slot_rider s = choose_rider(k, v, online, &bot_cursor, &demo_next);
        if (!s.present)
            continue;
        int32_t spot = k;
        if (online) {
            if (s.kind == rider_kind_local)
                spot = local_spot;
            else
                spot = race_remote_spot(placed++, local_spot);
        }
        float x, z, yaw;
        race_start_spot(spot, &x, &z, &yaw);
        s.request.bike = current_bike_name(s.request.bike ? s.request.bike : "rm125");
        s.request.locally_simulated = s.kind != rider_kind_remote;
        race.kinds[k] = s.kind;
        if (!race_create_rider(k, s.request)) {
            race.kinds[k] = rider_kind_remote;
            continue;
        }
        race_hooks.engine_sound_load(k);
        race_place_rider(k, x, z, yaw);
        float speed;
        if (s.kind == rider_kind_local)
            race_rider_frame(k, race.local_frame_position, &speed);
        race_settle_rider(k, s.kind == rider_kind_remote);
        if (s.kind == rider_kind_bot)
            race_set_personality(k, race_opts.tester ? "tester" : s.personality);
        progress_dots("Loading bikes");
    }
    progress_done("Loading bikes");
}

void load_script(const char* folder)
{
    progress_log_reset("Loading track script");
    race.no_frills = file_exists((std::string(folder) + "/nofrills.js").c_str());
    const std::string path = std::string("@") + folder + (race.no_frills ? "/nofrills.js" : "/frills.js");
    race_hooks.script_load(path.c_str());
    progress_done("Loading track script");
}

// The setup of the viewed local rider is applied only while its bike stands still.
void apply_setup()
{
    const int32_t v = race.viewed_slot;
    if (v < 0 || v >= kRaceSlots || !race_rider_exists(v))
        return;
    float position[3], speed;
    race_rider_frame(v, position, &speed);
    if (race.kinds[v] == rider_kind_local && race.lineup[v] == 1)
        setup_change_guard(v);
    race_hooks.smoothed_values_snap();
    race.camera_target[0] = position[0];
    race.camera_target[1] = position[1] + 5;
    race.camera_target[2] = position[2];
}

}  // namespace

int32_t race_lineup_prepare(const int32_t* given, int32_t out[160], int32_t demo_riders)
{
    for (int32_t k = 0; k < kRaceSlots; ++k)
        out[k] = given ? given[k] : 0;
    if (!given)
        out[0] = 1;
    int32_t viewed = -1;
    for (int32_t k = 0; k < kRaceSlots && viewed < 0; ++k)
        if (out[k] != 0)
            viewed = k;
    if (viewed < 0) {
        viewed = 0;
        if (demo_riders <= 0)
            out[0] = 2;
    }
    bool local_seen = false;
    for (int32_t k = 0; k < kRaceSlots; ++k) {
        if (out[k] != 1)
            continue;
        if (local_seen)
            out[k] = 0;
        else
            viewed = k;
        local_seen = true;
    }
    return viewed;
}

void race_start_spot(int32_t spot, float* x, float* z, float* yaw)
{
    const timing_gates_state& g = timing_gates;
    const int32_t G = g.start_slot_count;
    if (G < 1) {
        *x = track_terrain.world_size / 2 + 5.0f * float(spot);
        *z = track_terrain.world_size / 2;
        *yaw = 0;
        return;
    }
    const int32_t row = spot / G, column = spot % G;
    const float d = (float(row) + 0.0625f) * 10;
    *yaw = g.start_slot_yaw[column];
    *x = g.start_slot_position[column][0] + std::sin(*yaw) * d;
    *z = g.start_slot_position[column][2] + std::cos(*yaw) * d;
}

int32_t race_remote_spot(int32_t placed, int32_t local_spot)
{
    const int32_t G = timing_gates.start_slot_count;
    int32_t spot = G + placed;
    if (local_spot >= G && local_spot <= spot)
        ++spot;
    return spot;
}

void race_start(const int32_t* lineup, int record, int32_t skill)
{
    const bool online = lineup && is_network_lineup(lineup);
    if (!lineup) {
        race.start_counters[0] = race.start_counters[1] = 0;
        race.tick = kPracticeTick;
    }
    current_tick = race.tick;
    race.viewed_slot = race_lineup_prepare(lineup, race.lineup, race.demo_rider_count);
    load_lines(track_folder, skill);
    build_riders(online);

    race_hooks.rider_histories_clear();
    if (record)
        race_hooks.demo_record_open();
    // Every particle free, every particle billboard hidden.
    race_hooks.roost_particles_free();
    for (int32_t t = 0; t < ai_lines.table_count; ++t)
        for (ai_line& line : ai_table(t)->lines)
            line.last_picked = -1000000;

    load_script(track_folder);

    char text[64];
    format_string(text, sizeof text, "%d MB texture memory used\n", int(texture_memory >> 20));
    console_print(text);
    texture_purge(0);
    model_purge(0);

    if (race.time_limit_ticks) {
        race.lap_counts[0] = race.lap_counts[1] = 1000000;
    } else {
        race.lap_counts[0] = (race.laps + 1) / 2;
        race.lap_counts[1] = race.laps;
    }
    for (int32_t i = 0; i < timing_gates.start_slot_count; ++i) {
        race.start_gate_state[i][0] = 1.0f;
        race.start_gate_state[i][1] = 0.0f;
    }
    false_start_hold = 0;
    if (race.time_trial_active) {
        race.restart_counter = 2;
        local_rider_reset();
        race.restart_counter += 1;
    }

    qorl_log("Max loading delay was %f (%s)\n", race.max_loading_delay, race.max_loading_message);
    race_hooks.demo_record_states(1);
    race_hooks.demo_playback_read();
    race.results_written = 0;
    race_hooks.race_results_compute();

    if (!race_rider_exists(race.viewed_slot))
        for (int32_t k = 0; k < kRaceSlots; ++k)
            if (race_rider_exists(k)) {
                race.viewed_slot = k;
                break;
            }
    race_empty_contacts();
    apply_setup();
    tune_process();
}
