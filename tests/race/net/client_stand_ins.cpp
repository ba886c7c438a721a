#include "client_stand_ins.h"

#include "race/net/net_channel.h"
#include "race/net/net_client.h"
#include "race/net/net_messages.h"
#include "race/program/menu_state.h"
#include "race/program/run_clock.h"
#include "race/race_hooks.h"
#include "sim/race_clock.h"
#include "terrain/track_list.h"

#include <cstring>

namespace client_stand_ins {
namespace {

track_entry listed[1] = {{const_cast<char*>("tracks/flat"), const_cast<char*>("Flat")}};

}  // namespace

void restore_client(const seams& s)
{
    track_list = listed;
    track_count = 1;
    net_client_restore();
    net_message_handler = net_handle_message;
    net_fake_lag = 0;
    net_fake_loss = 0;
    net_password = "secret";
    net_calendar_seconds = [] { return kCalendarSeconds; };
    net_track_reset = s.track_reset;
    race_hooks.demo_record_event = s.demo_record_event;
    race_hooks.script_call_message_handler = s.script_message;
    race_hooks.race_results_refresh = s.results_refresh;
    menu_screen = -1;
    run_clock = 1.5;
    current_tick = 0;
    memset(race.kinds, 0, sizeof race.kinds);
}

void start_race(const int32_t* lineup)
{
    for (int k = 0; k < 160; ++k)
        race.kinds[k] = lineup[k] == 1 ? rider_kind_local : lineup[k] == 5 ? rider_kind_remote : rider_kind_bot;
    for (size_t i = 0; i < sizeof track_hash; ++i)
        track_hash[i] = uint8_t(0xA0 + i);
    current_tick = 0;
}

}  // namespace client_stand_ins
