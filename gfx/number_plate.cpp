// Rider number plates: digits copied pixel by pixel from the digit fonts into an RGBA
// image, tinted to the plate's colours and uploaded with a transparent border.
#include "gfx/fonts.h"
#include "gfx/image_chain.h"
#include "gfx/mip_chain.h"
#include "gfx/texture_upload.h"

#include "foundation/memory.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

struct glyph_rect {
    int left, top, width, height;
};

// The cell edges in pixels. The boxes hold exact ratios of integers, so rounding gets
// the edges back; truncating could land one column short (4/41 x 41 = 3.99999...) and
// copy a sliver of the neighbouring glyph.
glyph_rect glyph_of(const font* f, unsigned char c)
{
    const float* box = f->box[c];
    auto edge = [](float fraction, int side) { return static_cast<int>(std::lround(fraction * side)); };
    const int left = edge(box[0], f->width), right = edge(box[2], f->width);
    const int top = edge(box[1], f->height), bottom = edge(box[3], f->height);
    return {left, top, right - left, bottom - top};
}

// Calls fn for every drawable byte of text (escape sequences skipped).
template <typename Fn>
void for_each_glyph(const char* text, Fn fn)
{
    int state = 0;
    for (const char* p = text; *p;) {
        if (*p == 27) {
            p = text_escape_apply(p, &state);
            continue;
        }
        fn(static_cast<unsigned char>(*p++));
    }
}

// Truncation to a byte; out-of-range and NaN results (from odd caller colours) pinned.
uint8_t to_byte(float v)
{
    return static_cast<uint8_t>(v > 0 ? (v < 255 ? v : 255) : 0);
}

}  // namespace

void font_text_pixels(const font* f, const char* text, int* w, int* h)
{
    *w = 0;
    *h = 0;
    for_each_glyph(text, [&](unsigned char c) {
        const glyph_rect g = glyph_of(f, c);
        *w += g.width;
        *h = std::max(*h, g.height);
    });
}

void font_render_number(uint8_t* image, int w, int h, float r, float g, float b, float a, const char* text)
{
    const font* f = &font_digits;
    if (!f->pixels)
        return;
    int text_w = 0, text_h = 0;
    font_text_pixels(f, text, &text_w, &text_h);
    if ((9 * w) / 8 < text_w && font_digits_condensed.pixels) {
        f = &font_digits_condensed;
        font_text_pixels(f, text, &text_w, &text_h);
    }
    const float colour[3] = {r, g, b};
    int pen = w / 2 - text_w / 2;
    const int top = h / 2 - text_h / 2;
    for_each_glyph(text, [&](unsigned char c) {
        const glyph_rect glyph = glyph_of(f, c);
        for (int gy = 0; gy < glyph.height; ++gy) {
            const int y = top + gy;
            if (y < 0 || y >= h || glyph.top + gy >= f->height)
                continue;
            for (int gx = 0; gx < glyph.width; ++gx) {
                const int x = pen + gx;
                if (x < 0 || x >= w || glyph.left + gx >= f->width)
                    continue;
                const uint8_t* src = f->pixels + (static_cast<size_t>(glyph.top + gy) * f->width + glyph.left + gx) * 4;
                uint8_t* dst = image + (static_cast<size_t>(y) * w + x) * 4;
                const float A = src[3] / 255.0f * a;
                for (int ch = 0; ch < 3; ++ch)
                    dst[ch] = to_byte((src[ch] / 255.0f * colour[ch] * A + dst[ch] / 255.0f * (1 - A)) * 255);
                dst[3] = to_byte((A * A + dst[3] / 255.0f * (1 - A)) * 255);
            }
        }
        pen += glyph.width;
    });
}

uint32_t number_texture_create(const char* text, int w, int h, const uint8_t background[3],
                               const uint8_t foreground[3])
{
    uint8_t* chain = chain_alloc(w, h, 4);
    if (!chain)
        return 0;
    static const uint8_t clear[4] = {255, 255, 255, 0};
    for (int i = 0; i < w * h; ++i)
        memcpy(chain + i * 4, clear, 4);
    font_render_number(chain, w, h, 1, 1, 1, 1, text);
    for (int i = 0; i < w * h; ++i)
        for (int c = 0; c < 3; ++c) {
            const float f = foreground[c], bg = background[c];
            chain[i * 4 + c] = static_cast<uint8_t>(f + (bg - f) * chain[i * 4 + c] / 255.0f);
        }
    mipchain_rgba(chain, w, h);
    uint8_t* level = chain;
    int lw = w, lh = h;
    for (;;) {
        for (int y = 0; y < lh; ++y)
            for (int x = 0; x < lw; ++x)
                if (y == 0 || y == lh - 1 || x == 0 || x == lw - 1)
                    memcpy(level + (static_cast<size_t>(y) * lw + x) * 4, clear, 4);
        if (lw == 1 && lh == 1)
            break;
        level += static_cast<size_t>(lw) * lh * 4;
        lw = chain_next_side(lw);
        lh = chain_next_side(lh);
    }
    const uint32_t id = texture_upload_mipmapped(chain, w, h, 4);
    mem_free(chain);
    return id;
}
