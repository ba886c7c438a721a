// The game tick's fixed order. bike_step runs after the world step, so the forces it
// sets act in the next step; the contact joints made before the step go right after
// it. Everything before the clock advances sees the old tick, the demo the new one.
// The tick's lists are fixed arrays: nothing is allocated per tick.
#include "race/game_tick.h"

#include "race/demo/demo.h"
#include "race/net/net_connection.h"
#include "race/race_restart.h"
#include "race/race_results.h"
#include "race/race_state.h"
#include "race/rider_visibility.h"
#include "race/program/startup.h"
#include "race/statue_grid.h"
#include "sim/autopilot_drive.h"
#include "sim/bike_build.h"
#include "sim/bike_contacts.h"
#include "sim/bike_step.h"
#include "sim/gate_times.h"
#include "sim/physics_world.h"
#include "sim/race_clock.h"
#include "sim/rider_access.h"
#include "sim/wheel_sampling.h"
#include "terrain/track_list.h"

#include <algorithm>
#include <cmath>

game_tick_hooks_table game_tick_hooks = {[] {}, [] {}};

namespace {

rider_slot* occupied(int32_t slot)
{
    rider_slot* r = &rider_slots[slot];
    return r->bodies[body_frame] ? r : nullptr;
}

bool online()
{
    return net_socket >= 0;
}

// Replayed and remote riders may still touch the start gate until 10 s after the drop.
bool gate_still_touchable()
{
    return double(current_tick) * tick_length <= double(race.gate_drop_tick) * tick_length + 10;
}

void place_state_driven()
{
    const int32_t d = std::max(current_tick - race.watch_only, 0);
    const int version = demo_playback_version();
    for (int32_t k = 0; k < kRaceSlots; ++k) {
        rider_slot* r = occupied(k);
        if (!r || race.kinds[k] != rider_kind_remote)
            continue;
        state_placement p;
        if (state_placement_for(k, d, version, &p))
            bike_apply_snapshot(r, &track_terrain, p.target, p.from, p.to, p.ticks, version);
    }
}

// A sphere about the frame body holding every part of the rider and bike that can
// touch another bike. Two riders whose spheres are apart cannot touch: their pair is
// passed over, which saves the part-by-part tests and changes nothing.
struct reach_sphere {
    double centre[3];
    double radius;
};

reach_sphere reach_of(const rider_slot* r)
{
    reach_sphere s{};
    const dReal* f = dBodyGetPosition(r->bodies[body_frame]);
    for (int i = 0; i < 3; ++i)
        s.centre[i] = f[i];
    const wheel_contact* wheels[] = {&r->front_contact, &r->rear_contact};
    for (int b = 0; b < kBikeBodies; ++b) {
        if (!r->bodies[b])
            continue;
        const dReal* p = dBodyGetPosition(r->bodies[b]);
        const double d = std::sqrt((p[0] - f[0]) * (p[0] - f[0]) + (p[1] - f[1]) * (p[1] - f[1]) +
                                   (p[2] - f[2]) * (p[2] - f[2]));
        double extent = r->shapes[b] ? r->shapes[b]->bound_radius : 0;
        for (const wheel_contact* w : wheels)
            if (w->body == r->bodies[b])
                extent = std::max(extent, double(w->ring_radius) + w->tyre_radius);
        s.radius = std::max(s.radius, d + extent);
    }
    s.radius += 1;   // the parts' poses are tested in float
    return s;
}

bool may_touch(const reach_sphere& a, const reach_sphere& b)
{
    const double dx = a.centre[0] - b.centre[0], dy = a.centre[1] - b.centre[1], dz = a.centre[2] - b.centre[2];
    const double reach = a.radius + b.radius;
    return !(dx * dx + dy * dy + dz * dz > reach * reach);
}

void speeds_of(const int32_t* list, int n, float* speed)
{
    for (int i = 0; i < n; ++i) {
        const dReal* v = dBodyGetLinearVel(rider_slots[list[i]].bodies[body_frame]);
        speed[list[i]] = float(std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]));
    }
}

void contacts_offline()
{
    int32_t list[kRaceSlots];
    int n = 0;
    const bool gate_time = gate_still_touchable();
    for (int32_t k = 0; k < kRaceSlots; ++k) {
        rider_slot* r = occupied(k);
        if (!r)
            continue;
        if (race.kinds[k] == rider_kind_remote) {
            if (gate_time)
                gate_pieces_touch(r);
            continue;
        }
        list[n++] = k;
        rider_gather_contacts(r);
    }
    float speed[kRaceSlots];
    speeds_of(list, n, speed);
    sort_by_speed(list, speed, n);
    reach_sphere reach[kRaceSlots];
    for (int i = 0; i < n; ++i)
        reach[i] = reach_of(&rider_slots[list[i]]);
    for (int i = 0; i < n; ++i)
        for (int j = i + 1; j < n; ++j)
            if (may_touch(reach[i], reach[j]))
                bike_collide_bikes(&rider_slots[list[i]], &rider_slots[list[j]], 0);
}

void contacts_online()
{
    int32_t list[kRaceSlots];
    int n = 0;
    const bool watching = race.own_lineup_value == kWatchOnlyValue;
    const bool gate_time = gate_still_touchable();
    for (int32_t k = 0; k < kRaceSlots; ++k) {
        rider_slot* r = occupied(k);
        if (!r || race.kinds[k] != rider_kind_remote || !rider_contact_filter(k))
            continue;
        list[n++] = k;
        if (watching && gate_time)
            gate_pieces_touch(r);
    }
    rider_slot* own = net_own_slot >= 0 && net_own_slot < kRaceSlots ? occupied(net_own_slot) : nullptr;
    if (!own)
        return;
    rider_gather_contacts(own);
    if (watching)
        return;
    float speed[kRaceSlots];
    speeds_of(list, n, speed);
    sort_by_speed(list, speed, n);
    for (int i = 0; i < n; ++i) {
        rider_slot* r = &rider_slots[list[i]];
        if (bike_collide_bikes(own, r, 1))
            bike_wake_on_contact(r);
        if (bike_is_awake(r))
            rider_gather_contacts(r);
    }
}

// The starting rider of the dirt spray rotates with the tick.
void roost()
{
    int32_t list[kRaceSlots];
    int n = 0;
    for (int32_t k = 0; k < kRaceSlots; ++k)
        if (occupied(k))
            list[n++] = k;
    for (int k = 0; k < n; ++k)
        bike_emit_roost(&rider_slots[list[(int64_t(current_tick) + k) % n]]);
}

void ruts()
{
    if (track_terrain.erosion_amount <= 0 || (online() && race.own_lineup_value == kWatchOnlyValue))
        return;
    for (int32_t k = 0; k < kRaceSlots; ++k)
        if (rider_slot* r = occupied(k); r && race.kinds[k] != rider_kind_remote)
            bike_update_ruts(r);
}

void riders()
{
    const bool on = online();
    for (int32_t k = 0; k < kRaceSlots; ++k) {
        rider_slot* r = occupied(k);
        if (!r)
            continue;
        const int32_t kind = race.kinds[k];
        rider_put_back_if_lost(k);
        if (kind == rider_kind_bot)
            autopilot_tick(r);
        if (on) {
            if (kind == rider_kind_remote)
                bike_wake_timer_tick(r);
            else if (kind == rider_kind_local)
                false_start_rule(k);
        }
        bike_step(r);
        if (!on || kind == rider_kind_local)
            rider_gate_tick(r);
    }
}

}  // namespace

void sort_by_speed(int32_t* list, const float* speed_of_slot, int n)
{
    // Min-heap on speed: the right child only when strictly slower than the left, a
    // swap only when the child is strictly slower than the parent.
    auto sift = [&](int i, int size) {
        for (;;) {
            int child = 2 * i + 1;
            if (child >= size)
                return;
            if (child + 1 < size && speed_of_slot[list[child + 1]] < speed_of_slot[list[child]])
                ++child;
            if (!(speed_of_slot[list[child]] < speed_of_slot[list[i]]))
                return;
            std::swap(list[i], list[child]);
            i = child;
        }
    };
    for (int i = n / 2 - 1; i >= 0; --i)
        sift(i, n);
    for (int k = n - 1; k >= 1; --k) {
        std::swap(list[0], list[k]);
        sift(0, k);
    }
}

void game_tick()
{
    game_tick_hooks.script_tick();
    place_state_driven();
    if (race.time_trial_active)
        time_trial_remember_laps();
    if (online())
        contacts_online();
    else
        contacts_offline();
    roost();
    dWorldStep(physics_world, tick_length);
    dJointGroupEmpty(contact_group);
    ruts();
    riders();
    game_tick_hooks.particles_move();
    start_gate_fall();

    ++current_tick;
    race.tick = current_tick;
    if (online() && current_tick % 512 == 511 && !race_results_final())
        race_results_compute();
    demo_record_states(0);
    demo_playback_read();
    if (race.time_trial_active)
        time_trial_laps();
    suspension_graph_record();
}
