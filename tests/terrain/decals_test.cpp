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

decal make_decal(float x, float z, float size, float aspect = 1.0f, float angle = 0.0f, uint32_t texture = 1)
{
    decal d{};
    d.texture = texture;
    d.x = x;
    d.z = z;
    d.size = size;
    d.aspect = aspect;
    d.angle = angle;
    d.sine = std::sin(angle);
    d.cosine = std::cos(angle);
    return d;
}

std::vector<int32_t> cell(terrain_state* t, int row, int column)
{
    const growable_array& list = t->decal_buckets[row][column];
    const int32_t* items = static_cast<const int32_t*>(list.items);
    return std::vector<int32_t>(items, items + list.count);
}

std::vector<int32_t> as_vector(const growable_array* list)
{
    const int32_t* items = static_cast<const int32_t*>(list->items);
    return std::vector<int32_t>(items, items + list->count);
}

// The cells (row * 8 + column) that hold index.
std::set<int> cells_holding(terrain_state* t, int32_t index)
{
    std::set<int> found;
    for (int r = 0; r < 8; ++r)
        for (int c = 0; c < 8; ++c)
            for (int32_t v : cell(t, r, c))
                if (v == index)
                    found.insert(r * 8 + c);
    return found;
}

struct DecalTerrain : TestTerrain {
    DecalTerrain() : TestTerrain(3, 8.0f) { EXPECT_EQ(terrain_decals_alloc(get()), 1); }
    int add(const decal& d) { return decal_insert(get(), &d, record->decals.count); }
};

using Cells = std::vector<std::vector<int32_t>>;

Cells snapshot(terrain_state* t)
{
    Cells all;
    for (int r = 0; r < 8; ++r)
        for (int c = 0; c < 8; ++c)
            all.push_back(cell(t, r, c));
    return all;
}

}  // namespace

TEST(DecalBuckets, BoxDecidesTheCells)
{
    DecalTerrain t;
    t.add(make_decal(20, 20, 4));                    // 18..22: cell (1,1)
    t.add(make_decal(32, 20, 4));                    // 30..34 crosses x = 32
    t.add(make_decal(28, 29, 4, 2));                 // 24..32 by 27..31
    t.add(make_decal(28, 29, 4, 2, float(std::numbers::pi / 2)));  // turned: 26..30 by 25..33
    t.add(make_decal(-1, 130, 4));                   // partly off the terrain
    EXPECT_EQ(cells_holding(t.get(), 0), (std::set<int>{9}));
    EXPECT_EQ(cells_holding(t.get(), 1), (std::set<int>{9, 10}));
    EXPECT_EQ(cells_holding(t.get(), 2), (std::set<int>{9, 10}));
    EXPECT_EQ(cells_holding(t.get(), 3), (std::set<int>{9, 17}));
    EXPECT_EQ(cells_holding(t.get(), 4), (std::set<int>{56}));
    EXPECT_EQ(cell(t.get(), 1, 1), (std::vector<int32_t>{0, 1, 2, 3}));

    float hx, hz;
    decal d = make_decal(0, 0, 4, 2, float(std::numbers::pi / 6));
    decal_box(&d, &hx, &hz);
    EXPECT_NEAR(hx, 2 * std::sqrt(3.0) + 1, 1e-5);  // |cos * 4| + |sin * 2|
    EXPECT_NEAR(hz, std::sqrt(3.0) + 2, 1e-5);      // |cos * 2| + |sin * 4|
}

TEST(DecalBuckets, NearMergesCellsWithoutDuplicates)
{
    DecalTerrain t;
    t.add(make_decal(32, 20, 4));   // 0: cells (1,1) and (1,2)
    t.add(make_decal(40, 20, 2));   // 1: (1,2)
    t.add(make_decal(20, 20, 2));   // 2: (1,1)
    t.add(make_decal(20, 40, 2));   // 3: (2,1)
    t.add(make_decal(100, 100, 2)); // 4: far away

    EXPECT_EQ(as_vector(decals_near(t.get(), 17, 17, 47, 30)), (std::vector<int32_t>{0, 1, 2}));
    EXPECT_EQ(as_vector(decals_near(t.get(), 17, 17, 47, 47)), (std::vector<int32_t>{0, 1, 2, 3}));
    // One cell: that cell's own list.
    EXPECT_EQ(decals_near(t.get(), 17, 17, 20, 20), &t->decal_buckets[1][1]);
    // Boxes reaching off the terrain clamp to the border cells.
    EXPECT_EQ(as_vector(decals_near(t.get(), -500, -500, 500, 500)), (std::vector<int32_t>{0, 1, 2, 3, 4}));
    // A box given backwards covers no rows.
    EXPECT_TRUE(as_vector(decals_near(t.get(), 20, 40, 40, 20)).empty());
}

TEST(DecalBuckets, EditorStyleEditsMatchAFreshRebuild)
{
    DecalTerrain t;
    std::mt19937 random(7);
    auto uniform = [&](float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(random); };
    auto some_decal = [&] {
        return make_decal(uniform(-10, 140), uniform(-10, 140), uniform(0.5f, 40), uniform(0.2f, 3),
                          uniform(-4, 4), uint32_t(random() % 3 + 1));
    };

    for (int step = 0; step < 600; ++step) {
        const int32_t count = t->decals.count;
        const unsigned op = random() % 5;
        if (op <= 1 || count == 0) {
            int32_t at = count ? int32_t(random() % (count + 1)) : 0;
            decal d = some_decal();
            decal_buckets_renumber(t.get(), at, 1);
            ASSERT_EQ(decal_insert(t.get(), &d, at), 1);
        } else if (op <= 3) {
            int32_t at = int32_t(random() % count);
            ASSERT_EQ(decal_delete(t.get(), at), 1);
            decal_buckets_renumber(t.get(), at, -1);
        } else {
            decal d = some_decal();
            ASSERT_EQ(decal_set(t.get(), &d, int32_t(random() % count)), 1);
        }

        Cells kept = snapshot(t.get());
        for (const auto& list : kept)
            for (size_t k = 0; k < list.size(); ++k) {
                ASSERT_LT(list[k], t->decals.count) << "step " << step;
                ASSERT_GE(list[k], 0);
                if (k) {
                    ASSERT_LT(list[k - 1], list[k]) << "step " << step;
                }
            }

        // Any box: the union of its cells, once each, ascending.
        float x0 = uniform(-20, 150), z0 = uniform(-20, 150);
        float x1 = x0 + uniform(0, 80), z1 = z0 + uniform(0, 80);
        std::set<int32_t> expected;
        for (int r = decal_bucket_coordinate(t.get(), z0); r <= decal_bucket_coordinate(t.get(), z1); ++r)
            for (int c = decal_bucket_coordinate(t.get(), x0); c <= decal_bucket_coordinate(t.get(), x1); ++c)
                expected.insert(kept[r * 8 + c].begin(), kept[r * 8 + c].end());
        ASSERT_EQ(as_vector(decals_near(t.get(), x0, z0, x1, z1)),
                  std::vector<int32_t>(expected.begin(), expected.end()));

        if (step % 50 == 49) {
            decals_rebuild(t.get());
            ASSERT_EQ(snapshot(t.get()), kept) << "step " << step;
        }
    }
}

TEST(DecalEdits, BadIndicesAreRefusedAndChangeNothing)
{
    DecalTerrain t;
    decal d = make_decal(20, 20, 4);
    EXPECT_EQ(decal_insert(t.get(), &d, 1), 0);
    EXPECT_EQ(decal_insert(t.get(), &d, -1), 0);
    EXPECT_EQ(t->decals.count, 0);
    EXPECT_EQ(decal_insert(t.get(), &d, 0), 1);   // index = count appends
    EXPECT_EQ(decal_insert(t.get(), nullptr, 1), 1);
    EXPECT_EQ(terrain_decal(t.get(), 1)->texture, 0u);
    const Cells before = snapshot(t.get());
    t->appended_decals = 5;
    EXPECT_EQ(decal_insert(t.get(), &d, 3), 0);
    EXPECT_EQ(decal_delete(t.get(), 2), 0);
    EXPECT_EQ(decal_delete(t.get(), -1), 0);
    EXPECT_EQ(decal_set(t.get(), &d, 2), 0);
    EXPECT_EQ(decal_set(t.get(), &d, -3), 0);
    EXPECT_EQ(t->decals.count, 2);
    EXPECT_EQ(t->appended_decals, 5);
    EXPECT_EQ(snapshot(t.get()), before);
    EXPECT_EQ(terrain_decal(t.get(), 2), nullptr);
}

TEST(DecalEdits, AppendedCountTracksOnlyPlainAppends)
{
    DecalTerrain t;
    EXPECT_EQ(t->appended_decals, 0);
    for (int i = 0; i < 20; ++i)   // past the first capacity of 16
        t.add(make_decal(10.0f + i, 10, 1));
    EXPECT_EQ(t->appended_decals, 20);
    EXPECT_EQ(t->decals.count, 20);
    EXPECT_FLOAT_EQ(terrain_decal(t.get(), 19)->x, 29.0f);

    decal d = make_decal(50, 50, 1);
    decal_buckets_renumber(t.get(), 3, 1);
    decal_insert(t.get(), &d, 3);
    EXPECT_EQ(t->appended_decals, -1);
    EXPECT_FLOAT_EQ(terrain_decal(t.get(), 3)->x, 50.0f);
    EXPECT_FLOAT_EQ(terrain_decal(t.get(), 4)->x, 13.0f);
    t.add(d);
    EXPECT_EQ(t->appended_decals, -1);   // stays -1 until the texture update

    t->appended_decals = 0;
    decal_set(t.get(), &d, 0);
    EXPECT_EQ(t->appended_decals, -1);
    t->appended_decals = 0;
    decal_delete(t.get(), 0);
    EXPECT_EQ(t->appended_decals, -1);
}

TEST(DecalEdits, ChangedCellsAndDetailLevelsFollowTheBox)
{
    DecalTerrain t;
    t->detail_level_count = 2;
    t->detail_levels[0] = {0, 0, 0, 0, 0, 4, 0};     // grid 0..4
    t->detail_levels[1] = {0, 0, 0, 8, 8, 8, 0};     // grid 8..16
    t->changed_cells = 0;

    t.add(make_decal(20, 20, 4));   // grid 2.25..2.75: level 0 only
    EXPECT_EQ(t->changed_cells, uint64_t{1} << 9);
    EXPECT_EQ(t->detail_levels[0].redraw, 1);
    EXPECT_EQ(t->detail_levels[1].redraw, 0);

    // A box spanning grid x -3.5..-0.5 truncates to 0, touching the window at 0
    // (flooring would give -1 and miss it).
    t->detail_levels[0].redraw = 0;
    t.add(make_decal(-16, 20, 24));
    EXPECT_EQ(t->detail_levels[0].redraw, 1);

    t->changed_cells = 0;
    t->detail_levels[0].redraw = 0;
    decal moved = make_decal(100, 100, 4);   // from cell (1,1) to (6,6), grid 12.25..12.75
    decal_set(t.get(), &moved, 0);
    EXPECT_EQ(t->changed_cells, (uint64_t{1} << 9) | (uint64_t{1} << 54));
    EXPECT_EQ(t->detail_levels[0].redraw, 1);   // the old place is redrawn
    EXPECT_EQ(t->detail_levels[1].redraw, 1);   // and the new one
}

TEST(DecalEdits, DecalsWithNonFinitePlacesStayConsistent)
{
    DecalTerrain t;
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    t.add(make_decal(nan, 20, 4));
    t.add(make_decal(inf, -inf, 4));
    t.add(make_decal(20, 20, nan));
    t.add(make_decal(1e30f, 20, 1e30f));
    const Cells kept = snapshot(t.get());
    decals_rebuild(t.get());
    EXPECT_EQ(snapshot(t.get()), kept);
    for (int32_t i = 3; i >= 0; --i)
        decal_delete(t.get(), i);
    for (const auto& list : snapshot(t.get()))
        EXPECT_TRUE(list.empty());
    // A rebuild of nothing leaves every cell empty.
    decals_rebuild(t.get());
    EXPECT_TRUE(as_vector(decals_near(t.get(), 0, 0, 128, 128)).empty());
}

TEST(DecalEdits, FailedGrowthSkipsTheAdditionAndKeepsTheLists)
{
    DecalTerrain t;
    for (int i = 0; i < 16; ++i)   // fills the first capacity of the array and of cell (0,0)
        t.add(make_decal(1, 1, 1));
    const Cells before = snapshot(t.get());
    mem_system_allocator refusing{[](size_t size) { return malloc(size); },
                                  [](void*, size_t) -> void* { return nullptr; }, [](void* b) { free(b); }};
    mem_set_system_allocator(&refusing);
    decal d = make_decal(1, 1, 1);
    const int inserted = decal_insert(t.get(), &d, 16);
    decal_bucket(t.get(), 3);   // the cell list is full too
    mem_set_system_allocator(nullptr);
    EXPECT_EQ(inserted, 0);
    EXPECT_EQ(t->decals.count, 16);
    EXPECT_EQ(snapshot(t.get()), before);
}
