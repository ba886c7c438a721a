// The network client with no socket: datagrams are handed to its dispatch as the
// receive step hands them (from the server's address), its clocks move one tick per
// datagram, and the track reset of a race start is a stand-in that makes the lineup's
// riders and leaves a fixed track hash. Its answers go nowhere.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>

namespace fuzz {

// Puts the client back as at program start, with the stand-ins; the state given
// (0 hello, 3, 5, 7, 9, 11 racing, 14, 15) as if the server had led it there.
void net_client_at(int state);
// One datagram through the dispatch, then one tick.
void net_deliver(uint8_t* datagram, int length);
// The input as datagrams: each a 2-byte little-endian length (cut to what is left and
// to 1100 bytes) and its bytes; at most 256.
void for_each_datagram(const uint8_t* data, size_t size, const std::function<void(uint8_t*, int)>& take);

}  // namespace fuzz
