// Decals and their bucket grid. The terrain is 128 units wide (n = 3, cell 8), so
// each of the 8 x 8 bucket cells is 16 units and 2 grid cells wide.
#include "terrain/decals.h"
#include "foundation/memory.h"
#include "terrain_fixture.h"

#include <cmath>
#include <cstdlib>
#include <limits>
#include <numbers>
#include <random>
#include <set>
#include <vector>

namespace {

decal make_decal(float x, float z, float size, float aspect = 1.0f, float angle = 0.0f)
{
    return decal{1, 0, 0, x, z, angle, size, aspect, std::sin(angle), std::cos(angle)};
}

std::vector<int32_t> as_vector(const growable_array* list)
{
    const int32_t* items = static_cast<const int32_t*>(list->items);
    return std::vector<int32_t>(items, items + list->count);
}

using Cells = std::vector<std::vector<int32_t>>;   // row * 8 + column

Cells snapshot(terrain_state* t)
{
    Cells all;
    for (int k = 0; k < 64; ++k)
        all.push_back(as_vector(&t->decal_buckets[k / 8][k % 8]));
    return all;
}

struct DecalTerrain : TestTerrain {
    DecalTerrain() : TestTerrain(3, 8.0f) { EXPECT_EQ(terrain_decals_alloc(get()), 1); }
    int add(const decal& d) { return decal_insert(get(), &d, record->decals.count); }
};

}  // namespace

TEST(DecalBuckets, TheTurnedBoxDecidesTheCellsAndNearMergesThem)
{
    DecalTerrain t;
    t.add(make_decal(20, 20, 4));                                   // 18..22: cell (1,1)
    t.add(make_decal(32, 20, 4));                                   // 30..34 crosses x = 32
    t.add(make_decal(28, 29, 4, 2, float(std::numbers::pi / 2)));   // turned: 26..30 by 25..33
    t.add(make_decal(-1, 130, 4));                                  // partly off the terrain
    Cells expected(64);
    expected[9] = {0, 1, 2};
    expected[10] = {1};
    expected[17] = {2};
    expected[56] = {3};
    EXPECT_EQ(snapshot(t.get()), expected);

    // Cells (1,1) and (1,2) merged: 1 once.
    EXPECT_EQ(as_vector(decals_near(t.get(), 17, 17, 47, 30)), (std::vector<int32_t>{0, 1, 2}));
    EXPECT_EQ(decals_near(t.get(), 17, 17, 20, 20), &t->decal_buckets[1][1]) << "one cell is its own list";
    EXPECT_EQ(as_vector(decals_near(t.get(), -500, -500, 500, 500)), (std::vector<int32_t>{0, 1, 2, 3}));
    EXPECT_TRUE(as_vector(decals_near(t.get(), 20, 40, 40, 20)).empty()) << "a box given backwards";
}

TEST(DecalBuckets, EditorStyleEditsMatchAFreshRebuild)
{
    DecalTerrain t;
    std::mt19937 random(7);
    auto uniform = [&](float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(random); };
    auto some_decal = [&] {
        return make_decal(uniform(-10, 140), uniform(-10, 140), uniform(0.5f, 40), uniform(0.2f, 3), uniform(-4, 4));
    };
    for (int step = 0; step < 600; ++step) {
        SCOPED_TRACE(step);
        const int32_t count = t->decals.count;
        const unsigned op = random() % 5;
        const decal d = some_decal();
        if (op <= 1 || count == 0) {
            const int32_t at = count ? int32_t(random() % (count + 1)) : 0;
            decal_buckets_renumber(t.get(), at, 1);
            ASSERT_EQ(decal_insert(t.get(), &d, at), 1);
        } else if (op <= 3) {
            const int32_t at = int32_t(random() % count);
            ASSERT_EQ(decal_delete(t.get(), at), 1);
            decal_buckets_renumber(t.get(), at, -1);
        } else {
            ASSERT_EQ(decal_set(t.get(), &d, int32_t(random() % count)), 1);
        }
        // The lists kept up by the edits are those a fresh rebuild makes, and any box
        // finds the union of its cells, once each, ascending.
        const Cells kept = snapshot(t.get());
        decals_rebuild(t.get());
        ASSERT_EQ(snapshot(t.get()), kept);
        const float x0 = uniform(-20, 150), z0 = uniform(-20, 150);
        const float x1 = x0 + uniform(0, 80), z1 = z0 + uniform(0, 80);
        std::set<int32_t> expected;
        for (int r = decal_bucket_coordinate(t.get(), z0); r <= decal_bucket_coordinate(t.get(), z1); ++r)
            for (int c = decal_bucket_coordinate(t.get(), x0); c <= decal_bucket_coordinate(t.get(), x1); ++c)
                expected.insert(kept[r * 8 + c].begin(), kept[r * 8 + c].end());
        ASSERT_EQ(as_vector(decals_near(t.get(), x0, z0, x1, z1)),
                  std::vector<int32_t>(expected.begin(), expected.end()));
    }
}

TEST(DecalEdits, BadIndicesAreRefusedAndChangeNothing)
{
    DecalTerrain t;
    const decal d = make_decal(20, 20, 4);
    for (int i = 0; i < 20; ++i)   // past the first capacity of 16
        EXPECT_EQ(t.add(make_decal(10.0f + i, 10, 1)), 1);
    EXPECT_EQ(decal_insert(t.get(), nullptr, 20), 1);
    EXPECT_EQ(terrain_decal(t.get(), 20)->texture, 0u) << "no record: a zeroed decal";
    EXPECT_EQ(t->appended_decals, 21);
    const Cells before = snapshot(t.get());
    EXPECT_EQ(decal_insert(t.get(), &d, 22) | decal_insert(t.get(), &d, -1), 0);
    EXPECT_EQ(decal_delete(t.get(), 21) | decal_delete(t.get(), -1), 0);
    EXPECT_EQ(decal_set(t.get(), &d, 21) | decal_set(t.get(), &d, -3), 0);
    EXPECT_EQ(terrain_decal(t.get(), 21), nullptr);
    EXPECT_EQ(t->decals.count, 21);
    EXPECT_EQ(t->appended_decals, 21) << "only plain appends are counted";
    EXPECT_EQ(snapshot(t.get()), before);
    decal_insert(t.get(), &d, 3);
    EXPECT_EQ(t->appended_decals, -1) << "an insertion before the end spoils the count";
}

TEST(DecalEdits, ChangedCellsAndDetailLevelsFollowTheBox)
{
    DecalTerrain t;
    t->detail_level_count = 2;
    t->detail_levels[0] = {0, 0, 0, 0, 0, 4, 0};   // grid 0..4
    t->detail_levels[1] = {0, 0, 0, 8, 8, 8, 0};   // grid 8..16
    // A box spanning grid x -3.5..-0.5 truncates to 0, touching the window at 0
    // (flooring would give -1 and miss it).
    t.add(make_decal(-16, 20, 24));
    EXPECT_EQ(t->detail_levels[0].redraw, 1);
    EXPECT_EQ(t->detail_levels[1].redraw, 0);

    t.add(make_decal(20, 20, 4));                  // grid 2.25..2.75: cell (1,1)
    t->changed_cells = 0;
    t->detail_levels[0].redraw = 0;
    const decal moved = make_decal(100, 100, 4);   // to cell (6,6), grid 12.25..12.75
    decal_set(t.get(), &moved, 1);
    EXPECT_EQ(t->changed_cells, (uint64_t{1} << 9) | (uint64_t{1} << 54));
    EXPECT_EQ(t->detail_levels[0].redraw, 1) << "the old place is redrawn";
    EXPECT_EQ(t->detail_levels[1].redraw, 1) << "and the new one";
}

TEST(DecalEdits, NonFinitePlacesAndARefusedGrowthLeaveTheListsConsistent)
{
    DecalTerrain t;
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    for (const decal& d : {make_decal(nan, 20, 4), make_decal(inf, -inf, 4), make_decal(20, 20, nan),
                           make_decal(1e30f, 20, 1e30f)})
        t.add(d);
    const Cells kept = snapshot(t.get());
    decals_rebuild(t.get());
    EXPECT_EQ(snapshot(t.get()), kept);
    for (int32_t i = 3; i >= 0; --i)
        decal_delete(t.get(), i);
    EXPECT_EQ(snapshot(t.get()), Cells(64));

    for (int i = 0; i < 16; ++i)   // fills the first capacity of the array and of cell (0,0)
        t.add(make_decal(1, 1, 1));
    const Cells before = snapshot(t.get());
    mem_system_allocator refusing{[](size_t size) { return malloc(size); },
                                  [](void*, size_t) -> void* { return nullptr; }, [](void* b) { free(b); }};
    mem_set_system_allocator(&refusing);
    const decal d = make_decal(1, 1, 1);
    const int inserted = decal_insert(t.get(), &d, 16);
    decal_bucket(t.get(), 3);   // the cell list is full too
    mem_set_system_allocator(nullptr);
    EXPECT_EQ(inserted, 0);
    EXPECT_EQ(t->decals.count, 16);
    EXPECT_EQ(snapshot(t.get()), before);
}
