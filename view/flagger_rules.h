// What the flaggers show: the start flagger's walk and board, the lap board, and the
// gate flags raised where riders are down. Race state in, textures and positions
// out; the world renderer writes the answers into the billboards.
#pragma once
#include <cstdint>

// The start flagger at tick `tick` (ticks of 1/128 s) with the track's start
// reference (ticks): the texture index 0..4 and the walk fraction 0..1 from "from"
// to "to". A walk of no duration is a step at the end of the drop.
struct start_flagger_pose {
    int texture;
    float walk;
};
start_flagger_pose start_flagger_at(int32_t tick, int32_t start_reference, float walk_duration);

// The race as the lap board reads it.
struct lap_board_race {
    int32_t leader_position;      // timing positions the leader has passed (-1 = none)
    int32_t first_lap;            // F
    int32_t normal_lap;           // N
    int32_t total_laps;
    int32_t lap_estimate;
    int32_t extra_laps;           // laps after the time limit
    int32_t tick;
    int32_t gate_drop_tick;
    int32_t time_limit_ticks;     // 0 = none
};
// 0 plain, 1 crossed flags (halfway), 2 white flag (last lap), 3 chequered.
int lap_board_texture(const lap_board_race& r);

// The position within the lap of a rider that has passed g positions; 0 when g < 0
// or the track has no further laps.
int32_t lap_position(int32_t g, int32_t first_lap, int32_t normal_lap);

// The gate a lap-list entry names (flagged entries lose their mark); -1 when it is
// not one of the gate_count gates.
int32_t lap_entry_gate(int32_t entry, int32_t gate_count);
