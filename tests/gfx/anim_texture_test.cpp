// ".seq" animations on the fake GL: reading mixed J7 and PNG entries, frame timing,
// uploads only on a change of image, start and stop, the refused files, and the
// custom-frame paste with its rounding, clipping and alpha compositing.
#include "fake_gl.h"
#include "image_fixtures.h"
#include "log_capture.h"

#include "gfx/anim_texture.h"
#include "gfx/texture_cache.h"
#include "gfx/texture_settings.h"

#include "foundation/growable_array.h"

#include <gtest/gtest.h>

#include <limits>

using namespace imgtest;

namespace {

class Animation : public ::testing::Test {
protected:
    void SetUp() override
    {
        fakegl::install();
        texture_purge(1);
        fakegl::install();
        verbose_level = 0;
    }
    void TearDown() override { texture_purge(1); }

    static anim_texture* anim(GLuint id)
    {
        growable_array* table = texture_animation_table();
        for (int i = 0; table && i < table->count; ++i)
            if (static_cast<anim_texture**>(table->items)[i]->tid == id)
                return static_cast<anim_texture**>(table->items)[i];
        return nullptr;
    }
    // A w x h RGBA image of one colour as an inline J7 entry.
    static std::string j7(const Bytes& colour, int w = 2, int h = 2) { return j_file(w, h, 4, solid(w, h, colour)); }
    static GLuint load_seq(const std::string& name, const std::string& body)
    {
        put_data(name, body);
        return texture_load(("@" + name).c_str());
    }
    // Red channel of each base-level sub-image upload of the texture, in order.
    static std::vector<int> shown_reds(GLuint id)
    {
        std::vector<int> reds;
        for (const auto& u : fakegl::uploads_of(id))
            if (u.sub && u.level == 0)
                reds.push_back(static_cast<uint8_t>(u.data[0]));
        return reds;
    }
};

TEST_F(Animation, ReadsInlineAndPngImagesAndShowsTheFirstFrame)
{
    put_data("anim/one.png", png_of(3, 3, 4, solid(3, 3, {20, 0, 0, 255})));
    const GLuint id = load_seq("anim/mixed.seq", "ANIM1\n3 2 8 1\n1 0 1\n" + j7({10, 0, 0, 255}, 3, 3) +
                                                     "PNG   @anim/one.png  \n");
    ASSERT_NE(anim(id), nullptr);
    EXPECT_EQ(anim(id)->frame_count, 3);
    EXPECT_EQ(anim(id)->image_count, 2);
    EXPECT_EQ(anim(id)->shown_image, 1);
    // 3 x 3 images are resampled to 2 x 2.
    auto ups = fakegl::uploads_of(id);
    ASSERT_FALSE(ups.empty());
    EXPECT_EQ(ups[0].w, 2);
    EXPECT_FALSE(ups[0].sub);
    EXPECT_EQ(static_cast<uint8_t>(ups[0].data[0]), 20);
    EXPECT_STREQ(texture_name(id), "@anim/mixed.seq");
}

TEST_F(Animation, FramesFollowTheTicksLoopingOrHolding)
{
    std::string images;
    for (int i = 0; i < 4; ++i)
        images += j7({static_cast<uint8_t>(i * 10), 0, 0, 255});
    anim_texture* looping = anim(load_seq("anim/loop.seq", "ANIM1 4 4 8 1 0 1 2 3 " + images));
    anim_texture* holding = anim(load_seq("anim/hold.seq", "ANIM1 4 4 8 0 0 1 2 3 " + images));
    ASSERT_TRUE(looping && holding);
    for (auto [tick, image] : {std::pair{0, 0}, {7, 0}, {8, 1}, {31, 3}, {32, 0}, {39, 0}})
        EXPECT_EQ(anim_frame_image(looping, tick), image) << tick;
    for (int tick : {31, 32, 1000, 2147483647})
        EXPECT_EQ(anim_frame_image(holding, tick), 3) << tick;
    // Time before the start shows the first frame.
    holding->start_tick = 100;
    EXPECT_EQ(anim_frame_image(holding, 50), 0);
}

TEST_F(Animation, OnlyAChangeOfImageUploadsAndStopFreezes)
{
    const GLuint id = load_seq("anim/pair.seq", "ANIM1 3 2 8 1\n0 0 1\n" + j7({10, 0, 0, 255}) + j7({20, 0, 0, 255}));
    ASSERT_NE(id, 0u);
    for (int tick = -5; tick < 24; ++tick)
        anim_textures_update(tick);
    EXPECT_EQ(shown_reds(id), (std::vector<int>{20}));
    EXPECT_EQ(fakegl::uploads_of(id).back().w, 1);   // every level replaced
    anim_textures_update(24);   // wraps to frame 0: image 0 again
    EXPECT_EQ(shown_reds(id), (std::vector<int>{20, 10}));
    anim_texture_stop(id);
    for (int tick = 25; tick < 100; ++tick)
        anim_textures_update(tick);
    anim_texture_start(id, 200);
    anim_textures_update(215);   // frame 1 is image 0 too
    EXPECT_EQ(shown_reds(id), (std::vector<int>{20, 10}));
    anim_textures_update(216);
    EXPECT_EQ(shown_reds(id), (std::vector<int>{20, 10, 20}));
    anim_texture_start(12345, 0);   // ids that are no animation are ignored
    anim_texture_stop(0);
}

TEST_F(Animation, BadFilesAreRefusedWithTheirMessages)
{
    const std::string image = j7({1, 1, 1, 255});
    put_data("anim/rgb.png", png_of(2, 2, 3, solid(2, 2, {1, 2, 3})));
    const std::pair<std::string, std::string> cases[] = {
        {"ANIM1 1 2 8 1 0 " + image + j7({1, 1, 1, 255}, 4, 4), "Width/height mismatch reading .seq\n"},
        {"ANIM1 1 2 8 1 0 " + image + "PNG @anim/rgb.png\n", "Depth mismatch reading .seq\n"},
        {"ANIM1 1 2 8 1 0 " + image + "GIF x\n", "Error reading .seq frame 1\n"},
        {"ANIM1 1 1 8 1 0 PNG @anim/none.png\n", "Can't read @anim/none.png\n"},
        {"ANIM1 1 1 8 1 0 PNG", "EOF while reading .seq\n"},
        {"ANIM1 0 1 8 1 ", ""},
        {"ANIM1 1 1 8", ""},
        // Timing and frame lists that would divide by zero or index past the images.
        {"ANIM1 1 1 0 1 0 " + image, "Bad frame time 0 reading .seq\n"},
        {"ANIM1 1 1 -3 1 0 " + image, "Bad frame time -3 reading .seq\n"},
        {"ANIM1 2 1 8 1 0 1 " + image, "Bad image index 1 reading .seq\n"},
        {"ANIM1 2 1 8 1 -1 0 " + image, "Bad image index -1 reading .seq\n"},
        {"ANIM1 2000000000 1 8 1 0", "Too many frames or images reading .seq\n"},
        {"ANIM1 1 100000 8 1 0", "Too many frames or images reading .seq\n"},
        {"ANIM1 1 1 8 1 0 J7 100000 100000\n", "Error reading .seq frame 0\n"},
    };
    int n = 0;
    for (const auto& [body, message] : cases) {
        LogCapture log;
        EXPECT_EQ(load_seq("anim/bad" + std::to_string(n++) + ".seq", body), 0u) << body;
        EXPECT_EQ(log.text(), message) << body;
    }
    EXPECT_EQ(texture_animation_table()->count, 0);
}

TEST_F(Animation, AnimationsGoWithTheirTextureRecord)
{
    const GLuint id = load_seq("anim/gone.seq", "ANIM1 1 1 8 1 0 " + j7({1, 1, 1, 255}));
    verbose_level = 1;
    LogCapture log;
    texture_purge(1);
    EXPECT_EQ(log.text(), "deleting tid " + std::to_string(id) + " (@anim/gone.seq)\ndeleting anim 0 for tid " +
                              std::to_string(id) + "\n");
}

class CustomFrame : public Animation {
protected:
    void SetUp() override
    {
        Animation::SetUp();
        // Image 0: texel (x, y) = (10x+1, 10y+1, 7, 255); image 1 half clear; image 2 a quarter.
        Bytes first;
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x)
                first.insert(first.end(), {uint8_t(10 * x + 1), uint8_t(10 * y + 1), 7, 255});
        id = load_seq("anim/custom.seq", "ANIM1 1 3 8 1 0 " + j_file(4, 4, 4, first) + j7({100, 50, 0, 128}, 4, 4) +
                                             j7({200, 100, 0, 64}, 4, 4));
        ASSERT_NE(id, 0u);
        ASSERT_TRUE(texture_begin_custom_frame(id));
    }
    Bytes at(int x, int y) { return texel(anim(id)->custom_frame, 4, 4, x, y); }
    int paste(int image, float sx, float sy, float dx, float dy, float w, float h)
    {
        return texture_paste_custom_frame(id, image, sx, sy, dx, dy, w, h);
    }
    GLuint id = 0;
    const Bytes clear = {0, 0, 0, 0};
};

TEST_F(CustomFrame, PositionsRoundHalfDownAndClipSourceThenDestination)
{
    // Width 1 from 0.5 to 0.5: only the right half fits.
    ASSERT_TRUE(paste(0, 0.5f, 0.5f, 0.5f, 0.5f, 1, 1));
    EXPECT_EQ(at(2, 2), (Bytes{21, 21, 7, 255}));
    EXPECT_EQ(at(3, 3), (Bytes{31, 31, 7, 255}));
    EXPECT_EQ(at(1, 1), clear);
    // A negative source start is cut off and the destination moves right by as much.
    ASSERT_TRUE(texture_begin_custom_frame(id));
    ASSERT_TRUE(paste(0, -0.25f, 0, 0, 0, 1, 0.25f));
    EXPECT_EQ(at(0, 0), clear);
    EXPECT_EQ(at(1, 0), (Bytes{1, 1, 7, 255}));
    EXPECT_EQ(at(3, 0), (Bytes{21, 1, 7, 255}));
    EXPECT_EQ(at(1, 1), clear);
    // 0.375 x 4 - 0.5 = 1 exactly; 0.625 x 4 - 0.5 = 2: exact halves go down.
    ASSERT_TRUE(texture_begin_custom_frame(id));
    ASSERT_TRUE(paste(0, 0.375f, 0, 0.625f, 0, 0.25f, 0.25f));
    EXPECT_EQ(at(2, 0), (Bytes{11, 1, 7, 255}));
    EXPECT_EQ(at(1, 0), clear);

    // Empty and outside rectangles, bad images and ids.
    EXPECT_FALSE(paste(0, 0, 0, 0, 0, 0, 1) || paste(0, 1, 0, 0, 0, 1, 1) || paste(0, 0, 0, 0, 1, 1, 1) ||
                 paste(0, -2, 0, 0, 0, 1, 1) || paste(3, 0, 0, 0, 0, 1, 1) || paste(-1, 0, 0, 0, 0, 1, 1) ||
                 texture_paste_custom_frame(id + 100, 0, 0, 0, 0, 0, 1, 1));
}

TEST_F(CustomFrame, AlphaCompositingArithmetic)
{
    // Into a clear frame any texel is copied, even a half transparent one.
    ASSERT_TRUE(paste(1, 0, 0, 0, 0, 1, 1));
    EXPECT_EQ(at(0, 0), (Bytes{100, 50, 0, 128}));
    // a = 64 over b = 128: d = 128 x 191 + 64 x 255.
    ASSERT_TRUE(paste(2, 0, 0, 0, 0, 0.5f, 1));
    EXPECT_EQ(at(0, 0), (Bytes{140, 70, 0, 159}));
    EXPECT_EQ(at(2, 0), (Bytes{100, 50, 0, 128}));
    // Over an opaque texel the colours mix and alpha stays 255.
    ASSERT_TRUE(texture_begin_custom_frame(id));
    ASSERT_TRUE(paste(0, 0, 0, 0, 0, 1, 1));
    ASSERT_TRUE(paste(2, 0, 0, 0, 0, 1, 1));
    EXPECT_EQ(at(1, 1), (Bytes{58, 33, 5, 255}));
}

TEST_F(CustomFrame, UnusableNumbersAreRefusedWithoutUndefinedConversions)
{
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    for (float bad : {nan, inf, -inf, 1e30f, -1e30f})
        EXPECT_FALSE(paste(0, bad, 0, 0, 0, 1, 1) || paste(0, 0, 0, 0, bad, 1, 1)) << bad;
    for (float bad : {nan, inf, -inf, -1e30f})
        EXPECT_FALSE(paste(0, 0, 0, 0, 0, bad, 1)) << bad;
    // A huge size is clipped to the image.
    EXPECT_TRUE(paste(0, 0, 0, 0, 0, 1e30f, 3e38f));
    EXPECT_EQ(at(3, 3), (Bytes{31, 31, 7, 255}));

    // The end uploads every level (4x4, 2x2, 1x1) and keeps the shown image.
    const size_t before = fakegl::uploads_of(id).size();
    ASSERT_TRUE(texture_end_custom_frame(id));
    auto ups = fakegl::uploads_of(id);
    ASSERT_EQ(ups.size(), before + 3);
    EXPECT_TRUE(ups[before].sub);
    EXPECT_EQ(anim(id)->shown_image, 0);
    EXPECT_FALSE(texture_end_custom_frame(id + 100));
    EXPECT_FALSE(texture_begin_custom_frame(0));
}

}  // namespace
