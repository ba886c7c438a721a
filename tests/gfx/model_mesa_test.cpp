// Models on a real GL (Mesa's software renderer, desktop core and ES 3): a skinned bar
// posed by its bones (the buffer layout, the bone attributes and the rotation
// convention end to end), and the generated bike with its rider, lit by the track
// light, in a picture a person can judge. Frames are left in <build>/gfx_frames/.
#include "mesa_fixture.h"
#include "model_fixtures.h"

#include "gfx/gl_layer.h"
#include "gfx/gl_state.h"
#include "gfx/shaders.h"

namespace {

using modeltest::owned_model;
using modeltest::staging;

class ModelOnMesa : public MesaTest {
protected:
    void SetUp() override
    {
        MesaTest::SetUp();
        if (HasFatalFailure())
            return;
        saved_light = model_lighting;
        camera_position[0] = camera_position[1] = camera_position[2] = 0;
        model_alpha = 1;
        model_has_specular_map = 0;
        gl_use_shader(shader_norm_spec_lit);
        bind_unit(0, gl_state.gl_white_texture);
        bind_unit(1, gl_state.gl_normal_texture);
        bind_unit(2, gl_state.gl_white_texture);
    }
    void TearDown() override
    {
        models.clear();   // every GL object goes while its context is still current
        model_lighting = saved_light;
        MesaTest::TearDown();
    }
    const model* keep(const std::string& path)
    {
        models.emplace_back(model_load_file(path.c_str()));
        EXPECT_TRUE(models.back()) << path;
        return models.back().get();
    }
    // Draws and reads the pixel at world x, y of an ortho view of -2..2.
    Pixel at(float x, float y) const
    {
        return target->pixel(static_cast<int>((x / 4 + 0.5f) * 64), static_cast<int>((y / 4 + 0.5f) * 64));
    }

    std::vector<owned_model> models;
    model_light saved_light{};
    bvtest::TempDir dir;
};

TEST_P(ModelOnMesa, SkinnedBarBendsWithItsBones)
{
    // A flat bar along x facing +z: left half on bone 0, right half on bone 1, self-lit red.
    std::string text = "JM2 2 bar\n-2 1 1 0 0 8 4\n";
    const char* corners[] = {"-1 -0.1", "0 -0.1", "0 0.1", "-1 0.1", "0 -0.1", "1 -0.1", "1 0.1", "0 0.1"};
    for (int i = 0; i < 8; ++i)
        text += std::string(corners[i]) + " 0  0 0 1  0 0  " + (i < 4 ? "1 0" : "0 1") + "\n";
    bvtest::write_file(dir / "bar.jm", text + "0 1 2\n0 2 3\n4 5 6\n4 6 7\n");
    const model* bar = keep(dir / "bar.jm");
    ASSERT_TRUE(bar);
    bvglMatrixMode(GL_PROJECTION);
    bvglLoadIdentity();
    bvglOrtho(-2, 2, -2, 2, -1, 1);
    bvglMatrixMode(GL_MODELVIEW);
    const float where[3] = {0, 0, 0};
    const Pixel red = {255, 0, 0, 255};
    model_draw(bar, where);
    bvglFinish();
    EXPECT_TRUE(pixel_near(at(-0.5f, 0), red));
    EXPECT_TRUE(pixel_near(at(0.5f, 0), red));

    // Bone 1 lifted by 1: only the right half moves.
    const float centres[6] = {0, 0, 0, 0, 0, 0}, lifted[6] = {0, 0, 0, 0, 1, 0};
    const float identity[18] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 1, 0, 0, 0, 1, 0, 0, 0, 1};
    bvglClear(GL_COLOR_BUFFER_BIT);
    model_draw_skinned(bar, where, centres, lifted, identity, 2);
    bvglFinish();
    EXPECT_TRUE(pixel_near(at(-0.5f, 0), red));
    EXPECT_TRUE(pixel_near(at(0.5f, 1), red));
    EXPECT_TRUE(pixel_near(at(0.5f, 0), clear_pixel));

    // Bone 1 turned a quarter about z: its x axis now points up the screen (the
    // rotation's first column is where the model's x axis goes).
    const float quarter[18] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 0, -1, 0, 0, 0, 0, 1};
    bvglClear(GL_COLOR_BUFFER_BIT);
    model_draw_skinned(bar, where, centres, centres, quarter, 2);
    bvglFinish();
    EXPECT_TRUE(pixel_near(at(0, 0.6f), red));
    EXPECT_TRUE(pixel_near(at(0, -0.6f), clear_pixel));
    EXPECT_TRUE(pixel_near(at(0.5f, 0), clear_pixel));
}

TEST_P(ModelOnMesa, GeneratedBikeAndRiderStandTogether)
{
    use_target(320, 256, true);
    bvglClearColor(0.55f, 0.7f, 0.9f, 1);
    bvglClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    bvglEnable(GL_DEPTH_TEST);
    bvglDepthFunc(GL_LESS);
    // One colour per swatch of the generated models' 4 x 4 texture grid; texture rows go
    // up from t = 0 and the models keep 1 - v, so grid row r is texture row 3 - r.
    const uint8_t swatches[2][4][3] = {
        {{200, 30, 30}, {70, 70, 75}, {25, 25, 25}, {210, 210, 215}},   // body, metal, rubber, chrome
        {{30, 30, 30}, {240, 200, 40}, {40, 70, 170}, {50, 50, 60}},    // seat, accent, cloth, visor
    };
    std::vector<uint8_t> palette(4 * 4 * 4, 255);
    for (int row = 0; row < 2; ++row)
        for (int column = 0; column < 4; ++column)
            std::copy_n(swatches[row][column], 3, &palette[((3 - row) * 4 + column) * 4]);
    bind_unit(0, make_texture(4, 4, GL_RGBA8, GL_RGBA, palette));
    model_lighting = {{0.8f, 0.8f, 0.75f}, {0.35f, 0.35f, 0.4f}, {0.1f, 0.1f, 0.1f}};
    gl_uniform_light_position(0.3f, 0.8f, 0.52f);

    // Seen from the bike's right: bike z (backwards) runs to the left of the picture.
    const float eye_distance = 12, centre_y = 3.9f, centre_z = 1.5f;
    bvglMatrixMode(GL_PROJECTION);
    bvglLoadIdentity();
    bvglFrustum(-0.5, 0.5, -0.4, 0.4, 1, 100);
    bvglMatrixMode(GL_MODELVIEW);
    bvglTranslatef(0, -centre_y, -eye_distance);
    bvglRotatef(-90, 0, 1, 0);
    bvglTranslatef(0, 0, -centre_z);
    auto draw = [&](const std::string& file, float y, float z, bool rider = false) {
        const model* m = keep(staging + file);
        ASSERT_TRUE(m);
        const float where[3] = {0, y, z};
        bvglPushMatrix();
        bvglTranslatef(0, y, z);
        if (rider)
            bvglRotatef(-90, 0, 1, 0);   // standing in front of the bike, facing the camera
        model_draw(m, where);
        if (rider) {
            bvglTranslatef(0, 1.1f, 0);
            model_draw(keep(staging + "rider_head.jm"), where);
        }
        bvglPopMatrix();
    };
    draw("cr125_frame.jm", 1.98f, 3.6f);
    draw("cr125_fork_upper.jm", 2.9f, 2.16f);
    draw("cr125_fork_lower.jm", 1.77f, 1.59f);
    draw("cr125_swingarm.jm", 1.34f, 4.99f);
    draw("front_wheel.jm", 1.09f, 1.11f);
    draw("rear_wheel.jm", 1.04f, 6.0f);
    draw("cr125_side_plates.jm", 1.98f, 3.6f);
    draw("cr125_front_plate.jm", 2.9f, 2.16f);
    draw("rider_body.jm", 4.05f, -3.2f, true);
    bvglFinish();
    bvglDisable(GL_DEPTH_TEST);

    // Where a bike-space point lands on the picture.
    auto seen = [&](float y, float z) {
        return target->pixel(static_cast<int>((-(z - centre_z) / eye_distance / 0.5f + 1) / 2 * 320),
                             static_cast<int>(((y - centre_y) / eye_distance / 0.4f + 1) / 2 * 256));
    };
    const Pixel tyre = seen(1.09f - 0.9f, 1.11f), tank = seen(1.98f + 1.3f, 3.6f - 0.7f);
    const Pixel leg = seen(4.05f - 1.5f, -3.2f - 0.269f);
    EXPECT_PIXEL(4, 252, {140, 179, 230, 255});
    EXPECT_LT(tyre[0] + tyre[1] + tyre[2], 120);   // black rubber
    EXPECT_GT(tank[0], tank[1] + 60);               // red paint
    EXPECT_GT(leg[2], leg[0] + 40);                 // blue riding pants
}

INSTANTIATE_ON_MESA(ModelOnMesa);

}  // namespace
