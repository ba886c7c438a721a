// The round rankings of a series, and the recording of a finished event.
#include "race/series.h"

#include "foundation/door/data_name.h"
#include "foundation/door/search_folders.h"
#include "foundation/door/fresh_file.h"
#include "foundation/front_door.h"
#include "foundation/text/text_util.h"
#include "foundation/vfs/vfs.h"
#include "race/race_results.h"
#include "race/race_state.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

int32_t points_for(const int32_t* table, int32_t place)
{
    return place >= 0 && place < kSeriesPlaces ? table[place] : 0;
}

// Rider x ranks above rider y in the round ending with event e.
bool ranks_above(const series_event& e, const int64_t* totals, int32_t x, int32_t y)
{
    if (totals[x] != totals[y])
        return totals[x] > totals[y];
    if (e.places[x] != e.places[y])
        return e.places[x] < e.places[y];
    return x < y;
}

void rank_round(series_event& e, int32_t riders, const int64_t* totals)
{
    bool ranked[kSeriesPlaces] = {};
    for (int32_t place = 0; place < riders; ++place) {
        int32_t best = -1;
        for (int32_t r = 0; r < riders; ++r)
            if (!ranked[r] && (best < 0 || ranks_above(e, totals, r, best)))
                best = r;
        ranked[best] = true;
        e.round_ranking[best] = place;
    }
}

// Whether slot's rider is the one numbered `number` ("%d", so "007" is not 7).
bool number_matches(const char* text, int32_t number)
{
    char wanted[16];
    format_string(wanted, sizeof wanted, "%d", number);
    return text && strcmp(text, wanted) == 0;
}

bool active_series_ready(series** out)
{
    if (series_active_index < 0 || series_active_index >= series_count())
        return false;
    series* s = series_at(series_active_index);
    if (series_active_event < 0 || series_active_event >= s->event_count || s->completed != series_active_event)
        return false;
    *out = s;
    return true;
}

}  // namespace

void series_standings(series* s)
{
    const int32_t riders = s->opponent_count + 1;
    int64_t totals[kSeriesPlaces] = {};
    for (int32_t k = 0; k < s->completed && k < s->event_count; ++k) {
        series_event& e = s->events[k];
        for (int32_t r = 0; r < riders; ++r)
            totals[r] += points_for(e.moto_points, e.places[r]);
        if (e.round_points[0] == 0)
            continue;
        rank_round(e, riders, totals);
        memset(totals, 0, sizeof totals);
    }
}

void series_record_round()
{
    series* s;
    if (!active_series_ready(&s))
        return;
    series_event& e = s->events[series_active_event];
    const int32_t n = s->opponent_count;
    for (int32_t r = 0; r <= n; ++r)
        e.places[r] = n;
    const bool final = race_results_final();
    const order_table& order = final ? final_order : running_order;
    int32_t counter = 0;
    for (int32_t i = 0; i < order.count; ++i) {
        const int32_t slot = order.rows[i].slot;
        if (results_riders.kind(slot) == rider_kind_local &&
            (final || (results_riders.has_finished(slot) && rider_cutting_penalty(slot) == 0)))
            e.places[n] = counter++;
        const char* number = results_riders.number(slot);
        for (int32_t j = 0; j < n; ++j)
            if (number_matches(number, s->opponents[j])) {
                e.places[j] = counter++;
                break;
            }
    }
    ++s->completed;
    series_standings(s);
    series_active_index = series_active_event = -1;
    series_write_standings(s);
}

namespace {

int write_places(vfs_file* f, void* context)
{
    const series* s = static_cast<const series*>(context);
    bool ok = true;
    for (int32_t k = 0; k < s->completed && ok; ++k) {
        for (int32_t r = 0; r <= s->opponent_count && ok; ++r)
            ok = vfs_printf(f, "%d ", s->events[k].places[r] + 1) > 0;
        ok = ok && vfs_printf(f, "\n") > 0;
    }
    return ok ? 1 : 0;
}

}  // namespace

int series_write_standings(const series* s)
{
    // A series may come inside a downloaded track folder, so its standings are made as a
    // new file in the user folder that replaces the old one whole (fresh_file.h).
    if (!s->standings_path || s->standings_path[0] != '@' || !data_user_folder_known())
        return 0;
    if (s->standings_kept) {
        char line[400];
        format_string(line, sizeof line, "Series standings %s not written: the file there could not be read\n",
                      data_name_shown(s->standings_path + 1).c_str());
        console_print(line);
        return 0;
    }
    return fresh_file_write(s->standings_path, write_places, const_cast<series*>(s));
}
