// Fonts on the CPU: cells found from the marker pixels of hand-made font images, the
// colour escapes in text and shadow passes, text widths, the quads handed to the
// batch, and the software number rendering for plates.
#include "fake_gl.h"
#include "image_fixtures.h"
#include "log_capture.h"

#include "gfx/fonts.h"
#include "gfx/gl_layer.h"
#include "gfx/gl_state.h"
#include "gfx/texture_upload.h"

#include "foundation/memory.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace imgtest;

namespace {

// An RGBA font image: transparent, with marker pixels at the top-left and where
// listed, saved as "@name".
struct FontImage {
    int w, h;
    Bytes pixels;
    FontImage(int w_, int h_, std::initializer_list<std::pair<int, int>> marks)
        : w(w_), h(h_), pixels(static_cast<size_t>(w_) * h_ * 4, 0)
    {
        set(0, 0, {255, 0, 255, 255});
        for (auto [x, y] : marks)
            set(x, y, {255, 0, 255, 255});
    }
    void set(int x, int y, const Bytes& c) { std::copy(c.begin(), c.end(), pixels.begin() + (y * w + x) * 4); }
    void ink(int x0, int y0, int x1, int y1, const Bytes& c)
    {
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x)
                set(x, y, c);
    }
    font load(const std::string& name, const char* characters) const
    {
        put_data(name, png_of(w, h, 4, pixels));
        font f{};
        EXPECT_TRUE(font_load(&f, ("@" + name).c_str(), characters)) << name;
        return f;
    }
};

// Box (left, top, right, bottom) and advance of a character.
std::vector<float> cell(const font& f, char c)
{
    const auto i = static_cast<unsigned char>(c);
    return {f.box[i][0], f.box[i][1], f.box[i][2], f.box[i][3], f.advance[i]};
}

TEST(FontCells, BoxesAndAdvancesComeFromTheMarkers)
{
    FontImage image(20, 12, {{4, 0}, {9, 0}, {15, 0}, {0, 6}, {5, 6}, {12, 6}});
    image.ink(1, 1, 4, 6, {255, 255, 255, 200});
    font f = image.load("fonts/cells.png", "A-CDE");
    EXPECT_EQ(cell(f, 'A'), (std::vector<float>{0, 0, 0.2f, 0.5f, 4.0f / 6}));
    EXPECT_EQ(cell(f, '-'), (std::vector<float>{0.2f, 0, 0.45f, 0.5f, 5.0f / 6}));
    EXPECT_EQ(cell(f, 'C'), (std::vector<float>{0.45f, 0, 0.75f, 0.5f, 1}));
    EXPECT_EQ(cell(f, 'D'), (std::vector<float>{0, 0.5f, 0.25f, 1, 5.0f / 6}));
    EXPECT_EQ(cell(f, 'E'), (std::vector<float>{0.25f, 0.5f, 0.6f, 1, 7.0f / 6}));
    EXPECT_FLOAT_EQ(f.advance[' '], 5.0f / 6);   // a space is as wide as '-'
    EXPECT_FLOAT_EQ(f.advance['Z'], 2.0f / 3);
    // Marker pixels became transparent white, the top-left one too; glyphs are untouched.
    for (auto [x, y] : {std::pair{0, 0}, {9, 0}, {0, 6}, {12, 6}})
        EXPECT_EQ(texel(f.pixels, 20, 4, x, y), (Bytes{255, 255, 255, 0})) << x << "," << y;
    EXPECT_EQ(texel(f.pixels, 20, 4, 2, 3), (Bytes{255, 255, 255, 200}));
    mem_free(f.pixels);

    // A missing font is reported and left empty.
    font none{};
    none.advance['A'] = 5;
    LogCapture log;
    EXPECT_FALSE(font_load(&none, "@fonts/none.png", "A"));
    EXPECT_EQ(log.text(), "Can't open font '@fonts/none.png'\n");
    EXPECT_FLOAT_EQ(none.advance['A'], 2.0f / 3);
}

TEST(FontCells, FewerCellsThanCharactersEndTheWalkAtTheImageOrARowWithoutMarks)
{
    font f = FontImage(10, 4, {{3, 0}, {8, 0}}).load("fonts/short.png", "ABCDEFG");
    EXPECT_EQ(cell(f, 'B'), (std::vector<float>{0.3f, 0, 0.8f, 1, 5.0f / 4}));
    EXPECT_EQ(cell(f, 'G'), (std::vector<float>{0, 0, 0, 0, 2.0f / 3}));
    mem_free(f.pixels);
    // The second row of cells has no column marks at all.
    font g = FontImage(10, 8, {{5, 0}, {0, 4}}).load("fonts/bare.png", "ABC");
    EXPECT_EQ(cell(g, 'A'), (std::vector<float>{0, 0, 0.5f, 0.5f, 5.0f / 4}));
    EXPECT_EQ(cell(g, 'B'), (std::vector<float>{0, 0, 0, 0, 2.0f / 3}));
    mem_free(g.pixels);
    // One pixel high: the cell row is one pixel.
    font l = FontImage(6, 1, {{2, 0}, {5, 0}}).load("fonts/line.png", "xy");
    EXPECT_EQ(cell(l, 'y'), (std::vector<float>{2.0f / 6, 0, 5.0f / 6, 1, 3}));
    mem_free(l.pixels);
}

// The main font for the drawing tests: cells 2, 3, 4, 5 wide and 4 high for "abc-",
// no GL texture upload.
class Text : public ::testing::Test {
protected:
    void SetUp() override
    {
        fakegl::install();
        font_main = FontImage(15, 4, {{2, 0}, {5, 0}, {9, 0}, {14, 0}}).load("fonts/main.png", "abc-");
        font_main.texture = 77;
    }
    void TearDown() override
    {
        font_main.texture = 0;
        fonts_free();
    }
    // Vertex i of the batch: x, y, s, t.
    static std::vector<float> corner(int i)
    {
        const float* v = gl_state.imm_batch.vertices + i * imm_vertex_floats;
        return {v[0], v[1], v[4], v[5]};
    }
    static std::vector<float> colour(int quad)
    {
        const float* v = gl_state.imm_batch.vertices + quad * 4 * imm_vertex_floats;
        return {v[8], v[9], v[10], v[11]};
    }
    static int quads() { return (gl_state.imm_batch.vertex_base + gl_state.imm_batch.vertex_count) / 4; }
};

TEST_F(Text, QuadsCarryTheCellBoxAndAdvanceThePen)
{
    text_draw(0.5f, 0.25f, 1, 0.75f, "ab\nc");
    ASSERT_EQ(quads(), 3);
    // 'a' from (0,0) to (0.5,1): (x, y+1) takes (left, top), (x, y) (left, bottom).
    EXPECT_EQ(corner(0), (std::vector<float>{0, 1, 0, 0}));
    EXPECT_EQ(corner(1), (std::vector<float>{0, 0, 0, 1}));
    EXPECT_EQ(corner(2), (std::vector<float>{0.5f, 0, 2.0f / 15, 1}));
    // 'b' starts where 'a' ended; 'c' on the next line down at x 0.
    EXPECT_EQ(corner(4)[0], 0.5f);
    EXPECT_EQ(corner(9), (std::vector<float>{0, -1, 5.0f / 15, 1}));
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
    EXPECT_EQ(colour(3), (std::vector<float>{0.75f, 0.75f, 0.75f, 0.8f}));   // the caller's, brightened
    EXPECT_EQ(colour(4), (std::vector<float>{0, 0, 1, 0.8f}));               // bright stays on

    // Two sequences in a row both act; a non-'m' sequence is skipped without effect;
    // an ESC without '[' skips up to its final byte.
    text_draw(1, 1, 1, 1, "\x1b[32m\x1b[1ma\x1b[2Ka\x1bXa\x1b[m");
    ASSERT_EQ(quads(), 8);
    for (int q = 5; q < 8; ++q)
        EXPECT_EQ(colour(q), (std::vector<float>{0, 1, 0, 1})) << q;
    int state = 16;
    const char* unfinished = "\x1b[99;1";
    EXPECT_EQ(text_escape_apply(unfinished, &state), unfinished + strlen(unfinished));
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
}

TEST_F(Text, WidthsTabsEmptyTextsAndPlacement)
{
    const float space = 5.0f / 4;   // the advance of '-'
    for (auto [text, width] : {std::pair{"", 0.0f}, {"ab", 0.5f + 0.75f}, {"ab\tc", 8 * space + 1},
                               {"a b", 0.5f + space + 0.75f}, {"abc\na", 2.25f}, {"a\nabc", 2.25f},
                               {"abc\ra", 2.25f}, {"\x1b[1;31ma\x1b[0m", 0.5f}, {"\t\t", 16 * space}})
        EXPECT_FLOAT_EQ(text_width(text), width) << text;

    text_draw(1, 1, 1, 1, "");
    text_draw_shadowed(1, 1, 1, 1, " \t\n");
    text_draw_centered(1, 1, 1, 1, 0, 10, "   ");
    text_draw_right(1, 1, 1, 1, 0, nullptr);
    EXPECT_EQ(quads(), 0);
    // The placement wrappers pop what they push.
    text_draw_centered_plain(1, 1, 1, 1, 2, 6, "ab");
    text_draw_right(1, 1, 1, 1, 10, "ab");
    EXPECT_EQ(quads(), 6);   // the right-aligned text is shadowed
    bvglFinish();
    EXPECT_EQ(gl_state.depth[0], 0);
    EXPECT_FLOAT_EQ(gl_current_matrix(0)[12], 0);
}

// Digit fonts for the plates: 10 cells, normal 4 px wide, condensed 2 px, 6 px high;
// glyph pixels of digit d are (20d, 0, 0) with alpha 100 (normal) or 50 (condensed).
class Plates : public ::testing::Test {
protected:
    void SetUp() override
    {
        fakegl::install();
        for (auto [f, cell, alpha] : {std::tuple{&font_digits, 4, 100}, {&font_digits_condensed, 2, 50}}) {
            FontImage image(10 * cell + 1, 6, {});
            for (int d = 0; d < 10; ++d) {
                image.set((d + 1) * cell, 0, {255, 0, 255, 255});
                image.ink(d * cell + (d ? 0 : 1), 1, (d + 1) * cell, 6, {uint8_t(d * 20), 0, 0, uint8_t(alpha)});
            }
            *f = image.load("fonts/digits" + std::to_string(cell) + ".png", "0123456789");
        }
    }
    void TearDown() override { fonts_free(); }
    // The texel at (x, y) of a number drawn into a clear white w x h image.
    static Bytes drawn(const char* number, int w, int h, int x, int y)
    {
        Bytes image = solid(w, h, {255, 255, 255, 0});
        font_render_number(image.data(), w, h, 1, 1, 1, 1, number);
        return texel(image.data(), w, 4, x, y);
    }
};

TEST_F(Plates, DigitsAreCentredWithThePerPixelRuleAndWideNumbersCondense)
{
    // "12" is 8 x 6 at (4, 5) on 16 x 16; row 0 of each glyph is its cleared marker row.
    // A channel is trunc((glyph A + dst (1 - A)) 255), alpha trunc(A A 255), A = 100 / 255.
    EXPECT_EQ(drawn("12", 16, 16, 4, 6), (Bytes{162, 155, 155, 39}));
    EXPECT_EQ(drawn("12", 16, 16, 8, 6), (Bytes{170, 155, 155, 39}));
    for (auto [x, y] : {std::pair{4, 5}, {3, 6}, {12, 6}})
        EXPECT_EQ(drawn("12", 16, 16, x, y), (Bytes{255, 255, 255, 0})) << x << "," << y;
    int w = 0, h = 0;
    font_text_pixels(&font_digits, "1234", &w, &h);
    EXPECT_EQ(std::make_pair(w, h), std::make_pair(16, 6));   // truncated box edges would give 17
    // 16 is wider than 9/8 of 8: the condensed digits (alpha 50); 4 is not below 9/8 of 4.
    EXPECT_EQ(drawn("1234", 8, 8, 0, 3)[3], 9);
    EXPECT_EQ(drawn("1", 4, 8, 0, 3)[3], 39);
    drawn("88888888888", 2, 2, 0, 0);   // far too wide: clipped to the image
}

TEST_F(Plates, PlateTexturesAreTintedAndFramedOnEveryLevel)
{
    const uint8_t background[3] = {0, 0, 200}, foreground[3] = {250, 250, 0};
    auto ups = fakegl::uploads_of(number_texture_create("5", 16, 16, background, foreground));
    ASSERT_EQ(ups.size(), 5u);
    const auto* base = reinterpret_cast<const uint8_t*>(ups[0].data.data());
    // A glyph texel of '5' drawn white over clear white, then tinted: 255 becomes the
    // background, 0 the foreground; untouched texels the background, still clear.
    EXPECT_EQ(texel(base, 16, 4, 6, 6), (Bytes{59, 98, 121, 39}));
    EXPECT_EQ(texel(base, 16, 4, 1, 1), (Bytes{0, 0, 200, 0}));
    for (const auto& u : ups) {
        const auto* p = reinterpret_cast<const uint8_t*>(u.data.data());
        EXPECT_EQ(texel(p, u.w, 4, 0, 0), (Bytes{255, 255, 255, 0})) << u.w;
        EXPECT_EQ(texel(p, u.w, 4, u.w - 1, u.h - 1), (Bytes{255, 255, 255, 0})) << u.w;
    }
}

}  // namespace
