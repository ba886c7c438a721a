#include "race_table.h"

#include "race/net/net_connection.h"
#include "race/net/net_client.h"
#include "race/race_hooks.h"
#include "race/race_state.h"
#include "race/rider_history.h"
#include "sim/race_clock.h"
#include "terrain/timing_gates.h"

namespace racetable {

TableRider riders[160];

namespace {

RaceTable* current = nullptr;

int32_t lap_end(int32_t k)
{
    return (k - 1) * timing_gates.normallap_length + timing_gates.firstlap_length - 1;
}

int32_t gate(int32_t slot, int32_t p)
{
    const auto& g = riders[slot].gates;
    return p >= 0 && p < int32_t(g.size()) ? g[size_t(p)] : -1;
}

int32_t laps_completed(int32_t slot)
{
    const int32_t F = timing_gates.firstlap_length, N = timing_gates.normallap_length;
    const int32_t c = riders[slot].positions();
    return N <= 0 || c < F ? 0 : (c - F) / N + 1;
}

double lap_time(int32_t slot, int32_t k)
{
    if (k < 1 || k > laps_completed(slot))
        return 0;
    const int32_t end = gate(slot, lap_end(k));
    const int32_t start = k == 1 ? race.gate_drop_tick : gate(slot, lap_end(k - 1));
    return end < 0 || start < 0 ? 0 : (end - start) / 128.0;
}

const results_rider_view table_view = {
    [](int32_t slot) { return int(riders[slot].occupied); },
    [](int32_t slot) { return riders[slot].kind; },
    [](int32_t slot) { return riders[slot].positions(); },
    gate,
    laps_completed,
    lap_time,
    [](int32_t slot) { return int(riders[slot].finished); },
    [](int32_t slot) { return riders[slot].number.c_str(); },
    [](int32_t slot) { return riders[slot].bike.c_str(); },
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
};

}  // namespace

RaceTable::RaceTable()
{
    current = this;
    for (TableRider& r : riders)
        r = TableRider{};
    results_riders = table_view;
    race_hooks.series_record_round = [] { ++current->recorded_rounds; };
    lap_layout(3, 4);
    race.gate_drop_tick = 1792;
    race.time_limit_ticks = 0;
    race.laps = 2;
    race.lap_counts[0] = 1;
    race.lap_counts[1] = 2;
    race.results_written = 0;
    race.own_lineup_value = 0;
    race.viewed_slot = 0;
    current_tick = 2000;
    net_socket = -1;
    net_own_slot = net_no_slot;
    for (uint32_t& t : net_state_tick)
        t = 0;
    off_course_scale = 1.5f;
    off_course_bias = 10.0f;
    running_order.count = final_order.count = 0;
    history_clear_all();
}

RaceTable::~RaceTable()
{
    results_riders = results_riders_from_slots;
    race_hooks.series_record_round = [] {};
    net_socket = -1;
    timing_gates.checkpoint_count = 0;
    current = nullptr;
}

void RaceTable::lap_layout(int32_t first, int32_t further)
{
    timing_gates.checkpoint_count = first + further;
    timing_gates.firstlap_length = first;
    timing_gates.normallap_length = further;
}

TableRider& RaceTable::ride(int32_t slot, std::vector<int32_t> gates, int32_t kind)
{
    TableRider& r = riders[slot];
    r.occupied = true;
    r.kind = kind;
    r.gates = std::move(gates);
    return r;
}

}  // namespace racetable
