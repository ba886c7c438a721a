#include "gfx/image_chain.h"

#include "foundation/memory.h"

int image_dimensions_ok(int64_t w, int64_t h)
{
    return w >= 1 && h >= 1 && w <= image_max_side && h <= image_max_side && w * h <= image_max_texels;
}

int image_gray16_dimensions_ok(int64_t w, int64_t h)
{
    return w >= 1 && h >= 1 && w <= image_max_side && h <= image_max_side && w * h <= image_max_gray16_texels;
}

int64_t chain_texel_count(int w, int h)
{
    if (w < 1 || h < 1)
        return 1;
    int64_t total = 0;
    for (;;) {
        total += int64_t(w) * h;
        if (w == 1 && h == 1)
            return total;
        w = chain_next_side(w);
        h = chain_next_side(h);
    }
}

uint8_t* chain_alloc(int w, int h, int channels)
{
    if (!image_dimensions_ok(w, h) || channels < 1 || channels > 4)
        return nullptr;
    return static_cast<uint8_t*>(xmalloc(static_cast<size_t>(chain_texel_count(w, h) * channels)));
}

uint8_t* chain_level(uint8_t* chain, int w, int h, int channels, int level)
{
    for (int i = 0; i < level && (w > 1 || h > 1); ++i) {
        chain += static_cast<size_t>(w) * h * channels;
        w = chain_next_side(w);
        h = chain_next_side(h);
    }
    return chain;
}

int chain_level_count(int w, int h)
{
    int levels = 1;
    while (w > 1 || h > 1) {
        w = chain_next_side(w);
        h = chain_next_side(h);
        ++levels;
    }
    return levels;
}

int image_short_data_usable(uint64_t present_bytes, uint64_t declared_bytes)
{
    constexpr uint64_t kSlack = 65536;
    return declared_bytes <= present_bytes || declared_bytes - present_bytes <= present_bytes + kSlack;
}
