// Racing lines of the automatic riders: per timing segment a table of up to 45 lines
// that human riders rode, with how automatic riders fared on each.
//
// A lap is cut into segments at the switch points of the timing gates' lap lists
// (the unflagged entries): S1 segments on the first lap, Sn on every further lap.
// There are S1 + Sn tables; segment k uses table k when k < S1, else
// S1 + (k - S1) mod Sn.
#pragma once
#include "sim/ai_line_point.h"

#include <cstdint>

inline constexpr int ai_lines_per_table = 45;
inline constexpr int32_t ai_line_no_time = 1000000;   // "none" for the stored times
inline constexpr int ai_lap_plan_modes = 3;           // line-cost modes 0, 1 and 2

struct ai_line {
    ai_line_point* points;        // owned; null when the slot is free
    int32_t point_count;          // 0 = free slot
    int32_t segment_time;         // ticks from the segment's start to its end
    int32_t extended_time;        // ticks from the segment's start to the next one's end
    int32_t tested;               // completed runs by automatic riders
    int32_t best_segment_time;
    int32_t best_extended_time;
    int32_t segment_time_sum;     // over the tested runs
    int32_t extended_time_sum;
    int32_t failures;
    int32_t last_picked;          // tick of the last pick by an automatic rider
    int32_t line_id;              // serial given when stored or read; 0 = none
};

struct ai_line_table {
    ai_line lines[ai_lines_per_table];
};

// The loaded track's tables and the three lap plans (one planned line id per table
// and mode, 0 = none). Both blocks are null and the counts 0 when the track has no
// tables.
struct ai_line_set {
    ai_line_table* tables;
    int32_t* lap_plans;           // lap_plans[mode * table_count + table]
    int32_t first_lap_segments;   // S1
    int32_t normal_lap_segments;  // Sn
    int32_t table_count;          // S1 + Sn
};
extern ai_line_set ai_lines;

// The global line serial: incremented before use, so the first id is 1.
extern int32_t ai_line_serial;
int32_t ai_line_next_id();

// (Re)makes the tables for a track whose lap lists have these counts of switch
// points, every slot free and every plan empty; the previous tables are freed first.
// Tables exist only when both counts are above 2 (the caller also requires more than
// 2 positions in each list, which follows). Returns 1 when the tables exist.
int ai_lines_resize(int first_lap_switch_points, int normal_lap_switch_points);
// Frees every line and both blocks: the track has no tables afterwards.
void ai_lines_free();
// Empties every line of every table (points freed, free-slot values); tables stay.
void ai_lines_clear();

inline bool ai_lines_exist() { return ai_lines.tables != nullptr && ai_lines.table_count > 0; }
// The table of segment k (see above); -1 without tables or for k < 0.
int ai_table_of_segment(int segment);
ai_line_table* ai_table(int table_index);
int32_t* ai_lap_plan(int mode);   // table_count entries, null without tables

// Frees the points and gives the slot the free values; last picked is kept.
void ai_line_make_free(ai_line* line);
inline bool ai_line_used(const ai_line& line) { return line.point_count > 0 && line.points; }
int ai_table_used_count(const ai_line_table& table);
