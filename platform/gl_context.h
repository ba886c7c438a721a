// A window's GL context as the frame calls see it: a backend (GLX on the window, or EGL
// offscreen) behind three operations.
#pragma once
#include "platform/qorl_gl.h"

struct qorl_gl_context {
    int (*swap)(qorl_window* window);           // 1 when the buffers were swapped
    void (*destroy)(qorl_window* window);       // no context current, context deleted
    qorl_gl_proc (*proc_address)(const char* name);
    void* backend = nullptr;                    // the backend's own record
};

// Whole-word search in a space-separated extension list.
bool qorl_has_extension(const char* list, const char* name);
