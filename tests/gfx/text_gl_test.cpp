// Textures and text on a real GL (Mesa's software renderer, desktop core and ES 3):
// the level sizes the reduction leaves, text pixels in the escape colours, and a
// line in the bundled font saved as PNG in <build>/gfx_frames/ for a person to see.
#include "egl_context.h"
#include "image_fixtures.h"

#include "gfx/fonts.h"
#include "gfx/gl_layer.h"
#include "gfx/gl_startup.h"
#include "gfx/gl_state.h"
#include "gfx/image_chain.h"
#include "gfx/images.h"
#include "gfx/mip_chain.h"
#include "gfx/shaders.h"
#include "gfx/texture_cache.h"
#include "gfx/texture_upload.h"

#include "foundation/memory.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <memory>

using namespace imgtest;

namespace {

using Rgba = std::array<int, 4>;

class GlTarget {
public:
    GlTarget(int w, int h) : w_(w), h_(h)
    {
        bvglGenTextures(1, &texture_);
        bvglBindTexture(GL_TEXTURE_2D, texture_);
        bvglTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, w, h, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
        bvglTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        bvglBindTexture(GL_TEXTURE_2D, 0);
        bvglGenFramebuffers(1, &framebuffer_);
        bvglBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
        bvglFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture_, 0);
        complete_ = bvglCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
        bvglViewport(0, 0, w, h);
        bvglClear(GL_COLOR_BUFFER_BIT);
        bvglMatrixMode(GL_PROJECTION);
        bvglLoadIdentity();
        bvglOrtho(0, w, 0, h, -1, 1);
        bvglMatrixMode(GL_MODELVIEW);
        bvglLoadIdentity();
    }
    ~GlTarget()
    {
        bvglBindFramebuffer(GL_FRAMEBUFFER, 0);
        bvglDeleteFramebuffers(1, &framebuffer_);
        bvglDeleteTextures(1, &texture_);
    }
    bool complete() const { return complete_; }
    Rgba pixel(int x, int y)
    {
        uint8_t p[4] = {};
        bvglReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
        return {p[0], p[1], p[2], p[3]};
    }
    // GL reads rows bottom first, which is what the RGB writer expects. ES only
    // promises RGBA read-backs.
    std::vector<uint8_t> rgb()
    {
        std::vector<uint8_t> rgba(static_cast<size_t>(w_) * h_ * 4), out;
        bvglReadPixels(0, 0, w_, h_, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
        for (size_t i = 0; i < rgba.size(); i += 4)
            out.insert(out.end(), {rgba[i], rgba[i + 1], rgba[i + 2]});
        return out;
    }
    std::string save_png(const std::string& name)
    {
        const std::filesystem::path folder = std::filesystem::path(BV_BUILD_DIR) / "gfx_frames";
        std::filesystem::create_directories(folder);
        const std::string path = (folder / (name + ".png")).string();
        const auto pixels = rgb();
        return png_write_rgb(path.c_str(), pixels.data(), w_, h_) ? path : "";
    }

private:
    int w_, h_;
    GLuint texture_ = 0, framebuffer_ = 0;
    bool complete_ = false;
};

bool near(const Rgba& a, const Rgba& b, int tolerance = 3)
{
    for (int i = 0; i < 4; ++i)
        if (std::abs(a[i] - b[i]) > tolerance)
            return false;
    return true;
}

std::string text_of(const Rgba& p)
{
    return "(" + std::to_string(p[0]) + "," + std::to_string(p[1]) + "," + std::to_string(p[2]) + "," +
           std::to_string(p[3]) + ")";
}

const Rgba clear_pixel = {50, 153, 204, 0};

class TexturesOnGl : public ::testing::TestWithParam<GlApi> {
protected:
    void SetUp() override
    {
        context = std::make_unique<EglContext>(GetParam());
        ASSERT_TRUE(context->ok()) << context->error();
        gl_init(EglContext::load, nullptr);
        ASSERT_EQ(gl_create_shaders(), 1);
        // The start-up state the texture and text code relies on.
        bvglClearColor(0.196078f, 0.6f, 0.8f, 0);
        bvglEnable(GL_CULL_FACE);
        bvglPixelStorei(GL_PACK_ALIGNMENT, 1);
        bvglPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    }
    void TearDown() override
    {
        if (context && context->ok()) {
            fonts_free();
            texture_purge(1);
        }
        gl_state_reset();
        context.reset();
    }
    static std::vector<std::pair<int, int>> level_sizes(GLuint id)
    {
        std::vector<std::pair<int, int>> sizes;
        bvglBindTexture(GL_TEXTURE_2D, id);
        for (int level = 0; level < 16; ++level) {
            GLint w = 0, h = 0;
            bvglGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_WIDTH, &w);
            bvglGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_HEIGHT, &h);
            if (w == 0)
                break;
            sizes.emplace_back(w, h);
        }
        bvglBindTexture(GL_TEXTURE_2D, 0);
        return sizes;
    }
    // Makes the main font from an image file and uploads it as start-up does.
    static bool use_main_font(const std::string& name)
    {
        char printable[95];
        for (int i = 0; i < 94; ++i)
            printable[i] = static_cast<char>('!' + i);
        printable[94] = '\0';
        if (!font_load(&font_main, name.c_str(), printable))
            return false;
        font_main.texture = texture_upload_mipmapped(font_main.pixels, font_main.width, font_main.height, 4);
        mem_free(font_main.pixels);
        font_main.pixels = nullptr;
        return font_main.texture != 0;
    }
    std::unique_ptr<EglContext> context;
};

TEST_P(TexturesOnGl, ReducedTexturesHaveTheLevelsTheRulesGive)
{
    using Sizes = std::vector<std::pair<int, int>>;
    auto upload = [](int w, int h, const Bytes& base, int drop) {
        Bytes chain(static_cast<size_t>(chain_texel_count(w, h)) * 3);
        std::copy(base.begin(), base.end(), chain.begin());
        mipchain_build(chain.data(), w, h, 3);
        return texture_reduce_upload(chain.data(), w, h, 3, drop, 0, nullptr);
    };
    EXPECT_EQ(level_sizes(upload(100, 60, noise(100 * 60 * 3, 1), 0)),
              (Sizes{{64, 32}, {32, 16}, {16, 8}, {8, 4}, {4, 2}, {2, 1}, {1, 1}}));
    EXPECT_EQ(level_sizes(upload(64, 64, solid(64, 64, {7, 8, 9}), 0)),
              (Sizes{{16, 16}, {8, 8}, {4, 4}, {2, 2}, {1, 1}}));
    EXPECT_EQ(level_sizes(upload(256, 256, noise(256 * 256 * 3, 2), 1)).front(), (std::pair<int, int>{128, 128}));
    // An RGB texture with rows of odd length reads back exactly (unpack alignment 1).
    const Bytes odd = noise(3 * 3 * 3, 3);
    const GLuint id = upload(3, 3, odd, 0);
    ASSERT_NE(id, 0u);
    EXPECT_EQ(level_sizes(id).front(), (std::pair<int, int>{2, 2}));
}

TEST_P(TexturesOnGl, TextPixelsTakeTheEscapeColours)
{
    // A font whose 'H' cell is solid white and 'i' cell empty: 8 x 8 cells.
    const int cells = 94;
    Bytes pixels(static_cast<size_t>(cells * 8 + 1) * 8 * 4, 0);
    auto set = [&](int x, int y, const Bytes& c) { std::copy(c.begin(), c.end(), pixels.begin() + (y * (cells * 8 + 1) + x) * 4); };
    for (int i = 0; i <= cells; ++i)
        set(i * 8, 0, {255, 0, 255, 255});
    const int h_cell = 'H' - '!';
    for (int y = 1; y < 8; ++y)
        for (int x = h_cell * 8; x < h_cell * 8 + 8; ++x)
            set(x, y, {255, 255, 255, 255});
    put_data("gl/font.png", png_of(cells * 8 + 1, 8, 4, pixels));
    ASSERT_TRUE(use_main_font("@gl/font.png"));

    GlTarget target(96, 32);
    ASSERT_TRUE(target.complete());
    bvglTranslatef(4, 4, 0);
    bvglScalef(16, 16, 1);
    text_draw(1, 1, 1, 1, "\x1b[1;31mH\x1b[0;34mH\x1b[0mH");
    bvglDisable(GL_BLEND);
    const Rgba red = target.pixel(4 + 8, 4 + 6), blue = target.pixel(20 + 8, 4 + 6), white = target.pixel(36 + 8, 4 + 6);
    EXPECT_TRUE(near(red, {255, 0, 0, 255})) << text_of(red);
    EXPECT_TRUE(near(blue, {0, 0, 191, 255})) << text_of(blue);
    EXPECT_TRUE(near(white, {255, 255, 255, 255})) << text_of(white);
    EXPECT_TRUE(near(target.pixel(2, 2), clear_pixel)) << text_of(target.pixel(2, 2));
    EXPECT_TRUE(near(target.pixel(80, 10), clear_pixel)) << text_of(target.pixel(80, 10));
    target.save_png(std::string("text_escapes_") + api_name(GetParam()));
}

TEST_P(TexturesOnGl, TheBundledFontDrawsALine)
{
    const std::string font_path = std::string(BV_BUILD_DIR) + "/base_staging/font.png";
    if (!bvtest::file_exists(font_path))
        GTEST_SKIP() << "no bundled font at " << font_path;
    ASSERT_TRUE(use_main_font(font_path));

    const char* line = "Brovanta \x1b[1;33m1:23.456\x1b[0m lap 3/10";
    GlTarget target(512, 48);
    ASSERT_TRUE(target.complete());
    bvglTranslatef(8, 12, 0);
    bvglScalef(28, 28, 1);
    text_draw_shadowed(1, 1, 1, 1, line);
    bvglDisable(GL_BLEND);

    const float width = text_width(line) * 28;
    ASSERT_GT(width, 300);
    ASSERT_LT(width, 504);
    int lit = 0, yellow = 0, stray = 0;
    const auto rgb = target.rgb();
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
    EXPECT_NE(target.save_png(std::string("text_line_") + api_name(GetParam())), "");
}

INSTANTIATE_TEST_SUITE_P(Apis, TexturesOnGl, ::testing::Values(GlApi::desktop_core, GlApi::es3),
                         [](const auto& info) { return std::string(api_name(info.param)); });

}  // namespace
