// An offscreen GL context through EGL for use without any display: a pbuffer on the
// surfaceless platform (else the default display), of the version and profile that the
// request and options ask for, like the window's context.
#include "platform/gl_context.h"
#include "platform/gl_driver_pin.h"
#include "platform/qorl_log.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>

namespace {

struct egl_backend {
    EGLDisplay display;
    EGLSurface surface;
    EGLContext context;
};

int live_displays = 0;  // an EGL display is not counted: terminate it with its last user

egl_backend* backend_of(qorl_window* window)
{
    return static_cast<egl_backend*>(window->gl->backend);
}

int egl_swap(qorl_window* window)
{
    egl_backend* b = backend_of(window);
    return eglSwapBuffers(b->display, b->surface) ? 1 : 0;
}

void release(egl_backend* b)
{
    eglMakeCurrent(b->display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    if (b->context != EGL_NO_CONTEXT)
        eglDestroyContext(b->display, b->context);
    if (b->surface != EGL_NO_SURFACE)
        eglDestroySurface(b->display, b->surface);
    if (--live_displays == 0) {
        eglTerminate(b->display);
        eglReleaseThread();
    }
    delete b;
}

void egl_destroy(qorl_window* window)
{
    release(backend_of(window));
    window->gl->backend = nullptr;
}

qorl_gl_proc egl_proc_address(const char* name)
{
    return eglGetProcAddress(name);
}

EGLDisplay open_display()
{
    const char* client = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
    auto get_platform_display = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
        eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (get_platform_display && qorl_has_extension(client, "EGL_MESA_platform_surfaceless")) {
        EGLDisplay display =
            get_platform_display(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
        if (display != EGL_NO_DISPLAY)
            return display;
    }
    return eglGetDisplay(EGL_DEFAULT_DISPLAY);
}

bool make_context(egl_backend* b, const qorl_gl_request& request, int width, int height,
                  int alpha, int depth, int stencil)
{
    if (!eglBindAPI(request.es ? EGL_OPENGL_ES_API : EGL_OPENGL_API))
        return false;
    EGLint renderable = EGL_OPENGL_BIT;
    if (request.es)
        renderable = request.major >= 3 ? EGL_OPENGL_ES3_BIT : EGL_OPENGL_ES2_BIT;
    const EGLint config_attributes[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RENDERABLE_TYPE,
                                        renderable, EGL_RED_SIZE, 8, EGL_GREEN_SIZE, 8,
                                        EGL_BLUE_SIZE, 8, EGL_ALPHA_SIZE, alpha, EGL_DEPTH_SIZE,
                                        depth, EGL_STENCIL_SIZE, stencil, EGL_NONE};
    EGLConfig config = nullptr;
    EGLint count = 0;
    if (!eglChooseConfig(b->display, config_attributes, &config, 1, &count) || count < 1) {
        qorl_log("No suitable pixel formats found\n");
        return false;
    }
    const EGLint surface_attributes[] = {EGL_WIDTH, width, EGL_HEIGHT, height, EGL_NONE};
    b->surface = eglCreatePbufferSurface(b->display, config, surface_attributes);
    if (b->surface == EGL_NO_SURFACE)
        return false;
    EGLint context_attributes[16];
    int n = 0;
    context_attributes[n++] = EGL_CONTEXT_MAJOR_VERSION;
    context_attributes[n++] = request.major;
    context_attributes[n++] = EGL_CONTEXT_MINOR_VERSION;
    context_attributes[n++] = request.minor;
    if (!request.es) {
        context_attributes[n++] = EGL_CONTEXT_OPENGL_PROFILE_MASK;
        context_attributes[n++] = request.core ? EGL_CONTEXT_OPENGL_CORE_PROFILE_BIT
                                               : EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT;
        context_attributes[n++] = EGL_CONTEXT_OPENGL_FORWARD_COMPATIBLE;
        context_attributes[n++] = request.forward_compatible ? EGL_TRUE : EGL_FALSE;
    }
    context_attributes[n] = EGL_NONE;
    b->context = eglCreateContext(b->display, config, EGL_NO_CONTEXT, context_attributes);
    if (b->context == EGL_NO_CONTEXT) {
        qorl_log("Couldn't create OpenGL context with attributes\n");
        return false;
    }
    return eglMakeCurrent(b->display, b->surface, b->surface, b->context) == EGL_TRUE;
}

}  // namespace

qorl_window* qorl_gl_open_offscreen(int width, int height, int alpha_bits, int depth_bits,
                                    int stencil_bits)
{
    if (width <= 0 || height <= 0) {
        qorl_log("Offscreen size %dx%d refused\n", width, height);
        return nullptr;
    }
    EGLDisplay display = open_display();
    EGLint major = 0, minor = 0;
    if (display == EGL_NO_DISPLAY || !eglInitialize(display, &major, &minor)) {
        qorl_log("Can't initialise EGL (error 0x%x)\n", static_cast<unsigned>(eglGetError()));
        return nullptr;
    }
    ++live_displays;
    qorl_gl_pin_driver_libraries();
    qorl_log("EGL %d.%d offscreen %dx%d\n", major, minor, width, height);

    auto* b = new egl_backend{display, EGL_NO_SURFACE, EGL_NO_CONTEXT};
    qorl_gl_request request = qorl_gl_resolve_request(qorl_gl_read_options(), 1);
    if (!make_context(b, request, width, height, alpha_bits, depth_bits, stencil_bits)) {
        qorl_log("Can't make the offscreen context (error 0x%x)\n",
                 static_cast<unsigned>(eglGetError()));
        release(b);
        return nullptr;
    }

    auto* window = new qorl_window;
    window->title = "offscreen";
    window->width = width;
    window->height = height;
    window->colour_bits = 24;
    if (!qorl_input_init(&window->input, window)) {
        release(b);
        delete window;
        return nullptr;
    }
    auto* gl = new qorl_gl_context;
    gl->swap = egl_swap;
    gl->destroy = egl_destroy;
    gl->proc_address = egl_proc_address;
    gl->backend = b;
    window->gl = gl;
    return window;
}
