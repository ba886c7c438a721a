// The frame's flaggers on the race tables: gate flags raised where riders are down,
// the gate marshals' alert pictures, the start marshal's walk and the lap board.
#include "race/net/net_connection.h"
#include "race/race_results.h"
#include "race/race_state.h"
#include "sim/race_clock.h"
#include "sim/rider_slot.h"
#include "terrain/flaggers.h"
#include "terrain/timing_gates.h"
#include "view/render_world.h"
#include "view_fixture.h"

namespace {

struct FrameFlaggers : ViewTables {
    int32_t marshal = -1;
    void SetUp() override
    {
        ViewTables::SetUp();
        flaggers_reset();
        timing_gates = {};
        timing_gates.checkpoint_count = 6;
        // Three positions in the first lap, four in each further one; position 5 is
        // a flagged entry of gate 2, position 6 names a gate the editor removed.
        const int32_t entries[] = {0, 1, 2, 3, 4, 100002, 7};
        std::copy(std::begin(entries), std::end(entries), timing_gates.lap_entries);
        timing_gates.firstlap_length = 3;
        timing_gates.normallap_length = 4;
        flagger_head.sprite1_billboard = board(0, 0, 0, 0);
        const float from[3] = {10, 0, 10}, to[3] = {20, 0, 10};
        std::copy(from, from + 3, flagger_head.sprite1_from);
        std::copy(to, to + 3, flagger_head.sprite1_vector);
        flagger_head.sprite1_extra = 1;
        for (uint32_t k = 0; k < 5; ++k)
            flagger_head.sprite1_textures[k] = 100 + k;
        flagger_head.sprite2_billboard = board(0, 0, 0, 0);
        for (uint32_t k = 0; k < 4; ++k)
            flagger_head.sprite2_textures[k] = 200 + k;
        flagger f{};
        f.billboard = marshal = board(5, 0, 5, 0);
        f.texture_a = 300;
        f.texture_b = 301;
        f.gates[0] = 2;
        f.gates[1] = f.gates[2] = f.gates[3] = -1;
        array_push(&flaggers, &f);
        running_order = {};
        race.flagger_timer = 640;
        race.lap_counts[0] = 2;
        race.lap_counts[1] = 4;
        race.laps = 4;
        race.gate_drop_tick = 640;
        race.time_limit_ticks = 0;
        current_tick = 0;
        net_socket = -1;
    }
    void TearDown() override
    {
        for (rider_slot& r : rider_slots)
            r.bodies[body_frame] = nullptr, r.rider_down = 0;
        race.kinds[4] = 0;
        flaggers_free();
        timing_gates = {};
        running_order = {};
        ViewTables::TearDown();
    }
    void down_rider(int32_t slot, int32_t positions)
    {
        static char body;
        rider_slots[slot].bodies[body_frame] = reinterpret_cast<dBodyID>(&body);
        rider_slots[slot].rider_down = 1;
        running_order.rows[running_order.count++] = {slot, positions, 0};
    }
    bool flagged(int gate) { return timing_gates.checkpoints[gate].marker != 0; }
};

TEST_F(FrameFlaggers, ADownedRiderRaisesItsGatesFlag)
{
    down_rider(3, 2);   // first lap, position 2: gate 2
    flaggers_update();
    EXPECT_TRUE(flagged(2));
    EXPECT_EQ(billboard_at(marshal)->texture, 301u);
    EXPECT_EQ(int(flagged(0)) + flagged(1) + flagged(3) + flagged(4) + flagged(5), 0);

    // Flags are rebuilt each frame: up again, the flag comes down.
    rider_slots[3].rider_down = 0;
    flaggers_update();
    EXPECT_FALSE(flagged(2));
    EXPECT_EQ(billboard_at(marshal)->texture, 300u);
}

TEST_F(FrameFlaggers, LaterLapsAndFlaggedEntries)
{
    down_rider(3, 9);    // 3 + (9 - 3) mod 4 = 5: the flagged entry of gate 2
    down_rider(4, 7);    // position 3: gate 3
    flaggers_update();
    EXPECT_TRUE(flagged(2));
    EXPECT_TRUE(flagged(3));
}

TEST_F(FrameFlaggers, RemovedGatesAndOnlineGhostsAreIgnored)
{
    down_rider(3, 6);    // names gate 7 of 6
    flaggers_update();
    for (int g = 0; g < 6; ++g)
        EXPECT_FALSE(flagged(g)) << g;

    running_order = {};
    down_rider(4, 2);
    race.kinds[4] = rider_kind_remote;
    net_socket = 5;      // online: remote riders are the server's business
    flaggers_update();
    EXPECT_FALSE(flagged(2));
    net_socket = -1;     // offline, a replayed rider's fall counts
    flaggers_update();
    EXPECT_TRUE(flagged(2));
}

TEST_F(FrameFlaggers, StartMarshalWalksOnTheGroundAndTheLapBoardFollowsTheLeader)
{
    current_tick = int32_t(6.5 * 128);
    running_order.rows[running_order.count++] = {0, 6, 0};
    flaggers_update();
    const billboard& starter = *billboard_at(flagger_head.sprite1_billboard);
    EXPECT_FLOAT_EQ(starter.x, 15);
    EXPECT_FLOAT_EQ(starter.y, 0);   // flat ground at height 0
    EXPECT_EQ(starter.texture, 103u);
    EXPECT_EQ(billboard_at(flagger_head.sprite2_billboard)->texture, 201u);   // halfway
    // Without lap lists nothing changes.
    timing_gates.firstlap_length = timing_gates.normallap_length = 0;
    current_tick = 0;
    flaggers_update();
    EXPECT_EQ(billboard_at(flagger_head.sprite1_billboard)->texture, 103u);
}

}  // namespace
