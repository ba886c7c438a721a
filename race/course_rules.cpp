// The cutting penalty, the off-course test and the gap between two rows.
#include "race/net/net_connection.h"
#include "race/net/net_client.h"
#include "race/race_results.h"
#include "race/race_state.h"
#include "sim/race_clock.h"

#include <algorithm>

namespace {

constexpr int32_t kTicksPerSecond = 128;
constexpr int32_t kNoReference = 60 * kTicksPerSecond;
constexpr double kTick = 1.0 / 128.0;

bool reached(int32_t slot, int32_t count, int32_t p)
{
    return p < count && results_riders.gate_time(slot, p) >= 0;
}

// Ticks the rider took from position s (s < 0: from tick 0) to position s + length,
// when it reached every position on the way.
bool stretch_time(int32_t slot, int32_t count, int32_t s, int32_t length, int64_t* ticks)
{
    for (int32_t p = std::max(s, 0); p <= s + length; ++p)
        if (!reached(slot, count, p))
            return false;
    const int32_t from = s < 0 ? 0 : results_riders.gate_time(slot, s);
    *ticks = int64_t(results_riders.gate_time(slot, s + length)) - from;
    return true;
}

// The rider's own time for the stretch s..j: the stretch itself in the first lap,
// else the mean over every lap in which it rode the same stretch whole.
bool rider_reference(int32_t slot, int32_t s, int32_t j, int64_t* ticks)
{
    const int32_t F = results_first_lap_positions(), N = results_lap_positions();
    const int32_t count = results_riders.timing_position(slot);
    if (s < F)
        return stretch_time(slot, count, s, j - s, ticks);
    // Without further laps a later-lap stretch has nothing to compare with.
    if (N <= 0)
        return false;
    int64_t sum = 0, laps = 0, t;
    for (int64_t start = F + (s - F) % N; start + (j - s) < count; start += N)
        if (stretch_time(slot, count, int32_t(start), j - s, &t)) {
            sum += t;
            ++laps;
        }
    if (laps == 0)
        return false;
    *ticks = sum / laps;
    return true;
}

bool reference_rider(int32_t slot)
{
    const bool watching_online = net_socket >= 0 && race.own_lineup_value == kWatchOnlyValue;
    return !(watching_online && results_riders.kind(slot) == rider_kind_local);
}

int64_t reference_time(int32_t s, int32_t j)
{
    int64_t sum = 0, riders = 0, t;
    for (int32_t i = 0; i < running_order.count; ++i) {
        const int32_t slot = running_order.rows[i].slot;
        if (reference_rider(slot) && rider_reference(slot, s, j, &t)) {
            sum += t;
            ++riders;
        }
    }
    return riders ? sum / riders : kNoReference;
}

// Tick of the nearest reached position from `from` stepping by `step` while the
// position stays within [low, high]; fallback when none.
int32_t nearest_tick(int32_t slot, int32_t from, int32_t step, int32_t low, int32_t high, int32_t fallback)
{
    for (int32_t q = from; q >= low && q <= high; q += step) {
        const int32_t t = results_riders.gate_time(slot, q);
        if (t >= 0)
            return t;
    }
    return fallback;
}

// The time the first rider ahead took from position i - 1 to i, when known.
bool lead_reference(int32_t i, int64_t* ticks)
{
    for (int32_t k = 0; k < running_order.count; ++k) {
        const order_row& row = running_order.rows[k];
        if (row.positions <= i)
            return false;
        const int32_t a = results_riders.gate_time(row.slot, i - 1);
        const int32_t b = results_riders.gate_time(row.slot, i);
        if (a >= 0 && b >= 0) {
            *ticks = int64_t(b) - a;
            return true;
        }
    }
    return false;
}

}  // namespace

int32_t rider_cutting_penalty(int32_t slot)
{
    const int32_t count = results_riders.timing_position(slot);
    int64_t penalty = 0, a = 0;
    int32_t skipped = 0;
    for (int32_t j = 0; j < count; ++j) {
        const int32_t t = results_riders.gate_time(slot, j);
        if (t == -1) {
            ++skipped;
            continue;
        }
        if (skipped > 0) {
            const int64_t R = reference_time(j - skipped - 1, j) + kTicksPerSecond;
            if (t - a < R)
                penalty += R - (t - a);
        }
        a = t;
        skipped = 0;
    }
    return int32_t(std::min<int64_t>(penalty, INT32_MAX));
}

int rider_off_course(int32_t slot)
{
    const int32_t count = results_riders.timing_position(slot);
    if (count < 1)
        return 1;
    for (int32_t i = std::max(1, count - 3); i <= count; ++i) {
        int64_t r;
        if (!lead_reference(i, &r))
            continue;
        const int32_t a = nearest_tick(slot, i - 1, -1, std::max(0, i - 3), i - 1, race.gate_drop_tick);
        const int32_t b = nearest_tick(slot, i, 1, i, count - 1, current_tick);
        if (a * kTick + double(off_course_scale) * double(r) * kTick + double(off_course_bias) <= b * kTick)
            return 1;
    }
    return 0;
}

int32_t rider_gap(int32_t first_row, int32_t second_row)
{
    if (running_order.count <= 1 || first_row < 0 || second_row < 0 || first_row >= running_order.count ||
        second_row >= running_order.count)
        return 0;
    const order_row& x = running_order.rows[first_row];
    const order_row& y = running_order.rows[second_row];
    int32_t tx = x.tick, ty = y.tick;
    if (x.positions != y.positions) {
        const int32_t p = std::min(x.positions, y.positions) - 1;
        tx = results_riders.gate_time(x.slot, p);
        ty = results_riders.gate_time(y.slot, p);
    }
    if (tx <= 0 || ty <= 0)
        return 0;
    return ty - tx;
}
