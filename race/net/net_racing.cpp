// What the client sends every tick while racing: lap reports and its rider's state,
// keep-alives while only watching, and the player's rider info once the setup screens
// are closed.
#include "race/program/menu_state.h"
#include "race/net/net_channel.h"
#include "race/net/net_client.h"
#include "race/net/net_rider_info.h"
#include "race/race_riders.h"
#include "race/program/run_clock.h"
#include "race/net/wire_client.h"
#include "race/net/wire_records.h"
#include "sim/gate_times.h"
#include "sim/packed_state.h"
#include "sim/race_clock.h"
#include "sim/rider_slot.h"
#include "terrain/track_list.h"

constexpr double kKeepaliveInterval = 10;

void net_racing_sends()
{
    const int32_t own = net_own_slot;
    if (own >= 0 && own < kNetSlots && net_own_lineup != kWatchOnlyValue && race_rider_exists(own)) {
        const rider_slot* rider = &rider_slots[own];
        const int32_t count = rider_get_timing_position(rider);
        if (count != net_reported_position) {
            net_reported_position = count;
            uint8_t report[net_lap_report_size];
            net_queue_reliable(net_record_timing, report,
                               net_lap_report_payload(report, net_race_id, count - 1,
                                                      rider_get_gate_time(rider, count - 1)));
        }
        if (current_tick % 4 == 0) {
            packed_rider_state state;
            bike_pack_state(rider, &track_terrain, &state);
            uint8_t out[60];
            net_send_to_server(out, net_build_rider_state(out, own, net_connection_id, net_race_id,
                                                          net_newest_server_tick, uint32_t(current_tick),
                                                          state.bytes));
        }
    }
    if (net_own_lineup == kWatchOnlyValue && run_clock >= net_keepalive_time) {
        net_keepalive_time = run_clock + kKeepaliveInterval;
        net_queue_reliable(net_record_still_there, net_keepalive_text, int(sizeof net_keepalive_text) - 1);
    }
    if (net_rider_info_pending && menu_screen != screen_bike_setup && menu_screen != screen_choose_list) {
        char text[kRiderInfoRoomRecord];
        net_queue_reliable(net_record_rider_info, text, net_rider_info_build(text, sizeof text, player_setup));
        net_rider_info_pending = 0;
    }
}
