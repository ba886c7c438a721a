// The running order, the race length of a timed race and the finality of the results.
#include "race/race_results.h"

#include "race/net/net_connection.h"
#include "race/net/net_client.h"
#include "foundation/front_door.h"
#include "race/race_hooks.h"
#include "race/race_state.h"
#include "race/rider_history.h"
#include "sim/race_clock.h"
#include "terrain/timing_gates.h"

#include <algorithm>
#include <cmath>

order_table running_order = {};
order_table final_order = {};
time_t (*results_calendar_time)() = [] { return time(nullptr); };

namespace {

constexpr int32_t kTicksPerSecond = 128;
constexpr int32_t kDemoActiveTicks = 10 * kTicksPerSecond;

// a comes before b: more positions, then the earlier tick, then the lower slot.
bool before(const order_row& a, const order_row& b)
{
    if (a.positions != b.positions)
        return a.positions > b.positions;
    if (a.tick != b.tick)
        return a.tick < b.tick;
    return a.slot < b.slot;
}

void sift_down(order_row* rows, int32_t root, int32_t n)
{
    for (;;) {
        int32_t child = 2 * root + 1;
        if (child >= n)
            return;
        if (child + 1 < n && before(rows[child], rows[child + 1]))
            ++child;
        if (!before(rows[root], rows[child]))
            return;
        std::swap(rows[root], rows[child]);
        root = child;
    }
}

// Heap sort with the entry that comes last at the root: first-to-last afterwards.
void sort_rows(order_table& table)
{
    const int32_t n = table.count;
    for (int32_t i = n / 2 - 1; i >= 0; --i)
        sift_down(table.rows, i, n);
    for (int32_t k = n - 1; k >= 1; --k) {
        std::swap(table.rows[0], table.rows[k]);
        sift_down(table.rows, 0, k);
    }
}

void build_rows(order_table& table)
{
    table.count = 0;
    for (int32_t slot = 0; slot < kOrderRows; ++slot) {
        if (!results_riders.occupied(slot))
            continue;
        const int32_t positions = results_riders.timing_position(slot);
        order_row& row = table.rows[table.count++];
        row.slot = slot;
        row.positions = positions;
        row.tick = positions >= 1 ? results_riders.gate_time(slot, positions - 1) : 0;
    }
}

bool online()
{
    return net_socket >= 0;
}

bool watching()
{
    return race.own_lineup_value == kWatchOnlyValue;
}

void estimate_laps(int32_t leader_positions)
{
    const int32_t F = results_first_lap_positions(), N = results_lap_positions();
    int32_t& estimate = race.lap_counts[0];
    if (estimate != kLapsNotEstimated ||
        int64_t(current_tick) < int64_t(race.gate_drop_tick) + race.time_limit_ticks / 2)
        return;
    estimate = N == 0 || leader_positions < F ? 1 : (leader_positions - F) / N + 2;
}

// The earliest tick at which any ranked rider reached position p, -1 when none did.
int32_t earliest_at(int32_t p)
{
    int32_t earliest = -1;
    for (int32_t i = 0; i < running_order.count; ++i) {
        const int32_t t = results_riders.gate_time(running_order.rows[i].slot, p);
        if (t != -1 && (earliest == -1 || t < earliest))
            earliest = t;
    }
    return earliest;
}

// Total laps once the time is up: fixed at the lap first completed after it.
void settle_total_laps(int32_t leader_positions)
{
    const int32_t limit = race.time_limit_ticks;
    const int64_t time_up = int64_t(race.gate_drop_tick) + limit;
    if (limit == 0 || current_tick < time_up)
        return;
    const int32_t F = results_first_lap_positions(), N = results_lap_positions();
    int32_t& total = race.lap_counts[1];
    int32_t k = 1;
    if (N != 0 && leader_positions >= F && (leader_positions - F) / N > 0)
        k = std::min((leader_positions - F) / N, total);
    for (;;) {
        const int64_t end = k == 0 ? 0 : int64_t(k - 1) * N + F - 1;
        if (end < 0 || end > INT32_MAX)
            return;
        const int32_t E = earliest_at(int32_t(end));
        if (E == -1)
            return;
        if (E >= time_up) {
            total = int32_t(std::min<int64_t>(total, int64_t(race.laps) + k));
            return;
        }
        total = int32_t(std::clamp<int64_t>(int64_t(race.laps) + k + 1, total, INT32_MAX));
        // Without further laps every lap ends at the same position: nothing more to find.
        if (N == 0)
            return;
        ++k;
    }
}

// Whether the unfinished rider in slot still races, so that the results must wait.
bool still_racing(int32_t slot)
{
    const int32_t kind = results_riders.kind(slot);
    if (online()) {
        if (watching() && kind == rider_kind_local)
            return false;
        if (slot == net_own_slot)
            return true;
        return int64_t(current_tick) - int64_t(net_state_tick[slot]) < kTicksPerSecond;
    }
    if (kind == rider_kind_local || kind == rider_kind_bot)
        return true;
    int32_t older, newer;
    if (!history_find_pair(slot, current_tick, &older, &newer))
        return false;
    return int64_t(history_ticks[slot][newer]) + kDemoActiveTicks >= current_tick;
}

bool everyone_stopped()
{
    for (int32_t i = 0; i < running_order.count; ++i) {
        const int32_t slot = running_order.rows[i].slot;
        if (!results_riders.has_finished(slot) && still_racing(slot))
            return false;
    }
    return true;
}

// One lap taken away for each whole best lap of penalty, the rest added as ticks.
void apply_penalty(order_row& row)
{
    int64_t p = rider_cutting_penalty(row.slot);
    const int32_t best = results_best_lap(row.slot);
    if (best >= 2) {
        const int32_t F = results_first_lap_positions(), N = results_lap_positions();
        const int32_t end = (best - 1) * N + F - 1;
        const int32_t t1 = results_riders.gate_time(row.slot, end);
        const int32_t t0 = results_riders.gate_time(row.slot, end - N);
        // A lap of no length comes from damaged timing: it takes nothing away.
        const int64_t h = t1 >= 0 && t0 >= 0 ? int64_t(t1) - t0 : 0;
        while (h > 0 && N > 0 && p > h && row.positions > F) {
            row.positions -= N;
            p -= h;
        }
    }
    row.tick = int32_t(std::clamp<int64_t>(row.tick + p, INT32_MIN, INT32_MAX));
}

}  // namespace

int32_t clamp_to_int(double value)
{
    if (std::isnan(value))
        return 0;
    return int32_t(std::clamp(value, double(INT32_MIN), double(INT32_MAX)));
}

int32_t results_first_lap_positions()
{
    return timing_gates.firstlap_length;
}

int32_t results_lap_positions()
{
    return timing_gates.normallap_length;
}

int32_t results_lap_of(int32_t position)
{
    const int32_t F = results_first_lap_positions(), N = results_lap_positions();
    if (position < F || N <= 0)
        return 1;
    return (position - F) / N + 2;
}

int32_t results_best_lap(int32_t slot)
{
    const int32_t c = results_riders.laps_completed(slot);
    if (c < 2)
        return 0;
    int32_t best = 2;
    double best_time = results_riders.lap_time(slot, 2);
    for (int32_t k = 3; k <= c; ++k) {
        const double t = results_riders.lap_time(slot, k);
        // A lap time of 0 is missing: any later lap replaces it, and it replaces nothing.
        if (best_time == 0 || (t != 0 && t < best_time)) {
            best = k;
            best_time = t;
        }
    }
    return best;
}

int race_results_final()
{
    return race.results_written;
}

void race_results_compute()
{
    build_rows(running_order);
    sort_rows(running_order);
    const int32_t leader_positions = running_order.count > 0 ? running_order.rows[0].positions : 0;
    estimate_laps(leader_positions);
    settle_total_laps(leader_positions);
    if (!everyone_stopped())
        return;

    build_rows(final_order);
    for (int32_t i = 0; i < final_order.count; ++i)
        apply_penalty(final_order.rows[i]);
    sort_rows(final_order);
    if (running_order.count >= 1 && final_order.count >= 1 && results_riders.has_finished(final_order.rows[0].slot))
        if (!results_file_write())
            console_print("Can't write \"results.txt\"");
    race.results_written = 1;
    race_hooks.series_record_round();
}

void race_results_refresh()
{
    if (!race.results_written)
        race_results_compute();
}
