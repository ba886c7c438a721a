// What the automatic riders read of the race beyond the rider slots, installed by
// the race core at start-up. Unset entries read as no terrain and an empty running
// order.
#pragma once

struct terrain_state;

struct autopilot_race_view {
    const terrain_state* terrain;          // the loaded ground; null: no terrain limits
    int (*ranked_count)();                 // riders in the running order
    int (*ranked_slot)(int rank);          // slot number at rank 1.. (1 = the leader)
};
extern autopilot_race_view autopilot_race;

// The race clock as the gate timing has it: tick, gate-drop tick, laps.
int autopilot_now();
int autopilot_gate_drop_tick();
int autopilot_race_laps();
double autopilot_race_time();   // seconds since tick 0
