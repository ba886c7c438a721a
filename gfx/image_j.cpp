// The own predictive formats:
//   "J6" (R,G,B) or "J7" (R,G,B,A) as the first word, then optional "#" comment lines,
//   the width, optional comment lines, the height (decimal), exactly one separator
//   byte, then width x height records of one residual byte per channel, top row
//   first, each row left to right.
//   value = (prediction + residual) mod 256, per channel; the prediction is 0 at (0,0),
//   the left texel along the top row, the texel above along the left column, and
//   clamp(left + above - above-left, 0, 255) elsewhere.
// Every byte missing at the end of the file reads as residual -1 (adds 255), to the
// last row. Data that ends far too early is refused instead (image_short_data_usable).
#include "gfx/image_chain.h"
#include "gfx/image_header.h"
#include "gfx/images.h"
#include "gfx/mip_chain.h"

#include "foundation/memory.h"
#include "foundation/vfs/vfs.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

int word_channels(const char* word)
{
    if (strcmp(word, "J6") == 0)
        return 3;
    if (strcmp(word, "J7") == 0)
        return 4;
    return 0;
}

int read_j(const char* word, vfs_file* f, int keep, uint8_t** pixels, int* w_out, int* h_out)
{
    const int stored = word_channels(word);
    if (!stored)
        return 0;
    int w = 0, h = 0;
    if (!image_header_int(f, &w) || !image_header_int(f, &h) || !image_dimensions_ok(w, h))
        return 0;
    vfs_getc(f);

    uint8_t* chain = chain_alloc(w, h, keep);
    const int decoded = std::min(stored, keep);
    std::vector<uint8_t> residuals(static_cast<size_t>(w) * stored);
    bool ended = false;
    for (int y = 0; y < h; ++y) {
        const int got = ended ? 0 : std::max(vfs_read(f, residuals.data(), static_cast<int>(residuals.size())), 0);
        if (got == 0 && !ended) {
            if (!image_short_data_usable(uint64_t(y) * residuals.size(), uint64_t(h) * residuals.size())) {
                mem_free(chain);
                return 0;
            }
            ended = true;
        }
        std::fill(residuals.begin() + got, residuals.end(), uint8_t(0xFF));
        uint8_t* row = chain + static_cast<size_t>(y) * w * keep;
        const uint8_t* above = row - static_cast<size_t>(w) * keep;
        for (int x = 0; x < w; ++x) {
            for (int c = 0; c < decoded; ++c) {
                int prediction;
                if (x == 0 && y == 0)
                    prediction = 0;
                else if (y == 0)
                    prediction = row[(x - 1) * keep + c];
                else if (x == 0)
                    prediction = above[c];
                else
                    prediction = std::clamp(row[(x - 1) * keep + c] + above[x * keep + c] -
                                                above[(x - 1) * keep + c], 0, 255);
                row[x * keep + c] = static_cast<uint8_t>(prediction + residuals[x * stored + c]);
            }
            if (keep == 4 && stored == 3)
                row[x * 4 + 3] = 255;
        }
    }
    if (keep == 4)
        mipchain_rgba(chain, w, h);
    else
        mipchain_rgb(chain, w, h);
    *pixels = chain;
    *w_out = w;
    *h_out = h;
    return 1;
}

}  // namespace

int image_read_j_rgb(const char* word, vfs_file* f, uint8_t** pixels, int* w, int* h)
{
    return read_j(word, f, 3, pixels, w, h);
}

int image_read_j_rgba(const char* word, vfs_file* f, uint8_t** pixels, int* w, int* h)
{
    return read_j(word, f, 4, pixels, w, h);
}
