#include "mesa_fixture.h"

#include "gfx/gl_layer.h"
#include "gfx/gl_startup.h"
#include "gfx/gl_state.h"
#include "gfx/images.h"
#include "gfx/shaders.h"

#include <cstdlib>
#include <filesystem>

RenderTarget::RenderTarget(int w, int h, bool depth) : width(w), height(h)
{
    bvglGenTextures(depth ? 2 : 1, textures_);
    bvglBindTexture(GL_TEXTURE_2D, textures_[0]);
    bvglTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, w, h, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    if (depth) {
        bvglBindTexture(GL_TEXTURE_2D, textures_[1]);
        bvglTexImage2D(GL_TEXTURE_2D, 0, GL_DEPTH_COMPONENT24, w, h, 0, GL_DEPTH_COMPONENT, GL_UNSIGNED_INT, nullptr);
    }
    for (GLuint t : textures_) {
        bvglBindTexture(GL_TEXTURE_2D, t);
        bvglTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        bvglTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    }
    bvglBindTexture(GL_TEXTURE_2D, 0);
    bvglGenFramebuffers(1, &framebuffer_);
    bvglBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
    bvglFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, textures_[0], 0);
    if (depth)
        bvglFramebufferTexture2D(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_TEXTURE_2D, textures_[1], 0);
    complete_ = bvglCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    bvglViewport(0, 0, w, h);
    bvglClear(GL_COLOR_BUFFER_BIT | (depth ? GL_DEPTH_BUFFER_BIT : 0));
}

RenderTarget::~RenderTarget()
{
    bvglBindFramebuffer(GL_FRAMEBUFFER, 0);
    bvglDeleteFramebuffers(1, &framebuffer_);
    bvglDeleteTextures(textures_[1] ? 2 : 1, textures_);
}

Pixel RenderTarget::pixel(int x, int y) const
{
    uint8_t rgba[4] = {0, 0, 0, 0};
    bvglReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    return {rgba[0], rgba[1], rgba[2], rgba[3]};
}

std::vector<uint8_t> RenderTarget::rgb() const
{
    // ES only promises RGBA read-backs.
    std::vector<uint8_t> rgba(static_cast<size_t>(width) * height * 4), out;
    bvglReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    for (size_t i = 0; i < rgba.size(); i += 4)
        out.insert(out.end(), {rgba[i], rgba[i + 1], rgba[i + 2]});
    return out;
}

bool RenderTarget::save(const std::string& name) const
{
    const std::filesystem::path folder = std::filesystem::path(BV_BUILD_DIR) / "gfx_frames";
    std::filesystem::create_directories(folder);
    return png_write_rgb((folder / (name + ".png")).c_str(), rgb().data(), width, height);
}

GLuint make_texture(int w, int h, GLint internal_format, GLenum format, const std::vector<uint8_t>& bytes)
{
    GLuint id = 0;
    bvglGenTextures(1, &id);
    bvglBindTexture(GL_TEXTURE_2D, id);
    bvglTexImage2D(GL_TEXTURE_2D, 0, internal_format, w, h, 0, format, GL_UNSIGNED_BYTE, bytes.data());
    for (GLenum p : {GL_TEXTURE_MIN_FILTER, GL_TEXTURE_MAG_FILTER, GL_TEXTURE_WRAP_S, GL_TEXTURE_WRAP_T})
        bvglTexParameteri(GL_TEXTURE_2D, p, p == GL_TEXTURE_WRAP_S || p == GL_TEXTURE_WRAP_T ? GL_CLAMP_TO_EDGE : GL_NEAREST);
    return id;
}

void bind_unit(int unit, GLuint texture)
{
    bvglActiveTexture(GL_TEXTURE0 + unit);
    bvglBindTexture(GL_TEXTURE_2D, texture);
    bvglActiveTexture(GL_TEXTURE0);
}

::testing::AssertionResult pixel_near(const Pixel& got, const Pixel& want, int tolerance)
{
    for (int i = 0; i < 4; ++i)
        if (std::abs(got[i] - want[i]) > tolerance)
            return ::testing::AssertionFailure() << "got " << ::testing::PrintToString(got) << ", want "
                                                 << ::testing::PrintToString(want);
    return ::testing::AssertionSuccess();
}

void MesaTest::SetUp()
{
    context = std::make_unique<EglContext>(GetParam());
    ASSERT_TRUE(context->ok()) << context->error();
    gl_init(EglContext::load, nullptr);
    ASSERT_TRUE(gl_version_supported(gl_state.gl_major, gl_state.gl_minor)) << gl_state.gl_version;
    ASSERT_EQ(gl_state.gl_es, GetParam() == GlApi::es3 ? 1 : 0) << gl_state.gl_version;
    ASSERT_EQ(gl_create_shaders(), 1);
    // The state start-up sets and the drawing code relies on.
    bvglClearColor(0.196078f, 0.6f, 0.8f, 0);
    bvglEnable(GL_CULL_FACE);
    bvglPixelStorei(GL_PACK_ALIGNMENT, 1);
    bvglPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    use_target(64, 64);
}

void MesaTest::use_target(int w, int h, bool depth)
{
    target.reset();
    target = std::make_unique<RenderTarget>(w, h, depth);
    ASSERT_TRUE(target->complete());
    bvglMatrixMode(GL_PROJECTION);
    bvglLoadIdentity();
    bvglOrtho(0, w, 0, h, -1, 1);
    bvglMatrixMode(GL_MODELVIEW);
    bvglLoadIdentity();
}

void MesaTest::TearDown()
{
    if (target) {
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        const std::string name = test->name();
        target->save(std::string(test->test_suite_name()).substr(5) + "_" + name.substr(0, name.find('/')) + "_" +
                     api_name(GetParam()));
    }
    target.reset();
    gl_state_reset();
    context.reset();
}

std::string api_test_name(const ::testing::TestParamInfo<GlApi>& info)
{
    return api_name(info.param);
}
