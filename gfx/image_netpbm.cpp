// PPM ("P6", "P3") and PGM ("P5", text otherwise):
//   word, then [# comment lines] width, [comments] height, [comments] maximum value,
//   each decimal. Raw forms ("P6", "P5"): exactly one byte after the maximum, then
//   the samples, one byte each for a maximum up to 255 and two bytes big-endian above
//   (as netpbm writes them). Text forms: decimal samples, comments allowed between.
//   PPM has R,G,B per texel, PGM one sample. Every sample becomes v x 255 / maximum,
//   clamped to 0..255; a maximum below 1 or above 65535 makes the file unreadable.
#include "gfx/image_chain.h"
#include "gfx/image_header.h"
#include "gfx/images.h"
#include "gfx/mip_chain.h"

#include "foundation/memory.h"
#include "foundation/scan.h"
#include "foundation/vfs.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

struct netpbm_header {
    int w = 0, h = 0, maximum = 0;
};

int read_header(vfs_file* f, netpbm_header* hd)
{
    if (!image_header_int(f, &hd->w) || !image_header_int(f, &hd->h) || !image_header_int(f, &hd->maximum))
        return 0;
    return image_dimensions_ok(hd->w, hd->h) && hd->maximum >= 1 && hd->maximum <= 65535;
}

uint8_t scale(int64_t v, int maximum)
{
    if (maximum != 255)
        v = v * 255 / maximum;
    return static_cast<uint8_t>(std::clamp<int64_t>(v, 0, 255));
}

// Reads n samples into out; missing raw data reads as 0, an unreadable text sample as -1.
void read_samples(vfs_file* f, bool raw, int maximum, uint8_t* out, size_t n)
{
    if (!raw) {
        for (size_t i = 0; i < n; ++i) {
            int v = -1;
            if (!image_header_int(f, &v))
                v = -1;
            out[i] = scale(v, maximum);
        }
        return;
    }
    vfs_getc(f);
    const int bytes = maximum > 255 ? 2 : 1;
    std::vector<uint8_t> chunk(65536 * bytes);
    size_t done = 0;
    while (done < n) {
        const size_t want = std::min<size_t>(n - done, 65536);
        const int got = std::max(vfs_read(f, chunk.data(), static_cast<int>(want * bytes)), 0);
        std::fill(chunk.begin() + got, chunk.begin() + static_cast<long>(want * bytes), uint8_t(0));
        for (size_t i = 0; i < want; ++i) {
            const int v = bytes == 2 ? chunk[2 * i] << 8 | chunk[2 * i + 1] : chunk[i];
            out[done + i] = scale(v, maximum);
        }
        done += want;
    }
}

}  // namespace

int image_read_ppm(const char* word, vfs_file* f, uint8_t** pixels, int* w, int* h)
{
    netpbm_header hd;
    if (!read_header(f, &hd))
        return 0;
    uint8_t* chain = chain_alloc(hd.w, hd.h, 3);
    read_samples(f, strcmp(word, "P6") == 0, hd.maximum, chain, static_cast<size_t>(hd.w) * hd.h * 3);
    mipchain_rgb(chain, hd.w, hd.h);
    *pixels = chain;
    *w = hd.w;
    *h = hd.h;
    return 1;
}

int pgm_read(vfs_file* f, uint8_t** pixels, int* w, int* h)
{
    char word[16] = "";
    if (vfs_scanf(f, "%15s", word) != 1)
        return 0;
    netpbm_header hd;
    if (!read_header(f, &hd))
        return 0;
    const size_t n = static_cast<size_t>(hd.w) * hd.h;
    auto* out = static_cast<uint8_t*>(xmalloc(n));
    read_samples(f, word[0] && word[1] == '5', hd.maximum, out, n);
    *pixels = out;
    *w = hd.w;
    *h = hd.h;
    return 1;
}
