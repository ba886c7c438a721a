// The race's outcome: the running order after every counted crossing, the race
// length of a timed race, the moment the results become final, the penalty for
// cutting the course, and "@results.txt".
//
// Timing positions: F in the first lap, N in each further lap. Lap k ends at
// position (k - 1) N + F - 1; position p >= F lies in lap (p - F) / N + 2.
#pragma once
#include <cstdint>
#include <ctime>

inline constexpr int32_t kOrderRows = 160;
inline constexpr int32_t kLapsNotEstimated = 1000000;

// One rider's place: its slot, the timing positions it has passed, and the tick at
// the last of them (0 when none).
struct order_row {
    int32_t slot;
    int32_t positions;
    int32_t tick;
};

// Rank 1 is rows[0].
struct order_table {
    int32_t count;
    order_row rows[kOrderRows];
};

extern order_table running_order;
extern order_table final_order;

// How the results read the riders. Production reads the rider slots; tests give a
// table of their own.
struct results_rider_view {
    int (*occupied)(int32_t slot);
    int32_t (*kind)(int32_t slot);                       // rider_kind
    int32_t (*timing_position)(int32_t slot);
    int32_t (*gate_time)(int32_t slot, int32_t position);   // -1 = not reached
    int32_t (*laps_completed)(int32_t slot);
    double (*lap_time)(int32_t slot, int32_t lap);         // seconds, 0 = none
    int (*has_finished)(int32_t slot);
    const char* (*number)(int32_t slot);
    const char* (*bike_name)(int32_t slot);
    // What the HUD reads as well.
    float (*engine_rpm)(int32_t slot);
    int32_t (*gear)(int32_t slot);
    void (*frame_position)(int32_t slot, float out[3]);
    void (*frame_velocity)(int32_t slot, float out[3]);
    // Rows of the frame body's rotation: out[3 * i + j] (body axis j in world i).
    void (*frame_rotation)(int32_t slot, float out[9]);
    int (*hidden)(int32_t slot);                           // not shown this frame
};
extern results_rider_view results_riders;
// The rider slots themselves.
extern const results_rider_view results_riders_from_slots;

// The calendar time written into "@results.txt".
extern time_t (*results_calendar_time)();

// Orders the riders, settles the race length, and once every unfinished rider has
// stopped racing makes the results final: the final order with its penalties,
// "@results.txt" (when the winner has finished) and the points-series event.
void race_results_compute();
// The same unless the results are already final.
void race_results_refresh();
int race_results_final();

// Ticks of penalty for the stretches of course the rider in slot skipped.
int32_t rider_cutting_penalty(int32_t slot);
// 1 when the rider has passed no position, or has spent much longer since one of its
// last positions than the riders ahead needed for the same stretch.
int rider_off_course(int32_t slot);
// Ticks between two rows of the running order (second minus first), 0 when unknown.
int32_t rider_gap(int32_t first_row, int32_t second_row);

// Positions of the first lap and of each further lap, from the loaded timing gates.
int32_t results_first_lap_positions();
int32_t results_lap_positions();
// The lap a position belongs to (1 = the first lap); 1 for every position when the
// track has no further laps.
int32_t results_lap_of(int32_t position);
// The fastest of laps 2..c of the rider, 0 when fewer than 2 laps are complete.
int32_t results_best_lap(int32_t slot);
// Writes "@results.txt" from the final order; 0 when it could not be written.
int results_file_write();
// Float to int with NaN going to 0 and the range clamped first.
int32_t clamp_to_int(double value);
