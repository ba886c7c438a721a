// The editor on Mesa: a fresh process on the built archives, an offscreen window of
// the program, a real track loaded in editor mode by the race reset, and frames drawn
// by the editor view, read back and saved under "<build>/editor_frames/".
#pragma once
#include "editor/editor_state.h"
#include "editor/editor_view.h"
#include "editor/editor_widgets.h"
#include "gfx/fonts.h"
#include "gfx/gl_layer.h"
#include "gfx/gl_startup.h"
#include "gfx/images.h"
#include "gfx/shaders.h"
#include "platform/qorl_gl.h"
#include "platform/qorl_window.h"
#include "race/program/hud_pictures.h"
#include "race/program/main_loop.h"
#include "race/program/projection.h"
#include "race/race_state.h"
#include "race/program/startup.h"
#include "race/track_load.h"
#include "sim/physics_world.h"
#include "support/fresh_process.h"
#include "support/test_support.h"
#include "terrain/terrain_textures.h"
#include "terrain/track_list.h"
#include "view/render_world.h"
#include "view/view_install.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace edmesa {

constexpr int kW = 640, kH = 480;

// RGB rows from the top.
struct Picture {
    int w = 0, h = 0;
    std::vector<uint8_t> rgb;
    std::array<int, 3> at(int x, int y) const
    {
        const uint8_t* p = &rgb[(size_t(y) * size_t(w) + size_t(x)) * 3];
        return {p[0], p[1], p[2]};
    }
    int brightness(int x, int y) const
    {
        const auto c = at(x, y);
        return c[0] + c[1] + c[2];
    }
    bool white(int x, int y) const
    {
        const auto c = at(x, y);
        return c[0] > 200 && c[1] > 200 && c[2] > 200;
    }
};

// The built archives as the process's folders, then the program's window offscreen
// with the graphics start-up; null without GL here.
inline qorl_window* open_window(const std::string& root)
{
    bvtest::use_built_data(root);
    qorl_window* window = qorl_gl_open_offscreen(kW, kH, 8, 24, 0);
    if (!window)
        return nullptr;
    gl_init(
        [](void* w, const char* name) {
            return reinterpret_cast<void*>(qorl_gl_proc_address(static_cast<qorl_window*>(w), name));
        },
        window);
    if (!gl_create_shaders() || !qorl_begin_frame(window))
        return nullptr;
    bvglEnable(GL_CULL_FACE);
    bvglPixelStorei(GL_PACK_ALIGNMENT, 1);
    bvglPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    program_window = window;
    graphics_defaults_load();
    view_width = kW;
    view_height = kH;
    return window;
}

inline qorl_window* open_window(const bvtest::TempDir& root)
{
    return open_window(root.path());
}

// A track of the built archives loaded in editor mode; "" or what went wrong.
inline std::string load_track(const std::string& root, const char* folder)
{
    view_install();
    editor_install();
    if (!physics_world_init())
        return "no physics world";
    scan_tracks();
    race_opts.editor = 1;
    race_requested_folder = folder;
    int32_t lineup[160] = {2};
    reset_race(lineup, 0, 0, 0, 3, 0);
    if (!track_folder) {
        const std::string log = bvtest::read_file(root + "/user/Brovanta/lastlog.txt");
        return std::string(folder) + " did not load: " + log.substr(log.size() > 1500 ? log.size() - 1500 : 0);
    }
    if (!font_main.texture)
        fonts_load();
    // Every ground texture drawn whole at each update, as a still picture needs.
    terrain_set_torture_test(1);
    return editor_state.initialised ? "" : "the editor did not start with the track";
}

// One editor frame, read back and saved as "<build>/editor_frames/<name>.png".
inline Picture frame(const std::string& name)
{
    set_projection(kW, kH, 60.0f);
    bvglClearColor(0.0f, 0.0f, 1.0f, 1.0f);
    editor_draw();
    Picture p;
    p.w = kW;
    p.h = kH;
    std::vector<uint8_t> rows(size_t(kW) * kH * 3);
    bvgl_read_pixels_rgb(0, 0, kW, kH, rows.data());
    p.rgb.resize(rows.size());
    for (int y = 0; y < kH; ++y)
        std::copy_n(&rows[size_t(kH - 1 - y) * kW * 3], size_t(kW) * 3, &p.rgb[size_t(y) * kW * 3]);
    std::filesystem::create_directories(BV_BUILD_DIR "/editor_frames");
    png_write_rgb((BV_BUILD_DIR "/editor_frames/" + name + ".png").c_str(), rows.data(), kW, kH);
    return p;
}

// A scenario in a fresh process on a track of the built archives in editor mode;
// nothing is checked where there is no GL.
inline void on_track(const char* folder, const std::function<std::string(const bvtest::TempDir&)>& scenario)
{
    bvtest::in_fresh_process([&] {
        bvtest::TempDir root;
        if (!open_window(root))
            return std::string();
        const std::string loaded = load_track(root.path(), folder);
        return loaded.empty() ? scenario(root) : loaded;
    });
}

inline void point_at(int x, int y)
{
    editor_state.window->pointer_x = x;
    editor_state.window->pointer_y = y;
}

// The pointer over world point (x, z) at the current view, to the nearest pixel.
inline void point_at_world(float x, float z)
{
    const float per = editor_view_width() / float(kH);
    point_at(kW / 2 + int(std::lround((x - editor_state.view_x) / per)),
             kH / 2 + int(std::lround((z - editor_state.view_z) / per)));
}

// A tool picked as its button picks it: a change of tool keeps the heights first.
inline void choose_tool(int tool)
{
    if (tool != editor_state.tool)
        take_snapshot();
    editor_state.tool = tool;
}

}  // namespace edmesa
