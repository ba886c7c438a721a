// Marks and the mesh builder on the CPU: the mesh is crack-free for any camera,
// culling drops what lies behind, the detail windows force their nodes, and every
// triangle is drawn with a detail level whose window holds it.
#include "gl_recorder.h"
#include "mesh_check.h"
#include "terrain/terrain_lod.h"
#include "terrain_fixture.h"

#include <cmath>
#include <vector>

namespace {

void hills(TestTerrain& t)
{
    for (int j = 0; j < t->size; ++j)
        for (int i = 0; i < t->size; ++i)
            t.h(i, j) = 4.0f * std::sin(i * 0.5f) * std::cos(j * 0.35f) + float((i * 7 + j * 3) % 5) * 0.2f;
    t->min_height = -5.0f;
    t->max_height = 5.0f;
}

void look(TestTerrain& t, float x, float y, float z, float dx, float dy, float dz)
{
    t->camera_position[0] = x;
    t->camera_position[1] = y;
    t->camera_position[2] = z;
    t->view_direction[0] = dx;
    t->view_direction[1] = dy;
    t->view_direction[2] = dz;
    t->view_sign_mask = (dx >= 0 ? 1 : 0) | (dy >= 0 ? 2 : 0) | (dz >= 0 ? 4 : 0);
    t->camera_cell_x = int32_t(std::floor(x / t->cell));
    t->camera_cell_z = int32_t(std::floor(z / t->cell));
}

void window(TestTerrain& t, int level, int ox, int oz, int w, uint32_t texture)
{
    terrain_detail_level& l = t->detail_levels[level];
    l.origin_x = ox;
    l.origin_z = oz;
    l.window = w;
    l.colour_texture = texture;
    l.normal_texture = texture + 1;
    l.specular_texture = texture + 2;
    if (t->detail_level_count <= level)
        t->detail_level_count = level + 1;
}

std::vector<MeshTriangle> draw(TestTerrain& t)
{
    EXPECT_EQ(terrain_mesh_alloc(t.get()), 1);
    terrain_lod_mark(t.get());
    terrain_mesh_build(t.get());
    return mesh_triangles(t.get(), t->mesh_vertices, t->mesh_vertex_count);
}

// The windows carry texture ids, which the record deletes when it goes: a recording
// GL table takes those calls.
TestTerrain* made(int n, float error_scale)
{
    glrec::install();
    auto* t = new TestTerrain(n, 1.0f);
    hills(*t);
    (*t)->error_scale = error_scale;
    terrain_update_all(t->get());
    return t;
}

}  // namespace

TEST(LodMesh, NoTJunctionsForAnyCameraOrDetail)
{
    struct view {
        float x, y, z;
    };
    const view views[] = {{0.5f, 3, 0.5f}, {16, 8, 16}, {31.5f, 2, 9}, {-40, 20, 70}, {10, 60, 25}};
    for (float e : {0.002f, 0.03f, 0.3f, 100.0f}) {
        std::unique_ptr<TestTerrain> t(made(4, e));
        for (const view& v : views) {
            look(*t, v.x, v.y, v.z, 0, -1, 0);   // straight down: nothing is culled
            const auto mesh = draw(*t);
            SCOPED_TRACE(testing::Message() << "E " << e << " camera " << v.x << "," << v.z);
            expect_crack_free(mesh, 32);
        }
        // The same with two detail windows forcing detail around a corner.
        window(*t, 0, 0, 24, 8, 10);
        window(*t, 1, 0, 0, 32, 20);
        look(*t, 3, 5, 29, 0, -1, 0);
        expect_crack_free(draw(*t), 32);
        (*t)->detail_level_count = 0;
    }
}

TEST(LodMesh, TheSmallestGridIsOneFan)
{
    TestTerrain t(0, 2.0f);
    t->error_scale = 1.0f;
    terrain_update_all(t.get());
    look(t, 1, 10, 1, 0, -1, 0);
    const auto mesh = draw(t);
    ASSERT_EQ(mesh.size(), 8u);   // every edge midpoint lies on the border
    for (const MeshTriangle& tri : mesh)
        EXPECT_EQ(tri.p[0], (MeshPoint{1, 1}));
    expect_crack_free(mesh, 2);
}

TEST(LodMesh, CullingDropsNodesBehindTheCamera)
{
    std::unique_ptr<TestTerrain> t(made(4, 0.0001f));   // refined everywhere
    look(*t, -10, 3, 16, -1, 0, 0);
    EXPECT_TRUE(draw(*t).empty()) << "looking away from the grid";

    look(*t, -10, 3, 16, 1, 0, 0);
    expect_crack_free(draw(*t), 32);

    look(*t, 16.5f, 3, 16, 1, 0, 0);
    const auto mesh = draw(*t);
    ASSERT_FALSE(mesh.empty());
    for (const MeshTriangle& tri : mesh) {
        const int far_x = std::max({tri.p[0].x, tri.p[1].x, tri.p[2].x});
        EXPECT_GE(far_x, 16) << "a triangle wholly behind the camera was drawn";
    }
}

TEST(LodMesh, DetailWindowsForceTheirNodesAndABalancedBorder)
{
    std::unique_ptr<TestTerrain> t(made(4, 1e9f));
    look(*t, 1e6f, 0, 1e6f, 0, -1, 0);   // too far to refine anything
    terrain_lod_mark(t->get());
    for (int k = 0; k <= 4; ++k)
        for (int r = 0; r < (1 << k); ++r)
            for (int c = 0; c < (1 << k); ++c)
                EXPECT_EQ(terrain_lod_marked(t->get(), k, r, c), 0);

    // An 8-wide window at (8, 8): level 3 (nodes 4 wide) columns and rows 2..3, then
    // one more node around on each coarser level.
    window(*t, 0, 8, 8, 8, 1);
    terrain_lod_mark(t->get());
    auto marked_range = [&](int k, int lo, int hi) {
        for (int r = 0; r < (1 << k); ++r)
            for (int c = 0; c < (1 << k); ++c) {
                const bool inside = r >= lo && r <= hi && c >= lo && c <= hi;
                EXPECT_EQ(terrain_lod_marked(t->get(), k, r, c), inside ? 1 : 0) << k << " " << r << " " << c;
            }
    };
    marked_range(4, 1, 0);
    marked_range(3, 2, 3);
    marked_range(2, 0, 2);
    marked_range(1, 0, 1);
    marked_range(0, 0, 0);

    // New windows start outside the grid and force nothing.
    window(*t, 0, 32, 0, 8, 1);
    terrain_lod_mark(t->get());
    EXPECT_EQ(terrain_lod_marked(t->get(), 0, 0, 0), 0);
}

TEST(LodMesh, EveryTriangleSamplesADetailLevelThatHoldsIt)
{
    std::unique_ptr<TestTerrain> t(made(4, 0.01f));
    window(*t, 0, 8, 16, 8, 10);
    window(*t, 1, 0, 8, 16, 20);
    window(*t, 2, 0, 0, 32, 30);
    look(*t, 12, 4, 20, 0, -1, 0);
    const auto mesh = draw(*t);
    expect_crack_free(mesh, 32);

    const auto* seg = static_cast<const terrain_draw_segment*>((*t)->draw_segments.items);
    const int segments = (*t)->draw_segments.count;
    ASSERT_GT(segments, 2);
    int used[3] = {0, 0, 0};
    for (int s = 0; s < segments; ++s) {
        const int end = s + 1 < segments ? seg[s + 1].first : (*t)->mesh_vertex_count;
        EXPECT_LT(seg[s].first, end) << "a segment without vertices was kept";
        const terrain_detail_level& l = (*t)->detail_levels[seg[s].level];
        EXPECT_EQ(seg[s].textures[0], l.colour_texture);
        EXPECT_EQ(seg[s].textures[2], l.specular_texture);
        EXPECT_FLOAT_EQ(seg[s].offset[1], -float(l.origin_z));
        EXPECT_FLOAT_EQ(seg[s].scale, 1.0f / float(l.window));
        for (int v = seg[s].first / 3; v < end / 3; ++v) {
            ++used[seg[s].level];
            for (const MeshPoint& p : mesh[v].p) {
                EXPECT_GE(p.x, l.origin_x);
                EXPECT_LE(p.x, l.origin_x + l.window);
                EXPECT_GE(p.z, l.origin_z);
                EXPECT_LE(p.z, l.origin_z + l.window);
            }
        }
    }
    EXPECT_GT(used[0], 0);
    EXPECT_GT(used[1], 0);
    EXPECT_GT(used[2], 0);
}

TEST(LodMesh, NearChildrenComeFirst)
{
    std::unique_ptr<TestTerrain> t(made(4, 0.0001f));
    look(*t, 0.5f, 2, 0.5f, 0, -1, 0);
    auto mesh = draw(*t);
    ASSERT_FALSE(mesh.empty());
    EXPECT_LE(mesh.front().p[0].x + mesh.front().p[0].z, 4);
    EXPECT_GE(mesh.back().p[0].x + mesh.back().p[0].z, 56);

    look(*t, 31.5f, 2, 31.5f, 0, -1, 0);
    mesh = draw(*t);
    EXPECT_GE(mesh.front().p[0].x + mesh.front().p[0].z, 60);
    EXPECT_LE(mesh.back().p[0].x + mesh.back().p[0].z, 8);
}
