// The layer on a real GL: Mesa's software renderer, once as a desktop core context
// and once as OpenGL ES 3, drawing into a framebuffer object and reading pixels back.
// Each test leaves its frame in <build>/gfx_frames/.
#include "egl_context.h"
#include "render_target.h"

#include "gfx/gl_layer.h"
#include "gfx/gl_startup.h"
#include "gfx/gl_state.h"
#include "gfx/gl_table.h"
#include "gfx/shaders.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace {

#define EXPECT_PIXEL(target, x, y, ...)                                                    \
    do {                                                                                   \
        Pixel got_ = (target).pixel(x, y);                                                 \
        Pixel want_ = __VA_ARGS__;                                                         \
        EXPECT_TRUE(near(got_, want_)) << "at (" << (x) << ", " << (y) << "): got "        \
                                       << to_string(got_) << ", want " << to_string(want_); \
    } while (0)

const Pixel clear_pixel = {50, 153, 204, 0};

class RealGl : public ::testing::TestWithParam<GlApi> {
protected:
    void SetUp() override
    {
        context = std::make_unique<EglContext>(GetParam());
        ASSERT_TRUE(context->ok()) << context->error();
        gl_init(EglContext::load, nullptr);
        ASSERT_TRUE(gl_version_supported(gl_state.gl_major, gl_state.gl_minor)) << gl_state.gl_version;
        ASSERT_EQ(gl_state.gl_es, GetParam() == GlApi::es3 ? 1 : 0) << gl_state.gl_version;
        ASSERT_EQ(gl_create_shaders(), 1);

        // The state the program sets at start-up and the drawing code relies on.
        bvglClearColor(0.196078f, 0.6f, 0.8f, 0);
        bvglEnable(GL_CULL_FACE);
        bvglPixelStorei(GL_PACK_ALIGNMENT, 1);
        bvglPixelStorei(GL_UNPACK_ALIGNMENT, 1);

        target = std::make_unique<RenderTarget>();
        ASSERT_TRUE(target->complete());
        bvglMatrixMode(GL_PROJECTION);
        bvglLoadIdentity();
        bvglOrtho(0, RenderTarget::size, 0, RenderTarget::size, -1, 1);
        bvglMatrixMode(GL_MODELVIEW);
        bvglLoadIdentity();
    }

    void TearDown() override
    {
        if (target) {
            std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
            target->save(name.substr(0, name.find('/')) + "_" + api_name(GetParam()));
        }
        target.reset();
        gl_state_reset();
        context.reset();
    }

    // A counter-clockwise quad with texture coordinates 0..1.
    static void quad(float x0, float y0, float x1, float y1)
    {
        bvglBegin(GL_QUADS);
        imm_texcoord[0] = 0, imm_texcoord[1] = 0;
        bvglVertex2f(x0, y0);
        imm_texcoord[0] = 1;
        bvglVertex2f(x1, y0);
        imm_texcoord[1] = 1;
        bvglVertex2f(x1, y1);
        imm_texcoord[0] = 0;
        bvglVertex2f(x0, y1);
        bvglEnd();
    }

    static void colour(float r, float g, float b, float a)
    {
        imm_color[0] = r, imm_color[1] = g, imm_color[2] = b, imm_color[3] = a;
    }

    static void bind(int unit, GLuint texture)
    {
        bvglActiveTexture(GL_TEXTURE0 + unit);
        bvglBindTexture(GL_TEXTURE_2D, texture);
        bvglActiveTexture(GL_TEXTURE0);
    }

    std::unique_ptr<EglContext> context;
    std::unique_ptr<RenderTarget> target;
};

TEST_P(RealGl, AllSixProgramsLink)
{
    for (int slot = 1; slot <= 6; ++slot) {
        GLint linked = 0;
        gl.GetProgramiv(gl_state.program[slot], GL_LINK_STATUS, &linked);
        EXPECT_EQ(linked, 1) << "program " << slot;
    }
    EXPECT_EQ(gl_state.current_program, 0);
    EXPECT_EQ(bvglGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_P(RealGl, BuiltInTexturesReadBack)
{
    gl_use_shader(shader_unlit);
    bvglBindTexture(GL_TEXTURE_2D, gl_state.gl_white_texture);
    quad(0, 0, 32, 64);
    bvglBindTexture(GL_TEXTURE_2D, gl_state.gl_normal_texture);
    quad(32, 0, 64, 64);
    EXPECT_PIXEL(*target, 16, 32, {255, 255, 255, 255});
    EXPECT_PIXEL(*target, 48, 32, {128, 128, 255, 255});
}

TEST_P(RealGl, UnlitMultipliesColourByTextureAndFogsByDistance)
{
    GLuint orange = make_texture(1, 1, GL_RGBA8, GL_RGBA, {255, 128, 0, 255});
    gl_use_shader(shader_unlit);
    bvglBindTexture(GL_TEXTURE_2D, orange);
    colour(0.5f, 1, 1, 1);
    quad(0, 0, 32, 64);

    // Window depth 0.5 at eye distance 1: f = exp(-density * 0.5).
    bvglBindTexture(GL_TEXTURE_2D, gl_state.gl_white_texture);
    colour(1, 0, 0, 1);
    gl_uniform_fog_color(0, 0, 1);
    gl_uniform_fog_density(2);
    quad(32, 0, 64, 64);
    const int fogged = static_cast<int>(std::lround(255 * std::exp(-1.0)));
    EXPECT_PIXEL(*target, 16, 32, {128, 128, 0, 255});
    EXPECT_PIXEL(*target, 48, 32, {fogged, 0, 255 - fogged, 255});
}

TEST_P(RealGl, TilemapPicksEachCellsAtlasTile)
{
    // Atlas of 2x2 tiles, one texel each: 0 red, 1 green (row 0); 2 blue, 3 yellow.
    GLuint atlas = make_texture(2, 2, GL_RGBA8, GL_RGBA,
                                {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255, 255, 0, 255});
    // A 2x2 map of tile numbers; rows of 2 bytes need unpack alignment 1.
    GLuint tilemap = make_texture(2, 2, GL_R8, GL_RED, {3, 2, 1, 0});
    gl_use_shader(shader_tilemap);
    gl_uniform_tilemap_dims(1, 0.5f, 0.5f);
    bind(1, tilemap);
    bind(0, atlas);
    bvglMatrixMode(GL_PROJECTION);
    bvglLoadIdentity();
    bvglOrtho(0, 4, 0, 4, -1, 1);
    bvglMatrixMode(GL_MODELVIEW);
    // The ground's x and z onto the screen's x and y.
    const float ground_to_screen[16] = {1, 0, 0, 0, 0, 0, 1, 0, 0, 1, 0, 0, 0, 0, 0, 1};
    bvglMultMatrixf(ground_to_screen);
    bvglBegin(GL_QUADS);
    bvglVertex3f(0, 0, 0);
    bvglVertex3f(4, 0, 0);
    bvglVertex3f(4, 0, 4);
    bvglVertex3f(0, 0, 4);
    bvglEnd();
    EXPECT_PIXEL(*target, 16, 16, {255, 255, 0, 255});
    EXPECT_PIXEL(*target, 48, 16, {0, 0, 255, 255});
    EXPECT_PIXEL(*target, 16, 48, {0, 255, 0, 255});
    EXPECT_PIXEL(*target, 48, 48, {255, 0, 0, 255});
}

TEST_P(RealGl, ModelProgramsLightDiscardAndReflect)
{
    GLuint red = make_texture(1, 1, GL_RGBA8, GL_RGBA, {255, 0, 0, 255});
    GLuint half_clear = make_texture(1, 1, GL_RGBA8, GL_RGBA, {255, 0, 0, 128});
    // No arrays for normal and tangent: every vertex takes these.
    bvglVertexAttrib4f(2, 0, 0, 1, 0);
    bvglVertexAttrib4f(9, 1, 0, 0, 0);
    bind(1, gl_state.gl_normal_texture);
    bind(2, gl_state.gl_white_texture);

    gl_use_shader(shader_norm_spec_lit);
    gl_uniform_ambient(0.2f, 0.2f, 0.2f, 1);
    gl_uniform_diffuse(0.5f, 0.5f, 0.5f);
    gl_uniform_light_position(0, 0, 1);
    gl_uniform_specular_color(0, 0, 0);
    gl_uniform_shininess(8);
    bvglBindTexture(GL_TEXTURE_2D, red);
    quad(0, 0, 21, 64);
    bvglBindTexture(GL_TEXTURE_2D, half_clear);   // alpha below 0.75: discarded
    quad(21, 0, 42, 64);

    const float identity[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    gl_uniform_envmat(identity);
    gl_use_shader(shader_norm_env);
    gl_uniform_specular_color(0.25f, 0.5f, 1);
    bvglBindTexture(GL_TEXTURE_2D, gl_state.gl_white_texture);
    quad(42, 0, 64, 64);

    EXPECT_PIXEL(*target, 10, 32, {179, 0, 0, 255});
    EXPECT_PIXEL(*target, 31, 32, clear_pixel);
    EXPECT_PIXEL(*target, 53, 32, {64, 128, 255, 255});
}

TEST_P(RealGl, TerrainProgramsStayFiniteOnFlatAndOutOfRangeInput)
{
    // terrain_normals with s constant over the primitive: no turn of the normal.
    GLuint shadow = make_texture(1, 1, GL_R8, GL_RED, {64});
    gl_use_shader(shader_terrain_normals);
    bind(1, shadow);
    bvglBindTexture(GL_TEXTURE_2D, gl_state.gl_normal_texture);
    bvglBegin(GL_QUADS);
    imm_texcoord[0] = imm_texcoord[1] = 0.5f;
    bvglVertex2f(0, 0);
    bvglVertex2f(32, 0);
    bvglVertex2f(32, 64);
    bvglVertex2f(0, 64);
    bvglEnd();
    EXPECT_PIXEL(*target, 16, 32, {127, 191, 128, 255});

    // terrain with a decal normal texel whose x and z lie outside the unit circle.
    GLuint decal_normal = make_texture(1, 1, GL_RGBA8, GL_RGBA, {255, 200, 255, 255});
    GLuint black = make_texture(1, 1, GL_RGBA8, GL_RGBA, {0, 0, 0, 255});
    gl_use_shader(shader_terrain);
    bind(1, decal_normal);
    bind(2, black);
    bind(3, gl_state.gl_white_texture);
    bvglBindTexture(GL_TEXTURE_2D, gl_state.gl_white_texture);
    gl_uniform_spacing(1);
    gl_uniform_heights_dim_inv(1);
    gl_uniform_texoffset(0, 0, 1);
    gl_uniform_ambient(0.1f, 0.1f, 0.1f, 1);
    gl_uniform_diffuse(0.8f, 0.8f, 0.8f);
    const float third = static_cast<float>(1 / std::sqrt(3.0));
    gl_uniform_light_position(third, third, third);
    const float ground_to_screen[16] = {1, 0, 0, 0, 0, 0, 1, 0, 0, 1, 0, 0, 0, 0, 0, 1};
    bvglMultMatrixf(ground_to_screen);
    bvglBegin(GL_QUADS);
    bvglVertex3f(32, 0, 0);
    bvglVertex3f(64, 0, 0);
    bvglVertex3f(64, 0, 64);
    bvglVertex3f(32, 0, 64);
    bvglEnd();
    // Flat ground, detail normal (1, 0, 1) turned into eye space (1, 1, 0) / sqrt 2.
    const double lit = 0.1 + 0.8 * (2 / std::sqrt(6.0)) * (200.0 / 255);
    const int grey = static_cast<int>(std::lround(255 * lit));
    EXPECT_PIXEL(*target, 48, 32, {grey, grey, grey, 255});
}

TEST_P(RealGl, ImmediatePrimitivesRasteriseFrontFacing)
{
    gl_use_shader(shader_unlit);
    bvglBindTexture(GL_TEXTURE_2D, gl_state.gl_white_texture);
    colour(1, 0, 0, 1);
    quad(4, 4, 20, 20);

    colour(0, 1, 0, 1);
    bvglBegin(GL_POLYGON);
    for (int i = 0; i < 5; ++i) {
        double a = 2 * M_PI * i / 5;
        bvglVertex2f(static_cast<float>(40 + 10 * std::cos(a)), static_cast<float>(13 + 10 * std::sin(a)));
    }
    bvglEnd();

    colour(0, 0, 1, 1);
    bvglBegin(GL_QUAD_STRIP);
    for (float y : {26.0f, 34.0f, 42.0f}) {
        bvglVertex2f(36, y);
        bvglVertex2f(60, y);
    }
    bvglEnd();

    // A line loop long enough to be split: three sides drawn vertex by vertex, the
    // fourth only by the closing of the loop.
    colour(1, 1, 1, 1);
    bvglBegin(GL_LINE_LOOP);
    const int n = 9000;
    for (int i = 0; i < n; ++i) {
        float t = 106.0f * i / (n - 1);   // path length: 48 + 10 + 48
        if (t <= 48)
            bvglVertex2f(8.5f + t, 50.5f);
        else if (t <= 58)
            bvglVertex2f(56.5f, 50.5f + (t - 48));
        else
            bvglVertex2f(56.5f - (t - 58), 60.5f);
    }
    bvglEnd();

    EXPECT_PIXEL(*target, 12, 12, {255, 0, 0, 255});
    EXPECT_PIXEL(*target, 40, 13, {0, 255, 0, 255});
    EXPECT_PIXEL(*target, 48, 30, {0, 0, 255, 255});
    EXPECT_PIXEL(*target, 48, 38, {0, 0, 255, 255});
    EXPECT_PIXEL(*target, 30, 50, {255, 255, 255, 255});
    EXPECT_PIXEL(*target, 8, 55, {255, 255, 255, 255});   // the closing side
    EXPECT_PIXEL(*target, 30, 55, clear_pixel);
}

INSTANTIATE_TEST_SUITE_P(Mesa, RealGl, ::testing::Values(GlApi::desktop_core, GlApi::es3),
                         [](const ::testing::TestParamInfo<GlApi>& info) { return std::string(api_name(info.param)); });

}  // namespace
