// Riders not simulated here are placed from the two history states around the
// displayed tick. The 39 bytes are blended field by field:
//   0-8    three 24-bit positions           blended with f (may extrapolate)
//   9-16   frame quaternion, four 16-bit    nlerp with f' = min(f, 1)
//   17-19  three bytes                      f'; bit 0 of byte 18 written 0
//   20-25  three 16-bit values              f'
//   26-33  second quaternion                as bytes 9-16
//   34-35  angles, one byte per turn        f', across the wrap
//   36     taken from the older state
//   37-38  one 16-bit value                 f'
#include "race/game_tick.h"

#include "foundation/numbers/vec_math.h"
#include "race/rider_history.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr int32_t kMaxExtrapolation = 64;   // ticks past the newer state (0.5 s)

uint32_t read16(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8;
}

void write16(uint8_t* p, uint32_t v)
{
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}

void blend_u16(const uint8_t* a, const uint8_t* b, double f, uint8_t* out)
{
    const double va = read16(a) / 65535.0, vb = read16(b) / 65535.0;
    const double v = std::clamp(va + f * (vb - va), 0.0, 1.0);
    write16(out, uint32_t(std::floor(v * 65535.0 + 0.5)));
}

void blend_quaternion(const uint8_t* a, const uint8_t* b, float f, uint8_t* out)
{
    float q[4], r[4];
    for (int i = 0; i < 4; ++i) {
        q[i] = float(read16(a + 2 * i)) / 65535.0f * 2 - 1;
        r[i] = float(read16(b + 2 * i)) / 65535.0f * 2 - 1;
    }
    quat_nlerp(q, r, f);
    for (int i = 0; i < 4; ++i) {
        const float c = std::isfinite(q[i]) ? std::clamp(q[i], -1.0f, 1.0f) : 0.0f;
        write16(out + 2 * i, uint32_t(std::floor((double(c) + 1) * 32767.5 + 0.5)));
    }
}

}  // namespace

void state_blend(const uint8_t* a, const uint8_t* b, int32_t ta, int32_t tb, int32_t d, int version, uint8_t* out)
{
    const float f = float(std::min<int64_t>(d, int64_t(tb) + kMaxExtrapolation) - ta) / float(int64_t(tb) - ta);
    if (f == 0 || version == 4) {
        memcpy(out, a, kPackedStateSize);
        return;
    }
    const float g = std::min(f, 1.0f);
    for (int i = 0; i < 3; ++i)
        blend_u24(a + 3 * i, b + 3 * i, f, out + 3 * i);
    blend_quaternion(a + 9, b + 9, g, out + 9);
    for (int i = 17; i < 20; ++i)
        blend_byte(a + i, b + i, g, out + i);
    out[18] &= 0xfe;
    for (int i = 20; i < 26; i += 2)
        blend_u16(a + i, b + i, g, out + i);
    blend_quaternion(a + 26, b + 26, g, out + 26);
    blend_wrap_byte(a + 34, b + 34, g, out + 34);
    blend_wrap_byte(a + 35, b + 35, g, out + 35);
    out[36] = a[36];
    blend_u16(a + 37, b + 37, g, out + 37);
}

int state_placement_for(int32_t slot, int32_t d, int version, state_placement* out)
{
    int32_t older, newer;
    if (!history_find_pair(slot, std::max(d, 0), &older, &newer))
        return 0;
    const uint8_t* a = history_states[slot][older];
    const uint8_t* b = history_states[slot][newer];
    const int32_t ta = history_ticks[slot][older], tb = history_ticks[slot][newer];
    if (ta == tb || ta >= d) {
        memcpy(out->target, a, kPackedStateSize);
        memcpy(out->from, a, kPackedStateSize);
        memcpy(out->to, a, kPackedStateSize);
        out->ticks = 1;
        return 1;
    }
    if (d == tb)
        memcpy(out->target, b, kPackedStateSize);
    else
        state_blend(a, b, ta, tb, d, version, out->target);
    memcpy(out->from, a, kPackedStateSize);
    memcpy(out->to, b, kPackedStateSize);
    out->ticks = tb - ta;
    return 1;
}
