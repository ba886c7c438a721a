// Fonts on the CPU: cells found from the marker pixels of generated font images, the
// colour escapes in text and shadow passes, text widths, the quads handed to the
// batch, and the software number rendering for plates.
#include "image_fixtures.h"
#include "log_capture.h"
#include "texture_fake.h"

#include "gfx/fonts.h"
#include "gfx/gl_layer.h"
#include "gfx/gl_state.h"
#include "gfx/texture_upload.h"

#include "foundation/memory.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace imgtest;

namespace {

const Bytes marker = {255, 0, 255, 255};

// An RGBA font image: transparent, with marker pixels where listed, glyph pixels
// (white, alpha 200) filling each cell below its top line.
struct FontImage {
    int w, h;
    Bytes pixels;
    FontImage(int w_, int h_) : w(w_), h(h_), pixels(static_cast<size_t>(w_) * h_ * 4, 0) { mark(0, 0); }
    void set(int x, int y, const Bytes& c) { std::copy(c.begin(), c.end(), pixels.begin() + (y * w + x) * 4); }
    void mark(int x, int y) { set(x, y, marker); }
    void ink(int x0, int y0, int x1, int y1, const Bytes& c = {255, 255, 255, 200})
    {
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x)
                set(x, y, c);
    }
    std::string save(const std::string& name) const
    {
        put_data(name, png_of(w, h, 4, pixels));
        return "@" + name;
    }
};

void expect_box(const font& f, char c, float l, float t, float r, float b, float advance)
{
    const auto i = static_cast<unsigned char>(c);
    EXPECT_FLOAT_EQ(f.box[i][0], l) << c;
    EXPECT_FLOAT_EQ(f.box[i][1], t) << c;
    EXPECT_FLOAT_EQ(f.box[i][2], r) << c;
    EXPECT_FLOAT_EQ(f.box[i][3], b) << c;
    EXPECT_FLOAT_EQ(f.advance[i], advance) << c;
}

TEST(FontCells, BoxesAndAdvancesComeFromTheMarkers)
{
    FontImage image(20, 12);
    for (int x : {4, 9, 15})
        image.mark(x, 0);
    image.mark(0, 6);
    for (int x : {5, 12})
        image.mark(x, 6);
    image.ink(1, 1, 4, 6);
    font f{};
    ASSERT_TRUE(font_load(&f, image.save("fonts/cells.png").c_str(), "A-CDE"));
    expect_box(f, 'A', 0, 0, 0.2f, 0.5f, 4.0f / 6);
    expect_box(f, '-', 0.2f, 0, 0.45f, 0.5f, 5.0f / 6);
    expect_box(f, 'C', 0.45f, 0, 0.75f, 0.5f, 1);
    expect_box(f, 'D', 0, 0.5f, 0.25f, 1, 5.0f / 6);
    expect_box(f, 'E', 0.25f, 0.5f, 0.6f, 1, 7.0f / 6);
    EXPECT_FLOAT_EQ(f.advance[' '], 5.0f / 6);
    EXPECT_FLOAT_EQ(f.advance['Z'], 2.0f / 3);
    EXPECT_EQ(f.width, 20);
    EXPECT_EQ(f.height, 12);
    // Marker pixels became transparent white, the top-left one too; glyphs are untouched.
    const Bytes clear = {255, 255, 255, 0};
    EXPECT_EQ(texel(f.pixels, 20, 4, 0, 0), clear);
    EXPECT_EQ(texel(f.pixels, 20, 4, 9, 0), clear);
    EXPECT_EQ(texel(f.pixels, 20, 4, 0, 6), clear);
    EXPECT_EQ(texel(f.pixels, 20, 4, 12, 6), clear);
    EXPECT_EQ(texel(f.pixels, 20, 4, 2, 3), (Bytes{255, 255, 255, 200}));
    fonts_free();
    mem_free(f.pixels);
}

TEST(FontCells, FewerCellsThanCharactersEndTheWalkAtTheImageOrARowWithoutMarks)
{
    FontImage short_image(10, 4);
    short_image.mark(3, 0);
    short_image.mark(8, 0);
    font f{};
    ASSERT_TRUE(font_load(&f, short_image.save("fonts/short.png").c_str(), "ABCDEFG"));
    expect_box(f, 'B', 0.3f, 0, 0.8f, 1, 5.0f / 4);
    expect_box(f, 'C', 0, 0, 0, 0, 2.0f / 3);
    expect_box(f, 'G', 0, 0, 0, 0, 2.0f / 3);
    mem_free(f.pixels);

    // The second row of cells has no column marks at all.
    FontImage bare(10, 8);
    bare.mark(5, 0);
    bare.mark(0, 4);
    font g{};
    ASSERT_TRUE(font_load(&g, bare.save("fonts/bare.png").c_str(), "ABC"));
    expect_box(g, 'A', 0, 0, 0.5f, 0.5f, 5.0f / 4);
    expect_box(g, 'B', 0, 0, 0, 0, 2.0f / 3);
    mem_free(g.pixels);

    // One pixel high: the cell row is one pixel.
    FontImage line(6, 1);
    line.mark(2, 0);
    line.mark(5, 0);
    font l{};
    ASSERT_TRUE(font_load(&l, line.save("fonts/line.png").c_str(), "xy"));
    expect_box(l, 'y', 2.0f / 6, 0, 5.0f / 6, 1, 3);
    mem_free(l.pixels);
}

TEST(FontCells, AMissingFontIsReportedAndLeftEmpty)
{
    font f{};
    f.advance['A'] = 5;
    LogCapture log;
    EXPECT_FALSE(font_load(&f, "@fonts/none.png", "A"));
    EXPECT_EQ(log.text(), "Can't open font '@fonts/none.png'\n");
    EXPECT_FLOAT_EQ(f.advance['A'], 2.0f / 3);
    EXPECT_EQ(f.pixels, nullptr);
}

// The main font for the drawing tests: cells of known advances, no GL texture upload.
class Text : public ::testing::Test {
protected:
    void SetUp() override
    {
        texfake::install();
        // Cells 2, 3, 4, 5 wide and 4 high for "abc-".
        FontImage image(15, 4);
        for (int x : {2, 5, 9, 14})
            image.mark(x, 0);
        ASSERT_TRUE(font_load(&font_main, image.save("fonts/main.png").c_str(), "abc-"));
        font_main.texture = 77;
    }
    void TearDown() override
    {
        font_main.texture = 0;
        fonts_free();
    }

    struct Vertex {
        float x, y, s, t, r, g, b, a;
    };
    static std::vector<Vertex> batch()
    {
        std::vector<Vertex> out;
        const imm_batch_record& imm = gl_state.imm_batch;
        for (int i = 0; i < imm.vertex_base + imm.vertex_count; ++i) {
            const float* v = imm.vertices + i * imm_vertex_floats;
            out.push_back({v[0], v[1], v[4], v[5], v[8], v[9], v[10], v[11]});
        }
        return out;
    }
    // Colour of quad k of the batch.
    static std::vector<float> colour(int k)
    {
        const Vertex v = batch().at(k * 4);
        return {v.r, v.g, v.b, v.a};
    }
    static int quads() { return static_cast<int>(batch().size() / 4); }
};

TEST_F(Text, QuadsCarryTheCellBoxAndAdvanceThePen)
{
    text_draw(0.5f, 0.25f, 1, 0.75f, "ab\nc");
    ASSERT_EQ(quads(), 3);
    const auto v = batch();
    // 'a': from (0,0) to (0.5,1); (x, y+1) takes (left, top), (x, y) (left, bottom).
    EXPECT_FLOAT_EQ(v[0].x, 0);
    EXPECT_FLOAT_EQ(v[0].y, 1);
    EXPECT_FLOAT_EQ(v[0].s, 0);
    EXPECT_FLOAT_EQ(v[0].t, 0);
    EXPECT_FLOAT_EQ(v[1].y, 0);
    EXPECT_FLOAT_EQ(v[1].t, 1);
    EXPECT_FLOAT_EQ(v[2].x, 0.5f);
    EXPECT_FLOAT_EQ(v[2].s, 2.0f / 15);
    // 'b' starts where 'a' ended; 'c' on the next line down at x 0.
    EXPECT_FLOAT_EQ(v[4].x, 0.5f);
    EXPECT_FLOAT_EQ(v[8].x, 0);
    EXPECT_FLOAT_EQ(v[9].y, -1);
    EXPECT_EQ(colour(0), (std::vector<float>{0.5f, 0.25f, 1, 0.75f}));
    EXPECT_EQ(fakegl::count("UseProgram"), 1);
}

TEST_F(Text, EscapesPickPaletteColoursAndBrightness)
{
    text_draw(0.5f, 0.5f, 0.5f, 0.8f, "\x1b[1;31ma\x1b[22;31ma\x1b[0ma\x1b[1ma\x1b[34ma");
    ASSERT_EQ(quads(), 5);
    EXPECT_EQ(colour(0), (std::vector<float>{1, 0, 0, 0.8f}));
    EXPECT_EQ(colour(1), (std::vector<float>{0.75f, 0, 0, 0.8f}));
    EXPECT_EQ(colour(2), (std::vector<float>{0.5f, 0.5f, 0.5f, 0.8f}));
    EXPECT_EQ(colour(3), (std::vector<float>{0.75f, 0.75f, 0.75f, 0.8f}));
    EXPECT_EQ(colour(4), (std::vector<float>{0, 0, 1, 0.8f}));   // bright stays on
}

TEST_F(Text, EscapeSequencesAreSkippedWholeAndBackToBack)
{
    // Two sequences in a row both act; a non-'m' sequence is skipped without effect;
    // an ESC without '[' skips up to its final byte.
    text_draw(1, 1, 1, 1, "\x1b[32m\x1b[1ma\x1b[2Ka\x1bXa\x1b[m");
    ASSERT_EQ(quads(), 3);
    EXPECT_EQ(colour(0), (std::vector<float>{0, 1, 0, 1}));
    EXPECT_EQ(colour(1), (std::vector<float>{0, 1, 0, 1}));
    EXPECT_EQ(colour(2), (std::vector<float>{0, 1, 0, 1}));
    int state = 16;
    const char* text = "\x1b[99;1";
    EXPECT_EQ(text_escape_apply(text, &state), text + strlen(text));
    EXPECT_EQ(state, 16);
}

TEST_F(Text, ShadowPassesTakeBackgroundCodesAndKeepTheirFlag)
{
    text_draw_shadowed(0.2f, 0.4f, 0.6f, 1, "\x1b[44ma\x1b[0ma\x1b[32ma");
    ASSERT_EQ(quads(), 6);
    // Shadow: blue from code 44 at half alpha, then the shadow colour again after 0,
    // and a text colour code never colours the shadow.
    EXPECT_EQ(colour(0), (std::vector<float>{0, 0, 0.75f, 0.5f}));
    EXPECT_EQ(colour(1), (std::vector<float>{0, 0, 0, 0.5f}));
    EXPECT_EQ(colour(2), (std::vector<float>{0, 0, 0, 0.5f}));
    // Text: the caller's colour, then green from code 32.
    EXPECT_EQ(colour(3), (std::vector<float>{0.2f, 0.4f, 0.6f, 1}));
    EXPECT_EQ(colour(5), (std::vector<float>{0, 0.75f, 0, 1}));
    // The shadow sits 1/16 right and down.
    fakegl::clear_calls();
    bvglFinish();
    EXPECT_EQ(gl_state.depth[0], 0);
}

TEST_F(Text, WidthsTabsAndEmptyTexts)
{
    const float space = 5.0f / 4;   // the advance of '-'
    EXPECT_FLOAT_EQ(text_width(""), 0);
    EXPECT_FLOAT_EQ(text_width("ab"), 0.5f + 0.75f);
    EXPECT_FLOAT_EQ(text_width("ab\tc"), 8 * space + 1);
    EXPECT_FLOAT_EQ(text_width("a b"), 0.5f + space + 0.75f);
    EXPECT_FLOAT_EQ(text_width("abc\na"), 0.5f + 0.75f + 1);
    EXPECT_FLOAT_EQ(text_width("a\nabc"), 0.5f + 0.75f + 1);
    EXPECT_FLOAT_EQ(text_width("abc\ra"), 0.5f + 0.75f + 1);
    EXPECT_FLOAT_EQ(text_width("\x1b[1;31ma\x1b[0m"), 0.5f);
    EXPECT_FLOAT_EQ(text_width("\t\t"), 16 * space);

    text_draw(1, 1, 1, 1, "");
    text_draw_shadowed(1, 1, 1, 1, " \t\n");
    text_draw_centered(1, 1, 1, 1, 0, 10, "   ");
    text_draw_right(1, 1, 1, 1, 0, nullptr);
    EXPECT_EQ(quads(), 0);
    font_main.texture = 0;
    text_draw_white("abc");
    EXPECT_EQ(quads(), 0);
}

TEST_F(Text, PlacementWrappersTranslateByTheWidth)
{
    text_draw_centered_plain(1, 1, 1, 1, 2, 6, "ab");
    text_draw_right(1, 1, 1, 1, 10, "ab");
    bvglFinish();
    // Both pushes were popped again.
    EXPECT_EQ(gl_state.depth[0], 0);
    EXPECT_FLOAT_EQ(gl_current_matrix(0)[12], 0);
}

// Digit fonts for the plates: 10 cells, normal 4 px wide, condensed 2 px, 6 px high.
class Plates : public ::testing::Test {
protected:
    void SetUp() override
    {
        texfake::install();
        font_digits = make_digits("fonts/digits.png", 4, 100);
        font_digits_condensed = make_digits("fonts/condensed.png", 2, 50);
    }
    void TearDown() override { fonts_free(); }

    // Glyph pixels: colour (d x 20, 0, 0), alpha `alpha` (d = digit).
    static font make_digits(const std::string& name, int cell, int alpha)
    {
        FontImage image(10 * cell + 1, 6);
        for (int d = 0; d < 10; ++d) {
            image.mark((d + 1) * cell, 0);
            image.ink(d * cell + (d ? 0 : 1), 1, (d + 1) * cell, 6, {uint8_t(d * 20), 0, 0, uint8_t(alpha)});
        }
        font f{};
        EXPECT_TRUE(font_load(&f, image.save(name).c_str(), "0123456789"));
        return f;
    }
    static Bytes blank(int w, int h) { return solid(w, h, {255, 255, 255, 0}); }
};

TEST_F(Plates, DigitsFollowThePerPixelRuleAndCentre)
{
    Bytes image = blank(16, 16);
    font_render_number(image.data(), 16, 16, 1, 1, 1, 1, "12");
    // Text 8 x 6 at (16/2 - 8/2, 16/2 - 6/2) = (4, 5); row 0 of each glyph is a marker row.
    const float A = 100 / 255.0f;
    const auto channel = [&](float glyph, float dst) {
        return static_cast<int>((glyph / 255 * A + dst / 255 * (1 - A)) * 255);
    };
    const int alpha = static_cast<int>((A * A + 0 * (1 - A)) * 255);
    EXPECT_EQ(texel(image.data(), 16, 4, 4, 6), (Bytes{uint8_t(channel(20, 255)), uint8_t(channel(0, 255)),
                                                     uint8_t(channel(0, 255)), uint8_t(alpha)}));
    EXPECT_EQ(texel(image.data(), 16, 4, 8, 6)[0], channel(40, 255));
    EXPECT_EQ(texel(image.data(), 16, 4, 4, 5), (Bytes{255, 255, 255, 0}));   // the cleared marker line
    EXPECT_EQ(texel(image.data(), 16, 4, 3, 6), (Bytes{255, 255, 255, 0}));
    EXPECT_EQ(texel(image.data(), 16, 4, 12, 6), (Bytes{255, 255, 255, 0}));
}

TEST_F(Plates, WideNumbersSwitchToTheCondensedDigitsAndClip)
{
    int w = 0, h = 0;
    font_text_pixels(&font_digits, "1234", &w, &h);
    EXPECT_EQ(w, 16);   // the image is 41 px wide: truncated box edges would give 17
    EXPECT_EQ(h, 6);
    // 16 wide: 9/8 of 8 is 9 < 16, so the condensed digits (alpha 50) are used.
    Bytes image = blank(8, 8);
    font_render_number(image.data(), 8, 8, 1, 1, 1, 1, "1234");
    const int condensed_alpha = static_cast<int>(std::pow(50 / 255.0f, 2) * 255);
    EXPECT_EQ(texel(image.data(), 8, 4, 0, 3)[3], condensed_alpha);
    // (9 x 4) / 8 = 4 is not below a 4 px text: the normal digits stay.
    Bytes narrow = blank(4, 8);
    font_render_number(narrow.data(), 4, 8, 1, 1, 1, 1, "1");
    EXPECT_EQ(texel(narrow.data(), 4, 4, 0, 3)[3], static_cast<int>(std::pow(100 / 255.0f, 2) * 255));
    // Far too wide: clipped to the image, nothing written outside it.
    Bytes tiny = blank(2, 2);
    font_render_number(tiny.data(), 2, 2, 1, 1, 1, 1, "88888888888");
    EXPECT_EQ(tiny.size(), 16u);
}

TEST_F(Plates, PlateTexturesAreTintedAndFramedOnEveryLevel)
{
    const uint8_t background[3] = {0, 0, 200};
    const uint8_t foreground[3] = {250, 250, 0};
    const GLuint id = number_texture_create("5", 16, 16, background, foreground);
    auto ups = texfake::uploads_of(id);
    ASSERT_EQ(ups.size(), 5u);
    const auto* base = reinterpret_cast<const uint8_t*>(ups[0].data.data());
    // A glyph texel of '5' (colour 100, 0, 0, alpha 100) drawn white over clear white,
    // then tinted: 255 becomes the background, 0 the foreground.
    const float A = 100 / 255.0f;
    const int red = static_cast<int>((100 / 255.0f * A + (1 - A)) * 255);
    const int blue = static_cast<int>((1 - A) * 255);
    const Bytes glyph = texel(base, 16, 4, 6, 6);
    EXPECT_EQ(glyph[0], static_cast<int>(250 + (0 - 250.0f) * red / 255.0f));
    EXPECT_EQ(glyph[2], static_cast<int>(0 + (200 - 0.0f) * blue / 255.0f));
    EXPECT_EQ(glyph[3], static_cast<int>(A * A * 255));
    // Outer texels of every level are clear.
    for (const auto& u : ups) {
        const auto* p = reinterpret_cast<const uint8_t*>(u.data.data());
        EXPECT_EQ(texel(p, u.w, 4, 0, 0), (Bytes{255, 255, 255, 0})) << u.w;
        EXPECT_EQ(texel(p, u.w, 4, u.w - 1, u.h - 1), (Bytes{255, 255, 255, 0})) << u.w;
    }
    // Untouched plate texels become the background colour, still transparent.
    EXPECT_EQ(texel(base, 16, 4, 1, 1), (Bytes{0, 0, 200, 0}));
}

}  // namespace

namespace {

// The fonts of the base data, as the build made them.
TEST(BundledFonts, EveryCharacterHasACellAndPlatesFit)
{
    const std::string folder = std::string(BV_BUILD_DIR) + "/base_staging/";
    if (!bvtest::file_exists(folder + "font.png"))
        GTEST_SKIP() << "no bundled fonts in " << folder;
    font f{};
    ASSERT_TRUE(font_load(&f, (folder + "font.png").c_str(), "!\"#$%&'()*+,-./0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_`abcdefghijklmnopqrstuvwxyz{|}~"));
    for (int c = '!'; c <= '~'; ++c) {
        EXPECT_GT(f.box[c][2], f.box[c][0]) << char(c);
        EXPECT_GT(f.advance[c], 0.1f) << char(c);
        EXPECT_LT(f.advance[c], 0.7f) << char(c);
    }
    EXPECT_FLOAT_EQ(f.advance[' '], f.advance['-']);
    mem_free(f.pixels);

    font_load(&font_digits, (folder + "numbers.png").c_str(), "0123456789");
    font_load(&font_digits_condensed, (folder + "numbers-condensed.png").c_str(), "0123456789");
    int w = 0, h = 0, cw = 0;
    font_text_pixels(&font_digits, "999", &w, &h);
    EXPECT_LE(w, 9 * 128 / 8);   // three digits keep the normal font on a 128 plate
    EXPECT_LT(h, 100);
    font_text_pixels(&font_digits, "1234", &w, &h);
    font_text_pixels(&font_digits_condensed, "1234", &cw, &h);
    EXPECT_GT(w, 9 * 128 / 8);
    EXPECT_LE(cw, 128);          // four condensed digits fit
    fonts_free();
}

}  // namespace
