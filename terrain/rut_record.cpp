// The deformation record: one wheel's run of n = 1..64 rut points, 4n + 13 bytes,
// little-endian.
//
//   0      type, always 1
//   1, 3   minimum step x, z   16-bit q: value = q / 65535 * 2048 - 1024
//   5, 7   maximum step x, z   (the box of the steps between consecutive points)
//   9, 12  point 0 x, z        24-bit c: value = c / 16777215 * W
//   15     bits 0-1 weight bits 0-1, bits 2-7 dig a    dig = (byte >> 2) / 64 * 2 - 1
//   16     bits 0-1 weight bits 2-3, bits 2-7 dig b
//   17 + 4(k-1)  point k = 1..n-1: step x index, step z index (0..255), then the two
//                dig/weight bytes as above; x_k = x_(k-1) + min + index / 255 * (max - min)
//
// The sender codes each point against the position the receiver will decode, so the
// rounding of one step never carries into the next.
#include "terrain/ruts.h"

#include <cmath>

namespace {

constexpr int kHeader = 17;

// floor(v + 0.5) within 0..top; NaN gives 0.
uint32_t round_code(double v, uint32_t top)
{
    if (!(v > 0.0))
        return 0;
    if (v >= double(top))
        return top;
    return uint32_t(std::floor(v + 0.5));
}

float decode_bound(uint32_t q)
{
    return float(double(q) / 65535.0 * 2048.0 - 1024.0);
}

// The lower bound is rounded down and the upper one up by a sixteenth, so the decoded
// box still holds every step.
uint32_t encode_min_bound(float v)
{
    if (!(v >= -1023.9375f))
        return 0;
    const double s = std::fmin(double(v) - 1.0 / 16.0, 1024.0);
    return round_code((s + 1024.0) * 65535.0 / 2048.0, 65535);
}

uint32_t encode_max_bound(float v)
{
    if (!(v >= -1024.0625f))
        return 0;
    const double s = std::fmin(double(v) + 1.0 / 16.0, 1024.0);
    return round_code((s + 1024.0) * 65535.0 / 2048.0, 65535);
}

float decode_coordinate(uint32_t c, float world_size)
{
    return float(double(c) / 16777215.0 * double(world_size));
}

uint32_t encode_coordinate(float v, float world_size)
{
    if (!(world_size > 0.0f))
        return 0;
    const double clamped = v > world_size ? double(world_size) : double(v);  // NaN -> 0 below
    return round_code(clamped / double(world_size) * 16777215.0, 16777215);
}

float decode_dig(uint8_t byte)
{
    return float(byte >> 2) / 64.0f * 2.0f - 1.0f;
}

// -1 -> 0, 0 -> 32, values near 1 -> 63.
uint8_t encode_dig(float v)
{
    return uint8_t(round_code((double(v) + 1.0) * 32.0, 63));
}

float step_position(float previous, float low, float high, uint8_t index)
{
    return previous + low + float(index) / 255.0f * (high - low);
}

// The index whose decoded step lands nearest d; 0 below the box, and 0 for a box of
// no width (both bounds clamped to the same end).
uint8_t step_index(float d, float low, float high)
{
    if (!(d >= low) || !(high > low))
        return 0;
    const double span = double(high) - double(low);
    const double v = (std::fmin(double(d), double(high)) - double(low)) * 255.0 / span;
    return uint8_t(round_code(v, 255));
}

void put_dig_weight(uint8_t* out, const rut_point& p)
{
    const int32_t w = p.weight < 0 ? 0 : (p.weight > 15 ? 15 : p.weight);  // 16 samples send 15
    out[0] = uint8_t((w & 3) | (encode_dig(p.dig_a) << 2));
    out[1] = uint8_t(((w >> 2) & 3) | (encode_dig(p.dig_b) << 2));
}

void get_dig_weight(const uint8_t* in, erosion_entry* e)
{
    e->dig_a = decode_dig(in[0]);
    e->dig_b = decode_dig(in[1]);
    e->weight = (in[0] & 3) | ((in[1] & 3) << 2);
}

void put16(uint8_t* out, uint32_t v)
{
    out[0] = uint8_t(v);
    out[1] = uint8_t(v >> 8);
}

void put24(uint8_t* out, uint32_t v)
{
    out[0] = uint8_t(v);
    out[1] = uint8_t(v >> 8);
    out[2] = uint8_t(v >> 16);
}

uint32_t get16(const uint8_t* in)
{
    return uint32_t(in[0]) | uint32_t(in[1]) << 8;
}

uint32_t get24(const uint8_t* in)
{
    return uint32_t(in[0]) | uint32_t(in[1]) << 8 | uint32_t(in[2]) << 16;
}

}  // namespace

int32_t deformation_record_encode(const wheel_ruts* ruts, float world_size, uint8_t out[kDeformationRecordMax])
{
    const int32_t n = ruts->point_count;
    if (n <= 0)
        return 0;
    const int32_t count = n > kRutMaxPoints ? kRutMaxPoints : n;

    out[0] = 1;
    const uint32_t q[4] = {encode_min_bound(ruts->step_box[0]), encode_min_bound(ruts->step_box[1]),
                           encode_max_bound(ruts->step_box[2]), encode_max_bound(ruts->step_box[3])};
    for (int i = 0; i < 4; ++i)
        put16(out + 1 + 2 * i, q[i]);
    const float min_x = decode_bound(q[0]), min_z = decode_bound(q[1]);
    const float max_x = decode_bound(q[2]), max_z = decode_bound(q[3]);

    const rut_point& first = ruts->points[0];
    const uint32_t cx = encode_coordinate(first.x, world_size);
    const uint32_t cz = encode_coordinate(first.z, world_size);
    put24(out + 9, cx);
    put24(out + 12, cz);
    put_dig_weight(out + 15, first);

    float x = decode_coordinate(cx, world_size);
    float z = decode_coordinate(cz, world_size);
    for (int32_t k = 1; k < count; ++k) {
        const rut_point& p = ruts->points[k];
        uint8_t* o = out + kHeader + 4 * (k - 1);
        o[0] = step_index(p.x - x, min_x, max_x);
        o[1] = step_index(p.z - z, min_z, max_z);
        x = step_position(x, min_x, max_x, o[0]);
        z = step_position(z, min_z, max_z, o[1]);
        put_dig_weight(o + 2, p);
    }
    return 4 * count + 13;
}

int32_t deformation_record_decode(const uint8_t* record, int32_t length, float world_size,
                                  erosion_entry out[kRutMaxPoints])
{
    if (!record || length < kHeader || length > kDeformationRecordMax || record[0] != 1)
        return 0;
    const float min_x = decode_bound(get16(record + 1)), min_z = decode_bound(get16(record + 3));
    const float max_x = decode_bound(get16(record + 5)), max_z = decode_bound(get16(record + 7));

    erosion_entry* e = out;
    e->x = decode_coordinate(get24(record + 9), world_size);
    e->z = decode_coordinate(get24(record + 12), world_size);
    get_dig_weight(record + 15, e);

    const int32_t further = (length - kHeader) / 4;
    for (int32_t k = 1; k <= further; ++k) {
        const uint8_t* in = record + kHeader + 4 * (k - 1);
        erosion_entry* next = out + k;
        next->x = step_position(e->x, min_x, max_x, in[0]);
        next->z = step_position(e->z, min_z, max_z, in[1]);
        get_dig_weight(in + 2, next);
        e = next;
    }
    return further + 1;
}
