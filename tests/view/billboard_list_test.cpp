#include "view/billboard_list.h"

#include "view_fixture.h"

#include <cmath>
#include <limits>
#include <vector>

namespace {

const float kOrigin[3] = {0, 0, 0};
const float kLookNorth[3] = {0, 0, 1};   // backward axis: the camera looks along -z

std::vector<int32_t> drawn(const float camera[3], const float c[3], int32_t lookahead)
{
    static std::vector<int32_t> scratch;
    std::vector<int32_t> out;
    for (const int32_t* e = billboard_draw_list(camera, c, lookahead, scratch); *e >= 0; ++e)
        out.push_back(*e);
    return out;
}

using BillboardList = ViewTables;

TEST_F(BillboardList, KeysKeepWhatIsInFrontAndDropWhatIsBehind)
{
    const int32_t ahead = board(0, 0, -10, 1);
    board(0, 0, 1, 1);
    EXPECT_EQ(drawn(kOrigin, kLookNorth, 8), std::vector<int32_t>{ahead});
    EXPECT_EQ(billboard_at(ahead)->depth_key, int32_t(std::floor(-10 * 1024.0 + 16777216.0)));
}

TEST_F(BillboardList, BackToFrontWithEqualKeysInTableOrder)
{
    const int32_t near = board(1, 0, -5, 1);
    const int32_t far = board(0, 0, -20, 2);
    const int32_t twin_a = board(-3, 0, -12, 3);
    const int32_t twin_b = board(3, 0, -12, 4);
    EXPECT_EQ(drawn(kOrigin, kLookNorth, 0), (std::vector<int32_t>{far, twin_a, twin_b, near}));
}

TEST_F(BillboardList, ParticleAtASignsSpotIsDrawnOverIt)
{
    billboard* p = billboard_at(race.particle_billboards[0]);
    p->z = -10;
    p->size = 0.5f;
    p->aspect = 1;
    p->texture = 9;
    const int32_t sign = board(0, 0, -10, 1);
    EXPECT_EQ(drawn(kOrigin, kLookNorth, 0), (std::vector<int32_t>{sign, race.particle_billboards[0]}));
}

TEST_F(BillboardList, HiddenOrUnsortableEntriesAreLeftOut)
{
    board(0, 0, -10, 0);                              // no texture
    billboard_at(board(0, 0, -11, 1))->colour[3] = 0; // transparent
    board(std::numeric_limits<float>::quiet_NaN(), 0, -12, 1);
    board(0, 0, -std::numeric_limits<float>::infinity(), 1);
    board(0, 0, -1e30f, 1);                           // key past 32 bits
    const int32_t kept = board(0, 0, -13, 1);
    EXPECT_EQ(drawn(kOrigin, kLookNorth, 8), std::vector<int32_t>{kept});
}

TEST_F(BillboardList, CameraLookingStraightDownDrawsNothing)
{
    board(0, -10, 0, 1);
    board(2, -10, 0, 1);
    const float up[3] = {0, 1, 0};
    EXPECT_TRUE(drawn(kOrigin, up, 8).empty());
}

// A (texture 1) far, B (texture 2) in the middle, C (texture 1) near.
struct Grouping {
    int32_t a, b, c;
};
Grouping three(float b_x)
{
    return {ViewTables::board(0, 0, -30, 1), ViewTables::board(b_x, 0, -20, 2), ViewTables::board(0, 0, -10, 1)};
}

TEST_F(BillboardList, SameTexturesMoveTogetherOnlyPastDisjointEntries)
{
    const Grouping g = three(10);
    EXPECT_EQ(drawn(kOrigin, kLookNorth, 8), (std::vector<int32_t>{g.a, g.c, g.b}));
    EXPECT_EQ(drawn(kOrigin, kLookNorth, 1), (std::vector<int32_t>{g.a, g.b, g.c}));
    EXPECT_EQ(drawn(kOrigin, kLookNorth, 0), (std::vector<int32_t>{g.a, g.b, g.c}));
    // A window past the end of the list (and past the integer range) stops at its end.
    EXPECT_EQ(drawn(kOrigin, kLookNorth, 2147483647), (std::vector<int32_t>{g.a, g.c, g.b}));
}

TEST_F(BillboardList, OverlappingEntryKeepsTheOrder)
{
    const Grouping g = three(0.5f);
    EXPECT_EQ(drawn(kOrigin, kLookNorth, 8), (std::vector<int32_t>{g.a, g.b, g.c}));
}

TEST_F(BillboardList, AtMostOneEntryMovesPerPosition)
{
    // Texture 1 at the back, then three of texture 2 off to the side, then two more of
    // texture 1: only the nearest texture-1 one after the run jumps forward.
    const int32_t a = board(0, 0, -60, 1);
    const int32_t b1 = board(30, 0, -50, 2);
    const int32_t b2 = board(30, 0, -40, 2);
    const int32_t c1 = board(0, 0, -30, 1);
    const int32_t c2 = board(0, 0, -20, 1);
    EXPECT_EQ(drawn(kOrigin, kLookNorth, 8), (std::vector<int32_t>{a, c1, c2, b1, b2}));
}

TEST(BillboardKeys, KeysOutsideTheIntegerRangeAreRefused)
{
    int32_t key = 0;
    EXPECT_TRUE(depth_key(-10, &key));
    EXPECT_EQ(key, 16777216 - 10240);
    EXPECT_FALSE(depth_key(std::numeric_limits<double>::quiet_NaN(), &key));
    EXPECT_FALSE(depth_key(3e6, &key));
    EXPECT_FALSE(depth_key(-3e6, &key));
}

}  // namespace
