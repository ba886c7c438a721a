// Every packet a game server sends, as the client receives them: the first byte picks
// the state the client is in (hello, client info, track, riders, loaded, racing, new
// race, leaving), then datagrams (see for_each_datagram) go through its dispatch,
// reliable records included.
#include "support/fuzz_net.h"

#include "race/net/net_client.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const int states[8] = {0, 3, 5, 7, 9, 11, 14, 15};
    if (size < 1)
        return 0;
    fuzz::net_client_at(states[data[0] & 7]);
    fuzz::for_each_datagram(data + 1, size - 1, [](uint8_t* d, int n) { fuzz::net_deliver(d, n); });
    net_client_restore();
    return 0;
}
