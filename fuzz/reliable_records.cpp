// The reliable channel's records as the racing client receives them: each datagram of
// the input (see for_each_datagram) is a record (its type byte, then its bytes), sent
// in a reliable packet under the next sequence number; the first byte of the input
// holds back one record in eight now and then, so that the channel's reordering runs.
#include "support/fuzz_net.h"

#include "race/net/net_channel.h"
#include "race/net/net_client.h"

#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const uint8_t late = data[0];
    fuzz::net_client_at(11);
    uint32_t sequence = net_expected_sequence;
    std::vector<uint8_t> held;
    int index = 0;
    fuzz::for_each_datagram(data + 1, size - 1, [&](uint8_t* record, int length) {
        std::vector<uint8_t> packet(5);
        packet[0] = 17;
        memcpy(&packet[1], &sequence, 4);
        ++sequence;
        packet.insert(packet.end(), record, record + length);
        const int n = int(packet.size());
        packet.push_back(0);
        if ((late >> (index++ & 7) & 1) && held.empty()) {
            held = packet;
            return;
        }
        fuzz::net_deliver(packet.data(), n);
        if (!held.empty()) {
            fuzz::net_deliver(held.data(), int(held.size()) - 1);
            held.clear();
        }
    });
    net_client_restore();
    return 0;
}
