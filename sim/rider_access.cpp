#include "sim/rider_access.h"

#include "sim/bike_graphics.h"

#include <cmath>
#include <numbers>

int (*rider_hidden_hook)(int slot) = nullptr;

float clamp_setting(float x, float lo, float hi)
{
    // Values come from scripts and the network too: NaN must not reach the bike step.
    if (std::isnan(x))
        return lo;
    return std::fmax(std::fmin(x, hi), lo);
}

namespace {

const bike_info& info_of(const rider_slot* rider)
{
    return bike_infos[static_cast<size_t>(rider->bike_index)];
}

const char* name_of_texture(uint32_t id)
{
    return id ? bike_graphics_get()->texture_name(id) : nullptr;
}

void set_option(rider_slot* rider, uint8_t bit, int on)
{
    rider->options = static_cast<uint8_t>(on & 1 ? rider->options | bit : rider->options & ~bit);
}

float crash_masked(const rider_slot* rider, float x, float lo, float hi)
{
    return rider->crash_counter > 0 ? 0.0f : clamp_setting(x, lo, hi);
}

}  // namespace

// Getters.

int rider_is_down(const rider_slot* rider)
{
    const bool hidden = rider_hidden_hook && rider_hidden_hook(rider->slot_number);
    return !hidden && rider->rider_down && !rider->finished;
}

float rider_get_throttle(const rider_slot* rider) { return rider->throttle; }
float rider_get_clutch(const rider_slot* rider) { return rider->clutch; }
int rider_get_gear(const rider_slot* rider) { return rider->gear; }
dBodyID rider_get_frame_body(const rider_slot* rider) { return rider->bodies[body_frame]; }
dBodyID rider_get_rider_body(const rider_slot* rider) { return rider->bodies[body_rider]; }
const bike_info* rider_get_bike_info(const rider_slot* rider) { return &info_of(rider); }
const char* rider_get_bike_class(const rider_slot* rider) { return info_of(rider).bike_class; }
const char* rider_get_number(const rider_slot* rider) { return rider->number; }

const char* rider_get_rider_texture_name(const rider_slot* rider)
{
    return name_of_texture(rider->rider_textures.colour);
}

const char* rider_get_head_texture_name(const rider_slot* rider)
{
    return name_of_texture(rider->head_textures.colour);
}

const char* rider_get_bike_texture_name(const rider_slot* rider)
{
    return name_of_texture(rider->bike_textures.colour);
}

const char* rider_get_wheel_texture_name(const rider_slot* rider)
{
    return name_of_texture(rider->wheel_textures.colour);
}

float rider_get_speed_mph(const rider_slot* rider)
{
    const dBodyID frame = rider->bodies[body_frame];
    const dReal* v = dBodyGetLinearVel(frame);
    const dReal* r = dBodyGetRotation(frame);   // row-major 3 x 4: column 2 is the local z axis
    const dReal forward = -(v[0] * r[2] + v[1] * r[6] + v[2] * r[10]);
    return static_cast<float>(forward * 15.0 / 22.0);
}

float bike_info_rpm_limit(const rider_slot* rider) { return info_of(rider).rpm_limit; }
int rider_get_option_bit0(const rider_slot* rider) { return rider->options & option_air_steering; }

int rider_get_stop_wheelies(const rider_slot* rider)
{
    return (rider->options & option_stop_wheelies_mask) >> option_stop_wheelies_shift;
}

int rider_get_front_brake_option(const rider_slot* rider) { return (rider->options & option_front_antilock) != 0; }
int rider_get_rear_brake_option(const rider_slot* rider) { return (rider->options & option_rear_antilock) != 0; }
int rider_get_auto_shift(const rider_slot* rider) { return (rider->options & option_auto_shift) != 0; }
int rider_get_auto_dab(const rider_slot* rider) { return (rider->options & option_auto_dab) != 0; }
int rider_get_auto_align(const rider_slot* rider) { return (rider->options & option_auto_align) != 0; }
int rider_get_arcade(const rider_slot* rider) { return rider->arcade; }
float rider_get_direct_steering(const rider_slot* rider) { return rider->direct_steering; }
float rider_get_slow_damping_speed(const rider_slot* rider) { return rider->slow_damping_speed; }
float rider_get_slow_damping_factor(const rider_slot* rider) { return rider->slow_damping_factor; }
float rider_get_leveling(const rider_slot* rider) { return rider->leveling; }
float rider_get_max_steering_force(const rider_slot* rider) { return rider->max_steering_force; }
float rider_get_roll_damping(const rider_slot* rider) { return rider->roll_damping; }
float rider_get_roll_limit_angle(const rider_slot* rider) { return rider->roll_limit_angle; }
float rider_get_roll_limit_factor(const rider_slot* rider) { return rider->roll_limit_factor; }
float rider_get_steering_damping(const rider_slot* rider) { return rider->steering_damping; }
float rider_get_steering_strength(const rider_slot* rider) { return rider->steering_strength; }

// Control setters.

void rider_set_throttle(rider_slot* rider, float x) { rider->throttle = crash_masked(rider, x, 0, 1); }
void rider_set_clutch(rider_slot* rider, float x) { rider->clutch = clamp_setting(x, 0, 1); }
void rider_set_front_brake(rider_slot* rider, float x) { rider->front_brake = clamp_setting(x, 0, 1); }
void rider_set_rear_brake(rider_slot* rider, float x) { rider->rear_brake = clamp_setting(x, 0, 1); }
void rider_set_steering(rider_slot* rider, float x) { rider->steering = clamp_setting(x, -1, 1); }
void rider_set_lean(rider_slot* rider, float x) { rider->lean = crash_masked(rider, x, -1, 1); }
void rider_set_dab(rider_slot* rider, float x) { rider->dab = crash_masked(rider, x, 0, 1); }
void rider_set_back_up(rider_slot* rider, float x) { rider->back_up = crash_masked(rider, x, 0, 1); }

int bike_gear_for_request(const bike_info* info, int a)
{
    if (a <= 0)
        return 0;
    const int c = a < 5 ? a : 5;
    // Step down over at most three missing gears, else fall back to second or first.
    if (bike_has_gear(info, c))
        return c;
    if (a == 1)
        return 0;
    if (bike_has_gear(info, c - 1))
        return c - 1;
    if (a == 2)
        return 0;
    if (bike_has_gear(info, c - 2))
        return c - 2;
    if (a == 3 || bike_has_gear(info, c - 3))
        return c - 3;
    if (a == 4)
        return 0;
    return bike_has_gear(info, 1) ? 1 : 0;
}

void rider_shift_gear(rider_slot* rider, int direction)
{
    if (rider->crash_counter > 0 || direction == rider->last_shift_request || direction < -1 || direction > 1)
        return;
    rider->last_shift_request = direction;
    rider->gear = bike_gear_for_request(&info_of(rider), rider->gear + direction);
}

void rider_set_gear(rider_slot* rider, int gear)
{
    rider->gear = bike_gear_for_request(&info_of(rider), gear);
}

// Setup setters.

void bike_set_leveling(rider_slot* rider, float x) { rider->leveling = clamp_setting(x, 0, 100); }
void bike_set_roll_damping(rider_slot* rider, float x) { rider->roll_damping = clamp_setting(x, 0, 100); }

void bike_set_roll_limit_angle(rider_slot* rider, float radians)
{
    rider->roll_limit_angle = clamp_setting(radians, 0, std::numbers::pi_v<float>);
}

void bike_set_roll_limit_factor(rider_slot* rider, float x) { rider->roll_limit_factor = clamp_setting(x, 0, 64); }
void bike_set_steering_damping(rider_slot* rider, float x) { rider->steering_damping = clamp_setting(x, 0, 100); }
void bike_set_steering_strength(rider_slot* rider, float x) { rider->steering_strength = clamp_setting(x, 0, 100); }

void bike_set_max_steering_force(rider_slot* rider, float x)
{
    rider->max_steering_force = clamp_setting(x, 0, 1000);
}

void bike_set_direct_steering(rider_slot* rider, float x) { rider->direct_steering = clamp_setting(x, 0, 1); }

void bike_set_slow_damping_speed(rider_slot* rider, float x)
{
    rider->slow_damping_speed = clamp_setting(x, 0, 100);
}

void bike_set_slow_damping_factor(rider_slot* rider, float x)
{
    rider->slow_damping_factor = clamp_setting(x, 1, 10);
}

void bike_set_land_damping_rampup(rider_slot* rider, float seconds)
{
    rider->land_damping_rampup = clamp_setting(seconds, 0, 0.5f);
}

void bike_set_land_damping_falloff(rider_slot* rider, float seconds)
{
    rider->land_damping_falloff = clamp_setting(seconds, 0, 0.5f);
}

void bike_set_land_damping_factor(rider_slot* rider, float x)
{
    rider->land_damping_factor = clamp_setting(x, 1, 3);
}

void bike_set_full_lock_speed(rider_slot* rider, float x) { rider->full_lock_speed = clamp_setting(x, 1, 100); }

void bike_set_restricted_lock_speed(rider_slot* rider, float x)
{
    rider->restricted_lock_speed = clamp_setting(x, 1, 100);
}

void bike_set_restricted_lock(rider_slot* rider, float radians)
{
    rider->restricted_lock = clamp_setting(radians, 0, std::numbers::pi_v<float> / 4);
}

void bike_set_auto_clutch_rpms(rider_slot* rider, float rpm) { rider->auto_clutch_rpms = clamp_setting(rpm, 0, 5000); }
void bike_set_brake_torque(rider_slot* rider, float x) { rider->front_brake_torque = clamp_setting(x, 0, 500); }
void bike_set_rear_brake_torque(rider_slot* rider, float x) { rider->rear_brake_torque = clamp_setting(x, 0, 500); }

void bike_set_max_dab_speed(rider_slot* rider, float feet_per_second)
{
    rider->max_dab_speed = clamp_setting(feet_per_second, 7, 100);
}

void bike_set_arcade(rider_slot* rider, int on) { rider->arcade = on; }
void bike_set_front_brake_option(rider_slot* rider, int antilock) { set_option(rider, option_front_antilock, antilock); }
void bike_set_rear_brake_option(rider_slot* rider, int antilock) { set_option(rider, option_rear_antilock, antilock); }

void bike_set_stop_wheelies(rider_slot* rider, int mode)
{
    rider->options = static_cast<uint8_t>((rider->options & ~option_stop_wheelies_mask) |
                                          ((mode & 3) << option_stop_wheelies_shift));
}

void bike_set_auto_shift(rider_slot* rider, int on) { set_option(rider, option_auto_shift, on); }
void bike_set_auto_dab(rider_slot* rider, int on) { set_option(rider, option_auto_dab, on); }
void bike_set_auto_align(rider_slot* rider, int on) { set_option(rider, option_auto_align, on); }

int rider_set_option_bit0(rider_slot* rider, int on)
{
    set_option(rider, option_air_steering, on);
    return on & 1;
}

void bike_set_sprockets(rider_slot* rider, float front_adjust, float rear_adjust)
{
    rider->final_drive_ratio = bike_final_drive_ratio(&info_of(rider), clamp_setting(front_adjust, -2, 2),
                                                      clamp_setting(rear_adjust, -2, 2));
}

namespace {

// The four damping values: the bike's base values times the clamped adjustments.
struct damping_base {
    float compression, slow_compression, rebound, slow_rebound;
};

void set_damping(suspension_settings& s, const damping_base& base, float compression, float slow_compression,
                 float rebound, float slow_rebound)
{
    s.compression = base.compression * clamp_setting(compression, 0.25f, 4);
    s.slow_compression = base.slow_compression * clamp_setting(slow_compression, -1, 1);
    s.rebound = base.rebound * clamp_setting(rebound, 0.25f, 4);
    s.slow_rebound = base.slow_rebound * clamp_setting(slow_rebound, -1, 1);
}

}  // namespace

void bike_set_fork(rider_slot* rider, float compression, float slow_compression, float rebound, float slow_rebound,
                   float spring_rate, float preload, float oil_level)
{
    const bike_info& b = info_of(rider);
    set_damping(rider->fork,
                {b.fork_compression_damping, b.fork_slow_compression_damping, b.fork_rebound_damping,
                 b.fork_slow_rebound_damping},
                compression, slow_compression, rebound, slow_rebound);
    rider->fork.spring_rate = bike_range_lerp(b.fork_spring_rate, spring_rate);
    rider->fork.preload = bike_range_lerp(b.fork_preload, preload);
    rider->fork.oil_level = bike_range_lerp(b.fork_oil_level, oil_level);
}

void bike_set_shock(rider_slot* rider, float compression, float slow_compression, float rebound, float slow_rebound,
                    float spring_rate, float preload)
{
    const bike_info& b = info_of(rider);
    set_damping(rider->shock,
                {b.shock_compression_damping, b.shock_slow_compression_damping, b.shock_rebound_damping,
                 b.shock_slow_rebound_damping},
                compression, slow_compression, rebound, slow_rebound);
    rider->shock.spring_rate = bike_range_lerp(b.shock_spring_rate, spring_rate);
    rider->shock.preload = bike_range_lerp(b.shock_preload, preload);
    rider->shock.oil_level = 0;
}

void rider_set_springs(rider_slot* rider, float vertical, float fore_aft)
{
    rider->rider_yspring = clamp_setting(vertical, 0, 1);
    rider->rider_zspring = clamp_setting(fore_aft, 0, 1);
}

void rider_set_dampers(rider_slot* rider, float vertical, float fore_aft)
{
    rider->rider_ydamping = clamp_setting(vertical, 0, 1);
    rider->rider_zdamping = clamp_setting(fore_aft, 0, 1);
}

// Display conversions.

float bike_info_fork_spring_rate(const bike_info* info, float x)
{
    return bike_range_lerp(info->fork_spring_rate, x) * 0.0007440819724087572f;
}

float bike_info_fork_preload(const bike_info* info, float x) { return bike_range_lerp(info->fork_preload, x) * 304.8f; }

float bike_info_fork_oil_level(const bike_info* info, float x)
{
    return bike_range_lerp(info->fork_oil_level, x) * 304.8f;
}

float bike_info_shock_spring_rate(const bike_info* info, float x)
{
    return bike_range_lerp(info->shock_spring_rate, x) * 0.0014881639448175144f;
}

float bike_info_shock_preload(const bike_info* info, float x)
{
    return bike_range_lerp(info->shock_preload, x) * 304.8f;
}

float bike_info_front_sprocket(const bike_info* info) { return info->front_sprocket; }
float bike_info_rear_sprocket(const bike_info* info) { return info->rear_sprocket; }
