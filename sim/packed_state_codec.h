// The field codes of the packed rider state, shared by the encoder and the decoders.
#pragma once
#include "sim/packed_state.h"

namespace packed_state {

// Byte offsets of the 39-byte layout.
inline constexpr int at_frame_x = 0;
inline constexpr int at_frame_y = 3;
inline constexpr int at_frame_z = 6;
inline constexpr int at_frame_quaternion = 9;
inline constexpr int at_steering = 17;
inline constexpr int at_swingarm = 18;
inline constexpr int at_fork = 19;
inline constexpr int at_rider_offset = 20;
inline constexpr int at_rider_quaternion = 26;
inline constexpr int at_front_wheel = 34;
inline constexpr int at_rear_wheel = 35;
inline constexpr int at_control = 36;
inline constexpr int at_rpm = 37;

// The 26-byte layout of demo version 4 differs from byte 20 on.
inline constexpr int legacy_rider_slide = 20;
inline constexpr int legacy_front_wheel = 21;
inline constexpr int legacy_rear_wheel = 22;
inline constexpr int legacy_control = 23;
inline constexpr int legacy_rpm = 24;

inline constexpr uint8_t kCrashCode = 7;
inline constexpr float kQuarterPi = 0.78539816f;
inline constexpr float kPi = 3.14159265f;

// max(min(v, hi), lo) with NaN at lo.
float clamp_nan_low(float v, float lo, float hi);
// floor(fraction x n + 0.5): the product in single precision, the half added in double.
uint32_t code(float fraction, float n, uint32_t top);

// The 24-bit code of a coordinate over low..low + W, and the 16-bit code of a
// quaternion component.
uint32_t position_code(float v, float low, float W);
uint32_t quaternion_code(float q);

uint32_t read16(const uint8_t* in);
uint32_t read24(const uint8_t* in);

// The decoded values of a state's fields.
void frame_position(const uint8_t* s, const terrain_state* terrain, double out[3]);
// A unit quaternion (w, x, y, z) that codes to the four words at in.
void quaternion(const uint8_t* in, double q[4]);
float steering_angle(const uint8_t* s);
float rider_offset(const uint8_t* s, int axis);
float wheel_angle(uint8_t byte);
float engine_speed(const uint8_t* rpm_bytes);
int32_t crash_counter(uint8_t control);

}  // namespace packed_state
