#include "frontend/results_screen.h"

#include "frontend/hud.h"
#include "frontend/message_line.h"
#include "frontend/ui_widgets.h"
#include "gfx/fonts.h"
#include "gfx/gl_layer.h"
#include "race/program/main_loop.h"
#include "race/net/net_client.h"
#include "race/net/net_connection.h"
#include "race/race_results.h"
#include "race/race_state.h"
#include "race/program/startup.h"
#include "gfx/gl_state.h"
#include "gfx/model.h"
#include "sim/race_clock.h"
#include "terrain/ruts.h"
#include "terrain/track_list.h"
#include "view/view_settings.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

render_stats_record render_stats = {};

void render_stats_restart()
{
    render_stats = {};
    render_stats.on = 1;
}

namespace {

std::string format(const char* f, auto... a)
{
    char buffer[1100];
    std::snprintf(buffer, sizeof buffer, f, a...);
    return buffer;
}

// Minutes, seconds and milliseconds.
std::string clock_ms(double seconds)
{
    const int32_t ms = int32_t(seconds * 1000);
    const int32_t minutes = ms / 60000;
    return format("%d:%02d.%03d", minutes, ms / 1000 - 60 * minutes, ms % 1000);
}

int32_t lap_count(int32_t positions)
{
    const int32_t f = results_first_lap_positions(), n = results_lap_positions();
    return n == 0 || positions < f ? 0 : (positions - f) / n + 1;
}

}  // namespace

results_table_text results_table_texts()
{
    results_table_text out;
    const int final = race_results_final();
    const order_table& rows = final ? final_order : running_order;
    if (rows.count < 1 || !results_riders.has_finished(rows.rows[0].slot))
        return out;
    out.title = final ? "Final Results" : "Unofficial Results";
    for (int32_t i = 0; i < rows.count; ++i) {
        const order_row& row = rows.rows[i];
        if (!final && !results_riders.has_finished(row.slot))
            continue;
        int32_t g = rows.count < 2 ? 0 : rider_gap(i, i == 0 ? 1 : i - 1);
        g = g > 0 ? 0 : -g;
        // Below two laps there is no best lap: its cells stay empty, as the HUD shows none.
        const int32_t b = results_best_lap(row.slot);
        out.rows.push_back({row.slot, format("%d", i + 1), format("%3s", results_riders.number(row.slot)),
                            format("L%d", lap_count(row.positions)), format("%7.3f", g * tick_length),
                            b ? clock_ms(results_riders.lap_time(row.slot, b)) : "", b ? format("(%d)", b) : ""});
    }
    if (!final)
        return out;
    out.total = "Total Race Time: " + clock_ms((rows.rows[0].tick - race.gate_drop_tick) * tick_length);
    const int32_t f = results_first_lap_positions(), n = results_lap_positions();
    for (int32_t i = 0; i < rows.count; ++i) {
        const order_row& row = rows.rows[i];
        const int32_t passed = results_riders.timing_position(row.slot);
        if (passed < 1)
            continue;
        const int32_t c = results_riders.gate_time(row.slot, passed - 1);
        if (!(c < row.tick))
            continue;
        const int32_t d = results_riders.laps_completed(row.slot) -
                          (n != 0 && row.positions >= f ? (row.positions - f) / n + 1 : 0);
        std::string line = format("%3s penalized ", results_riders.number(row.slot));
        if (d > 0)
            line += format("%d %s ", d, d == 1 ? "lap" : "laps");
        line += format("%.2f seconds for cutting track", (row.tick - c) * tick_length);
        out.penalties.push_back(line);
    }
    return out;
}

namespace {

// The counters' lines, each maximum first raised to the current value.
void render_stat_lines(std::vector<std::string>& out)
{
    const int32_t now[kRenderCounters] = {track_terrain.polygons_drawn, model_triangles_drawn,
                                          frame_stats.billboards_drawn, track_terrain.decals.count,
                                          frame_stats.texture_changes, gl_state.shader_switch_count,
                                          erosion_queue_count()};
    for (int i = 0; i < kRenderCounters; ++i)
        render_stats.max[i] = std::max(render_stats.max[i], now[i]);
    const char* const names[kRenderCounters - 1] = {"Ground polygons", "Model polygons", "Billboards", "Decals",
                                                    "Texture Changes", "Shader Changes"};
    for (int i = 0; i < kRenderCounters - 1; ++i)
        out.push_back(format("%s - %d max=%d", names[i], now[i], render_stats.max[i]));
    out.push_back(format("Erode buffered - %d", now[kRenderCounters - 1]));
}

}  // namespace

std::vector<std::string> results_overlay_lines(int32_t slot)
{
    std::vector<std::string> out;
    const plain_settings& show = plain_values;
    if (show.draw_fps)
        out.push_back(format("FPS - %d", loop.largest_step > 0 ? int32_t(1 / loop.largest_step) : 0));
    if (show.draw_time) {
        const double t = std::max<int64_t>(0, int64_t(current_tick) - race.gate_drop_tick) * tick_length;
        out.push_back("Time - " + hud_lap_clock(t) + " ");
    }
    if (show.draw_ping && net_socket >= 0 && net_own_slot >= 0 && net_own_slot < kRaceSlots) {
        // The estimate is unsigned: the offset is taken in signed 64 bits.
        const int64_t offset = int64_t(net_server_tick) - int64_t(current_tick);
        out.push_back(format("Ping - %dms (%dms offset)", int32_t(net_ping[net_own_slot] * 1000 * tick_length),
                             int32_t(double(offset) * 1000 * tick_length)));
    }
    if (show.draw_speed && slot >= 0 && slot < kRaceSlots && results_riders.occupied(slot)) {
        float v[3];
        results_riders.frame_velocity(slot, v);
        out.push_back(format("Speed - %.2f", std::sqrt(double(v[0]) * v[0] + double(v[1]) * v[1] + double(v[2]) * v[2]) *
                                                 0.6818182));
    }
    if (render_stats.on)
        render_stat_lines(out);
    if (setup.sticky_dab && loop.sticky_dab_on)
        out.push_back("Dabbing!");
    for (int k = message_log.shown; k >= 1; --k)
        out.push_back(message_log.lines[message_ring_index(message_log.write_index - k)]);
    loop.largest_step = 0;
    loop.smallest_step = 1.0;
    return out;
}

void results_draw(int32_t slot)
{
    constexpr float lines = 50;
    ui_begin_2d(lines);
    if (hud_ticker_drawn)
        bvglTranslatef(0, -std::ceil(hud_ticker_depth * lines), 0);
    hud_ticker_drawn = false;
    const results_table_text t = results_table_texts();
    if (!t.title.empty()) {
        bvglPushMatrix();
        bvglTranslatef(0.25f, -0.25f, 0);
        ui_fill_rect(0, 0, 0, 0.25f, 0, 1, 19, -0.5f);
        text_draw_centered(1, 1, 1, 1, 0, 19, t.title.c_str());
        bvglScalef(0.5f, 0.5f, 1);
        bvglTranslatef(0, -1, 0);
        const struct {
            const char* text;
            float x0, x1;
        } heads[] = {{"Pos.", 0, 4}, {"No.", 4, 8}, {"Lap", 8, 12.5f}, {"Gap", 12.5f, 23}, {"Best Time", 23, 33}, {"BLap", 33, 38}};
        for (const auto& h : heads)
            text_draw_centered(1, 1, 1, 1, h.x0, h.x1, h.text);
        bvglScalef(2, 2, 1);
        bvglTranslatef(0, -1, 0);
        int drawn = 0;
        for (const results_row_text& r : t.rows) {
            if (++drawn % 2 == 0)
                ui_fill_rect(1, 1, 1, 0.25f, 0, 1, 19, 0);
            const float c = r.slot == slot ? 1.0f : 0.75f;
            text_draw_right(c, c, c, 1, 1.5f, r.place.c_str());
            text_draw_right(c, c, c, 1, 4, r.number.c_str());
            text_draw_right(c, c, c, 1, 6.25f, r.lap.c_str());
            text_draw_right(c, c, c, 1, 11, r.gap.c_str());
            text_draw_right(c, c, c, 1, 16.5f, r.best.c_str());
            text_draw_right(c, c, c, 1, 19, r.best_lap.c_str());
            bvglTranslatef(0, -1, 0);
        }
        if (!t.total.empty()) {
            text_draw_grey_shadowed(t.total.c_str());
            bvglTranslatef(0, -2, 0);
            bvglScalef(0.5f, 0.5f, 1);
            for (const std::string& p : t.penalties) {
                text_draw_shadowed(1, 0, 0, 1, p.c_str());
                bvglTranslatef(0, -1, 0);
            }
            bvglScalef(2, 2, 1);
            bvglTranslatef(0, -0.5f, 0);
        }
        bvglPopMatrix();
        bvglTranslatef(19.5f, 0, 0);
    }
    for (const std::string& line : results_overlay_lines(slot)) {
        text_draw_grey_shadowed(line.c_str());
        bvglTranslatef(0, -1, 0);
    }
    ui_end();
}
