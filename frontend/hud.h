// The HUD over the race view of the followed rider: suspension graph, tachometer and
// needle, gear, pitboard, the watched rider's name, the lean arc, the track map and
// the race-length banner; and the running-order ticker of the trackside view.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct order_row;

void hud_draw(int32_t slot);
void hud_draw_race_panel(int32_t slot);
void hud_draw_graph_frame();
void hud_draw_arc(float a0, float a1, const float inner[4], const float outer[4]);
// The running-order ticker of the trackside view.
void hud_draw_running_order();
// Set by the ticker when it is drawn; the results overlay, drawn after it in the same
// frame, moves below it and clears it.
extern bool hud_ticker_drawn;
// How far the ticker reaches down from the window's top, in window heights.
inline constexpr float hud_ticker_depth = 2.25f / 40;
// The rows the ticker shows: the final order once final, else the running order,
// without the local riders' rows while only watching online.
std::vector<order_row> hud_ticker_rows();

// The texts the pitboard and the banner show (the drawing and the tests share them).
struct hud_panel_text {
    std::string position;   // "L%d P%d" or "P%d"
    std::string gap;        // "%+.1f "
    std::string last;       // "" when not shown
    std::string best;
    std::string about_to_lap;
};
hud_panel_text hud_panel_texts(int32_t slot, int time_trial, double trial_last, double trial_best);
// "%d laps", "%d minutes" or "%d minutes + %d laps".
std::string hud_race_length_text(int32_t laps, int32_t limit_ticks);
// "%d:%02d.%d" of a time in seconds.
std::string hud_lap_clock(double seconds);
