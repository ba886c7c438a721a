// The mesh as GL receives it, through a recording GL table: batches that never
// overrun the streamed buffer, every triangle drawn with the textures of a detail
// level whose window holds it, and the height blocks uploaded under their budget.
#include "gl_recorder.h"
#include "mesh_check.h"
#include "terrain/terrain_deform.h"
#include "terrain/terrain_lod.h"
#include "terrain_fixture.h"

#include <set>

TEST(LodStream, AFullyRefinedGridFlushesInBatchesThatFitTheBuffer)
{
    glrec::install();
    TestTerrain t(5, 1.0f);
    t.hills();
    t->error_scale = 0.0001f;
    terrain_update_all(t.get());
    t->detail_levels[0] = {10, 11, 12, 16, 24, 16, 0};
    t->detail_levels[1] = {20, 21, 22, 0, 16, 32, 0};
    t->detail_levels[2] = {30, 31, 32, 0, 0, 64, 0};
    t->detail_level_count = 3;
    t->camera_position[0] = t->camera_position[2] = 30;
    t->camera_position[1] = 10;
    t->view_direction[1] = -1;
    t->view_sign_mask = 5;
    t->camera_cell_x = t->camera_cell_z = 30;

    ASSERT_EQ(terrain_mesh_alloc(t.get()), 1);
    terrain_lod_mark(t.get());
    terrain_mesh_build(t.get());
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

TEST(LodStream, HeightBlocksUploadUnderTheirBudget)
{
    glrec::install();
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
