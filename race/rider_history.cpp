#include "race/rider_history.h"

#include "foundation/front_door.h"

#include <cmath>
#include <cstring>

int32_t history_ticks[kHistorySlots][kHistoryLength];
uint8_t history_states[kHistorySlots][kHistoryLength][kPackedStateSize];
int32_t history_newest[kHistorySlots];
int32_t history_pending[kHistorySlots];

namespace {

constexpr int32_t previous(int32_t k) { return (k + kHistoryLength - 1) % kHistoryLength; }
constexpr int32_t next(int32_t k) { return (k + 1) % kHistoryLength; }

// Cleared before any code runs, so a lookup before the first clear finds nothing.
const bool cleared_at_start = (history_clear_all(), true);

double clamp01(double v)
{
    if (!(v > 0))  // NaN too
        return 0;
    return v < 1 ? v : 1;
}

uint32_t encode(double v, double scale)
{
    return uint32_t(std::floor(clamp01(v) * scale + 0.5));
}

}  // namespace

void history_clear_all()
{
    for (int32_t s = 0; s < kHistorySlots; ++s)
        for (int32_t k = 0; k < kHistoryLength; ++k)
            history_ticks[s][k] = -1;
    memset(history_states, 0, sizeof history_states);
    memset(history_newest, 0, sizeof history_newest);
    memset(history_pending, 0, sizeof history_pending);
}

void add_state_to_history(int32_t slot, const packed_rider_state* state, int32_t tick)
{
    if (slot < 0 || slot >= kHistorySlots) {
        console_print("add_state_to_history: slot out of range");
        return;
    }
    // A negative tick would read as an empty entry and break the order.
    if (tick < 0)
        return;
    int32_t* ticks = history_ticks[slot];
    auto* states = history_states[slot];
    const int32_t newest = history_newest[slot];
    int32_t at = newest;
    int32_t passed = 0;
    while (passed < kHistoryLength && ticks[at] > tick) {
        at = previous(at);
        ++passed;
    }
    // Older than every state of a full ring: there is no place for it.
    if (passed == kHistoryLength || ticks[at] == tick)
        return;
    // The newer entries move up one place; the oldest falls off a full ring.
    for (int32_t k = newest, moved = 0; moved < passed; k = previous(k), ++moved) {
        ticks[next(k)] = ticks[k];
        memcpy(states[next(k)], states[k], kPackedStateSize);
    }
    const int32_t free_entry = next(at);
    ticks[free_entry] = tick;
    memcpy(states[free_entry], state->bytes, kPackedStateSize);
    history_newest[slot] = next(newest);
    if (history_pending[slot] < kHistoryLength)
        ++history_pending[slot];
}

int history_find_pair(int32_t slot, int32_t tick, int32_t* older, int32_t* newer)
{
    if (slot < 0 || slot >= kHistorySlots)
        return 0;
    if (tick < 0)
        tick = 0;
    const int32_t* ticks = history_ticks[slot];
    const int32_t newest = history_newest[slot];
    if (ticks[newest] < 0)
        return 0;
    int32_t at = newest;
    int32_t passed = 0;
    while (passed < kHistoryLength && ticks[at] >= tick) {
        at = previous(at);
        ++passed;
    }
    if (passed == 0) {
        *newer = newest;
        *older = ticks[previous(newest)] >= 0 ? previous(newest) : newest;
    } else if (passed < kHistoryLength && ticks[at] >= 0) {
        *older = at;
        *newer = next(at);
    } else {
        // Every held tick is at least T: the oldest held state and the one after it.
        const int32_t oldest = next(at);
        *older = oldest;
        *newer = oldest == newest ? oldest : next(oldest);
    }
    return 1;
}

void blend_byte(const uint8_t* a, const uint8_t* b, double f, uint8_t* out)
{
    const double va = *a / 255.0, vb = *b / 255.0;
    *out = uint8_t(encode(va + f * (vb - va), 255.0));
}

void blend_wrap_byte(const uint8_t* a, const uint8_t* b, double f, uint8_t* out)
{
    double va = *a / 255.0, vb = *b / 255.0;
    if (va - 0.125 > vb)
        va -= 1;
    else if (vb > va + 0.875)
        vb -= 1;
    double v = va + f * (vb - va);
    if (v < 0)
        v += 1;
    *out = uint8_t(encode(v, 255.0));
}

void blend_u24(const uint8_t* a, const uint8_t* b, double f, uint8_t* out)
{
    constexpr double scale = 16777215.0;
    const double va = (a[0] | a[1] << 8 | a[2] << 16) / scale;
    const double vb = (b[0] | b[1] << 8 | b[2] << 16) / scale;
    const uint32_t v = encode(va + f * (vb - va), scale);
    out[0] = uint8_t(v);
    out[1] = uint8_t(v >> 8);
    out[2] = uint8_t(v >> 16);
}
