// The packed rider state: one rider at one tick in 39 bytes, as demos store it and
// the network carries it, and the ways a remote or replayed rider is placed from it.
// The byte layout is laid out in packed_state_codec.cpp. Positions are coded against
// the loaded ground: x and z over 0..W, y over H0..H0 + W (W the terrain's world
// size, H0 its minimum height).
#pragma once
#include "sim/rider_slot.h"
#include "terrain/terrain_state.h"

#include <cstdint>

inline constexpr int kPackedStateSize = 39;
inline constexpr int kLegacyStateSize = 26;   // demo version 4

struct packed_rider_state {
    uint8_t bytes[kPackedStateSize];
};

// The fixed state size of demo versions 4 (26) and 5 (39); 0 for any other version.
int demo_state_size(int version);

// Codes the rider's current state. NaN quantities code as their lower bound.
void bike_pack_state(const rider_slot* rider, const terrain_state* terrain, packed_rider_state* out);

// Sets all seven bodies' poses, the gear, throttle, crash state and engine speed from
// one state (26 bytes for demo version 4, else 39). Velocities are left alone.
void bike_unpack_state(rider_slot* rider, const terrain_state* terrain, const uint8_t* state, int version);

// Places a remote or replayed rider: target is the state for this tick, from and to
// the history states around it, ticks the ticks between them (with one state the race
// core passes it three times with ticks 1). An awake bike is steered instead.
void bike_apply_snapshot(rider_slot* rider, const terrain_state* terrain, const uint8_t* target,
                         const uint8_t* from, const uint8_t* to, int32_t ticks, int version);

// Pulls an awake bike towards a 39-byte state with forces, and sets its controls.
void bike_steer_to_state(rider_slot* rider, const terrain_state* terrain, const uint8_t* target,
                         const uint8_t* from, const uint8_t* to, int32_t ticks);
