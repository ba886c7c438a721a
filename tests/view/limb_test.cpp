// Two-bone limbs: the joint keeps both bone lengths, bends to the hint's side, holds
// back from full stretch, and stays finite on degenerate input.
#include "view/limb.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

float distance(const float a[3], const float b[3])
{
    float d[3];
    vec::sub(d, a, b);
    return std::sqrt(vec::dot(d, d));
}

// Distance of p from the line through a and b, and which side (sign along +y here).
float off_line(const float p[3], const float a[3], const float b[3])
{
    float ab[3], ap[3], c[3];
    vec::sub(ab, b, a), vec::sub(ap, p, a);
    vec::cross(c, ab, ap);
    return std::sqrt(vec::dot(c, c)) / std::sqrt(vec::dot(ab, ab));
}

TEST(LimbJoint, KeepsBothLengthsAndBendsToTheHint)
{
    const float root[3] = {0, 0, 0}, target[3] = {1.5f, 0, 0}, hint[3] = {0.7f, 3, 0};
    float joint[3];
    limb_joint(joint, root, 0.9f, target, 1.15f, hint);
    EXPECT_NEAR(distance(joint, root), 0.9f, 1e-5f);
    EXPECT_NEAR(distance(joint, target), 1.15f, 1e-5f);
    EXPECT_GT(joint[1], 0);

    float aliased[3] = {0.7f, 3, 0};
    limb_joint(aliased, root, 0.9f, target, 1.15f, aliased);
    for (int k = 0; k < 3; ++k)
        EXPECT_EQ(aliased[k], joint[k]);
}

TEST(LimbJoint, NeverStraightensPastNinetyFivePercent)
{
    const float root[3] = {0, 0, 0}, target[3] = {3, 0, 0}, hint[3] = {1, -2, 0};
    float joint[3];
    limb_joint(joint, root, 0.9f, target, 1.15f, hint);
    EXPECT_NEAR(distance(joint, root), 0.9f, 1e-5f);
    // The joint of a limb reaching 0.95 x 2.05 ft.
    const float reach = 0.95f * 2.05f;
    const float a = (0.81f - 1.3225f + reach * reach) / (2 * reach);
    EXPECT_NEAR(off_line(joint, root, target), std::sqrt(0.81f - a * a), 1e-5f);
    EXPECT_LT(joint[1], 0);
}

TEST(LimbJoint, DegenerateInputGivesAFiniteJoint)
{
    const float root[3] = {1, 2, 3};
    const struct { float target[3]; float hint[3]; } cases[] = {
        {{1, 2, 3}, {1, 0, 3}},          // target at the root
        {{1, 2, 3}, {1, 2, 3}},          // and the hint there too
        {{2.5f, 2, 3}, {4, 2, 3}},       // hint along the limb
        {{1.1f, 2, 3}, {1, 3, 3}},       // reach below |L1 - L2|
    };
    for (const auto& c : cases) {
        float joint[3];
        limb_joint(joint, root, 0.9f, c.target, 1.15f, c.hint);
        for (float v : joint)
            EXPECT_TRUE(std::isfinite(v));
        EXPECT_NEAR(distance(joint, root), 0.9f, 1e-5f);
    }
}

TEST(LimbFrame, IsOrthonormalRightHandedWithYAlongTheLimb)
{
    const float a[3] = {1, 2, 0}, b[3] = {0.5f, 0.3f, 0.2f};
    const float hints[][3] = {{1, 0, 0}, {0, 0, 1}, {0.5f, 1.7f, -0.2f} /* along a - b */, {0, 0, 0}};
    for (const auto& u : hints) {
        float f[9];
        limb_frame(f, a, b, u);
        const float* x = f;
        const float* y = f + 3;
        const float* z = f + 6;
        EXPECT_NEAR(vec::dot(x, x), 1, 1e-5f);
        EXPECT_NEAR(vec::dot(y, y), 1, 1e-5f);
        EXPECT_NEAR(vec::dot(z, z), 1, 1e-5f);
        EXPECT_NEAR(vec::dot(x, y), 0, 1e-5f);
        EXPECT_NEAR(vec::dot(y, z), 0, 1e-5f);
        EXPECT_NEAR(vec::dot(x, z), 0, 1e-5f);
        float xy[3];
        vec::cross(xy, x, y);
        for (int k = 0; k < 3; ++k)
            EXPECT_NEAR(xy[k], z[k], 1e-5f);
        float d[3];
        vec::sub(d, a, b);
        EXPECT_NEAR(vec::dot(y, d), std::sqrt(vec::dot(d, d)), 1e-5f);
    }
}

}  // namespace
