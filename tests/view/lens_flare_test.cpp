#include "view/lens_flare.h"

#include "terrain/lighting.h"

#include <gtest/gtest.h>

namespace {

struct Canned {
    uint8_t rgb[3] = {240, 240, 240};
    float depth = 1;
    bool has_depth = true;
    int reads = 0;
};
Canned canned;

void canned_colour(int, int, uint8_t rgb[3])
{
    ++canned.reads;
    for (int k = 0; k < 3; ++k)
        rgb[k] = canned.rgb[k];
}
bool canned_depth(int, int, float* d)
{
    *d = canned.depth;
    return canned.has_depth;
}

struct LensFlare : ::testing::Test {
    pixel_reader saved = flare_reader;
    flare_view view{};
    flare sun{};
    void SetUp() override
    {
        canned = Canned{};
        flare_reader = {canned_colour, canned_depth};
        const float identity[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
        std::copy(identity, identity + 9, view.rotation);
        view.half_width = 1.2f;
        view.half_height = 0.675f;
        view.width = 320;
        view.height = 180;
        view.near_plane = 0.25f;
        view.far_plane = 5000;
        sun.kind = 1;
        sun.anchor[2] = -1;   // straight ahead
    }
    void TearDown() override { flare_reader = saved; }
};

TEST_F(LensFlare, ABrightUnhiddenSunShowsFully)
{
    const flare_sight s = flare_visibility(sun, view);
    EXPECT_EQ(s.visibility, 1);
    EXPECT_EQ(s.screen[0], 0);
    EXPECT_EQ(s.screen[1], 0);
}

TEST_F(LensFlare, DullOrNearPixelsHideIt)
{
    canned.rgb[0] = 200;
    EXPECT_EQ(flare_visibility(sun, view).visibility, 0);
    canned = Canned{};
    // The depth that is 0.3 of the way from the near plane to the far one.
    const double n = 0.25, f = 5000, lin = 0.3, z = n + lin * (f - n);
    canned.depth = float((f - n * f / z) / (f - n));
    EXPECT_EQ(flare_visibility(sun, view).visibility, 0);
    // Where depth cannot be read, the colour decides alone.
    canned.has_depth = false;
    EXPECT_EQ(flare_visibility(sun, view).visibility, 1);
}

TEST_F(LensFlare, APointSourceNeedsDepthByItsDistance)
{
    sun.kind = 0;
    sun.anchor[2] = -1000.25f;   // needs clamp(1000 x 0.00020001) = 0.20001
    const double n = 0.25, f = 5000;
    auto depth_for = [&](double lin) { return float((f - n * f / (n + lin * (f - n))) / (f - n)); };
    canned.depth = depth_for(0.19);
    EXPECT_EQ(flare_visibility(sun, view).visibility, 0);
    canned.depth = depth_for(0.21);
    EXPECT_EQ(flare_visibility(sun, view).visibility, 1);
}

TEST_F(LensFlare, EdgeBandAndOutsideTheView)
{
    const float k = 0.675f / 32;
    EXPECT_NEAR(flare_edge_fade(1.2f - k / 2, 0, 1.2f, 0.675f), 0.5f, 1e-4);
    EXPECT_NEAR(flare_edge_fade(0, -0.675f + k / 4, 1.2f, 0.675f), 0.25f, 1e-4);
    EXPECT_EQ(flare_edge_fade(0.3f, 0.2f, 1.2f, 0.675f), 1);
    sun.anchor[0] = 5;   // far to the right of the frustum
    EXPECT_EQ(flare_visibility(sun, view).visibility, 0);
    sun.anchor[0] = 0;
    sun.anchor[2] = 1;   // behind
    EXPECT_EQ(flare_visibility(sun, view).visibility, 0);
    EXPECT_EQ(canned.reads, 0);
}

TEST_F(LensFlare, EqualPlanesSkipTheDepthTest)
{
    view.far_plane = view.near_plane;
    canned.depth = 0;
    EXPECT_EQ(flare_visibility(sun, view).visibility, 1);
}

}  // namespace
