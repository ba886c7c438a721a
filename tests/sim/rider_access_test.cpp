// Getters, control and setup setters, gear rules and the setup screen's conversions.
#include "sim_fixture.h"

#include "sim/rider_access.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>

namespace {

using simtest::BikeTest;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kPi = std::numbers::pi_v<float>;

TEST(ClampSetting, UpperFirstThenLowerAndNaNLow)
{
    EXPECT_EQ(clamp_setting(0.5f, 0, 1), 0.5f);
    EXPECT_EQ(clamp_setting(3, 0, 1), 1);
    EXPECT_EQ(clamp_setting(-3, 0, 1), 0);
    EXPECT_EQ(clamp_setting(kInf, 1, 10), 10);
    EXPECT_EQ(clamp_setting(-kInf, 1, 10), 1);
    EXPECT_EQ(clamp_setting(kNaN, 7, 100), 7);
    EXPECT_EQ(clamp_setting(kNaN, -1, 1), -1);
    EXPECT_EQ(clamp_setting(5, 2, 1), 2);   // an upside-down range ends at its lower bound
}

// One row per setup setter: the value stored for below, above, NaN and a middle value.
TEST_F(BikeTest, SetupSettersClampToTheirRanges)
{
    rider_slot* r = create();
    using setter = void (*)(rider_slot*, float);
    struct Row {
        const char* name;
        setter set;
        float rider_slot::*field;
        float lo, hi;
    } const rows[] = {
        {"leveling", bike_set_leveling, &rider_slot::leveling, 0, 100},
        {"roll_damping", bike_set_roll_damping, &rider_slot::roll_damping, 0, 100},
        {"roll_limit_angle", bike_set_roll_limit_angle, &rider_slot::roll_limit_angle, 0, kPi},
        {"roll_limit_factor", bike_set_roll_limit_factor, &rider_slot::roll_limit_factor, 0, 64},
        {"steering_damping", bike_set_steering_damping, &rider_slot::steering_damping, 0, 100},
        {"steering_strength", bike_set_steering_strength, &rider_slot::steering_strength, 0, 100},
        {"max_steering_force", bike_set_max_steering_force, &rider_slot::max_steering_force, 0, 1000},
        {"direct_steering", bike_set_direct_steering, &rider_slot::direct_steering, 0, 1},
        {"slow_damping_speed", bike_set_slow_damping_speed, &rider_slot::slow_damping_speed, 0, 100},
        {"slow_damping_factor", bike_set_slow_damping_factor, &rider_slot::slow_damping_factor, 1, 10},
        {"land_damping_rampup", bike_set_land_damping_rampup, &rider_slot::land_damping_rampup, 0, 0.5f},
        {"land_damping_falloff", bike_set_land_damping_falloff, &rider_slot::land_damping_falloff, 0, 0.5f},
        {"land_damping_factor", bike_set_land_damping_factor, &rider_slot::land_damping_factor, 1, 3},
        {"full_lock_speed", bike_set_full_lock_speed, &rider_slot::full_lock_speed, 1, 100},
        {"restricted_lock_speed", bike_set_restricted_lock_speed, &rider_slot::restricted_lock_speed, 1, 100},
        {"restricted_lock", bike_set_restricted_lock, &rider_slot::restricted_lock, 0, kPi / 4},
        {"auto_clutch_rpms", bike_set_auto_clutch_rpms, &rider_slot::auto_clutch_rpms, 0, 5000},
        {"brake_torque", bike_set_brake_torque, &rider_slot::front_brake_torque, 0, 500},
        {"rear_brake_torque", bike_set_rear_brake_torque, &rider_slot::rear_brake_torque, 0, 500},
        {"max_dab_speed", bike_set_max_dab_speed, &rider_slot::max_dab_speed, 7, 100},
    };
    for (const Row& row : rows) {
        row.set(r, row.lo - 1000);
        EXPECT_FLOAT_EQ(r->*row.field, row.lo) << row.name;
        row.set(r, row.hi + 1000);
        EXPECT_FLOAT_EQ(r->*row.field, row.hi) << row.name;
        row.set(r, kNaN);
        EXPECT_FLOAT_EQ(r->*row.field, row.lo) << row.name;
        const float middle = (row.lo + row.hi) / 2;
        row.set(r, middle);
        EXPECT_FLOAT_EQ(r->*row.field, middle) << row.name;
    }
    bike_set_max_dab_speed(r, 3);
    EXPECT_EQ(r->max_dab_speed, 7);
    bike_set_slow_damping_factor(r, 0);
    EXPECT_EQ(r->slow_damping_factor, 1);
    // The getters read what was stored.
    bike_set_leveling(r, 33);
    bike_set_roll_limit_angle(r, 1.5f);
    EXPECT_EQ(rider_get_leveling(r), 33);
    EXPECT_EQ(rider_get_roll_limit_angle(r), 1.5f);
    EXPECT_EQ(rider_get_slow_damping_factor(r), 1);
}

TEST_F(BikeTest, ControlSettersClampAndTheCrashMasksSome)
{
    rider_slot* r = create();
    using setter = void (*)(rider_slot*, float);
    struct Row {
        const char* name;
        setter set;
        float rider_slot::*field;
        float lo, hi;
        bool masked_while_crashed;
    } const rows[] = {
        {"throttle", rider_set_throttle, &rider_slot::throttle, 0, 1, true},
        {"clutch", rider_set_clutch, &rider_slot::clutch, 0, 1, false},
        {"front brake", rider_set_front_brake, &rider_slot::front_brake, 0, 1, false},
        {"rear brake", rider_set_rear_brake, &rider_slot::rear_brake, 0, 1, false},
        {"steering", rider_set_steering, &rider_slot::steering, -1, 1, false},
        {"lean", rider_set_lean, &rider_slot::lean, -1, 1, true},
        {"dab", rider_set_dab, &rider_slot::dab, 0, 1, true},
        {"back up", rider_set_back_up, &rider_slot::back_up, 0, 1, true},
    };
    for (const Row& row : rows) {
        r->crash_counter = 0;
        row.set(r, 5);
        EXPECT_EQ(r->*row.field, row.hi) << row.name;
        row.set(r, -5);
        EXPECT_EQ(r->*row.field, row.lo) << row.name;
        row.set(r, kNaN);
        EXPECT_EQ(r->*row.field, row.lo) << row.name;
        row.set(r, 0.75f);
        EXPECT_EQ(r->*row.field, 0.75f) << row.name;
        r->crash_counter = 40;
        row.set(r, 0.5f);
        EXPECT_EQ(r->*row.field, row.masked_while_crashed ? 0.0f : 0.5f) << row.name;
    }
    r->crash_counter = 0;
    rider_set_throttle(r, 0.25f);
    rider_set_clutch(r, 0.5f);
    EXPECT_EQ(rider_get_throttle(r), 0.25f);
    EXPECT_EQ(rider_get_clutch(r), 0.5f);
}

TEST_F(BikeTest, OptionSettersTakeTheirLowBits)
{
    rider_slot* r = create();
    r->options = 0;
    bike_set_stop_wheelies(r, 7);
    EXPECT_EQ(rider_get_stop_wheelies(r), 3);
    bike_set_front_brake_option(r, 3);
    bike_set_rear_brake_option(r, 2);
    bike_set_auto_shift(r, 1);
    EXPECT_EQ(r->options, 2 | 4 | 8 | 32);
    bike_set_stop_wheelies(r, 1);
    EXPECT_EQ(r->options, 2 | 8 | 32);
}

// Gear asked for -> gear got, on bikes with gaps in their gearbox.
TEST(GearRules, StepDownPastMissingGears)
{
    bike_info five = bike_infos[0];   // gears 0..4
    bike_info gappy = bike_infos[0];
    const float gaps[6] = {2, 1.8f, -1, -1, -1, 0};      // only gears 0 and 1
    std::copy(gaps, gaps + 6, gappy.gear_ratios);
    bike_info top_only = bike_infos[0];
    const float tops[6] = {2, 0, 0, 0, 0, 1};            // 0 and 5
    std::copy(tops, tops + 6, top_only.gear_ratios);
    bike_info no_second = bike_infos[0];
    const float holes[6] = {2, 0, 0, 0, 0, 0};
    std::copy(holes, holes + 6, no_second.gear_ratios);
    struct Case {
        const bike_info* bike;
        int asked, got;
    } const cases[] = {
        {&five, -3, 0}, {&five, 0, 0}, {&five, 1, 1}, {&five, 4, 4}, {&five, 5, 4}, {&five, 9, 4},
        {&gappy, 2, 1}, {&gappy, 3, 1}, {&gappy, 4, 1}, {&gappy, 5, 1}, {&gappy, 6, 1},
        {&top_only, 5, 5}, {&top_only, 1, 0}, {&top_only, 2, 0}, {&top_only, 3, 0}, {&top_only, 4, 0},
        {&no_second, 5, 0}, {&no_second, 9, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(bike_gear_for_request(c.bike, c.asked), c.got) << "asked " << c.asked;
}

TEST_F(BikeTest, AHeldShiftKeyShiftsOnce)
{
    rider_slot* r = create();   // five gears
    for (int tick = 0; tick < 50; ++tick)
        rider_shift_gear(r, 1);
    EXPECT_EQ(rider_get_gear(r), 1);
    rider_shift_gear(r, 0);     // released
    rider_shift_gear(r, 1);
    EXPECT_EQ(rider_get_gear(r), 2);
    for (int press = 0; press < 6; ++press) {
        rider_shift_gear(r, 0);
        rider_shift_gear(r, 1);
    }
    EXPECT_EQ(rider_get_gear(r), 4);   // fifth is the top of a five-speed bike
    rider_shift_gear(r, -1);            // a new direction needs no release
    EXPECT_EQ(rider_get_gear(r), 3);
    rider_shift_gear(r, 2);             // not a direction
    rider_shift_gear(r, -7);
    EXPECT_EQ(rider_get_gear(r), 3);
    EXPECT_EQ(r->last_shift_request, -1);
    r->crash_counter = 9;
    rider_shift_gear(r, 0);
    rider_shift_gear(r, 1);
    EXPECT_EQ(rider_get_gear(r), 3);
    EXPECT_EQ(r->last_shift_request, -1);   // ignored entirely while crashed
    r->crash_counter = 0;
    rider_set_gear(r, 9);
    EXPECT_EQ(rider_get_gear(r), 4);
    rider_set_gear(r, -2);
    EXPECT_EQ(rider_get_gear(r), 0);

    rider_slot* six = create("kx125", 1);
    rider_set_gear(six, 5);
    EXPECT_EQ(rider_get_gear(six), 5);
}

TEST_F(BikeTest, SprocketsForkShockAndRider)
{
    rider_slot* r = create();   // 13 / 52
    bike_set_sprockets(r, -2, -2);
    EXPECT_FLOAT_EQ(r->final_drive_ratio, 50.0f / 11.0f);
    bike_set_sprockets(r, 9, kNaN);     // +2 at most; NaN as -2
    EXPECT_FLOAT_EQ(r->final_drive_ratio, 50.0f / 15.0f);
    bike_set_sprockets(r, 0, 0);
    EXPECT_FLOAT_EQ(r->final_drive_ratio, 4);

    const bike_info& b = bike_infos[0];
    bike_set_fork(r, 10, -3, 0.1f, 0.5f, 2, -1, kNaN);
    EXPECT_FLOAT_EQ(r->fork.compression, 60 * 4);
    EXPECT_FLOAT_EQ(r->fork.slow_compression, -60);
    EXPECT_FLOAT_EQ(r->fork.rebound, 30 * 0.25f);
    EXPECT_FLOAT_EQ(r->fork.slow_rebound, 15);
    EXPECT_FLOAT_EQ(r->fork.spring_rate, b.fork_spring_rate[1]);
    EXPECT_FLOAT_EQ(r->fork.preload, b.fork_preload[0]);
    EXPECT_FLOAT_EQ(r->fork.oil_level, b.fork_oil_level[0]);
    bike_set_shock(r, kNaN, 0.5f, 2, kNaN, 0.25f, 1);
    EXPECT_FLOAT_EQ(r->shock.compression, 800 * 0.25f);
    EXPECT_FLOAT_EQ(r->shock.slow_compression, 100);
    EXPECT_FLOAT_EQ(r->shock.rebound, 1200);
    EXPECT_FLOAT_EQ(r->shock.slow_rebound, -150);
    EXPECT_FLOAT_EQ(r->shock.spring_rate, b.shock_spring_rate[0] + (b.shock_spring_rate[1] - b.shock_spring_rate[0]) / 4);
    EXPECT_FLOAT_EQ(r->shock.preload, b.shock_preload[1]);

    rider_set_springs(r, 2, kNaN);
    rider_set_dampers(r, -1, 0.3f);
    EXPECT_EQ(r->rider_yspring, 1);
    EXPECT_EQ(r->rider_zspring, 0);
    EXPECT_EQ(r->rider_ydamping, 0);
    EXPECT_FLOAT_EQ(r->rider_zdamping, 0.3f);
}

TEST_F(BikeTest, MassDistributionMovesRiderMassOntoTheFrame)
{
    rider_slot* r = create();
    auto mass = [](dBodyID body) {
        dMass m;
        dBodyGetMass(body, &m);
        return m.mass;
    };
    struct Case {
        float share, stored;
    } const cases[] = {{0.5f, 0.5f}, {0.1f, 0.33f}, {0.9f, 0.5f}, {kNaN, 0.33f}, {0.4f, 0.4f}};
    for (const Case& c : cases) {
        rider_set_mass_distribution(r, c.share);
        EXPECT_NEAR(mass(r->bodies[body_rider]), 4.6875 * c.stored, 1e-5) << c.share;
        EXPECT_NEAR(mass(r->bodies[body_frame]), 3.65375 + 4.6875 * (1 - c.stored), 1e-5) << c.share;
    }
}

TEST_F(BikeTest, GettersReadTheBike)
{
    rider_slot* r = create("yz250f(2017)", 4, "42");
    EXPECT_STREQ(rider_get_bike_class(r), "250f");
    // Forward is minus the frame's z: 22 ft/s ahead is 15 mph, also when turned.
    dBodySetLinearVel(r->bodies[body_frame], 0, 0, -22);
    EXPECT_FLOAT_EQ(rider_get_speed_mph(r), 15);
    bike_rotate(r, 0, 1, 0, kPi / 2);
    dBodySetLinearVel(r->bodies[body_frame], -44, 3, 0);
    EXPECT_NEAR(rider_get_speed_mph(r), 30, 1e-4);

    // Down only while shown, flagged and not finished.
    EXPECT_EQ(rider_is_down(r), 0);
    r->rider_down = 1;
    EXPECT_EQ(rider_is_down(r), 1);
    rider_hidden_hook = [](int slot) { return slot == 4 ? 1 : 0; };
    EXPECT_EQ(rider_is_down(r), 0);
    rider_hidden_hook = nullptr;
    r->finished = 1;
    EXPECT_EQ(rider_is_down(r), 0);
}

TEST(SetupScreen, ConversionsForDisplay)
{
    const bike_info* b = bike_info_lookup("cr125");
    EXPECT_NEAR(bike_info_fork_spring_rate(b, 5), 860.120 * 0.0007440819724087572, 1e-6);
    EXPECT_NEAR(bike_info_fork_oil_level(b, 1), 0.25 * 304.8, 1e-3);
    EXPECT_NEAR(bike_info_shock_preload(b, kNaN), 0, 1e-6);
}

}  // namespace
