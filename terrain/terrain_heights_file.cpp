// "terrain.hf" and "terrain.png".
//
// terrain.hf: a text header "n cell min max" (scanned "%d %f %f %f ", the trailing
// blank taking the line end). If the next byte is ':', N x N samples follow at once,
// N = 2^(n+1) + 1, each 2 bytes low byte first, rows of constant z in order. Any other
// byte (or none): the samples are the 16-bit grey "terrain.png" beside it, whose last
// row and column repeat when it is smaller than N x N. Sample v is the height
// min + (max - min) * v / 65535. A finished save leaves the header line alone; while
// it replaces the image, terrain.hf holds the new samples inline.
#include "terrain/terrain_files.h"
#include "terrain/save_set.h"

#include "foundation/vfs/capped_read.h"
#include "foundation/vfs/file_bound.h"
#include "foundation/door/fresh_file.h"
#include "foundation/memory.h"
#include "foundation/numbers/ripemd160.h"
#include "foundation/text/scan.h"
#include "foundation/text/text_util.h"
#include "foundation/vfs/vfs.h"
#include "foundation/front_door.h"
#include "gfx/image_chain.h"
#include "gfx/images.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Every grid the loader accepts is saved as one picture, and read back from it.
constexpr int64_t kLargestSide = (int64_t{1} << (kTerrainMaxExponent + 1)) + 1;
static_assert(kLargestSide <= image_max_side && kLargestSide * kLargestSide <= image_max_gray16_texels);

void say(const char* format, const char* text)
{
    char line[1024];
    format_string(line, sizeof line, format, text);
    console_print(line);
}

void bad_header()
{
    console_print("Bad height field parameters");
    console_print("Error reading heights");
}

// Exact at both ends: sample 0 is the minimum and 65535 the maximum.
inline float sample_height(float low, float high, uint32_t v)
{
    return float(double(low) + (double(high) - double(low)) * double(v) / 65535.0);
}

// The inline samples are read before the grid is made, and kept only as they
// arrive: a header that declares the largest grid over a few bytes costs those bytes
// and is refused, instead of a gigabyte of grid and seconds of filling it.
size_t inline_bytes(int32_t n)
{
    const size_t side = (size_t(1) << (n + 1)) + 1;
    return side * side * 2;
}

void use_inline(terrain_state* t, const capped_bytes& bytes, ripemd160_ctx* digest)
{
    const size_t count = size_t(t->size) * size_t(t->size);
    const auto* b = reinterpret_cast<const uint8_t*>(bytes.data);
    // The file holds the samples as the digest takes them.
    ripemd160_update(digest, b, count * 2);
    for (size_t k = 0; k < count; ++k) {
        const uint16_t v = uint16_t(b[2 * k] | (b[2 * k + 1] << 8));
        t->heights[k] = sample_height(t->min_height, t->max_height, v);
    }
}

// The picture's samples over the grid; frees them.
void use_png(terrain_state* t, uint16_t* samples, int w, int h, ripemd160_ctx* digest)
{
    const int32_t N = t->size;
    const size_t row_points = size_t(N);
    const size_t inside = size_t(std::min(N, w));
    // A row at a time into the digest, low byte first: the same bytes as one by one.
    // Past the image's last column the row repeats that sample, and past its last row
    // the grid repeats that row; both copy what is made once, so a small image over
    // the largest grid costs the grid's memory and the digest, not a sum per point.
    std::vector<uint8_t> bytes(row_points * 2);
    for (int32_t j = 0; j < N; ++j) {
        float* heights = t->heights + size_t(j) * row_points;
        if (j >= h) {
            memcpy(heights, heights - row_points, row_points * sizeof(float));
        } else {
            const uint16_t* row = samples + size_t(j) * size_t(w);
            for (size_t i = 0; i < inside; ++i) {
                const uint16_t v = row[i];
                bytes[2 * i] = uint8_t(v & 0xff);
                bytes[2 * i + 1] = uint8_t(v >> 8);
                heights[i] = sample_height(t->min_height, t->max_height, v);
            }
            mem_repeat(bytes.data() + 2 * (inside - 1), 2, row_points - inside + 1);
            mem_repeat(heights + inside - 1, sizeof(float), row_points - inside + 1);
        }
        ripemd160_update(digest, bytes.data(), bytes.size());
    }
    mem_free(samples);
}

// "%f" as the header writes it, read back as the loader reads it: what the next
// load will see.
float as_written(float v)
{
    char text[64];
    snprintf(text, sizeof text, "%f", double(v));
    float read = v;
    scan_string(text, "%f", &read);
    return read;
}

// The header and the samples inline after ':', a row at a time so the largest grid
// costs a row of memory beside the samples, not another copy of them.
bool write_inline(vfs_file* f, const terrain_state* t, float low, float high, const uint16_t* samples)
{
    if (vfs_printf(f, "%d %f %f %f\n:", t->n, double(t->cell), double(low), double(high)) <= 0)
        return false;
    const size_t side = size_t(t->size);
    std::vector<uint8_t> row(side * 2);
    for (size_t j = 0; j < side; ++j) {
        const uint16_t* from = samples + j * side;
        for (size_t i = 0; i < side; ++i) {
            row[2 * i] = uint8_t(from[i] & 0xff);
            row[2 * i + 1] = uint8_t(from[i] >> 8);
        }
        if (vfs_write(f, row.data(), row.size()) != row.size())
            return false;
    }
    return true;
}

}  // namespace

int32_t terrain_heights_side(const char* folder)
{
    vfs_file* f = nullptr;
    if (vfs_open_bounded(&f, (std::string("@") + folder + "/terrain.hf").c_str(), kHeightsFileMax, nullptr) != 1)
        return 0;
    int32_t n = 0;
    float cell = 0, low = 0, high = 0;
    const bool ok = vfs_scanf(f, "%d %f %f %f ", &n, &cell, &low, &high) == 4 && terrain_grid_ok(n, cell, low, high);
    vfs_close(f);
    return ok ? (int32_t{1} << (n + 1)) + 1 : 0;
}

int terrain_read_heights(terrain_state* t, const char* folder, uint8_t digest_out[20], terrain_shadow_map* shadows)
{
    const std::string base = std::string("@") + folder + "/";
    vfs_file* f = nullptr;
    const int opened = vfs_open_bounded(&f, (base + "terrain.hf").c_str(), kHeightsFileMax, "Terrain heights");
    if (opened != 1) {
        if (opened == 0)
            say("Can't open '%.950s'", (base + "terrain.hf").c_str());
        return 0;
    }
    int32_t n = 0;
    float cell = 0, low = 0, high = 0;
    if (vfs_scanf(f, "%d %f %f %f ", &n, &cell, &low, &high) != 4 || !terrain_grid_ok(n, cell, low, high)) {
        bad_header();
        vfs_close(f);
        return 0;
    }
    const int next = vfs_getc(f);
    capped_bytes samples{nullptr, 0, 0};
    if (next == ':') {
        samples = vfs_read_rest_capped(f, uint32_t(inline_bytes(n)));
        if (!samples.data || samples.length < inline_bytes(n)) {
            mem_free(samples.data);
            vfs_close(f);
            say("Error reading heights: '%.900s' is too short", (base + "terrain.hf").c_str());
            return 0;
        }
    }
    vfs_close(f);
    // The picture is read before the grid is made, so one refused costs none of it.
    uint16_t* picture = nullptr;
    int w = 0, h = 0;
    if (!samples.data) {
        const int read = png_read_gray16((base + "terrain.png").c_str(), &picture, &w, &h);
        if (read < 0)
            return 0;   // its own line says why
        if (read == 0 || w <= 0 || h <= 0) {
            mem_free(picture);
            picture = nullptr;
        }
    }
    // Shadows read for this grid become its own, so they are never held twice.
    uint8_t* shadow = nullptr;
    if (shadows && shadows->shadow && shadows->side == (int32_t{1} << (n + 1)) + 1) {
        shadow = shadows->shadow;
        shadows->shadow = nullptr;
        shadows->side = 0;
    }
    if (!terrain_alloc(t, n, cell, low, high, shadow)) {
        mem_free(samples.data);
        mem_free(picture);
        bad_header();
        return 0;
    }

    ripemd160_ctx digest;
    ripemd160_init(&digest);
    if (samples.data) {
        use_inline(t, samples, &digest);
        mem_free(samples.data);
    } else if (picture) {
        use_png(t, picture, w, h, &digest);
    } else {
        // The ground stays flat at the minimum, as the grid was made.
        say("Can't open '%.950s'", (base + "terrain.png").c_str());
    }
    ripemd160_final(&digest);
    for (int k = 0; k < 20; ++k)
        digest_out[k] = digest.digest[k];
    const size_t points = size_t(t->size) * size_t(t->size);
    std::copy(t->heights, t->heights + points, t->heights_copy);
    return 1;
}

int terrain_write_heights(terrain_state* t, const char* folder)
{
    if (!t->heights || t->size < 3)
        return 0;
    const size_t points = size_t(t->size) * size_t(t->size);
    float low = t->heights[0], high = t->heights[0];
    for (size_t k = 1; k < points; ++k) {
        low = t->heights[k] < low ? t->heights[k] : low;
        high = t->heights[k] > high ? t->heights[k] : high;
    }
    t->min_height = low;
    t->max_height = high;
    // The samples are made against the header values exactly as they will be read.
    const float file_low = as_written(low), file_high = as_written(high);
    std::vector<uint16_t> samples(points, 0);
    if (file_high > file_low) {
        // In double: a range wider than the largest float (-3e38..3e38) overflows a
        // float span, and every sample would come out 0.
        const double scale = 1.0 / (double(file_high) - double(file_low));
        for (size_t k = 0; k < points; ++k) {
            const double v = (double(t->heights[k]) - double(file_low)) * scale * 65535.0 + 0.5;
            samples[k] = uint16_t(v >= 65535.0 ? 65535 : (v >= 0.0 ? int(v) : 0));
        }
    }

    // Every file is complete before any replaces its old copy, and the old pair is kept
    // aside until the new one is in place: a failure leaves the old pair, never a header
    // that does not match its heights. The save set does the replacing (a set of its
    // own when none is open). The pair cannot change in one step, and a header with one
    // track's range over the other's image loads neither, so terrain.hf first becomes a
    // header with the new samples inline, which never reads the image; the new image
    // goes in under it, then the header alone. At every moment, a failure's putting
    // back included, the next load gives the old heights or the new ones.
    const std::string png = terrain_write_name(folder, "terrain.png");
    const std::string hf = terrain_write_name(folder, "terrain.hf");
    const bool in_set = save_set_active();
    if (!in_set)
        save_set_begin();
    fresh_file bridge_file, png_file, hf_file;
    const bool bridge_ok =
        !hf.empty() && save_set_open(hf, &bridge_file) &&
        save_set_add(hf, &bridge_file, write_inline(bridge_file.f, t, file_low, file_high, samples.data()));
    const bool png_ok =
        bridge_ok && !png.empty() && save_set_open(png, &png_file) &&
        save_set_add(png, &png_file, png_write_gray16_to(png_file.f, samples.data(), t->size, t->size) == 1);
    const bool hf_ok =
        png_ok && save_set_open(hf, &hf_file) &&
        save_set_add(hf, &hf_file,
                     vfs_printf(hf_file.f, "%d %f %f %f\n", t->n, double(t->cell), double(file_low), double(file_high)) > 0);
    // A failure fails the set, whose commit then removes the temporaries already in it.
    if (!hf_ok) {
        say("Can't open '%.950s'", png_ok || !bridge_ok ? "terrain.hf" : "terrain.png");
        save_set_fail();
    }
    if (in_set)
        return hf_ok ? 1 : 0;
    return save_set_commit();
}
