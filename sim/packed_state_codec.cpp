// The packed rider state, 39 bytes, little-endian. Each field stores
// floor(clamped fraction x n + 0.5) and is decoded by dividing by n.
//
//   0-2, 3-5, 6-8  frame x, y, z     24 bits: clamp(x, 0, W) / W x 16777215;
//                                     y as (clamp(y, H0, H0 + W) - H0) / W
//   9-16           frame quaternion  w, x, y, z, 16 bits each: (clamp(q, -1, 1) + 1) x 32767.5
//   17             steering angle    (clamp(a, -pi/4, pi/4) + pi/4) x 162.33803
//   18             swingarm angle    (clamp(s, -T, 0) + T) / T x 255, T = swingarm travel; bit 0 is 0
//   19             fork slider       the same with the fork travel; bit 0 is 0
//   20-25          rider - frame     x, y, z, 16 bits each: (clamp(d, -16, 16) + 16) x 2047.96875
//   26-33          rider quaternion  as 9-16
//   34, 35         front, rear axle  (clamp(a, -pi, pi) + pi) x 40.584507
//   36             control           riding: bits 0-2 gear (0..6), bit 3 dab state > 0, bits 4-7
//                                     trunc(15 x throttle); crashed: bits 0-2 = 7, bit 3 = 0,
//                                     bits 4-7 min(15, (crash counter - 1) x 15 / 127)
//   37-38          engine speed      clamp(rpm, 0, 32768) x 1.9999695
//
// Demo version 4 keeps 26 bytes: 0-19 as above, 20 the rider's slide along the bike's
// rider travel axis (lerp over its travel range by b / 255), 21 and 22 the wheels, 23
// the control byte, 24-25 the engine speed.
#include "sim/packed_state_codec.h"

#include "sim/bike_info.h"

#include <cmath>

namespace packed_state {

float clamp_nan_low(float v, float lo, float hi)
{
    if (v > hi)
        v = hi;
    return v >= lo ? v : lo;
}

uint32_t code(float fraction, float n, uint32_t top)
{
    const float product = fraction * n;
    const double v = std::floor(double(product) + 0.5);
    if (!(v > 0.0))
        return 0;
    return v >= double(top) ? top : uint32_t(v);
}

uint32_t read16(const uint8_t* in)
{
    return uint32_t(in[0]) | uint32_t(in[1]) << 8;
}

uint32_t read24(const uint8_t* in)
{
    return uint32_t(in[0]) | uint32_t(in[1]) << 8 | uint32_t(in[2]) << 16;
}

uint32_t position_code(float v, float low, float W)
{
    if (!(W > 0.0f))
        return 0;
    return code((clamp_nan_low(v, low, low + W) - low) / W, 16777215.0f, 16777215);
}

uint32_t quaternion_code(float q)
{
    return code(clamp_nan_low(q, -1.0f, 1.0f) + 1.0f, 32767.5f, 65535);
}

namespace {

// Bodies sit at single-precision positions: of the floats next to the decoded value
// the one that codes back to c, so that packing what was unpacked gives the same bytes.
double settle_position(uint32_t c, float low, float W)
{
    const float x = float(double(c) / 16777215.0 * double(W) + double(low));
    for (float y : {x, std::nextafter(x, -INFINITY), std::nextafter(x, INFINITY)})
        if (position_code(y, low, W) == c)
            return y;
    return x;
}

}  // namespace

void frame_position(const uint8_t* s, const terrain_state* t, double out[3])
{
    const float W = t->world_size;
    out[0] = settle_position(read24(s + at_frame_x), 0.0f, W);
    out[1] = settle_position(read24(s + at_frame_y), t->min_height, W);
    out[2] = settle_position(read24(s + at_frame_z), 0.0f, W);
}

void quaternion(const uint8_t* in, double q[4])
{
    uint32_t c[4];
    for (int i = 0; i < 4; ++i) {
        c[i] = read16(in + 2 * i);
        q[i] = double(c[i]) / 65535.0 * 2.0 - 1.0;
    }
    // The coded components are not of unit length, and a body keeps only unit ones.
    // When the words came from a unit quaternion, one lies within every component's
    // cell: scale the components that are still free to make up the length, and pin
    // any that leaves its cell to the cell's edge.
    bool pinned[4] = {};
    for (int round = 0; round < 5; ++round) {
        double fixed = 0.0, loose = 0.0;
        for (int i = 0; i < 4; ++i)
            (pinned[i] ? fixed : loose) += q[i] * q[i];
        if (loose <= 0.0 || fixed >= 1.0)
            break;
        const double scale = std::sqrt((1.0 - fixed) / loose);
        bool moved = false;
        for (int i = 0; i < 4; ++i) {
            if (pinned[i])
                continue;
            q[i] *= scale;
            const double lo = (double(c[i]) - 0.49) / 32767.5 - 1.0;
            const double hi = (double(c[i]) + 0.49) / 32767.5 - 1.0;
            if (q[i] < lo || q[i] > hi) {
                q[i] = q[i] < lo ? lo : hi;
                pinned[i] = moved = true;
            }
        }
        if (!moved)
            return;
    }
    // Not from a unit quaternion: the nearest unit one.
    const double n = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
    if (n > 0.0)
        for (int i = 0; i < 4; ++i)
            q[i] /= n;
}

float steering_angle(const uint8_t* s)
{
    return float(s[at_steering]) / 255.0f * (kPi / 2.0f) - kQuarterPi;
}

float rider_offset(const uint8_t* s, int axis)
{
    return float(read16(s + at_rider_offset + 2 * axis)) / 65535.0f * 32.0f - 16.0f;
}

float wheel_angle(uint8_t byte)
{
    return float(byte) / 255.0f * (2.0f * kPi) - kPi;
}

float engine_speed(const uint8_t* rpm_bytes)
{
    return float(double(read16(rpm_bytes)) / 65535.0 * 32768.0 * M_PI / 30.0);
}

int32_t crash_counter(uint8_t control)
{
    return int32_t(control >> 4) * 127 / 15 + 1;
}

}  // namespace packed_state

using namespace packed_state;

namespace {

void put(uint8_t* out, uint32_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out[i] = uint8_t(v >> (8 * i));
}

void put_quaternion(uint8_t* out, const dReal* q)
{
    for (int i = 0; i < 4; ++i)
        put(out + 2 * i, quaternion_code(float(q[i])), 2);
}

// A travel of 0 (or NaN) leaves nothing to code: the joint sits at its stop.
uint8_t travel_code(float x, float travel)
{
    if (!(travel > 0.0f))
        return 0;
    const float fraction = (clamp_nan_low(x, -travel, 0.0f) + travel) / travel;
    return uint8_t(code(fraction, 255.0f, 255) & ~1u);
}

uint8_t wheel_code(dJointID hinge)
{
    const float a = hinge ? float(dJointGetHingeAngle(hinge)) : 0.0f;
    return uint8_t(code(clamp_nan_low(a, -kPi, kPi) + kPi, 40.584507f, 255));
}

uint8_t control_code(const rider_slot* r)
{
    if (r->crash_counter > 0) {
        const int32_t hi = r->crash_counter > 128 ? 15 : (r->crash_counter - 1) * 15 / 127;
        return uint8_t(kCrashCode | hi << 4);
    }
    const int32_t gear = r->gear < 0 ? 0 : (r->gear > 6 ? 6 : r->gear);
    // A decoded throttle k / 15 times 15 can land a hair below k; the small allowance
    // keeps a replayed or relayed state from losing a step each time it is packed.
    const float t = clamp_nan_low(15.0f * r->throttle + 1.0f / 4096.0f, 0.0f, 15.0f);
    return uint8_t(gear | (r->dab_state > 0.0f ? 8 : 0) | int32_t(t) << 4);
}

}  // namespace

int demo_state_size(int version)
{
    return version == 4 ? kLegacyStateSize : (version == 5 ? kPackedStateSize : 0);
}

void bike_pack_state(const rider_slot* r, const terrain_state* t, packed_rider_state* out)
{
    uint8_t* s = out->bytes;
    const bike_info* info = bike_info_at(r->bike_index);
    const dReal* frame = dBodyGetPosition(r->bodies[body_frame]);
    // Clamped first, so a NaN or a point off the ground codes as its nearest end.
    put(s + at_frame_x, position_code(float(frame[0]), 0.0f, t->world_size), 3);
    put(s + at_frame_y, position_code(float(frame[1]), t->min_height, t->world_size), 3);
    put(s + at_frame_z, position_code(float(frame[2]), 0.0f, t->world_size), 3);
    put_quaternion(s + at_frame_quaternion, dBodyGetQuaternion(r->bodies[body_frame]));

    const float steer = float(dJointGetHingeAngle(r->joints[joint_steering]));
    s[at_steering] = uint8_t(code(clamp_nan_low(steer, -kQuarterPi, kQuarterPi) + kQuarterPi, 162.33803f, 255));
    s[at_swingarm] = travel_code(float(dJointGetHingeAngle(r->joints[joint_swingarm])), info ? info->swingarm_travel : 0);
    s[at_fork] = travel_code(float(dJointGetSliderPosition(r->joints[joint_fork_slider])), info ? info->fork_travel : 0);

    const dReal* rider = dBodyGetPosition(r->bodies[body_rider]);
    for (int i = 0; i < 3; ++i) {
        const float d = clamp_nan_low(float(rider[i] - frame[i]), -16.0f, 16.0f);
        put(s + at_rider_offset + 2 * i, code(d + 16.0f, 2047.96875f, 65535), 2);
    }
    put_quaternion(s + at_rider_quaternion, dBodyGetQuaternion(r->bodies[body_rider]));

    s[at_front_wheel] = wheel_code(r->joints[joint_front_axle]);
    s[at_rear_wheel] = wheel_code(r->joints[joint_rear_axle]);
    s[at_control] = control_code(r);
    const float rpm = clamp_nan_low(float(double(r->engine_speed) * 60.0 / (2.0 * M_PI)), 0.0f, 32768.0f);
    put(s + at_rpm, code(rpm, 1.9999695f, 65535), 2);
}
