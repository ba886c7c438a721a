// The game tick: one 1/128 s step of the race. Replayed and remote riders are placed
// from their state histories, contacts are gathered, the world is stepped, every
// rider is driven and timed, the start gate falls, the clock advances and the demo
// is fed.
#pragma once
#include "sim/packed_state.h"

#include <cstdint>

// Advances the race by one tick.
void game_tick();

// What parts built above the race core do each tick; each does nothing until its
// owner installs it.
struct game_tick_hooks_table {
    void (*script_tick)();      // the track script's tick handler
    void (*particles_move)();   // the roost particles
};
extern game_tick_hooks_table game_tick_hooks;

// ---- Placement of state-driven riders ------------------------------------------

// The state for display tick d between a (tick ta) and b (tick tb), ta < tb: the
// position is extrapolated at most 64 ticks past b; every other field is blended with
// the fraction capped at 1. A fraction of exactly 0, or a version-4 demo, copies a.
void state_blend(const uint8_t* a, const uint8_t* b, int32_t ta, int32_t tb, int32_t d, int version,
                 uint8_t* out);

// What the placement hands to the bike: target, from, to and the ticks between them.
struct state_placement {
    uint8_t target[kPackedStateSize];
    uint8_t from[kPackedStateSize];
    uint8_t to[kPackedStateSize];
    int32_t ticks;
};
// The placement of slot's rider for display tick d from its history; 0 when the
// history is empty (the rider is left alone).
int state_placement_for(int32_t slot, int32_t d, int version, state_placement* out);

// ---- Contacts ------------------------------------------------------------------

// Orders list[0..n) by speed, fastest first: a heap sort over a min-heap, whose
// order among equal speeds the physics depends on (a stable sort would change the
// bike pairs' order).
void sort_by_speed(int32_t* list, const float* speed_of_slot, int n);

// ---- Start gate, false start, time trial, suspension graph ------------------------

// The falling start gate for the current tick (before it advances).
void start_gate_fall();

// The online start rule for the own rider: held after a false start.
void false_start_rule(int32_t slot);
extern int32_t false_start_hold;

struct time_trial_state {
    int32_t best_lap;       // ticks, 0 = none
    int32_t last_lap;       // ticks, 0 = none
    int32_t laps_before[2]; // laps of the player (slot 0) and the ghost (slot 1) before the tick
};
extern time_trial_state time_trial;
// Remembers the laps of slots 0 and 1 before the tick; then the lap handling after it.
void time_trial_remember_laps();
void time_trial_laps();
// Copies the track's "lastlap.bvdemo" over "fastlap.bvdemo" through a temporary file,
// so that a failed copy keeps the old ghost. 1 when copied.
int time_trial_copy_ghost();

inline constexpr int kGraphLength = 1024;
struct suspension_graph_state {
    int32_t on;             // "togglegraph"
    int32_t index;          // 0..1023; 1024 restarts the rings
    float fork_position[kGraphLength], fork_speed[kGraphLength], fork_ratio[kGraphLength];
    float shock_position[kGraphLength], shock_speed[kGraphLength], shock_ratio[kGraphLength];
};
extern suspension_graph_state suspension_graph;
void suspension_graph_record();
