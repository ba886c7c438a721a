// The erosion queue: records decoded into the ring, a few entries dug per frame, held
// back near the local rider, and the ground they leave behind.
#include "terrain/ruts.h"
#include "terrain/terrain_deform.h"
#include "terrain/terrain_queries.h"
#include "terrain/tile_materials.h"
#include "terrain_fixture.h"
#include "track_files.h"

#include <cmath>
#include <string>
#include <vector>

namespace {

// 33 x 33 points of cell 2: a 64-unit world with the default tile.
struct Ground {
    TestTerrain t{4, 2.0f};
    Ground()
    {
        terrain_tile_defaults(t.get(), 0);
        erosion_queue_clear();
    }
};

// One record of count points at (x, z), each with the given digs and weight.
std::vector<uint8_t> record(const terrain_state* t, int count, float x, float z, float a, float b, int weight)
{
    wheel_ruts r{};
    for (int k = 0; k < count; ++k)
        r.points[k] = {x, z, a, b, weight};
    r.point_count = count;
    uint8_t out[kDeformationRecordMax];
    const int32_t n = deformation_record_encode(&r, t->world_size, out);
    return std::vector<uint8_t>(out, out + n);
}

void queue(const terrain_state* t, const std::vector<uint8_t>& bytes)
{
    erosion_apply_message(t, bytes.data(), int32_t(bytes.size()));
}

// What one entry should do, spelled out with the brushes themselves.
void dig_by_hand(terrain_state* t, const erosion_entry& e, float scale, float first, float second)
{
    const tile_erode_params& p = t->erode_params[0];
    const float L = std::hypot(e.dig_a, e.dig_b);
    const float push = std::fmin(std::fmax((L - 0.125f) * 8.0f / 7.0f, 0.0f), 1.0f) * p.displacement;
    const float o = L > 0 ? e.x - e.dig_a / L * push : e.x;
    const float w = L > 0 ? e.z - e.dig_b / L * push : e.z;
    const float h0 = terrain_height_at(t, e.x, e.z);
    const float h1 = terrain_height_at(t, o, w);
    float s = scale / 2048.0f;
    if (h1 < h0)
        s += s * p.downhill_scale * (h0 - h1) / push;
    const float r1 = brush_add(t, e.x, e.z, p.radius, -(float(e.weight) * first * p.depth * s));
    const float r2 = brush_add(t, e.x, e.z, p.inner_radius, -(second * p.inner_depth * s));
    brush_add_normalised(t, o, w, p.radius, -(r1 + r2));
}

double total(TestTerrain& t)
{
    double sum = 0;
    for (int k = 0; k < t->size * t->size; ++k)
        sum += t->heights[k];
    return sum;
}

}  // namespace

TEST(Erosion, EachEntryDigsTheRutAndPilesTheDirtBesideIt)
{
    struct Case {
        const char* what;
        float a, b;
        int weight;
        float slope;       // ground rise per unit along x
        float dug;         // how far the ground already lies below the loaded copy
        float first, second;
    };
    const Case cases[] = {
        {"a dig along +x", 0.9f, 0.0f, 6, 0.0f, 0.0f, 1.0f, 1.0f},
        {"weight 0: the inner brush and the pile still act", 0.0f, 0.9f, 0, 0.0f, 0.0f, 1.0f, 1.0f},
        {"no dig direction (codes 32/32): the pile lands on the rut", 0.0f, 0.0f, 5, 0.0f, 0.0f, 1.0f, 1.0f},
        {"already dug 1.5 deep: the limit curve at 1.5", 0.9f, 0.0f, 6, 0.0f, 1.5f, 0.25f, 0.75f},
        {"piling downhill digs harder", 0.9f, 0.0f, 6, 0.1f, 0.0f, 1.0f, 1.0f},
        {"too steep for the tile (below -0.5 per unit of push): nothing", 0.9f, 0.0f, 6, 0.6f, 0.0f, 0.0f, 0.0f},
    };
    for (const Case& c : cases) {
        Ground g, twin;
        for (TestTerrain* t : {&g.t, &twin.t}) {
            tile_erode_params& p = (*t)->erode_params[0];
            p.limit_count = 3;
            const float depths[3] = {0, 1, 2}, firsts[3] = {1, 0.5f, 0}, seconds[3] = {1, 1, 0.5f};
            for (int k = 0; k < 3; ++k) {
                p.limit_depth[k] = depths[k];
                p.limit_first[k] = firsts[k];
                p.limit_second[k] = seconds[k];
            }
            p.downhill_scale = 1.0f;
            for (int j = 0; j < (*t)->size; ++j)
                for (int i = 0; i < (*t)->size; ++i) {
                    t->h(i, j) = c.slope * 2.0f * i;
                    (*t)->heights_copy[j * (*t)->size + i] = t->h(i, j) + c.dug;
                }
        }
        queue(g.t.get(), record(g.t.get(), 1, 32.0f, 32.0f, c.a, c.b, c.weight));
        ASSERT_EQ(erosion_queue_count(), 1) << c.what;
        const erosion_entry e = *erosion_queue_at(0);
        const double before = total(g.t);
        erosion_process(g.t.get(), nullptr, 8.0f, 5);
        EXPECT_EQ(erosion_queue_count(), 0) << c.what;
        const bool steep = c.first == 0.0f;
        if (!steep)
            dig_by_hand(twin.t.get(), e, 8.0f, c.first, c.second);
        for (int k = 0; k < g.t->size * g.t->size; ++k)
            ASSERT_EQ(g.t->heights[k], twin.t->heights[k]) << c.what << " at point " << k;
        EXPECT_EQ(g.t.h(16, 16) < c.slope * 32.0f, !steep) << c.what << ": the rut is lower";
        EXPECT_NEAR(total(g.t), before, 1e-4) << c.what << ": the dirt is moved, not lost";
    }
}

TEST(Erosion, BudgetGrowsWithTheBacklogAndTheRiderHoldsEntriesBack)
{
    Ground g;
    const std::vector<uint8_t> full = record(g.t.get(), 64, 20.0f, 20.0f, 0.0f, 0.0f, 1);
    for (int k = 0; k < 128; ++k)
        queue(g.t.get(), full);
    queue(g.t.get(), record(g.t.get(), 1, 20.0f, 20.0f, 0.0f, 0.0f, 1));
    ASSERT_EQ(erosion_queue_count(), 8193);

    const float rider[3] = {21.0f, 0.0f, 21.0f};
    // Past 8192 the rider is ignored: 16 + 0 + 4 entries.
    erosion_process(g.t.get(), rider, 0.0f, 1000);
    EXPECT_EQ(erosion_queue_count(), 8173);
    EXPECT_EQ(erosion_wait_tick(), INT32_MAX);

    // Within 10 units of the rider the head waits, up to 256 ticks.
    erosion_process(g.t.get(), rider, 0.0f, 1000);
    EXPECT_EQ(erosion_queue_count(), 8173);
    EXPECT_EQ(erosion_wait_tick(), 1256);
    erosion_process(g.t.get(), rider, 0.0f, 1100);
    EXPECT_EQ(erosion_wait_tick(), 1256) << "a later hold does not extend the wait";
    erosion_process(g.t.get(), rider, 0.0f, 1256);
    EXPECT_EQ(erosion_queue_count(), 8173);
    erosion_process(g.t.get(), rider, 0.0f, 1257);
    EXPECT_EQ(erosion_queue_count(), 8173 - (8173 / 512 + 4));
    EXPECT_EQ(erosion_wait_tick(), INT32_MAX);

    // Eleven units away is not near.
    const float away[3] = {31.0f, 0.0f, 20.0f};
    const int32_t left = erosion_queue_count();
    erosion_process(g.t.get(), away, 0.0f, 1258);
    EXPECT_EQ(erosion_queue_count(), left - (left / 512 + 4));

    erosion_queue_clear();
    EXPECT_EQ(erosion_queue_count(), 0);
    EXPECT_EQ(erosion_queue_at(0), nullptr);
}

TEST(Erosion, FullQueueDropsEntriesAndSaysSoOnce)
{
    Ground g;
    ConsoleCapture console;
    const std::vector<uint8_t> full = record(g.t.get(), 64, 20.0f, 20.0f, 0.0f, 0.0f, 1);
    for (int k = 0; k < kErosionQueueSize / 64; ++k)
        queue(g.t.get(), full);
    EXPECT_EQ(erosion_queue_count(), kErosionQueueSize);
    EXPECT_EQ(console.text().find("Erode queue full!"), std::string::npos);
    queue(g.t.get(), full);
    queue(g.t.get(), full);
    EXPECT_EQ(erosion_queue_count(), kErosionQueueSize);
    const std::string said = console.text();
    const size_t first = said.find("Erode queue full!");
    ASSERT_NE(first, std::string::npos);
    EXPECT_EQ(said.find("Erode queue full!", first + 1), std::string::npos);

    // Drain a frame's worth; new entries then wrap round the ring's end.
    erosion_process(g.t.get(), nullptr, 0.0f, 1);
    const int32_t left = erosion_queue_count();
    EXPECT_EQ(left, kErosionQueueSize - (256 + (kErosionQueueSize - 8192) / 64 + 4));
    queue(g.t.get(), record(g.t.get(), 1, 40.0f, 10.0f, -1.0f, 0.0f, 9));
    ASSERT_EQ(erosion_queue_count(), left + 1);
    EXPECT_NEAR(erosion_queue_at(left)->x, 40.0f, 1e-4);
    EXPECT_EQ(erosion_queue_at(left)->weight, 9);
    erosion_queue_clear();
}

TEST(Erosion, WheelRunGoesThroughTheQueueIntoTheGround)
{
    Ground g;
    wheel_ruts_set_sender(nullptr);
    wheel_ruts r{};
    int tick = 0;
    for (int k = 0; k < 80; ++k, ++tick) {
        wheel_rut_contact c{};
        c.point[0] = 10.0f + 0.5f * k;
        c.point[2] = 30.0f;
        c.velocity[0] = 64.0f;
        c.force[1] = 300.0f;
        c.force[2] = 120.0f;
        c.depth = 0.2f;
        wheel_ruts_sample(&r, g.t.get(), &c, 0, tick);
    }
    wheel_rut_contact air{};
    for (; erosion_queue_count() == 0 && tick < 400; ++tick)
        wheel_ruts_sample(&r, g.t.get(), &air, 0, tick);
    const int32_t points = erosion_queue_count();
    EXPECT_EQ(points, 40);
    for (int frame = 0; frame < 20 && erosion_queue_count() > 0; ++frame)
        erosion_process(g.t.get(), nullptr, 64.0f, tick);
    EXPECT_EQ(erosion_queue_count(), 0);
    // The rut runs along z = 30 (row 15) and the dirt lands on the -z side of it.
    EXPECT_LT(g.t.h(15, 15), 0.0f);
    EXPECT_LT(g.t.h(20, 15), 0.0f);
    EXPECT_GT(g.t.h(15, 14), g.t.h(15, 16));
}
