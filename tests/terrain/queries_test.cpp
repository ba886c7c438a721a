// Heights and normals on a 3 x 3 grid (cell 2) whose cells are not planar, so the
// triangle each query picks shows in the answer; the smoothed height; the tile lookup.
#include "terrain/terrain_queries.h"
#include "terrain/tile_materials.h"
#include "terrain_fixture.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// Heights by row (z), then column (x):
//   z=0:  0  1  4
//   z=1:  2  6  5
//   z=2:  6  8  7
// Cell (0,0) has even parity: diagonal (0,0)-(1,1); triangle A (pivot (1,0)) is the
// plane h = X + 5Z, triangle B (pivot (0,1)) h = 4X + 2Z (grid units).
// Cell (1,0) is odd: diagonal (2,0)-(1,1); triangle C (pivot (1,0)) is
// h = 1 + 3(X-1) + 5Z, triangle D (pivot (2,1)) h = 6 - X + Z.
struct Sloped : TestTerrain {
    Sloped() : TestTerrain(0, 2.0f)
    {
        const float rows[9] = {0, 1, 4, 2, 6, 5, 6, 8, 7};
        std::copy(rows, rows + 9, record->heights);
        std::copy(rows, rows + 9, record->heights_copy);
    }
};

// Height, then the normal (-dh/dx, 1, -dh/dz) * cell^2, world slopes being grid
// slopes / 2.
void expect_ground(terrain_state* t, float x, float z, float h, float nx, float nz)
{
    float n[3];
    terrain_normal_at(t, x, z, n);
    EXPECT_FLOAT_EQ(terrain_height_at(t, x, z), h) << "at " << x << "," << z;
    EXPECT_EQ(std::vector<float>(n, n + 3), (std::vector<float>{nx, t->cell * t->cell, nz})) << x << "," << z;
}

}  // namespace

TEST(TerrainQueries, HeightAndNormalComeFromTheSameCheckerboardTriangle)
{
    Sloped t;
    expect_ground(t.get(), 1.0f, 0.5f, 0.5f + 5 * 0.25f, -2, -10);          // A: slopes 1/2, 5/2
    expect_ground(t.get(), 0.5f, 1.0f, 4 * 0.25f + 2 * 0.5f, -8, -4);       // B: 2, 1
    expect_ground(t.get(), 2.5f, 0.5f, 1 + 3 * 0.25f + 5 * 0.25f, -6, -10);  // C: 3/2, 5/2
    expect_ground(t.get(), 3.5f, 1.5f, 6 - 1.75f + 0.75f, 2, -2);           // D: -1/2, 1/2
    // Exactly on the diagonal the first triangle is kept, in both parities: the
    // height is the same either way, the normal tells the triangles apart.
    expect_ground(t.get(), 1.0f, 1.0f, 3.0f, -2, -10);   // cell (0,0): A, not B
    expect_ground(t.get(), 3.0f, 1.0f, 5.0f, -6, -10);   // cell (1,0): C, not D
    EXPECT_EQ(terrain_pick_triangle(0.5f, 0.5000001f).pz, 1);
    // Off the grid the ground is flat across and keeps the edge's slope along it.
    expect_ground(t.get(), 100.0f, 3.0f, 6.0f, 0, -4);
    expect_ground(t.get(), -7.0f, 1.0f, 1.0f, 0, -4);
    EXPECT_FLOAT_EQ(terrain_height_at(t.get(), 1e30f, -1e30f), 4.0f);
    EXPECT_FLOAT_EQ(terrain_height_at(t.get(), std::numeric_limits<float>::infinity(), 3.0f), 6.0f);

    // The as-loaded copy answers on its own.
    t.h(1, 0) += 4.0f;
    EXPECT_FLOAT_EQ(terrain_height_at(t.get(), 2.0f, 0.0f), 5.0f);
    EXPECT_FLOAT_EQ(terrain_interpolate(t.get(), t->heights_copy, 1.0f, 0.5f), 1.75f);
}

TEST(TerrainQueries, NaNOrNoGridReadsNothing)
{
    Sloped t;
    const float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_TRUE(std::isnan(terrain_height_at(t.get(), nan, 1.0f)));
    float n[3];
    terrain_normal_at(t.get(), nan, nan, n);
    EXPECT_FLOAT_EQ(n[1], 4.0f);
    auto empty = std::make_unique<terrain_state>();
    terrain_init(empty.get());
    EXPECT_EQ(terrain_height_at(empty.get(), 3.0f, 4.0f), 0.0f);
    EXPECT_EQ(terrain_height_smoothed(empty.get(), 3.0f, 4.0f), 0.0f);
}

TEST(TerrainQueries, SmoothedHeightWeighsPointsWithinTenUnitsAndFadesOverOneCell)
{
    // Cell 8: around the centre point (8, 8) the window holds columns and rows 0..3.
    // Weights: 1 for the centre and its four neighbours (d = 0, 8); (18 - d) / 8 for
    // the diagonals (d = 11.31), for the points 16 away (0.25, read at the clamped
    // edge), and for (3,0)-like points at d = 17.89; 0 beyond 18. Only the centre
    // is 1, so the mean is 1 / 8.898874.
    TestTerrain t(0, 8.0f);
    t.h(1, 1) = 1.0f;
    EXPECT_NEAR(terrain_height_smoothed(t.get(), 8.0f, 8.0f), 0.1123738f, 1e-6);

    // A ramp h = x reads back unchanged where the window is whole; far away and
    // non-finite positions finish on the edge heights.
    TestTerrain ramp(4, 2.0f);
    for (int k = 0; k < ramp->size * ramp->size; ++k)
        ramp->heights[k] = 2.0f * float(k % ramp->size);
    EXPECT_NEAR(terrain_height_smoothed(ramp.get(), 31.0f, 29.0f), 31.0f, 1e-4);
    EXPECT_NEAR(terrain_height_smoothed(ramp.get(), 1e30f, 30.0f), 64.0f, 1e-4);
    EXPECT_NEAR(terrain_height_smoothed(ramp.get(), std::numeric_limits<float>::infinity(), 5.0f), 64.0f, 1e-4);
}

TEST(TerrainQueries, TileLookupTruncatesAndClampsToTheMap)
{
    TestTerrain t(1, 1.0f);  // 2 x 2 tiles, each 2 x 2 cells
    for (int k = 0; k < 4; ++k)
        t->tile_map[k] = uint8_t(10 + k);
    const struct {
        float x, z;
        int tile;
    } cases[] = {{1.9f, 0.5f, 10}, {2.0f, 0.5f, 11}, {0.5f, 2.0f, 12}, {-0.9f, -0.9f, 10}, {100.0f, 100.0f, 13},
                 {std::numeric_limits<float>::quiet_NaN(), 3.0f, 12},
                 {std::numeric_limits<float>::infinity(), -1e30f, 11}};
    for (const auto& c : cases)
        EXPECT_EQ(terrain_tile_at(t.get(), c.x, c.z), c.tile) << c.x << "," << c.z;
}
