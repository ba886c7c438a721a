// The automatic rider's arc, control law, path position, jump search and line join.
#include "sim/autopilot_math.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

TEST(ArcRadius, RidingStraightItIsNineOSquaredPlusBSquaredOverSixO)
{
    // With m far out, E tends to 3o and B to -b: 3 ft right and 4 ahead gives 97 / 18.
    const vec3f at{0, 0, 0}, north{0, 0, -10};
    EXPECT_NEAR(autopilot_arc_radius(at, north, {3, 0, -4}, 1e6f), 97.0f / 18, 1e-3);
    EXPECT_NEAR(autopilot_arc_radius(at, north, {-3, 0, -4}, -1e6f), -97.0f / 18, 1e-3);
    EXPECT_GT(std::fabs(autopilot_arc_radius(at, north, {1e-7f, 0, -4}, 1e6f)), 1e5f);   // dead ahead
    EXPECT_EQ(autopilot_arc_radius(at, north, {-3, 0, 4}, 1e6f), -10.0f);       // behind, left
    EXPECT_EQ(autopilot_arc_radius(at, north, {3, 0, 0}, 1e6f), 10.0f);         // level: counts as behind
    // At a standstill the bike's axes are taken as x sideways and z to the rear.
    EXPECT_NEAR(autopilot_arc_radius(at, {0, 0, 0}, {3, 0, -4}, 1e6f), 97.0f / 18, 1e-3);
    // Already leaning into a 10 ft turn to the right: the target on that turn.
    const float r = autopilot_arc_radius(at, north, {10 - 10 * std::cos(0.5f), 0, -10 * std::sin(0.5f)}, 10);
    EXPECT_TRUE(std::isfinite(r));
    EXPECT_GT(r, 0);
}

TEST(LeanRadius, UprightIsAStraightLineNotADivisionByZero)
{
    EXPECT_EQ(autopilot_lean_radius(0, 1, 0), -1e6f);
    EXPECT_EQ(autopilot_lean_radius(30, 1, -0.0f), 1e6f);
    EXPECT_EQ(autopilot_lean_radius(30, 1, 1e-9f), -1e6f);
    EXPECT_NEAR(autopilot_lean_radius(32, 1, -float(M_PI) / 4), 32, 1e-3);   // v^2 / 32g at 45 degrees
    EXPECT_TRUE(std::isfinite(autopilot_arc_radius({0, 0, 0}, {0, 0, 0}, {0, 0, -5}, autopilot_lean_radius(0, 1, 0))));
}

TEST(GroundLean, TheGripAngleCountsFromTheGroundNotFromTheLeaningBike)
{
    // The slope is read along the bike's own sideways axis, so a bike leant over on
    // flat ground sees the ground fall away by its own lean. Dirt: grip 1.05.
    const float grip = std::atan(1.05f), right35 = -0.61f;
    // Flat ground: a 35 degree lean into a turn is well within the tyres' grip (taken
    // from the bike, it was cut to 12 degrees and the rider braked in every turn).
    EXPECT_FLOAT_EQ(autopilot_ground_lean_limit(right35, right35, right35, grip), right35);
    EXPECT_FLOAT_EQ(autopilot_ground_lean_limit(-1.2f, 0, 0, grip), -grip);
    EXPECT_FLOAT_EQ(autopilot_ground_lean_limit(1.2f, right35, right35, grip), grip);
    // A berm falling 0.4 rad to the right carries a rider leant 0.9 rad into it (the
    // slope across the bike is then 0.5 rad the other way) and allows down to -0.4 - grip.
    EXPECT_FLOAT_EQ(autopilot_ground_lean_limit(-1.1f, -0.9f, -0.5f, grip), -1.1f);
    EXPECT_FLOAT_EQ(autopilot_ground_lean_limit(-1.3f, -0.9f, -0.5f, grip), -0.4f - grip);
    EXPECT_FLOAT_EQ(autopilot_ground_lean_limit(0.5f, -0.9f, -0.5f, grip), -0.4f + grip);
}

TEST(Controls, ThrottleBrakesAndClutchFollowTheTargetSpeed)
{
    const controls_situation ground{true, false, false, 0, false, 2, 6000, 7000};
    struct Case {
        float v, d;
        controls_out out;
    } cases[] = {
        {10, 20, {1, 1, 0, 0}},
        {19.25f, 20, {0.75f, 1, 0, 0}},
        {20.5f, 20, {0, 1, 0.5f, 0.5f}},
        {40, 20, {0, 1, 1, 1}},
    };
    for (const Case& c : cases) {
        const controls_out o = autopilot_controls(ground, c.v, c.d);
        EXPECT_FLOAT_EQ(o.throttle, c.out.throttle) << c.v;
        EXPECT_FLOAT_EQ(o.clutch, c.out.clutch) << c.v;
        EXPECT_FLOAT_EQ(o.front_brake, c.out.front_brake) << c.v;
        EXPECT_FLOAT_EQ(o.rear_brake, c.out.rear_brake) << c.v;
    }
    controls_situation first = ground;
    first.gear = 0;
    EXPECT_FLOAT_EQ(autopilot_controls(first, 10, 20).clutch, 0.0f);   // 6000 rpm, engage from 6000
    first.rpm = 6500;
    EXPECT_FLOAT_EQ(autopilot_controls(first, 10, 20).clutch, 0.5f);
    first.crashed = true;
    EXPECT_FLOAT_EQ(autopilot_controls(first, 10, 20).throttle, 0.0f);
}

TEST(Controls, InTheAirTheRiderLevelsTheBike)
{
    struct Case {
        bool front_below, front_high;
        float pitch;
        controls_out out;
    } cases[] = {
        {true, false, -0.1f, {1, 0.125f, 0, 0}},    // nose down and pitching down: gas
        {false, false, -1.0f, {1, 0.125f, 0, 0}},   // pitching down fast
        {false, true, 0.2f, {0, 0, 0, 1}},          // nose high: tap the rear brake
        {false, true, -0.5f, {0, 0.125f, 0, 0}},    // nose high but already coming down
        {true, false, 0.1f, {0, 0.125f, 0, 0}},
    };
    for (const Case& c : cases) {
        const controls_situation air{false, c.front_below, c.front_high, c.pitch, false, 2, 6000, 7000};
        const controls_out o = autopilot_controls(air, 30, 10);
        EXPECT_FLOAT_EQ(o.throttle, c.out.throttle) << c.pitch;
        EXPECT_FLOAT_EQ(o.clutch, c.out.clutch) << c.pitch;
        EXPECT_FLOAT_EQ(o.front_brake, 0) << c.pitch;
        EXPECT_FLOAT_EQ(o.rear_brake, c.out.rear_brake) << c.pitch;
    }
}

class StraightPath : public ::testing::Test {
protected:
    ai_line_point path[8];
    void SetUp() override
    {
        for (int i = 0; i < 8; ++i)
            path[i] = {0, 2, -5.0f * float(i), 20, 0};
    }
};

TEST_F(StraightPath, ProgressIsTheFractionBetweenThePointsBehindAndAhead)
{
    const vec3f rear{0, 0, 1};
    EXPECT_FLOAT_EQ(autopilot_path_progress(path, 8, 2, {0, 2, -7}, rear), 2.4f);
    EXPECT_FLOAT_EQ(autopilot_path_progress(path, 8, 4, {0, 2, -7}, rear), 2.4f);
    EXPECT_FLOAT_EQ(autopilot_path_progress(path, 8, 0, {0, 2, -7}, rear), 0.0f);
    EXPECT_FLOAT_EQ(autopilot_path_progress(path, 8, 3, {0, 2, 10}, rear), 0.0f);   // all ahead
    EXPECT_FLOAT_EQ(autopilot_path_progress(path, 8, 8, {0, 2, -50}, rear), 8.0f);  // past the end
}

TEST_F(StraightPath, AJumpIsTwoAirbornePointsInARow)
{
    EXPECT_EQ(autopilot_jump_ahead(path, 8, 0), -1);
    path[3].speed = -20;
    EXPECT_EQ(autopilot_jump_ahead(path, 8, 0), -1);
    path[4].speed = -0.0f;   // airborne at a standstill still counts
    EXPECT_EQ(autopilot_jump_ahead(path, 8, 0), 3);
    EXPECT_EQ(autopilot_jump_ahead(path, 8, 4), -1);
    EXPECT_EQ(autopilot_jump_ahead(path, 4, 0), -1);   // point 4 beyond the end
}

TEST_F(StraightPath, TheJoinRunsSmoothlyFromThePathToTheNewLine)
{
    const ai_line_point first{10, 2, -40, 10, 0.2f}, second{10, 2, -45, 10, 0.2f};
    ai_line_point joined[8];
    std::copy(path, path + 8, joined);
    autopilot_join(joined, 8, 3, first, second, {0, 0, 0}, {0, 0, -1});
    for (int i = 0; i <= 3; ++i)
        EXPECT_FLOAT_EQ(joined[i].x, 0.0f);
    for (int i = 4; i < 8; ++i) {
        EXPECT_GT(joined[i].x, joined[i - 1].x) << i;   // drifting steadily over
        EXPECT_LT(joined[i].z, joined[i - 1].z) << i;
        EXPECT_LE(joined[i].speed, 20.0f);
        EXPECT_NEAR(joined[i].lean, 0.2f * float(i - 3) / 5, 1e-6);
    }
    EXPECT_LT(joined[7].x, 10.0f);
    EXPECT_FLOAT_EQ(joined[5].speed, 20 - 10 * 2.0f / 5);

    std::copy(path, path + 8, joined);
    joined[3].speed = -20;   // airborne: no join
    autopilot_join(joined, 8, 3, first, second, {0, 0, 0}, {0, 0, -1});
    EXPECT_FLOAT_EQ(joined[6].x, 0.0f);

    // From the start: the curve leaves the frame along its heading.
    std::copy(path, path + 8, joined);
    autopilot_join(joined, 8, 0, first, second, {0, 2, 5}, {0, 0, -1});
    EXPECT_NEAR(joined[1].x, 10 * (-2 * 0.125f * 0.125f * 0.125f + 3 * 0.125f * 0.125f), 1e-4);
}

}  // namespace
