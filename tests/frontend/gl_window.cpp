#include "gl_window.h"

#include "frontend/progress_screen.h"
#include "gfx/gl_layer.h"
#include "gfx/gl_startup.h"
#include "gfx/shaders.h"
#include "platform/qorl_gl.h"
#include "race/program/hud_pictures.h"
#include "race/program/projection.h"
#include "race/program/startup.h"

namespace fronttest {

std::vector<Frame> frames;

namespace {

void* entry_point(void* window, const char* name)
{
    return reinterpret_cast<void*>(qorl_gl_proc_address(static_cast<qorl_window*>(window), name));
}

void keep_frame(const char* message)
{
    Frame f = read_frame();
    f.message = message ? message : "";
    frames.push_back(std::move(f));
}

}  // namespace

Rgba Frame::at(int x, int y) const
{
    const size_t i = (size_t(h - 1 - y) * size_t(w) + size_t(x)) * 4;
    return {rgba[i], rgba[i + 1], rgba[i + 2], rgba[i + 3]};
}

std::vector<uint8_t> Frame::rgb() const
{
    std::vector<uint8_t> out;
    for (size_t i = 0; i < rgba.size(); i += 4)
        out.insert(out.end(), {rgba[i], rgba[i + 1], rgba[i + 2]});
    return out;
}

Frame read_frame()
{
    Frame f;
    f.w = program_window ? program_window->frame.width : 0;
    f.h = program_window ? program_window->frame.height : 0;
    f.rgba.resize(size_t(f.w) * size_t(f.h) * 4);
    bvglReadPixels(0, 0, f.w, f.h, GL_RGBA, GL_UNSIGNED_BYTE, f.rgba.data());
    return f;
}

Frame draw_over_grey(const std::function<void()>& draw)
{
    qorl_frame* frame = program_window ? qorl_begin_frame(program_window) : nullptr;
    if (!frame)
        return {};
    set_projection(frame->width, frame->height, 110);
    bvglClearColor(0.5f, 0.5f, 0.5f, 1);
    bvglClear(GL_COLOR_BUFFER_BIT);
    bvglDisable(GL_DEPTH_TEST);
    draw();
    Frame f = read_frame();
    qorl_end_frame(program_window);
    return f;
}

void GlWindowTest::SetUp()
{
    frames.clear();
    progress_screen_reset_state();
    open(640, 480);
}

void GlWindowTest::open(int w, int h, bool es)
{
    if (window) {
        graphics_free();
        gl_delete_programs();
        qorl_gl_close(window);
    }
    if (es)
        qorl_gl_request_version(3, 0, QORL_PROFILE_ES);
    window = qorl_gl_open_offscreen(w, h, 0, 16, 0);
    qorl_gl_request_version(3, 1, QORL_PROFILE_CORE);
    if (!window)
        GTEST_SKIP() << "no offscreen GL window";
    gl_init(entry_point, window);
    ASSERT_TRUE(gl_create_shaders());
    ASSERT_TRUE(qorl_begin_frame(window));
    graphics_defaults_load();
    bvglFlush();
    qorl_end_frame(window);
    program_window = window;
    progress_frame_observer = keep_frame;
}

void GlWindowTest::TearDown()
{
    progress_frame_observer = nullptr;
    program_window = nullptr;
    if (window) {
        graphics_free();
        gl_delete_programs();
        qorl_gl_close(window);
        window = nullptr;
    }
}

}  // namespace fronttest
