// Which riders are hidden from the drawing, the engine sound and the map, and which
// the online contact filter lets the own rider meet.
#include "race_table.h"

#include "race/net/net_connection.h"
#include "race/net/net_client.h"
#include "race/race_state.h"
#include "race/rider_history.h"
#include "race/rider_visibility.h"
#include "sim/race_clock.h"

namespace {

using racetable::riders;

class Visibility : public racetable::RaceTable {
protected:
    static void state_at(int32_t slot, int32_t tick)
    {
        const packed_rider_state s{};
        add_state_to_history(slot, &s, tick);
    }
};

TEST_F(Visibility, HiddenRidersOffline)
{
    current_tick = 5000;
    ride(0, {}, rider_kind_local);
    ride(1, {}, rider_kind_bot);
    ride(2, {}, rider_kind_remote);   // no history
    ride(3, {}, rider_kind_remote);
    state_at(3, 4000);
    state_at(3, 4900);
    ride(4, {}, rider_kind_remote);
    state_at(4, 4700);
    state_at(4, 4871);                // the current tick is 129 past the newer state
    ride(5, {}, rider_kind_remote);
    state_at(5, 5129);                // 129 before the only state
    ride(6, {}, rider_kind_remote);
    state_at(6, 4872);                // exactly 128 after: still shown

    const struct {
        int slot;
        int hidden;
    } table[] = {{0, 0}, {1, 0}, {2, 1}, {3, 0}, {4, 1}, {5, 1}, {6, 0}, {7, 1}, {-1, 1}, {160, 1}};
    for (const auto& row : table)
        EXPECT_EQ(rider_hidden(row.slot), row.hidden) << "slot " << row.slot;
}

TEST_F(Visibility, WhileWatchingOnlyTheViewedLocalRiderIsShown)
{
    net_socket = 99;
    race.own_lineup_value = kWatchOnlyValue;
    race.viewed_slot = 1;
    ride(0, {}, rider_kind_local);
    ride(1, {}, rider_kind_local);
    ride(2, {}, rider_kind_bot);
    EXPECT_EQ(rider_hidden(0), 1);
    EXPECT_EQ(rider_hidden(1), 0);
    EXPECT_EQ(rider_hidden(2), 0);
}

// Online, racing from slot 0: the filter rules in order.
TEST_F(Visibility, TheContactFilterOnline)
{
    net_socket = 99;
    current_tick = 10000;
    race.gate_drop_tick = 1000;
    EXPECT_EQ(rider_contact_filter(3), 1) << "no own rider";
    net_own_slot = 0;
    EXPECT_EQ(rider_contact_filter(3), 1) << "the own slot is empty";
    ride(0, {1100, 1300, 1500, 1700});
    EXPECT_EQ(rider_contact_filter(3), 0) << "empty slot";

    ride(3, {1100, 1300, 1500}, rider_kind_remote);
    state_at(3, 9990);
    state_at(3, 10010);
    net_state_tick[3] = 10000 - 128;
    EXPECT_EQ(rider_contact_filter(3), 0) << "silent 1 s";
    EXPECT_EQ(rider_hidden(3), 1);
    net_state_tick[3] = 10000 - 127;
    EXPECT_EQ(rider_contact_filter(3), 1) << "one row in the running order";
    EXPECT_EQ(rider_contact_filter(0), 1) << "the own slot is never silent";

    race_results_compute();
    // Rider 3 has not passed a position for 8500 ticks: off course, and we race on.
    ASSERT_EQ(rider_off_course(3), 1);
    ASSERT_EQ(rider_off_course(0), 0);
    EXPECT_EQ(rider_contact_filter(3), 0);
    EXPECT_EQ(rider_hidden(3), 1);
    riders[3].gates = {1100, 1300, 1500, 1700, 9950};
    race_results_compute();
    EXPECT_EQ(rider_contact_filter(3), 1);
    EXPECT_EQ(rider_hidden(3), 0);
    riders[3].finished = true;
    EXPECT_EQ(rider_contact_filter(3), 0) << "finished";
    current_tick = race.gate_drop_tick + 1279;
    net_state_tick[3] = uint32_t(current_tick);
    EXPECT_EQ(rider_contact_filter(3), 1) << "within off_course_bias seconds of the drop";
    current_tick = 10000;
    net_state_tick[3] = 10000;
    riders[0].finished = true;
    EXPECT_EQ(rider_contact_filter(3), 1) << "the own rider has finished";
}

}  // namespace
