// The frame bracket. A successful begin holds the window mutex until the end's buffer
// swap, so the message thread cannot resize or switch the window under a frame; the
// frame-open flag keeps an unmatched end from unlocking a mutex that is not held.
#include "platform/gl_context.h"
#include "platform/qorl_log.h"
#include "platform/x11_native.h"

namespace {

bool hidden(const qorl_window* window)
{
    const qorl_x11_window* x = window->native;
    return x && (!x->mapped || x->obscured);
}

}  // namespace

qorl_frame* qorl_begin_frame(qorl_window* window)
{
    if (!window || !window->gl || window->frame_open || window->close_flag || hidden(window))
        return nullptr;
    window->window_mutex.lock();
    if (window->busy) {
        window->window_mutex.unlock();
        return nullptr;
    }
    window->frame = {0, 0, window->width, window->height};
    window->frame_open = true;
    return &window->frame;
}

int qorl_end_frame(qorl_window* window)
{
    if (!window || !window->gl || !window->frame_open)
        return 0;
    int swapped = window->gl->swap(window);
    window->frame_open = false;
    window->window_mutex.unlock();
    return swapped;
}

qorl_gl_proc qorl_gl_proc_address(qorl_window* window, const char* name)
{
    if (!window || !window->gl || !name)
        return nullptr;
    return window->gl->proc_address(name);
}

void qorl_gl_close(qorl_window* window)
{
    if (!window)
        return;
    if (window->gl) {
        if (window->frame_open) {
            window->frame_open = false;
            window->window_mutex.unlock();
        }
        qorl_log("Deleting OpenGL context\n");
        window->gl->destroy(window);
        delete window->gl;
        window->gl = nullptr;
    }
    qorl_window_close(window);
}
