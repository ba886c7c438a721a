// The same scripted ride over bumpy ground, 20 s of ticks, gives bit-identical
// bodies every second: twice in one process (a new world each time) and in another
// process.
#include "ride_fixture.h"

#include "sim/rider_access.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

using namespace simtest;

namespace {

float bumps(float x, float z)
{
    return 1.5f * std::sin(x * 0.037f) * std::cos(z * 0.023f) + 0.5f * std::sin(z * 0.11f);
}

// Full throttle, a weave, a stop, a start again and a drift to one side.
void script(rider_slot* r, int32_t t)
{
    rider_set_clutch(r, 1);
    const bool braking = t >= 1280 && t < 1700;
    rider_set_throttle(r, braking ? 0.0f : t < 640 ? 1.0f : 0.6f);
    rider_set_front_brake(r, braking ? 1.0f : 0.0f);
    rider_set_rear_brake(r, braking ? 1.0f : 0.0f);
    rider_set_steering(r, t >= 640 && t < 1280 ? ((t / 128) % 2 ? 0.25f : -0.25f) : t >= 2000 ? 0.15f : 0.0f);
    rider_set_lean(r, t >= 1700 && t < 1900 ? 0.5f : 0.0f);
}

// One digest of the bodies per second of the ride.
std::string ride_digests()
{
    PhysicsWorld world;
    NullGraphics graphics;
    rider_table_init();
    GroundTrack ground{7, 4.0f, bumps};
    ride_start();
    rider_slot* r = rider_create("cr125", 0, 1, "7", nullptr, nullptr, nullptr, nullptr);
    place_bike(r, 512, 1000, 0.05f);
    bike_set_auto_shift(r, 1);
    bike_set_auto_dab(r, 1);
    std::string digests;
    for (int second = 0; second < 20; ++second) {
        ride(r, 128, script);
        digests += body_digest(r) + "\n";
    }
    EXPECT_TRUE(bodies_finite(r));
    const dReal* p = dBodyGetPosition(r->bodies[body_frame]);
    EXPECT_GT(std::hypot(p[0] - 512, p[2] - 1000), 300) << "the ride goes somewhere";
    bike_destroy(r);
    shapes_free_all();
    return digests;
}

TEST(RideDeterminism, TwiceInOneProcess)
{
    const std::string first = ride_digests();
    EXPECT_EQ(ride_digests(), first);
}

// Prints the ride's digests for the test below, which runs it in a child process.
TEST(RideDeterminism, PrintsItsDigests)
{
    const std::string digests = ride_digests();
    if (getenv("BV_RIDE_DIGESTS"))
        printf("ride digests\n%send\n", digests.c_str());
}

TEST(RideDeterminism, InAnotherProcess)
{
    const std::string here = ride_digests();
    char exe[4096];
    const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    ASSERT_GT(n, 0);
    exe[n] = 0;
    const bvtest::ProcessResult child =
        bvtest::run_process({exe, "--gtest_filter=RideDeterminism.PrintsItsDigests"}, {{"BV_RIDE_DIGESTS", "1"}});
    ASSERT_EQ(child.status, 0) << child.err;
    const size_t start = child.out.find("ride digests\n");
    const size_t end = child.out.find("end\n", start);
    ASSERT_NE(start, std::string::npos);
    ASSERT_NE(end, std::string::npos);
    EXPECT_EQ(child.out.substr(start + 13, end - start - 13), here);
}

}  // namespace
