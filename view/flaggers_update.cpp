// The frame's flaggers: race state through the flagger rules into the billboards.
#include "gfx/anim_texture.h"
#include "race/net/net_connection.h"
#include "race/race_results.h"
#include "race/race_state.h"
#include "sim/race_clock.h"
#include "sim/rider_access.h"
#include "terrain/billboards.h"
#include "terrain/flaggers.h"
#include "terrain/terrain_queries.h"
#include "terrain/timing_gates.h"
#include "terrain/track_list.h"
#include "view/flagger_rules.h"
#include "view/render_world.h"

namespace {

billboard* flagger_billboard(int32_t index)
{
    return index >= 0 && index < billboard_count() ? billboard_at(index) : nullptr;
}

// A new texture starts its animation now and stops the old one; the same one runs on.
void show(billboard* b, uint32_t texture)
{
    if (b->texture == texture)
        return;
    anim_texture_stop(b->texture);
    anim_texture_start(texture, current_tick);
    b->texture = texture;
}

void start_flagger()
{
    billboard* b = flagger_billboard(flagger_head.sprite1_billboard);
    if (!b)
        return;
    const start_flagger_pose pose = start_flagger_at(current_tick, race.flagger_timer, flagger_head.sprite1_extra);
    const float* from = flagger_head.sprite1_from;
    const float* to = flagger_head.sprite1_vector;
    b->x = from[0] + (to[0] - from[0]) * pose.walk;
    b->z = from[2] + (to[2] - from[2]) * pose.walk;
    b->y = from[1] + (to[1] - from[1]) * pose.walk + terrain_height_at(&track_terrain, b->x, b->z);
    show(b, flagger_head.sprite1_textures[pose.texture]);
}

void lap_board()
{
    billboard* b = flagger_billboard(flagger_head.sprite2_billboard);
    if (!b)
        return;
    lap_board_race r;
    r.leader_position = running_order.count > 0 ? running_order.rows[0].positions : -1;
    r.first_lap = timing_gates.firstlap_length;
    r.normal_lap = timing_gates.normallap_length;
    r.total_laps = race.lap_counts[1];
    r.lap_estimate = race.lap_counts[0];
    r.extra_laps = race.laps;
    r.tick = current_tick;
    r.gate_drop_tick = race.gate_drop_tick;
    r.time_limit_ticks = race.time_limit_ticks;
    show(b, flagger_head.sprite2_textures[lap_board_texture(r)]);
}

void gate_flags()
{
    const int32_t gates = timing_gates.checkpoint_count;
    for (int32_t g = 0; g < gates; ++g)
        timing_gates.checkpoints[g].marker = 0;
    const int32_t first = timing_gates.firstlap_length, normal = timing_gates.normallap_length;
    const bool online = net_socket != -1;
    for (int32_t k = 0; k < running_order.count && k < kOrderRows; ++k) {
        const order_row& row = running_order.rows[k];
        if (row.slot < 0 || row.slot >= kRiderSlots || (online && race.kinds[row.slot] == rider_kind_remote))
            continue;
        const rider_slot* rider = &rider_slots[row.slot];
        if (!rider->bodies[body_frame] || !rider_is_down(rider))
            continue;
        const int32_t p = lap_position(row.positions, first, normal);
        if (p < 0 || p >= first + normal)
            continue;
        const int32_t gate = lap_entry_gate(timing_gates.lap_entries[p], gates);
        if (gate >= 0)
            timing_gates.checkpoints[gate].marker = 1;
    }
}

void gate_flaggers()
{
    const int32_t gates = timing_gates.checkpoint_count;
    const flagger* list = static_cast<const flagger*>(flaggers.items);
    for (int32_t i = 0; i < flaggers.count; ++i) {
        billboard* b = flagger_billboard(list[i].billboard);
        if (!b)
            continue;
        bool alert = false;
        for (int32_t g : list[i].gates)
            alert = alert || (g >= 0 && g < gates && timing_gates.checkpoints[g].marker);
        show(b, alert ? list[i].texture_b : list[i].texture_a);
    }
}

}  // namespace

void flaggers_update()
{
    if (timing_gates.firstlap_length + timing_gates.normallap_length == 0)
        return;
    start_flagger();
    lap_board();
    gate_flags();
    gate_flaggers();
}
