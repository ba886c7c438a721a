// The per-tick physics of one rider, run after the world step: engine and gearbox,
// clutch, brakes, suspension, steering, the rider on its springs, crashes, dabs and
// feet. Its forces, motor settings and per-tick joints act in the next world step.
#pragma once
#include "sim/rider_slot.h"

#include <ode/ode.h>

#include <cstdint>

inline constexpr int kKnockoutEntries = 16;

// Extra crash ticks by crash number (index clamped to 0..15), each 0..460800; the
// server's "knockout" command sets them.
extern int32_t knockout_table[kKnockoutEntries];

// One tick of a rider's bike.
void bike_step(rider_slot* rider);

// Engine speed in revolutions per minute.
float bike_engine_rpm(const rider_slot* rider);
// The engine's torque at its speed and throttle, with the stop-wheelies cap.
float bike_engine_torque(const rider_slot* rider);

// Roll of a body about its forward axis: negative when it leans to its +x side.
float bike_lean_angle(dBodyID body);
// The front wheel's slip angle against the steering axis, 0 below 1 ft/s.
float front_slip_angle(const rider_slot* rider);
// Torque about the steering axis: onto the front wheel, taken back from the frame.
void steering_torque(rider_slot* rider, float torque);
// Pulls the body's horizontal velocity toward target's, with at most force_limit.
void horizontal_velocity_pull(dBodyID body, float force_limit, const float target[3]);

// Shock travel and its rate of change at swingarm position 0..1.
void shock_linkage(const rider_slot* rider, float position, float* travel, float* ratio);
// One suspension-graph sample: compression 0..1, its speed and damping ratio; returns
// the damping value c + k|speed|.
float bike_fork_telemetry(const rider_slot* rider, float* position, float* speed, float* ratio);
float bike_shock_telemetry(const rider_slot* rider, float* position, float* speed, float* ratio);

// Throws the rider off the bike: the rider joint lets go, the feet keep their places
// and the crash counter starts.
void rider_detach(rider_slot* rider);
// A per-tick rope from point a of body A to point b of body B (each in its body's
// coordinates) that pulls once they are farther apart than slack.
void body_tether(dBodyID a, const float point_a[3], dBodyID b, const float point_b[3], float slack);

// Where the feet reach (the left foot peg's side first) and how far each has left its
// peg (0 on the peg, up to 1); returns 1 while crashed, else 0.
int rider_foot_targets(const rider_slot* rider, float left[3], float* left_weight, float right[3],
                       float* right_weight);
// The feet stage of the step; the whole step of a sleeping bike.
void rider_feet_step(rider_slot* rider);
