// Puts X server event times (32-bit milliseconds on the server's clock, wrapping every
// 49.7 days) onto qorl_time's clock. The offset between the clocks is the smallest
// "now - server time" seen so far, so a stamp is never later than the moment its event
// was read: a future stamp would hold back every event behind it in the ring.
#pragma once
#include <cstdint>

class x11_stamps {
public:
    // Milliseconds on qorl_time's clock for an event of the given server time read at now_ms.
    int64_t stamp(uint32_t server_ms, int64_t now_ms);

private:
    bool started_ = false;
    uint32_t last_ = 0;
    int64_t extended_ = 0;  // server time without its 32-bit wrap
    int64_t offset_ = 0;
};
