// The record's allocation, release and tile lookup.
#include "terrain/tile_materials.h"
#include "terrain_fixture.h"

#include <limits>

TEST(TerrainRecord, AllocatesPlausibleGridsOnlyAndFreesForTheNextLoad)
{
    TestTerrain t(0, 2.5f, -3.0f, 9.0f);   // 3 x 3 points, one tile, one block
    EXPECT_EQ(t->size, 3);
    EXPECT_FLOAT_EQ(t->world_size, 5.0f);
    EXPECT_EQ(t->heights[8], -3.0f) << "the minimum until a loader fills it";
    EXPECT_EQ(t->heights_copy[8], -3.0f);

    const float inf = std::numeric_limits<float>::infinity(), nan = std::numeric_limits<float>::quiet_NaN();
    const struct {
        int n;
        float cell, min, max;
    } refused[] = {{-1, 1, 0, 1},  {13, 1, 0, 1},     {1 << 30, 1, 0, 1}, {2, 0, 0, 1},   {2, -1, 0, 1},
                   {2, nan, 0, 1}, {2, inf, 0, 1},    {2, 1e-9f, 0, 1},   {2, 1e30f, 0, 1}, {2, 1, nan, 1},
                   {2, 1, 0, inf}};
    for (const auto& c : refused) {
        auto r = std::make_unique<terrain_state>();
        terrain_init(r.get());
        EXPECT_EQ(terrain_alloc(r.get(), c.n, c.cell, c.min, c.max), 0) << c.n << " " << c.cell;
        EXPECT_EQ(r->heights, nullptr);
        terrain_free(r.get());
    }

    t->camera_cell_x = 5;
    t->change_flags = 7;
    t->edit_lock = 1;
    t->changed_cells = 0;
    t->appended_decals = -1;
    t->detail_level_count = 3;
    terrain_free(t.get());
    EXPECT_EQ(t->heights, nullptr);
    EXPECT_EQ(t->size, 0);
    EXPECT_EQ(t->camera_cell_x, kTerrainNoCameraCell);
    EXPECT_EQ(t->change_flags, 0);
    EXPECT_EQ(t->edit_lock, 0);
    EXPECT_EQ(t->changed_cells, ~uint64_t{0});
    EXPECT_EQ(t->appended_decals, 0);
    EXPECT_EQ(t->detail_level_count, 0);
    terrain_free(t.get());   // twice is harmless; so is the fixture's third
    EXPECT_EQ(terrain_alloc(t.get(), 1, 1.0f, 0, 1), 1);
}

TEST(TileMaterials, LookupTruncatesAndClampsToTheMap)
{
    TestTerrain t(1, 1.0f);  // 2 x 2 tiles, each 2 x 2 cells
    for (int k = 0; k < 4; ++k)
        t->tile_map[k] = uint8_t(10 + k);
    EXPECT_EQ(terrain_tile_at(t.get(), 1.9f, 0.5f), 10);
    EXPECT_EQ(terrain_tile_at(t.get(), 2.0f, 0.5f), 11);
    EXPECT_EQ(terrain_tile_at(t.get(), 0.5f, 2.0f), 12);
    EXPECT_EQ(terrain_tile_at(t.get(), -0.9f, -0.9f), 10);
    EXPECT_EQ(terrain_tile_at(t.get(), 100.0f, 100.0f), 13);
    EXPECT_EQ(terrain_tile_at(t.get(), std::numeric_limits<float>::quiet_NaN(), 3.0f), 12);
    EXPECT_EQ(terrain_tile_at(t.get(), std::numeric_limits<float>::infinity(), -1e30f), 11);
}
