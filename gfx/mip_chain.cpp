#include "gfx/mip_chain.h"

#include "gfx/image_chain.h"

#include "foundation/memory.h"

#include <algorithm>

namespace {

// The texels that merge into output texel (x, y): a 2x2 block, or a pair when the
// level is one texel wide or high.
struct block {
    const uint8_t* t[4];
    int n;
};

block block_at(const uint8_t* level, int w, int h, int channels, int x, int y)
{
    block b{};
    if (w == 1 || h == 1) {
        const int i = w == 1 ? y : x;
        b.t[0] = level + static_cast<size_t>(2 * i) * channels;
        b.t[1] = b.t[0] + channels;
        b.n = 2;
    } else {
        const size_t row = static_cast<size_t>(w) * channels;
        b.t[0] = level + (2 * y) * row + static_cast<size_t>(2 * x) * channels;
        b.t[1] = b.t[0] + channels;
        b.t[2] = b.t[0] + row;
        b.t[3] = b.t[2] + channels;
        b.n = 4;
    }
    return b;
}

template <typename Fn>
void for_each_output(uint8_t* level, int w, int h, int channels, Fn fn)
{
    if (w <= 1 && h <= 1)
        return;
    const int nw = chain_next_side(w), nh = chain_next_side(h);
    uint8_t* out = level + static_cast<size_t>(w) * h * channels;
    for (int y = 0; y < nh; ++y)
        for (int x = 0; x < nw; ++x, out += channels)
            fn(block_at(level, w, h, channels, x, y), out);
}

template <typename Step>
void fill_chain(uint8_t* chain, int w, int h, int channels, Step step)
{
    while (w > 1 || h > 1) {
        step(chain, w, h);
        chain += static_cast<size_t>(w) * h * channels;
        w = chain_next_side(w);
        h = chain_next_side(h);
    }
}

}  // namespace

void mip_downsample_box(uint8_t* level, int w, int h, int channels)
{
    for_each_output(level, w, h, channels, [channels](const block& b, uint8_t* out) {
        for (int c = 0; c < channels; ++c) {
            if (b.n == 2)
                out[c] = static_cast<uint8_t>((b.t[0][c] + b.t[1][c]) >> 1);
            else
                out[c] = static_cast<uint8_t>((b.t[0][c] + b.t[1][c] + b.t[2][c] + b.t[3][c]) >> 2);
        }
    });
}

void mip_downsample_rgb(uint8_t* level, int w, int h)
{
    mip_downsample_box(level, w, h, 3);
}

void mip_downsample_rgba(uint8_t* level, int w, int h, int flags)
{
    const bool max_alpha = flags & mip_max_alpha;
    for_each_output(level, w, h, 4, [max_alpha](const block& b, uint8_t* out) {
        int sum = 0, largest = 0;
        for (int i = 0; i < b.n; ++i) {
            sum += b.t[i][3];
            largest = std::max<int>(largest, b.t[i][3]);
        }
        // All transparent or all opaque: weighting changes nothing, take the plain mean.
        const bool plain = sum == 0 || sum == 255 * b.n;
        const int shift = b.n == 4 ? 2 : 1;
        for (int c = 0; c < 3; ++c) {
            int value = 0;
            if (plain) {
                for (int i = 0; i < b.n; ++i)
                    value += b.t[i][c];
                value >>= shift;
            } else {
                for (int i = 0; i < b.n; ++i)
                    value += b.t[i][c] * b.t[i][3];
                value /= sum;
            }
            out[c] = static_cast<uint8_t>(value);
        }
        out[3] = static_cast<uint8_t>(max_alpha ? largest : sum >> shift);
    });
}

void mipchain_build(uint8_t* chain, int w, int h, int channels)
{
    if (channels == 4)
        mipchain_rgba(chain, w, h);
    else
        fill_chain(chain, w, h, channels,
                   [channels](uint8_t* l, int lw, int lh) { mip_downsample_box(l, lw, lh, channels); });
}

void mipchain_rgb(uint8_t* chain, int w, int h)
{
    fill_chain(chain, w, h, 3, [](uint8_t* l, int lw, int lh) { mip_downsample_rgb(l, lw, lh); });
}

void mipchain_rgba(uint8_t* chain, int w, int h)
{
    mipchain_rgba_flags(chain, w, h, 0);
}

void mipchain_rgba_flags(uint8_t* chain, int w, int h, int flags)
{
    fill_chain(chain, w, h, 4, [flags](uint8_t* l, int lw, int lh) { mip_downsample_rgba(l, lw, lh, flags); });
}

uint8_t* chain_rgb_to_rgba(const uint8_t* chain, int w, int h)
{
    uint8_t* out = chain_alloc(w, h, 4);
    if (!out)
        return nullptr;
    const int64_t n = chain_texel_count(w, h);
    for (int64_t i = 0; i < n; ++i) {
        out[i * 4 + 0] = chain[i * 3 + 0];
        out[i * 4 + 1] = chain[i * 3 + 1];
        out[i * 4 + 2] = chain[i * 3 + 2];
        out[i * 4 + 3] = 255;
    }
    return out;
}

uint8_t* chain_rgba_to_rgb(const uint8_t* chain, int w, int h)
{
    uint8_t* out = chain_alloc(w, h, 3);
    if (!out)
        return nullptr;
    const int64_t n = chain_texel_count(w, h);
    for (int64_t i = 0; i < n; ++i) {
        out[i * 3 + 0] = chain[i * 4 + 0];
        out[i * 3 + 1] = chain[i * 4 + 1];
        out[i * 3 + 2] = chain[i * 4 + 2];
    }
    return out;
}
