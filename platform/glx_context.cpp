// The window's GL context through GLX. On X the framebuffer configuration fixes the
// window's visual, so it is chosen before the window exists. Then a first plain context,
// and from it a context of the requested version and profile made with
// glXCreateContextAttribsARB, whose refusals arrive as X errors and are trapped.
#include "platform/gl_context.h"
#include "platform/gl_driver_pin.h"
#include "platform/qorl_log.h"
#include "platform/x11_native.h"

#include <GL/glx.h>
#include <GL/glxext.h>

namespace {

struct glx_backend {
    Display* display;
    Window window;
    GLXContext context;
};

glx_backend* backend_of(qorl_window* window)
{
    return static_cast<glx_backend*>(window->gl->backend);
}

// A swap fails when the server refuses it (an X error, such as a window destroyed
// behind the program's back) or when the connection to the server is gone.
int glx_swap(qorl_window* window)
{
    glx_backend* b = backend_of(window);
    if (window->native->gl_lost)
        return 0;
    x11_io_guard guard;
    int error = 0;
    {
        x11_error_trap trap(b->display);
        glXSwapBuffers(b->display, b->window);
        error = trap.sync();
    }
    if (guard.lost()) {
        window->native->gl_lost = true;
        return 0;
    }
    if (error != 0)
        qorl_log("Buffer swap failed (X error %d)\n", error);
    return error == 0 ? 1 : 0;
}

void glx_destroy(qorl_window* window)
{
    glx_backend* b = backend_of(window);
    x11_io_guard guard;  // a lost connection only has nothing left to release
    glXMakeCurrent(b->display, None, nullptr);
    glXDestroyContext(b->display, b->context);
    delete b;
    window->gl->backend = nullptr;
}

qorl_gl_proc glx_proc_address(const char* name)
{
    return glXGetProcAddressARB(reinterpret_cast<const GLubyte*>(name));
}

// Colour bits 32 are asked as 24; 16 as 5-6-5; the sizes are minimums.
void colour_sizes(int colour_bits, int* red, int* green, int* blue)
{
    if (colour_bits == 32)
        colour_bits = 24;
    if (colour_bits >= 24) {
        *red = *green = *blue = 8;
    } else if (colour_bits >= 16) {
        *red = 5;
        *green = 6;
        *blue = 5;
    } else {
        *red = *green = *blue = colour_bits / 3;
    }
}

// The best matching configuration, preferring the screen's own depth.
GLXFBConfig choose_config(Display* display, int colour_bits, int alpha, int depth, int stencil,
                          int accumulation, int* config_id)
{
    int red = 0, green = 0, blue = 0;
    colour_sizes(colour_bits, &red, &green, &blue);
    int accum = accumulation > 0 ? (accumulation + 3) / 4 : 0;
    const int attributes[] = {GLX_X_RENDERABLE, True, GLX_DRAWABLE_TYPE, GLX_WINDOW_BIT,
                              GLX_RENDER_TYPE, GLX_RGBA_BIT, GLX_X_VISUAL_TYPE, GLX_TRUE_COLOR,
                              GLX_DOUBLEBUFFER, True, GLX_RED_SIZE, red, GLX_GREEN_SIZE, green,
                              GLX_BLUE_SIZE, blue, GLX_ALPHA_SIZE, alpha, GLX_DEPTH_SIZE, depth,
                              GLX_STENCIL_SIZE, stencil, GLX_ACCUM_RED_SIZE, accum,
                              GLX_ACCUM_GREEN_SIZE, accum, GLX_ACCUM_BLUE_SIZE, accum,
                              GLX_ACCUM_ALPHA_SIZE, alpha > 0 ? accum : 0, None};
    int screen = DefaultScreen(display);
    int count = 0;
    GLXFBConfig* configs = glXChooseFBConfig(display, screen, attributes, &count);
    if (!configs)
        return nullptr;
    GLXFBConfig chosen = nullptr;
    for (int pass = 0; pass < 2 && !chosen; ++pass) {
        for (int i = 0; i < count && !chosen; ++i) {
            XVisualInfo* visual = glXGetVisualFromFBConfig(display, configs[i]);
            if (!visual)
                continue;
            if (pass == 1 || visual->depth == DefaultDepth(display, screen))
                chosen = configs[i];
            XFree(visual);
        }
    }
    XFree(configs);
    if (chosen)
        glXGetFBConfigAttrib(display, chosen, GLX_FBCONFIG_ID, config_id);
    return chosen;
}

GLXContext create_with_attributes(Display* display, GLXFBConfig config,
                                  PFNGLXCREATECONTEXTATTRIBSARBPROC create,
                                  const qorl_gl_request& request)
{
    int profile = GLX_CONTEXT_COMPATIBILITY_PROFILE_BIT_ARB;
    if (request.es)
        profile = GLX_CONTEXT_ES2_PROFILE_BIT_EXT;
    else if (request.core)
        profile = GLX_CONTEXT_CORE_PROFILE_BIT_ARB;
    const int attributes[] = {GLX_CONTEXT_MAJOR_VERSION_ARB, request.major,
                              GLX_CONTEXT_MINOR_VERSION_ARB, request.minor,
                              GLX_CONTEXT_PROFILE_MASK_ARB, profile,
                              GLX_CONTEXT_FLAGS_ARB,
                              request.forward_compatible ? GLX_CONTEXT_FORWARD_COMPATIBLE_BIT_ARB : 0,
                              None};
    x11_error_trap trap(display);
    GLXContext context = create(display, config, nullptr, True, attributes);
    if (trap.sync() != 0 && context) {
        glXDestroyContext(display, context);
        context = nullptr;
    }
    return context;
}

}  // namespace

qorl_window* qorl_gl_open(const char* title, int width, int height, int flags, int alpha_bits,
                          int depth_bits, int stencil_bits, int accumulation_bits)
{
    Display* display = x11_open_display();
    if (!display)
        return nullptr;
    qorl_log("Choosing pixel format\n");
    int config_id = 0;
    GLXFBConfig config = choose_config(display, flags & 0xFF, alpha_bits, depth_bits, stencil_bits,
                                       accumulation_bits, &config_id);
    if (!config) {
        qorl_log("No suitable pixel formats found\n");
        XCloseDisplay(display);
        return nullptr;
    }
    qorl_log("Setting pixel format %d\n", config_id);
    XVisualInfo* visual = glXGetVisualFromFBConfig(display, config);
    VisualID visual_id = visual->visualid;
    XFree(visual);

    qorl_window* window = x11_window_open(title, width, height, flags, display, visual_id);
    if (!window)
        return nullptr;  // the window closed the connection
    Window handle = window->native->handle;
    auto fail = [&](const char* message) -> qorl_window* {
        qorl_log("%s", message);
        qorl_window_close(window);
        return nullptr;
    };

    qorl_log("Creating OpenGL context\n");
    GLXContext first = nullptr;
    {
        x11_error_trap trap(display);
        first = glXCreateNewContext(display, config, GLX_RGBA_TYPE, nullptr, True);
        if (first && (trap.sync() != 0 || !glXMakeCurrent(display, handle, first))) {
            glXDestroyContext(display, first);
            first = nullptr;
        }
    }
    if (!first)
        return fail("Couldn't create OpenGL context\n");
    qorl_gl_pin_driver_libraries();

    const char* extensions = glXQueryExtensionsString(display, DefaultScreen(display));
    if (!extensions)
        extensions = "";
    PFNGLXCREATECONTEXTATTRIBSARBPROC create = nullptr;
    if (qorl_has_extension(extensions, "GLX_ARB_create_context"))
        create = reinterpret_cast<PFNGLXCREATECONTEXTATTRIBSARBPROC>(
            glx_proc_address("glXCreateContextAttribsARB"));
    qorl_gl_options options = qorl_gl_read_options();
    qorl_log("GLX extensions: %s\n", extensions);
    bool es_available = qorl_has_extension(extensions, "GLX_EXT_create_context_es2_profile") ||
                        qorl_has_extension(extensions, "GLX_EXT_create_context_es_profile");
    if (options.gles && !es_available)
        qorl_log("Can't create OpenGL ES context without GLX_EXT_create_context_es2_profile\n");
    qorl_gl_request request = qorl_gl_resolve_request(options, es_available);

    GLXContext context = first;
    if (!create) {
        qorl_log("glXCreateContextAttribsARB not found - settling for default OpenGL context\n");
    } else {
        qorl_log("Bootstrapping to glXCreateContextAttribsARB context\n");
        glXMakeCurrent(display, None, nullptr);
        glXDestroyContext(display, first);
        context = create_with_attributes(display, config, create, request);
        if (!context)
            return fail("Couldn't create OpenGL context with attributes\n");
        if (!glXMakeCurrent(display, handle, context)) {
            glXDestroyContext(display, context);
            return fail("Couldn't make the OpenGL context current\n");
        }
    }

    auto* gl = new qorl_gl_context;
    gl->swap = glx_swap;
    gl->destroy = glx_destroy;
    gl->proc_address = glx_proc_address;
    gl->backend = new glx_backend{display, handle, context};
    window->gl = gl;
    return window;
}
