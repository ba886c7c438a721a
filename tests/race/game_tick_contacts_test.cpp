// The game tick on the flat test track, rule by rule: who touches whom online and
// offline, when ruts are made, when online results are recomputed, and the
// suspension graph's rings.
#include "race_fixture.h"

#include "race/demo/demo.h"
#include "race/game_tick.h"
#include "race/net/net_connection.h"
#include "race/net/net_client.h"
#include "race/race_results.h"
#include "race/race_rules.h"
#include "race/race_state.h"
#include "race/track_load.h"
#include "sim/bike_build.h"
#include "sim/race_clock.h"
#include "sim/rider_access.h"
#include "sim/rider_slot.h"
#include "support/fresh_process.h"
#include "terrain/ruts.h"
#include "terrain/statues.h"
#include "terrain/timing_gates.h"
#include "terrain/track_list.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

using bvtest::Problems;

void load_flat(const int32_t* lineup)
{
    race_rules_install();
    demo_install_hooks();
    scan_tracks();
    race_requested_folder = "tracks/flat";
    race_opts.seed = 5;
    reset_race(lineup, 0, 0, 0, 3, 0);
}

// Moves slot's bike along the way its start slot faces.
void roll_forward(int slot, float feet)
{
    const float yaw = timing_gates.start_slot_yaw[slot];
    bike_translate(&rider_slots[slot], -std::sin(yaw) * feet, 0, -std::cos(yaw) * feet);
}

TEST(TickContacts, ReplayedAndWatchedRidersOnlyStampTheGateUntilTenSecondsAfterTheDrop)
{
    bvtest::in_fresh_process([] {
        Problems p;
        bvtest::TempDir root;
        racetest::start(root);
        int32_t lineup[160] = {0, 2};
        load_flat(lineup);
        race.kinds[1] = rider_kind_remote;   // as a demo's rider
        roll_forward(1, 2.7f);                // its front wheel on the raised gate
        statue* gate = statue_at(timing_gates.start_slot_statue[1]);
        const int32_t drop = race.gate_drop_tick;

        for (int online = 0; online < 2; ++online) {
            net_socket = online ? 99 : -1;   // never read or written by the tick
            race.own_lineup_value = online ? kWatchOnlyValue : 0;
            net_own_slot = net_no_slot;
            // A tick before the drop raises the gate; contacts come before the fall.
            current_tick = drop - 6;
            game_tick();
            gate->touched_tick = 0;
            current_tick = drop + 1280;
            game_tick();
            p.check(gate->touched_tick == drop + 1280, "stamped at 10 s after the drop (online " +
                                                           std::to_string(online) + ")");
            gate->touched_tick = 0;
            current_tick = drop + 1281;
            game_tick();
            p.check(gate->touched_tick == 0, "not stamped after 10 s (online " + std::to_string(online) + ")");
        }
        net_socket = -1;
        return p.text;
    });
}

TEST(TickContacts, OnlineTheOwnRiderWakesARemoteRiderItTouches)
{
    bvtest::in_fresh_process([] {
        Problems p;
        bvtest::TempDir root;
        racetest::start(root);
        int32_t lineup[160] = {1, 2, 2};
        load_flat(lineup);
        for (int k : {1, 2}) {
            race.kinds[k] = rider_kind_remote;
            bike_sleep(&rider_slots[k]);
        }
        // Slot 1 pushed into the own rider's side; slot 2 stays on its spot.
        const dReal* own = dBodyGetPosition(rider_slots[0].bodies[body_frame]);
        const dReal* one = dBodyGetPosition(rider_slots[1].bodies[body_frame]);
        bike_translate(&rider_slots[1], float(own[0] - one[0]), 0, float(own[2] - one[2]) + 1.0f);
        net_socket = 99;
        net_own_slot = 0;
        race.own_lineup_value = 0;
        current_tick = race.gate_drop_tick - 200;
        for (int k : {1, 2})
            net_state_tick[k] = uint32_t(current_tick);   // fresh states
        p.check(!bike_is_awake(&rider_slots[1]) && !bike_is_awake(&rider_slots[2]), "remote riders start asleep");
        game_tick();
        p.check(bike_is_awake(&rider_slots[1]), "the touched remote rider woke");
        p.check(!bike_is_awake(&rider_slots[2]), "an untouched remote rider sleeps on");
        net_socket = -1;
        return p.text;
    });
}

TEST(TickRules, RutsOnlyWithErosionAndNeverForStateDrivenRiders)
{
    bvtest::in_fresh_process([] {
        Problems p;
        bvtest::TempDir root;
        racetest::start(root);
        track_terrain_loader = headless::ground_only;   // the tiles' rut parameters
        int32_t lineup[160] = {1};
        load_flat(lineup);
        // Offline the network client hands each rut record straight to the erosion.
        wheel_ruts_set_sender([](const uint8_t* record, int32_t length) {
            erosion_apply_message(&track_terrain, record, length);
        });
        auto ride = [](int seconds) {
            erosion_queue_clear();
            const int32_t end = current_tick + seconds * 128;
            while (current_tick < end) {
                rider_set_throttle(&rider_slots[0], 1);   // the player rides off
                rider_set_clutch(&rider_slots[0], 1);
                if (rider_get_gear(&rider_slots[0]) == 0)
                    rider_set_gear(&rider_slots[0], 1);
                rider_set_front_brake(&rider_slots[0], 0);
                rider_set_rear_brake(&rider_slots[0], 0);
                game_tick();
            }
            return erosion_queue_count();
        };
        current_tick = race.gate_drop_tick;
        track_terrain.erosion_amount = 0;
        p.check(ride(2) == 0, "no ruts without erosion");
        track_terrain.erosion_amount = 1;
        const int made = ride(4);
        const dReal* at = dBodyGetPosition(rider_slots[0].bodies[body_frame]);
        p.check(made > 0, "a simulated rider makes ruts with erosion on (at " + std::to_string(at[0]) + ", " +
                              std::to_string(at[2]) + ", speed " + std::to_string(rider_get_speed_mph(&rider_slots[0])) + ")");
        race.kinds[0] = rider_kind_remote;
        p.check(ride(1) == 0, "a state-driven rider makes none");
        return p.text;
    });
}

TEST(TickRules, OnlineResultsAtTicks511ModuloUntilFinal)
{
    bvtest::in_fresh_process([] {
        Problems p;
        bvtest::TempDir root;
        racetest::start(root);
        int32_t lineup[160] = {2};
        load_flat(lineup);
        net_socket = 99;
        net_own_slot = net_no_slot;
        race.own_lineup_value = kWatchOnlyValue;
        auto computed_after_tick_from = [](int32_t t) {
            current_tick = t;
            race.results_written = 0;
            running_order.count = -1;
            game_tick();
            return running_order.count >= 0;
        };
        p.check(computed_after_tick_from(510), "computed at new tick 511");
        p.check(!computed_after_tick_from(511), "not at 512");
        p.check(computed_after_tick_from(1022), "computed at 1023");
        current_tick = 1534;
        race.results_written = 1;
        running_order.count = -1;
        game_tick();
        p.check(running_order.count == -1, "not once final");
        net_socket = -1;
        return p.text;
    });
}

TEST(TickRules, SuspensionGraphRings)
{
    bvtest::in_fresh_process([] {
        Problems p;
        bvtest::TempDir root;
        racetest::start(root);
        int32_t lineup[160] = {2};
        load_flat(lineup);
        suspension_graph_state& g = suspension_graph;
        g.on = 1;
        race.viewed_slot = 0;
        g.fork_position[5] = g.fork_speed[5] = g.shock_ratio[5] = 7;
        p.check(g.index == kGraphLength, "the rings restart at first");
        suspension_graph_record();
        p.check(g.index == 1, "the first entry recorded");
        p.check(g.fork_position[5] == 7 && g.fork_speed[5] == 0 && g.shock_ratio[5] == 0,
                "speeds and ratios zeroed, positions kept");
        g.index = kGraphLength - 1;
        suspension_graph_record();
        p.check(g.index == 0, "the index wraps from 1023 to 0");
        race.viewed_slot = 7;
        g.index = 5;
        g.fork_position[5] = 3;
        suspension_graph_record();
        p.check(g.index == 5 && g.fork_position[5] == 3, "an empty viewed slot records nothing");
        return p.text;
    });
}

}  // namespace
