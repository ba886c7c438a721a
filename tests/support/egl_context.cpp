#include "support/egl_context.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>

#include <cstdio>
#include <cstdlib>

namespace {

std::string egl_failure(const char* what)
{
    char text[96];
    snprintf(text, sizeof text, "%s failed (EGL error 0x%04x)", what, static_cast<unsigned>(eglGetError()));
    return text;
}

}  // namespace

EglContext::EglContext(GlApi api)
{
    // Software rendering on any machine, GPU or not, and no display server needed.
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
    setenv("EGL_PLATFORM", "surfaceless", 1);
    auto platform_display =
        reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
    EGLDisplay display = platform_display ? platform_display(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr)
                                          : eglGetDisplay(EGL_DEFAULT_DISPLAY);
    const bool es = api == GlApi::es3;
    const EGLint config_attributes[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RENDERABLE_TYPE,
                                        es ? EGL_OPENGL_ES3_BIT : EGL_OPENGL_BIT, EGL_NONE};
    const EGLint core_attributes[] = {EGL_CONTEXT_MAJOR_VERSION, 3, EGL_CONTEXT_MINOR_VERSION, 3,
                                      EGL_CONTEXT_OPENGL_PROFILE_MASK, EGL_CONTEXT_OPENGL_CORE_PROFILE_BIT, EGL_NONE};
    const EGLint es_attributes[] = {EGL_CONTEXT_MAJOR_VERSION, 3, EGL_NONE};
    EGLConfig config;
    EGLint configs = 0, major = 0, minor = 0;
    if (display == EGL_NO_DISPLAY || !eglInitialize(display, &major, &minor)) {
        error_ = egl_failure("eglInitialize");
        return;
    }
    display_ = display;
    if (!eglBindAPI(es ? EGL_OPENGL_ES_API : EGL_OPENGL_API)) {
        error_ = egl_failure("eglBindAPI");
    } else if (!eglChooseConfig(display, config_attributes, &config, 1, &configs) || configs < 1) {
        error_ = egl_failure("eglChooseConfig");
    } else if (EGLContext context = eglCreateContext(display, config, EGL_NO_CONTEXT, es ? es_attributes : core_attributes);
               context == EGL_NO_CONTEXT) {
        error_ = egl_failure("eglCreateContext");
    } else if (!eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, context)) {
        error_ = egl_failure("eglMakeCurrent");
        eglDestroyContext(display, context);
    } else {
        context_ = context;
    }
}

EglContext::~EglContext()
{
    if (!display_)
        return;
    eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    if (context_)
        eglDestroyContext(display_, context_);
    // The display is not terminated: it is one per process, and terminating it drops
    // driver records that LeakSanitizer then reports as leaks.
}

void* EglContext::load(void*, const char* name) { return reinterpret_cast<void*>(eglGetProcAddress(name)); }

const char* api_name(GlApi api) { return api == GlApi::es3 ? "es3" : "core"; }
