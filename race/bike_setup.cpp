#include "race/bike_setup.h"

#include "race/net/net_client.h"
#include "race/program/settings_values.h"
#include "sim/rider_access.h"

#include <cmath>

namespace {

constexpr int kStabilityLevels = 6;   // stability 0, 20, 40, 60, 80, 100 percent

struct stability_row {
    double setup_values::*value;
    float levels[kStabilityLevels];
};

const stability_row stability_table[] = {
    {&setup_values::leveling, {20, 20, 20, 20, 20, 20}},
    {&setup_values::roll_damping, {40, 50, 60, 70, 75, 80}},
    {&setup_values::roll_limit_angle, {90, 45, 45, 45, 45, 45}},
    {&setup_values::roll_limit_factor, {0, 5, 10, 32, 32, 32}},
    {&setup_values::steering_damping, {45, 45, 45, 45, 50, 60}},
    {&setup_values::steering_strength, {75, 75, 75, 75, 75, 75}},
    {&setup_values::direct_steering, {1, 1, 1, 1, 1, 0.125f}},
    {&setup_values::max_steering_force, {400, 400, 400, 400, 400, 400}},
    {&setup_values::slow_damping_speed, {40, 40, 40, 40, 40, 40}},
    {&setup_values::slow_damping_factor, {1, 1, 1.5f, 2, 2, 2}},
    {&setup_values::land_damping_rampup, {0.0625f, 0.0625f, 0.0625f, 0.0625f, 0.0625f, 0.0625f}},
    {&setup_values::land_damping_falloff, {0, 0.125f, 0.25f, 0.25f, 0.25f, 0.25f}},
    {&setup_values::land_damping_factor, {1, 1.5f, 2, 2, 2, 2}},
    {&setup_values::full_lock_speed, {10, 10, 10, 10, 10, 10}},
    {&setup_values::restricted_lock_speed, {50, 50, 50, 50, 50, 50}},
    {&setup_values::restricted_lock, {45, 15, 10, 5, 2.5f, 1}},
};

constexpr double kDegrees = 0.017453292519943295;
constexpr double kMilesPerHour = 1.4666666666666666;   // feet per second

float f(double v) { return float(v); }

// A high-speed damping slider as a factor: 0 gives 1/4, 50 gives 1, 100 gives 4.
float damping_scale(double v) { return float(std::exp((v * 0.04 - 2) * 0.6931471805599453)); }
// A low-speed damping slider as an offset of -1..1.
float damping_offset(double v) { return float(v * 0.02 - 1); }
float percent(double v) { return float(v * 0.01); }

// "Stop Wheelies" items "No", "Yes", "Front Only" as the bike's modes.
int stop_wheelies_mode(int32_t choice)
{
    static const int modes[3] = {0, 3, 2};
    return choice >= 0 && choice < 3 ? modes[choice] : 0;
}

}  // namespace

setup_watch_record setup_watch = {
    {
        {0, 0, 'l', &setup.leveling},
        {0, 0, 'd', &setup.roll_damping},
        {0, 0, 'a', &setup.roll_limit_angle},
        {0, 0, 'x', &setup.roll_limit_factor},
        {0, 0, 'd', &setup.steering_damping},
        {0, 0, 's', &setup.steering_strength},
        {0, 0, 'm', &setup.max_steering_force},
        {0, 0, 'd', &setup.direct_steering},
        {0, 0, 's', &setup.slow_damping_speed},
        {0, 0, 'x', &setup.slow_damping_factor},
        {0, 0, 'r', &setup.land_damping_rampup},
        {0, 0, 'l', &setup.land_damping_falloff},
        {0, 0, 'x', &setup.land_damping_factor},
        {0, 0, 'l', &setup.full_lock_speed},
        {0, 0, 's', &setup.restricted_lock_speed},
        {0, 0, 'a', &setup.restricted_lock},
        {0, 0, 'c', &setup.auto_clutch_rpms},
        {0, 0, 'f', &setup.brake_torque},
        {0, 0, 'r', &setup.rear_brake_torque},
        {0, 0, 'd', &setup.max_dab_speed},
        {0, 0, 'g', &setup.front_sprocket_adjustment},
        {0, 0, 'g', &setup.rear_sprocket_adjustment},
        {0, 0, 'C', &setup.fork_compression_adjustment},
        {0, 0, 'c', &setup.fork_slow_compression_adjustment},
        {0, 0, 'R', &setup.fork_rebound_adjustment},
        {0, 0, 'r', &setup.fork_slow_rebound_adjustment},
        {0, 0, 's', &setup.fork_spring_rate_adjustment},
        {0, 0, 'p', &setup.fork_preload_adjustment},
        {0, 0, 'l', &setup.fork_oil_level_adjustment},
        {0, 0, 'C', &setup.shock_compression_adjustment},
        {0, 0, 'c', &setup.shock_slow_compression_adjustment},
        {0, 0, 'R', &setup.shock_rebound_adjustment},
        {0, 0, 'r', &setup.shock_slow_rebound_adjustment},
        {0, 0, 's', &setup.shock_spring_rate_adjustment},
        {0, 0, 'p', &setup.shock_preload_adjustment},
        {0, 0, 'y', &setup.rider_yspring},
        {0, 0, 'z', &setup.rider_zspring},
        {0, 0, 'Y', &setup.rider_ydamping},
        {0, 0, 'Z', &setup.rider_zdamping},
        {0, 0, 'm', &setup.rider_mass_distribution},
    },
    0,
};

void stability_derive(int32_t stability)
{
    float u = float(stability) * 5.0f * 0.01f;
    u = u < 0 ? 0 : u > 5 ? 5 : u;
    int i = int(std::floor(u));
    i = i < 0 ? 0 : i > 4 ? 4 : i;
    const float fraction = u - float(i);
    for (const stability_row& row : stability_table)
        setup.*row.value = row.levels[i] + (row.levels[i + 1] - row.levels[i]) * fraction;
}

void bike_apply_setup(rider_slot* rider)
{
    const setup_values& s = setup;
    bike_set_leveling(rider, f(s.leveling));
    bike_set_roll_damping(rider, f(s.roll_damping));
    bike_set_roll_limit_angle(rider, f(s.roll_limit_angle * kDegrees));
    bike_set_roll_limit_factor(rider, f(s.roll_limit_factor));
    bike_set_steering_damping(rider, f(s.steering_damping));
    bike_set_steering_strength(rider, f(s.steering_strength));
    bike_set_max_steering_force(rider, f(s.max_steering_force));

    bike_set_arcade(rider, net_arcade_disabled ? 0 : s.arcade);
    bike_set_front_brake_option(rider, s.front_brake);
    bike_set_rear_brake_option(rider, s.rear_brake);
    bike_set_stop_wheelies(rider, stop_wheelies_mode(s.stop_wheelies));
    bike_set_auto_shift(rider, s.auto_shift);
    bike_set_auto_dab(rider, s.auto_dab);
    bike_set_auto_align(rider, s.auto_align);

    bike_set_direct_steering(rider, f(s.direct_steering));
    bike_set_slow_damping_speed(rider, f(s.slow_damping_speed));
    bike_set_slow_damping_factor(rider, f(s.slow_damping_factor));
    bike_set_land_damping_rampup(rider, f(s.land_damping_rampup));
    bike_set_land_damping_falloff(rider, f(s.land_damping_falloff));
    bike_set_land_damping_factor(rider, f(s.land_damping_factor));
    bike_set_full_lock_speed(rider, f(s.full_lock_speed));
    bike_set_restricted_lock_speed(rider, f(s.restricted_lock_speed));
    bike_set_restricted_lock(rider, f(s.restricted_lock * kDegrees));

    bike_set_auto_clutch_rpms(rider, f(s.auto_clutch_rpms));
    bike_set_brake_torque(rider, f(s.brake_torque));
    bike_set_rear_brake_torque(rider, f(s.rear_brake_torque));
    bike_set_max_dab_speed(rider, f(s.max_dab_speed * kMilesPerHour));

    bike_set_sprockets(rider, f(s.front_sprocket_adjustment), f(s.rear_sprocket_adjustment));
    bike_set_fork(rider, damping_scale(s.fork_compression_adjustment),
                  damping_offset(s.fork_slow_compression_adjustment), damping_scale(s.fork_rebound_adjustment),
                  damping_offset(s.fork_slow_rebound_adjustment), percent(s.fork_spring_rate_adjustment),
                  percent(s.fork_preload_adjustment), percent(s.fork_oil_level_adjustment));
    bike_set_shock(rider, damping_scale(s.shock_compression_adjustment),
                   damping_offset(s.shock_slow_compression_adjustment), damping_scale(s.shock_rebound_adjustment),
                   damping_offset(s.shock_slow_rebound_adjustment), percent(s.shock_spring_rate_adjustment),
                   percent(s.shock_preload_adjustment));
    rider_set_springs(rider, percent(s.rider_yspring), percent(s.rider_zspring));
    rider_set_dampers(rider, percent(s.rider_ydamping), percent(s.rider_zdamping));
    rider_set_mass_distribution(rider, f(s.rider_mass_distribution));

    setup_watch_mark();
}

void setup_watch_arm()
{
    for (setup_watch_entry& e : setup_watch.entries) {
        e.snapshot = *e.value;
        e.changed = 0;
    }
}

void setup_watch_mark()
{
    for (setup_watch_entry& e : setup_watch.entries)
        if (e.snapshot != *e.value)
            e.changed = 1;
}
