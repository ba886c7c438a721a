#include "gl_context.h"

#include "gfx/gl_layer.h"
#include "gfx/gl_startup.h"
#include "gfx/shaders.h"
#include "gfx/texture_cache.h"


GlContext::GlContext(GlKind kind) : egl_(kind == GlKind::es ? GlApi::es3 : GlApi::desktop_core)
{
    if (!egl_.ok()) {
        failure_ = egl_.error();
        return;
    }
    gl_init(EglContext::load, nullptr);
    if (!gl_create_shaders()) {
        failure_ = "the built-in shaders do not build";
        return;
    }
    bvglClearColor(0.196078f, 0.6f, 0.8f, 0.0f);
    bvglEnable(GL_CULL_FACE);
    bvglPixelStorei(GL_PACK_ALIGNMENT, 1);
    bvglPixelStorei(GL_UNPACK_ALIGNMENT, 1);
}

GlContext::~GlContext()
{
    if (!egl_.ok())
        return;
    // Cached textures belong to this context; a later context must not find them.
    texture_purge(1);
    gl_delete_programs();
}

const char* kind_name(GlKind kind)
{
    return kind == GlKind::es ? "es" : "desktop";
}

std::vector<uint8_t> read_texture(uint32_t texture, int side)
{
    GLuint framebuffer = 0;
    bvglGenFramebuffers(1, &framebuffer);
    bvglBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    bvglFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture, 0);
    std::vector<uint8_t> pixels(size_t(side) * side * 4);
    bvglReadPixels(0, 0, side, side, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    bvglBindFramebuffer(GL_FRAMEBUFFER, 0);
    bvglDeleteFramebuffers(1, &framebuffer);
    return pixels;
}
