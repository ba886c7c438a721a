// Brushes and dirty markers, against weights worked out by hand:
// weight(t) = 1 - 3t^2 + 2t^3; with R = 1.5 a neighbour at d = 1 weighs 7/27 and a
// diagonal at d = sqrt 2 weighs 0.0094383; the nine together sum to 2.0747902.
#include "terrain/terrain_deform.h"
#include "terrain_fixture.h"
#include "support/test_support.h"

#include <climits>
#include <cmath>
#include <limits>

namespace {

constexpr float kSide = 7.0f / 27.0f;
constexpr float kDiagonal = 0.0094383f;
constexpr float kNineSum = 2.0747902f;

float grid_sum(TestTerrain& t)
{
    double sum = 0;
    for (int k = 0; k < t->size * t->size; ++k)
        sum += t->heights[k];
    return float(sum);
}

}  // namespace

TEST(Brush, RaisesByTheSmoothWeightAndCountsPointsOffTheGridOrLocked)
{
    TestTerrain t(1, 2.0f);  // 5 x 5, flat 0; world radius 3 is 1.5 cells
    EXPECT_NEAR(brush_add(t.get(), 4.0f, 4.0f, 3.0f, -2.0f), -2 * kNineSum, 1e-5);
    EXPECT_FLOAT_EQ(t.h(2, 2), -2.0f);
    EXPECT_NEAR(t.h(1, 2), -2 * kSide, 1e-6);
    EXPECT_NEAR(t.h(3, 3), -2 * kDiagonal, 1e-6);
    EXPECT_EQ(t.h(4, 2), 0.0f);   // d = 2 is outside
    EXPECT_FLOAT_EQ(t->min_height, -2.0f);
    EXPECT_EQ(t->change_flags, 7);
    EXPECT_EQ(t->height_change_count, 2);
    EXPECT_TRUE(t.block_marked(0, 0));
    EXPECT_EQ(t->heights_copy[2 * 5 + 2], 0.0f) << "the as-loaded copy is never touched";

    // Centred on column -1 only column 0 lies on the grid, yet the sum counts all.
    TestTerrain edge(1, 1.0f);
    EXPECT_NEAR(brush_add(edge.get(), -1.0f, 2.0f, 1.5f, 1.0f), kNineSum, 1e-5);
    EXPECT_NEAR(grid_sum(edge), kSide + 2 * kDiagonal, 1e-5);
    EXPECT_FLOAT_EQ(edge->max_height, kSide);

    // A locked record sums, marks and counts, but keeps its heights.
    TestTerrain locked(1, 1.0f);
    locked->edit_lock = 1;
    EXPECT_NEAR(brush_add(locked.get(), 2.0f, 2.0f, 1.5f, 1.0f), kNineSum, 1e-5);
    brush_add_normalised(locked.get(), 2.0f, 2.0f, 1.5f, 1.0f);
    EXPECT_EQ(grid_sum(locked), 0.0f);
    EXPECT_EQ(locked->change_flags, 0);
    EXPECT_EQ(locked->height_change_count, 3);
    EXPECT_TRUE(locked.block_marked(0, 0));
}

TEST(Brush, NormalisedSpreadsTheAmountButNeverScalesUp)
{
    TestTerrain t(1, 1.0f);
    brush_add_normalised(t.get(), 2.0f, 2.0f, 1.5f, 3.0f);
    EXPECT_NEAR(grid_sum(t), 3.0f, 1e-5);
    EXPECT_NEAR(t.h(2, 1), 3.0f * kSide / kNineSum, 1e-5);
    // A radius below one cell reaches just (0,0) here, at weight 0.402, which
    // max(sum, 1) = 1 leaves unscaled.
    TestTerrain small(1, 1.0f);
    brush_add_normalised(small.get(), 0.2f, 0.2f, 0.5f, 2.0f);
    EXPECT_NEAR(grid_sum(small), 2 * 0.4020387f, 1e-6);
}

TEST(Brush, NonFiniteInputsAreRefusedAndHugeRadiiBounded)
{
    const float inf = std::numeric_limits<float>::infinity(), nan = std::numeric_limits<float>::quiet_NaN();
    TestTerrain t(1, 1.0f);
    EXPECT_EQ(brush_add(t.get(), 2.0f, 2.0f, 1.5f, nan), 0.0f);
    EXPECT_EQ(brush_add(t.get(), 2.0f, 2.0f, inf, 1.0f), 0.0f);
    EXPECT_EQ(brush_add(t.get(), nan, 2.0f, 1.5f, 1.0f), 0.0f);
    EXPECT_EQ(brush_add(t.get(), 1e30f, 2.0f, 1.5f, 1.0f), 0.0f);
    brush_add_normalised(t.get(), 2.0f, 2.0f, inf, 1.0f);
    brush_add_normalised(t.get(), nan, 2.0f, 1.0f, 1.0f);
    EXPECT_EQ(grid_sum(t), 0.0f);
    EXPECT_EQ(t->height_change_count, 1);
    EXPECT_EQ(t.marked_blocks(), 0);

    // A huge radius is bounded to twice the grid and still covers all of it, at a
    // weight of 1 so close to its centre; a negative one changes nothing.
    TestTerrain big(3, 1.0f);  // 17 x 17
    const double start = bvtest::thread_cpu_seconds();
    EXPECT_GT(brush_add(big.get(), 8.0f, 8.0f, 1e30f, 1.0f), 17.0f * 17.0f);
    brush_add(big.get(), 8.0f, 8.0f, 3e38f, 1.0f);
    EXPECT_EQ(brush_add(big.get(), 8.0f, 8.0f, -1e30f, 1.0f), 0.0f);
    EXPECT_LT(bvtest::thread_cpu_seconds() - start, 2.0);
    for (int k = 0; k < 17 * 17; ++k)
        ASSERT_EQ(big->heights[k], 2.0f);
    EXPECT_EQ(big->height_change_count, 4);
}

TEST(DirtyBlocks, RectanglesAndBrushesMarkTouchedBlocksClampedToTheGrid)
{
    // 257 points: 2 x 2 blocks; the marked blocks as bits row * 2 + column.
    struct Case {
        int32_t x0, z0, x1, z1;
        int marked;
    };
    for (Case c : {Case{200, 0, 210, 0, 0b0010},
                   Case{120, 0, 128, 0, 0b0011},                        // the column ending block 0 is in 1 too
                   Case{-127, -300, -1, -400, 0b0001},                  // truncating into block 0
                   Case{1000, 1000, 2000, 2000, 0b1000},                // clamped to the last block
                   Case{200, 0, -300, 0, 0}, Case{0, 200, 0, -300, 0},  // backwards
                   Case{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX, 0b1111}}) {
        TestTerrain t(7, 1.0f);
        terrain_mark_blocks_dirty(t.get(), c.x0, c.z0, c.x1, c.z1);
        for (int b = 0; b < 4; ++b)
            EXPECT_EQ(t.block_marked(b / 2, b % 2), ((c.marked >> b) & 1) != 0) << c.x0 << " " << c.x1 << " " << b;
    }
    // Square 298..303 on a 4 x 4 block grid: blocks 2..3 both ways and no others.
    TestTerrain y(8, 1.0f);
    brush_add(y.get(), 300.0f, 300.0f, 3.0f, 1.0f);
    for (int k = 0; k < 16; ++k)
        EXPECT_EQ(y.block_marked(k / 4, k % 4), k / 4 >= 2 && k % 4 >= 2) << k;
}
