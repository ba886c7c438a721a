#include "gfx/mip_custom.h"

#include "gfx/image_chain.h"
#include "gfx/mip_chain.h"

#include "foundation/memory.h"
#include "foundation/text/text_util.h"
#include "foundation/front_door.h"

#include <cstring>

namespace {

void warn(const char* name)
{
    char line[1024];
    format_string(line, sizeof line, "Warning: Invalid height for custom MIP map in '%.950s'", name);
    console_print(line);
}

}  // namespace

void mip_custom_unpack(const char* name, uint8_t** pixels, int* w, int* h, int channels)
{
    const int file_w = *w, file_h = *h;
    if ((2 * file_h) % 3 != 0 || file_h < 3) {
        warn(name);
        mipchain_build(*pixels, file_w, file_h, channels);
        return;
    }
    const int base_h = 2 * file_h / 3;
    uint8_t* chain = chain_alloc(file_w, base_h, channels);
    const uint8_t* file = *pixels;
    const size_t file_row = static_cast<size_t>(file_w) * channels;

    uint8_t* out = chain;
    int lw = file_w, lh = base_h, cx = 0, cy = 0;
    bool inside = true;
    for (;;) {
        if (cx + lw > file_w || cy + lh > file_h) {
            inside = false;
            break;
        }
        for (int y = 0; y < lh; ++y)
            memcpy(out + static_cast<size_t>(y) * lw * channels,
                   file + (cy + y) * file_row + static_cast<size_t>(cx) * channels,
                   static_cast<size_t>(lw) * channels);
        out += static_cast<size_t>(lw) * lh * channels;
        if (lw == 1 && lh == 1)
            break;
        if (cy + lh >= file_h)
            cx += lw;
        else
            cy += lh;
        lw = chain_next_side(lw);
        lh = chain_next_side(lh);
    }
    if (!inside) {
        warn(name);
        mipchain_build(chain, file_w, base_h, channels);
    }
    mem_free(*pixels);
    *pixels = chain;
    *h = base_h;
}
