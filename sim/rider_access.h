// How the rest of the program reads and drives a rider: getters, the control setters
// the tick's input and the auto pilot call, the setup setters, the bike look-up and
// the display conversions of the setup screen. Every setter clamps (upper bound
// first, then lower; NaN becomes the lower bound) and stores; the bike step reads the
// stored values on its next tick.
#pragma once
#include "sim/bike_info.h"
#include "sim/rider_slot.h"

// Installed by the race core: non-zero when the slot's rider is not shown this frame.
// Unset, every rider counts as shown.
extern int (*rider_hidden_hook)(int slot);

// Clamp helper every setter uses: max(min(x, hi), lo), NaN -> lo.
float clamp_setting(float x, float lo, float hi);

// Getters.
int rider_is_down(const rider_slot* rider);
float rider_get_throttle(const rider_slot* rider);
float rider_get_clutch(const rider_slot* rider);
int rider_get_gear(const rider_slot* rider);
dBodyID rider_get_frame_body(const rider_slot* rider);
dBodyID rider_get_rider_body(const rider_slot* rider);
const bike_info* rider_get_bike_info(const rider_slot* rider);
const char* rider_get_bike_class(const rider_slot* rider);
const char* rider_get_number(const rider_slot* rider);
const char* rider_get_rider_texture_name(const rider_slot* rider);
const char* rider_get_head_texture_name(const rider_slot* rider);
const char* rider_get_bike_texture_name(const rider_slot* rider);
const char* rider_get_wheel_texture_name(const rider_slot* rider);
float rider_get_speed_mph(const rider_slot* rider);
float bike_info_rpm_limit(const rider_slot* rider);
int rider_get_option_bit0(const rider_slot* rider);
int rider_get_stop_wheelies(const rider_slot* rider);
int rider_get_front_brake_option(const rider_slot* rider);
int rider_get_rear_brake_option(const rider_slot* rider);
int rider_get_auto_shift(const rider_slot* rider);
int rider_get_auto_dab(const rider_slot* rider);
int rider_get_auto_align(const rider_slot* rider);
int rider_get_arcade(const rider_slot* rider);
float rider_get_direct_steering(const rider_slot* rider);
float rider_get_slow_damping_speed(const rider_slot* rider);
float rider_get_slow_damping_factor(const rider_slot* rider);
float rider_get_leveling(const rider_slot* rider);
float rider_get_max_steering_force(const rider_slot* rider);
float rider_get_roll_damping(const rider_slot* rider);
float rider_get_roll_limit_angle(const rider_slot* rider);
float rider_get_roll_limit_factor(const rider_slot* rider);
float rider_get_steering_damping(const rider_slot* rider);
float rider_get_steering_strength(const rider_slot* rider);

// Control setters (throttle, lean, dab and back-up store 0 while crashed).
void rider_set_throttle(rider_slot* rider, float x);
void rider_set_clutch(rider_slot* rider, float x);
void rider_set_front_brake(rider_slot* rider, float x);
void rider_set_rear_brake(rider_slot* rider, float x);
void rider_set_steering(rider_slot* rider, float x);
void rider_set_lean(rider_slot* rider, float x);
void rider_set_dab(rider_slot* rider, float x);
void rider_set_back_up(rider_slot* rider, float x);
// Edge-triggered: a held key (the same direction again) shifts once.
void rider_shift_gear(rider_slot* rider, int direction);
void rider_set_gear(rider_slot* rider, int gear);
// The gear that asking for gear a gives on this bike (steps down past absent gears).
int bike_gear_for_request(const bike_info* info, int a);

// Setup setters.
void bike_set_leveling(rider_slot* rider, float x);
void bike_set_roll_damping(rider_slot* rider, float x);
void bike_set_roll_limit_angle(rider_slot* rider, float radians);
void bike_set_roll_limit_factor(rider_slot* rider, float x);
void bike_set_steering_damping(rider_slot* rider, float x);
void bike_set_steering_strength(rider_slot* rider, float x);
void bike_set_max_steering_force(rider_slot* rider, float x);
void bike_set_direct_steering(rider_slot* rider, float x);
void bike_set_slow_damping_speed(rider_slot* rider, float x);
void bike_set_slow_damping_factor(rider_slot* rider, float x);
void bike_set_land_damping_rampup(rider_slot* rider, float seconds);
void bike_set_land_damping_falloff(rider_slot* rider, float seconds);
void bike_set_land_damping_factor(rider_slot* rider, float x);
void bike_set_full_lock_speed(rider_slot* rider, float x);
void bike_set_restricted_lock_speed(rider_slot* rider, float x);
void bike_set_restricted_lock(rider_slot* rider, float radians);
void bike_set_auto_clutch_rpms(rider_slot* rider, float rpm);
void bike_set_brake_torque(rider_slot* rider, float x);
void bike_set_rear_brake_torque(rider_slot* rider, float x);
void bike_set_max_dab_speed(rider_slot* rider, float feet_per_second);
void bike_set_arcade(rider_slot* rider, int on);
void bike_set_front_brake_option(rider_slot* rider, int antilock);
void bike_set_rear_brake_option(rider_slot* rider, int antilock);
void bike_set_stop_wheelies(rider_slot* rider, int mode);
void bike_set_auto_shift(rider_slot* rider, int on);
void bike_set_auto_dab(rider_slot* rider, int on);
void bike_set_auto_align(rider_slot* rider, int on);
int rider_set_option_bit0(rider_slot* rider, int on);
void bike_set_sprockets(rider_slot* rider, float front_adjust, float rear_adjust);
void bike_set_fork(rider_slot* rider, float compression, float slow_compression, float rebound,
                   float slow_rebound, float spring_rate, float preload, float oil_level);
void bike_set_shock(rider_slot* rider, float compression, float slow_compression, float rebound,
                    float slow_rebound, float spring_rate, float preload);
void rider_set_springs(rider_slot* rider, float vertical, float fore_aft);
void rider_set_dampers(rider_slot* rider, float vertical, float fore_aft);
// The rider's share (0.33..0.5) of the rider mass rides on the rider body, the rest
// on the frame.
void rider_set_mass_distribution(rider_slot* rider, float share);

// Display conversions of the setup screen.
float bike_info_fork_spring_rate(const bike_info* info, float x);    // kgf/mm per leg
float bike_info_fork_preload(const bike_info* info, float x);        // mm
float bike_info_fork_oil_level(const bike_info* info, float x);      // mm
float bike_info_shock_spring_rate(const bike_info* info, float x);   // kgf/mm
float bike_info_shock_preload(const bike_info* info, float x);       // mm
float bike_info_front_sprocket(const bike_info* info);
float bike_info_rear_sprocket(const bike_info* info);
