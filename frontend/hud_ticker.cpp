// The running-order ticker across the top of the trackside view, one rider cell every
// 2 s, and the lap box at the right end.
#include "frontend/hud.h"

#include "frontend/ui_widgets.h"
#include "gfx/fonts.h"
#include "gfx/gl_layer.h"
#include "race/net/net_connection.h"
#include "race/program/projection.h"
#include "race/race_results.h"
#include "race/race_state.h"
#include "race/program/run_clock.h"
#include "race/program/startup.h"

#include <cmath>
#include <cstdio>

namespace {

constexpr float kCell = 21.5f;

// Ticks from the leader's row to this one, 0 when not shown.
int32_t gap_to_leader(const order_row& leader, const order_row& row)
{
    int32_t a, b;
    if (row.positions == leader.positions) {
        a = leader.tick;
        b = row.tick;
    } else {
        const int32_t both = std::min(row.positions, leader.positions) - 1;
        if (both < 0)
            return 0;
        a = results_riders.gate_time(leader.slot, both);
        b = results_riders.gate_time(row.slot, both);
    }
    return a > 0 && b > 0 && b > a ? b - a : 0;
}

void rider_cell(const std::vector<order_row>& rows, size_t i)
{
    const order_row& row = rows[i];
    char text[32];
    ui_fill_rect(0, 0, 0, 1, 0, 2, kCell, -1);
    std::snprintf(text, sizeof text, "%d", int(i + 1));
    text_draw_centered(1, 1, 1, 1, 0, 3, text);
    bvglTranslatef(3, 0, 0);
    ui_fill_rect(1, 1, 1, 1, 0, 1, 3, 0);
    std::snprintf(text, sizeof text, "%3s", results_riders.number(row.slot));
    text_draw_centered(0, 0, 0, 1, 0, 3, text);
    bvglTranslatef(3, 0, 0);
    ui_fill_rect(0, 0, 0, 1, 0, 1, 0.5f, 0);
    bvglTranslatef(0.5f, 0, 0);
    ui_fill_rect(1, 1, 1, 1, 0, 1, 15, 0);
    const char* name = row.slot >= 0 && row.slot < kRaceSlots ? race.names[row.slot] : nullptr;
    if (name)
        text_draw(0, 0, 0, 1, name);
    bvglTranslatef(0, -1, 0);
    if (i > 0 && rows.size() >= 2) {
        const int32_t gap = gap_to_leader(rows[0], row);
        if (gap > 0) {
            std::snprintf(text, sizeof text, "%7.3f", gap * tick_length);
            text_draw(1, 1, 1, 1, text);
        }
    }
    bvglTranslatef(15, 1, 0);
}

void lap_box()
{
    const float w = projection_half_width, h = projection_half_height;
    ui_begin_2d(40);
    bvglTranslatef(40 * w / h - 5, -1.25f, 0);
    const order_table& order = race_results_final() ? final_order : running_order;
    const int32_t f = results_first_lap_positions(), n = results_lap_positions();
    const int32_t positions = order.count > 0 ? order.rows[0].positions : 0;
    const int32_t k = n == 0 || positions < f ? 0 : (positions - f) / n + 1;
    if (k < race.lap_counts[1]) {
        if (k + 1 == race.lap_counts[1])
            ui_fill_rect(1, 1, 1, 1, 0, 1, 5, 0);
        else
            ui_fill_rect(0, 1, 0, 1, 0, 1, 5, 0);
        char text[32];
        std::snprintf(text, sizeof text, "Lap %d", int(k + 1));
        text_draw_centered(0, 0, 0, 1, 0, 5, text);
    } else {
        ui_fill_rect(1, 1, 1, 1, 0, 1, 5, 0);
        ui_fill_rect(0, 0, 0, 1, 0, 1, 1.25f, 0.5f);
        ui_fill_rect(0, 0, 0, 1, 1.25f, 0.5f, 2.5f, 0);
        ui_fill_rect(0, 0, 0, 1, 2.5f, 1, 3.75f, 0.5f);
        ui_fill_rect(0, 0, 0, 1, 3.75f, 0.5f, 5, 0);
    }
    ui_end();
}

}  // namespace

std::vector<order_row> hud_ticker_rows()
{
    const order_table& order = race_results_final() ? final_order : running_order;
    const bool watching = net_socket >= 0 && net_own_slot == kRaceSlots;
    std::vector<order_row> rows;
    for (int32_t i = 0; i < order.count; ++i)
        if (!(watching && results_riders.kind(order.rows[i].slot) == rider_kind_local))
            rows.push_back(order.rows[i]);
    return rows;
}

bool hud_ticker_drawn = false;

void hud_draw_running_order()
{
    hud_ticker_drawn = true;
    const float w = projection_half_width, h = projection_half_height;
    const double t = run_clock;
    const double step = std::floor(t / 2);
    ui_begin_2d(40);
    const float shift = float((step - t / 2) * kCell);
    bvglTranslatef(shift, -0.25f, 0);
    const std::vector<order_row> rows = hud_ticker_rows();
    const size_t cells = rows.size() + 1;
    size_t entry = size_t(std::fmod(step, double(cells)));
    for (float x = shift; x < 40 * w / h; x += kCell) {
        if (entry < rows.size()) {
            rider_cell(rows, entry);
        } else {
            ui_fill_rect(0, 0, 0, 1, 0, 2, kCell, -1);
            bvglTranslatef(kCell, 0, 0);
        }
        entry = (entry + 1) % cells;
    }
    ui_end();
    lap_box();
}
