// The start lineups of the series events and the lineup rotation.
#include "frontend/menu.h"

#include "foundation/intern.h"
#include "frontend/settings.h"
#include "race/net/net_client.h"
#include "race/race_restart.h"
#include "race/race_state.h"
#include "race/series.h"
#include "race/program/startup.h"
#include "sim/rider_slot.h"

#include <algorithm>

namespace {

// Gate order of a later event: 15 gates for a small field, else the middle outward
// and then the far side; past the table (a field above 39) one rider to each gate
// from 40 on.
int32_t gate_at(int32_t pick, int32_t opponents)
{
    static constexpr int32_t wide[20] = {10, 9, 11, 8, 12, 7, 13, 6, 14, 5, 15, 4, 16, 3, 17, 2, 18, 1, 19, 0};
    if (opponents <= 14)
        return 6 + 2 * pick;
    if (pick < 20)
        return wide[pick];
    return std::min<int32_t>(pick, kStartLineup - 1);
}

}  // namespace

void series_gate_order(const int32_t* places, int32_t opponents, int32_t* gates)
{
    const int32_t n = opponents;
    int32_t pick = 0;
    for (int32_t p = n; p >= 0; --p)
        for (int32_t rider = 0; rider <= n; ++rider)
            if (std::clamp(places[rider], 0, n) == p)
                gates[rider] = gate_at(pick++, n);
}

void lineup_rotate(int32_t* lineup, int32_t count)
{
    const int32_t r = int32_t(((int64_t(count) % kStartLineup) + kStartLineup) % kStartLineup);
    if (r == 0)
        return;
    int32_t rotated[kStartLineup];
    for (int32_t i = 0; i < kStartLineup; ++i)
        rotated[(i + r) % kStartLineup] = lineup[i];
    std::copy(rotated, rotated + kStartLineup, lineup);
}

int series_start_next_event()
{
    const int32_t selected = choose_page.selected;
    if (selected < 0 || selected >= series_count())
        return 0;
    series* s = series_at(selected);
    if (s->completed >= s->event_count)
        return 0;
    const series_event& event = s->events[s->completed];
    const int32_t n = s->opponent_count;
    std::fill(start_lineup, start_lineup + kStartLineup, 0);
    if (s->completed == 0) {
        for (int32_t i = 0; i < n; ++i)
            start_lineup[i] = 1000 + s->opponents[i];
        start_lineup[n] = 1;
    } else {
        int32_t gates[kSeriesPlaces];
        series_gate_order(s->events[s->completed - 1].places, n, gates);
        for (int32_t i = 0; i < n; ++i)
            start_lineup[gates[i]] = 1000 + s->opponents[i];
        start_lineup[gates[n]] = 1;
    }
    if (event.track >= 0 && event.track < track_choice.count)
        track_choice.selected = event.track;
    if (net_socket != -1)
        net_send_disconnect();
    net_reset();
    menu_reset_race(start_lineup, 0, record_demo_choice.selected,
                    int32_t(event.minutes * 60 / tick_length), event.laps, s->skill);
    return 1;
}

void menu_reset_race(const int32_t* lineup, int replay, int record, int32_t ticks, int32_t laps, int32_t skill)
{
    // The race is run on the track the menus show (a played demo names its own).
    if (const char* folder = track_choice_folder())
        race_requested_folder = intern_string(folder);
    menu_seams.reset_race(lineup, replay, record, ticks, laps, skill);
}

int32_t menu_own_slot()
{
    if (net_socket != -1)
        return net_own_slot < kRiderSlots ? net_own_slot : -1;
    for (int32_t i = 0; i < kRiderSlots; ++i)
        if (race.kinds[i] == rider_kind_local && (rider_slots[i].state_flags & state_simulated_locally))
            return i;
    return -1;
}
