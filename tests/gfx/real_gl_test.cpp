// The layer on a real GL (Mesa's software renderer, desktop core and ES 3): every
// program linked and drawing a known pixel, the built-in textures, and immediate
// primitives rasterised front facing. Each test leaves its frame in <build>/gfx_frames/.
#include "mesa_fixture.h"

#include "gfx/gl_layer.h"
#include "gfx/gl_state.h"
#include "gfx/gl_table.h"
#include "gfx/shaders.h"

#include <cmath>

namespace {

using RealGl = MesaTest;

// A counter-clockwise quad with texture coordinates 0..1.
void quad(float x0, float y0, float x1, float y1)
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

void colour(float r, float g, float b, float a) { imm_color[0] = r, imm_color[1] = g, imm_color[2] = b, imm_color[3] = a; }

// The ground's x and z onto the screen's x and y.
void ground_to_screen()
{
    const float m[16] = {1, 0, 0, 0, 0, 0, 1, 0, 0, 1, 0, 0, 0, 0, 0, 1};
    bvglMultMatrixf(m);
}

TEST_P(RealGl, AllSixProgramsLinkAndTheBuiltInTexturesReadBack)
{
    for (int slot = 1; slot <= 6; ++slot) {
        GLint linked = 0;
        gl.GetProgramiv(gl_state.program[slot], GL_LINK_STATUS, &linked);
        EXPECT_EQ(linked, 1) << "program " << slot;
    }
    gl_use_shader(shader_unlit);
    bvglBindTexture(GL_TEXTURE_2D, gl_state.gl_white_texture);
    quad(0, 0, 32, 64);
    bvglBindTexture(GL_TEXTURE_2D, gl_state.gl_normal_texture);
    quad(32, 0, 64, 64);
    EXPECT_PIXEL(16, 32, {255, 255, 255, 255});
    EXPECT_PIXEL(48, 32, {128, 128, 255, 255});
    EXPECT_EQ(bvglGetError(), static_cast<GLenum>(GL_NO_ERROR));
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
    EXPECT_PIXEL(16, 32, {128, 128, 0, 255});
    EXPECT_PIXEL(48, 32, {fogged, 0, 255 - fogged, 255});
}

TEST_P(RealGl, TilemapPicksEachCellsAtlasTile)
{
    // Atlas of 2x2 tiles, one texel each: 0 red, 1 green (row 0); 2 blue, 3 yellow.
    GLuint atlas = make_texture(2, 2, GL_RGBA8, GL_RGBA, {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255, 255, 0, 255});
    // A 2x2 map of tile numbers; rows of 2 bytes need unpack alignment 1.
    GLuint tilemap = make_texture(2, 2, GL_R8, GL_RED, {3, 2, 1, 0});
    gl_use_shader(shader_tilemap);
    gl_uniform_tilemap_dims(1, 0.5f, 0.5f);
    bind_unit(1, tilemap);
    bind_unit(0, atlas);
    bvglScalef(16, 16, 1);
    ground_to_screen();
    bvglBegin(GL_QUADS);
    for (auto [x, z] : {std::pair{0, 0}, {4, 0}, {4, 4}, {0, 4}})
        bvglVertex3f(float(x), 0, float(z));
    bvglEnd();
    EXPECT_PIXEL(16, 16, {255, 255, 0, 255});
    EXPECT_PIXEL(48, 16, {0, 0, 255, 255});
    EXPECT_PIXEL(16, 48, {0, 255, 0, 255});
    EXPECT_PIXEL(48, 48, {255, 0, 0, 255});
}

TEST_P(RealGl, ModelProgramsLightDiscardAndReflect)
{
    GLuint red = make_texture(1, 1, GL_RGBA8, GL_RGBA, {255, 0, 0, 255});
    GLuint half_clear = make_texture(1, 1, GL_RGBA8, GL_RGBA, {255, 0, 0, 128});
    // No arrays for normal and tangent: every vertex takes these.
    bvglVertexAttrib4f(2, 0, 0, 1, 0);
    bvglVertexAttrib4f(9, 1, 0, 0, 0);
    bind_unit(1, gl_state.gl_normal_texture);
    bind_unit(2, gl_state.gl_white_texture);
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
    EXPECT_PIXEL(10, 32, {179, 0, 0, 255});
    EXPECT_PIXEL(31, 32, clear_pixel);
    EXPECT_PIXEL(53, 32, {64, 128, 255, 255});
}

TEST_P(RealGl, TerrainProgramsStayFiniteOnFlatAndOutOfRangeInput)
{
    // terrain_normals with s constant over the primitive: no turn of the normal.
    gl_use_shader(shader_terrain_normals);
    bind_unit(1, make_texture(1, 1, GL_R8, GL_RED, {64}));
    bvglBindTexture(GL_TEXTURE_2D, gl_state.gl_normal_texture);
    imm_texcoord[0] = imm_texcoord[1] = 0.5f;
    bvglBegin(GL_QUADS);
    for (auto [x, y] : {std::pair{0, 0}, {32, 0}, {32, 64}, {0, 64}})
        bvglVertex2f(float(x), float(y));
    bvglEnd();
    EXPECT_PIXEL(16, 32, {127, 191, 128, 255});

    // terrain with a decal normal texel whose x and z lie outside the unit circle.
    gl_use_shader(shader_terrain);
    bind_unit(1, make_texture(1, 1, GL_RGBA8, GL_RGBA, {255, 200, 255, 255}));
    bind_unit(2, make_texture(1, 1, GL_RGBA8, GL_RGBA, {0, 0, 0, 255}));
    bind_unit(3, gl_state.gl_white_texture);
    bvglBindTexture(GL_TEXTURE_2D, gl_state.gl_white_texture);
    gl_uniform_spacing(1);
    gl_uniform_heights_dim_inv(1);
    gl_uniform_texoffset(0, 0, 1);
    gl_uniform_ambient(0.1f, 0.1f, 0.1f, 1);
    gl_uniform_diffuse(0.8f, 0.8f, 0.8f);
    const float third = static_cast<float>(1 / std::sqrt(3.0));
    gl_uniform_light_position(third, third, third);
    ground_to_screen();
    bvglBegin(GL_QUADS);
    for (auto [x, z] : {std::pair{32, 0}, {64, 0}, {64, 64}, {32, 64}})
        bvglVertex3f(float(x), 0, float(z));
    bvglEnd();
    // Flat ground, detail normal (1, 0, 1) turned into eye space (1, 1, 0) / sqrt 2.
    const int grey = static_cast<int>(std::lround(255 * (0.1 + 0.8 * (2 / std::sqrt(6.0)) * (200.0 / 255))));
    EXPECT_PIXEL(48, 32, {grey, grey, grey, 255});
}

TEST_P(RealGl, ImmediatePrimitivesRasteriseFrontFacing)
{
    gl_use_shader(shader_unlit);
    bvglBindTexture(GL_TEXTURE_2D, gl_state.gl_white_texture);
    colour(1, 0, 0, 1);
    quad(4, 4, 20, 20);
    colour(0, 1, 0, 1);
    bvglBegin(GL_POLYGON);
    for (int i = 0; i < 5; ++i)
        bvglVertex2f(static_cast<float>(40 + 10 * std::cos(2 * M_PI * i / 5)),
                     static_cast<float>(13 + 10 * std::sin(2 * M_PI * i / 5)));
    bvglEnd();
    colour(0, 0, 1, 1);
    bvglBegin(GL_QUAD_STRIP);
    for (float y : {26.0f, 34.0f, 42.0f})
        bvglVertex2f(36, y), bvglVertex2f(60, y);
    bvglEnd();

    // A line loop long enough to be split: three sides drawn vertex by vertex, the
    // fourth only by the closing of the loop.
    colour(1, 1, 1, 1);
    bvglBegin(GL_LINE_LOOP);
    const int n = 9000;
    for (int i = 0; i < n; ++i) {
        const float t = 106.0f * i / (n - 1);   // path length: 48 + 10 + 48
        if (t <= 48)
            bvglVertex2f(8.5f + t, 50.5f);
        else if (t <= 58)
            bvglVertex2f(56.5f, 50.5f + (t - 48));
        else
            bvglVertex2f(56.5f - (t - 58), 60.5f);
    }
    bvglEnd();

    EXPECT_PIXEL(12, 12, {255, 0, 0, 255});
    EXPECT_PIXEL(40, 13, {0, 255, 0, 255});
    EXPECT_PIXEL(48, 30, {0, 0, 255, 255});
    EXPECT_PIXEL(48, 38, {0, 0, 255, 255});
    EXPECT_PIXEL(30, 50, {255, 255, 255, 255});
    EXPECT_PIXEL(8, 55, {255, 255, 255, 255});   // the closing side
    EXPECT_PIXEL(30, 55, clear_pixel);
}

INSTANTIATE_ON_MESA(RealGl);

}  // namespace
