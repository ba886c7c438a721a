// The game tick's pure rules: the blend that places replayed and remote riders, the
// speed order of the contact pairs, the restart position and the lineup rotation.
#include "race/game_tick.h"
#include "race/race_restart.h"
#include "race/rider_history.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>

namespace {

using state = std::array<uint8_t, kPackedStateSize>;

uint32_t u24(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16;
}

void put_u24(uint8_t* p, uint32_t v)
{
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
}

void put_u16(uint8_t* p, uint32_t v)
{
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}

uint32_t u16(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8;
}

// A quaternion's component as the state codes it.
uint32_t quat_code(float q)
{
    return uint32_t(std::floor((double(q) + 1) * 32767.5 + 0.5));
}

void put_quat(uint8_t* p, float w, float x, float y, float z)
{
    const float q[4] = {w, x, y, z};
    for (int i = 0; i < 4; ++i)
        put_u16(p + 2 * i, quat_code(q[i]));
}

state make_state(uint32_t x, uint8_t wheel, uint8_t b18, uint8_t b36)
{
    state s{};
    put_u24(s.data(), x);
    put_u24(s.data() + 3, 1000);
    put_u24(s.data() + 6, 2000);
    put_quat(s.data() + 9, 1, 0, 0, 0);
    put_quat(s.data() + 26, 1, 0, 0, 0);
    s[34] = wheel;
    s[35] = wheel;
    s[18] = b18;
    s[36] = b36;
    return s;
}

TEST(StateBlend, PositionExtrapolatesAtMost64TicksAndNothingElseAtAll)
{
    state a = make_state(0, 0, 0, 0), b = make_state(1000, 100, 0, 0);
    put_u16(a.data() + 20, 0);
    put_u16(b.data() + 20, 1000);
    state far{}, capped{}, half{};
    state_blend(a.data(), b.data(), 0, 10, 500, 5, far.data());
    state_blend(a.data(), b.data(), 0, 10, 74, 5, capped.data());
    state_blend(a.data(), b.data(), 0, 10, 5, 5, half.data());
    EXPECT_EQ(u24(far.data()), 7400u) << "(10 + 64) / 10 of the way";
    EXPECT_EQ(far, capped);
    EXPECT_EQ(u16(far.data() + 20), 1000u) << "other fields stop at the newer state";
    EXPECT_EQ(far[34], 100);
    EXPECT_EQ(u24(half.data()), 500u);
    EXPECT_EQ(u16(half.data() + 20), 500u);
}

TEST(StateBlend, QuaternionTakesTheShortWayAndIsNotExtrapolated)
{
    state a = make_state(0, 0, 0, 0), b = make_state(0, 0, 0, 0);
    const float h = float(std::sqrt(0.5));
    put_quat(a.data() + 9, -h, 0, -h, 0);   // the same turn as b's, opposite sign
    put_quat(b.data() + 9, h, 0, h, 0);
    state out{};
    state_blend(a.data(), b.data(), 0, 10, 5, 5, out.data());
    for (int i = 0; i < 4; ++i)
        EXPECT_NEAR(double(u16(out.data() + 9 + 2 * i)), double(u16(b.data() + 9 + 2 * i)), 1.0) << i;

    put_quat(a.data() + 9, 1, 0, 0, 0);
    state_blend(a.data(), b.data(), 0, 10, 60, 5, out.data());   // f = 6, f' = 1
    for (int i = 0; i < 4; ++i)
        EXPECT_NEAR(double(u16(out.data() + 9 + 2 * i)), double(u16(b.data() + 9 + 2 * i)), 1.0) << i;
}

TEST(StateBlend, WheelBytesWrapFlagBitAndTheCopiedByte)
{
    const state a = make_state(0, 250, 0x03, 7), b = make_state(0, 8, 0x03, 200);
    state out{};
    state_blend(a.data(), b.data(), 0, 10, 5, 5, out.data());
    state later{};
    state_blend(a.data(), b.data(), 0, 10, 3, 5, out.data());
    state_blend(a.data(), b.data(), 0, 10, 7, 5, later.data());
    EXPECT_EQ(out[34], 254) << "250 to 8 goes forward through 0";
    EXPECT_EQ(later[34], 4);
    EXPECT_EQ(later[35], 4);
    EXPECT_EQ(out[18], 0x02) << "bit 0 of byte 18 is written 0";
    EXPECT_EQ(out[36], 7) << "byte 36 comes from the older state";

    state_blend(a.data(), b.data(), 0, 10, 0, 5, out.data());
    EXPECT_EQ(out, a) << "f exactly 0 copies the older state";
    state_blend(a.data(), b.data(), 0, 10, 5, 4, out.data());
    EXPECT_EQ(out, a) << "a version-4 demo is not blended";
}

TEST(StatePlacement, HistoryCases)
{
    history_clear_all();
    state_placement p{};
    EXPECT_EQ(state_placement_for(3, 50, 5, &p), 0) << "an empty history leaves the rider alone";

    const state a = make_state(100, 0, 0, 0), b = make_state(900, 0, 0, 0);
    packed_rider_state s;
    memcpy(s.bytes, a.data(), kPackedStateSize);
    add_state_to_history(3, &s, 40);
    ASSERT_EQ(state_placement_for(3, 50, 5, &p), 1);
    EXPECT_EQ(p.ticks, 1);
    EXPECT_EQ(0, memcmp(p.target, a.data(), kPackedStateSize));
    EXPECT_EQ(0, memcmp(p.to, a.data(), kPackedStateSize));

    memcpy(s.bytes, b.data(), kPackedStateSize);
    add_state_to_history(3, &s, 48);
    ASSERT_EQ(state_placement_for(3, 48, 5, &p), 1);
    EXPECT_EQ(p.ticks, 8);
    EXPECT_EQ(0, memcmp(p.target, b.data(), kPackedStateSize)) << "at the newer tick: the newer state";
    EXPECT_EQ(0, memcmp(p.from, a.data(), kPackedStateSize));
    EXPECT_EQ(0, memcmp(p.to, b.data(), kPackedStateSize));

    ASSERT_EQ(state_placement_for(3, 44, 5, &p), 1);
    EXPECT_EQ(u24(p.target), 500u);
    ASSERT_EQ(state_placement_for(3, 30, 5, &p), 1);
    EXPECT_EQ(p.ticks, 1) << "every state after the display tick: the oldest alone";
    EXPECT_EQ(0, memcmp(p.target, a.data(), kPackedStateSize));
    history_clear_all();
}

TEST(ContactOrder, HeapSortPinsTheOrderOfEqualSpeeds)
{
    const float speed[5] = {3, 7, 7, 1, 7};
    int32_t list[5] = {0, 1, 2, 3, 4};
    sort_by_speed(list, speed, 5);
    EXPECT_EQ(std::vector<int32_t>(list, list + 5), (std::vector<int32_t>{4, 2, 1, 0, 3}));

    int32_t one[1] = {9};
    float speeds[10] = {};
    sort_by_speed(one, speeds, 1);
    EXPECT_EQ(one[0], 9);
    sort_by_speed(one, speeds, 0);
}

TEST(Restart, PositionWalksBackThroughTheLapDownToTheFirstLapEnd)
{
    struct row {
        int32_t F, N, k, c;
    } rows[] = {
        {3, 5, 2, 6}, {3, 5, 3, 5}, {3, 5, 4, 4}, {3, 5, 5, 3}, {3, 5, 6, 3}, {3, 5, 40, 3},
        {4, 1, 2, 4}, {4, 1, 3, 4}, {4, 0, 2, 0}, {0, 4, 2, 2},
    };
    for (const row& r : rows)
        EXPECT_EQ(restart_position(r.F, r.N, r.k), r.c) << "F " << r.F << " N " << r.N << " k " << r.k;
}

TEST(Restart, LineupRotatesBothWays)
{
    auto fill = [] {
        for (int32_t i = 0; i < 160; ++i)
            start_lineup[i] = i;
    };
    fill();
    lineup_rotate(1);
    EXPECT_EQ(start_lineup[0], 159);
    EXPECT_EQ(start_lineup[1], 0);
    fill();
    lineup_rotate(160);
    for (int32_t i = 0; i < 160; ++i)
        ASSERT_EQ(start_lineup[i], i);
    fill();
    lineup_rotate(-1);
    EXPECT_EQ(start_lineup[0], 1);
    EXPECT_EQ(start_lineup[159], 0);
    fill();
    lineup_rotate(-161);
    EXPECT_EQ(start_lineup[0], 1);
}

}  // namespace
