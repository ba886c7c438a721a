// The refine-distance pyramid: values against hand-worked cases, a build split over
// many small budgets against one unlimited build, and edits during a build.
#include "terrain/terrain_deform.h"
#include "terrain/terrain_lod.h"
#include "terrain_fixture.h"

#include <cmath>
#include <cstring>
#include <vector>

namespace {

void hills(TestTerrain& t)
{
    for (int j = 0; j < t->size; ++j)
        for (int i = 0; i < t->size; ++i)
            t.h(i, j) = 3.0f * std::sin(i * 0.4f) + 2.0f * std::cos(j * 0.3f) + float((i * j) % 7) * 0.1f;
}

std::vector<float> pyramid(TestTerrain& t)
{
    const int64_t nodes = terrain_pyramid_nodes(t->n);
    return std::vector<float>(t->lod_error_a, t->lod_error_a + nodes);
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

TEST(LodPyramid, NodeValuesFollowTheErrorAndTheNodeSize)
{
    // n = 0: one node over a 3 x 3 grid whose centre stands 1 above a flat plane.
    TestTerrain t(0, 2.0f);
    t->error_scale = 0.5f;
    t.h(1, 1) = 1.0f;
    ASSERT_EQ(terrain_lod_build(t.get(), kTerrainUnlimitedBudget), 1);
    const float S = 4.0f;
    const float own = 1.0f / 0.5f + S * 0.7071067811865476f;
    EXPECT_FLOAT_EQ(t->lod_error_a[0], own * own);
    EXPECT_EQ(t->build_stamp, 1);

    // n = 1, flat: the finest nodes hold only their bounding circle; the root takes
    // the larger of its own circle, its children and the reach past its neighbours'
    // children (none here, so the reach alone).
    TestTerrain f(1, 1.0f);
    f->error_scale = 1.0f;
    ASSERT_EQ(terrain_lod_build(f.get(), kTerrainUnlimitedBudget), 1);
    const float fine = 4.0f * 0.7071067811865476f * 0.5f;
    for (int node = 1; node < 5; ++node)
        EXPECT_FLOAT_EQ(f->lod_error_a[node], fine * fine);
    const float root_reach = 4.0f * 1.5826829301659018f * 0.5f;
    EXPECT_FLOAT_EQ(f->lod_error_a[0], root_reach * root_reach);

    // n = 2: a level-1 node's value reaches past its neighbours' nearest children.
    TestTerrain g(2, 1.0f);
    g->error_scale = 1.0f;
    ASSERT_EQ(terrain_lod_build(g.get(), kTerrainUnlimitedBudget), 1);
    const float leaf = 8.0f * 0.7071067811865476f * 0.25f;
    const float reach = leaf + 8.0f * 1.5826829301659018f * 0.25f;
    EXPECT_FLOAT_EQ(g->lod_error_a[terrain_node_index(1, 0, 0)], reach * reach);
}

TEST(LodPyramid, BudgetedBuildEqualsTheUnlimitedBuildBitForBit)
{
    TestTerrain whole(5, 1.5f);
    hills(whole);
    whole->error_scale = 0.01f;
    ASSERT_EQ(terrain_lod_build(whole.get(), kTerrainUnlimitedBudget), 1);
    const std::vector<float> expected = pyramid(whole);

    for (int32_t budget : {kTerrainFrameBuildBudget, 333, 7, 1}) {
        TestTerrain part(5, 1.5f);
        hills(part);
        part->error_scale = 0.01f;
        const int calls = build_in_steps(part, budget);
        EXPECT_GT(calls, budget >= kTerrainFrameBuildBudget ? 1 : 50) << "budget " << budget;
        EXPECT_EQ(std::memcmp(pyramid(part).data(), expected.data(), expected.size() * sizeof(float)), 0)
            << "budget " << budget;
        EXPECT_EQ(part->build_stamp, 1);
    }
}

TEST(LodPyramid, NothingToDoWithoutEditsAndAnEditStartsANewBuild)
{
    TestTerrain t(4, 1.0f);
    hills(t);
    t->error_scale = 0.05f;
    terrain_update_all(t.get());
    const std::vector<float> before = pyramid(t);
    t->work_budget = 12345;
    EXPECT_EQ(terrain_lod_build(t.get(), 1), 1);
    EXPECT_EQ(t->work_budget, 12345) << "no work may be done without an edit";
    EXPECT_EQ(pyramid(t), before);

    brush_add(t.get(), 8.0f, 8.0f, 3.0f, 2.0f);
    EXPECT_EQ(terrain_lod_build(t.get(), 1), 0);
    EXPECT_EQ(t->build_stamp, -2);
    EXPECT_EQ(pyramid(t), before) << "a build in progress leaves array A alone";
    build_in_steps(t, kTerrainFrameBuildBudget);
    EXPECT_EQ(t->build_stamp, 2);
    EXPECT_NE(pyramid(t), before);
}

TEST(LodPyramid, AnEditDuringABuildFinishesItThenRebuilds)
{
    TestTerrain t(5, 1.0f);
    hills(t);
    t->error_scale = 0.05f;
    EXPECT_EQ(terrain_lod_build(t.get(), 500), 0);
    EXPECT_EQ(t->build_stamp, -1);
    brush_add(t.get(), 40.0f, 40.0f, 6.0f, -3.0f);
    ASSERT_EQ(t->height_change_count, 2);
    build_in_steps(t, 500);
    EXPECT_EQ(t->build_stamp, 1) << "the running build completes with the count it started from";

    // The next call sees the stale stamp and builds again, ending where an unlimited
    // build of the edited ground ends.
    EXPECT_EQ(terrain_lod_build(t.get(), 500), 0);
    build_in_steps(t, 500);
    EXPECT_EQ(t->build_stamp, 2);

    TestTerrain fresh(5, 1.0f);
    hills(fresh);
    fresh->error_scale = 0.05f;
    brush_add(fresh.get(), 40.0f, 40.0f, 6.0f, -3.0f);
    terrain_update_all(fresh.get());
    EXPECT_EQ(pyramid(t), pyramid(fresh));
}

TEST(LodPyramid, TriangleErrorResumesWhereTheBudgetRanOut)
{
    TestTerrain t(3, 1.0f);
    hills(t);
    t.h(3, 12) = 50.0f;   // the worst point lies in a late row

    t->build_triangle_row = 0;
    t->build_triangle_max = 0.0f;
    t->work_budget = kTerrainUnlimitedBudget;
    ASSERT_EQ(terrain_triangle_error(t.get(), 0, 0, 16, 16), 1);
    const float whole = t->build_triangle_max;

    t->build_triangle_row = 0;
    t->build_triangle_max = 0.0f;
    int calls = 0;
    do {
        t->work_budget = 20;   // 10 per call leaves room for about one long row
        ++calls;
    } while (!terrain_triangle_error(t.get(), 0, 0, 16, 16));
    EXPECT_GT(calls, 5);
    EXPECT_EQ(t->build_triangle_max, whole);
    EXPECT_EQ(t->build_triangle_row, 0);
    EXPECT_GT(whole, 40.0f);
}
