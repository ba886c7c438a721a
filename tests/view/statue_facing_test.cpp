#include "view/statue_draw.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

TEST(StatueFacing, ThirdColumnPointsAtTheCamera)
{
    float r[9] = {};
    ASSERT_TRUE(statue_facing(r, 30, 40));
    const float expected[9] = {0.8f, 0, 0.6f, 0, 1, 0, -0.6f, 0, 0.8f};
    for (int k = 0; k < 9; ++k)
        EXPECT_FLOAT_EQ(r[k], expected[k]) << k;
    // Columns: right, up, forward; forward = (0.6, 0, 0.8) = the way to the camera.
    EXPECT_FLOAT_EQ(r[2], 0.6f);
    EXPECT_FLOAT_EQ(r[8], 0.8f);
}

TEST(StatueFacing, CameraStraightAboveKeepsTheRotation)
{
    float r[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    EXPECT_FALSE(statue_facing(r, 0, 0));
    for (float v : r)
        EXPECT_TRUE(std::isfinite(v));
    EXPECT_EQ(r[0], 1);
}

}  // namespace
