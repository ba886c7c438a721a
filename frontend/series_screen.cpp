// The standings of the points series picked in the series list. A round is a run of
// events ending with one that has a round-points table; the events before it in the
// run are its earlier motos.
#include "frontend/series_screen.h"

#include "frontend/menu.h"
#include "frontend/menu_draw_parts.h"
#include "frontend/menu_records.h"
#include "frontend/settings.h"
#include "gfx/fonts.h"
#include "gfx/gl_layer.h"
#include "race/series.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace {

constexpr float kPitch = 1.375f;
constexpr float kWidth = 57;
constexpr int kRoundsPerGroup = 8;

const char* or_empty(const char* text)
{
    return text ? text : "";
}

bool ends_round(const series_event& e)
{
    return e.round_points[0] != 0;
}

int32_t round_points(const series_event& e, int32_t rider)
{
    const int32_t place = e.round_ranking[rider];
    return place >= 0 && place < kSeriesPlaces ? e.round_points[place] : 0;
}

struct round_span {
    int32_t first;
    int32_t last;   // the event with the points table
};

std::vector<round_span> rounds_of(const series& s)
{
    std::vector<round_span> out;
    int32_t first = 0;
    for (int32_t k = 0; k < s.event_count; ++k)
        if (ends_round(s.events[k])) {
            out.push_back({first, k});
            first = k + 1;
        }
    return out;
}

// "%d (%d)", "%d (%d-%d)", "%d (%d-%d-%d)" for a round run whole; "- (%d-)" while
// only its first motos are run; "" before it starts.
std::string round_cell(const series& s, const round_span& r, int32_t rider)
{
    const int32_t run = std::min(s.completed, r.last + 1) - r.first;
    if (run <= 0)
        return "";
    const bool whole = r.first + run > r.last;
    std::string cell = whole ? std::to_string(round_points(s.events[r.last], rider)) : "-";
    cell += " (";
    for (int32_t k = r.first; k < r.first + run; ++k) {
        if (k > r.first)
            cell += "-";
        cell += std::to_string(s.events[k].places[rider] + 1);
    }
    return cell + (whole ? ")" : "-)");
}

void band(float a, float r = 0)
{
    ui_fill_rect(r, r, r, a, 0, 1, kWidth, 0);
}

void buttons(const series* s)
{
    menu_frame f = menu_frame_begin(s ? or_empty(s->title) : "", "Back to Points Series List", &menu_buttons.standings[0]);
    f.advance(0, -kPitch);
    const int k = menu_item == 1 ? 1 : 0;
    ui_draw_label_box(&menu_buttons.standings[1], f.pen, f.scale, 15, 0, ui_start_text[k], ui_start_box[k]);
    for (int i = 2; i < 4; ++i) {
        f.advance(0, -kPitch);
        ui_draw_button(&menu_buttons.standings[i], menu_item == i ? 1 : 0, f.pen, f.scale, 15, 0);
    }
}

void group(const series& s, const std::vector<round_span>& rounds, size_t first,
           const std::vector<series_standing>& order)
{
    const size_t end = std::min(rounds.size(), first + kRoundsPerGroup);
    band(0.5f);
    text_draw_centered(1, 1, 1, 1, 0, 3, "No.");
    text_draw_centered(1, 1, 1, 1, 3, 6, "Total");
    char text[64];
    for (size_t i = first; i < end; ++i) {
        const float c = float(i - first);
        std::snprintf(text, sizeof text, "Rd %d", int(i + 1));
        text_draw_centered(1, 1, 1, 1, 6 * (c + 1), 6 * (c + 2), text);
    }
    bvglTranslatef(0, -1, 0);
    int row = 0;
    for (const series_standing& e : order) {
        if (++row % 2 == 0)
            band(0.25f, 1);
        if (e.rider < s.opponent_count) {
            std::snprintf(text, sizeof text, "%d", s.opponents[e.rider]);
            text_draw_centered(1, 1, 1, 1, 0, 3, text);
        } else {
            text_draw_centered(0.75f, 0.75f, 1, 1, 0, 3, rider_number_field.buffer);
        }
        std::snprintf(text, sizeof text, "%lld", static_cast<long long>(e.points));
        text_draw_centered(1, 1, 1, 1, 3, 6, text);
        for (size_t i = first; i < end; ++i) {
            const float c = float(i - first);
            const std::string cell = round_cell(s, rounds[i], e.rider);
            text_draw_centered(1, 1, 1, 1, 6 * (c + 1), 6 * (c + 2), cell.c_str());
        }
        bvglTranslatef(0, -1, 0);
    }
}

}  // namespace

std::vector<series_standing> series_standings_order(const series& s)
{
    const int32_t riders = std::clamp(s.opponent_count + 1, 1, kSeriesPlaces);
    std::vector<series_standing> out;
    for (int32_t r = 0; r < riders; ++r)
        out.push_back({r, 0, 0});
    for (int32_t k = 0; k < s.completed && k < s.event_count; ++k) {
        const series_event& e = s.events[k];
        if (!ends_round(e))
            continue;
        for (series_standing& x : out) {
            x.points += round_points(e, x.rider);
            x.tie = e.round_ranking[x.rider];
        }
    }
    std::stable_sort(out.begin(), out.end(), [](const series_standing& a, const series_standing& b) {
        return a.points != b.points ? a.points > b.points : a.tie < b.tie;
    });
    return out;
}

void series_standings_draw()
{
    const int32_t selected = choose_page.selected;
    const series* s = selected >= 0 && selected < series_count() ? series_at(selected) : nullptr;
    buttons(s);
    if (!s) {
        ui_end();
        return;
    }
    bvglTranslatef(2.333334f, -2, 0);
    // The heading is drawn at full scale over the width of the table below it, which
    // is drawn at two thirds.
    const float heading_width = kWidth * 2 / 3;
    ui_fill_rect(0, 0, 0, 0.5f, 0, 1, heading_width, 0);
    char text[1024];
    if (s->completed < s->event_count)
        std::snprintf(text, sizeof text, "Next Event: %.900s", or_empty(s->events[s->completed].name));
    else
        std::snprintf(text, sizeof text, "%.900s Final Standings", or_empty(s->title));
    text_draw_centered(1, 1, 1, 1, 0, heading_width, text);
    bvglScalef(2.0f / 3, 2.0f / 3, 1);
    bvglTranslatef(0, -1, 0);
    const std::vector<series_standing> order = series_standings_order(*s);
    const std::vector<round_span> rounds = rounds_of(*s);
    for (size_t first = 0; first < rounds.size(); first += kRoundsPerGroup) {
        if (first > 0)
            bvglTranslatef(0, -0.5f, 0);
        group(*s, rounds, first, order);
    }
    bvglScalef(1.5f, 1.5f, 1);
    ui_end();
}
