// Brushes and dirty markers, against weights worked out by hand:
// weight(t) = 1 - 3t^2 + 2t^3; with R = 1.5 a neighbour at d = 1 weighs 7/27 and a
// diagonal at d = sqrt 2 weighs 0.0094383; the nine together sum to 2.0747902.
#include "terrain/terrain_deform.h"
#include "terrain_fixture.h"

#include <chrono>
#include <cmath>
#include <limits>

namespace {

constexpr float kSide = 7.0f / 27.0f;
constexpr float kDiagonal = 0.0094383f;
constexpr float kNineSum = 2.0747902f;

float grid_sum(TestTerrain& t)
{
    double sum = 0;
    for (int j = 0; j < t->size; ++j)
        for (int i = 0; i < t->size; ++i)
            sum += t.h(i, j);
    return float(sum);
}

}  // namespace

TEST(Brush, RaisesAndLowersByTheSmoothWeightAndReturnsTheSum)
{
    TestTerrain t(1, 1.0f);  // 5 x 5, flat 0
    EXPECT_NEAR(brush_add(t.get(), 2.0f, 2.0f, 1.5f, 1.0f), kNineSum, 1e-5);
    EXPECT_FLOAT_EQ(t.h(2, 2), 1.0f);
    EXPECT_NEAR(t.h(1, 2), kSide, 1e-6);
    EXPECT_NEAR(t.h(2, 3), kSide, 1e-6);
    EXPECT_NEAR(t.h(3, 3), kDiagonal, 1e-6);
    EXPECT_EQ(t.h(4, 2), 0.0f);   // d = 2 is outside
    EXPECT_EQ(t.h(0, 0), 0.0f);
    EXPECT_FLOAT_EQ(t->max_height, 1.0f);
    EXPECT_EQ(t->min_height, 0.0f);
    EXPECT_EQ(t->change_flags, 7);
    EXPECT_EQ(t->height_change_count, 2);
    EXPECT_TRUE(t.block_marked(0, 0));
    // The as-loaded copy is never touched.
    EXPECT_EQ(t->heights_copy[2 * 5 + 2], 0.0f);

    // Lowering, with cell 2 (world radius 3 is 1.5 cells).
    TestTerrain low(1, 2.0f, -1.0f, 1.0f);
    EXPECT_NEAR(brush_add(low.get(), 4.0f, 4.0f, 3.0f, -2.0f), -2 * kNineSum, 1e-5);
    EXPECT_FLOAT_EQ(low.h(2, 2), -3.0f);
    EXPECT_NEAR(low.h(2, 1), -1.0f - 2 * kSide, 1e-6);
    EXPECT_FLOAT_EQ(low->min_height, -3.0f);
    EXPECT_FLOAT_EQ(low->max_height, 1.0f);
}

TEST(Brush, OffTheGridCountsEveryPointButChangesOnlyGridOnes)
{
    TestTerrain t(1, 1.0f);
    // Centre on column -1: only column 0 lies on the grid.
    EXPECT_NEAR(brush_add(t.get(), -1.0f, 2.0f, 1.5f, 1.0f), kNineSum, 1e-5);
    EXPECT_NEAR(t.h(0, 2), kSide, 1e-6);
    EXPECT_NEAR(t.h(0, 1), kDiagonal, 1e-6);
    EXPECT_NEAR(t.h(0, 3), kDiagonal, 1e-6);
    EXPECT_NEAR(grid_sum(t), kSide + 2 * kDiagonal, 1e-5);
    EXPECT_TRUE(t.block_marked(0, 0));

    // Entirely off the grid: the sum is still there, nothing moves.
    TestTerrain far(1, 1.0f);
    EXPECT_NEAR(brush_add(far.get(), -40.0f, -40.0f, 1.5f, 1.0f), kNineSum, 1e-5);
    EXPECT_EQ(grid_sum(far), 0.0f);
    EXPECT_EQ(far->change_flags, 0);
    EXPECT_EQ(far->height_change_count, 2);
}

TEST(Brush, LockedRecordSumsMarksAndCountsButKeepsItsHeights)
{
    TestTerrain t(1, 1.0f);
    t->edit_lock = 1;
    EXPECT_NEAR(brush_add(t.get(), 2.0f, 2.0f, 1.5f, 1.0f), kNineSum, 1e-5);
    brush_add_normalised(t.get(), 2.0f, 2.0f, 1.5f, 1.0f);
    EXPECT_EQ(grid_sum(t), 0.0f);
    EXPECT_EQ(t->change_flags, 0);
    EXPECT_EQ(t->max_height, 0.0f);
    EXPECT_EQ(t->height_change_count, 3);
    EXPECT_TRUE(t.block_marked(0, 0));
}

TEST(Brush, NonFiniteInputsAreRefusedAndHugeRadiiBounded)
{
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    TestTerrain t(1, 1.0f);
    EXPECT_EQ(brush_add(t.get(), 2.0f, 2.0f, 1.5f, 0.0f), 0.0f);
    EXPECT_EQ(brush_add(t.get(), 2.0f, 2.0f, 1.5f, nan), 0.0f);
    EXPECT_EQ(brush_add(t.get(), 2.0f, 2.0f, inf, 1.0f), 0.0f);
    EXPECT_EQ(brush_add(t.get(), nan, 2.0f, 1.5f, 1.0f), 0.0f);
    EXPECT_EQ(brush_add(t.get(), 1e30f, 2.0f, 1.5f, 1.0f), 0.0f);
    brush_add_normalised(t.get(), 2.0f, 2.0f, inf, 1.0f);
    brush_add_normalised(t.get(), nan, 2.0f, 1.0f, 1.0f);
    EXPECT_EQ(grid_sum(t), 0.0f);
    EXPECT_EQ(t->height_change_count, 1);
    EXPECT_EQ(t.marked_blocks(), 0);
    EXPECT_EQ(t->change_flags, 0);

    // A huge radius is bounded to twice the grid and still covers all of it.
    TestTerrain big(3, 1.0f);  // 17 x 17
    auto start = std::chrono::steady_clock::now();
    float sum = brush_add(big.get(), 8.0f, 8.0f, 1e30f, 1.0f);
    brush_add(big.get(), 8.0f, 8.0f, 3e38f, 1.0f);
    brush_add_normalised(big.get(), 8.0f, 8.0f, 1e20f, 1.0f);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    // Weights are 1 this close to the centre of such a brush: every point rose by 2
    // plus a normalised share.
    EXPECT_GT(sum, 17.0f * 17.0f);
    for (int j = 0; j < 17; ++j)
        for (int i = 0; i < 17; ++i)
            ASSERT_NEAR(big.h(i, j), 2.0f, 0.01f);
    EXPECT_EQ(big->height_change_count, 4);

    // A negative radius changes nothing but still counts as an edit.
    TestTerrain n(1, 1.0f);
    EXPECT_EQ(brush_add(n.get(), 2.0f, 2.0f, -3.0f, 1.0f), 0.0f);
    EXPECT_EQ(brush_add(n.get(), 2.0f, 2.0f, -1e30f, 1.0f), 0.0f);
    EXPECT_EQ(grid_sum(n), 0.0f);
    EXPECT_EQ(n->height_change_count, 3);
}

TEST(BrushNormalised, SpreadsAboutTheAmountOrAddsUnscaledBelowWeightOne)
{
    TestTerrain t(1, 1.0f);
    brush_add_normalised(t.get(), 2.0f, 2.0f, 1.5f, 3.0f);
    EXPECT_NEAR(grid_sum(t), 3.0f, 1e-5);
    EXPECT_NEAR(t.h(2, 2), 3.0f / kNineSum, 1e-5);
    EXPECT_NEAR(t.h(2, 1), 3.0f * kSide / kNineSum, 1e-5);
    EXPECT_EQ(t->height_change_count, 2);
    EXPECT_EQ(t->change_flags, 7);

    // Off the grid the weights still count in the sum, so less than the amount lands.
    TestTerrain edge(1, 1.0f);
    brush_add_normalised(edge.get(), -1.0f, 2.0f, 1.5f, 3.0f);
    EXPECT_NEAR(grid_sum(edge), 3.0f * (kSide + 2 * kDiagonal) / kNineSum, 1e-5);

    // A radius below one cell reaches only the four surrounding points; here just
    // (0,0), at weight 0.402, which max(sum, 1) = 1 leaves unscaled.
    TestTerrain small(1, 1.0f);
    brush_add_normalised(small.get(), 0.2f, 0.2f, 0.5f, 2.0f);
    EXPECT_NEAR(small.h(0, 0), 2 * 0.4020387f, 1e-6);
    EXPECT_NEAR(grid_sum(small), 2 * 0.4020387f, 1e-6);
}

TEST(DirtyBlocks, RectanglesMarkTouchedBlocksClampedToTheGrid)
{
    TestTerrain t(7, 1.0f);  // 257 points: 2 x 2 blocks
    ASSERT_EQ(terrain_blocks_per_side(t.get()), 2);

    terrain_mark_blocks_dirty(t.get(), 200, 0, 210, 0);
    EXPECT_TRUE(t.block_marked(0, 1));
    EXPECT_EQ(t.marked_blocks(), 1);

    // Touching the column that ends block 0 marks the next block too.
    TestTerrain u(7, 1.0f);
    terrain_mark_blocks_dirty(u.get(), 120, 0, 128, 0);
    EXPECT_TRUE(u.block_marked(0, 0));
    EXPECT_TRUE(u.block_marked(0, 1));
    EXPECT_EQ(u.marked_blocks(), 2);

    // -127..-1 truncate into block 0; a rectangle beyond the far side clamps to the
    // last block; one whose end lies before its start marks nothing.
    TestTerrain v(7, 1.0f);
    terrain_mark_blocks_dirty(v.get(), -127, -300, -1, -400);
    EXPECT_TRUE(v.block_marked(0, 0));
    terrain_mark_blocks_dirty(v.get(), 1000, 1000, 2000, 2000);
    EXPECT_TRUE(v.block_marked(1, 1));
    EXPECT_EQ(v.marked_blocks(), 2);
    terrain_mark_blocks_dirty(v.get(), 200, 0, -300, 0);
    terrain_mark_blocks_dirty(v.get(), 0, 200, 0, -300);
    EXPECT_EQ(v.marked_blocks(), 2);
    // Extreme indices stay defined.
    terrain_mark_blocks_dirty(v.get(), INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX);
    EXPECT_EQ(v.marked_blocks(), 4);

    // Brushes mark their square of points.
    // n = 0: one block, and every brush marks it.
    TestTerrain tiny(0, 1.0f);
    brush_add(tiny.get(), 50.0f, 50.0f, 1.0f, 1.0f);
    EXPECT_TRUE(tiny.block_marked(0, 0));

    // A brush near the corner shared by four blocks marks all four.
    TestTerrain w(7, 1.0f);
    brush_add(w.get(), 127.0f, 127.0f, 2.0f, 1.0f);
    EXPECT_EQ(w.marked_blocks(), 4);

    // Square 298..303 on a 4 x 4 block grid: first blocks 298 / 128 = 2, last
    // (303 + 127) / 128 = 3, and nothing outside that.
    TestTerrain y(8, 1.0f);
    brush_add(y.get(), 300.0f, 300.0f, 3.0f, 1.0f);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            EXPECT_EQ(y.block_marked(r, c), r >= 2 && c >= 2) << r << "," << c;
}

TEST(DirtyRegion, MarksDetailLevelsWhoseWindowOverlaps)
{
    TestTerrain t(7, 1.0f);
    t->detail_level_count = 2;
    t->detail_levels[0] = {0, 0, 0, 10, 10, 64, 0};
    t->detail_levels[1] = {0, 0, 0, 0, 0, 256, 0};
    t->detail_levels[2] = {0, 0, 0, 0, 0, 256, 0};  // past the count: never marked

    terrain_mark_region_dirty(t.get(), 100, 100, 110, 110);
    EXPECT_EQ(t->detail_levels[0].redraw, 0);
    EXPECT_EQ(t->detail_levels[1].redraw, 1);
    EXPECT_EQ(t->detail_levels[2].redraw, 0);

    // The window's far edge (origin + size) still counts as overlapping.
    t->detail_levels[0].redraw = 2;
    terrain_mark_region_dirty(t.get(), 74, 74, 80, 80);
    EXPECT_EQ(t->detail_levels[0].redraw, 3);
    t->detail_levels[0].redraw = 0;
    terrain_mark_region_dirty(t.get(), 75, 0, 80, 80);
    terrain_mark_region_dirty(t.get(), 0, 0, 9, 9);
    EXPECT_EQ(t->detail_levels[0].redraw, 0);
}
