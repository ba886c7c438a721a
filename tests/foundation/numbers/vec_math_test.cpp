// Vector normalising and the short-way quaternion blend.
#include "foundation/numbers/vec_math.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

TEST(VecMath, NormalizeMakesUnitLengthAndLeavesZeroAlone)
{
    float v[3] = {3, 0, -4};
    vec3_normalize(v);
    EXPECT_FLOAT_EQ(v[0], 0.6f);
    EXPECT_FLOAT_EQ(v[2], -0.8f);
    // Tiny components whose squares would underflow in float still normalise.
    float tiny[3] = {1e-30f, 0, 0};
    vec3_normalize(tiny);
    EXPECT_FLOAT_EQ(tiny[0], 1);
    // No NaN from a zero vector or an infinite one.
    float zero[3] = {0, 0, 0};
    vec3_normalize(zero);
    EXPECT_TRUE(zero[0] == 0 && zero[1] == 0 && zero[2] == 0);
    const float inf = std::numeric_limits<float>::infinity();
    float huge[3] = {inf, 1, 0};
    vec3_normalize(huge);
    EXPECT_EQ(huge[0], inf);
    EXPECT_EQ(huge[1], 1);
}

TEST(VecMath, NlerpTakesTheShortWayAndIsNotClamped)
{
    const float r[4] = {0, 0, 0, 1};
    float q[4] = {0, 0, 0, -1};   // the same rotation as r
    quat_nlerp(q, r, 0.5f);
    EXPECT_FLOAT_EQ(q[3], 1);      // no pass through zero
    const float s = std::sqrt(0.5f);
    float a[4] = {0, 0, 0, 1};
    const float b[4] = {0, s, 0, s};
    quat_nlerp(a, b, 0.5f);
    const float len = std::sqrt(a[1] * a[1] + a[3] * a[3]);
    EXPECT_FLOAT_EQ(len, 1);
    EXPECT_NEAR(std::atan2(a[1], a[3]), M_PI / 8, 1e-6);
    float c[4] = {0, 0, 0, 1};
    quat_nlerp(c, b, 2.0f);          // beyond the target
    EXPECT_GT(std::atan2(c[1], c[3]), M_PI / 4);
}
