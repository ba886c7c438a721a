// A wheel riding over flat ground: samples become points, points become runs, runs
// are sent (or, with no network, queued at once).
#include "terrain/ruts.h"
#include "terrain/tile_materials.h"
#include "terrain_fixture.h"

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::vector<std::vector<uint8_t>> sent;

void capture(const uint8_t* record, int32_t length)
{
    sent.emplace_back(record, record + length);
}

// Flat ground 256 units wide, one default tile.
struct FlatTrack {
    TestTerrain t{5, 4.0f};
    FlatTrack()
    {
        terrain_tile_defaults(t.get(), 0);
        sent.clear();
        wheel_ruts_set_sender(capture);
        erosion_queue_clear();
    }
    ~FlatTrack() { wheel_ruts_set_sender(nullptr); }
};

// A wheel at (x, 0, z) rolling along +x at 32 ft/s and pushed sideways by 80 lbf: the
// dig (0, 80) is above the default lower limit of 50.
wheel_rut_contact rolling(float x, float z, float side = 80.0f)
{
    wheel_rut_contact c{};
    c.point[0] = x;
    c.point[2] = z;
    c.velocity[0] = 32.0f;
    c.force[1] = 100.0f;
    c.force[2] = side;
    c.depth = 0.1f;
    return c;
}

}  // namespace

TEST(WheelRuts, SamplesAverageIntoPointsOneUnitApartAndAQuietWheelSendsTheRun)
{
    FlatTrack track;
    wheel_ruts r{};
    int tick = 100;
    // A quarter unit per tick: every fourth sample closes a point of weight 4.
    for (int k = 0; k < 17; ++k, ++tick) {
        const wheel_rut_contact c = rolling(20.0f + 0.25f * k, 30.0f);
        wheel_ruts_sample(&r, track.t.get(), &c, 0, tick);
    }
    ASSERT_EQ(r.point_count, 4);
    EXPECT_FLOAT_EQ(r.points[0].x, 20.375f);
    EXPECT_FLOAT_EQ(r.points[1].x, 21.375f);
    EXPECT_EQ(r.points[0].weight, 4);
    // 80 between lower 50 and upper 150: length 0.125 + 0.875 * 0.3 along +z.
    EXPECT_FLOAT_EQ(r.points[0].dig_a, 0.0f);
    EXPECT_FLOAT_EQ(r.points[0].dig_b, 0.3875f);
    EXPECT_FLOAT_EQ(r.step_box[0], 1.0f);
    EXPECT_FLOAT_EQ(r.step_box[2], 1.0f);
    EXPECT_EQ(r.last_point_tick, 116);
    EXPECT_EQ(r.sample_count, 1);

    char text[256];
    wheel_ruts_debug_text(&r, text, sizeof text);
    EXPECT_STREQ(text, "speed=32.00\nslip=0.00\nfx=-80.00\nfz=-0.00\npfx=-80.00\npfz=-0.00\n");
    wheel_ruts_debug_text(&r, text, 8);
    EXPECT_STREQ(text, "speed=3");

    // In the air: nothing until 64 ticks have passed since the last point.
    wheel_rut_contact air = rolling(30.0f, 30.0f);
    air.depth = 0.0f;
    for (tick = 117; tick <= 180; ++tick)
        wheel_ruts_sample(&r, track.t.get(), &air, 0, tick);
    EXPECT_TRUE(sent.empty());
    wheel_ruts_sample(&r, track.t.get(), &air, 0, 181);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].size(), size_t(4 * 5 + 13)) << "the accumulated sample became a fifth point";
    EXPECT_EQ(r.point_count, 0);
    EXPECT_EQ(r.sample_count, 0);
    EXPECT_EQ(r.points[4].weight, 1) << "the points are kept";

    // Without a sender installed the run goes straight into the erosion queue.
    wheel_ruts_set_sender(nullptr);
    for (int k = 0; k < 12; ++k) {
        const wheel_rut_contact c = rolling(40.0f + 0.25f * k, 30.0f);
        wheel_ruts_sample(&r, track.t.get(), &c, 0, 200 + k);
    }
    wheel_ruts_pack(&r, track.t.get());
    EXPECT_EQ(erosion_queue_count(), 2);
}

TEST(WheelRuts, WeakSlowOrBrokenContactsDigNothing)
{
    FlatTrack track;
    struct Case {
        const char* what;
        wheel_rut_contact c;
    };
    wheel_rut_contact weak = rolling(20, 20, 40.0f);  // 40 is below lower 50
    wheel_rut_contact slow = rolling(20, 20);
    slow.velocity[0] = 5.0f;  // below off speed 10
    wheel_rut_contact nan_force = rolling(20, 20);
    nan_force.force[2] = NAN;
    wheel_rut_contact nan_point = rolling(NAN, 20);
    wheel_rut_contact air = rolling(20, 20);
    air.depth = 0.0f;
    const Case cases[] = {{"weak", weak}, {"slow", slow}, {"NaN force", nan_force}, {"NaN point", nan_point},
                          {"in the air", air}};
    for (const Case& c : cases) {
        wheel_ruts r{};
        wheel_ruts_sample(&r, track.t.get(), &c.c, 0, 10);
        EXPECT_EQ(r.sample_count, 0) << c.what;
    }

    // The front wheel's dig is scaled by the tile's front scale.
    track.t->erode_params[0].front_scale = 0.5f;
    wheel_ruts r{};
    const wheel_rut_contact strong = rolling(20, 20, 160.0f);
    wheel_ruts_sample(&r, track.t.get(), &strong, 1, 10);
    EXPECT_FLOAT_EQ(r.accumulator[3], 0.125f + 0.875f * 0.3f);
}

TEST(WheelRuts, RunEndsWhenFullOrWhenItsStepBoxGrowsTooWide)
{
    FlatTrack track;
    wheel_ruts r{};
    auto add = [&](float x, float z) {
        r.accumulator[0] = x;
        r.accumulator[1] = z;
        r.accumulator[2] = 0.5f;
        r.accumulator[3] = 0.0f;
        r.sample_count = 1;
        wheel_ruts_add_point(&r, track.t.get(), 7);
    };
    for (int k = 0; k < 64; ++k)
        add(10.0f + k, 50.0f);
    EXPECT_EQ(r.point_count, 64);
    EXPECT_TRUE(sent.empty());
    add(74.0f, 50.0f);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].size(), size_t(4 * 64 + 13));
    EXPECT_EQ(r.point_count, 1);
    EXPECT_FLOAT_EQ(r.points[0].x, 74.0f);

    // Steps of 1 then one of 70: the run goes without the far point, which starts the next.
    add(75.0f, 50.0f);
    add(76.0f, 50.0f);
    r.travelled = 0.5f;
    add(146.0f, 50.0f);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[1].size(), size_t(4 * 3 + 13));
    EXPECT_EQ(r.point_count, 1);
    EXPECT_FLOAT_EQ(r.points[0].x, 146.0f);
    EXPECT_EQ(r.travelled, 0.0f);
    EXPECT_EQ(r.sample_count, 0);
    float zero[4] = {};
    EXPECT_EQ(std::memcmp(r.step_box, zero, sizeof zero), 0);

    // A wide first step sets the box without a check; only widening can end the run.
    add(300.0f, 50.0f);
    EXPECT_EQ(r.point_count, 2);
    EXPECT_EQ(sent.size(), 2u);
}
