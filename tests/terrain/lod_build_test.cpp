// The refine-distance pyramid: values against hand-worked cases, a build split over
// many small budgets against one unlimited build, and edits during a build.
#include "terrain/terrain_deform.h"
#include "terrain/terrain_lod.h"
#include "terrain_fixture.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

std::vector<float> pyramid(TestTerrain& t)
{
    return std::vector<float>(t->lod_error_a, t->lod_error_a + terrain_pyramid_nodes(t->n));
}

// The triangle error point by point, as its definition reads.
float reference_error(TestTerrain& t, int c0, int r0, int c1, int r1)
{
    const int L = std::abs(c1 - c0), sx = c1 > c0 ? 1 : -1, sz = r1 > r0 ? 1 : -1;
    const float hp = t.h(c0, r0), dx = t.h(c1, r0) - hp, dz = t.h(c0, r1) - hp;
    const float inv = L > 0 ? 1.0f / float(L) : 0.0f;
    float worst = 0.0f;
    for (int row = 0; row <= L; ++row)
        for (int s = 0; s <= L - row; ++s) {
            const float plane = hp + dz * float(row) * inv + dx * float(s) * inv;
            const float e = std::fabs(t.h(c0 + sx * s, r0 + sz * row) - plane);
            worst = e > worst ? e : worst;
        }
    return worst;
}

// Calls until the build is done; returns how many calls it took.
int build_in_steps(TestTerrain& t, int32_t budget)
{
    int calls = 1;
    while (!terrain_lod_build(t.get(), budget))
        ++calls;
    return calls;
}

}  // namespace

TEST(LodPyramid, NodeValuesFollowTheErrorTheNodeSizeAndTheNeighboursChildren)
{
    // n = 0: one node over a 3 x 3 grid whose centre stands 1 above a flat plane.
    TestTerrain t(0, 2.0f);
    t->error_scale = 0.5f;
    t.h(1, 1) = 1.0f;
    ASSERT_EQ(terrain_lod_build(t.get(), kTerrainUnlimitedBudget), 1);
    const float own = 1.0f / 0.5f + 4.0f * 0.7071067811865476f;
    EXPECT_FLOAT_EQ(t->lod_error_a[0], own * own);
    EXPECT_EQ(t->build_stamp, 1);

    // n = 2, flat: a level-1 node's value reaches past its neighbours' nearest
    // children, which hold only their bounding circle.
    TestTerrain g(2, 1.0f);
    g->error_scale = 1.0f;
    ASSERT_EQ(terrain_lod_build(g.get(), kTerrainUnlimitedBudget), 1);
    const float reach = 8.0f * 0.7071067811865476f * 0.25f + 8.0f * 1.5826829301659018f * 0.25f;
    EXPECT_FLOAT_EQ(g->lod_error_a[terrain_node_index(1, 0, 0)], reach * reach);
}

TEST(LodPyramid, TriangleErrorIsThePointByPointMaximumToTheBitInEveryOrientation)
{
    // Rough ground, and legs of every length up to 32 points, odd ones too, which
    // leave rows that do not fill a group of four.
    TestTerrain t(5, 1.0f);
    for (int j = 0; j < t->size; ++j)
        for (int i = 0; i < t->size; ++i)
            t.h(i, j) = float((i * 7919 + j * 104729) % 1013) * 0.013f - 6.0f + 0.001f * float(i * j);
    for (int L = 0; L <= 32; ++L)
        for (int sx : {1, -1})
            for (int sz : {1, -1}) {
                const int c0 = sx > 0 ? 32 - L : L, r0 = sz > 0 ? 32 - L : L;
                const int c1 = c0 + sx * L, r1 = r0 + sz * L;
                t->work_budget = kTerrainUnlimitedBudget;
                t->build_triangle_row = 0;
                t->build_triangle_max = 0.0f;
                ASSERT_EQ(terrain_triangle_error(t.get(), c0, r0, c1, r1), 1);
                const float expected = reference_error(t, c0, r0, c1, r1);
                EXPECT_EQ(std::memcmp(&t->build_triangle_max, &expected, sizeof expected), 0)
                    << "leg " << L << " towards " << sx << "," << sz << ": " << t->build_triangle_max << " against "
                    << expected;
            }
}

TEST(LodPyramid, BudgetedBuildEqualsTheUnlimitedBuildBitForBit)
{
    TestTerrain whole(5, 1.5f);
    whole.hills();
    whole->error_scale = 0.01f;
    ASSERT_EQ(terrain_lod_build(whole.get(), kTerrainUnlimitedBudget), 1);
    const std::vector<float> expected = pyramid(whole);

    // Budgets of 7 and 1 run out inside a node's triangles, which must resume.
    for (int32_t budget : {kTerrainFrameBuildBudget, 333, 7, 1}) {
        TestTerrain part(5, 1.5f);
        part.hills();
        part->error_scale = 0.01f;
        const int calls = build_in_steps(part, budget);
        EXPECT_GT(calls, budget >= kTerrainFrameBuildBudget ? 1 : 50) << "budget " << budget;
        EXPECT_EQ(std::memcmp(pyramid(part).data(), expected.data(), expected.size() * sizeof(float)), 0)
            << "budget " << budget;
        EXPECT_EQ(part->build_stamp, 1);
    }
}

TEST(LodPyramid, OnlyAnEditStartsABuildAndAnEditDuringOneRebuildsAfterIt)
{
    TestTerrain t(5, 1.0f);
    t.hills();
    t->error_scale = 0.05f;
    terrain_update_all(t.get());
    const std::vector<float> before = pyramid(t);
    t->work_budget = 12345;
    EXPECT_EQ(terrain_lod_build(t.get(), 1), 1);
    EXPECT_EQ(t->work_budget, 12345) << "no work may be done without an edit";

    brush_add(t.get(), 8.0f, 8.0f, 3.0f, 2.0f);
    EXPECT_EQ(terrain_lod_build(t.get(), 500), 0);
    EXPECT_EQ(t->build_stamp, -2);
    EXPECT_EQ(pyramid(t), before) << "a build in progress leaves array A alone";
    brush_add(t.get(), 40.0f, 40.0f, 6.0f, -3.0f);
    build_in_steps(t, 500);
    EXPECT_EQ(t->build_stamp, 2) << "the running build completes with the count it started from";
    // The next call sees the stale stamp and builds again, ending where an unlimited
    // build of the edited ground ends.
    EXPECT_EQ(terrain_lod_build(t.get(), 500), 0);
    build_in_steps(t, 500);
    EXPECT_EQ(t->build_stamp, 3);

    TestTerrain fresh(5, 1.0f);
    fresh.hills();
    fresh->error_scale = 0.05f;
    brush_add(fresh.get(), 8.0f, 8.0f, 3.0f, 2.0f);
    brush_add(fresh.get(), 40.0f, 40.0f, 6.0f, -3.0f);
    terrain_update_all(fresh.get());
    EXPECT_EQ(pyramid(t), pyramid(fresh));
}
