// Where the detail windows go, on the CPU: sizes by cell size, the snapped and
// clamped origin, and which level the next redraw serves.
#include "terrain/terrain_textures.h"
#include "terrain_fixture.h"

TEST(DetailWindows, SizesGrowForFineCells)
{
    int32_t l = 0, m = 0;
    for (float cell : {1.0f, 2.0f, 7.5f}) {
        terrain_window_sizes(cell, &l, &m);
        EXPECT_EQ(l, 64);
        EXPECT_EQ(m, 256);
    }
    terrain_window_sizes(0.5f, &l, &m);
    EXPECT_EQ(l, 128);
    EXPECT_EQ(m, 512);
    terrain_window_sizes(0.25f, &l, &m);
    EXPECT_EQ(l, 256);
    EXPECT_EQ(m, 1024);
    terrain_window_sizes(0.3f, &l, &m);
    EXPECT_EQ(l, 256) << "l is the first power of two from 128 with l * cell >= 64";
    terrain_window_sizes(1.0f / 256.0f, &l, &m);
    EXPECT_EQ(l, 16384);
    EXPECT_EQ(m, 65536);
}

TEST(DetailWindows, OriginsSnapToQuarterStepsAndStayOnTheGrid)
{
    EXPECT_EQ(terrain_window_origin(500, 64, 1025), 464);
    EXPECT_EQ(terrain_window_origin(503, 64, 1025), 464);
    EXPECT_EQ(terrain_window_origin(504, 64, 1025), 480);
    EXPECT_EQ(terrain_window_origin(10, 64, 1025), 0);
    EXPECT_EQ(terrain_window_origin(-50, 64, 1025), 0) << "C's % is negative here; the clamp must hold";
    EXPECT_EQ(terrain_window_origin(-1000000, 256, 1025), 0);
    EXPECT_EQ(terrain_window_origin(2000, 64, 1025), 960);
    EXPECT_EQ(terrain_window_origin(1000000, 256, 1025), 768);
    EXPECT_EQ(terrain_window_origin(300, 1024, 1025), 0);
    for (int cam = -100; cam < 1200; cam += 7) {
        const int32_t o = terrain_window_origin(cam, 256, 1025);
        EXPECT_EQ(o % 64, 0);
        EXPECT_GE(o, 0);
        EXPECT_LE(o + 256, 1024);
    }
}

TEST(DetailWindows, PickCoarsestFirstWithoutStarving)
{
    TestTerrain t(9, 1.0f);   // 1025 points
    const int32_t windows[3] = {64, 256, 1024};
    for (int k = 0; k < 3; ++k)
        t->detail_levels[k] = {0, 0, 0, 1024, 0, windows[k], 1};
    t->detail_level_count = 3;
    t->camera_cell_x = 500;
    t->camera_cell_z = 500;
    int32_t x = -1, z = -1;
    EXPECT_EQ(terrain_pick_level(t.get(), &x, &z), 2);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(z, 0);
    t->detail_levels[2].origin_x = 0;
    EXPECT_EQ(terrain_pick_level(t.get(), &x, &z), 1);
    EXPECT_EQ(x, 384);
    t->detail_levels[1].origin_x = t->detail_levels[1].origin_z = 384;
    EXPECT_EQ(terrain_pick_level(t.get(), &x, &z), 0);
    t->detail_levels[0].origin_x = t->detail_levels[0].origin_z = 464;
    EXPECT_EQ(terrain_pick_level(t.get(), &x, &z), -1) << "a camera inside every window's centre half";

    // Near the grid's corner the whole-grid window stays "far" for good; with the
    // same origin it must give way to the finer levels.
    t->camera_cell_x = t->camera_cell_z = 1000;
    EXPECT_EQ(terrain_pick_level(t.get(), &x, &z), 1);
    EXPECT_EQ(x, 768);
    t->detail_levels[1].origin_x = t->detail_levels[1].origin_z = 768;
    EXPECT_EQ(terrain_pick_level(t.get(), &x, &z), 0);
    EXPECT_EQ(x, 960);
    t->detail_levels[0].origin_x = t->detail_levels[0].origin_z = 960;
    EXPECT_EQ(terrain_pick_level(t.get(), &x, &z), -1);

    // A redraw being served is picked even where nothing moves.
    t->detail_levels[2].redraw = 2;
    EXPECT_EQ(terrain_pick_level(t.get(), &x, &z), 2);
    t->detail_levels[2].redraw = 1;
    EXPECT_EQ(terrain_pick_level(t.get(), &x, &z), -1) << "a request waits until it is served";
}
