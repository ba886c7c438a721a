#include "frontend/hud.h"

#include "frontend/hud_parts.h"
#include "frontend/message_line.h"
#include "frontend/ui_widgets.h"
#include "frontend/title_screen.h"
#include "gfx/fonts.h"
#include "gfx/gl_layer.h"
#include "gfx/gl_state.h"
#include "gfx/shaders.h"
#include "race/game_tick.h"
#include "race/program/main_loop.h"
#include "race/series.h"
#include "race/program/settings_values.h"
#include "terrain/terrain_queries.h"
#include "race/program/hud_pictures.h"
#include "race/program/projection.h"
#include "race/race_results.h"
#include "race/race_state.h"
#include "race/program/startup.h"
#include "sim/race_clock.h"
#include "terrain/track_list.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

constexpr float kDialScale = 0.23340251f;
constexpr float kPitboardScale = 0.6227179f;
constexpr float kLeanScale = 0.93361005f;
constexpr float kLeanThreshold = 0.6283185307179586f;

std::string format(const char* f, auto... a)
{
    char buffer[1100];
    std::snprintf(buffer, sizeof buffer, f, a...);
    return buffer;
}


int32_t row_of(int32_t slot)
{
    for (int32_t i = 0; i < running_order.count; ++i)
        if (running_order.rows[i].slot == slot)
            return i;
    return -1;
}

// Riders at least a lap ahead who passed this rider's recent spot at most 3 s after it.
std::string about_to_lap(int32_t row)
{
    const int32_t f = results_first_lap_positions(), n = results_lap_positions();
    std::string line;
    if (n <= 0)
        return line;   // no further laps: nobody can lap anybody
    const order_row& me = running_order.rows[row];
    const int32_t r = me.positions;
    const int32_t c = me.tick;
    for (int32_t k = 0; k < row; ++k) {
        const order_row& o = running_order.rows[k];
        const int32_t t = o.positions;
        if (!(f <= r && r < t))
            continue;
        const int32_t g = t - n * ((t - r - 1) / n) - n - 1;
        const int32_t v = results_riders.gate_time(me.slot, g);
        const int32_t w = o.tick;
        if (v < 0 || w < v || (c - v) * tick_length > 15)
            continue;
        const double d = (w - v) * tick_length;
        if (!(d > 0 && d <= 3))
            continue;
        const std::string entry = format(" %.5s (%.1f) ", results_riders.number(o.slot), d);
        if (line.size() + 40 < 1024)
            line += entry;
    }
    return line;
}

// The race length under the track's name, or the points-series event's name alone.
void banner()
{
    const double t = current_tick * tick_length;
    if (!(t < 3))
        return;
    bvglPushMatrix();
    bvglLoadIdentity();
    bvglTranslatef(0, 0, -1);
    bvglScalef(0.1f, 0.1f, 0.1f);
    const float alpha = float(std::clamp(3 - t, 0.0, 1.0));
    const series_event* event = nullptr;
    if (series_active_index >= 0 && series_active_index < series_count()) {
        const series* s = series_at(series_active_index);
        if (series_active_event >= 0 && series_active_event < s->event_count)
            event = &s->events[series_active_event];
    }
    if (event) {
        text_draw_centered(1, 1, 1, alpha, -10, 10, event->name ? event->name : "");
    } else {
        const char* title = track_folder ? track_list_title(track_folder) : nullptr;
        text_draw_centered(1, 1, 1, alpha, -10, 10, title ? title : track_title ? track_title : "");
        bvglTranslatef(0, -1, 0);
        text_draw_centered(1, 1, 1, alpha, -10, 10, hud_race_length_text(race.laps, race.time_limit_ticks).c_str());
    }
    bvglPopMatrix();
}

}  // namespace

void hud_colour(float r, float g, float b, float a)
{
    imm_set_color(r, g, b, a);
}

void hud_texcoord(float s, float t)
{
    imm_texcoord[0] = s;
    imm_texcoord[1] = t;
}

void hud_bind_white()
{
    bvglBindTexture(GL_TEXTURE_2D, gl_state.gl_white_texture);
}

void hud_draw_lean(int32_t slot)
{
    if (!setup.lean_indicator || !track_terrain.heights)
        return;
    float p[3], r[9], n[3];
    results_riders.frame_position(slot, p);
    results_riders.frame_rotation(slot, r);
    terrain_normal_at(&track_terrain, p[0], p[2], n);
    // The normal in the frame body's axes (the transpose of its rotation).
    const float bx = r[0] * n[0] + r[3] * n[1] + r[6] * n[2];
    const float by = r[1] * n[0] + r[4] * n[1] + r[7] * n[2];
    const float lean = std::atan2(bx, by);
    static constexpr float dark[2][4] = {{0, 0, 0, 0}, {0, 0, 0, 0.25f}};
    static constexpr float red[2][4] = {{1, 0, 0, 0}, {1, 0, 0, 0.25f}};
    const auto& c = std::fabs(lean) <= kLeanThreshold ? dark : red;
    const float h = projection_half_height;
    bvglPushMatrix();
    bvglLoadIdentity();
    bvglTranslatef(0, 0, -1);
    bvglScalef(kLeanScale * h, kLeanScale * h, kLeanScale * h);
    bvglEnable(GL_BLEND);
    hud_bind_white();
    const float half_pi = float(M_PI / 2);
    if (lean < 0)
        hud_draw_arc(half_pi, lean + half_pi, c[0], c[1]);
    else
        hud_draw_arc(lean - half_pi, -half_pi, c[0], c[1]);
    bvglDisable(GL_BLEND);
    bvglPopMatrix();
}

std::string hud_lap_clock(double seconds)
{
    const int32_t ms = int32_t(seconds * 1000);
    const int32_t minutes = ms / 60000;
    return format("%d:%02d.%d", minutes, ms / 1000 - 60 * minutes, (ms % 1000) / 100);
}

std::string hud_race_length_text(int32_t laps, int32_t limit_ticks)
{
    if (limit_ticks == 0)
        return format("%d laps", laps);
    const int32_t minutes = int32_t(limit_ticks * tick_length / 60 + 0.5);
    if (laps == 0)
        return format("%d minutes", minutes);
    return format("%d minutes + %d laps", minutes, laps);
}

hud_panel_text hud_panel_texts(int32_t slot, int time_trial, double trial_last, double trial_best)
{
    hud_panel_text out;
    const int32_t row = row_of(slot);
    const int32_t p = row < 0 ? running_order.count + 1 : row + 1;
    const int32_t laps = results_riders.laps_completed(slot);
    const int32_t best = results_best_lap(slot);
    out.position = time_trial ? format("P%d", p) : format("L%d P%d", laps + 1, p);
    double gap = 0;
    if (running_order.count >= 2 && row >= 0)
        gap = rider_gap(row, row == 0 ? 1 : row - 1) * tick_length;
    out.gap = format("%+.1f ", gap);
    const double last = time_trial ? trial_last : (laps >= 2 ? results_riders.lap_time(slot, laps) : 0);
    if (last > 0)
        out.last = "Last - " + hud_lap_clock(last) + " ";
    const double best_time = time_trial ? trial_best : (best ? results_riders.lap_time(slot, best) : 0);
    if (best_time > 0)
        out.best = "Best - " + hud_lap_clock(best_time);
    if (p > 1 && running_order.count >= 2 && row >= 0)
        out.about_to_lap = about_to_lap(row);
    return out;
}

void hud_draw_graph_frame()
{
    const float lines[5][4] = {{-1, 1, -1, -1}, {-1, -1, 1, -1}, {1, -1, 1, 1}, {1, 1, -1, 1}, {1, 0, -1, 0}};
    bvglBegin(GL_LINES);
    for (const auto& l : lines) {
        bvglVertex2f(l[0], l[1]);
        bvglVertex2f(l[2], l[3]);
    }
    bvglEnd();
}

void hud_draw_arc(float a0, float a1, const float inner[4], const float outer[4])
{
    const int32_t n = int32_t(std::fabs(a1 - a0) * 31 / float(M_PI));
    bvglBegin(GL_QUAD_STRIP);
    for (int32_t i = 0; i <= n + 1; ++i) {
        const float a = a0 + float(i) * (a1 - a0) / float(n + 1);
        hud_colour(inner[0], inner[1], inner[2], inner[3]);
        bvglVertex2f(0.5f * std::sin(a), 0.5f * std::cos(a));
        hud_colour(outer[0], outer[1], outer[2], outer[3]);
        bvglVertex2f(std::sin(a), std::cos(a));
    }
    bvglEnd();
}

void hud_draw_race_panel(int32_t slot)
{
    const float w = projection_half_width, h = projection_half_height;
    const hud_panel_text t = hud_panel_texts(slot, race.time_trial_active, time_trial.last_lap * tick_length,
                                             time_trial.best_lap * tick_length);
    bvglEnable(GL_BLEND);
    bvglBindTexture(GL_TEXTURE_2D, hud_pictures.pitboard);
    bvglPushMatrix();
    bvglLoadIdentity();
    bvglTranslatef(-w, -h, -1);
    const float s = kPitboardScale * h;
    bvglScalef(s, s, s);
    hud_colour(1, 1, 1, 1);
    bvglBegin(GL_QUADS);
    hud_texcoord(0, 0.1875f);
    bvglVertex2f(0, 0.8125f);
    hud_texcoord(0, 0.875f);
    bvglVertex2f(0, 0.125f);
    hud_texcoord(1, 0.875f);
    bvglVertex2f(1, 0.125f);
    hud_texcoord(1, 0.1875f);
    bvglVertex2f(1, 0.8125f);
    bvglEnd();
    hud_bind_white();
    bvglTranslatef(0.37109375f, 0.6796875f, 0);
    bvglScalef(0.0703125f, 0.0703125f, 0);
    text_draw(0, 0, 0, 1, results_riders.number(slot));
    bvglTranslatef(0, -2, 0);
    bvglScalef(1.25f, 1.25f, 0);
    text_draw(0, 0, 0, 1, t.position.c_str());
    bvglTranslatef(0, -1, 0);
    text_draw(0, 0, 0, 1, t.gap.c_str());
    bvglTranslatef(-2, -1, 0);
    if (!t.last.empty()) {
        text_draw(0, 0, 0, 1, t.last.c_str());
        bvglTranslatef(0, -1, 0);
    }
    if (!t.best.empty())
        text_draw(0, 0, 0, 1, t.best.c_str());
    if (!t.about_to_lap.empty()) {
        bvglLoadIdentity();
        bvglTranslatef(-w, -h, -1);
        const float line = h / 15;
        bvglScalef(line, line, line);
        ui_fill_rect(0, 0.5f, 1, 0.5f, 0, 1, 2 * w / line, 0);
        text_draw_centered_plain(1, 1, 1, 1, 0, 2 * w / line, t.about_to_lap.c_str());
    }
    bvglPopMatrix();
    bvglDisable(GL_BLEND);
}

void hud_draw(int32_t slot)
{
    const float w = projection_half_width, h = projection_half_height;
    gl_use_shader(shader_unlit);
    // The world's last pass (the lens flare) leaves additive blending: the dial and the
    // boards would add to the view behind them instead of covering it.
    bvglBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    const bool rider = slot >= 0 && slot < kRaceSlots && results_riders.occupied(slot);
    if (rider) {
        if (suspension_graph.on)
            hud_draw_suspension_graph();
        // Tachometer and needle.
        bvglEnable(GL_BLEND);
        bvglPushMatrix();
        bvglLoadIdentity();
        bvglTranslatef(w, -h, -1);
        const float s = kDialScale * h;
        bvglScalef(s, s, s);
        bvglTranslatef(-1, 1, 0);
        bvglBindTexture(GL_TEXTURE_2D, hud_pictures.tach);
        hud_colour(1, 1, 1, 1);
        bvglBegin(GL_QUADS);
        hud_texcoord(0, 0);
        bvglVertex2f(-1, 1);
        hud_texcoord(0, 1);
        bvglVertex2f(-1, -1);
        hud_texcoord(1, 1);
        bvglVertex2f(1, -1);
        hud_texcoord(1, 0);
        bvglVertex2f(1, 1);
        bvglEnd();
        bvglDisable(GL_BLEND);
        hud_bind_white();
        bvglPushMatrix();
        bvglRotatef((results_riders.engine_rpm(slot) * 0.000046875f - 0.375f) * 360, 0, 0, -1);
        hud_colour(0.75f, 0, 0, 1);
        bvglBegin(GL_TRIANGLES);
        bvglVertex2f(0, 0.75f);
        bvglVertex2f(-0.1f, 0.25f);
        bvglVertex2f(0.1f, 0.25f);
        bvglEnd();
        bvglPopMatrix();
        // Gear cell of the shifter picture.
        bvglEnable(GL_BLEND);
        const int32_t g = std::max(0, results_riders.gear(slot));
        const float s0 = float(g % 3) / 3, t0 = float((g / 3) % 3) / 3, third = 1.0f / 3;
        bvglBindTexture(GL_TEXTURE_2D, hud_pictures.shifter);
        hud_colour(1, 1, 1, 1);
        bvglBegin(GL_QUADS);
        hud_texcoord(s0, t0);
        bvglVertex2f(-third, third);
        hud_texcoord(s0, t0 + third);
        bvglVertex2f(-third, -third);
        hud_texcoord(s0 + third, t0 + third);
        bvglVertex2f(third, -third);
        hud_texcoord(s0 + third, t0);
        bvglVertex2f(third, third);
        bvglEnd();
        hud_bind_white();
        bvglPopMatrix();
        hud_draw_race_panel(slot);
        draw_watched_rider_name(slot);
        hud_draw_lean(slot);
    }
    hud_draw_map(rider ? slot : -1);
    banner();
}
