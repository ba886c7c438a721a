// Models on a real GL (Mesa's software renderer, desktop core and ES 3): the lit cube
// of the base data in its own colours, and a skinned bar posed by its bones, which
// checks the buffer layout, the bone attributes and the rotation convention end to
// end. The last frame of each test is left in <build>/gfx_frames/.
#include "egl_context.h"
#include "model_fixtures.h"
#include "render_target.h"

#include "gfx/gl_layer.h"
#include "gfx/gl_startup.h"
#include "gfx/gl_state.h"
#include "gfx/gl_table.h"
#include "gfx/shaders.h"

namespace {

using modeltest::owned_model;

const Pixel background = {0, 0, 0, 0};

class ModelOnMesa : public ::testing::TestWithParam<GlApi> {
protected:
    void SetUp() override
    {
        context = std::make_unique<EglContext>(GetParam());
        ASSERT_TRUE(context->ok()) << context->error();
        gl_init(EglContext::load, nullptr);
        ASSERT_EQ(gl_create_shaders(), 1);
        // What start-up sets and the models rely on: back faces culled.
        bvglClearColor(0, 0, 0, 0);
        bvglEnable(GL_CULL_FACE);
        bvglPixelStorei(GL_PACK_ALIGNMENT, 1);
        bvglPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        target = std::make_unique<RenderTarget>();
        ASSERT_TRUE(target->complete());

        saved_light = model_lighting;
        camera_position[0] = camera_position[1] = camera_position[2] = 0;
        model_alpha = 1;
        model_has_specular_map = 0;
        gl_use_shader(shader_norm_spec_lit);
        bind(0, gl_state.gl_white_texture);
        bind(1, gl_state.gl_normal_texture);
        bind(2, gl_state.gl_white_texture);
    }

    void TearDown() override
    {
        // Every GL object goes while its context is still current.
        models.clear();
        if (target) {
            std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
            target->save("model_" + name.substr(0, name.find('/')) + "_" + api_name(GetParam()));
        }
        target.reset();
        model_lighting = saved_light;
        gl_state_reset();
        context.reset();
    }

    static void bind(int unit, GLuint texture)
    {
        bvglActiveTexture(GL_TEXTURE0 + unit);
        bvglBindTexture(GL_TEXTURE_2D, texture);
        bvglActiveTexture(GL_TEXTURE0);
    }

    const model* keep(model* m)
    {
        models.emplace_back(m);
        return m;
    }

    std::unique_ptr<EglContext> context;
    std::unique_ptr<RenderTarget> target;
    std::vector<owned_model> models;
    model_light saved_light{};
    bvtest::TempDir dir;
};

TEST_P(ModelOnMesa, GeneratedCubeIsLitByTheTrackLight)
{
    const model* cube = keep(model_load_file(BV_BUILD_DIR "/base_staging/models/cube.jm"));
    ASSERT_TRUE(cube);
    model_lighting = {{0.5f, 0.5f, 0.5f}, {0.1f, 0.1f, 0.1f}, {0, 0, 0}};
    gl_uniform_light_position(0, 0.6f, 0.8f);
    bvglMatrixMode(GL_PROJECTION);
    bvglLoadIdentity();
    bvglFrustum(-0.5, 0.5, -0.5, 0.5, 1, 10);
    bvglMatrixMode(GL_MODELVIEW);
    const float at[3] = {0, 0, -3};

    // Face on, and turned so that its top faces the camera: either way the face seen
    // has eye normal (0, 0, 1), so ambient + sun x 0.8 = 0.5 (the highlight is far off).
    for (float tilt : {0.0f, 90.0f}) {
        bvglClear(GL_COLOR_BUFFER_BIT);
        bvglLoadIdentity();
        bvglTranslatef(0, 0, -3);
        bvglRotatef(tilt, 1, 0, 0);
        model_draw(cube, at);
        bvglFinish();
        const Pixel centre = target->pixel(32, 32);
        EXPECT_TRUE(near(centre, {128, 128, 128, 255}, 3)) << "tilt " << tilt << ": " << to_string(centre);
        EXPECT_TRUE(near(target->pixel(2, 2), background)) << to_string(target->pixel(2, 2));
    }

    // A three-quarter view for the saved frame: the top catches the most light.
    bvglClear(GL_COLOR_BUFFER_BIT);
    bvglLoadIdentity();
    bvglTranslatef(0, 0, -3);
    bvglRotatef(30, 1, 0, 0);
    bvglRotatef(-40, 0, 1, 0);
    model_draw(cube, at);
    bvglFinish();
    const Pixel top = target->pixel(32, 43), front = target->pixel(28, 26), side = target->pixel(38, 26);
    EXPECT_GT(top[0], front[0] + 40) << to_string(top) << " " << to_string(front);
    EXPECT_GT(top[0], side[0] + 40) << to_string(top) << " " << to_string(side);
    EXPECT_GT(front[0], 20);
    EXPECT_GT(side[0], 20);
    EXPECT_EQ(cube->triangle_count, 12);
}

// A flat bar along x facing +z: left half on bone 0, right half on bone 1, self-lit red.
std::string two_bone_bar()
{
    std::string text = "JM2 2 bar\n-2 1 1 0 0 8 4\n";
    const char* corners[] = {"-1 -0.1", "0 -0.1", "0 0.1", "-1 0.1", "0 -0.1", "1 -0.1", "1 0.1", "0 0.1"};
    for (int i = 0; i < 8; ++i)
        text += std::string(corners[i]) + " 0  0 0 1  0 0  " + (i < 4 ? "1 0" : "0 1") + "\n";
    return text + "0 1 2\n0 2 3\n4 5 6\n4 6 7\n";
}

TEST_P(ModelOnMesa, SkinnedBarBendsWithItsBones)
{
    bvtest::write_file(dir / "bar.jm", two_bone_bar());
    const model* bar = keep(model_load_file((dir / "bar.jm").c_str()));
    ASSERT_TRUE(bar);
    bvglMatrixMode(GL_PROJECTION);
    bvglLoadIdentity();
    bvglOrtho(-2, 2, -2, 2, -1, 1);
    bvglMatrixMode(GL_MODELVIEW);
    bvglLoadIdentity();
    const float at[3] = {0, 0, 0};
    const Pixel red = {255, 0, 0, 255};
    // World x, y in -2..2 to the pixel grid.
    auto pixel_at = [&](float x, float y) {
        return target->pixel(static_cast<int>((x / 4 + 0.5f) * 64), static_cast<int>((y / 4 + 0.5f) * 64));
    };

    model_draw(bar, at);
    bvglFinish();
    EXPECT_TRUE(near(pixel_at(-0.5f, 0), red)) << to_string(pixel_at(-0.5f, 0));
    EXPECT_TRUE(near(pixel_at(0.5f, 0), red)) << to_string(pixel_at(0.5f, 0));

    // Bone 1 lifted by 1: only the right half moves.
    const float centres[6] = {0, 0, 0, 0, 0, 0};
    const float lifted[6] = {0, 0, 0, 0, 1, 0};
    const float identity[18] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 1, 0, 0, 0, 1, 0, 0, 0, 1};
    bvglClear(GL_COLOR_BUFFER_BIT);
    model_draw_skinned(bar, at, centres, lifted, identity, 2);
    bvglFinish();
    EXPECT_TRUE(near(pixel_at(-0.5f, 0), red)) << to_string(pixel_at(-0.5f, 0));
    EXPECT_TRUE(near(pixel_at(0.5f, 1), red)) << to_string(pixel_at(0.5f, 1));
    EXPECT_TRUE(near(pixel_at(0.5f, 0), background)) << to_string(pixel_at(0.5f, 0));

    // Bone 1 turned a quarter about z: its x axis now points up the screen (the
    // rotation's first column is where the model's x axis goes).
    const float quarter[18] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 0, -1, 0, 0, 0, 0, 1};
    const float still[6] = {0, 0, 0, 0, 0, 0};
    bvglClear(GL_COLOR_BUFFER_BIT);
    model_draw_skinned(bar, at, centres, still, quarter, 2);
    bvglFinish();
    EXPECT_TRUE(near(pixel_at(0, 0.6f), red)) << to_string(pixel_at(0, 0.6f));
    EXPECT_TRUE(near(pixel_at(0, -0.6f), background)) << to_string(pixel_at(0, -0.6f));
    EXPECT_TRUE(near(pixel_at(0.5f, 0), background)) << to_string(pixel_at(0.5f, 0));
}

INSTANTIATE_TEST_SUITE_P(Mesa, ModelOnMesa, ::testing::Values(GlApi::desktop_core, GlApi::es3),
                         [](const ::testing::TestParamInfo<GlApi>& info) { return std::string(api_name(info.param)); });

}  // namespace
