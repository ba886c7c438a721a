#include "gl_context.h"

#include "gfx/gl_layer.h"
#include "gfx/gl_startup.h"
#include "gfx/shaders.h"
#include "gfx/texture_cache.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>

#include <cstdlib>

GlContext::GlContext(GlKind kind)
{
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
    setenv("EGL_PLATFORM", "surfaceless", 1);
    auto platform_display =
        reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
    EGLDisplay display = platform_display
                             ? platform_display(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr)
                             : eglGetDisplay(EGL_DEFAULT_DISPLAY);
    if (display == EGL_NO_DISPLAY || !eglInitialize(display, nullptr, nullptr)) {
        failure_ = "eglInitialize failed, error " + std::to_string(eglGetError());
        return;
    }
    display_ = display;
    const bool es = kind == GlKind::es;
    const EGLint wanted[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RENDERABLE_TYPE,
                             es ? EGL_OPENGL_ES3_BIT : EGL_OPENGL_BIT, EGL_NONE};
    const EGLint core[] = {EGL_CONTEXT_MAJOR_VERSION, 3, EGL_CONTEXT_MINOR_VERSION, 3,
                           EGL_CONTEXT_OPENGL_PROFILE_MASK, EGL_CONTEXT_OPENGL_CORE_PROFILE_BIT, EGL_NONE};
    const EGLint es3[] = {EGL_CONTEXT_MAJOR_VERSION, 3, EGL_NONE};
    EGLConfig config;
    EGLint configs = 0;
    EGLContext context = EGL_NO_CONTEXT;
    if (!eglBindAPI(es ? EGL_OPENGL_ES_API : EGL_OPENGL_API) ||
        !eglChooseConfig(display, wanted, &config, 1, &configs) || configs < 1 ||
        (context = eglCreateContext(display, config, EGL_NO_CONTEXT, es ? es3 : core)) == EGL_NO_CONTEXT) {
        failure_ = "no context, error " + std::to_string(eglGetError());
        return;
    }
    if (!eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, context)) {
        failure_ = "eglMakeCurrent failed, error " + std::to_string(eglGetError());
        eglDestroyContext(display, context);
        return;
    }
    context_ = context;
    gl_init([](void*, const char* name) { return reinterpret_cast<void*>(eglGetProcAddress(name)); }, nullptr);
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
    if (!display_)
        return;
    // Cached textures belong to this context; a later context must not find them.
    if (context_)
        texture_purge(1);
    gl_delete_programs();
    eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    if (context_)
        eglDestroyContext(display_, context_);
    // The display stays initialised for the rest of the process: terminating it
    // makes Mesa drop a few driver blocks that the leak checker then reports.
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
