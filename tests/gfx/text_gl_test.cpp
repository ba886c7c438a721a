// Text on a real GL (Mesa's software renderer, desktop core and ES 3): a line in the
// bundled font, with an escape colour and a shadow, saved as PNG in <build>/gfx_frames/
// for a person to see; and the bundled fonts' cells.
#include "mesa_fixture.h"

#include "gfx/fonts.h"
#include "gfx/gl_layer.h"
#include "gfx/texture_upload.h"

#include "support/test_support.h"

namespace {

class TextOnGl : public MesaTest {
protected:
    void TearDown() override
    {
        if (context && context->ok())
            fonts_free();
        MesaTest::TearDown();
    }
};

TEST_P(TextOnGl, TheBundledFontDrawsALine)
{
    const std::string folder = BV_BUILD_DIR "/base_staging/";
    if (!bvtest::file_exists(folder + "font.png"))
        GTEST_SKIP() << "no bundled font in " << folder;
    // The main font as start-up makes it: every printable character has a cell.
    std::string printable;
    for (char c = '!'; c <= '~'; ++c)
        printable += c;
    ASSERT_TRUE(font_load(&font_main, (folder + "font.png").c_str(), printable.c_str()));
    for (int c = '!'; c <= '~'; ++c)
        EXPECT_TRUE(font_main.box[c][2] > font_main.box[c][0] && font_main.advance[c] > 0.1f) << char(c);
    font_main.texture = texture_upload_mipmapped(font_main.pixels, font_main.width, font_main.height, 4);
    // The digits: three keep the normal font on a 128 wide plate, four condensed fit.
    font_load(&font_digits, (folder + "numbers.png").c_str(), "0123456789");
    font_load(&font_digits_condensed, (folder + "numbers-condensed.png").c_str(), "0123456789");
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
