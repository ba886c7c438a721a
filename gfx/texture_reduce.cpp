// Power-of-two resampling and detail reduction before an upload.
#include "gfx/image_chain.h"
#include "gfx/mip_chain.h"
#include "gfx/texture_upload.h"

#include "foundation/memory.h"
#include "foundation/text/text_util.h"
#include "foundation/front_door.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

int pow2_not_above(int side)
{
    int p = 1;
    while (p * 2 <= side)
        p *= 2;
    return p;
}

// Halves a side that already is a power of two; 1 and 2 give 1.
int pow2_below(int side)
{
    return side <= 2 ? 1 : pow2_not_above(side - 1);
}

// A new chain of nw x nh sampled nearest from the base of chain, levels built.
uint8_t* resample(const uint8_t* chain, int w, int h, int channels, int nw, int nh)
{
    uint8_t* out = chain_alloc(nw, nh, channels);
    uint8_t* dst = out;
    for (int y = 0; y < nh; ++y) {
        const int sy = static_cast<int>(int64_t(y) * h / nh);
        for (int x = 0; x < nw; ++x, dst += channels) {
            const int sx = static_cast<int>(int64_t(x) * w / nw);
            memcpy(dst, chain + (static_cast<size_t>(sy) * w + sx) * channels, static_cast<size_t>(channels));
        }
    }
    mipchain_build(out, nw, nh, channels);
    return out;
}

size_t level_bytes(int w, int h, int channels)
{
    return static_cast<size_t>(w) * h * channels;
}

}  // namespace

void texture_resample_pow2(uint8_t** chain, int* w, int* h, int channels, int texel_limit, int levels_to_drop)
{
    if (!is_power_of_two(*w) || !is_power_of_two(*h)) {
        const int nw = pow2_not_above(*w), nh = pow2_not_above(*h);
        uint8_t* out = resample(*chain, *w, *h, channels, nw, nh);
        mem_free(*chain);
        *chain = out;
        *w = nw;
        *h = nh;
    }
    const uint8_t* level = *chain;
    int lw = *w, lh = *h, dropped = 0;
    while (levels_to_drop > 0 || int64_t(lw) * lh > texel_limit) {
        --levels_to_drop;
        if (int64_t(lw) * lh <= 16384)
            break;
        level += level_bytes(lw, lh, channels);
        lw = chain_next_side(lw);
        lh = chain_next_side(lh);
        ++dropped;
    }
    if (!dropped)
        return;
    const size_t bytes = static_cast<size_t>(chain_texel_count(lw, lh)) * channels;
    auto* out = static_cast<uint8_t*>(xmalloc(bytes));
    memcpy(out, level, bytes);
    mem_free(*chain);
    *chain = out;
    *w = lw;
    *h = lh;
}

int texture_level_redundant(const uint8_t* level, int w, int h, int channels)
{
    const int nw = chain_next_side(w), nh = chain_next_side(h);
    const uint8_t* next = level + level_bytes(w, h, channels);
    auto texel = [&](int x, int y) { return next + (static_cast<size_t>(y) * nw + x) * channels; };
    for (int y = 0; y < h; ++y) {
        const int upper = std::max((y + 1) / 2 - 1, 0), lower = std::min((y + 1) / 2, nh - 1);
        const int near_row = y % 2 == 0 ? lower : upper, far_row = y % 2 == 0 ? upper : lower;
        for (int x = 0; x < w; ++x) {
            const int left = std::max((x + 1) / 2 - 1, 0), right = std::min((x + 1) / 2, nw - 1);
            const int near_col = x % 2 == 0 ? right : left, far_col = x % 2 == 0 ? left : right;
            const uint8_t* value = level + (static_cast<size_t>(y) * w + x) * channels;
            for (int c = 0; c < channels; ++c) {
                const int near_r = (3 * texel(near_col, near_row)[c] + texel(far_col, near_row)[c]) >> 2;
                const int far_r = (3 * texel(near_col, far_row)[c] + texel(far_col, far_row)[c]) >> 2;
                const int p = (3 * near_r + far_r) >> 2;
                if (std::abs(p - value[c]) > 4)
                    return 0;
            }
        }
    }
    return 1;
}

uint32_t texture_reduce_upload(const uint8_t* chain, int w, int h, int channels, int drop_count, int flags,
                               const char* name)
{
    if (!is_power_of_two(w) || !is_power_of_two(h)) {
        const int nw = pow2_below(w), nh = pow2_below(h);
        uint8_t* resampled = resample(chain, w, h, channels, nw, nh);
        const uint32_t id = texture_reduce_upload(resampled, nw, nh, channels, drop_count, flags, name);
        mem_free(resampled);
        return id;
    }
    const uint8_t* level = chain;
    int lw = w, lh = h;
    auto step_down = [&] {
        level += level_bytes(lw, lh, channels);
        lw = chain_next_side(lw);
        lh = chain_next_side(lh);
    };

    int setting_drops = 0;
    if (drop_count > 0 && lw > 128 && lh > 128) {
        do {
            step_down();
            ++setting_drops;
        } while (setting_drops < drop_count && lw > 128 && lh > 128);
    }
    if (setting_drops == 0 && lw <= 16 && lh <= 16)
        return texture_upload(level, lw, lh, channels, flags);

    int redundant_drops = 0;
    while ((lw > 1 || lh > 1) && texture_level_redundant(level, lw, lh, channels)) {
        const bool go_on = lw > 33 || lh > 33;
        step_down();
        ++redundant_drops;
        if (!go_on)
            break;
    }
    if (redundant_drops > 0 && name) {
        char line[256];
        format_string(line, sizeof line, "%.64s reduced to %dx%d (originally %dx%d)", name, lw, lh, w, h);
        console_print(line);
    }
    return texture_upload(level, lw, lh, channels, flags);
}
