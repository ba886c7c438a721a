// Gate times and laps. A timed track lists its timing positions: the F positions of
// the first lap, then the L positions of a normal lap, repeated for every further lap.
// Each rider keeps the tick at which it reached every position; laps, lap times, the
// running order and the finish are all worked out from those ticks.
//
// Lap k (k >= 1) ends at position (k - 1) L + F - 1; lap 1 begins at the gate drop.
// Position p is a lap line when p - F + 1 >= 0 and (p - F + 1) mod L = 0. A track
// whose normal lap has no positions (L <= 0, possible while the editor changes the
// lists) has no lap lines and completes no laps.
#pragma once
#include "sim/rider_slot.h"

#include <cstdint>

// Positions past this are ignored from outside data (demos, the network): no lap
// count or track needs them, and each one costs 4 bytes per rider.
inline constexpr int32_t kGateTimeMaxPositions = 65536;

// What the timing reads of the race, installed by the race core at start-up. Unset
// entries read as the simulation's current_tick, gate drop 0, no lap count and no
// leader.
struct gate_timing_race {
    int32_t (*current_tick)();
    int32_t (*gate_drop_tick)();
    int32_t (*laps)();            // 0 = a race without a lap count
    int32_t (*leader_slot)();     // rank 1 of the running order, -1 = none
    void (*results_refresh)();    // after every counted crossing
};
extern gate_timing_race gate_timing_hooks;

// The racing-line learning half of the gate tick, installed by the line recording.
// Unset entries do nothing.
struct gate_learning_calls {
    // Every run of the gate tick, before the crossing test.
    void (*tick)(rider_slot* rider);
    // The rider-down flag just moved from 1 to 2 (the rider stopped after a fall).
    void (*rider_down)(rider_slot* rider);
    // A position is about to be counted while the rider is down: the recording of
    // the segment it was riding is cancelled.
    void (*cancel)(rider_slot* rider);
    // Position t was just counted: the timing position is t and gate time t is the
    // current tick; expected is the timing position before the crossing (t ==
    // expected for the next gate in order, anything else is a skip or a step back).
    void (*crossed)(rider_slot* rider, int32_t t, int32_t expected);
};
extern gate_learning_calls gate_learning_hooks;

// Entry p, or -1 when p < 0 or p is beyond the array.
int32_t rider_get_gate_time(const rider_slot* rider, int32_t position);
int32_t rider_get_timing_position(const rider_slot* rider);
// Grows the array to p + 1 entries (new ones -1) and stores the tick. A negative p,
// or one at or past kGateTimeMaxPositions, is ignored; when growing fails nothing is
// stored unless p was already inside.
void rider_set_gate_time(rider_slot* rider, int32_t position, int32_t tick);
// Back to position p: finished cleared when p is below the timing position, the array
// cut to at most p entries, the timing position p, the rider-down flag cleared.
void rider_truncate_timing(rider_slot* rider, int32_t position);
int32_t rider_laps_completed(const rider_slot* rider);
// Seconds of lap k (k < 0: the last completed lap); 0 when the lap is not completed
// or a tick is missing.
double rider_lap_time(const rider_slot* rider, int32_t lap);
// 1 once finished; a rider also finishes at its first lap line at or after the
// leader's finish.
int rider_has_finished(rider_slot* rider);

// Once per tick per rider, after the bike step: counts the timing position its front
// wheel crossed this tick, if any, and the learning half.
void rider_gate_tick(rider_slot* rider);
// The same with the front wheel at the given point (the crossing test alone reads it).
void rider_gate_tick_at(rider_slot* rider, const float front_wheel[3]);
