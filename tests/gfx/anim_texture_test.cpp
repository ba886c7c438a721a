// ".seq" animations on the fake GL: reading mixed J7 and PNG entries, frame timing,
// uploads only on a change of image, start and stop, the rejected files, and the
// custom-frame paste with its clipping and alpha compositing.
#include "image_fixtures.h"
#include "log_capture.h"
#include "texture_fake.h"

#include "gfx/anim_texture.h"
#include "gfx/texture_cache.h"
#include "gfx/texture_settings.h"

#include "foundation/growable_array.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace imgtest;

namespace {

class Animation : public ::testing::Test {
protected:
    void SetUp() override
    {
        texfake::install();
        texture_purge(1);
        texfake::install();
        verbose_level = 0;
    }
    void TearDown() override { texture_purge(1); }

    static anim_texture* anim(GLuint id)
    {
        growable_array* table = texture_animation_table();
        for (int i = 0; table && i < table->count; ++i) {
            anim_texture* a = static_cast<anim_texture**>(table->items)[i];
            if (a->tid == id)
                return a;
        }
        return nullptr;
    }
    // A 2x2 RGBA image of one colour as an inline J7 entry.
    static std::string j7(const Bytes& colour, int w = 2, int h = 2) { return j_file(w, h, 4, solid(w, h, colour)); }

    static GLuint load_seq(const std::string& name, const std::string& body)
    {
        put_data(name, body);
        return texture_load(("@" + name).c_str());
    }
    // Red channel of each base-level upload (sub-image) of the texture, in order.
    static std::vector<int> shown_reds(GLuint id)
    {
        std::vector<int> reds;
        for (const auto& u : texfake::uploads_of(id))
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
    ASSERT_NE(id, 0u);
    anim_texture* a = anim(id);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->frame_count, 3);
    EXPECT_EQ(a->image_count, 2);
    EXPECT_EQ(a->shown_image, 1);
    // 3 x 3 images are resampled to 2 x 2.
    EXPECT_EQ(a->images[0].width, 2);
    EXPECT_EQ(a->images[1].height, 2);
    auto ups = texfake::uploads_of(id);
    ASSERT_FALSE(ups.empty());
    EXPECT_FALSE(ups[0].sub);
    EXPECT_EQ(static_cast<uint8_t>(ups[0].data[0]), 20);
    EXPECT_STREQ(texture_name(id), "@anim/mixed.seq");
}

TEST_F(Animation, FramesFollowTheTicksLoopingOrHolding)
{
    std::string images;
    for (int i = 0; i < 4; ++i)
        images += j7({static_cast<uint8_t>(i * 10), 0, 0, 255});
    const GLuint looping = load_seq("anim/loop.seq", "ANIM1 4 4 8 1 0 1 2 3 " + images);
    const GLuint holding = load_seq("anim/hold.seq", "ANIM1 4 4 8 0 0 1 2 3 " + images);
    ASSERT_NE(looping, 0u);
    ASSERT_NE(holding, 0u);
    for (int tick : {0, 7, 32, 39})
        EXPECT_EQ(anim_frame_image(anim(looping), tick), 0) << tick;
    EXPECT_EQ(anim_frame_image(anim(looping), 8), 1);
    EXPECT_EQ(anim_frame_image(anim(looping), 31), 3);
    for (int tick : {31, 32, 1000, 2147483647})
        EXPECT_EQ(anim_frame_image(anim(holding), tick), 3) << tick;
    // Time before the start shows the first frame.
    anim(holding)->start_tick = 100;
    EXPECT_EQ(anim_frame_image(anim(holding), 50), 0);
}

TEST_F(Animation, OnlyAChangeOfImageUploadsAndStopFreezes)
{
    const GLuint id = load_seq("anim/pair.seq", "ANIM1 3 2 8 1\n0 0 1\n" + j7({10, 0, 0, 255}) + j7({20, 0, 0, 255}));
    ASSERT_NE(id, 0u);
    for (int tick = -5; tick < 24; ++tick)
        anim_textures_update(tick);
    EXPECT_EQ(shown_reds(id), (std::vector<int>{20}));
    // Every level is replaced: 2x2 then 1x1.
    int subs = 0;
    for (const auto& u : texfake::uploads_of(id))
        subs += u.sub;
    EXPECT_EQ(subs, 2);

    anim_textures_update(24);   // wraps to frame 0: image 0 again
    EXPECT_EQ(shown_reds(id), (std::vector<int>{20, 10}));
    anim_texture_stop(id);
    for (int tick = 25; tick < 100; ++tick)
        anim_textures_update(tick);
    EXPECT_EQ(shown_reds(id), (std::vector<int>{20, 10}));
    anim_texture_start(id, 200);
    anim_textures_update(215);
    EXPECT_EQ(shown_reds(id), (std::vector<int>{20, 10}));   // frame 1 is image 0 too
    anim_textures_update(216);
    EXPECT_EQ(shown_reds(id), (std::vector<int>{20, 10, 20}));
    // Ids that are no animation are ignored.
    anim_texture_start(12345, 0);
    anim_texture_stop(0);
}

TEST_F(Animation, MismatchedImagesAndUnreadableEntriesFailWithTheirMessages)
{
    struct Case {
        std::string body;
        std::string message;
    };
    put_data("anim/rgb.png", png_of(2, 2, 3, solid(2, 2, {1, 2, 3})));
    const Case cases[] = {
        {"ANIM1 1 2 8 1 0 " + j7({1, 1, 1, 255}) + j7({1, 1, 1, 255}, 4, 4), "Width/height mismatch reading .seq\n"},
        {"ANIM1 1 2 8 1 0 " + j7({1, 1, 1, 255}) + "PNG @anim/rgb.png\n", "Depth mismatch reading .seq\n"},
        {"ANIM1 1 2 8 1 0 " + j7({1, 1, 1, 255}) + "GIF x\n", "Error reading .seq frame 1\n"},
        {"ANIM1 1 1 8 1 0 PNG @anim/none.png\n", "Can't read @anim/none.png\n"},
        {"ANIM1 1 1 8 1 0 PNG", "EOF while reading .seq\n"},
        {"ANIM1 3 1 8 1 0 0", ""},
        {"ANIM1 0 1 8 1 ", ""},
        {"ANIM1 1 1 8", ""},
        {"ANIM1 1 1 8 1 0 ", ""},
    };
    int n = 0;
    for (const Case& c : cases) {
        LogCapture log;
        EXPECT_EQ(load_seq("anim/bad" + std::to_string(n++) + ".seq", c.body), 0u) << c.body;
        EXPECT_EQ(log.text(), c.message) << c.body;
    }
    EXPECT_EQ(texture_animation_table()->count, 0);
}

TEST_F(Animation, BadTimingFrameListsAndSizesAreRefused)
{
    const std::string image = j7({1, 1, 1, 255});
    struct Case {
        std::string body;
        std::string message;
    };
    const Case cases[] = {
        {"ANIM1 1 1 0 1 0 " + image, "Bad frame time 0 reading .seq\n"},
        {"ANIM1 1 1 -3 1 0 " + image, "Bad frame time -3 reading .seq\n"},
        {"ANIM1 2 1 8 1 0 1 " + image, "Bad image index 1 reading .seq\n"},
        {"ANIM1 2 1 8 1 -1 0 " + image, "Bad image index -1 reading .seq\n"},
        {"ANIM1 2000000000 1 8 1 0", "Too many frames or images reading .seq\n"},
        {"ANIM1 1 100000 8 1 0", "Too many frames or images reading .seq\n"},
        {"ANIM1 1 1 8 1 0 J7 100000 100000\n", "Error reading .seq frame 0\n"},
    };
    int n = 0;
    for (const Case& c : cases) {
        LogCapture log;
        EXPECT_EQ(load_seq("anim/worse" + std::to_string(n++) + ".seq", c.body), 0u) << c.body;
        EXPECT_EQ(log.text(), c.message) << c.body;
    }
}

TEST_F(Animation, AnimationsGoWithTheirTextureRecord)
{
    const GLuint id = load_seq("anim/gone.seq", "ANIM1 1 1 8 1 0 " + j7({1, 1, 1, 255}));
    ASSERT_NE(id, 0u);
    texture_generation = 5;
    verbose_level = 1;
    LogCapture log;
    texture_purge(0);
    EXPECT_EQ(log.text(), "");   // generation 0: permanent
    texture_purge(1);
    const std::string tid = std::to_string(id);
    EXPECT_EQ(log.text(), "deleting tid " + tid + " (@anim/gone.seq)\ndeleting anim 0 for tid " + tid + "\n");
    texture_generation = 0;
}

class CustomFrame : public Animation {
protected:
    void SetUp() override
    {
        Animation::SetUp();
        // Image 0: 4x4, texel (x, y) = (10x+1, 10y+1, 7, alpha); alphas per test below.
        Bytes first, second;
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x) {
                first.insert(first.end(), {uint8_t(10 * x + 1), uint8_t(10 * y + 1), 7, 255});
                second.insert(second.end(), {100, 50, 0, 128});
            }
        id = load_seq("anim/custom.seq", "ANIM1 1 3 8 1 0 " + j_file(4, 4, 4, first) + j_file(4, 4, 4, second) +
                                             j7({200, 100, 0, 64}, 4, 4));
        ASSERT_NE(id, 0u);
        ASSERT_TRUE(texture_begin_custom_frame(id));
    }
    Bytes at(int x, int y) { return texel(anim(id)->custom_frame, 4, 4, x, y); }
    GLuint id = 0;
};

TEST_F(CustomFrame, PositionsRoundHalfDownAndClipSourceThenDestination)
{
    // Width 1 from 0.5 to 0.5: only the right half fits.
    ASSERT_TRUE(texture_paste_custom_frame(id, 0, 0.5f, 0.5f, 0.5f, 0.5f, 1, 1));
    EXPECT_EQ(at(2, 2), (Bytes{21, 21, 7, 255}));
    EXPECT_EQ(at(3, 3), (Bytes{31, 31, 7, 255}));
    EXPECT_EQ(at(1, 1), (Bytes{0, 0, 0, 0}));

    // A negative source start is cut off and the destination moves right by as much.
    ASSERT_TRUE(texture_begin_custom_frame(id));
    ASSERT_TRUE(texture_paste_custom_frame(id, 0, -0.25f, 0, 0, 0, 1, 0.25f));
    EXPECT_EQ(at(0, 0), (Bytes{0, 0, 0, 0}));
    EXPECT_EQ(at(1, 0), (Bytes{1, 1, 7, 255}));
    EXPECT_EQ(at(3, 0), (Bytes{21, 1, 7, 255}));
    EXPECT_EQ(at(1, 1), (Bytes{0, 0, 0, 0}));

    // 0.375 x 4 - 0.5 = 1 exactly; 0.625 x 4 - 0.5 = 2: exact halves go down.
    ASSERT_TRUE(texture_begin_custom_frame(id));
    ASSERT_TRUE(texture_paste_custom_frame(id, 0, 0.375f, 0, 0.625f, 0, 0.25f, 0.25f));
    EXPECT_EQ(at(2, 0), (Bytes{11, 1, 7, 255}));
    EXPECT_EQ(at(1, 0), (Bytes{0, 0, 0, 0}));

    // Empty and outside rectangles, bad images and ids.
    EXPECT_FALSE(texture_paste_custom_frame(id, 0, 0, 0, 0, 0, 0, 1));
    EXPECT_FALSE(texture_paste_custom_frame(id, 0, 1, 0, 0, 0, 1, 1));
    EXPECT_FALSE(texture_paste_custom_frame(id, 0, 0, 0, 0, 1, 1, 1));
    EXPECT_FALSE(texture_paste_custom_frame(id, 0, -2, 0, 0, 0, 1, 1));
    EXPECT_FALSE(texture_paste_custom_frame(id, 3, 0, 0, 0, 0, 1, 1));
    EXPECT_FALSE(texture_paste_custom_frame(id, -1, 0, 0, 0, 0, 1, 1));
    EXPECT_FALSE(texture_paste_custom_frame(id + 100, 0, 0, 0, 0, 0, 1, 1));
}

TEST_F(CustomFrame, AlphaCompositingArithmetic)
{
    // Into a clear frame any texel is copied, even a half transparent one.
    ASSERT_TRUE(texture_paste_custom_frame(id, 1, 0, 0, 0, 0, 1, 1));
    EXPECT_EQ(at(0, 0), (Bytes{100, 50, 0, 128}));
    // a = 64 over b = 128: d = 128 x 191 + 64 x 255.
    ASSERT_TRUE(texture_paste_custom_frame(id, 2, 0, 0, 0, 0, 0.5f, 1));
    EXPECT_EQ(at(0, 0), (Bytes{140, 70, 0, 159}));
    EXPECT_EQ(at(2, 0), (Bytes{100, 50, 0, 128}));
    // Over an opaque texel the colours mix and alpha stays 255.
    ASSERT_TRUE(texture_begin_custom_frame(id));
    ASSERT_TRUE(texture_paste_custom_frame(id, 0, 0, 0, 0, 0, 1, 1));
    ASSERT_TRUE(texture_paste_custom_frame(id, 2, 0, 0, 0, 0, 1, 1));
    EXPECT_EQ(at(1, 1), (Bytes{(200 * 64 + 11 * 191) / 255, (100 * 64 + 11 * 191) / 255, (7 * 191) / 255, 255}));
}

TEST_F(CustomFrame, UnusableNumbersAreRefusedWithoutUndefinedConversions)
{
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    for (float bad : {nan, inf, -inf}) {
        EXPECT_FALSE(texture_paste_custom_frame(id, 0, bad, 0, 0, 0, 1, 1));
        EXPECT_FALSE(texture_paste_custom_frame(id, 0, 0, 0, 0, bad, 1, 1));
        EXPECT_FALSE(texture_paste_custom_frame(id, 0, 0, 0, 0, 0, bad, 1));
    }
    EXPECT_FALSE(texture_paste_custom_frame(id, 0, 1e30f, 0, 0, 0, 1, 1));
    EXPECT_FALSE(texture_paste_custom_frame(id, 0, -1e30f, 0, 0, 0, 1, 1));
    EXPECT_FALSE(texture_paste_custom_frame(id, 0, 0, 0, 0, 0, -1e30f, 1));
    // A huge size is clipped to the image.
    EXPECT_TRUE(texture_paste_custom_frame(id, 0, 0, 0, 0, 0, 1e30f, 3e38f));
    EXPECT_EQ(at(3, 3), (Bytes{31, 31, 7, 255}));
}

TEST_F(CustomFrame, EndUploadsEveryLevelAndKeepsTheShownImage)
{
    ASSERT_TRUE(texture_paste_custom_frame(id, 0, 0, 0, 0, 0, 1, 1));
    const size_t before = texfake::uploads_of(id).size();
    ASSERT_TRUE(texture_end_custom_frame(id));
    auto ups = texfake::uploads_of(id);
    ASSERT_EQ(ups.size(), before + 3);   // 4x4, 2x2, 1x1
    EXPECT_TRUE(ups[before].sub);
    EXPECT_EQ(ups[before + 1].w, 2);
    EXPECT_EQ(anim(id)->shown_image, 0);
    EXPECT_FALSE(texture_end_custom_frame(id + 100));
    EXPECT_FALSE(texture_begin_custom_frame(0));
}

}  // namespace
