// The per-slot history of packed rider states that places the riders not simulated
// here (remote riders, demo riders, the time-trial ghost), and the staging area of
// the demo recorder. Each slot keeps a ring of 128 (tick, state) entries in tick
// order: going back from the newest entry the ticks fall strictly until the first
// empty entry (tick -1) or until all 128 have been passed.
#pragma once
#include "sim/packed_state.h"

#include <cstdint>

inline constexpr int kHistorySlots = 160;
inline constexpr int kHistoryLength = 128;

extern int32_t history_ticks[kHistorySlots][kHistoryLength];   // -1 = empty
extern uint8_t history_states[kHistorySlots][kHistoryLength][kPackedStateSize];
extern int32_t history_newest[kHistorySlots];    // the entry holding the newest state
// States added since the demo recorder last wrote the slot (at most 128); the
// recorder reads the newest `pending` entries, oldest first, then zeroes it.
extern int32_t history_pending[kHistorySlots];

// Every slot emptied: ticks -1, states zero, newest 0, pending 0.
void history_clear_all();

// Stores one state in tick order. A slot out of range is reported on the message
// line; a tick already held, a negative tick, and a tick older than every state of a
// full ring store nothing.
void add_state_to_history(int32_t slot, const packed_rider_state* state, int32_t tick);

// The two entries around tick (a negative tick reads as 0): 1 with their indices,
// 0 when the slot holds no state. With one state both name it.
int history_find_pair(int32_t slot, int32_t tick, int32_t* older, int32_t* newer);

// Blends of encoded state values, worked in double. Values are clamped to 0..1
// before encoding as floor(value x scale + 0.5); f is taken as given (above 1
// extrapolates).
// A byte as value / 255.
void blend_byte(const uint8_t* a, const uint8_t* b, double f, uint8_t* out);
// A byte holding a fraction of a full turn: forward steps of up to 0.875 turn and
// backward steps of up to 0.125 turn blend across the wrap.
void blend_wrap_byte(const uint8_t* a, const uint8_t* b, double f, uint8_t* out);
// Three little-endian bytes as value / 16777215.
void blend_u24(const uint8_t* a, const uint8_t* b, double f, uint8_t* out);
