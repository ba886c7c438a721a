#include "race/net/net_client.h"
#include "race/rider_history.h"

#include <cstring>

void riders_clear()
{
    memset(net_rider_infos, 0, sizeof net_rider_infos);
    memset(net_ping, 0, sizeof net_ping);
    memset(net_state_tick, 0, sizeof net_state_tick);
    // Entry 160, the gate drop, came with the same track info just before.
    for (int32_t k = 0; k < kRaceSlots; ++k)
        net_lineup[k] = 0;
    history_clear_all();
    net_own_lineup = kWatchOnlyValue;
    net_highest_slot = net_no_slot;
    net_server_tick = 0;
    net_newest_server_tick = 0;
    net_reported_position = 0;
}
