// One rider and bike of a race. 160 slots live in one static table for the whole
// run; track load and reset create and destroy the riders in them.
#pragma once
#include "foundation/growable_array.h"
#include "sim/ai_line_point.h"
#include "sim/shapes.h"
#include "sim/wheel_contact.h"

#include <ode/ode.h>

#include <cstdint>

struct model;

inline constexpr int kRiderSlots = 160;
inline constexpr int kRiderNumberSize = 8;     // at most 7 characters and the NUL

// The seven bodies, in the slot's order.
enum bike_body : int {
    body_frame,
    body_front_wheel,
    body_rear_wheel,
    body_fork_upper,
    body_fork_lower,
    body_swingarm,
    body_rider,
    kBikeBodies
};

// The six joints, in the slot's order.
enum bike_joint : int {
    joint_front_axle,
    joint_rear_axle,
    joint_steering,
    joint_fork_slider,
    joint_swingarm,
    joint_rider,
    kBikeJoints
};

// Option byte bits.
inline constexpr uint8_t option_air_steering = 1 << 0;
inline constexpr uint8_t option_stop_wheelies_shift = 1;     // bits 1-2, modes 0..3
inline constexpr uint8_t option_stop_wheelies_mask = 3 << 1;
inline constexpr uint8_t option_front_antilock = 1 << 3;
inline constexpr uint8_t option_rear_antilock = 1 << 4;
inline constexpr uint8_t option_auto_shift = 1 << 5;
inline constexpr uint8_t option_auto_dab = 1 << 6;
inline constexpr uint8_t option_auto_align = 1 << 7;

// State flag bits.
inline constexpr uint8_t state_simulated_locally = 1 << 0;

// Fork (seven values) and shock (the first six; oil level stays 0).
struct suspension_settings {
    float compression;          // speed coefficient
    float slow_compression;     // constant term
    float rebound;
    float slow_rebound;
    float spring_rate;
    float preload;
    float oil_level;
};

// A texture with its normal and specular maps (0 = none).
struct texture_set {
    uint32_t colour;
    uint32_t normal;
    uint32_t specular;
};

struct rider_slot {
    int32_t bike_index;                     // into bike_infos
    dBodyID bodies[kBikeBodies];
    dJointID joints[kBikeJoints];
    dJointFeedback feedback[kBikeJoints];
    wheel_contact front_contact;
    wheel_contact rear_contact;

    // Controls.
    float throttle;                         // 0..1
    float clutch;                           // engagement 0..1, 1 = engaged
    float front_brake;                      // 0..1
    float rear_brake;                       // 0..1
    float steering;                         // -1..1
    float dab;                              // 0..1
    float dab_state;                        // 0..1
    float back_up;                          // 0..1
    float lean;                             // -1..1, forward positive
    int32_t gear;                           // 0..5
    int32_t last_shift_request;             // -1, 0, +1

    // Drivetrain.
    float drive_angle;                      // clutch output side, rear-wheel radians
    float engine_speed;                     // rad/s
    float final_drive_ratio;

    suspension_settings fork;
    suspension_settings shock;
    float rider_yspring;                    // 0..1 each
    float rider_ydamping;
    float rider_zspring;
    float rider_zdamping;

    // Timing (gate times and laps).
    int32_t timing_position;                // positions passed
    growable_array gate_times;              // int32_t ticks, -1 = not reached

    // Racing-line recording.
    growable_array line_buffers[2];         // ai_line_point; buffer k % 2 records segment k
    int32_t line_cancel_bits;               // bit k: buffer k cancelled
    int32_t picked_lines[4];                // line ids of the last four segments, k % 4

    // Automatic rider.
    int32_t personality;                    // 0 = not an automatic rider
    growable_array path;                    // followed path, ai_line_point
    int32_t path_index;                     // the next point to reach
    int32_t path_count;
    int32_t segment_counter;
    int32_t progress_tick;
    int32_t recovery;                       // 0 = normal driving
    float start_timer;                      // seconds, 0 = not drawn yet
    int32_t limit_tick;
    float smoothed_throttle;
    float moved_from[2];                    // x, z where the rider last rode on along its path
    int32_t moved_tick;                     // when; -1 = not yet watched

    float total_mass;

    // Setup values.
    float roll_damping;
    float leveling;
    float roll_limit_factor;
    float roll_limit_angle;
    float steering_damping;
    float steering_strength;
    float max_steering_force;
    float direct_steering;
    float slow_damping_speed;
    float slow_damping_factor;
    float land_damping_rampup;
    float land_damping_falloff;
    float land_damping_factor;
    float auto_clutch_rpms;
    float front_brake_torque;
    float rear_brake_torque;
    float max_dab_speed;
    float full_lock_speed;
    float restricted_lock_speed;
    float restricted_lock;

    // Models (owned by the model cache; null = none), shapes (owned here, indexed by
    // bike_body) and textures (owned by the texture cache).
    model* frame_model;
    model* fork_upper_model;
    model* fork_lower_model;
    model* swingarm_model;
    model* front_wheel_model;
    model* rear_wheel_model;
    model* head_model;
    model* rider_body_model;
    model* rider_body_fp_model;             // the rider's own view
    model* side_plates_model;               // drawn on the frame
    model* front_plate_model;               // drawn on the fork upper
    model* rider_plate_model;
    collision_shape* shapes[kBikeBodies];
    texture_set bike_textures;
    texture_set wheel_textures;
    texture_set rider_textures;
    texture_set head_textures;
    uint32_t number_texture;                // owned here

    char number[kRiderNumberSize];
    int32_t slot_number;                    // 0..159
    int32_t last_contact_tick;              // last contact with another bike
    int32_t rider_down;
    float land_damping_multiplier;
    int32_t airborne_tick;
    int32_t landed_tick;
    int32_t crash_counter;                  // 0 = riding
    int32_t crash_count;
    float left_foot[3];
    float left_foot_velocity[3];
    float right_foot[3];
    float right_foot_velocity[3];
    float velocity_history[4][3];           // rider body, entry tick % 4
    int32_t finished;
    int32_t realign_done;
    float knock_timer;                      // signed ticks
    float front_slide;                      // 0..1
    float wake_timer;                       // 0..1, awake above 0.25
    int32_t arcade;
    int32_t last_contact_refresh_tick;
    uint8_t options;                        // option_* bits
    uint8_t state_flags;                    // state_* bits
};

extern rider_slot rider_slots[kRiderSlots];

// Zeroes all 160 slots (program start).
void rider_table_init();
