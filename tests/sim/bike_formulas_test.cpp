// The engine, clutch, suspension, steering and crash laws of the bike step on plain
// numbers, without a world.
#include "sim/bike_info.h"
#include "sim/crash_math.h"
#include "sim/drivetrain_math.h"
#include "sim/steering_math.h"
#include "sim/rider_access.h"
#include "sim/suspension_math.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace {

constexpr float kPi = std::numbers::pi_v<float>;

TEST(Clutch, AutomaticClutchOpensBelowItsSpeed)
{
    EXPECT_EQ(auto_clutch_engagement(1, 0, 5000), 0);
    EXPECT_FLOAT_EQ(auto_clutch_engagement(1, 6000, 5000), 0.5f);
    EXPECT_FLOAT_EQ(auto_clutch_engagement(0.25f, 6000, 5000), 0.25f);
    EXPECT_FLOAT_EQ(auto_clutch_engagement(0.75f, 7001, 5000), 0.75f);
}

clutch_inputs engaged(float engine_torque)
{
    clutch_inputs in{};
    in.engagement = 1;
    in.auto_clutch_rpms = 5000;
    in.stiffness = 7500;
    in.damping = 0.75f;
    in.inertia = 0.004883f;
    in.reduction = 10;
    in.engine_torque = engine_torque;
    return in;
}

TEST(Clutch, AtRestNoTorqueReachesTheWheelAndTheEngineRunsUp)
{
    clutch_state s{0, 0.3f};
    const clutch_inputs in = engaged(5);
    EXPECT_EQ(clutch_step(&s, in), 0);
    EXPECT_FLOAT_EQ(s.engine_speed, 5 / in.inertia / 128);
    // With no engagement the wind-up limit is 0: the drive angle followed the axle.
    EXPECT_NEAR(s.drive_angle, s.engine_speed / 128 / in.reduction, 1e-6);
}

TEST(Clutch, EngineBrakingActsWithFullEngagementBelowTheAutomaticClutch)
{
    // 100 rad/s is 955 rpm, far below 5000: the automatic clutch would be shut, but
    // the axle overruns the engine, so the coupling brakes it with the full clutch.
    clutch_state s{100, 0};
    clutch_inputs in = engaged(0);
    in.axle_rate = 100;   // 1000 rad/s on the engine side
    EXPECT_FLOAT_EQ(clutch_step(&s, in), -500);
    EXPECT_FLOAT_EQ(s.engine_speed, 100 + 500 / in.reduction / in.inertia / 128);
}

TEST(Clutch, WindUpBeyondTheLimitSlips)
{
    clutch_state s{0, 2.0f};
    clutch_inputs in = engaged(0);
    in.engagement = 0.5f;
    in.auto_clutch_rpms = -10000;   // no automatic clutch
    in.axle_angle = 0.5;
    const float torque = clutch_step(&s, in);
    EXPECT_FLOAT_EQ(torque, 7500 * 1.5f * 0.25f);
    EXPECT_FLOAT_EQ(s.drive_angle, 0.5f + kPi / 8 + s.engine_speed / 128 / in.reduction);
}

TEST(Clutch, AngleWrapsByOneTurn)
{
    EXPECT_FLOAT_EQ(wrap_half_turn(3 * kPi / 2), -kPi / 2);
    EXPECT_FLOAT_EQ(wrap_half_turn(-3 * kPi / 2), kPi / 2);
    EXPECT_FLOAT_EQ(wrap_half_turn(1), 1);
}

TEST(Gears, ShifterTargetsAndAbsentGears)
{
    EXPECT_EQ(auto_shift_target(2, 12001, 9400, 12000), 3);
    EXPECT_EQ(auto_shift_target(2, 12000, 9400, 12000), 2);
    EXPECT_EQ(auto_shift_target(2, 9400, 9400, 12000), 2);
    EXPECT_EQ(auto_shift_target(2, 9399, 9400, 12000), 1);
    EXPECT_EQ(auto_shift_target(1, 0, 9400, 12000), 0);
    EXPECT_EQ(auto_shift_target(0, 0, 9400, 12000), 0);

    // Past the last gear the shifter asks for an absent sixth: the bike stays in fifth.
    const bike_info* cr125 = bike_info_lookup("cr125");
    EXPECT_EQ(bike_gear_for_request(cr125, auto_shift_target(4, 20000, 9400, 12000)), 4);
}

constexpr linkage_curve kLinkage{0.75f, 0.283652f, 0.413386f, 0.315039f, 0.460479f, 0.607049f};

TEST(Linkage, EndValuesAndSlopesAndContinuityAtTheBreakpoint)
{
    EXPECT_FLOAT_EQ(shock_linkage_curve(kLinkage, 0).travel, 0);
    EXPECT_FLOAT_EQ(shock_linkage_curve(kLinkage, 0).ratio, kLinkage.slope0);
    EXPECT_FLOAT_EQ(shock_linkage_curve(kLinkage, 0.75f).travel, kLinkage.mid);
    EXPECT_NEAR(shock_linkage_curve(kLinkage, 0.75f).ratio, kLinkage.slope_mid, 1e-6);
    EXPECT_FLOAT_EQ(shock_linkage_curve(kLinkage, 1).travel, kLinkage.end);
    EXPECT_FLOAT_EQ(shock_linkage_curve(kLinkage, 1).ratio, kLinkage.slope1);
    const linkage_point below = shock_linkage_curve(kLinkage, 0.75f - 1e-4f);
    const linkage_point above = shock_linkage_curve(kLinkage, 0.75f + 1e-4f);
    EXPECT_NEAR(below.travel, above.travel, 1e-4);
    EXPECT_NEAR(below.ratio, above.ratio, 1e-3);
    // Rising throughout.
    float last = -1;
    for (int i = 0; i <= 64; ++i) {
        const float t = shock_linkage_curve(kLinkage, float(i) / 64).travel;
        EXPECT_GT(t, last);
        last = t;
    }
}

TEST(Dampers, SizeIsClampedAndOpposesTheSpeed)
{
    const damper_coefficients d{60, 60, 30, -30};
    EXPECT_EQ(damper_force(d, 0), 0);                       // 8k|v| = 0 caps the slow term
    EXPECT_FLOAT_EQ(damper_force(d, -0.1f), 8 * 60 * 0.1f); // slow term capped at 8k|v|
    EXPECT_FLOAT_EQ(damper_force(d, -2), 60 + 120);         // pushes out while compressing
    EXPECT_FLOAT_EQ(damper_force(d, 0.5f), -15 / 8.0f);     // negative slow term: floor k|v|/8
    EXPECT_FLOAT_EQ(damper_force(d, 4), -(120 - 30));

    const damper_sample s = damper_telemetry(d, -2);
    EXPECT_FLOAT_EQ(s.value, 180);
    EXPECT_FLOAT_EQ(s.ratio, 60.0f / 180);
}

TEST(Fork, NoForceAtFullExtensionAndFullForceFromOneThirtySecond)
{
    fork_settings f{{60, 0, 30, 0}, 500, 0.04f, 0.3f};
    const float travel = 1;
    auto unramped = [&](float x) {
        return (f.preload - x) * f.spring_rate +
               (std::pow((f.oil_level + travel) / (f.oil_level + travel + x), 1.4f) - 1) * 82.4616928100586f;
    };
    EXPECT_EQ(fork_force(f, travel, 0, 0), 0);
    EXPECT_FLOAT_EQ(fork_force(f, travel, -1.0f / 64, 0), unramped(-1.0f / 64) / 2);
    EXPECT_FLOAT_EQ(fork_force(f, travel, -1.0f / 32, 0), unramped(-1.0f / 32));
    EXPECT_FLOAT_EQ(fork_force(f, travel, -0.5f, 0), unramped(-0.5f));
    // Bottomed out the air spring is at its stiffest but finite.
    EXPECT_FLOAT_EQ(fork_force(f, travel, -1, 0), unramped(-1));
    // A zero air gap stays finite.
    f.oil_level = 0;
    EXPECT_TRUE(std::isfinite(fork_force(f, travel, -1, 0)));
}

TEST(Shock, TorqueFollowsTheLinkageAndItsRamp)
{
    const shock_settings s{{800, 200, 600, 150}, 3000, 0.1f};
    const float travel = 0.530304f;
    EXPECT_EQ(shock_torque(s, kLinkage, travel, 0, 0).torque, 0);
    const float a = -travel / 2;
    const shock_output out = shock_torque(s, kLinkage, travel, a, -1);
    const linkage_point link = shock_linkage_curve(kLinkage, 0.5f);
    EXPECT_FLOAT_EQ(out.position, 0.5f);
    EXPECT_FLOAT_EQ(out.speed, -link.ratio);
    EXPECT_FLOAT_EQ(out.torque, link.ratio * ((0.1f + link.travel) * 3000 + damper_force(s.damping, -link.ratio)));
}

TEST(Crash, ThresholdsByFlightState)
{
    struct Row {
        bool air;
        float flight, since, speed, accel;
    } rows[] = {
        {true, 0, 0, 46.5f, 2064},
        {false, 0, 10, 46.5f, 2064},      // riding along: forgiving
        {false, 2, 0, 31, 1376},          // right after a long flight: strict
        {false, 2, 0.25f, 46.5f, 2064},   // a quarter second later it has passed
        {false, 0.559f, 0, 46.5f, 2064},  // a hop is no flight
    };
    for (const Row& r : rows) {
        const crash_limits l = crash_thresholds(r.air, r.flight, r.since);
        EXPECT_FLOAT_EQ(l.speed, r.speed);
        EXPECT_FLOAT_EQ(l.acceleration, r.accel);
    }
    EXPECT_EQ(dab_speed_limit(30, -512), 75);
    EXPECT_EQ(dab_speed_limit(30, -511), 30);
    EXPECT_EQ(dab_speed_limit(90, -640), 90);
}

TEST(Dab, PushRightsAStoppedBikeTowardUpright)
{
    dab_push_inputs in{};
    in.max_dab_speed = 30;
    in.roll_limit_angle = kPi / 4;
    in.lean = -0.5f;   // leaning to +x: push the top toward -x
    EXPECT_EQ(dab_push_force(in), -400);
    in.lean = 0.5f;
    EXPECT_EQ(dab_push_force(in), 400);
    in.roll_rate = -1;   // already righting faster than pi/8
    EXPECT_EQ(dab_push_force(in), 0);
    in.roll_rate = 0;
    in.lean = kPi / 64;  // nearly upright: a gentle push, softer still for the small slack
    EXPECT_FLOAT_EQ(dab_push_force(in), 400 * 0.5f * (4 * kPi / 64));
    // Riding at speed the push only helps a sliding front.
    in.lean = 0.5f;
    in.speed = 20;
    EXPECT_EQ(dab_push_force(in), 0);   // not steering into the lean
    in.steering = -1;
    in.front_slide = 0;
    EXPECT_EQ(dab_push_force(in), 0);
    in.front_slide = 1;
    EXPECT_EQ(dab_push_force(in), 400);
}

steering_setup defaults()
{
    steering_setup s{};
    s.roll_damping = 60;
    s.leveling = 20;
    s.roll_limit_factor = 10;
    s.roll_limit_angle = kPi / 4;
    s.steering_strength = 75;
    s.max_steering_force = 400;
    s.direct_steering = 1;
    s.slow_damping_speed = 0;
    s.slow_damping_factor = 1;
    s.full_lock_speed = 10;
    s.restricted_lock_speed = 50;
    s.restricted_lock = 0.08726646f;
    return s;
}

TEST(Steering, LockNarrowsWithSpeedAndGrip)
{
    const steering_setup s = defaults();
    EXPECT_FLOAT_EQ(steering_allowed_lock(s, 1, 0), kPi / 4);
    EXPECT_FLOAT_EQ(steering_allowed_lock(s, 1, 10), kPi / 4);
    EXPECT_FLOAT_EQ(steering_allowed_lock(s, 1, 50), s.restricted_lock);
    EXPECT_FLOAT_EQ(steering_allowed_lock(s, 0.5f, 80), 2 * s.restricted_lock);
    EXPECT_FLOAT_EQ(steering_allowed_lock(s, 0, 80), 8 * s.restricted_lock);   // grip floor 1/8
    const float mid = steering_allowed_lock(s, 1, 20);
    EXPECT_GT(mid, s.restricted_lock);
    EXPECT_LT(mid, kPi / 4);
}

TEST(Steering, SlipBeyondTheLockTurnsTheLimits)
{
    const steering_setup s = defaults();
    const float lock = 0.2f;
    steering_limits l = steering_slip_limits(s, lock, 0.1f, 0);
    EXPECT_EQ(l.lo, -400);
    EXPECT_EQ(l.hi, 400);
    l = steering_slip_limits(s, lock, 0.5f, 0);   // far past: steer into the slide
    EXPECT_FLOAT_EQ(l.lo, 100);
    l = steering_slip_limits(s, lock, -0.5f, 0);
    EXPECT_FLOAT_EQ(l.hi, -100);
    l = steering_slip_limits(s, lock, 0.5f, 0.5f);   // lifted wheel: the whole lock
    EXPECT_EQ(l.lo, -400);
}

TEST(Steering, RollDampingAndLevelling)
{
    steering_setup s = defaults();
    EXPECT_FLOAT_EQ(roll_damping_torque(s, 1, 0.5f, 0.1f, 20), 60 * 0.5f + 20 * 0.1f);
    EXPECT_FLOAT_EQ(roll_damping_torque(s, 2, 0.5f, 0.1f, 20), 120 * 0.5f + 20 * 0.1f);
    // Past the roll limit and still falling further: much harder.
    EXPECT_FLOAT_EQ(roll_damping_torque(s, 1, 1, 1, 20), 60 * (1 + 10 * (1 - kPi / 4)) + 20);
    EXPECT_FLOAT_EQ(roll_damping_torque(s, 1, -1, 1, 20), -60 + 20);
    s.slow_damping_speed = 10;
    s.slow_damping_factor = 3;
    EXPECT_FLOAT_EQ(roll_damping_torque(s, 1, 1, 0, 5), 60 * 2);
}

TEST(Steering, RollRateTermAndFrontSlide)
{
    const steering_setup s = defaults();
    EXPECT_EQ(roll_rate_steering(s, 0, 0, 0), 0);
    EXPECT_EQ(roll_rate_steering(s, 0, 0, 5), 75);
    EXPECT_EQ(roll_rate_steering(s, 0, 0, -5), -75);
    EXPECT_FLOAT_EQ(roll_rate_steering(s, 0, 0, 0.25f), 4 * 75 * 0.125f);
    // Asked to lean right (steering 1), upright now: the roll rate is too high.
    EXPECT_EQ(roll_rate_steering(s, 1, 0, 0), 75);

    EXPECT_EQ(front_slide_amount(20, 0.2f, 0, 0, -0.1f), 0);
    EXPECT_EQ(front_slide_amount(20, 0.2f, 1, 0, -0.1f), 1);
    EXPECT_EQ(front_slide_amount(20, 0.2f, -1, 0, 0.1f), 1);
    EXPECT_EQ(front_slide_amount(0, 0.2f, 0, -kPi / 4, -0.1f), 1);   // head at its stop
    EXPECT_TRUE(std::isfinite(front_slide_amount(0, 0, 0, 0, 0)));
}

TEST(Steering, ArcadeAndLandDamping)
{
    EXPECT_EQ(arcade_slip_steering(75, 0, 0, 0, 0), 0);
    EXPECT_FLOAT_EQ(arcade_slip_steering(75, 0.25f, 0, 0, 0), 75 * 2.0f / 3);
    EXPECT_FLOAT_EQ(arcade_slip_steering(75, 0, 0, 0, 1), -75 * 0.5f * (1 - 1.0f / 2400));
    EXPECT_FLOAT_EQ(arcade_roll_speed(60, 0, 0.5f), -1.25f);
    EXPECT_FLOAT_EQ(arcade_roll_speed(60, 0, -0.5f), 1.25f);
    EXPECT_FLOAT_EQ(arcade_roll_speed(0, 0, -0.5f), 1.5f);
    EXPECT_EQ(arcade_roll_speed(60, 1, -kPi / 4), 0);

    EXPECT_FLOAT_EQ(land_damping_rise(1, 2, 0.0625f), 1 + 16.0f / 128);
    EXPECT_EQ(land_damping_rise(1, 2, 0), 2);
    EXPECT_EQ(land_damping_rise(1.99f, 2, 0.0625f), 2);
    EXPECT_FLOAT_EQ(land_damping_fall(2, 2, 0.25f), 2 - 4.0f / 128);
    EXPECT_EQ(land_damping_fall(2, 2, 0), 1);
    EXPECT_EQ(land_damping_fall(1.01f, 2, 0.25f), 1);
    EXPECT_EQ(dead_zone(0.5f, 0.125f), 0.375f);
    EXPECT_EQ(dead_zone(-0.1f, 0.125f), 0);
}

}  // namespace
