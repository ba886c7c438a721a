// The generated tracks: the base archive offers them where the track list looks and
// they read back as written (the flat one with its dirt and grass halves), and the
// sample course is drawn from a camera above its start, the picture saved as
// "<build>/terrain_frames/sample_start.png" for a person to look at.
#include "foundation/index/file_index.h"
#include "foundation/memory.h"
#include "foundation/vfs/capped_read.h"
#include "foundation/vfs/vfs.h"
#include "support/fresh_process.h"
#include "gfx/gl_layer.h"
#include "gfx/images.h"
#include "gfx/shaders.h"
#include "gl_context.h"
#include "gl_recorder.h"
#include "support/test_support.h"
#include "terrain/lighting.h"
#include "terrain/terrain_files.h"
#include "terrain/terrain_lod.h"
#include "terrain/terrain_settings.h"
#include "terrain/terrain_textures.h"
#include "track_files.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <set>

namespace fs = std::filesystem;

TEST(SampleTracks, TheBaseArchiveOffersThemAndTheyReadBack)
{
    bvtest::in_fresh_process([] {
        bvtest::Problems problems;
        bvtest::TempDir root;
        bvtest::use_built_data(root);
        glrec::install();   // freeing a record releases its GL objects
        std::set<std::string> names;
        for (char** name = file_index_list(); name && *name; ++name)
            names.insert(*name);
        problems.check(names.count("tracks/sample/terrain.hf") && names.count("tracks/flat/terrain.hf"),
                       "the tracks are not in the archive");
        char* desc = file_to_string("@tracks/sample/desc");
        problems.same(desc ? desc : "", "Brovanta Valley MX\n", "desc");
        mem_free(desc);

        auto* t = new terrain_state;
        for (const char* track : {"tracks/sample", "tracks/flat"}) {
            terrain_init(t);
            uint8_t digest[20];
            t->tile_count = 3;
            problems.check(terrain_read_heights(t, track, digest) == 1 && terrain_read_tilemap(t, track) == 1,
                           std::string(track) + ": heights and tile map (gzip in the archive)");
            const std::set<int> used(t->tile_map, t->tile_map + (1 << (2 * t->n)));
            if (t->size == 1025)
                problems.check(t->max_height - t->min_height > 20.0f && used == std::set<int>{0, 1, 2},
                               "the sample course is hilly and uses every tile");
            else   // the flat ground: dirt on the low-x half, grass on the other
                problems.check(t->size == 65 && t->max_height == 0 && t->tile_map[5 * 32 + 15] == 0 &&
                                   t->tile_map[5 * 32 + 16] == 1,
                               "the flat ground");
            terrain_free(t);
        }
        delete t;

        // Both under the generated sky: a track without one once showed black above it.
        for (const char* track : {"tracks/sample", "tracks/flat"}) {
            lighting_read((std::string("@") + track + "/lighting").c_str());
            for (int s = 0; s < sky_count; ++s)
                problems.check(lighting.sky[s] != 0, std::string(track) + ": sky face " + std::to_string(s));
        }
        return problems.text;
    });
}

class GeneratedTrackGl : public testing::Test {
protected:
    void SetUp() override
    {
        context_ = std::make_unique<GlContext>(GlKind::desktop);
        if (!context_->failure().empty())
            GTEST_SKIP() << "no GL context: " << context_->failure();
        // The generated folders as loose files of the test program's user data folder.
        for (const char* part : {"tracks", "tiles", "decals", "roost.png"})
            fs::copy(BV_BUILD_DIR "/base_staging/" + std::string(part), trackfiles::user_root() + "/" + part,
                     fs::copy_options::recursive | fs::copy_options::overwrite_existing);
        terrain_init(&terrain_);
    }
    void TearDown() override
    {
        terrain_free(&terrain_);
        terrain_set_torture_test(0);
        terrain_texture_dim_index = 3;
        context_.reset();
    }
    std::unique_ptr<GlContext> context_;
    terrain_state terrain_;
};

TEST_F(GeneratedTrackGl, TheSampleCourseFromAboveItsStart)
{
    terrain_texture_dim_index = 2;   // 512 x 512 detail textures
    lighting_read("@tracks/sample/lighting");
    ASSERT_EQ(terrain_load(&terrain_, "tracks/sample"), 1);
    EXPECT_EQ(terrain_.tile_count, 3);
    ASSERT_EQ(terrain_.decals.count, 2);
    EXPECT_NE(static_cast<const decal*>(terrain_.decals.items)[0].normal_map, 0u);
    EXPECT_EQ(terrain_.detail_level_count, 3);

    // Behind and above the start line, looking along the start straight and down;
    // the camera's right and up vectors.
    const float position[3] = {330.0f, terrain_.heights[size_t(150) * 1025 + 330] + 28.0f, 150.0f};
    float forward[3] = {1.0f, -0.32f, 0.12f};
    const float length = std::hypot(forward[0], forward[1], forward[2]), flat = std::hypot(1.0f, 0.12f);
    for (float& v : forward)
        v /= length;
    const float right[3] = {-0.12f / flat, 0, 1.0f / flat};
    const float up[3] = {-right[2] * forward[1], right[2] * forward[0] - right[0] * forward[2], right[0] * forward[1]};
    memcpy(terrain_.camera_position, position, sizeof position);
    memcpy(terrain_.view_direction, forward, sizeof forward);
    terrain_update_all(&terrain_);
    terrain_set_torture_test(1);
    terrain_update_textures(&terrain_);

    // A frame of colour and depth to draw into.
    const int w = 640, h = 400;
    GLuint targets[2], framebuffer;
    bvglGenTextures(2, targets);
    bvglBindTexture(GL_TEXTURE_2D, targets[0]);
    bvglTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, w, h, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    bvglBindTexture(GL_TEXTURE_2D, targets[1]);
    bvglTexImage2D(GL_TEXTURE_2D, 0, GL_DEPTH_COMPONENT24, w, h, 0, GL_DEPTH_COMPONENT, GL_UNSIGNED_INT, nullptr);
    bvglGenFramebuffers(1, &framebuffer);
    bvglBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    bvglFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, targets[0], 0);
    bvglFramebufferTexture2D(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_TEXTURE_2D, targets[1], 0);
    ASSERT_EQ(bvglCheckFramebufferStatus(GL_FRAMEBUFFER), GLenum(GL_FRAMEBUFFER_COMPLETE));
    bvglViewport(0, 0, w, h);
    bvglEnable(GL_DEPTH_TEST);
    bvglDepthMask(GL_TRUE);
    bvglClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    // The view: rows of the camera's right, up and back vectors, then the eye moved
    // to the origin; the sun turned with it.
    const float view[16] = {right[0], up[0], -forward[0], 0, right[1], up[1], -forward[1], 0,
                            right[2], up[2], -forward[2], 0, 0,        0,     0,           1};
    bvglMatrixMode(GL_PROJECTION);
    bvglLoadIdentity();
    bvglFrustum(-0.4, 0.4, -0.25, 0.25, 0.5, 3000.0);
    bvglMatrixMode(GL_MODELVIEW);
    bvglLoadIdentity();
    bvglMultMatrixf(view);
    bvglTranslatef(-position[0], -position[1], -position[2]);
    gl_use_shader(shader_terrain);
    const float* sun = lighting.sun_vector;
    gl_uniform_light_position(right[0] * sun[0] + right[2] * sun[2], up[0] * sun[0] + up[1] * sun[1] + up[2] * sun[2],
                              -(forward[0] * sun[0] + forward[1] * sun[1] + forward[2] * sun[2]));
    terrain_draw(&terrain_);
    EXPECT_GT(terrain_.polygons_drawn, 1000);

    std::vector<uint8_t> rgb(size_t(w) * h * 3);
    bvglReadPixels(0, 0, w, h, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    bvglBindFramebuffer(GL_FRAMEBUFFER, 0);
    fs::create_directories(BV_BUILD_DIR "/terrain_frames");
    EXPECT_EQ(png_write_rgb(BV_BUILD_DIR "/terrain_frames/sample_start.png", rgb.data(), w, h), 1);

    // The lower half is ground throughout, and not one flat colour.
    int holes = 0;
    std::set<uint32_t> colours;
    for (size_t k = 0; k < size_t(w) * h / 2; ++k) {
        const uint8_t* p = &rgb[k * 3];
        holes += p[0] == 50 && p[1] == 153 && p[2] == 204;
        colours.insert(uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2]);
    }
    EXPECT_EQ(holes, 0);
    EXPECT_GT(colours.size(), 500u);
}
