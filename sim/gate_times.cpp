// Gate times, the crossing test and the lap arithmetic.
#include "sim/gate_times.h"

#include "sim/race_clock.h"
#include "terrain/timing_gates.h"

#include <cmath>

gate_timing_race gate_timing_hooks = {};
gate_learning_calls gate_learning_hooks = {};

namespace {

constexpr double kTick = 1.0 / 128.0;

int32_t now()
{
    return gate_timing_hooks.current_tick ? gate_timing_hooks.current_tick() : current_tick;
}

int32_t race_laps()
{
    return gate_timing_hooks.laps ? gate_timing_hooks.laps() : 0;
}

const rider_slot* leader()
{
    const int32_t slot = gate_timing_hooks.leader_slot ? gate_timing_hooks.leader_slot() : -1;
    return slot >= 0 && slot < kRiderSlots ? &rider_slots[slot] : nullptr;
}

bool timed()
{
    return timing_gates.checkpoint_count > 0;
}

int32_t first_lap()
{
    return timing_gates.firstlap_length;
}

int32_t normal_lap()
{
    return timing_gates.normallap_length;
}

bool is_lap_line(int32_t p)
{
    const int32_t F = first_lap(), L = normal_lap();
    return L > 0 && p - F + 1 >= 0 && (p - F + 1) % L == 0;
}

// The last position of lap k, or -1 when the track has no such lap.
int32_t lap_end(int32_t k)
{
    const int32_t L = normal_lap();
    if (k < 1 || L <= 0)
        return -1;
    const int64_t end = int64_t(k - 1) * L + first_lap() - 1;
    return end > INT32_MAX ? -1 : int32_t(end);
}

// The final position of a race with a lap count, else 0.
int32_t final_position()
{
    const int32_t laps = race_laps();
    if (laps <= 0)
        return 0;
    const int32_t end = lap_end(laps);
    return end < 0 ? 0 : end;
}

int32_t* gate_time_items(const rider_slot* r)
{
    return static_cast<int32_t*>(r->gate_times.items);
}

// Whether the front wheel lies on the crossing half-disc of position p's gate.
bool crossed(int32_t p, const float w[3])
{
    int32_t entry = timing_gates_entry_at(p);
    if (entry < 0)
        return false;
    if (entry >= kFlaggedLapEntry)
        entry -= kFlaggedLapEntry;
    if (entry >= timing_gates.checkpoint_count)
        return false;
    const timing_gate& g = timing_gates.checkpoints[entry];
    const float dx = w[0] - g.x;
    const float dz = w[2] - g.z;
    return dx * dx + dz * dz <= g.length * g.length && dx * g.dx + dz * g.dz >= 0.0f;
}

// The first position counted this tick, or -1.
int32_t counted_position(const rider_slot* r, const float w[3])
{
    const int32_t N = r->timing_position;
    const int32_t tested[5] = {N - 3, N - 2, N, N + 1, N + 2};
    for (int32_t i = 0; i < 5; ++i) {
        const int32_t p = tested[i];
        if (p < 0)
            continue;
        const bool hit = crossed(p, w);
        if (p < N) {
            // Behind: only a position never reached counts again.
            if (hit && rider_get_gate_time(r, p) < 0)
                return p;
            continue;
        }
        if (hit)
            return p;
        // A lap line ahead cannot be skipped.
        if (is_lap_line(p) && rider_get_gate_time(r, p) < 0)
            return -1;
    }
    return -1;
}

// A finishing automatic rider eases off along the rest of its path, to a quarter of
// the speed at the end.
void ease_off(rider_slot* r)
{
    if (r->personality == 0 || !r->path.items)
        return;
    auto* points = static_cast<ai_line_point*>(r->path.items);
    const int32_t e = r->path_count < r->path.count ? r->path_count : r->path.count;
    const int32_t s = r->path_index < 0 ? 0 : r->path_index;
    for (int32_t k = s; k < e; ++k)
        points[k].speed *= 0.75f / float(e - s) * float(e - k) + 0.25f;
}

}  // namespace

int32_t rider_get_gate_time(const rider_slot* r, int32_t p)
{
    if (p < 0 || p >= r->gate_times.count || !r->gate_times.items)
        return -1;
    return gate_time_items(r)[p];
}

int32_t rider_get_timing_position(const rider_slot* r)
{
    return r->timing_position;
}

void rider_set_gate_time(rider_slot* r, int32_t p, int32_t tick)
{
    if (p < 0 || p >= kGateTimeMaxPositions)
        return;
    const int32_t missing = -1;
    while (r->gate_times.count <= p)
        if (!array_push(&r->gate_times, &missing))
            return;
    gate_time_items(r)[p] = tick;
}

void rider_truncate_timing(rider_slot* r, int32_t p)
{
    if (p < r->timing_position)
        r->finished = 0;
    if (p < 0)
        p = 0;
    if (r->gate_times.count > p)
        r->gate_times.count = p;
    r->timing_position = p;
    r->rider_down = 0;
}

int32_t rider_laps_completed(const rider_slot* r)
{
    const int32_t F = first_lap(), L = normal_lap();
    if (!timed() || L <= 0 || r->timing_position < F)
        return 0;
    return (r->timing_position - F) / L + 1;
}

double rider_lap_time(const rider_slot* r, int32_t k)
{
    const int32_t completed = rider_laps_completed(r);
    if (k < 0)
        k = completed;
    if (k < 1 || k > completed)
        return 0.0;
    const int32_t end = rider_get_gate_time(r, lap_end(k));
    const int32_t start = k == 1 ? (gate_timing_hooks.gate_drop_tick ? gate_timing_hooks.gate_drop_tick() : 0)
                                 : rider_get_gate_time(r, lap_end(k - 1));
    if (end < 0 || start < 0)
        return 0.0;
    return double(int64_t(end) - int64_t(start)) * kTick;
}

int rider_has_finished(rider_slot* r)
{
    if (!timed())
        return 0;
    if (r->finished)
        return 1;
    const rider_slot* lead = leader();
    const int32_t f = final_position();
    if (!lead || lead->timing_position <= f)
        return 0;
    const int32_t leader_tick = rider_get_gate_time(lead, f);
    if (leader_tick < 0)
        return 0;
    const int32_t F = first_lap(), L = normal_lap();
    if (L <= 0)
        return 0;
    const int32_t P = r->timing_position;
    const int32_t d = P >= F ? F + L * ((P - F) / L) - 1 : 0;
    const int32_t own = rider_get_gate_time(r, d);
    if (own >= 0 && own >= leader_tick) {
        r->finished = 1;
        return 1;
    }
    return 0;
}

void rider_gate_tick(rider_slot* r)
{
    float w[3] = {0.0f, 0.0f, 0.0f};
    if (const dBodyID wheel = r->bodies[body_front_wheel]) {
        const dReal* p = dBodyGetPosition(wheel);
        w[0] = float(p[0]);
        w[1] = float(p[1]);
        w[2] = float(p[2]);
    }
    rider_gate_tick_at(r, w);
}

void rider_gate_tick_at(rider_slot* r, const float front_wheel[3])
{
    if (gate_learning_hooks.tick)
        gate_learning_hooks.tick(r);
    if (!timed() || r->finished)
        return;
    if (r->rider_down == 1) {
        r->rider_down = 2;
        if (gate_learning_hooks.rider_down)
            gate_learning_hooks.rider_down(r);
    }

    const int32_t expected = r->timing_position;
    const int32_t t = counted_position(r, front_wheel);
    if (t < 0)
        return;
    if (r->rider_down && gate_learning_hooks.cancel)
        gate_learning_hooks.cancel(r);
    r->timing_position = t;
    rider_set_gate_time(r, t, now());
    if (gate_learning_hooks.crossed)
        gate_learning_hooks.crossed(r, t, expected);
    r->timing_position = t + 1;

    // The new position t + 1 begins a lap: the rider is done unless the race goes on.
    if (is_lap_line(t) && !r->finished) {
        const int32_t laps = race_laps();
        const rider_slot* lead = leader();
        const int32_t leader_position = lead ? lead->timing_position : 0;
        const bool racing_on =
            laps > 0 && leader_position <= final_position() && rider_laps_completed(r) < laps;
        if (!racing_on) {
            r->finished = 1;
            ease_off(r);
        }
    }
    if (gate_timing_hooks.results_refresh)
        gate_timing_hooks.results_refresh();
    r->rider_down = 0;
}
