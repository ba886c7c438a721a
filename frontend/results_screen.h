// The results table over the race view once the leader has finished, its penalty
// lines, and the statistics overlay in the top-left corner.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

void results_draw(int32_t slot);

// The overlay's switches (the console's toggles).
struct results_overlay_switches {
    int draw_fps = 0;
    int draw_time = 0;
    int draw_ping = 0;
    int draw_speed = 0;
};
extern results_overlay_switches results_overlay;

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
