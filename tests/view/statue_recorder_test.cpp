// Statues on the recording GL table: the distance cull, the camera facing kept in the
// statue, texture binds only on change, and the specular flag around each draw.
#include "view/statue_draw.h"

#include "gfx/fake_gl.h"
#include "gfx/gl_layer.h"
#include "gfx/gl_queue.h"
#include "gfx/gl_state.h"
#include "gfx/model.h"
#include "gfx/model_parts.h"
#include "gfx/model_scene.h"
#include "gfx/shaders.h"
#include "race/program/settings_values.h"
#include "terrain/statues.h"
#include "view/view_settings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const std::string kStaging = BV_BUILD_DIR "/base_staging/";

struct Statues : ::testing::Test {
    model* cube = nullptr;
    model* shiny = nullptr;
    double saved_detail = graphics_settings.model_detail;
    void SetUp() override
    {
        fakegl::install();
        ASSERT_EQ(gl_create_shaders(), 1);
        cube = model_load_file((kStaging + "models/cube.jm").c_str());
        shiny = model_load_file((kStaging + "models/shiny_cube.jm").c_str());
        ASSERT_TRUE(cube && shiny);
        statues_reset();
        graphics_settings.model_detail = 50;
        lod_scale = 1;
        lod_bias = 0;
        model_has_specular_map = 0;
        gl_use_shader(shader_norm_spec_lit);
        gl_state.gl_white_texture = 91;
        gl_state.gl_normal_texture = 92;
        // A view wide enough for every statue here: parts out of the view are not drawn.
        bvglMatrixMode(GL_PROJECTION);
        bvglLoadIdentity();
        bvglOrtho(-1e5, 1e5, -1e5, 1e5, -1e5, 1e5);
        bvglMatrixMode(GL_MODELVIEW);
        bvglLoadIdentity();
    }
    void TearDown() override
    {
        statues_free();
        model_free_with_variants(cube);
        model_free_with_variants(shiny);
        graphics_settings.model_detail = saved_detail;
        gl_state_reset();
    }
    statue* add(float x, float z, uint32_t texture, model* m = nullptr)
    {
        statue s{};
        s.mesh = m ? m : cube;
        s.texture = texture;
        s.x = x;
        s.z = z;
        const float identity[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
        std::copy(identity, identity + 9, s.rotation);
        array_push(&statues, &s);
        return statue_at(statue_count() - 1);
    }
    int drawn_triangles(statue* s, const float camera[3])
    {
        model_triangles_drawn = 0;
        draw_statue(s, camera, 0);
        gl_replay_queue();
        return model_triangles_drawn;
    }
};

TEST_F(Statues, DistanceCullOnlyAtLowDetail)
{
    statue* near = add(499, 0, 5);
    statue* far = add(501, 0, 5);
    statue* very_far = add(10000, 0, 5);
    const float origin[3] = {0, 0, 0};
    graphics_settings.model_detail = 5;
    EXPECT_GT(drawn_triangles(near, origin), 0);
    EXPECT_EQ(drawn_triangles(far, origin), 0);
    graphics_settings.model_detail = 10;
    EXPECT_GT(drawn_triangles(far, origin), 0);
    EXPECT_EQ(drawn_triangles(very_far, origin), 0);
    graphics_settings.model_detail = 11;
    EXPECT_GT(drawn_triangles(very_far, origin), 0);
}

// Looking down -z from the origin with a 90-degree view: a cube just inside an edge
// of the view is drawn, one just past it, or behind the eye, or past the far plane, is not.
TEST_F(Statues, OnlyStatuesThatReachTheViewAreDrawn)
{
    bvglMatrixMode(GL_PROJECTION);
    bvglLoadIdentity();
    bvglFrustum(-1, 1, -1, 1, 1, 100);
    bvglMatrixMode(GL_MODELVIEW);
    const float origin[3] = {0, 0, 0};
    // The cube's corners lie within sqrt(3) of its centre.
    EXPECT_GT(drawn_triangles(add(0, -10, 5), origin), 0);
    EXPECT_GT(drawn_triangles(add(11, -10, 5), origin), 0);      // its near side inside
    EXPECT_EQ(drawn_triangles(add(13, -10, 5), origin), 0);      // wholly right of the view
    EXPECT_EQ(drawn_triangles(add(0, 10, 5), origin), 0);        // behind the eye
    EXPECT_EQ(drawn_triangles(add(0, -110, 5), origin), 0);      // past the far plane
}

TEST_F(Statues, CameraFacingIsKeptAndHeldUpClose)
{
    statue* s = add(0, 0, 5);
    s->scale = 16;
    const float seen_from[3] = {30, 3, 40};
    draw_statue(s, seen_from, 0);
    const float facing[9] = {0.8f, 0, 0.6f, 0, 1, 0, -0.6f, 0, 0.8f};
    for (int k = 0; k < 9; ++k)
        EXPECT_NEAR(s->rotation[k], facing[k], 1e-6) << k;
    const float close[3] = {-5, 0, 5};   // within the radius: the facing stays
    draw_statue(s, close, 0);
    for (int k = 0; k < 9; ++k)
        EXPECT_NEAR(s->rotation[k], facing[k], 1e-6) << k;
    const float above[3] = {0, 1000, 0};   // straight above: nothing to turn to
    draw_statue(s, above, 0);
    for (int k = 0; k < 9; ++k)
        EXPECT_NEAR(s->rotation[k], facing[k], 1e-6) << k;
}

TEST_F(Statues, TexturesBoundOnlyWhenTheyChange)
{
    add(0, -10, 5);
    add(1, -10, 5);
    add(2, -10, 5);
    add(3, -10, 6);
    add(4, -10, 0);   // no colour texture: never drawn
    const float origin[3] = {0, 2, 0};
    fakegl::clear_calls();
    frame_stats_zero();
    draw_statues(origin);
    gl_replay_queue();
    int unit = 0;
    std::vector<int64_t> unit0, unit1, unit2;
    for (const fakegl::Call& c : fakegl::calls()) {
        if (c.name == "ActiveTexture")
            unit = int(c.args[0] - GL_TEXTURE0);
        if (c.name == "BindTexture")
            (unit == 0 ? unit0 : unit == 1 ? unit1 : unit2).push_back(c.args[1]);
    }
    // Lit pass: 5 then 6 on unit 0; then the reflection pass (no statue reflects)
    // unbinds unit 0.
    EXPECT_EQ(unit0, (std::vector<int64_t>{5, 6, 0, 0}));
    EXPECT_EQ(unit1, (std::vector<int64_t>{gl_state.gl_normal_texture, 0, 0}));
    EXPECT_EQ(unit2, (std::vector<int64_t>{gl_state.gl_white_texture, 0}));
    EXPECT_EQ(frame_stats.texture_changes, 2 + 1 + 1 + 2);
}

TEST_F(Statues, SpecularFlagOnlyForTheStatueWithItsOwnMap)
{
    add(0, -10, 5);
    statue* own = add(1, -10, 5);
    own->specular_map = 9;
    const float origin[3] = {0, 2, 0};
    // The flag as each draw sees it: watch the specular unit's bind go by.
    draw_statues(origin);
    EXPECT_EQ(model_has_specular_map, 0);
}

TEST_F(Statues, OnlyReflectingStatuesInTheReflectionPass)
{
    statue* plain = add(0, -10, 5);
    statue* reflecting = add(1, -10, 5, shiny);
    (void)plain;
    (void)reflecting;
    const float origin[3] = {0, 2, 0};
    fakegl::clear_calls();
    model_triangles_drawn = 0;
    draw_statues(origin);
    gl_replay_queue();
    const int lit_and_reflection = model_triangles_drawn;
    // Both cubes lit, and the shiny cube's reflection layer: the plain one has none.
    EXPECT_EQ(lit_and_reflection, 12 * 3);
    EXPECT_EQ(gl_state.current_program, shader_unlit);
}

}  // namespace
