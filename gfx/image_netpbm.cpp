// PPM ("P6", "P3") and PGM ("P5", text otherwise):
//   word, then [# comment lines] width, [comments] height, [comments] maximum value,
//   each decimal. Raw forms ("P6", "P5"): exactly one byte after the maximum, then
//   the samples, one byte each for a maximum up to 255 and two bytes big-endian above
//   (as netpbm writes them). Text forms: decimal samples, comments allowed between.
//   PPM has R,G,B per texel, PGM one sample. Every sample becomes v x 255 / maximum,
//   clamped to 0..255; a maximum below 1 or above 65535 makes the file unreadable.
//   Samples missing at the end read as 0, unless far too many are missing
//   (image_short_data_usable): then the file is unreadable.
#include "gfx/image_chain.h"
#include "gfx/image_header.h"
#include "gfx/images.h"
#include "gfx/mip_chain.h"

#include "foundation/memory.h"
#include "foundation/text/scan.h"
#include "foundation/vfs/vfs.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

struct netpbm_header {
    int w = 0, h = 0, maximum = 0;
};

// The sizes are the caller's to check.
int read_header(vfs_file* f, netpbm_header* hd)
{
    if (!image_header_int(f, &hd->w) || !image_header_int(f, &hd->h) || !image_header_int(f, &hd->maximum))
        return 0;
    return hd->maximum >= 1 && hd->maximum <= 65535;
}

uint8_t scale(int64_t v, int maximum)
{
    if (maximum != 255)
        v = v * 255 / maximum;
    return static_cast<uint8_t>(std::clamp<int64_t>(v, 0, 255));
}

// Reads n samples into out; 0 when the data ends too early to be used (see
// image_short_data_usable). Usable data that ends early is filled once from the first
// missing sample (0 for raw data, the scaled -1 of an unreadable text sample: 0 too).
int read_samples(vfs_file* f, bool raw, int maximum, uint8_t* out, size_t n)
{
    size_t done = 0;
    if (!raw) {
        for (int v = 0; done < n && image_header_int(f, &v); ++done)
            out[done] = scale(v, maximum);
        if (done < n && !image_short_data_usable(done, n))
            return 0;
        std::fill(out + done, out + n, scale(-1, maximum));
        return 1;
    }
    vfs_getc(f);
    const int bytes = maximum > 255 ? 2 : 1;
    std::vector<uint8_t> chunk(65536 * bytes);
    while (done < n) {
        const size_t want = std::min<size_t>(n - done, 65536);
        const int got = std::max(vfs_read(f, chunk.data(), static_cast<int>(want * bytes)), 0);
        const size_t whole = static_cast<size_t>(got) / bytes;
        for (size_t i = 0; i < whole; ++i) {
            const int v = bytes == 2 ? chunk[2 * i] << 8 | chunk[2 * i + 1] : chunk[i];
            out[done + i] = scale(v, maximum);
        }
        if (whole < want) {
            size_t filled = done + whole;
            if (!image_short_data_usable(filled, n))
                return 0;
            // A half sample at the end reads with its missing byte as 0.
            if (bytes == 2 && got % 2)
                out[filled++] = scale(chunk[2 * whole] << 8, maximum);
            std::fill(out + filled, out + n, uint8_t(0));
            return 1;
        }
        done += want;
    }
    return 1;
}

}  // namespace

int image_read_ppm(const char* word, vfs_file* f, uint8_t** pixels, int* w, int* h)
{
    netpbm_header hd;
    if (!read_header(f, &hd) || !image_dimensions_ok(hd.w, hd.h))
        return 0;
    uint8_t* chain = chain_alloc(hd.w, hd.h, 3);
    if (!read_samples(f, strcmp(word, "P6") == 0, hd.maximum, chain, static_cast<size_t>(hd.w) * hd.h * 3)) {
        mem_free(chain);
        return 0;
    }
    mipchain_rgb(chain, hd.w, hd.h);
    *pixels = chain;
    *w = hd.w;
    *h = hd.h;
    return 1;
}

int pgm_read(vfs_file* f, uint8_t** pixels, int* w, int* h)
{
    return pgm_read_sized(f, 0, 0, pixels, w, h);
}

int pgm_read_sized(vfs_file* f, int want_w, int want_h, uint8_t** pixels, int* w, int* h)
{
    char word[16] = "";
    if (vfs_scanf(f, "%15s", word) != 1)
        return 0;
    netpbm_header hd;
    if (!read_header(f, &hd))
        return 0;
    // A size the caller asks for is its own bound (a terrain's 8193 x 8193 shadows are
    // past the image limit); any other must be within the limit.
    *w = hd.w;
    *h = hd.h;
    if (want_w > 0 ? hd.w != want_w || hd.h != want_h : !image_dimensions_ok(hd.w, hd.h))
        return 0;
    const size_t n = static_cast<size_t>(hd.w) * hd.h;
    auto* out = static_cast<uint8_t*>(xmalloc(n));
    if (!read_samples(f, word[0] && word[1] == '5', hd.maximum, out, n)) {
        mem_free(out);
        return 0;
    }
    *pixels = out;
    return 1;
}
