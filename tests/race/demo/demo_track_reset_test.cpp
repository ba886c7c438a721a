// Track reset records a race and replays it: the demo names the track, one
// state-driven rider stands per demo rider, the slot map is filled and the first
// states are read before the race begins.
#include "race/race_fixture.h"

#include "race/demo/demo.h"
#include "race/race_riders.h"
#include "race/race_state.h"
#include "race/rider_history.h"
#include "race/track_load.h"
#include "sim/race_clock.h"
#include "sim/rider_access.h"
#include "support/fresh_process.h"
#include "terrain/track_list.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(DemoTrackReset, ARecordedRaceIsReplayedByTheNextReset)
{
    bvtest::in_fresh_process([] {
        bvtest::Problems p;
        bvtest::TempDir root;
        racetest::start(root);
        scan_tracks();
        race_requested_folder = "tracks/sample";
        race_opts.seed = 7;
        int32_t lineup[160] = {1, 2};
        reset_race(lineup, 0, 1, 0, 3, 0);
        p.check(demo_recording() == 1, "recording after the reset");
        packed_rider_state first;
        bike_pack_state(&rider_slots[1], &track_terrain, &first);
        const int32_t gate_drop = race.gate_drop_tick;
        for (int i = 0; i < 40; ++i) {
            ++current_tick;
            race.tick = current_tick;
            demo_record_states(0);
        }

        // Another track is chosen, but the demo names its own.
        race_requested_folder = "tracks/flat";
        int32_t empty[160] = {};
        reset_race(empty, 1, 0, 0, 1, 0);
        p.check(!demo_recording(), "the recording was closed by the reset");
        p.check(demo_playing() == 1, "playing");
        p.same(track_folder ? track_folder : "", "tracks/sample", "the demo's track");
        p.check(race.laps == 3 && race.gate_drop_tick == gate_drop, "the demo's laps and gate drop");
        p.check(demo_rider_count() == 2, "two demo riders");
        for (int32_t k = 0; k < 2; ++k) {
            p.check(race_rider_exists(k) && race.kinds[k] == rider_kind_remote, "slot " + std::to_string(k));
            p.check(demo_rider_slot(k) == k, "slot map " + std::to_string(k));
        }
        p.check(!race_rider_exists(2), "nobody else");
        p.same(rider_get_number(&rider_slots[0]), "999", "the demo's number");
        p.same(demo_rider_info(1) ? demo_rider_info(1)->name : "", "Roborider", "the bot's name recorded");
        p.same(race_rider_name(1), "Roborider", "and given to its replayed rider");
        // The replay read ahead from the first block: slot 1 holds the bot's first state.
        int32_t older = -1, newer = -1;
        p.check(history_find_pair(1, 0, &older, &newer) == 1 && history_ticks[1][older] == 0 &&
                    memcmp(history_states[1][older], first.bytes, kPackedStateSize) == 0,
                "first state of the bot replayed into slot 1");
        p.check(history_ticks[1][history_newest[1]] == 40, "read ahead to the last block");

        demo_stop();
        p.check(!demo_playing() && demo_rider_count() == 0, "stopped");
        p.check(race_rider_exists(0) && !race_rider_exists(1) && race.kinds[1] == rider_kind_remote,
                "slot 0 kept, the rest freed");
        return p.text;
    });
}
