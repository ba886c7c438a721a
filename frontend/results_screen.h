// The results table over the race view once the leader has finished, its penalty
// lines, and the statistics overlay in the top-left corner.
#pragma once
#include "race/program/settings_values.h"

#include <cstdint>
#include <string>
#include <vector>

void results_draw(int32_t slot);

// The overlay's switches are the settings' own: plain_values.draw_fps, draw_time,
// draw_ping and draw_speed (race/settings_values.h).

// The console's "renderstats" switch and the running maxima of the seven render
// counters the overlay shows (ground and model polygons, billboards, decals, texture
// and shader changes, buffered erosion).
inline constexpr int kRenderCounters = 7;
struct render_stats_record {
    int32_t on;
    int32_t max[kRenderCounters];
};
extern render_stats_record render_stats;
// "renderstats": on, with the maxima cleared.
void render_stats_restart();

// One row of the table as drawn.
struct results_row_text {
    int32_t slot;
    std::string place, number, lap, gap, best, best_lap;
};
struct results_table_text {
    std::string title;                 // "" when no table is shown
    std::vector<results_row_text> rows;
    std::string total;                 // "Total Race Time: ..." when final
    std::vector<std::string> penalties;
};
results_table_text results_table_texts();
// The overlay's lines, oldest message last; resets the recorded frame extremes.
std::vector<std::string> results_overlay_lines(int32_t slot);
