// The rider figure posed on a real bike (no GL): hands on the grips, feet on their
// targets, joints that meet, the elbow and shin hints, the head's look, and a rider
// body that the drawing never writes.
#include "../sim/sim_fixture.h"

#include "sim/bike_info.h"
#include "sim/bike_step.h"
#include "sim/rider_access.h"
#include "view/limb.h"
#include "view/rider_pose.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numbers>

namespace {

using simtest::BikeTest;
constexpr float kPi = std::numbers::pi_v<float>;

float distance(const float a[3], const float b[3])
{
    float d[3];
    vec::sub(d, a, b);
    return std::sqrt(vec::dot(d, d));
}

// Where bone b draws the rest-pose point p: R_b (p - c_b) + t_b.
void drawn(const rider_slot* r, const rider_pose& pose, int b, const float p[3], float out[3])
{
    const float* c = bike_infos[r->bike_index].pose_points + kPoseBoneCentres + 3 * b;
    const float* axes = pose.rotations + 9 * b;
    const float* t = pose.translations + 3 * b;
    const float d[3] = {p[0] - c[0], p[1] - c[1], p[2] - c[2]};
    for (int k = 0; k < 3; ++k)
        out[k] = axes[k] * d[0] + axes[3 + k] * d[1] + axes[6 + k] * d[2] + t[k];
}

void world_point(dBodyID body, const float* local, float out[3])
{
    dVector3 p;
    dBodyGetRelPointPos(body, local[0], local[1], local[2], p);
    out[0] = float(p[0]), out[1] = float(p[1]), out[2] = float(p[2]);
}

// Hands and ankles where the limbs put them, and the joints of each limb meeting.
void check_limbs(const rider_slot* r)
{
    rider_pose pose;
    rider_pose_compute(r, &pose);
    const float* pts = bike_infos[r->bike_index].pose_points;
    const float* centres = pts + kPoseBoneCentres;
    const float reach = pts[kPoseLimbLengths] + pts[kPoseLimbLengths + 1];
    for (int side = 0; side < 2; ++side) {
        // Hands: the elbow plus or minus the forearm along x.
        const float* elbow = centres + 3 * side;
        const float hand_rest[3] = {elbow[0] + (side ? 1.15f : -1.15f), elbow[1], elbow[2]};
        float hand[3], grip[3];
        drawn(r, pose, side, hand_rest, hand);
        world_point(r->bodies[body_fork_upper], pts + kPoseGrips + 3 * side, grip);
        EXPECT_NEAR(distance(hand, pose.translations + 3 * side), 1.15f, 1e-4f);
        if (distance(pose.translations + 3 * (2 + side), grip) < 0.95f * reach) {
            EXPECT_LT(distance(hand, grip), 0.01f) << "side " << side;
        }
        // The upper arm's elbow end meets the forearm's elbow.
        float upper_elbow[3];
        drawn(r, pose, 2 + side, elbow, upper_elbow);
        EXPECT_LT(distance(upper_elbow, pose.translations + 3 * side), 1e-4f);

        // Ankles: the knee minus the shin along y.
        const float* knee = centres + 3 * (4 + side);
        const float ankle_rest[3] = {knee[0], knee[1] - 1.701f, knee[2]};
        float ankle[3], target[3][2], w[2];
        float left[3], right[3];
        rider_foot_targets(r, left, &w[0], right, &w[1]);
        for (int k = 0; k < 3; ++k)
            target[k][0] = left[k], target[k][1] = right[k];
        const float foot[3] = {target[0][side], target[1][side], target[2][side]};
        drawn(r, pose, 4 + side, ankle_rest, ankle);
        EXPECT_NEAR(distance(ankle, pose.translations + 3 * (4 + side)), 1.701f, 1e-4f);
        const float leg = pts[kPoseLimbLengths + 2] + pts[kPoseLimbLengths + 3];
        if (distance(pose.translations + 3 * (6 + side), foot) < 0.95f * leg) {
            EXPECT_LT(distance(ankle, foot), 0.01f) << "side " << side;
        }
        float thigh_knee[3];
        drawn(r, pose, 6 + side, knee, thigh_knee);
        EXPECT_LT(distance(thigh_knee, pose.translations + 3 * (4 + side)), 1e-4f);
    }
    for (float v : pose.rotations)
        ASSERT_TRUE(std::isfinite(v));
    for (float v : pose.head_axes)
        ASSERT_TRUE(std::isfinite(v));
}

struct BodyBits {
    dReal data[3 + 4 + 12 + 3 + 3];
    explicit BodyBits(dBodyID b)
    {
        std::memcpy(data, dBodyGetPosition(b), 3 * sizeof(dReal));
        std::memcpy(data + 3, dBodyGetQuaternion(b), 4 * sizeof(dReal));
        std::memcpy(data + 7, dBodyGetRotation(b), 12 * sizeof(dReal));
        std::memcpy(data + 19, dBodyGetLinearVel(b), 3 * sizeof(dReal));
        std::memcpy(data + 22, dBodyGetAngularVel(b), 3 * sizeof(dReal));
    }
    bool operator==(const BodyBits& o) const { return std::memcmp(data, o.data, sizeof data) == 0; }
};

TEST_F(BikeTest, HandsAndFeetReachTheirTargetsInEveryPose)
{
    rider_slot* r = create();
    ASSERT_NE(r, nullptr);
    bike_reset(r);
    check_limbs(r);
    for (float lean : {kPi / 6, -kPi / 6}) {
        bike_reset(r);
        bike_rotate(r, 0, 0, 1, lean);
        check_limbs(r);
    }
    bike_reset(r);
    dQuaternion q;
    dQFromAxisAndAngle(q, 0, 1, 0, 0.5);
    dBodySetQuaternion(r->bodies[body_fork_upper], q);
    check_limbs(r);
}

TEST_F(BikeTest, DrawingPoseLeavesTheBodiesAloneAndLeansTheTorso)
{
    rider_slot* r = create();
    bike_reset(r);
    std::vector<BodyBits> before;
    for (dBodyID b : r->bodies)
        before.emplace_back(b);
    rider_pose pose;
    rider_pose_compute(r, &pose);
    EXPECT_NEAR(pose.correction, 0.08f, 0.02f);
    // The drawn torso leans: its frame is not the body's.
    const dReal* m = dBodyGetRotation(r->bodies[body_rider]);
    EXPECT_GT(std::fabs(pose.body_rotation[4] - float(m[5])), 1e-4f);
    // Pushed onto the bars (shoulder centre on the bar centre): full correction.
    const float* pts = bike_infos[r->bike_index].pose_points;
    const float shoulder[3] = {0, pts[kPoseHands + 1], pts[kPoseHands + 2]};
    const float bar[3] = {0, pts[kPoseGrips + 1], pts[kPoseGrips + 2]};
    float sc[3], bc[3];
    world_point(r->bodies[body_rider], shoulder, sc);
    world_point(r->bodies[body_fork_upper], bar, bc);
    const dReal* at = dBodyGetPosition(r->bodies[body_rider]);
    dBodySetPosition(r->bodies[body_rider], at[0] + bc[0] - sc[0], at[1] + bc[1] - sc[1], at[2] + bc[2] - sc[2]);
    std::vector<BodyBits> pushed;
    for (dBodyID b : r->bodies)
        pushed.emplace_back(b);
    rider_pose_compute(r, &pose);
    EXPECT_FLOAT_EQ(pose.correction, 1);
    for (int i = 0; i < kBikeBodies; ++i)
        EXPECT_TRUE(BodyBits(r->bodies[i]) == pushed[i]) << i;
    (void)before;
}

TEST_F(BikeTest, ElbowHintsDropWithTheOtherShoulderAndTheThrottle)
{
    rider_slot* r = create();
    bike_reset(r);
    rider_pose level, leaned, open;
    rider_pose_compute(r, &level);
    r->throttle = 1;
    rider_pose_compute(r, &open);
    EXPECT_NEAR(open.elbow_hints[1][1], level.elbow_hints[1][1] - 0.125f, 1e-4f);
    EXPECT_NEAR(open.elbow_hints[0][1], level.elbow_hints[0][1], 1e-5f);
    r->throttle = 0;
    // Lean right (right shoulder lower): the right elbow's hint drops by 1.5 x the
    // height difference beyond the lean itself.
    bike_rotate(r, 0, 0, 1, -0.2f);
    rider_pose_compute(r, &leaned);
    const dBodyID rb = r->bodies[body_rider];
    const float* pts = bike_infos[r->bike_index].pose_points;
    float sl[3], sr[3];
    world_point(rb, pts + kPoseHands, sl);
    world_point(rb, pts + kPoseHands + 3, sr);
    ASSERT_GT(sl[1], sr[1]);
    // The hint without the drop, from the drawn frame.
    const float local[3] = {pts[kPoseHands + 3] + 0.5f, pts[kPoseHands + 4] - 0.9f, pts[kPoseHands + 5] + 2};
    float plain[3];
    for (int k = 0; k < 3; ++k)
        plain[k] = leaned.body_rotation[3 * k] * local[0] + leaned.body_rotation[3 * k + 1] * local[1] +
                   leaned.body_rotation[3 * k + 2] * local[2] + leaned.body_position[k];
    float gl[3], gr[3];
    world_point(r->bodies[body_fork_upper], pts + kPoseGrips, gl);
    world_point(r->bodies[body_fork_upper], pts + kPoseGrips + 3, gr);
    const float* hint = leaned.elbow_hints[1];
    const float ydrop = plain[1] + gr[1] - gl[1] - hint[1];
    // The drop acts along the drawn body's y axis.
    EXPECT_NEAR(ydrop, 1.5f * (sl[1] - sr[1]) * leaned.body_rotation[4], 0.02f);
}

TEST_F(BikeTest, HeadLooksAheadAndStaysFiniteOnItsBack)
{
    rider_slot* r = create();
    bike_reset(r);
    rider_pose pose;
    rider_pose_compute(r, &pose);
    // The drawn torso leans a little, so the level look is nearly, not exactly, 1.
    EXPECT_NEAR(pose.look_length, 1, 0.05f);
    EXPECT_NEAR(pose.look_rise, (60 - pose.look_length) * 0.0058333333f * pose.look_length + 0.25f * pose.look_length,
                1e-5f);
    const float* a = pose.head_axes;
    EXPECT_NEAR(vec::dot(a, a + 3), 0, 1e-5f);
    EXPECT_NEAR(vec::dot(a + 3, a + 6), 0, 1e-5f);
    EXPECT_NEAR(vec::dot(a + 6, a + 6), 1, 1e-5f);

    // On his back at rest: z of the rider body straight up.
    bike_reset(r);
    bike_rotate(r, 1, 0, 0, -kPi / 2);
    rider_pose_compute(r, &pose);
    for (float v : pose.head_axes)
        EXPECT_TRUE(std::isfinite(v));
    for (float v : pose.head_position)
        EXPECT_TRUE(std::isfinite(v));
}

}  // namespace
