// The window's OpenGL context: the version and profile to ask for, opening the window with
// a current context (GLX), an offscreen context without any window system (EGL), the frame
// bracket that holds the window lock, and GL entry points by name.
#pragma once
#include "platform/qorl_window.h"

constexpr int QORL_PROFILE_ANY = 0;  // a compatibility desktop context
constexpr int QORL_PROFILE_CORE = 1;
constexpr int QORL_PROFILE_ES = 2;

// The defaults of the options "glmajor", "glminor", "glcore" (profile 1) and "gles"
// (profile 2) for the next open.
void qorl_gl_request_version(int major, int minor, int profile);

// As qorl_window_open (low byte of flags the colour bits, QORL_FULLSCREEN), with a current
// context made from the request above. Null when the window or the context cannot be made.
qorl_window* qorl_gl_open(const char* title, int width, int height, int flags, int alpha_bits,
                          int depth_bits, int stencil_bits, int accumulation_bits);

// A current context drawing into an offscreen buffer of width x height, for programs and
// tests that run where there is no display. The window has no events and never hides.
qorl_window* qorl_gl_open_offscreen(int width, int height, int alpha_bits, int depth_bits,
                                    int stencil_bits);

// Deletes the context and closes the window; null is ignored.
void qorl_gl_close(qorl_window* window);

// The drawable area, or null when there is no context, the window is hidden, busy or
// closing, or a frame is already open. On success the window mutex is held until
// qorl_end_frame.
qorl_frame* qorl_begin_frame(qorl_window* window);
// Swaps the buffers and releases the window mutex: 1, or 0 when the swap failed, the
// window has no context or no frame is open (then nothing is released).
int qorl_end_frame(qorl_window* window);

using qorl_gl_proc = void (*)();
// The entry point of the window's context. Beware: the window system answers for names it
// does not know too, so support is judged by GL_VERSION, not by a null result.
qorl_gl_proc qorl_gl_proc_address(qorl_window* window, const char* name);

// The options "gles", "glcore", "glmajor" and "glminor", defaulting to the stored request.
struct qorl_gl_options {
    int gles;
    int glcore;
    int major;
    int minor;
};
qorl_gl_options qorl_gl_read_options();

// What an open asks of the driver.
struct qorl_gl_request {
    int es;                  // an OpenGL ES context
    int core;                // desktop: core profile, else compatibility
    int forward_compatible;  // desktop core below 3.2, where profiles do not exist yet
    int major;
    int minor;
};

// es_available says whether the driver makes ES contexts at all: without it an ES request
// falls back to the desktop attributes.
qorl_gl_request qorl_gl_resolve_request(const qorl_gl_options& options, int es_available);
