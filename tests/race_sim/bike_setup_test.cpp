// The bike setup reaching a bike: the stability table, every value through the
// bike's setters in its units on a real bike, and the setup-change watch.
#include "race/bike_setup.h"
#include "race/net/net_client.h"
#include "race/program/settings_values.h"
#include "sim/rider_access.h"
#include "sim/sim_fixture.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// Every test starts from the default setup and leaves it so.
class SetupDefaults {
public:
    SetupDefaults()
    {
        setup = setup_values{};
        stability_derive(100);
        net_arcade_disabled = 0;
    }
    ~SetupDefaults()
    {
        setup = setup_values{};
        net_arcade_disabled = 0;
    }
};

class BikeSetup : public simtest::BikeTest {
protected:
    SetupDefaults defaults;
};

}  // namespace

TEST(StabilityDerive, TableLevelsAndBetween)
{
    SetupDefaults defaults;
    stability_derive(0);
    EXPECT_EQ(setup.roll_limit_angle, 90);
    EXPECT_EQ(setup.restricted_lock, 45);
    EXPECT_EQ(setup.direct_steering, 1);
    stability_derive(100);
    EXPECT_EQ(setup.roll_limit_angle, 45);
    EXPECT_EQ(setup.restricted_lock, 1);
    EXPECT_EQ(setup.direct_steering, 0.125);
    EXPECT_EQ(setup.steering_damping, 60);
    stability_derive(30);
    EXPECT_DOUBLE_EQ(setup.roll_damping, 55);
    EXPECT_DOUBLE_EQ(setup.slow_damping_factor, 1.25);
    stability_derive(50);   // the midpoint of levels 2 and 3
    EXPECT_DOUBLE_EQ(setup.roll_limit_factor, 21);
    EXPECT_DOUBLE_EQ(setup.restricted_lock, 7.5);
    EXPECT_DOUBLE_EQ(setup.roll_damping, 65);
    // Out of range acts as its end.
    stability_derive(-5);
    EXPECT_EQ(setup.roll_limit_angle, 90);
    EXPECT_EQ(setup.land_damping_falloff, 0);
    stability_derive(150);
    EXPECT_EQ(setup.restricted_lock, 1);
    EXPECT_EQ(setup.roll_damping, 80);
}

TEST_F(BikeSetup, ValuesReachTheBikeInItsUnits)
{
    rider_slot* r = create("cr125");
    ASSERT_NE(r, nullptr);
    const bike_info* b = rider_get_bike_info(r);
    setup.roll_limit_angle = 45;
    setup.max_dab_speed = 60;
    setup.stop_wheelies = 2;   // "Front Only"
    setup.front_brake = 1;
    setup.rear_brake = 0;
    setup.auto_shift = 0;
    setup.rider_mass_distribution = 0.4;
    bike_apply_setup(r);
    EXPECT_FLOAT_EQ(rider_get_roll_limit_angle(r), float(M_PI / 4));
    EXPECT_FLOAT_EQ(r->restricted_lock, float(1 * M_PI / 180));
    EXPECT_FLOAT_EQ(r->max_dab_speed, 88.0f);
    EXPECT_EQ(rider_get_stop_wheelies(r), 2);
    EXPECT_EQ(rider_get_front_brake_option(r), 1);
    EXPECT_EQ(rider_get_rear_brake_option(r), 0);
    EXPECT_EQ(rider_get_auto_shift(r), 0);
    EXPECT_FLOAT_EQ(rider_get_direct_steering(r), 0.125f);
    EXPECT_FLOAT_EQ(rider_get_steering_damping(r), 60);
    EXPECT_FLOAT_EQ(r->rider_yspring, 0.5f);

    const float scales[][2] = {{0, 0.25f}, {50, 1}, {100, 4}};
    for (const auto& [slider, factor] : scales) {
        setup.fork_compression_adjustment = slider;
        setup.shock_rebound_adjustment = slider;
        bike_apply_setup(r);
        EXPECT_FLOAT_EQ(r->fork.compression, b->fork_compression_damping * factor) << slider;
        EXPECT_FLOAT_EQ(r->shock.rebound, b->shock_rebound_damping * factor) << slider;
    }
    // Low-speed damping: 0..100 as -1..1 of the bike's own value.
    setup.fork_slow_rebound_adjustment = 100;
    setup.shock_slow_compression_adjustment = 0;
    bike_apply_setup(r);
    EXPECT_FLOAT_EQ(r->fork.slow_rebound, b->fork_slow_rebound_damping);
    EXPECT_FLOAT_EQ(r->shock.slow_compression, -b->shock_slow_compression_damping);

    setup.stop_wheelies = 1;   // "Yes"
    setup.arcade = 1;
    bike_apply_setup(r);
    EXPECT_EQ(rider_get_stop_wheelies(r), 3);
    EXPECT_EQ(rider_get_arcade(r), 1);
    setup.stop_wheelies = 0;
    net_arcade_disabled = 1;   // the server forbids arcade physics
    bike_apply_setup(r);
    EXPECT_EQ(rider_get_stop_wheelies(r), 0);
    EXPECT_EQ(rider_get_arcade(r), 0);
}

TEST_F(BikeSetup, WatchMarksOnlyWhatChanged)
{
    rider_slot* r = create("cr125");
    ASSERT_NE(r, nullptr);
    setup_watch_arm();
    bike_apply_setup(r);
    for (const setup_watch_entry& e : setup_watch.entries)
        EXPECT_EQ(e.changed, 0) << e.letter;
    setup.fork_preload_adjustment = 60;
    bike_apply_setup(r);
    std::string marks;
    for (const setup_watch_entry& e : setup_watch.entries)
        marks += e.changed ? e.letter : '-';
    EXPECT_EQ(marks, std::string(27, '-') + "p" + std::string(12, '-'));   // entry 28
    // A change back leaves the mark until the watch is armed again.
    setup.fork_preload_adjustment = 50;
    bike_apply_setup(r);
    EXPECT_EQ(setup_watch.entries[27].changed, 1);
    setup_watch_arm();
    EXPECT_EQ(setup_watch.entries[27].changed, 0);
    // The letters in the report's order.
    std::string letters;
    for (const setup_watch_entry& e : setup_watch.entries)
        letters += e.letter;
    EXPECT_EQ(letters, "ldaxdsmdsxrlxlsacfrdggCcRrsplCcRrspyzYZm");
}
