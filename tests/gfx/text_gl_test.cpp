// Text on a real GL (Mesa's software renderer, desktop core and ES 3): text pixels in
// the escape colours, and a line in the bundled font; both frames are saved as PNG in
// <build>/gfx_frames/ for a person to see.
#include "image_fixtures.h"
#include "mesa_fixture.h"

#include "gfx/fonts.h"
#include "gfx/gl_layer.h"
#include "gfx/texture_cache.h"
#include "gfx/texture_upload.h"

#include "foundation/memory.h"
#include "support/test_support.h"

using namespace imgtest;

namespace {

class TextOnGl : public MesaTest {
protected:
    void TearDown() override
    {
        if (context && context->ok()) {
            fonts_free();
            texture_purge(1);
        }
        MesaTest::TearDown();
    }
    // Makes the main font from an image file and uploads it as start-up does.
    static bool use_main_font(const std::string& name)
    {
        std::string printable;
        for (char c = '!'; c <= '~'; ++c)
            printable += c;
        if (!font_load(&font_main, name.c_str(), printable.c_str()))
            return false;
        font_main.texture = texture_upload_mipmapped(font_main.pixels, font_main.width, font_main.height, 4);
        mem_free(font_main.pixels);
        font_main.pixels = nullptr;
        return font_main.texture != 0;
    }
};

TEST_P(TextOnGl, TextPixelsTakeTheEscapeColours)
{
    // A font of 8 x 8 cells whose 'H' is solid white.
    const int cells = 94, w = cells * 8 + 1;
    Bytes pixels(static_cast<size_t>(w) * 8 * 4, 0);
    auto set = [&](int x, int y, const Bytes& c) { std::copy(c.begin(), c.end(), pixels.begin() + (y * w + x) * 4); };
    for (int i = 0; i <= cells; ++i)
        set(i * 8, 0, {255, 0, 255, 255});
    for (int y = 1; y < 8; ++y)
        for (int x = ('H' - '!') * 8; x < ('H' - '!' + 1) * 8; ++x)
            set(x, y, {255, 255, 255, 255});
    put_data("gl/font.png", png_of(w, 8, 4, pixels));
    ASSERT_TRUE(use_main_font("@gl/font.png"));

    use_target(96, 32);
    bvglTranslatef(4, 4, 0);
    bvglScalef(16, 16, 1);
    text_draw(1, 1, 1, 1, "\x1b[1;31mH\x1b[0;34mH\x1b[0mH");
    bvglDisable(GL_BLEND);
    EXPECT_PIXEL(12, 10, {255, 0, 0, 255});
    EXPECT_PIXEL(28, 10, {0, 0, 191, 255});
    EXPECT_PIXEL(44, 10, {255, 255, 255, 255});
    EXPECT_PIXEL(2, 2, clear_pixel);
    EXPECT_PIXEL(80, 10, clear_pixel);
}

TEST_P(TextOnGl, TheBundledFontDrawsALine)
{
    const std::string font_path = std::string(BV_BUILD_DIR) + "/base_staging/font.png";
    if (!bvtest::file_exists(font_path))
        GTEST_SKIP() << "no bundled font at " << font_path;
    ASSERT_TRUE(use_main_font(font_path));
    for (int c = '!'; c <= '~'; ++c)   // every character has a cell
        EXPECT_TRUE(font_main.box[c][2] > font_main.box[c][0] && font_main.advance[c] > 0.1f) << char(c);
    // The bundled digits: three keep the normal font on a 128 wide plate, four condensed fit.
    font_load(&font_digits, (BV_BUILD_DIR "/base_staging/numbers.png"), "0123456789");
    font_load(&font_digits_condensed, (BV_BUILD_DIR "/base_staging/numbers-condensed.png"), "0123456789");
    int w = 0, h = 0;
    font_text_pixels(&font_digits, "999", &w, &h);
    EXPECT_LE(w, 9 * 128 / 8);
    font_text_pixels(&font_digits_condensed, "1234", &w, &h);
    EXPECT_LE(w, 128);
    const char* line = "Brovanta \x1b[1;33m1:23.456\x1b[0m lap 3/10";
    use_target(512, 48);
    bvglTranslatef(8, 12, 0);
    bvglScalef(28, 28, 1);
    text_draw_shadowed(1, 1, 1, 1, line);
    bvglDisable(GL_BLEND);

    const float width = text_width(line) * 28;
    ASSERT_GT(width, 300);
    ASSERT_LT(width, 504);
    int lit = 0, yellow = 0, stray = 0;
    const auto rgb = target->rgb();
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 512; ++x) {
            const uint8_t* p = &rgb[(static_cast<size_t>(y) * 512 + x) * 3];
            const bool text = !(std::abs(p[0] - 50) <= 3 && std::abs(p[1] - 153) <= 3 && std::abs(p[2] - 204) <= 3);
            const bool inside = x >= 8 && x <= 8 + width + 2 && y >= 12 - 8 && y <= 12 + 28;
            lit += text && inside;
            stray += text && !inside;
            yellow += p[0] > 200 && p[1] > 200 && p[2] < 60;
        }
    EXPECT_GT(lit, 1500);
    EXPECT_EQ(stray, 0);
    EXPECT_GT(yellow, 100);
}

INSTANTIATE_ON_MESA(TextOnGl);

}  // namespace
