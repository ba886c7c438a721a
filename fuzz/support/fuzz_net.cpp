#include "support/fuzz_net.h"

#include "support/fuzz_support.h"

#include "race/program/menu_state.h"
#include "race/net/net_channel.h"
#include "race/net/net_client.h"
#include "race/net/net_messages.h"
#include "race/race_hooks.h"
#include "race/program/run_clock.h"
#include "sim/race_clock.h"
#include "terrain/track_list.h"

#include <cstring>
#include <vector>

namespace fuzz {
namespace {

track_entry listed[1] = {{const_cast<char*>("tracks/flat"), const_cast<char*>("Flat")}};

void stand_in_reset(const int32_t* lineup, int, int, int32_t, int32_t, int32_t)
{
    for (int k = 0; k < 160; ++k)
        race.kinds[k] = lineup[k] == 1 ? rider_kind_local : lineup[k] == 5 ? rider_kind_remote : rider_kind_bot;
    for (size_t i = 0; i < sizeof track_hash; ++i)
        track_hash[i] = uint8_t(0xA0 + i);
    current_tick = 0;
}

}  // namespace

void net_client_at(int state)
{
    start();
    track_list = listed;
    track_count = 1;
    net_client_restore();
    net_message_handler = net_handle_message;
    net_fake_lag = 0;
    net_fake_loss = 0;
    net_password = "secret";
    net_calendar_seconds = [] { return 0x5F5E1000u; };
    net_track_reset = stand_in_reset;
    race_hooks.demo_record_event = [](int, const void*, int) {};
    race_hooks.script_call_message_handler = [](const char*) {};
    race_hooks.race_results_refresh = [] {};
    menu_screen = -1;
    run_clock = 1.5;
    current_tick = 0;
    memset(race.kinds, 0, sizeof race.kinds);
    net_resolve(&net_server_address, "127.0.0.1:9", 9);
    net_state = state;
    if (state > 0) {
        net_own_slot = 0;
        net_connection_id = 0x01020304;
        net_race_id = state >= 5 ? 1 : 0;
    }
}

void net_deliver(uint8_t* datagram, int length)
{
    const net_address from = net_server_address;
    net_dispatch(datagram, length, from);
    run_clock += 1.0 / 128;
    ++current_tick;
}

void for_each_datagram(const uint8_t* data, size_t size, const std::function<void(uint8_t*, int)>& take)
{
    size_t at = 0;
    for (int n = 0; n < 256 && at + 2 <= size; ++n) {
        size_t length = size_t(data[at] | data[at + 1] << 8);
        at += 2;
        length = std::min({length, size - at, size_t(1100)});
        // The receive step's buffer: the datagram and a terminating byte after it.
        std::vector<uint8_t> copy(data + at, data + at + length);
        copy.push_back(0);
        take(copy.data(), int(length));
        at += length;
    }
}

}  // namespace fuzz
