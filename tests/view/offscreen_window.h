#pragma once
#include "gfx/gl_layer.h"
#include "gfx/gl_startup.h"
#include "gfx/shaders.h"
#include "platform/qorl_gl.h"
#include "view/render_world.h"

#include <string>

// The program's own offscreen window: a colour and depth buffer of the test's size
// that the world is drawn into (the ground-texture passes bind the window's frame
// buffer back when they finish), with the graphics start-up on its context.
struct OffscreenWindow {
    qorl_window* window = nullptr;
    std::string failure;
    OffscreenWindow(int width, int height)
    {
        window = qorl_gl_open_offscreen(width, height, 8, 24, 0);
        if (!window) {
            failure = "no offscreen context";
            return;
        }
        gl_init(
            [](void* w, const char* name) {
                return reinterpret_cast<void*>(qorl_gl_proc_address(static_cast<qorl_window*>(w), name));
            },
            window);
        if (!gl_create_shaders())
            failure = "the shaders do not build";
        bvglEnable(GL_CULL_FACE);
        bvglPixelStorei(GL_PACK_ALIGNMENT, 1);
        bvglPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        view_width = width;
        view_height = height;
    }
};

