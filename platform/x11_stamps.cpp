#include "platform/x11_stamps.h"

#include <algorithm>

int64_t x11_stamps::stamp(uint32_t server_ms, int64_t now_ms)
{
    if (!started_) {
        started_ = true;
        extended_ = server_ms;
        offset_ = now_ms - extended_;
    } else {
        // A signed step copes with the wrap and with events that arrive slightly out of order.
        extended_ += static_cast<int32_t>(server_ms - last_);
    }
    last_ = server_ms;
    offset_ = std::min(offset_, now_ms - extended_);
    return extended_ + offset_;
}
