// The per-slot state history: adding in and out of order around the ring's wrap,
// the pair lookup around a tick, and the three blends of encoded state values.
#include "race/rider_history.h"
#include "sim/sim_fixture.h"

#include <gtest/gtest.h>

namespace {

class RiderHistory : public ::testing::Test {
protected:
    RiderHistory() { history_clear_all(); }

    // A state whose bytes all hold the tick's low byte, to follow it through moves.
    static packed_rider_state marked(int32_t tick)
    {
        packed_rider_state s;
        for (uint8_t& b : s.bytes)
            b = uint8_t(tick);
        return s;
    }
    static void add(int32_t slot, int32_t tick)
    {
        const packed_rider_state s = marked(tick);
        add_state_to_history(slot, &s, tick);
    }
    // The held ticks walking back from the newest, to the first empty entry.
    static std::vector<int32_t> walk(int32_t slot)
    {
        std::vector<int32_t> ticks;
        for (int32_t k = history_newest[slot], n = 0; n < kHistoryLength && history_ticks[slot][k] >= 0;
             k = (k + kHistoryLength - 1) % kHistoryLength, ++n)
            ticks.push_back(history_ticks[slot][k]);
        return ticks;
    }
    static std::pair<int32_t, int32_t> pair_ticks(int32_t slot, int32_t tick)
    {
        int32_t older = -9, newer = -9;
        EXPECT_EQ(history_find_pair(slot, tick, &older, &newer), 1);
        return {history_ticks[slot][older], history_ticks[slot][newer]};
    }
};

}  // namespace

TEST_F(RiderHistory, InOrderAddsWrapTheRingAndKeepTheLast128)
{
    for (int32_t t = 0; t < 128; ++t)
        add(3, t * 4);
    EXPECT_EQ(history_newest[3], 0);   // 127 wrapped to 0
    EXPECT_EQ(history_ticks[3][0], 127 * 4);
    for (int32_t t = 128; t < 200; ++t)
        add(3, t * 4);
    const std::vector<int32_t> ticks = walk(3);
    ASSERT_EQ(ticks.size(), 128u);
    for (size_t i = 0; i < ticks.size(); ++i)
        EXPECT_EQ(ticks[i], (199 - int32_t(i)) * 4);
    EXPECT_EQ(history_pending[3], 128);
    // Lookups pair correctly across the wrap (entry 127 to entry 0).
    for (int32_t t = 72 * 4 + 1; t <= 199 * 4; t += 3) {
        const auto [older, newer] = pair_ticks(3, t);
        EXPECT_LT(older, t);
        EXPECT_GE(newer, t);
        EXPECT_EQ(newer - older, 4);
    }
    // Each state still carries its own bytes.
    for (int32_t k = 0; k < kHistoryLength; ++k)
        EXPECT_EQ(history_states[3][k][38], uint8_t(history_ticks[3][k]));
}

TEST_F(RiderHistory, LateStatesGoInTickOrderAndDuplicatesAreIgnored)
{
    for (int32_t t : {10, 20, 30, 40})
        add(0, t);
    add(0, 25);
    EXPECT_EQ(walk(0), (std::vector<int32_t>{40, 30, 25, 20, 10}));
    for (int32_t k = 0; k < kHistoryLength; ++k) {
        if (history_ticks[0][k] >= 0) {
            EXPECT_EQ(history_states[0][k][0], uint8_t(history_ticks[0][k]));
        }
    }
    EXPECT_EQ(history_pending[0], 5);
    add(0, 30);
    add(0, 10);
    EXPECT_EQ(walk(0).size(), 5u);
    EXPECT_EQ(history_pending[0], 5);
    // A negative tick (a ghost's offset, a bad packet) is dropped.
    add(0, -4);
    EXPECT_EQ(walk(0), (std::vector<int32_t>{40, 30, 25, 20, 10}));
}

TEST_F(RiderHistory, FullRingRefusesWhatIsOlderThanAll)
{
    for (int32_t t = 100; t < 229; ++t)   // 129 adds
        add(7, t);
    EXPECT_EQ(history_pending[7], 128);
    int32_t before[kHistoryLength];
    std::copy(std::begin(history_ticks[7]), std::end(history_ticks[7]), before);
    const int32_t newest = history_newest[7];
    add(7, 50);
    EXPECT_TRUE(std::equal(std::begin(before), std::end(before), std::begin(history_ticks[7])));
    EXPECT_EQ(history_newest[7], newest);
    // A late state between held ticks still goes in; the oldest falls off.
    add(7, 1000);
    add(7, 500);
    const std::vector<int32_t> ticks = walk(7);
    ASSERT_EQ(ticks.size(), 128u);
    EXPECT_EQ(ticks[0], 1000);
    EXPECT_EQ(ticks[1], 500);
    for (size_t i = 1; i < ticks.size(); ++i)
        EXPECT_GT(ticks[i - 1], ticks[i]);
}

TEST_F(RiderHistory, SlotOutOfRangeIsReportedAndStoresNothing)
{
    simtest::LogCapture log;
    add(-1, 5);
    add(160, 5);
    EXPECT_EQ(log.text(), "add_state_to_history: slot out of range\nadd_state_to_history: slot out of range\n");
    for (int32_t s = 0; s < kHistorySlots; ++s)
        EXPECT_EQ(history_ticks[s][0], -1);
    int32_t a, b;
    EXPECT_EQ(history_find_pair(160, 5, &a, &b), 0);
}

TEST_F(RiderHistory, PairLookup)
{
    int32_t older, newer;
    EXPECT_EQ(history_find_pair(1, 10, &older, &newer), 0);   // empty

    add(1, 20);
    ASSERT_EQ(history_find_pair(1, 100, &older, &newer), 1);
    EXPECT_EQ(older, newer);
    ASSERT_EQ(history_find_pair(1, 0, &older, &newer), 1);
    EXPECT_EQ(older, newer);

    for (int32_t t : {30, 40, 50})
        add(1, t);
    EXPECT_EQ(pair_ticks(1, 90), std::make_pair(40, 50));   // beyond the newest
    EXPECT_EQ(pair_ticks(1, 50), std::make_pair(40, 50));   // equal to a held tick
    EXPECT_EQ(pair_ticks(1, 30), std::make_pair(20, 30));
    EXPECT_EQ(pair_ticks(1, 35), std::make_pair(30, 40));
    EXPECT_EQ(pair_ticks(1, 20), std::make_pair(20, 30));   // the oldest itself
    EXPECT_EQ(pair_ticks(1, 5), std::make_pair(20, 30));    // before the oldest
    EXPECT_EQ(pair_ticks(1, -70), pair_ticks(1, 0));        // negative reads as 0

    // A full ring whose every tick is at or after T: the oldest and the one after it.
    for (int32_t t = 1000; t < 1130; ++t)
        add(2, t);
    EXPECT_EQ(pair_ticks(2, 0), std::make_pair(1002, 1003));
}

TEST_F(RiderHistory, ClearingEmptiesEverySlot)
{
    add(0, 5);
    add(159, 6);
    history_clear_all();
    for (int32_t s : {0, 159}) {
        for (int32_t k = 0; k < kHistoryLength; ++k)
            EXPECT_EQ(history_ticks[s][k], -1);
        EXPECT_EQ(history_newest[s], 0);
        EXPECT_EQ(history_pending[s], 0);
        EXPECT_EQ(history_states[s][0][0], 0);
    }
}

TEST(StateBlend, EndsGiveTheEncodedValuesExactly)
{
    for (int a = 0; a < 256; ++a) {
        const uint8_t va = uint8_t(a), vb = uint8_t(255 - a);
        uint8_t out = 0;
        blend_byte(&va, &vb, 0.0, &out);
        EXPECT_EQ(out, va);
        blend_byte(&va, &vb, 1.0, &out);
        EXPECT_EQ(out, vb);
        blend_wrap_byte(&va, &va, 0.5, &out);
        EXPECT_EQ(out, va);
    }
    const uint32_t values[] = {0, 1, 0x7FFFFF, 0xFFFFFE, 0xFFFFFF};
    for (uint32_t a : values)
        for (uint32_t b : values) {
            const uint8_t pa[3] = {uint8_t(a), uint8_t(a >> 8), uint8_t(a >> 16)};
            const uint8_t pb[3] = {uint8_t(b), uint8_t(b >> 8), uint8_t(b >> 16)};
            uint8_t out[3];
            blend_u24(pa, pb, 0.0, out);
            EXPECT_EQ(out[0] | out[1] << 8 | out[2] << 16, int(a));
            blend_u24(pa, pb, 1.0, out);
            EXPECT_EQ(out[0] | out[1] << 8 | out[2] << 16, int(b));
        }
}

TEST(StateBlend, ExtrapolationStopsAtTheEnds)
{
    const uint8_t near_top[3] = {0xF0, 0xFF, 0xFF}, top[3] = {0xFF, 0xFF, 0xFF}, low[3] = {0x10, 0, 0};
    const uint8_t zero[3] = {0, 0, 0};
    uint8_t out[3];
    blend_u24(near_top, top, 1.5, out);
    EXPECT_EQ(out[0] | out[1] << 8 | out[2] << 16, 0xFFFFFF);   // never wraps to 0
    blend_u24(low, zero, 1.5, out);
    EXPECT_EQ(out[0] | out[1] << 8 | out[2] << 16, 0);
    blend_u24(zero, low, -0.5, out);
    EXPECT_EQ(out[0] | out[1] << 8 | out[2] << 16, 0);
    const uint8_t a = 250, b = 254;
    uint8_t byte = 0;
    blend_byte(&a, &b, 3.0, &byte);
    EXPECT_EQ(byte, 255);
    blend_byte(&b, &a, -1.0, &byte);
    EXPECT_EQ(byte, 255);
}

TEST(StateBlend, TurnsBlendAcrossTheWrap)
{
    auto wrap = [](int a, int b, double f) {
        const uint8_t va = uint8_t(a), vb = uint8_t(b);
        uint8_t out = 0;
        blend_wrap_byte(&va, &vb, f, &out);
        return int(out);
    };
    EXPECT_EQ(wrap(250, 10, 0.25), 254);   // a direct blend would give 190
    EXPECT_EQ(wrap(250, 10, 0.75), 6);
    EXPECT_EQ(wrap(10, 200, 0.2), 48);     // a forward step under 0.875 turn blends directly
    // A backward step of up to 0.125 turn (31.875 steps) blends directly; past it
    // the way forward round the turn is taken.
    EXPECT_EQ(wrap(40, 9, 0.25), 32);
    EXPECT_EQ(wrap(41, 9, 0.25), 97);
    // A forward step of up to 0.875 turn (223.125 steps) blends directly; past it
    // the way backward across 0 is taken.
    EXPECT_EQ(wrap(0, 223, 0.25), 56);
    EXPECT_EQ(wrap(0, 224, 0.25), 247);
}
