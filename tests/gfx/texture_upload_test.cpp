// Mip filters, the two power-of-two rules, the detail reduction and the upload's
// levels, wrap, filters, compression and memory, on the recording fake GL.
#include "fake_gl.h"
#include "image_fixtures.h"
#include "log_capture.h"

#include "gfx/gl_layer.h"
#include "gfx/gl_state.h"
#include "gfx/image_chain.h"
#include "gfx/mip_chain.h"
#include "gfx/texture_upload.h"

#include "foundation/memory.h"

#include <gtest/gtest.h>

using namespace imgtest;

namespace {

// A chain buffer with the given base and its levels built.
Bytes chain_of(int w, int h, int channels, const Bytes& base)
{
    Bytes chain(static_cast<size_t>(chain_texel_count(w, h)) * channels);
    std::copy(base.begin(), base.end(), chain.begin());
    mipchain_build(chain.data(), w, h, channels);
    return chain;
}

Bytes next_level(int w, int h, int channels, Bytes level, int flags = 0)
{
    level.resize(level.size() + static_cast<size_t>(chain_next_side(w)) * chain_next_side(h) * channels);
    if (channels == 4)
        mip_downsample_rgba(level.data(), w, h, flags);
    else
        mip_downsample_box(level.data(), w, h, channels);
    return Bytes(level.begin() + static_cast<long>(w) * h * channels, level.end());
}

TEST(MipFilters, AlphaWeightsTheColourExceptForClearOrOpaqueBlocks)
{
    const Bytes one_opaque = {10, 20, 30, 255, 90, 90, 90, 0, 90, 90, 90, 0, 90, 90, 90, 0};
    EXPECT_EQ(next_level(2, 2, 4, one_opaque), (Bytes{10, 20, 30, 63}));
    EXPECT_EQ(next_level(2, 2, 4, one_opaque, mip_max_alpha), (Bytes{10, 20, 30, 255}));
    EXPECT_EQ(next_level(2, 2, 4, {10, 0, 0, 0, 20, 0, 0, 0, 30, 0, 0, 0, 41, 0, 0, 0}), (Bytes{25, 0, 0, 0}));
    EXPECT_EQ(next_level(2, 2, 4, {10, 0, 0, 255, 20, 0, 0, 255, 30, 0, 0, 255, 41, 0, 0, 255}), (Bytes{25, 0, 0, 255}));
    EXPECT_EQ(next_level(2, 2, 4, {100, 0, 0, 255, 200, 0, 0, 85, 7, 0, 0, 0, 7, 0, 0, 0}), (Bytes{125, 0, 0, 85}));
    // One texel wide or high: pairs, with the plain mean at sums 0 and 510.
    EXPECT_EQ(next_level(1, 2, 4, {100, 0, 0, 255, 200, 0, 0, 85}), (Bytes{125, 0, 0, 170}));
    EXPECT_EQ(next_level(2, 1, 4, {100, 0, 0, 255, 201, 0, 0, 255}), (Bytes{150, 0, 0, 255}));
    EXPECT_EQ(next_level(2, 1, 4, {100, 0, 0, 0, 201, 0, 0, 0}), (Bytes{150, 0, 0, 0}));
    EXPECT_EQ(next_level(2, 1, 4, {100, 0, 0, 0, 201, 0, 0, 255}, mip_max_alpha), (Bytes{201, 0, 0, 255}));

    EXPECT_EQ(next_level(2, 2, 3, {0, 1, 2, 4, 5, 6, 8, 9, 10, 13, 14, 15}), (Bytes{6, 7, 8}));
    // 3 x 3: the odd last row and column take no part.
    EXPECT_EQ(next_level(3, 3, 1, {4, 8, 99, 12, 16, 99, 99, 99, 99}), (Bytes{10}));
    EXPECT_EQ(chain_of(4, 1, 1, {1, 3, 10, 20}), (Bytes{1, 3, 10, 20, 2, 15, 8}));
}

TEST(ResamplePow2, AnimationImagesUseTheLargestPowerNotAboveAndKeepSmallLevels)
{
    struct Case {
        int w, h, limit, drop, want_w, want_h;
    };
    for (const Case& c : {Case{100, 60, 65536, 0, 64, 32}, {128, 100, 65536, 0, 128, 64}, {512, 512, 65536, 0, 256, 256},
                          {256, 256, 65536, 1, 128, 128}, {1024, 16, 100, 3, 1024, 16}, {256, 256, 100, 9, 128, 128}}) {
        // Texel (x, y) holds (x, y, 0): nearest sampling shows where each new texel came from.
        uint8_t* chain = chain_alloc(c.w, c.h, 3);
        for (int y = 0; y < c.h; ++y)
            for (int x = 0; x < c.w; ++x)
                std::copy_n(Bytes{uint8_t(x), uint8_t(y), 0}.data(), 3, chain + (static_cast<size_t>(y) * c.w + x) * 3);
        mipchain_build(chain, c.w, c.h, 3);
        int w = c.w, h = c.h;
        texture_resample_pow2(&chain, &w, &h, 3, c.limit, c.drop);
        EXPECT_EQ(std::make_pair(w, h), std::make_pair(c.want_w, c.want_h)) << c.w << "x" << c.h;
        if (c.w == 100) {   // new x maps to x * w / new w
            EXPECT_EQ(texel(chain, w, 3, w - 1, h - 1), (Bytes{98, 58, 0}));
        }
        mem_free(chain);
    }
}

class Upload : public ::testing::Test {
protected:
    void SetUp() override
    {
        fakegl::install();
        gl_state.gl_major = 3;
        gl_state.gl_es = 0;
    }
    // Sides of the first upload of the texture the reduction made.
    static std::pair<int, int> reduced(int w, int h, int drop, const Bytes& base, int channels = 3,
                                       const char* name = nullptr)
    {
        const Bytes chain = chain_of(w, h, channels, base);
        auto ups = fakegl::uploads_of(texture_reduce_upload(chain.data(), w, h, channels, drop, 0, name));
        return ups.empty() ? std::pair{0, 0} : std::pair{ups[0].w, ups[0].h};
    }
};

TEST_F(Upload, ReductionFollowsTheSettingThePowersOfTwoAndTheLevelsWithoutDetail)
{
    using P = std::pair<int, int>;
    LogCapture log;
    // The setting drops levels while both sides exceed 128.
    EXPECT_EQ(reduced(512, 512, 1, noise(512 * 512 * 3, 1), 3, "@busy.png"), P(256, 256));
    EXPECT_EQ(reduced(512, 512, 5, noise(512 * 512 * 3, 1)), P(128, 128));
    EXPECT_EQ(reduced(128, 1024, 3, noise(128 * 1024 * 3, 2)), P(128, 1024));
    // Other sides go to the largest power of two below them, even a power of two.
    EXPECT_EQ(reduced(100, 60, 0, noise(100 * 60 * 3, 5)), P(64, 32));
    EXPECT_EQ(reduced(128, 100, 0, noise(128 * 100 * 3, 6)), P(64, 64));
    EXPECT_EQ(reduced(3, 1, 0, {1, 1, 1, 2, 2, 2, 3, 3, 3}), P(2, 1));
    // Levels the next one predicts go, down to 16 x 16 at least, and are reported.
    EXPECT_EQ(reduced(16, 16, 0, solid(16, 16, {9, 9, 9})), P(16, 16));
    EXPECT_EQ(reduced(64, 64, 0, solid(64, 64, {9, 9, 9}), 3, "@flat.png"), P(16, 16));
    EXPECT_EQ(reduced(256, 64, 0, solid(256, 64, {1, 2, 3, 4}), 4), P(16, 4));
    EXPECT_EQ(log.text(), "@flat.png reduced to 16x16 (originally 64x64)\n");
}

TEST_F(Upload, RedundancyUsesTheNearTexelsWithinFour)
{
    // A ramp of 8 per texel is predicted within 4 only when the nearer texels of the
    // next level get the weight 3; a step of 16 is not predicted at all.
    auto ramp = [](bool vertical) {
        Bytes base(32 * 32);
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x)
                base[y * 32 + x] = static_cast<uint8_t>((vertical ? y : x) * 8);
        return chain_of(32, 32, 1, base);
    };
    EXPECT_TRUE(texture_level_redundant(ramp(false).data(), 32, 32, 1));
    EXPECT_TRUE(texture_level_redundant(ramp(true).data(), 32, 32, 1));
    Bytes steep = ramp(false);
    for (int y = 0; y < 32; ++y)
        steep[y * 32 + 5] = static_cast<uint8_t>(steep[y * 32 + 5] + 5);
    EXPECT_FALSE(texture_level_redundant(steep.data(), 32, 32, 1));

    Bytes flat = chain_of(32, 32, 3, solid(32, 32, {100, 100, 100}));
    flat[7 * 96 + 10 * 3 + 1] = 104;
    EXPECT_TRUE(texture_level_redundant(flat.data(), 32, 32, 3));
    flat[7 * 96 + 10 * 3 + 1] = 95;
    EXPECT_FALSE(texture_level_redundant(flat.data(), 32, 32, 3));
}

TEST_F(Upload, EveryLevelComesFromItsOwnPlaceInTheChain)
{
    const Bytes chain = chain_of(4, 1, 4, {10, 0, 0, 255, 30, 0, 0, 255, 50, 0, 0, 255, 70, 0, 0, 255});
    const GLuint id = texture_upload(chain.data(), 4, 1, 4, 0);
    auto ups = fakegl::uploads_of(id);
    ASSERT_EQ(ups.size(), 3u);
    EXPECT_EQ(std::vector<int>({ups[0].w, ups[0].h, ups[1].w, ups[1].h, ups[2].w, ups[2].h}),
              std::vector<int>({4, 1, 2, 1, 1, 1}));
    EXPECT_EQ(ups[1].data, std::string("\x14\0\0\xff\x3c\0\0\xff", 8));
    EXPECT_EQ(ups[2].data, std::string("\x28\0\0\xff", 4));
    EXPECT_EQ(ups[0].internal_format, GL_RGBA);
    EXPECT_EQ(texture_memory, (4 + 2 + 1) * 4);
    // Unbound afterwards (a queued call, so it shows once the queue replays).
    bvglFinish();
    EXPECT_EQ(fakegl::calls_named("BindTexture").back().args[1], 0);
}

TEST_F(Upload, WrapAndFiltersFollowFlagsAndTheClampToEdgeCheck)
{
    const Bytes chain = chain_of(2, 2, 3, noise(12, 7));
    GLuint id = texture_upload(chain.data(), 2, 2, 3, texture_repeat_h);
    EXPECT_EQ(fakegl::parameter(id, GL_TEXTURE_WRAP_S), GL_REPEAT);
    EXPECT_EQ(fakegl::parameter(id, GL_TEXTURE_WRAP_T), GL_CLAMP_TO_EDGE);
    EXPECT_EQ(fakegl::parameter(id, GL_TEXTURE_MIN_FILTER), GL_LINEAR_MIPMAP_LINEAR);
    EXPECT_EQ(fakegl::parameter(id, GL_TEXTURE_MAG_FILTER), GL_LINEAR);

    // A stale error (and the one GL_CLAMP raises on core contexts) is drained first.
    fakegl::settings().errors = {GL_INVALID_OPERATION, GL_INVALID_ENUM};
    id = texture_upload(chain.data(), 2, 2, 3, texture_repeat_v);
    EXPECT_EQ(fakegl::parameter(id, GL_TEXTURE_WRAP_S), GL_CLAMP_TO_EDGE);
    EXPECT_EQ(fakegl::parameter(id, GL_TEXTURE_WRAP_T), GL_REPEAT);
    EXPECT_EQ(fakegl::parameter(id, GL_TEXTURE_MIN_FILTER), GL_LINEAR_MIPMAP_LINEAR);

    id = texture_upload(chain.data(), 2, 2, 3, texture_base_only);
    EXPECT_EQ(fakegl::parameter(id, GL_TEXTURE_MIN_FILTER), GL_LINEAR);
    EXPECT_EQ(fakegl::uploads_of(id).size(), 1u);

    // Clamp-to-edge refused: nearest filtering.
    gl.GetError = [](void) -> GLenum {
        static int calls = 0;
        return ++calls % 2 == 0 ? GL_INVALID_ENUM : GL_NO_ERROR;
    };
    id = texture_upload_mipmapped(chain.data(), 2, 2, 3);
    EXPECT_EQ(fakegl::parameter(id, GL_TEXTURE_MIN_FILTER), GL_NEAREST_MIPMAP_NEAREST);
}

TEST_F(Upload, CompressionOnlyOnDesktopAndCountedAsTheDriverReports)
{
    const Bytes chain = chain_of(4, 4, 3, noise(48, 8));
    auto upload = [&](int es, GLint compressed) {
        texture_memory = 0;
        gl_state.gl_es = es;
        fakegl::settings().compressed = compressed;
        fakegl::settings().compressed_size = 8;
        return fakegl::uploads_of(texture_upload(chain.data(), 4, 4, 3, texture_compress_flag))[0].internal_format;
    };
    EXPECT_EQ(upload(0, 1), GL_COMPRESSED_RGB);
    EXPECT_EQ(texture_memory, 3 * 8);
    EXPECT_EQ(upload(0, 0), GL_COMPRESSED_RGB);   // the driver kept it uncompressed: texel bytes count
    EXPECT_EQ(texture_memory, (16 + 4 + 1) * 3);
    EXPECT_EQ(upload(1, 1), GL_RGB);              // GLES has no generic compressed formats
    EXPECT_EQ(texture_memory, (16 + 4 + 1) * 3);
}

}  // namespace
