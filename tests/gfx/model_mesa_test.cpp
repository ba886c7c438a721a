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

std::string staging_dir() { return BV_BUILD_DIR "/base_staging/"; }

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

// A larger colour and depth framebuffer than the shared 64 x 64 target, for a picture
// a person can judge. Saved as a binary PPM, top row first.
class Canvas {
public:
    static constexpr int width = 320, height = 256;

    Canvas()
    {
        bvglGenTextures(2, textures_);
        bvglBindTexture(GL_TEXTURE_2D, textures_[0]);
        bvglTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
        bvglBindTexture(GL_TEXTURE_2D, textures_[1]);
        bvglTexImage2D(GL_TEXTURE_2D, 0, GL_DEPTH_COMPONENT24, width, height, 0, GL_DEPTH_COMPONENT,
                       GL_UNSIGNED_INT, nullptr);
        for (GLuint t : textures_) {
            bvglBindTexture(GL_TEXTURE_2D, t);
            bvglTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
            bvglTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        }
        bvglBindTexture(GL_TEXTURE_2D, 0);
        bvglGenFramebuffers(1, &framebuffer_);
        bvglBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
        bvglFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, textures_[0], 0);
        bvglFramebufferTexture2D(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_TEXTURE_2D, textures_[1], 0);
        complete_ = bvglCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
        bvglViewport(0, 0, width, height);
    }

    ~Canvas()
    {
        bvglBindFramebuffer(GL_FRAMEBUFFER, 0);
        bvglDeleteFramebuffers(1, &framebuffer_);
        bvglDeleteTextures(2, textures_);
        bvglViewport(0, 0, RenderTarget::size, RenderTarget::size);
    }

    bool complete() const { return complete_; }

    Pixel pixel(int x, int y)
    {
        uint8_t rgba[4] = {0, 0, 0, 0};
        bvglReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
        return {rgba[0], rgba[1], rgba[2], rgba[3]};
    }

    void save(const std::string& name)
    {
        std::vector<uint8_t> rgba(width * height * 4);
        bvglReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
        std::string bytes = "P6\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n";
        for (int y = height - 1; y >= 0; --y)
            for (int x = 0; x < width; ++x)
                bytes.append(reinterpret_cast<const char*>(&rgba[(y * width + x) * 4]), 3);
        bvtest::write_file(BV_BUILD_DIR "/gfx_frames/" + name + ".ppm", bytes);
    }

private:
    GLuint textures_[2] = {0, 0};
    GLuint framebuffer_ = 0;
    bool complete_ = false;
};

// One colour per swatch of the generated models' 4 x 4 texture grid (column, row).
GLuint palette_texture()
{
    const uint8_t swatches[4][4][3] = {
        {{200, 30, 30}, {70, 70, 75}, {25, 25, 25}, {210, 210, 215}},      // body, metal, rubber, chrome
        {{30, 30, 30}, {240, 200, 40}, {40, 70, 170}, {50, 50, 60}},       // seat, accent, cloth, visor
        {{255, 255, 255}, {255, 255, 255}, {255, 255, 255}, {255, 255, 255}},
        {{255, 255, 255}, {255, 255, 255}, {255, 255, 255}, {255, 255, 255}},
    };
    std::vector<uint8_t> bytes;
    // Texture rows go up from t = 0; the models keep 1 - v, so grid row r is texture row 3 - r.
    for (int t = 0; t < 4; ++t)
        for (int column = 0; column < 4; ++column) {
            const uint8_t* c = swatches[3 - t][column];
            bytes.insert(bytes.end(), {c[0], c[1], c[2], 255});
        }
    return make_texture(4, 4, GL_RGBA8, GL_RGBA, bytes);
}

TEST_P(ModelOnMesa, GeneratedBikeAndRiderStandTogether)
{
    Canvas canvas;
    ASSERT_TRUE(canvas.complete());
    bvglClearColor(0.55f, 0.7f, 0.9f, 1);
    bvglClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    bvglEnable(GL_DEPTH_TEST);
    bvglDepthFunc(GL_LESS);
    const GLuint palette = palette_texture();
    bind(0, palette);
    model_lighting = {{0.8f, 0.8f, 0.75f}, {0.35f, 0.35f, 0.4f}, {0.1f, 0.1f, 0.1f}};
    gl_uniform_light_position(0.3f, 0.8f, 0.52f);

    // Seen from the bike's right: bike z (backwards) runs to the left of the picture.
    const float eye_distance = 12, centre_y = 3.9f, centre_z = 1.5f;
    bvglMatrixMode(GL_PROJECTION);
    bvglLoadIdentity();
    bvglFrustum(-0.5, 0.5, -0.4, 0.4, 1, 100);
    bvglMatrixMode(GL_MODELVIEW);
    bvglLoadIdentity();
    bvglTranslatef(0, -centre_y, -eye_distance);
    bvglRotatef(-90, 0, 1, 0);
    bvglTranslatef(0, 0, -centre_z);
    // Where a bike-space point lands on the canvas.
    auto project = [&](float y, float z) {
        const float ex = -(z - centre_z), ey = y - centre_y;
        return std::pair<int, int>{static_cast<int>((ex / eye_distance / 0.5f + 1) / 2 * Canvas::width),
                                   static_cast<int>((ey / eye_distance / 0.4f + 1) / 2 * Canvas::height)};
    };

    const struct {
        const char* file;
        float x, y, z;
    } parts[] = {{"cr125_frame.jm", 0, 1.98f, 3.6f},     {"cr125_fork_upper.jm", 0, 2.9f, 2.16f},
                 {"cr125_fork_lower.jm", 0, 1.77f, 1.59f}, {"cr125_swingarm.jm", 0, 1.34f, 4.99f},
                 {"front_wheel.jm", 0, 1.09f, 1.11f},      {"rear_wheel.jm", 0, 1.04f, 6.0f},
                 {"cr125_side_plates.jm", 0, 1.98f, 3.6f}, {"cr125_front_plate.jm", 0, 2.9f, 2.16f}};
    for (const auto& p : parts) {
        const model* m = keep(model_load_file((staging_dir() + p.file).c_str()));
        ASSERT_TRUE(m) << p.file;
        const float at[3] = {p.x, p.y, p.z};
        bvglPushMatrix();
        bvglTranslatef(p.x, p.y, p.z);
        model_draw(m, at);
        bvglPopMatrix();
    }
    // The rider in its rest pose, standing in front of the bike and facing the camera.
    const model* rider = keep(model_load_file((staging_dir() + "rider_body.jm").c_str()));
    const model* head = keep(model_load_file((staging_dir() + "rider_head.jm").c_str()));
    ASSERT_TRUE(rider && head);
    const float rider_at[3] = {0, 4.05f, -3.2f};
    bvglPushMatrix();
    bvglTranslatef(rider_at[0], rider_at[1], rider_at[2]);
    bvglRotatef(-90, 0, 1, 0);
    model_draw(rider, rider_at);
    bvglTranslatef(0, 1.1f, 0);
    model_draw(head, rider_at);
    bvglPopMatrix();
    bvglFinish();

    const Pixel sky = canvas.pixel(4, Canvas::height - 4);
    auto [tyre_x, tyre_y] = project(1.09f - 0.9f, 1.11f);              // bottom of the front tyre
    auto [tank_x, tank_y] = project(1.98f + 1.3f, 3.6f - 0.7f);          // side of the tank
    auto [leg_x, leg_y] = project(4.05f - 1.5f, -3.2f - 0.269f);         // the rider's thigh
    const Pixel tyre = canvas.pixel(tyre_x, tyre_y), tank = canvas.pixel(tank_x, tank_y);
    const Pixel leg = canvas.pixel(leg_x, leg_y);
    canvas.save(std::string("model_GeneratedBikeAndRider_") + api_name(GetParam()));
    EXPECT_TRUE(near(sky, {140, 179, 230, 255}, 2)) << to_string(sky);
    EXPECT_LT(tyre[0] + tyre[1] + tyre[2], 120) << to_string(tyre);
    EXPECT_GT(tank[0], tank[1] + 60) << to_string(tank);    // red paint
    EXPECT_GT(leg[2], leg[0] + 40) << to_string(leg);       // blue riding pants
    bvglDisable(GL_DEPTH_TEST);
}

INSTANTIATE_TEST_SUITE_P(Mesa, ModelOnMesa, ::testing::Values(GlApi::desktop_core, GlApi::es3),
                         [](const ::testing::TestParamInfo<GlApi>& info) { return std::string(api_name(info.param)); });

}  // namespace
