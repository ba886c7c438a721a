// The engine and clutch as plain arithmetic, apart from the bodies they drive: the
// automatic clutch, the torsional coupling between the engine and the rear axle, and
// the gear the automatic shifter aims for.
#pragma once

constexpr double kRpmPerRadPerSec = 9.549296585513721;   // 60 / (2 pi)
constexpr float kStepSeconds = 1.0f / 128.0f;

// Wraps an angle by one turn into [-pi, pi].
float wrap_half_turn(float angle);

// The clutch engagement the engine's own speed allows below auto_clutch_rpms + 2000:
// nothing at or below auto_clutch_rpms, full 2000 rpm above it.
float auto_clutch_engagement(float engagement, float rpm, float auto_clutch_rpms);

// One tick of the coupling between the engine and the rear axle.
struct clutch_state {
    float engine_speed;     // rad/s
    float drive_angle;      // the clutch's output side in rear-axle radians
};
struct clutch_inputs {
    float engagement;       // the rider's clutch, 1 = engaged
    float auto_clutch_rpms;
    float stiffness;        // per radian of wind-up
    float damping;          // per rad/s of slip
    float inertia;          // of the engine
    float reduction;        // engine turns per rear-wheel turn
    float engine_torque;
    double axle_angle;      // rear axle hinge angle
    double axle_rate;       // rear axle hinge rate
};
// Advances the state by one tick and returns the torque the clutch puts on the rear
// wheel's axle (the frame takes it back).
float clutch_step(clutch_state* state, const clutch_inputs& in);

// Where the automatic shifter goes from gear at the given wheel-side engine rpm
// (before the bike's absent gears are stepped over).
int auto_shift_target(int gear, float rpm, float shift_down_rpm, float shift_up_rpm);
