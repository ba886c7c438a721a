// What the automatic riders read of the race beyond the rider slots and the loaded
// ground: the running order, installed by the race core at start-up. Unset entries
// read as an empty running order.
#pragma once

struct autopilot_race_view {
    int (*ranked_count)();                 // riders in the running order
    int (*ranked_slot)(int rank);          // slot number at rank 1.. (1 = the leader)
};
extern autopilot_race_view autopilot_race;

// The race clock: the game tick (current_tick), and the gate-drop tick and laps as
// the gate timing has them.
int autopilot_now();
int autopilot_gate_drop_tick();
int autopilot_race_laps();
double autopilot_race_time();   // seconds since tick 0
