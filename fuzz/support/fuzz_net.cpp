#include "support/fuzz_net.h"

#include "support/fuzz_support.h"

#include "race/net/client_stand_ins.h"
#include "race/net/net_client.h"
#include "race/program/run_clock.h"
#include "sim/race_clock.h"

#include <algorithm>
#include <vector>

namespace fuzz {

void net_client_at(int state)
{
    start();
    client_stand_ins::restore_client({[](const int32_t* lineup, int, int, int32_t, int32_t, int32_t) {
                                          client_stand_ins::start_race(lineup);
                                      },
                                      [](int, const void*, int) {}, [](const char*) {}, [] {}});
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
