#include "race/rider_visibility.h"

#include "race/net/net_connection.h"
#include "race/net/net_client.h"
#include "race/race_results.h"
#include "race/race_state.h"
#include "race/rider_history.h"
#include "sim/race_clock.h"

namespace {

constexpr int32_t kTicksPerSecond = 128;
constexpr double kTick = 1.0 / 128.0;

bool occupied(int32_t slot)
{
    return slot >= 0 && slot < kRaceSlots && results_riders.occupied(slot);
}

bool done(int32_t slot)
{
    return results_riders.has_finished(slot) || rider_off_course(slot);
}

}  // namespace

int rider_contact_filter(int32_t slot)
{
    const int32_t own = net_own_slot;
    if (!occupied(own))
        return 1;
    if (!occupied(slot))
        return 0;
    if (slot != own && int64_t(current_tick) - int64_t(net_state_tick[slot]) >= kTicksPerSecond)
        return 0;
    if (running_order.count <= 1)
        return 1;
    if ((double(current_tick) - race.gate_drop_tick) * kTick < double(off_course_bias) || done(own))
        return 1;
    return done(slot) ? 0 : 1;
}

int rider_hidden(int slot)
{
    if (!occupied(slot))
        return 1;
    const int32_t kind = results_riders.kind(slot);
    if (net_socket >= 0 && race.own_lineup_value == kWatchOnlyValue && kind == rider_kind_local &&
        slot != race.viewed_slot)
        return 1;
    if (kind != rider_kind_remote)
        return 0;
    int32_t older, newer;
    if (!history_find_pair(slot, current_tick, &older, &newer))
        return 1;
    const int64_t now = current_tick;
    if (now < int64_t(history_ticks[slot][older]) - kTicksPerSecond ||
        now > int64_t(history_ticks[slot][newer]) + kTicksPerSecond)
        return 1;
    return rider_contact_filter(slot) ? 0 : 1;
}
