// Where the detail windows go, on the CPU: sizes by cell size, the snapped and
// clamped origin, and which level the next redraw serves.
#include "terrain/terrain_textures.h"
#include "terrain_fixture.h"

TEST(DetailWindows, SizesGrowForFineCellsAndOriginsSnapInsideTheGrid)
{
    // l is the first power of two from 128 with l * cell >= 64, and m = 4 l.
    const struct {
        float cell;
        int32_t l;
    } sizes[] = {{7.5f, 64}, {1.0f, 64}, {0.5f, 128}, {0.3f, 256}, {1.0f / 256.0f, 16384}};
    for (const auto& s : sizes) {
        int32_t l = 0, m = 0;
        terrain_window_sizes(s.cell, &l, &m);
        EXPECT_EQ(l, s.l) << s.cell;
        EXPECT_EQ(m, 4 * s.l) << s.cell;
    }

    // Quarter steps around the camera, kept on the grid (C's % is negative left of it).
    EXPECT_EQ(terrain_window_origin(503, 64, 1025), 464);
    EXPECT_EQ(terrain_window_origin(504, 64, 1025), 480);
    EXPECT_EQ(terrain_window_origin(-50, 64, 1025), 0);
    EXPECT_EQ(terrain_window_origin(1000000, 256, 1025), 768);
    EXPECT_EQ(terrain_window_origin(300, 1024, 1025), 0);
}

TEST(DetailWindows, PickCoarsestFirstWithoutStarvingTheFinerLevels)
{
    TestTerrain t(9, 1.0f);   // 1025 points
    const int32_t windows[3] = {64, 256, 1024};
    for (int k = 0; k < 3; ++k)
        t->detail_levels[k] = {0, 0, 0, 1024, 0, windows[k], 1};
    t->detail_level_count = 3;
    t->camera_cell_x = t->camera_cell_z = 500;
    int32_t x = -1, z = -1;
    EXPECT_EQ(terrain_pick_level(t.get(), &x, &z), 2);
    EXPECT_EQ(x, 0);
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
    t->detail_levels[0].origin_x = t->detail_levels[0].origin_z = 960;
    EXPECT_EQ(terrain_pick_level(t.get(), &x, &z), -1);

    // A redraw being served is picked even where nothing moves; a request waits.
    t->detail_levels[2].redraw = 2;
    EXPECT_EQ(terrain_pick_level(t.get(), &x, &z), 2);
    t->detail_levels[2].redraw = 1;
    EXPECT_EQ(terrain_pick_level(t.get(), &x, &z), -1);
}
