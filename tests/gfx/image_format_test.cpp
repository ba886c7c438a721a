// The image readers against hand-made files of every variant, the writers through
// round trips, and the bad headers that must be refused rather than trusted.
#include "image_fixtures.h"
#include "log_capture.h"

#include "gfx/image_chain.h"
#include "gfx/images.h"

#include "foundation/memory.h"
#include "foundation/scan.h"
#include "foundation/vfs.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>

using namespace imgtest;

namespace {

struct Image {
    int ok = 0, w = 0, h = 0, channels = 0;
    uint8_t* pixels = nullptr;
    std::string info;
    ~Image() { mem_free(pixels); }
    Bytes at(int x, int y) const { return texel(pixels, w, channels, x, y); }
    Bytes base() const { return take(pixels, static_cast<size_t>(w) * h * channels); }
    Bytes level(int i) const
    {
        int lw = w, lh = h;
        uint8_t* p = chain_level(pixels, w, h, channels, i);
        for (int k = 0; k < i; ++k)
            lw = chain_next_side(lw), lh = chain_next_side(lh);
        return take(p, static_cast<size_t>(lw) * lh * channels);
    }
};

// Runs a reader that takes the header word on a file made of bytes.
Image read_with_word(const std::string& bytes, int channels,
                     int (*reader)(const char*, vfs_file*, uint8_t**, int*, int*))
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

Image read_png(const std::string& path)
{
    Image image;
    char* info = nullptr;
    image.ok = image_read_png(path.c_str(), &image.pixels, &image.w, &image.h, &image.channels, &info);
    if (info)
        image.info = info;
    mem_free(info);
    return image;
}

Image read_png_bytes(const std::string& bytes)
{
    return read_png(scratch_file("image.png", bytes));
}

TEST(JFormat, DecodesThePredictorExamplesAndClampsThePrediction)
{
    const std::string body = "J6\n2 2\n";
    const uint8_t residuals[] = {10, 20, 30, 5, 5, 5, 1, 1, 1, 0, 0, 0};
    Image rgb = read_with_word(body + std::string(reinterpret_cast<const char*>(residuals), 12), 3, image_read_j_rgb);
    ASSERT_TRUE(rgb.ok);
    EXPECT_EQ(rgb.base(), (Bytes{10, 20, 30, 15, 25, 35, 11, 21, 31, 16, 26, 36}));
    // Level 1 is the box filter of the four texels.
    EXPECT_EQ(rgb.level(1), (Bytes{13, 23, 33}));

    Image rgba = read_with_word(body + std::string(reinterpret_cast<const char*>(residuals), 12), 4,
                                image_read_j_rgba);
    ASSERT_TRUE(rgba.ok);
    EXPECT_EQ(rgba.at(1, 1), (Bytes{16, 26, 36, 255}));

    // One texel: prediction 0, the residuals are the texel.
    Image one = read_with_word(std::string("J7\n1\n1\n") + "\x09\x08\x07\x06", 4, image_read_j_rgba);
    ASSERT_TRUE(one.ok);
    EXPECT_EQ(one.base(), (Bytes{9, 8, 7, 6}));

    // left + above - above-left below 0 predicts 0; above 255 predicts 255.
    auto clamp_case = [](uint8_t corner, uint8_t edge, uint8_t last_residual) {
        std::string bytes = "J6\n2 2\n";
        const uint8_t r[] = {corner, corner, corner, uint8_t(edge - corner), uint8_t(edge - corner),
                             uint8_t(edge - corner), uint8_t(edge - corner), uint8_t(edge - corner),
                             uint8_t(edge - corner), last_residual, last_residual, last_residual};
        return read_with_word(bytes + std::string(reinterpret_cast<const char*>(r), 12), 3, image_read_j_rgb).at(1, 1);
    };
    EXPECT_EQ(clamp_case(200, 0, 7), (Bytes{7, 7, 7}));
    EXPECT_EQ(clamp_case(0, 200, 3), (Bytes{2, 2, 2}));
}

TEST(JFormat, EncodedNoiseDecodesExactlyWithCommentsAndAlphaDroppedForRgb)
{
    const Bytes texels = noise(13 * 7 * 4, 5);
    const std::string file = j_file(13, 7, 4, texels, "  # a comment line\n#another\n");
    Image rgba = read_with_word(file, 4, image_read_j_rgba);
    ASSERT_TRUE(rgba.ok);
    EXPECT_EQ(rgba.w, 13);
    EXPECT_EQ(rgba.h, 7);
    EXPECT_EQ(rgba.base(), texels);

    // Read as RGB the alpha residuals are still consumed, so the colours stay right.
    Image rgb = read_with_word(file, 3, image_read_j_rgb);
    ASSERT_TRUE(rgb.ok);
    for (int i = 0; i < 13 * 7; ++i)
        ASSERT_EQ(Bytes(rgb.pixels + i * 3, rgb.pixels + i * 3 + 3), Bytes(&texels[i * 4], &texels[i * 4 + 3])) << i;

    // A file cut short reads its missing residuals as -1 (255 added), deterministically.
    Image cut = read_with_word(file.substr(0, file.size() - 4), 4, image_read_j_rgba);
    ASSERT_TRUE(cut.ok);
    const Bytes last = cut.at(12, 6);
    const Bytes want_prefix(texels.begin(), texels.end() - 4);
    EXPECT_EQ(Bytes(cut.pixels, cut.pixels + want_prefix.size()), want_prefix);
    EXPECT_EQ(last.size(), 4u);
}

TEST(JFormat, RefusesMissingZeroNegativeAndOversizedSides)
{
    for (const char* header : {"J6\n", "J6\n4\n", "J6\n0 4\n", "J6\n4 -2\n", "J7\n-1 -1\n", "J6\n20000 1\n",
                               "J6\n16384 16384\n", "J6\n2147483647 2147483647\n", "J5\n1 1\n"}) {
        Image image = read_with_word(std::string(header) + std::string(64, '\0'), 3, image_read_j_rgb);
        EXPECT_FALSE(image.ok) << header;
        EXPECT_EQ(image.pixels, nullptr) << header;
    }
}

TEST(Netpbm, ScalesSmallMaximaAndReadsTextSamplesWithComments)
{
    Image p6 = read_with_word(std::string("P6\n# made by hand\n2 1\n15\n") + std::string("\x0f\x07\x00\x01\x02\x03", 6), 3,
                              image_read_ppm);
    ASSERT_TRUE(p6.ok);
    EXPECT_EQ(p6.base(), (Bytes{255, 119, 0, 17, 34, 51}));

    Image p3 = read_with_word("P3 2 1 255\n1 2 3 # comment\n 4\n5 6\n", 3, image_read_ppm);
    ASSERT_TRUE(p3.ok);
    EXPECT_EQ(p3.base(), (Bytes{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(p3.level(1), (Bytes{2, 3, 4}));
}

TEST(Netpbm, MaximumOfZeroIsRefusedAndOutOfRangeSamplesClamp)
{
    for (const char* file : {"P6\n1 1\n0\n\x01\x02\x03", "P3\n1 1\n0\n1 2 3\n", "P6\n1 1\n-5\nabc",
                             "P6\n1 1\n70000\nabcdef"})
        EXPECT_FALSE(read_with_word(file, 3, image_read_ppm).ok) << file;
    for (const char* file : {"P5\n1 1\n0\n\x01", "P2\n1 1\n0\n1\n", "P5\n20000 2\n255\n", "P5\n0 2\n255\n"}) {
        uint8_t* pixels = nullptr;
        int w = 0, h = 0;
        vfs_file* f = vfs_open(scratch_file("grey.pgm", file).c_str(), "rb");
        EXPECT_FALSE(pgm_read(f, &pixels, &w, &h)) << file;
        vfs_close(f);
    }

    // Above the maximum clamps to 255, a missing text sample reads as 0 rather than wrapping.
    Image p3 = read_with_word("P3\n2 1\n100\n100 250 50 10 20\n", 3, image_read_ppm);
    ASSERT_TRUE(p3.ok);
    EXPECT_EQ(p3.base(), (Bytes{255, 255, 127, 25, 51, 0}));

    // Raw samples above 255 are two bytes, big-endian, as netpbm writes them.
    Image wide = read_with_word(std::string("P6\n1 1\n65535\n") + std::string("\xff\xff\x80\x00\x00\x01", 6), 3,
                                image_read_ppm);
    ASSERT_TRUE(wide.ok);
    EXPECT_EQ(wide.base(), (Bytes{255, 127, 0}));
}

TEST(Netpbm, GreyMapsRawAndText)
{
    auto pgm = [](const std::string& bytes, int* w, int* h) {
        uint8_t* pixels = nullptr;
        vfs_file* f = vfs_open(scratch_file("grey.pgm", bytes).c_str(), "rb");
        Bytes out;
        if (pgm_read(f, &pixels, w, h))
            out = take(pixels, static_cast<size_t>(*w) * *h);
        mem_free(pixels);
        vfs_close(f);
        return out;
    };
    int w = 0, h = 0;
    EXPECT_EQ(pgm(std::string("P5\n3 2\n255\n") + "\x01\x02\x03\x04\x05\xff", &w, &h), (Bytes{1, 2, 3, 4, 5, 255}));
    EXPECT_EQ(w, 3);
    EXPECT_EQ(h, 2);
    EXPECT_EQ(pgm("P2\n2 2\n10\n0 5\n10 # end\n11\n", &w, &h), (Bytes{0, 127, 255, 255}));
    // A file cut short fills the rest with zeros.
    EXPECT_EQ(pgm(std::string("P5\n2 2\n255\n") + "\x09", &w, &h), (Bytes{9, 0, 0, 0}));
}

TEST(PngRead, EveryColourTypeBecomesEightBitRgbOrRgba)
{
    PngSpec rgb;
    rgb.w = 2, rgb.h = 1, rgb.rows = {1, 2, 3, 4, 5, 6};
    Image a = read_png_bytes(png_bytes(rgb));
    ASSERT_TRUE(a.ok);
    EXPECT_EQ(a.channels, 3);
    EXPECT_EQ(a.base(), (Bytes{1, 2, 3, 4, 5, 6}));

    PngSpec rgba;
    rgba.w = 1, rgba.h = 2, rgba.color_type = PNG_COLOR_TYPE_RGBA, rgba.rows = {1, 2, 3, 4, 5, 6, 7, 8};
    Image b = read_png_bytes(png_bytes(rgba));
    EXPECT_EQ(b.channels, 4);
    EXPECT_EQ(b.base(), (Bytes{1, 2, 3, 4, 5, 6, 7, 8}));

    PngSpec grey;
    grey.w = 2, grey.h = 1, grey.color_type = PNG_COLOR_TYPE_GRAY, grey.rows = {9, 200};
    Image c = read_png_bytes(png_bytes(grey));
    EXPECT_EQ(c.channels, 3);
    EXPECT_EQ(c.base(), (Bytes{9, 9, 9, 200, 200, 200}));

    PngSpec bits;   // 1-bit grey: 1 0 1 packed high bit first
    bits.w = 3, bits.h = 1, bits.color_type = PNG_COLOR_TYPE_GRAY, bits.bit_depth = 1, bits.rows = {0xA0};
    EXPECT_EQ(read_png_bytes(png_bytes(bits)).base(), (Bytes{255, 255, 255, 0, 0, 0, 255, 255, 255}));

    PngSpec grey16;
    grey16.w = 1, grey16.h = 1, grey16.color_type = PNG_COLOR_TYPE_GRAY, grey16.bit_depth = 16, grey16.rows = {0xAB, 0xCD};
    EXPECT_EQ(read_png_bytes(png_bytes(grey16)).base(), (Bytes{0xAB, 0xAB, 0xAB}));

    PngSpec rgb16;
    rgb16.w = 1, rgb16.h = 1, rgb16.bit_depth = 16, rgb16.rows = {1, 2, 3, 4, 5, 6};
    EXPECT_EQ(read_png_bytes(png_bytes(rgb16)).base(), (Bytes{1, 3, 5}));

    PngSpec grey_alpha;
    grey_alpha.w = 1, grey_alpha.h = 1, grey_alpha.color_type = PNG_COLOR_TYPE_GRAY_ALPHA, grey_alpha.rows = {50, 60};
    Image d = read_png_bytes(png_bytes(grey_alpha));
    EXPECT_EQ(d.channels, 4);
    EXPECT_EQ(d.base(), (Bytes{50, 50, 50, 60}));
}

TEST(PngRead, PaletteAndKeyTransparencyBecomeAlpha)
{
    PngSpec palette;
    palette.w = 3, palette.h = 1, palette.color_type = PNG_COLOR_TYPE_PALETTE, palette.rows = {0, 1, 2};
    palette.palette = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
    Image opaque = read_png_bytes(png_bytes(palette));
    ASSERT_TRUE(opaque.ok);
    EXPECT_EQ(opaque.channels, 3);
    EXPECT_EQ(opaque.base(), (Bytes{255, 0, 0, 0, 255, 0, 0, 0, 255}));

    palette.trns = {0, 128};   // entry 2 has no alpha entry: opaque
    Image clear = read_png_bytes(png_bytes(palette));
    EXPECT_EQ(clear.channels, 4);
    EXPECT_EQ(clear.base(), (Bytes{255, 0, 0, 0, 0, 255, 0, 128, 0, 0, 255, 255}));

    PngSpec keyed;
    keyed.w = 2, keyed.h = 1, keyed.rows = {1, 2, 3, 7, 8, 9}, keyed.trns = {0, 7, 0, 8, 0, 9};
    Image k = read_png_bytes(png_bytes(keyed));
    EXPECT_EQ(k.channels, 4);
    EXPECT_EQ(k.base(), (Bytes{1, 2, 3, 255, 7, 8, 9, 0}));
}

TEST(PngRead, InfoTextJoinsChunksBeforeAndAfterTheImageThenTheSidecar)
{
    PngSpec spec;
    spec.rows = {1, 2, 3};
    spec.text_before = {{"Comment", "[compress]"}, {"Title", "one"}, {"Author", "two"}};
    spec.text_after = {{"Comment", "-after"}};
    const std::string path = scratch_file("texts.png", png_bytes(spec));
    EXPECT_EQ(read_png(path).info, "[compress]onetwo-after");

    bvtest::write_file(path + ".info", "[numberbackground:0.1,0.2,0.3]\n");
    EXPECT_EQ(read_png(path).info, "[compress]onetwo-after[numberbackground:0.1,0.2,0.3]\n");

    // No chunks and no sidecar: no text at all.
    EXPECT_EQ(read_png_bytes(png_of(1, 1, 3, {0, 0, 0})).info, "");
}

TEST(PngRead, MaxAlphaKeyChangesTheLevelsAlpha)
{
    const Bytes texels = {10, 20, 30, 255, 90, 90, 90, 0, 90, 90, 90, 0, 90, 90, 90, 0};
    const std::string path = scratch_file("alpha.png", png_of(2, 2, 4, texels));
    Image mean = read_png(path);
    EXPECT_EQ(mean.level(1), (Bytes{10, 20, 30, 63}));
    bvtest::write_file(path + ".info", "[mip_max_alpha]");
    EXPECT_EQ(read_png(path).level(1), (Bytes{10, 20, 30, 255}));
}

TEST(PngRead, RefusesOtherFilesTruncatedDataAndOversizedImages)
{
    EXPECT_FALSE(read_png(scratch_file("j.png", j_file(1, 1, 3, {1, 2, 3}))).ok);
    EXPECT_FALSE(read_png(scratch_path("missing.png")).ok);
    const std::string good = png_of(8, 8, 3, noise(192, 1));
    EXPECT_FALSE(read_png_bytes(good.substr(0, good.size() / 2)).ok);
    EXPECT_FALSE(read_png_bytes(good.substr(0, 8)).ok);

    PngSpec wide;   // 20000 x 1: a valid PNG, but beyond the side limit
    wide.w = 20000, wide.h = 1, wide.color_type = PNG_COLOR_TYPE_GRAY, wide.rows = Bytes(20000, 7);
    Image refused = read_png_bytes(png_bytes(wide));
    EXPECT_FALSE(refused.ok);
    EXPECT_EQ(refused.pixels, nullptr);
}

// A file of W x 3H/2 whose every texel names its level (R = level, G, B = position).
Bytes custom_layout(int W, int fh, const std::vector<std::array<int, 4>>& rects)
{
    Bytes file(static_cast<size_t>(W) * fh * 3, 0);
    for (size_t level = 0; level < rects.size(); ++level) {
        const auto [x0, y0, w, h] = rects[level];
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                uint8_t* p = &file[(static_cast<size_t>(y0 + y) * W + x0 + x) * 3];
                p[0] = static_cast<uint8_t>(100 + level);
                p[1] = static_cast<uint8_t>(x);
                p[2] = static_cast<uint8_t>(y);
            }
    }
    return file;
}

TEST(PngRead, CustomMipLevelsFollowTheCursorRule)
{
    // 8 x 8 base in an 8 x 12 file: level 1 at (0,8), 2 at (4,8), 3 at (4,10), 4 at (4,11)... as the cursor walks.
    const std::vector<std::array<int, 4>> rects = {{0, 0, 8, 8}, {0, 8, 4, 4}, {4, 8, 2, 2}, {4, 10, 1, 1}};
    const std::string path = scratch_file("custom.png", png_of(8, 12, 3, custom_layout(8, 12, rects)));
    bvtest::write_file(path + ".info", "[mip_custom]");
    Image image = read_png(path);
    ASSERT_TRUE(image.ok);
    EXPECT_EQ(image.w, 8);
    EXPECT_EQ(image.h, 8);
    for (int level = 0; level < 4; ++level) {
        const Bytes got = image.level(level);
        const int side = 8 >> level;
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side; ++x)
                ASSERT_EQ(texel(got.data(), side, 3, x, y), (Bytes{uint8_t(100 + level), uint8_t(x), uint8_t(y)}))
                    << "level " << level << " at " << x << "," << y;
    }
}

TEST(PngRead, CustomMipLevelsOutsideTheImageOrABadHeightWarnAndUseTheFilter)
{
    // W = 1, H = 4: the cursor would take level 2 from column 1, outside the file.
    const Bytes column = {10, 10, 10, 20, 20, 20, 30, 30, 30, 40, 40, 40, 7, 7, 7, 9, 9, 9};
    const std::string narrow = scratch_file("narrow.png", png_of(1, 6, 3, column));
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
    LogCapture log2;
    Image kept = read_png(odd);
    ASSERT_TRUE(kept.ok);
    EXPECT_NE(log2.text().find("Invalid height for custom MIP map"), std::string::npos);
    EXPECT_EQ(kept.h, 100);
}

TEST(PngGray16, WidensEightBitSamplesAndTurnsColourToGrey)
{
    auto gray16 = [](const std::string& bytes, int* w, int* h) {
        uint16_t* samples = nullptr;
        std::vector<uint16_t> out;
        if (png_read_gray16(scratch_file("heights.png", bytes).c_str(), &samples, w, h))
            out.assign(samples, samples + *w * *h);
        mem_free(samples);
        return out;
    };
    int w = 0, h = 0;
    PngSpec grey;
    grey.w = 3, grey.h = 2, grey.color_type = PNG_COLOR_TYPE_GRAY, grey.rows = {0x12, 0, 0xFF, 1, 2, 3};
    EXPECT_EQ(gray16(png_bytes(grey), &w, &h), (std::vector<uint16_t>{0x1212, 0, 0xFFFF, 0x0101, 0x0202, 0x0303}));
    EXPECT_EQ(w, 3);
    EXPECT_EQ(h, 2);

    PngSpec deep;
    deep.w = 2, deep.h = 1, deep.color_type = PNG_COLOR_TYPE_GRAY, deep.bit_depth = 16, deep.rows = {0x12, 0x34, 0xFE, 0xDC};
    EXPECT_EQ(gray16(png_bytes(deep), &w, &h), (std::vector<uint16_t>{0x1234, 0xFEDC}));

    PngSpec colour;   // grey-valued colours stay exact through the conversion
    colour.w = 2, colour.h = 1, colour.color_type = PNG_COLOR_TYPE_RGBA, colour.rows = {80, 80, 80, 0, 5, 5, 5, 255};
    EXPECT_EQ(gray16(png_bytes(colour), &w, &h), (std::vector<uint16_t>{80 * 257, 5 * 257}));

    PngSpec palette;
    palette.w = 2, palette.h = 1, palette.color_type = PNG_COLOR_TYPE_PALETTE, palette.rows = {1, 0};
    palette.palette = {{9, 9, 9}, {200, 200, 200}};
    palette.trns = {0};
    EXPECT_EQ(gray16(png_bytes(palette), &w, &h), (std::vector<uint16_t>{200 * 257, 9 * 257}));
}

TEST(PngWrite, EveryWriterRoundTrips)
{
    std::vector<uint16_t> heights = {0, 1, 0x1234, 0xFFFF, 0x8000, 300};
    const std::string heights_path = scratch_path("heights.png");
    ASSERT_TRUE(png_write_gray16(heights_path.c_str(), heights.data(), 3, 2));
    uint16_t* back = nullptr;
    int w = 0, h = 0;
    ASSERT_TRUE(png_read_gray16(heights_path.c_str(), &back, &w, &h));
    EXPECT_EQ(std::vector<uint16_t>(back, back + 6), heights);
    mem_free(back);
    // The file holds the samples big-endian: the 8-bit reader keeps each high byte.
    EXPECT_EQ(read_png(heights_path).base(), (Bytes{0, 0, 0, 0, 0, 0, 0x12, 0x12, 0x12, 0xFF, 0xFF, 0xFF, 0x80, 0x80,
                                                    0x80, 1, 1, 1}));

    // The RGB writer takes the buffer's last row as the file's first.
    const Bytes rgb = noise(5 * 3 * 3, 9);
    const std::string rgb_path = scratch_path("shot.png");
    ASSERT_TRUE(png_write_rgb(rgb_path.c_str(), rgb.data(), 5, 3));
    Image shot = read_png(rgb_path);
    ASSERT_TRUE(shot.ok);
    for (int y = 0; y < 3; ++y)
        EXPECT_EQ(Bytes(shot.pixels + y * 15, shot.pixels + y * 15 + 15),
                  Bytes(rgb.begin() + (2 - y) * 15, rgb.begin() + (2 - y) * 15 + 15));

    const Bytes rgba = noise(7 * 5 * 4, 10);
    const std::string rgba_path = scratch_path("art.png");
    ASSERT_TRUE(png_write_rgba(rgba_path.c_str(), rgba.data(), 7, 5));
    EXPECT_EQ(read_png(rgba_path).base(), rgba);

    // Equal pixels give equal files (the bundled data depends on it).
    const std::string again = scratch_path("art2.png");
    ASSERT_TRUE(png_write_rgba(again.c_str(), rgba.data(), 7, 5));
    EXPECT_EQ(bvtest::read_file(again), bvtest::read_file(rgba_path));
}

TEST(PngWrite, FailsCleanlyWhereItCannotWrite)
{
    const uint8_t pixel[4] = {1, 2, 3, 4};
    // A plain file where a folder should be.
    const std::string blocker = scratch_file("blocker", "x");
    EXPECT_FALSE(png_write_rgba((blocker + "/x.png").c_str(), pixel, 1, 1));
    EXPECT_FALSE(png_write_rgb("/dev/full", pixel, 1, 1));
    EXPECT_FALSE(png_write_rgba(scratch_path("empty.png").c_str(), pixel, 0, 1));
}

TEST(ImageLoad, FallsBackToJAndPpmAndConvertsTheChannelCount)
{
    auto load = [](const std::string& path, int channels) {
        Image image;
        image.channels = channels;
        image.ok = channels == 4 ? image_load_rgba(path.c_str(), &image.pixels, &image.w, &image.h)
                                 : image_load_rgb(path.c_str(), &image.pixels, &image.w, &image.h);
        return image;
    };
    const Bytes rgba = {1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_EQ(load(scratch_file("a.j7", j_file(2, 1, 4, rgba)), 3).base(), (Bytes{1, 2, 3, 5, 6, 7}));
    EXPECT_EQ(load(scratch_file("a.j6", j_file(1, 1, 3, {1, 2, 3})), 4).base(), (Bytes{1, 2, 3, 255}));
    EXPECT_EQ(load(scratch_file("a.ppm", "P6\n1 1\n255\nxyz"), 4).base(), (Bytes{'x', 'y', 'z', 255}));
    EXPECT_EQ(load(scratch_file("b.png", png_of(2, 1, 4, rgba)), 3).base(), (Bytes{1, 2, 3, 5, 6, 7}));
    // Every level is converted, not only the base.
    Image widened = load(scratch_file("c.png", png_of(2, 2, 3, solid(2, 2, {9, 8, 7}))), 4);
    EXPECT_EQ(widened.level(1), (Bytes{9, 8, 7, 255}));
    EXPECT_FALSE(load(scratch_file("d.txt", "LINK @x.png"), 4).ok);
    EXPECT_FALSE(load(scratch_path("none.png"), 4).ok);
}

}  // namespace
