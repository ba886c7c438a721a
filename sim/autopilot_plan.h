// Planning of the automatic riders: personalities, what a line costs, which lines
// join, the look-ahead over the next segments and the whole-lap plans.
#pragma once
#include "sim/ai_lines.h"

#include <cstdint>

struct autopilot_personality {
    const char* name;
    int32_t line_cost_mode;
    int32_t lead_mode;
    float lead_threshold;    // seconds of lead before the lead mode applies
    float launch_early;      // launch window after the gate drop, seconds
    float launch_late;
    float unused;
};
inline constexpr int autopilot_personality_count = 5;
extern const autopilot_personality autopilot_personalities[autopilot_personality_count];

// Id of a personality name: "ostro" 1, "vardle" 2, "sollo" 3, "tester" 4; any other
// name logs and gives 1.
int autopilot_personality_id(const char* name);

inline constexpr int64_t autopilot_no_route = 100000000;

// Cost of riding a line, in ticks, by mode: 0 careful, 1 bolder, 2 aggressive
// (tested at least once), 3 exploring (little-tried lines are cheap).
int64_t autopilot_line_cost(const ai_line& line, int mode);

// The horizontal circle through three points: its centre (x, z). Nearly collinear
// points put the centre 1000000 out along the last pair's bisector.
void ai_circle_xz(const ai_line_point& a, const ai_line_point& b, const ai_line_point& c, double* cx, double* cz);

// May line `from` (of one segment) be followed by line `to` (of the next)?
bool autopilot_transition_allowed(const ai_line& from, const ai_line& to);

// Relative merit (0..1, 1 the best) of every slot of segment s's table for the
// eight segments from s.
void autopilot_line_weights(int segment, float weights[ai_lines_per_table], int mode);

// One mode's lap plan (ai_lines.table_count line ids, 0 = none) and the predicted
// first-lap and normal-lap costs in ticks.
void autopilot_plan_lap(int32_t* plan, int mode, int64_t* first_lap_cost = nullptr, int64_t* normal_lap_cost = nullptr);
// Makes the three lap plans of the loaded track; nothing without tables.
void autopilot_plan_laps();
