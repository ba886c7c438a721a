// Marks and the mesh builder on the CPU: the mesh is crack-free for any camera and
// detail, culling drops what lies behind, and the detail windows force their nodes.
// Then the mesh as the recording GL table receives it: batches that never overrun the
// streamed buffer, every triangle drawn with the textures of a detail level whose
// window holds it; and the height blocks uploaded under their budget. The most detailed
// distance forces the finest nodes around the camera.
#include "gl_recorder.h"
#include "mesh_check.h"
#include "terrain/terrain_deform.h"
#include "terrain/terrain_lod.h"
#include "terrain/terrain_settings.h"
#include "terrain_fixture.h"

#include <algorithm>
#include <cmath>
#include <set>
#include <vector>

namespace {

// The windows carry texture ids, which the record deletes when it goes: a recording
// GL table takes those calls.
class LodMesh : public testing::Test {
protected:
    void SetUp() override { glrec::install(); }

    static void ready(TestTerrain& t, float error_scale)
    {
        t.hills();
        t->error_scale = error_scale;
        terrain_update_all(t.get());
    }
    static void look(TestTerrain& t, float x, float y, float z, float dx = 0, float dy = -1, float dz = 0)
    {
        const float position[3] = {x, y, z}, direction[3] = {dx, dy, dz};
        std::copy(position, position + 3, t->camera_position);
        std::copy(direction, direction + 3, t->view_direction);
        t->view_sign_mask = (dx >= 0 ? 1 : 0) | (dy >= 0 ? 2 : 0) | (dz >= 0 ? 4 : 0);
        t->camera_cell_x = int32_t(std::floor(x / t->cell));
        t->camera_cell_z = int32_t(std::floor(z / t->cell));
    }
    static void window(TestTerrain& t, int level, int ox, int oz, int w)
    {
        t->detail_levels[level] = {uint32_t(10 * level + 10), uint32_t(10 * level + 11), uint32_t(10 * level + 12),
                                   ox, oz, w, 0};
        t->detail_level_count = std::max(t->detail_level_count, level + 1);
    }
    static std::vector<MeshTriangle> draw(TestTerrain& t)
    {
        EXPECT_EQ(terrain_mesh_alloc(t.get()), 1);
        terrain_lod_mark(t.get());
        terrain_mesh_build(t.get());
        return mesh_triangles(t.get(), t->mesh_vertices, t->mesh_vertex_count);
    }
};

}  // namespace

TEST_F(LodMesh, NoTJunctionsForAnyCameraOrDetail)
{
    const float views[][3] = {{0.5f, 3, 0.5f}, {16, 8, 16}, {31.5f, 2, 9}, {-40, 20, 70}, {10, 60, 25}};
    for (float e : {0.002f, 0.03f, 0.3f, 100.0f}) {
        TestTerrain t(4, 1.0f);
        ready(t, e);
        for (const auto& v : views) {
            look(t, v[0], v[1], v[2]);   // straight down: nothing is culled
            SCOPED_TRACE(testing::Message() << "E " << e << " camera " << v[0] << "," << v[2]);
            expect_crack_free(draw(t), 32);
        }
        // The same with two detail windows forcing detail around a corner.
        window(t, 0, 0, 24, 8);
        window(t, 1, 0, 0, 32);
        look(t, 3, 5, 29);
        expect_crack_free(draw(t), 32);
    }

    // The smallest grid is one fan of eight: every edge midpoint lies on the border.
    TestTerrain t(0, 2.0f);
    ready(t, 1.0f);
    look(t, 1, 10, 1);
    const auto mesh = draw(t);
    ASSERT_EQ(mesh.size(), 8u);
    for (const MeshTriangle& tri : mesh)
        EXPECT_EQ(tri.p[0], (MeshPoint{1, 1}));
    expect_crack_free(mesh, 2);
}

TEST_F(LodMesh, CullingDropsNodesBehindTheCamera)
{
    TestTerrain t(4, 1.0f);
    ready(t, 0.0001f);   // refined everywhere
    look(t, -10, 3, 16, -1, 0, 0);
    EXPECT_TRUE(draw(t).empty()) << "looking away from the grid";
    look(t, -10, 3, 16, 1, 0, 0);
    expect_crack_free(draw(t), 32);

    look(t, 16.5f, 3, 16, 1, 0, 0);
    const auto mesh = draw(t);
    ASSERT_FALSE(mesh.empty());
    for (const MeshTriangle& tri : mesh)
        EXPECT_GE(std::max({tri.p[0].x, tri.p[1].x, tri.p[2].x}), 16) << "a triangle wholly behind the camera";
}

TEST_F(LodMesh, DetailWindowsForceTheirNodesAndABalancedBorder)
{
    TestTerrain t(4, 1.0f);
    ready(t, 1e9f);
    look(t, 1e6f, 0, 1e6f);   // too far to refine anything
    // An 8-wide window at (8, 8): level 3 (nodes 4 wide) columns and rows 2..3, then
    // one more node around on each coarser level.
    window(t, 0, 8, 8, 8);
    terrain_lod_mark(t.get());
    const int ranges[5][2] = {{0, 0}, {0, 1}, {0, 2}, {2, 3}, {1, 0}};   // level 4: none
    for (int k = 0; k <= 4; ++k)
        for (int r = 0; r < (1 << k); ++r)
            for (int c = 0; c < (1 << k); ++c) {
                const bool inside = r >= ranges[k][0] && r <= ranges[k][1] && c >= ranges[k][0] && c <= ranges[k][1];
                EXPECT_EQ(terrain_lod_marked(t.get(), k, r, c), inside ? 1 : 0) << k << " " << r << " " << c;
            }

    // New windows start outside the grid and force nothing.
    window(t, 0, 32, 0, 8);
    terrain_lod_mark(t.get());
    EXPECT_EQ(terrain_lod_marked(t.get(), 0, 0, 0), 0);
}

TEST_F(LodMesh, AFullyRefinedGridStreamsInBatchesThatFitTheBuffer)
{
    TestTerrain t(5, 1.0f);
    ready(t, 0.0001f);
    window(t, 0, 16, 24, 16);
    window(t, 1, 0, 16, 32);
    window(t, 2, 0, 0, 64);
    look(t, 30, 10, 30);
    draw(t);
    terrain_mesh_flush(t.get());
    EXPECT_EQ(t->mesh_vertex_count, 0);
    EXPECT_EQ(t->draw_segments.count, 1) << "the last segment stays open";

    const glrec::Drawn drawn = glrec::drawn();
    EXPECT_GE(drawn.uploads, 2) << "64 x 64 cells do not fit one batch";
    EXPECT_EQ(t->polygons_drawn, 8192);
    ASSERT_EQ(drawn.vertices.size(), size_t(8192 * 9));
    expect_crack_free(mesh_triangles(t.get(), drawn.vertices.data(), int(drawn.vertices.size() / 3)), 64);

    for (const glrec::Call& c : glrec::calls())
        if (c.name == "BufferSubData") {
            EXPECT_EQ(c.args[1], 0);
            EXPECT_LE(c.args[2], kTerrainMeshBufferBytes);
            EXPECT_EQ(c.args[2] % 36, 0) << "a batch split a triangle";
        }

    std::set<int> used;
    for (size_t v = 0; v < drawn.colour_textures.size(); ++v) {
        const int d = int(drawn.colour_textures[v] / 10) - 1;
        ASSERT_TRUE(d >= 0 && d < 3) << drawn.colour_textures[v];
        used.insert(d);
        const terrain_detail_level& l = t->detail_levels[d];
        const float x = drawn.vertices[v * 3], z = drawn.vertices[v * 3 + 2];
        EXPECT_TRUE(x >= l.origin_x && x <= l.origin_x + l.window && z >= l.origin_z && z <= l.origin_z + l.window)
            << "vertex " << x << "," << z << " drawn with level " << d;
    }
    EXPECT_EQ(used.size(), 3u);
}

TEST_F(LodMesh, HeightBlocksUploadUnderTheirBudget)
{
    TestTerrain t(8, 1.0f);   // 513 points: 4 x 4 blocks
    t->heights_texture = 5;
    terrain_mark_blocks_dirty(t.get(), 0, 0, 0, 0);
    terrain_mark_blocks_dirty(t.get(), 256, 128, 256, 128);
    terrain_mark_blocks_dirty(t.get(), 511, 511, 511, 511);
    EXPECT_EQ(terrain_upload_heights(t.get(), 2), 2);
    EXPECT_EQ(t.marked_blocks(), 1);
    EXPECT_EQ(terrain_upload_heights(t.get(), 5), 1);
    EXPECT_EQ(terrain_upload_heights(t.get(), 5), 0);

    // A grid smaller than one block uploads its (N-1) x (N-1) texels, rows N long.
    TestTerrain small(3, 1.0f);
    small->heights_texture = 5;
    terrain_mark_blocks_dirty(small.get(), 0, 0, 16, 16);
    terrain_update_all(small.get());

    std::vector<std::vector<int64_t>> uploads;
    std::vector<int64_t> row_lengths;
    for (const glrec::Call& c : glrec::calls()) {
        if (c.name == "TexSubImage2D")
            uploads.push_back(c.args);
        if (c.name == "PixelStorei")
            row_lengths.push_back(c.args[1]);
    }
    const std::vector<std::vector<int64_t>> expected = {
        {0, 0, 0, 128, 128}, {0, 256, 128, 128, 128}, {0, 384, 384, 128, 128}, {0, 0, 0, 16, 16}};
    EXPECT_EQ(uploads, expected);
    EXPECT_EQ(row_lengths, (std::vector<int64_t>{513, 0, 513, 0, 513, 0, 17, 0})) << "the length is reset";
}

// "--max-detail-distance 2": the finest nodes within 2 ft of the camera, one level
// coarser out to 7 ft, balanced and crack-free; nothing forced without it.
TEST_F(LodMesh, TheMostDetailedDistanceRefinesAroundTheCamera)
{
    TestTerrain t(4, 1.0f);
    ready(t, 1e9f);
    look(t, 16.5f, 5, 16.5f);
    terrain_lod_mark(t.get());
    std::set<std::vector<int>> before;   // what the refine distances mark alone
    for (int k = 0; k <= 4; ++k)
        for (int r = 0; r < (1 << k); ++r)
            for (int c = 0; c < (1 << k); ++c)
                if (terrain_lod_marked(t.get(), k, r, c))
                    before.insert({k, r, c});
    EXPECT_FALSE(before.count({4, 7, 7})) << "the error alone leaves the finest nodes near the camera";

    terrain_max_detail_distance = 2;
    terrain_max_detail_distance_outer = 7;
    terrain_lod_mark(t.get());
    // Level 4 nodes are 2 ft wide: 14.5 .. 18.5 ft is columns and rows 7 .. 9; level 3
    // nodes are 4 ft wide: 9.5 .. 23.5 ft is 2 .. 5.
    for (int k : {3, 4})
        for (int r = 0; r < (1 << k); ++r)
            for (int c = 0; c < (1 << k); ++c) {
                const int first = k == 4 ? 7 : 2, last = k == 4 ? 9 : 5;
                const bool inside = r >= first && r <= last && c >= first && c <= last;
                EXPECT_EQ(terrain_lod_marked(t.get(), k, r, c), inside || before.count({k, r, c}) ? 1 : 0)
                    << k << " " << r << " " << c;
            }
    expect_crack_free(draw(t), 32);

    // A camera off the grid and a huge distance give the nodes of the grid, no others.
    look(t, -1000, 5, 1000);
    terrain_max_detail_distance = terrain_max_detail_distance_outer = 1e30f;
    terrain_lod_mark(t.get());
    EXPECT_EQ(terrain_lod_marked(t.get(), 4, 0, 0), 1);
    EXPECT_EQ(terrain_lod_marked(t.get(), 4, 15, 15), 1);
    look(t, -1000, 5, 1000);
    terrain_max_detail_distance = terrain_max_detail_distance_outer = 10;
    terrain_lod_mark(t.get());
    EXPECT_EQ(terrain_lod_marked(t.get(), 4, 0, 15), 0) << "out of reach";
    terrain_max_detail_distance = terrain_max_detail_distance_outer = 0;
}
