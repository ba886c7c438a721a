// The refine-distance pyramid: values against hand-worked cases, a build split over
// many small budgets against one unlimited build, and edits during a build.
#include "terrain/terrain_deform.h"
#include "terrain/terrain_lod.h"
#include "terrain_fixture.h"

#include <cstring>
#include <vector>

namespace {

std::vector<float> pyramid(TestTerrain& t)
{
    return std::vector<float>(t->lod_error_a, t->lod_error_a + terrain_pyramid_nodes(t->n));
}

// Calls until the build is done; returns how many calls it took. A build that never
// ends fails the test instead of holding it.
int build_in_steps(TestTerrain& t, int32_t budget)
{
    constexpr int kMostCalls = 10000000;
    int calls = 1;
    while (!terrain_lod_build(t.get(), budget)) {
        if (++calls > kMostCalls) {
            ADD_FAILURE() << "the build did not end in " << kMostCalls << " calls of budget " << budget;
            break;
        }
    }
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
