// The steering and roll laws of the bike step as plain arithmetic: the allowed lock,
// the force limits near the lock, the roll damping and levelling torque, the
// roll-rate steering term and the front slide. Angles in radians; a lean is negative
// toward the bike's +x side; a roll rate is the frame's spin about its own z axis.
#pragma once

// x moved toward 0 by zone, 0 inside it.
float dead_zone(float x, float zone);

struct steering_setup {
    float roll_damping, leveling, roll_limit_factor, roll_limit_angle;
    float steering_strength, max_steering_force, direct_steering;
    float slow_damping_speed, slow_damping_factor;
    float full_lock_speed, restricted_lock_speed, restricted_lock;
};

// The lock the front wheel may use at wheel speed lw on ground of grip value grip.
float steering_allowed_lock(const steering_setup& s, float grip, float lw);

struct steering_limits {
    float lo, hi;
};
// The torque limits with the front wheel rolling (lw > 1) within height (< 0.5) of
// the ground; a slip beyond the widened lock turns the limits to steer into it.
steering_limits steering_slip_limits(const steering_setup& s, float lock, float slip, float height);

// Roll damping and levelling on the ground: roll damping times the land-damping
// multiplier times the roll rate, made softer below the slow damping speed and harder
// past the roll limit, plus levelling times the lean.
float roll_damping_torque(const steering_setup& s, float multiplier, float roll_rate, float lean, float speed);

// The input's share of the steering torque when it steers by a lean target
// (direct steering below 1).
float roll_rate_steering(const steering_setup& s, float steering, float lean, float roll_rate);

// How far the front wheel slides beyond its lock, 0..1.
float front_slide_amount(float lw, float lock, float slip, float head_angle, float lean);

// The arcade mode's steering torque from the front slip and the steering head.
float arcade_slip_steering(float strength, float slip, float steering, float head_angle, float head_rate);
// The arcade mode's roll motor speed toward the lean the steering asks for.
float arcade_roll_speed(float roll_damping, float steering, float lean);

// The land-damping multiplier after one tick in the air (rising to the factor) or
// rolling on the ground (falling to 1).
float land_damping_rise(float multiplier, float factor, float rampup);
float land_damping_fall(float multiplier, float factor, float falloff);
