// Real-GL tests on Mesa's software renderer: a framebuffer object to draw into, read
// back and save as PNG in <build>/gfx_frames/ for a person to look at, and the fixture
// every such test starts from (a context of the API under test with the layer, the
// six programs and the start-up state in place), run once per API.
#pragma once
#include "support/egl_context.h"

#include <GL/glcorearb.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

using Pixel = std::array<int, 4>;
inline constexpr Pixel clear_pixel = {50, 153, 204, 0};   // the start-up clear colour

class RenderTarget {
public:
    RenderTarget(int w, int h, bool depth);   // bound, viewport set, cleared
    ~RenderTarget();
    bool complete() const { return complete_; }
    Pixel pixel(int x, int y) const;
    std::vector<uint8_t> rgb() const;   // rows bottom first, as the RGB writer takes them
    bool save(const std::string& name) const;

    const int width, height;

private:
    GLuint textures_[2] = {0, 0};
    GLuint framebuffer_ = 0;
    bool complete_ = false;
};

// A texture from bytes (rows bottom first), nearest filtering, clamped at the edges.
GLuint make_texture(int w, int h, GLint internal_format, GLenum format, const std::vector<uint8_t>& bytes);
void bind_unit(int unit, GLuint texture);   // leaves unit 0 active
::testing::AssertionResult pixel_near(const Pixel& got, const Pixel& want, int tolerance = 2);

class MesaTest : public ::testing::TestWithParam<GlApi> {
protected:
    void SetUp() override;
    void TearDown() override;   // saves the target's frame under the test's name
    // A new target of w x h with pixel coordinates as the projection.
    void use_target(int w, int h, bool depth = false);

    std::unique_ptr<EglContext> context;
    std::unique_ptr<RenderTarget> target;
};

std::string api_test_name(const ::testing::TestParamInfo<GlApi>& info);
#define INSTANTIATE_ON_MESA(suite) \
    INSTANTIATE_TEST_SUITE_P(Mesa, suite, ::testing::Values(GlApi::desktop_core, GlApi::es3), api_test_name)
#define EXPECT_PIXEL(x, y, ...) EXPECT_TRUE(pixel_near(target->pixel(x, y), __VA_ARGS__)) << "at " << (x) << ", " << (y)
