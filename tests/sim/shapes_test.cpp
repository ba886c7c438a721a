#include "sim_fixture.h"

#include "sim/shapes.h"
#include "sim/stock_shapes.h"

#include "foundation/start/startup_check.h"
#include "foundation/door/search_folders.h"
#include "foundation/memory.h"
#include "foundation/numbers/ripemd160.h"
#include "terrain/track_list.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>

#include <unistd.h>

namespace {

class ShapeTest : public ::testing::Test {
protected:
    ~ShapeTest() override { shapes_free_all(); }
    // A shape file of this test's own in the user folder, by its data name.
    std::string file(const std::string& name, const std::string& text)
    {
        bvtest::write_file(std::string(data_search_dir(0)) + folder + "/" + name, text);
        return data_name(name);
    }
    std::string data_name(const std::string& name) const { return "@" + folder + "/" + name; }
    const std::string folder = "shapes-" + std::to_string(++tests_made);
    static inline int tests_made = 0;
};

TEST_F(ShapeTest, TwoSpheresGiveTheLargerReach)
{
    // |(3,4,0)| + 1 = 6 beats |(0,0,-2)| + 3.5 = 5.5; any white space separates.
    const std::string name = file("two.shp", "2\n3 4 0\t1 0.6 10000 500\n0\n0\n-2 3.5 0.8 2000 100");
    collision_shape* s = shape_load(name.c_str());
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->sphere_count, 2);
    EXPECT_FLOAT_EQ(shape_bound_radius(s), 6.0f);
    EXPECT_STREQ(shape_name(s), name.c_str());
    EXPECT_EQ(s->source, nullptr);
    EXPECT_FLOAT_EQ(s->spheres[1].friction, 0.8f);
    EXPECT_FLOAT_EQ(s->spheres[1].spring, 2000);
    EXPECT_FLOAT_EQ(s->spheres[1].damping, 100);
    float centre[3], radius = 0;
    EXPECT_EQ(shape_get_sphere(s, 1, centre, &radius), 1);
    EXPECT_FLOAT_EQ(centre[2], -2);
    EXPECT_FLOAT_EQ(radius, 3.5f);
    EXPECT_EQ(shape_get_sphere(s, 2, centre, &radius), 0);
    EXPECT_EQ(shape_get_sphere(s, -1, centre, &radius), 0);

    collision_shape* empty = shape_load(file("none.shp", "0\n").c_str());
    ASSERT_NE(empty, nullptr);
    EXPECT_FLOAT_EQ(shape_bound_radius(empty), 0.0f);
}

TEST_F(ShapeTest, TheCacheHandsOutOneShapeAndInstancesOfIt)
{
    const std::string name = file("one.shp", "1 1 2 3 0.5 0.6 10000 500");
    collision_shape* cached = shape_load(name.c_str());
    EXPECT_EQ(shape_load(name.c_str()), cached);
    EXPECT_EQ(shape_cache_count(), 1);
    // The name is matched exactly.
    EXPECT_EQ(shape_load(data_name("ONE.shp").c_str()), nullptr);
    // Without "@", or with "//", it is the same file: the working folder's file of that
    // name is never read.
    bvtest::TempDir work;
    bvtest::write_file(work / (folder + "/one.shp"), "1 9 9 9 5 5 10000 500");
    const std::string before = std::filesystem::current_path();
    ASSERT_EQ(chdir(work.path().c_str()), 0);
    EXPECT_EQ(shape_load((folder + "/one.shp").c_str()), cached);
    EXPECT_EQ(shape_load(("@" + folder + "//one.shp").c_str()), cached);
    ASSERT_EQ(chdir(before.c_str()), 0);
    EXPECT_EQ(shape_cache_count(), 1);

    collision_shape* a = shape_instance(name.c_str());
    collision_shape* b = shape_instance(name.c_str());
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_NE(a, b);
    EXPECT_NE(a, cached);
    EXPECT_EQ(a->source, cached);
    EXPECT_EQ(b->source, cached);
    EXPECT_STREQ(shape_name(a), name.c_str());
    EXPECT_NE(shape_name(a), shape_name(cached));   // the copy's own name text
    EXPECT_EQ(shape_cache_count(), 1);

    // Placing one instance leaves the other and the cached shape alone.
    const float identity[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    const float p[3] = {10, 20, 30};
    shape_place(a, p, identity);
    float centre[3], radius;
    shape_get_sphere(a, 0, centre, &radius);
    EXPECT_FLOAT_EQ(centre[0], 11);
    EXPECT_FLOAT_EQ(centre[1], 22);
    EXPECT_FLOAT_EQ(centre[2], 33);
    EXPECT_FLOAT_EQ(radius, 0.5f);
    shape_get_sphere(b, 0, centre, &radius);
    EXPECT_FLOAT_EQ(centre[0], 1);
    shape_get_sphere(cached, 0, centre, &radius);
    EXPECT_FLOAT_EQ(centre[2], 3);
    mem_free(a);
    mem_free(b);
}

TEST_F(ShapeTest, PlacingUsesTheBodySpaceCentresEveryTime)
{
    const std::string name = file("arm.shp", "1 0 0 -2 0.25 1 1 1");
    collision_shape* s = shape_instance(name.c_str());
    ASSERT_NE(s, nullptr);
    // A quarter turn about y, row-major: body z becomes world x.
    const float turn[9] = {0, 0, 1, 0, 1, 0, -1, 0, 0};
    const float p1[3] = {5, 0, 0}, p2[3] = {0, 1, 0};
    shape_place(s, p1, turn);
    shape_place(s, p2, turn);
    float centre[3], radius;
    shape_get_sphere(s, 0, centre, &radius);
    EXPECT_FLOAT_EQ(centre[0], -2);
    EXPECT_FLOAT_EQ(centre[1], 1);
    EXPECT_FLOAT_EQ(centre[2], 0);
    mem_free(s);
}

TEST_F(ShapeTest, BadFilesGiveNullAndLeaveTheCacheAlone)
{
    shape_load(file("good.shp", "1 0 0 0 1 1 1 1").c_str());
    struct Case {
        const char* label;
        const char* text;
    } const cases[] = {
        {"short of spheres", "3\n0 0 0 1 1 1 1\n0 0 0 1 1 1 1\n"},
        {"short inside a sphere", "1\n0 0 0 1 1 1\n"},
        {"a letter for a number", "1\n0 0 x 1 1 1 1\n"},
        {"no count", "# a shape\n"},
        {"empty", ""},
        // Counts that would size the block wrongly.
        {"negative count", "-1\n0 0 0 1 1 1 1\n"},
        {"huge count", "2000000000\n0 0 0 1 1 1 1\n"},
        {"just over the cap", "4097\n"},
    };
    for (const Case& c : cases) {
        const std::string name = file("bad.shp", c.text);
        EXPECT_EQ(shape_load(name.c_str()), nullptr) << c.label;
        EXPECT_EQ(shape_instance(name.c_str()), nullptr) << c.label;
        EXPECT_EQ(shape_cache_count(), 1) << c.label;
    }
    EXPECT_EQ(shape_load(data_name("missing.shp").c_str()), nullptr);
    EXPECT_EQ(shape_load(nullptr), nullptr);
    EXPECT_EQ(shape_cache_count(), 1);
}

// A downloaded shape with a sphere as big as the world used to hang the race start
// (every ground test under it scanned the whole grid): values that are not numbers,
// radii past 256 feet and centres past the world's size (at least 1024) are refused
// with the file's name.
TEST_F(ShapeTest, AbsurdSpheresAreRefusedNamingTheFile)
{
    struct Case {
        const char* text;
        const char* why;
    } const cases[] = {
        {"1\n0 0 0 1e39 1 1 1\n", "a value that is not a number"},
        {"1\n0 0 0 1 1 1e39 1\n", "a value that is not a number"},
        {"2\n0 0 0 1 1 1 1\n0 0 0 1000 1 1 1\n", "a radius outside 0..256"},
        {"1\n0 0 0 -1 1 1 1\n", "a radius outside 0..256"},
        {"1\n0 5000 0 1 1 1 1\n", "a centre farther from the body than the world is wide"},
        {"1\n0 1024.0001 0 1 1 1 1\n", "a centre farther from the body than the world is wide"},
        {"1\n0 -1024.0001 0 1 1 1 1\n", "a centre farther from the body than the world is wide"},
    };
    for (const Case& c : cases) {
        const std::string name = file("huge.shp", c.text);
        simtest::LogCapture log;
        EXPECT_EQ(shape_load(name.c_str()), nullptr) << c.text;
        EXPECT_TRUE(log.contains("Shape file " + name + " refused: sphere ")) << log.text();
        EXPECT_TRUE(log.contains(c.why)) << log.text();
        EXPECT_EQ(shape_cache_count(), 0);
    }
    collision_shape* edge = shape_load(file("edge.shp", "1\n1024 -1024 0 256 0.5 1e9 0\n").c_str());
    ASSERT_NE(edge, nullptr);
    EXPECT_NEAR(shape_bound_radius(edge), 1024 * std::sqrt(2.0f) + 256, 1e-2);
}

// One fence shape in world coordinates for a whole track, its statue at the origin:
// on a track 3072 ft wide its centres may lie up to 3072 ft out either way, and no
// farther.
TEST_F(ShapeTest, CentresMayReachAcrossTheLoadedTracksWorld)
{
    const float saved = track_terrain.world_size;
    track_terrain.world_size = 3072;
    const std::string fence = file("fence.shp", "2\n3000 12 5 2 1 1 1\n3072 -3072 3072 2 1 1 1\n");
    EXPECT_NE(shape_load(fence.c_str()), nullptr);
    for (const char* past : {"1\n0 0 3072.0002 2 1 1 1\n", "1\n-3072.0002 0 0 2 1 1 1\n"}) {
        simtest::LogCapture log;
        EXPECT_EQ(shape_load(file("past.shp", past).c_str()), nullptr) << past;
        EXPECT_TRUE(log.contains("sphere 0 has a centre farther from the body than the world is wide"))
            << log.text();
    }
    // A smaller world keeps the old 1024 ft.
    track_terrain.world_size = 512;
    EXPECT_FLOAT_EQ(shape_centre_bound(), 1024.0f);
    track_terrain.world_size = saved;
}

// Statues share one instance per shape: it is placed again before each use.
TEST_F(ShapeTest, StatuesShareOneInstanceThatTheCacheFrees)
{
    const std::string name = file("bale.shp", "1\n1 0 0 1 1 1 1\n");
    collision_shape* shared = shape_shared_instance(name.c_str());
    ASSERT_NE(shared, nullptr);
    EXPECT_EQ(shape_shared_instance(name.c_str()), shared);
    EXPECT_NE(shared, shape_load(name.c_str()));
    EXPECT_EQ(shape_cache_count(), 1);
    const float turn[9] = {0, 0, 1, 0, 1, 0, -1, 0, 0};
    for (float x : {10.0f, 20.0f}) {
        const float p[3] = {x, 0, 0};
        shape_place(shared, p, turn);
        float centre[3], radius;
        shape_get_sphere(shared, 0, centre, &radius);
        EXPECT_FLOAT_EQ(centre[0], x);
        EXPECT_FLOAT_EQ(centre[2], -1);
    }
    EXPECT_EQ(shape_shared_instance(data_name("missing.shp").c_str()), nullptr);
}

TEST_F(ShapeTest, StockShapesLoadFromTheBaseData)
{
    for (const char* name : {"@generic_frame.shp", "@generic_fork_upper.shp", "@generic_fork_lower.shp",
                             "@generic_swingarm.shp", "@generic_rider.shp", "@front_wheel.shp", "@rear_wheel.shp",
                             "@startgate.shp"}) {
        collision_shape* s = shape_load(name);
        ASSERT_NE(s, nullptr) << name;
        EXPECT_GT(s->sphere_count, 0) << name;
        for (int i = 0; i < s->sphere_count; ++i) {
            // Contacts need a positive spring or damping (their CFM is 1 / (h kp + kd)).
            EXPECT_GT(s->spheres[i].spring + s->spheres[i].damping, 0) << name;
            EXPECT_GT(s->spheres[i].radius, 0) << name;
        }
    }
    EXPECT_NEAR(shape_bound_radius(shape_load("@front_wheel.shp")), 1.1667f, 1e-3);
    EXPECT_NEAR(shape_bound_radius(shape_load("@rear_wheel.shp")), 1.0833f, 1e-3);
}

// The digest the program carries is that of the files we ship, hashed in the order
// the start-up check uses.
TEST(StockShapes, DigestMatchesTheShippedFiles)
{
    simtest::root();
    ripemd160_ctx ctx;
    ripemd160_init(&ctx);
    for (const char* name : {"generic_frame.shp", "generic_fork_upper.shp", "generic_fork_lower.shp",
                             "generic_swingarm.shp", "front_wheel.shp", "rear_wheel.shp", "generic_rider.shp"}) {
        const std::string bytes = bvtest::read_file(BV_BUILD_DIR "/base_staging/" + std::string(name));
        ASSERT_FALSE(bytes.empty()) << name;
        ripemd160_update(&ctx, bytes.data(), bytes.size());
    }
    ripemd160_final(&ctx);
    char expected[41];
    ripemd160_to_hex(ctx.digest, expected);

    char hex[41];
    stock_shapes_digest(hex);
    EXPECT_STREQ(hex, expected);
    EXPECT_EQ(stock_shapes_match(hex), 1);
    EXPECT_EQ(stock_shapes_check(), 1);
    EXPECT_EQ(stock_shapes_flag, 1);
    EXPECT_EQ(stock_shapes_match("0000000000000000000000000000000000000000"), 0);
    EXPECT_EQ(stock_shapes_match(""), 0);
}

// A changed stock file in the user folder (searched first) changes the digest.
TEST(StockShapes, AChangedFileFailsTheCheck)
{
    const std::string changed = simtest::root() + "/user/Brovanta/generic_rider.shp";
    bvtest::write_file(changed, "1\n0 0 0 5 0.6 10000 500\n");
    EXPECT_EQ(stock_shapes_check(), 0);
    std::remove(changed.c_str());
    EXPECT_EQ(stock_shapes_check(), 1);
}

}  // namespace
