// The image readers against hand-made files of every variant, the writers through
// round trips, and the bad headers that must be refused rather than trusted.
#include "image_fixtures.h"
#include "log_capture.h"

#include "gfx/image_chain.h"
#include "gfx/images.h"
#include "gfx/png_text.h"

#include "foundation/memory.h"
#include "foundation/text/scan.h"
#include "foundation/vfs/vfs.h"
#include "support/measured_child.h"
#include "support/test_support.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <array>
#include <cstdio>

#include <sys/stat.h>

using namespace imgtest;

namespace {

struct Image {
    int ok = 0, w = 0, h = 0, channels = 0;
    uint8_t* pixels = nullptr;
    std::string info;
    ~Image() { mem_free(pixels); }
    Bytes at(int x, int y) const { return texel(pixels, w, channels, x, y); }
    Bytes level(int i) const
    {
        int lw = w, lh = h;
        for (int k = 0; k < i; ++k)
            lw = chain_next_side(lw), lh = chain_next_side(lh);
        const uint8_t* p = ok ? chain_level(pixels, w, h, channels, i) : nullptr;
        return p ? Bytes(p, p + static_cast<size_t>(lw) * lh * channels) : Bytes{};
    }
};

using Reader = int (*)(const char*, vfs_file*, uint8_t**, int*, int*);

// Runs a reader that takes the header word on a file made of bytes.
Image read_with_word(const std::string& bytes, int channels, Reader reader)
{
    Image image;
    vfs_file* f = vfs_open(scratch_file("image.bin", bytes).c_str(), "rb");
    char word[16] = "";
    vfs_scanf(f, "%15s", word);
    image.ok = reader(word, f, &image.pixels, &image.w, &image.h);
    image.channels = channels;
    vfs_close(f);
    return image;
}

Bytes grey_map(const std::string& bytes)
{
    uint8_t* pixels = nullptr;
    int w = 0, h = 0;
    vfs_file* f = vfs_open(scratch_file("grey.pgm", bytes).c_str(), "rb");
    Bytes out;
    if (pgm_read(f, &pixels, &w, &h))
        out.assign(pixels, pixels + static_cast<size_t>(w) * h);
    mem_free(pixels);
    vfs_close(f);
    return out;
}

Image read_png(const std::string& path)
{
    Image image;
    char* info = nullptr;
    image.ok = image_read_png(path.c_str(), &image.pixels, &image.w, &image.h, &image.channels, &info);
    image.info = info ? info : "";
    mem_free(info);
    return image;
}

Image read_png_bytes(const std::string& bytes) { return read_png(scratch_file("image.png", bytes)); }

std::string bytes_of(std::initializer_list<uint8_t> b) { return std::string(b.begin(), b.end()); }

TEST(JFormat, DecodesThePredictorAndClampsThePrediction)
{
    const std::string two_by_two = "J6\n2 2\n" + bytes_of({10, 20, 30, 5, 5, 5, 1, 1, 1, 0, 0, 0});
    Image rgb = read_with_word(two_by_two, 3, image_read_j_rgb);
    ASSERT_TRUE(rgb.ok);
    EXPECT_EQ(rgb.level(0), (Bytes{10, 20, 30, 15, 25, 35, 11, 21, 31, 16, 26, 36}));
    EXPECT_EQ(rgb.level(1), (Bytes{13, 23, 33}));   // the box filter of the four
    EXPECT_EQ(read_with_word(two_by_two, 4, image_read_j_rgba).at(1, 1), (Bytes{16, 26, 36, 255}));

    // left + above - above-left below 0 predicts 0; above 255 predicts 255.
    EXPECT_EQ(read_with_word("J6\n2 2\n" + bytes_of({200, 200, 200, 56, 56, 56, 56, 56, 56, 7, 7, 7}), 3,
                             image_read_j_rgb).at(1, 1), (Bytes{7, 7, 7}));
    EXPECT_EQ(read_with_word("J6\n2 2\n" + bytes_of({0, 0, 0, 200, 200, 200, 200, 200, 200, 3, 3, 3}), 3,
                             image_read_j_rgb).at(1, 1), (Bytes{2, 2, 2}));

    const Bytes texels = noise(13 * 7 * 4, 5);
    const std::string file = j_file(13, 7, 4, texels, "  # a comment line\n#another\n");
    Image rgba = read_with_word(file, 4, image_read_j_rgba);
    ASSERT_TRUE(rgba.ok);
    EXPECT_EQ(rgba.w * 100 + rgba.h, 1307);
    EXPECT_EQ(rgba.level(0), texels);
    // Read as RGB the alpha residuals are still consumed, so the colours stay right.
    Image no_alpha = read_with_word(file, 3, image_read_j_rgb);
    for (int i = 0; i < 13 * 7; ++i)
        ASSERT_EQ(Bytes(no_alpha.pixels + i * 3, no_alpha.pixels + i * 3 + 3),
                  Bytes(&texels[i * 4], &texels[i * 4 + 3])) << i;
    EXPECT_TRUE(read_with_word(file.substr(0, file.size() - 4), 4, image_read_j_rgba).ok);   // cut short: still read
}

TEST(JFormat, RefusesMissingZeroNegativeAndOversizedSides)
{
    for (const char* header : {"J6\n", "J6\n4\n", "J6\n0 4\n", "J6\n4 -2\n", "J7\n-1 -1\n", "J6\n20000 1\n",
                               "J6\n16384 16384\n", "J6\n2147483647 2147483647\n", "J5\n1 1\n",
                               "J6\n16385 1\n", "J6\n1 16385\n", "J6\n16384 4097\n"}) {
        Image image = read_with_word(std::string(header) + std::string(64, '\0'), 3, image_read_j_rgb);
        EXPECT_FALSE(image.ok) << header;
        EXPECT_EQ(image.pixels, nullptr) << header;
    }
    // The longest side is read; the largest area is allowed (too large to read here).
    for (const char* header : {"J6\n16384 1\n", "J6\n1 16384\n"}) {
        Image image = read_with_word(std::string(header) + std::string(16384 * 3, '\x01'), 3, image_read_j_rgb);
        EXPECT_TRUE(image.ok) << header;
        EXPECT_EQ(image.w * image.h, 16384) << header;
    }
    EXPECT_TRUE(image_dimensions_ok(16384, 4096));
    EXPECT_TRUE(image_dimensions_ok(4096, 16384));
    EXPECT_FALSE(image_dimensions_ok(4097, 16384));
    EXPECT_TRUE(image_dimensions_ok(1, 1));
    EXPECT_FALSE(image_dimensions_ok(1, 0));
    // The grey pictures of heights go to the largest terrain grid, 8193 x 8193.
    EXPECT_TRUE(image_gray16_dimensions_ok(8193, 8193));
    EXPECT_FALSE(image_gray16_dimensions_ok(8193, 8194));
    EXPECT_FALSE(image_gray16_dimensions_ok(8194, 8193));
    EXPECT_TRUE(image_gray16_dimensions_ok(16384, 4097));
    EXPECT_FALSE(image_gray16_dimensions_ok(16385, 1));
    EXPECT_FALSE(image_gray16_dimensions_ok(1, -1));
}

TEST(Netpbm, ScalesSmallAndWideMaximaClampsAndReadsTextWithComments)
{
    EXPECT_EQ(read_with_word("P6\n# made by hand\n2 1\n15\n" + bytes_of({15, 7, 0, 1, 2, 3}), 3, image_read_ppm).level(0),
              (Bytes{255, 119, 0, 17, 34, 51}));
    Image p3 = read_with_word("P3 2 1 255\n1 2 3 # comment\n 4\n5 6\n", 3, image_read_ppm);
    EXPECT_EQ(p3.level(0), (Bytes{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(p3.level(1), (Bytes{2, 3, 4}));
    // Above the maximum clamps to 255; a missing text sample reads as 0 rather than wrapping.
    EXPECT_EQ(read_with_word("P3\n2 1\n100\n100 250 50 10 20\n", 3, image_read_ppm).level(0),
              (Bytes{255, 255, 127, 25, 51, 0}));
    // Raw samples above 255 are two bytes, big-endian, as netpbm writes them.
    EXPECT_EQ(read_with_word("P6\n1 1\n65535\n" + bytes_of({255, 255, 128, 0, 0, 1}), 3, image_read_ppm).level(0),
              (Bytes{255, 127, 0}));

    EXPECT_EQ(grey_map("P5\n3 2\n255\n" + bytes_of({1, 2, 3, 4, 5, 255})), (Bytes{1, 2, 3, 4, 5, 255}));
    EXPECT_EQ(grey_map("P2\n2 2\n10\n0 5\n10 # end\n11\n"), (Bytes{0, 127, 255, 255}));
    EXPECT_EQ(grey_map("P5\n2 2\n255\n\x09"), (Bytes{9, 0, 0, 0}));   // cut short: zeros
}

TEST(Netpbm, MaximumOfZeroAndBadSizesAreRefused)
{
    for (const char* file : {"P6\n1 1\n0\n\x01\x02\x03", "P3\n1 1\n0\n1 2 3\n", "P6\n1 1\n-5\nabc",
                             "P6\n1 1\n70000\nabcdef", "P6\n0 1\n255\nabc"})
        EXPECT_FALSE(read_with_word(file, 3, image_read_ppm).ok) << file;
    for (const char* file : {"P5\n1 1\n0\n\x01", "P2\n1 1\n0\n1\n", "P5\n20000 2\n255\n", "P5\n0 2\n255\n"})
        EXPECT_EQ(grey_map(file), Bytes{}) << file;
}

// A 17-byte file may declare the largest image the formats allow and end at once. It
// used to cost 5 to 30 s and up to 345 MiB; now data that ends far too early is
// refused at the first missing byte, having cost its own length (the chain's pages
// are never touched). Each case runs on its own to show its time and memory.
TEST(Netpbm, DataThatEndsAtOnceCostsItsOwnLength)
{
    struct Case {
        const char* file;
        int channels;
        Reader reader;
    };
    const Case cases[] = {
        {"P3\n8192 8192\n255\n", 3, image_read_ppm},
        {"P6\n8192 8192\n255\n", 3, image_read_ppm},
        {"P6\n8192 8192\n65535\n", 3, image_read_ppm},
        {"J6\n8192 8192\n", 3, image_read_j_rgb},
        {"J7\n8192 8192\n", 4, image_read_j_rgba},
        {"P2\n8192 8192\n255\n", 1, nullptr},
    };
    for (const Case& c : cases) {
        const std::string file = c.file;
        const bvtest::ChildCost cost = bvtest::run_measured([&] {
            if (!c.reader)
                return grey_map(file).empty() ? 1 : 0;
            Image image = read_with_word(file, c.channels, c.reader);
            return !image.ok && !image.pixels ? 1 : 0;
        });
        const std::string name = file.substr(0, 2) + " " + std::to_string(file.size()) + " bytes";
        std::fprintf(stderr, "%s\n", bvtest::describe(name, cost).c_str());
        EXPECT_TRUE(cost.finished && cost.result == 1) << name << " refused";
        // Far below the declared chain (256 MiB and more): room for a sanitizer's shadow of it.
        EXPECT_LT(cost.grown_kib, 64 * 1024) << bvtest::describe(name, cost);
        EXPECT_LT(cost.seconds, 2.0) << bvtest::describe(name, cost);
    }
    // Half an image is still a picture: the rest reads as 0.
    Image half = read_with_word("P6\n256 256\n255\n" + std::string(256 * 128 * 3, '\x07'), 3, image_read_ppm);
    ASSERT_TRUE(half.ok);
    EXPECT_EQ(half.at(255, 127), (Bytes{7, 7, 7}));
    EXPECT_EQ(half.at(0, 128), (Bytes{0, 0, 0}));
    EXPECT_FALSE(read_with_word("P6\n256 256\n255\n" + std::string(60000, '\x07'), 3, image_read_ppm).ok);
    // At the edge: the data may miss up to what is there plus 64 KiB. 256 x 1024 samples
    // are read from 98304 present ((262144 - 65536) / 2), refused from one fewer; the
    // same for text samples, and for J rows: 86 of 256 rows of 768 residuals, not 85.
    EXPECT_TRUE(image_short_data_usable(98304, 262144));
    EXPECT_FALSE(image_short_data_usable(98303, 262144));
    EXPECT_EQ(grey_map("P5\n256 1024\n255\n" + std::string(98304, '\x07')).size(), 262144u);
    EXPECT_EQ(grey_map("P5\n256 1024\n255\n" + std::string(98303, '\x07')), Bytes{});
    // An odd count: 97920 of 261375 missing 65535 more than present, 97919 missing 65537.
    EXPECT_EQ(grey_map("P5\n255 1025\n255\n" + std::string(97920, '\x07')).size(), 261375u);
    EXPECT_EQ(grey_map("P5\n255 1025\n255\n" + std::string(97919, '\x07')), Bytes{});
    // Two-byte samples: 360448 of 786432 ((786432 - 65536) / 2); a half sample is none.
    EXPECT_TRUE(read_with_word("P6\n256 1024\n65535\n" + std::string(2 * 360448, '\x07'), 3, image_read_ppm).ok);
    EXPECT_FALSE(read_with_word("P6\n256 1024\n65535\n" + std::string(2 * 360448 - 1, '\x07'), 3, image_read_ppm).ok);
    std::string samples;
    for (int i = 0; i < 98304; ++i)
        samples += "7 ";
    EXPECT_EQ(grey_map("P2\n256 1024\n255\n" + samples).size(), 262144u);
    EXPECT_EQ(grey_map("P2\n256 1024\n255\n" + samples.substr(2)), Bytes{});
    EXPECT_TRUE(read_with_word("J6\n256 256\n" + std::string(86 * 768, '\x01'), 3, image_read_j_rgb).ok);
    EXPECT_FALSE(read_with_word("J6\n256 256\n" + std::string(85 * 768, '\x01'), 3, image_read_j_rgb).ok);
    // The first sample that is missing ends the reading: what came before stays.
    EXPECT_EQ(read_with_word("P3\n2 1\n255\n1 2 3 4", 3, image_read_ppm).level(0), (Bytes{1, 2, 3, 4, 0, 0}));
    EXPECT_EQ(read_with_word("P6\n2 1\n65535\n" + bytes_of({1, 0, 2}), 3, image_read_ppm).level(0),
              (Bytes{0, 1, 0, 0, 0, 0}));
    // J: every residual past the end of the file reads as -1, to the last row.
    Image cut = read_with_word("J6\n4 4\n" + std::string(12, '\x01') + std::string(5, '\x02'), 3, image_read_j_rgb);
    ASSERT_TRUE(cut.ok);
    EXPECT_EQ(cut.at(0, 1), (Bytes{3, 3, 3}));
    EXPECT_EQ(cut.at(2, 1), (Bytes{6, 6, 3}));   // left + above - above-left, minus one
    EXPECT_EQ(cut.at(0, 2), (Bytes{2, 2, 2}));
    EXPECT_EQ(cut.at(3, 2), (Bytes{2, 2, 255}));
    EXPECT_EQ(cut.at(3, 3), (Bytes{255, 255, 254}));
    // A missing J7 row is opaque white (0 + 255 in every channel), not transparent black.
    Image clear = read_with_word("J7\n1 2\n" + bytes_of({0, 0, 0, 0}), 4, image_read_j_rgba);
    ASSERT_TRUE(clear.ok);
    EXPECT_EQ(clear.at(0, 1), (Bytes{255, 255, 255, 255}));
    // A 256 x 256 J6 (768-byte rows) may lack what it holds plus 64 KiB: 86 rows read, 85 refused.
    for (const int rows : {86, 85}) {
        Image part = read_with_word("J6\n256 256\n" + std::string(size_t(rows) * 768, '\0'), 3, image_read_j_rgb);
        EXPECT_EQ(part.ok, rows == 86 ? 1 : 0) << rows;
        if (part.ok) {
            EXPECT_EQ(part.at(5, 200), (Bytes{23, 23, 23}));   // rows of -1 under black, not a fill of 0
        }
    }
}

TEST(PngRead, EveryColourTypeBecomesEightBitRgbOrRgba)
{
    const std::vector<png_color> rgb_palette = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
    struct Case {
        PngFixture file;
        int channels;
        Bytes want;
    };
    const Case cases[] = {
        {{2, 1, PNG_COLOR_TYPE_RGB, 8, {1, 2, 3, 4, 5, 6}}, 3, {1, 2, 3, 4, 5, 6}},
        {{1, 2, PNG_COLOR_TYPE_RGBA, 8, {1, 2, 3, 4, 5, 6, 7, 8}}, 4, {1, 2, 3, 4, 5, 6, 7, 8}},
        {{2, 1, PNG_COLOR_TYPE_GRAY, 8, {9, 200}}, 3, {9, 9, 9, 200, 200, 200}},
        {{3, 1, PNG_COLOR_TYPE_GRAY, 1, {0xA0}}, 3, {255, 255, 255, 0, 0, 0, 255, 255, 255}},
        {{1, 1, PNG_COLOR_TYPE_GRAY, 16, {0xAB, 0xCD}}, 3, {0xAB, 0xAB, 0xAB}},
        {{1, 1, PNG_COLOR_TYPE_RGB, 16, {1, 2, 3, 4, 5, 6}}, 3, {1, 3, 5}},
        {{1, 1, PNG_COLOR_TYPE_GRAY_ALPHA, 8, {50, 60}}, 4, {50, 50, 50, 60}},
        {{3, 1, PNG_COLOR_TYPE_PALETTE, 8, {0, 1, 2}, rgb_palette}, 3, {255, 0, 0, 0, 255, 0, 0, 0, 255}},
        // Entry 2 has no alpha entry: opaque.
        {{3, 1, PNG_COLOR_TYPE_PALETTE, 8, {0, 1, 2}, rgb_palette, {0, 128}}, 4,
         {255, 0, 0, 0, 0, 255, 0, 128, 0, 0, 255, 255}},
        {{2, 1, PNG_COLOR_TYPE_RGB, 8, {1, 2, 3, 7, 8, 9}, {}, {0, 7, 0, 8, 0, 9}}, 4, {1, 2, 3, 255, 7, 8, 9, 0}},
    };
    for (const Case& c : cases) {
        Image image = read_png_bytes(png_bytes(c.file));
        ASSERT_TRUE(image.ok) << c.file.color_type;
        EXPECT_EQ(image.channels, c.channels) << c.file.color_type << "/" << c.file.bit_depth;
        EXPECT_EQ(image.level(0), c.want) << c.file.color_type << "/" << c.file.bit_depth;
    }
}

TEST(PngRead, InfoTextJoinsChunksAndTheSidecarAndMaxAlphaChangesTheLevels)
{
    PngFixture file;
    file.rows = {1, 2, 3};
    file.text_before = {{"Comment", "[compress]"}, {"Title", "one"}, {"Author", "two"}};
    file.text_after = {{"Comment", "-after"}};
    const std::string path = scratch_file("texts.png", png_bytes(file));
    EXPECT_EQ(read_png(path).info, "[compress]onetwo-after");
    bvtest::write_file(path + ".info", "[numberbackground:0.1,0.2,0.3]\n");
    EXPECT_EQ(read_png(path).info, "[compress]onetwo-after[numberbackground:0.1,0.2,0.3]\n");
    EXPECT_EQ(read_png_bytes(png_of(1, 1, 3, {0, 0, 0})).info, "");

    const std::string clear = scratch_file("alpha.png", png_of(2, 2, 4, {10, 20, 30, 255, 90, 90, 90, 0, 90, 90, 90, 0,
                                                                         90, 90, 90, 0}));
    EXPECT_EQ(read_png(clear).level(1), (Bytes{10, 20, 30, 63}));
    bvtest::write_file(clear + ".info", "[mip_max_alpha]");
    EXPECT_EQ(read_png(clear).level(1), (Bytes{10, 20, 30, 255}));
}

std::string png_chunk(const std::string& type, const std::string& data)
{
    std::string out;
    auto be32 = [&out](uint32_t v) {
        for (int shift = 24; shift >= 0; shift -= 8)
            out += char(v >> shift);
    };
    be32(uint32_t(data.size()));
    out += type + data;
    const std::string crc_over = type + data;
    be32(uint32_t(crc32(0, reinterpret_cast<const Bytef*>(crc_over.data()), uInt(crc_over.size()))));
    return out;
}

std::string deflated(const std::string& text)
{
    uLongf n = compressBound(uLong(text.size()));
    std::string out(n, '\0');
    compress2(reinterpret_cast<Bytef*>(out.data()), &n, reinterpret_cast<const Bytef*>(text.data()), uLong(text.size()), 9);
    out.resize(n);
    return out;
}

std::string ztxt(const std::string& text) { return png_chunk("zTXt", std::string("Comment\0\0", 9) + deflated(text)); }
std::string itxt(const std::string& text, bool compressed)
{
    return png_chunk("iTXt", std::string("Comment\0", 8) + char(compressed) + std::string("\0en\0\0", 5) +
                                 (compressed ? deflated(text) : text));
}
std::string text_chunk(const std::string& text) { return png_chunk("tEXt", std::string("Comment\0", 8) + text); }

// Damaged streams: the text with its checksum wrong, or the stream cut before its end.
std::string bad_sum(const std::string& text)
{
    std::string stream = deflated(text);
    stream.back() = char(stream.back() ^ 1);
    return png_chunk("zTXt", std::string("Comment\0\0", 9) + stream);
}
std::string cut(const std::string& text)
{
    const std::string stream = deflated(text);
    return png_chunk("zTXt", std::string("Comment\0\0", 9) + stream.substr(0, stream.size() - 6));
}
// Compression method 1, which no reader knows, in a zTXt and in a compressed iTXt.
std::string unknown_methods(const std::string& text)
{
    return png_chunk("zTXt", std::string("Comment\0\1", 9) + deflated(text)) +
           png_chunk("iTXt", std::string("Comment\0\1\1en\0\0", 14) + deflated(text));
}

// A one-texel picture with these chunks between its header and its image data.
std::string picture_with(const std::string& chunks)
{
    std::string png = png_of(1, 1, 3, {1, 2, 3});
    return png.insert(33, chunks);   // signature 8 + IHDR 25
}

std::string repeated(const std::string& chunk, int n)
{
    std::string out;
    for (int i = 0; i < n; ++i)
        out += chunk;
    return out;
}

// A picture keeps 64 KiB of chunk text: a chunk that does not fit is dropped whole
// with one line, later short ones are still kept. Inflating stops after 1 MiB of a
// picture's text, dropped chunks included, and damaged streams too: whatever a stream
// inflates to is spent. A text of a compression method no reader knows is left out.
// Honest short texts of every kind read as before, and 200 chunks of 7.5 MB each, or
// 100,000 damaged ones in 10 MB, cost no more than a plain picture does.
TEST(PngRead, ChunkTextIsKeptWithinItsBoundsWithOneLine)
{
    const std::string most(kPngTextKept, 'k'), past(kPngTextKept + 1, 'p'), half(kPngTextKept / 2, 'h');
    const struct {
        const char* label;
        std::string chunks;
        std::string info;
        bool dropped;
    } cases[] = {
        {"kinds", itxt("[a]", true) + itxt("[b]", false) + ztxt("[c]") + text_chunk("[d]"), "[a][b][c][d]", false},
        {"most", ztxt(most), most, false},
        {"past", ztxt(past) + text_chunk("[compress]"), "[compress]", true},
        {"plain past", text_chunk(past) + ztxt("[compress]"), "[compress]", true},
        {"halves", text_chunk(half) + itxt(half, true), half + half, false},
        {"halves and one", text_chunk(half) + itxt(half, true) + itxt("x", false), half + half, true},
        {"work left", repeated(ztxt(past), 15) + ztxt("[late]"), "[late]", true},
        {"work gone", repeated(ztxt(past), 16) + ztxt("[late]") + text_chunk("[plain]"), "[plain]", true},
        {"damaged", bad_sum("[a]") + cut(most) + text_chunk("[d]"), "[d]", false},
        {"damaged work left", repeated(bad_sum(most), 15) + ztxt("[late]"), "[late]", false},
        {"damaged work gone", repeated(bad_sum(most), 16) + ztxt("[late]") + text_chunk("[plain]"), "[plain]", true},
        {"unknown method", unknown_methods("[m]") + text_chunk("[d]"), "[d]", false},
    };
    for (const auto& c : cases) {
        const std::string path = scratch_file("text.png", picture_with(c.chunks));
        LogCapture log;
        Image image = read_png(path);
        ASSERT_TRUE(image.ok) << c.label;
        EXPECT_EQ(image.at(0, 0), (Bytes{1, 2, 3})) << c.label;
        EXPECT_TRUE(image.info == c.info) << c.label << ": " << image.info.size() << " bytes";
        const std::string line = "Picture " + path + ": text chunks past 64 KiB dropped";
        const size_t at = log.text().find(line);
        EXPECT_EQ(at != std::string::npos, c.dropped) << c.label << ": " << log.text();
        if (at != std::string::npos) {
            EXPECT_EQ(log.text().find(line, at + 1), std::string::npos) << c.label << ": one line a picture";
        }
    }

    auto read_cost = [](const std::string& path) {
        return bvtest::run_measured([path] {
            Image image = read_png(path);
            return image.ok;
        });
    };
    const bvtest::ChildCost plain = read_cost(scratch_file("plain.png", picture_with("")));
    const std::string swamps[] = {
        scratch_file("swamp.png", picture_with(repeated(ztxt(std::string(7500000, 'x')), 200))),
        scratch_file("many.png", picture_with(repeated(ztxt(past), 16000))),
        scratch_file("damaged.png", picture_with(repeated(bad_sum(most) + cut(most), 50000))),
    };
    fprintf(stderr, "%s\n", bvtest::describe("plain picture", plain).c_str());
    for (const std::string& path : swamps) {
        const bvtest::ChildCost cost = read_cost(path);
        fprintf(stderr, "%s\n", bvtest::describe(path, cost).c_str());
        EXPECT_TRUE(cost.finished && cost.result == 1) << bvtest::describe(path, cost);
        EXPECT_LT(cost.seconds, plain.seconds + 2) << path;
        EXPECT_LT(cost.grown_kib, plain.grown_kib + 200 * 1024) << path;
    }
}

TEST(PngRead, RefusesOtherFilesTruncatedDataAndOversizedImages)
{
    EXPECT_FALSE(read_png(scratch_file("j.png", j_file(1, 1, 3, {1, 2, 3}))).ok);
    EXPECT_FALSE(read_png(scratch_path("missing.png")).ok);
    const std::string good = png_of(8, 8, 3, noise(192, 1));
    EXPECT_FALSE(read_png_bytes(good.substr(0, good.size() / 2)).ok);
    EXPECT_FALSE(read_png_bytes(good.substr(0, 8)).ok);
    // A chunk no reader knows is passed over when ancillary; when critical it is refused.
    EXPECT_TRUE(read_png_bytes(picture_with(png_chunk("ruSt", "abc"))).ok);
    EXPECT_FALSE(read_png_bytes(picture_with(png_chunk("RuSt", "abc"))).ok);
    // 20000 x 1: a valid PNG, but beyond the side limit.
    Image wide = read_png_bytes(png_bytes({20000, 1, PNG_COLOR_TYPE_GRAY, 8, Bytes(20000, 7)}));
    EXPECT_FALSE(wide.ok);
    EXPECT_EQ(wide.pixels, nullptr);
    // At the edge: 16384 is the longest side read, 16385 is refused.
    EXPECT_FALSE(read_png_bytes(png_bytes({16385, 1, PNG_COLOR_TYPE_GRAY, 8, Bytes(16385, 7)})).ok);
    EXPECT_FALSE(read_png_bytes(png_bytes({1, 16385, PNG_COLOR_TYPE_GRAY, 8, Bytes(16385, 7)})).ok);
    Image widest = read_png_bytes(png_bytes({16384, 1, PNG_COLOR_TYPE_GRAY, 8, Bytes(16384, 7)}));
    EXPECT_TRUE(widest.ok);
    EXPECT_EQ(widest.w, 16384);
}

TEST(PngRead, CustomMipLevelsFollowTheCursorRule)
{
    // 8 x 8 base in an 8 x 12 file: level 1 at (0,8), 2 at (4,8), 3 at (4,10), each
    // filled with its number; the rest of the file is 0.
    Bytes file(8 * 12 * 3, 0);
    for (auto [level, x0, y0] : {std::array{0, 0, 0}, {1, 0, 8}, {2, 4, 8}, {3, 4, 10}})
        for (int y = 0; y < 8 >> level; ++y)
            std::fill_n(&file[((y0 + y) * 8 + x0) * 3], 3 * (8 >> level), static_cast<uint8_t>(100 + level));
    const std::string path = scratch_file("custom.png", png_of(8, 12, 3, file));
    bvtest::write_file(path + ".info", "[mip_custom]");
    Image image = read_png(path);
    ASSERT_TRUE(image.ok);
    EXPECT_EQ(image.h, 8);
    for (int level = 0; level < 4; ++level)
        EXPECT_EQ(image.level(level), Bytes(3 << (6 - 2 * level), static_cast<uint8_t>(100 + level))) << level;
}

TEST(PngRead, CustomMipLevelsOutsideTheImageOrABadHeightWarnAndUseTheFilter)
{
    // W = 1, H = 4: the cursor would take level 2 from column 1, outside the file.
    const std::string narrow = scratch_file("narrow.png", png_of(1, 6, 3, {10, 10, 10, 20, 20, 20, 30, 30, 30,
                                                                           40, 40, 40, 7, 7, 7, 9, 9, 9}));
    bvtest::write_file(narrow + ".info", "[mip_custom]");
    LogCapture log;
    Image image = read_png(narrow);
    ASSERT_TRUE(image.ok);
    EXPECT_NE(log.text().find("Warning: Invalid height for custom MIP map in '" + narrow + "'"), std::string::npos);
    EXPECT_EQ(image.h, 4);
    EXPECT_EQ(image.level(1), (Bytes{15, 15, 15, 35, 35, 35}));
    EXPECT_EQ(image.level(2), (Bytes{25, 25, 25}));

    const std::string odd = scratch_file("odd.png", png_of(4, 100, 3, noise(1200, 3)));
    bvtest::write_file(odd + ".info", "[mip_custom]");
    Image kept = read_png(odd);
    EXPECT_TRUE(kept.ok);
    EXPECT_EQ(kept.h, 100);
}

std::vector<uint16_t> gray16(const std::string& path)
{
    uint16_t* samples = nullptr;
    int w = 0, h = 0;
    std::vector<uint16_t> out;
    if (png_read_gray16(path.c_str(), &samples, &w, &h))
        out.assign(samples, samples + w * h);
    mem_free(samples);
    return out;
}

TEST(PngGray16, WidensEightBitSamplesAndTurnsColourToGrey)
{
    using Samples = std::vector<uint16_t>;
    const std::pair<PngFixture, Samples> cases[] = {
        {{3, 1, PNG_COLOR_TYPE_GRAY, 8, {0x12, 0, 0xFF}}, {0x1212, 0, 0xFFFF}},
        {{2, 1, PNG_COLOR_TYPE_GRAY, 16, {0x12, 0x34, 0xFE, 0xDC}}, {0x1234, 0xFEDC}},
        {{2, 1, PNG_COLOR_TYPE_RGBA, 8, {80, 80, 80, 0, 5, 5, 5, 255}}, {80 * 257, 5 * 257}},
        {{2, 1, PNG_COLOR_TYPE_PALETTE, 8, {1, 0}, {{9, 9, 9}, {200, 200, 200}}, {0}}, {200 * 257, 9 * 257}},
    };
    for (const auto& [file, want] : cases)
        EXPECT_EQ(gray16(scratch_file("heights.png", png_bytes(file))), want) << file.color_type;
}

TEST(PngWrite, EveryWriterRoundTripsAndFailsCleanlyWhereItCannotWrite)
{
    const std::vector<uint16_t> heights = {0, 1, 0x1234, 0xFFFF, 0x8000, 300};
    const std::string heights_path = scratch_path("heights.png");
    ASSERT_TRUE(png_write_gray16(heights_path.c_str(), heights.data(), 3, 2));
    EXPECT_EQ(gray16(heights_path), heights);
    // Big-endian in the file: the 8-bit reader keeps each high byte.
    EXPECT_EQ(read_png(heights_path).level(0), (Bytes{0, 0, 0, 0, 0, 0, 0x12, 0x12, 0x12, 0xFF, 0xFF, 0xFF, 0x80, 0x80,
                                                      0x80, 1, 1, 1}));

    // The RGB writer takes the buffer's last row as the file's first.
    const std::string shot = scratch_path("shot.png");
    ASSERT_TRUE(png_write_rgb(shot.c_str(), Bytes{1, 2, 3, 4, 5, 6}.data(), 1, 2));
    EXPECT_EQ(read_png(shot).level(0), (Bytes{4, 5, 6, 1, 2, 3}));

    const Bytes rgba = noise(7 * 5 * 4, 10);
    const std::string art = scratch_path("art.png"), again = scratch_path("art2.png");
    ASSERT_TRUE(png_write_rgba(art.c_str(), rgba.data(), 7, 5));
    EXPECT_EQ(read_png(art).level(0), rgba);
    // Equal pixels give equal files (the bundled data depends on it).
    ASSERT_TRUE(png_write_rgba(again.c_str(), rgba.data(), 7, 5));
    EXPECT_EQ(bvtest::read_file(again), bvtest::read_file(art));

    const std::string blocker = scratch_file("blocker", "x");   // a file where a folder should be
    EXPECT_FALSE(png_write_rgba((blocker + "/x.png").c_str(), rgba.data(), 1, 1));
    // A device is written in place: never a temporary file renamed over it.
    EXPECT_FALSE(png_write_rgb("/dev/full", rgba.data(), 1, 1));
    struct stat full {};
    EXPECT_TRUE(stat("/dev/full", &full) == 0 && S_ISCHR(full.st_mode)) << "/dev/full is no longer a device";
    EXPECT_FALSE(png_write_rgba(scratch_path("empty.png").c_str(), rgba.data(), 0, 1));
}

TEST(ImageLoad, FallsBackToJAndPpmAndConvertsEveryLevelsChannelCount)
{
    auto load = [](const std::string& path, int channels) {
        Image image;
        image.channels = channels;
        image.ok = (channels == 4 ? image_load_rgba : image_load_rgb)(path.c_str(), &image.pixels, &image.w, &image.h);
        return image;
    };
    const Bytes rgba = {1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_EQ(load(scratch_file("a.j7", j_file(2, 1, 4, rgba)), 3).level(0), (Bytes{1, 2, 3, 5, 6, 7}));
    EXPECT_EQ(load(scratch_file("a.j6", j_file(1, 1, 3, {1, 2, 3})), 4).level(0), (Bytes{1, 2, 3, 255}));
    EXPECT_EQ(load(scratch_file("a.ppm", "P6\n1 1\n255\nxyz"), 4).level(0), (Bytes{'x', 'y', 'z', 255}));
    EXPECT_EQ(load(scratch_file("b.png", png_of(2, 1, 4, rgba)), 3).level(0), (Bytes{1, 2, 3, 5, 6, 7}));
    EXPECT_EQ(load(scratch_file("c.png", png_of(2, 2, 3, solid(2, 2, {9, 8, 7}))), 4).level(1), (Bytes{9, 8, 7, 255}));
    EXPECT_FALSE(load(scratch_file("d.txt", "LINK @x.png"), 4).ok);
    EXPECT_FALSE(load(scratch_path("none.png"), 4).ok);
}

}  // namespace
