// The editor over a copy of "tracks/flat" (65 x 65 points 2 ft apart, world size 128)
// in a 512-pixel square window at zoom 0: 0.25 ft per pixel, the view centred on the
// map. A "decals" file written into the copy gives the decal tool something to hold.
// Textures are named "a", "b", ... and get ids 1, 2, ...
#pragma once
#include "editor/editor_keys.h"
#include "editor/editor_state.h"
#include "editor/editor_widgets.h"
#include "gfx/fake_gl.h"
#include "foundation/index/file_index.h"
#include "platform/qorl_window.h"
#include "race/program/controls.h"
#include "support/console_capture.h"
#include "support/fresh_process.h"
#include "support/test_support.h"
#include "terrain/billboards.h"
#include "terrain/decals.h"
#include "terrain/statues.h"
#include "terrain/terrain_files.h"
#include "terrain/terrain_state.h"
#include "terrain/timing_gates.h"
#include "terrain/track_list.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace edtest {

inline uint32_t letter_texture(const char* name)
{
    return name && name[0] >= 'a' && name[0] <= 'z' ? uint32_t(name[0] - 'a' + 1) : 0;
}

struct flat_track {
    qorl_window window;

    // In a fresh process: the built data, the flat track with decals_text as its
    // "decals" file, and the editor opened on it.
    // With real_textures, images load by name into a GL table that draws nothing, so
    // that a save can name the decals' textures.
    explicit flat_track(const std::string& root, const std::string& decals_text = "", bool real_textures = false)
    {
        bvtest::use_built_data(root);
        if (!decals_text.empty())
            bvtest::write_file(root + "/user/Brovanta/tracks/flat/decals", decals_text);
        menu_keys = {300, 301, 302, 303, 304, 305, 306, 307, 400, 401, 308, 309, 310};
        file_index_list();   // the archives are read through the index, built here
        track_folder = strdup("tracks/flat");
        terrain_remember_folder("tracks/flat");
        if (real_textures)
            fakegl::install();
        else
            track_loaders.texture_load = letter_texture;
        terrain_init(&track_terrain);
        uint8_t digest[20];
        track_terrain.tile_count = 2;
        if (!terrain_read_heights(&track_terrain, "tracks/flat", digest))
            fprintf(stderr, "the flat track's heights did not read: %s\n", bvtest::console_log_text().c_str());
        terrain_read_tilemap(&track_terrain, "tracks/flat");
        terrain_decals_alloc(&track_terrain);
        terrain_read_decals(&track_terrain, "tracks/flat", track_loaders.texture_load);
        statues_reset();
        billboards_reset();
        timing_gates.checkpoint_count = 0;
        window.width = 512;
        window.height = 512;
        editor_widgets.zoom.value = 0;
        editor_init(&window, &track_terrain);
        editor_widget_rects_clear();
    }
    ~flat_track()
    {
        editor_free();
        statues_free();
        billboards_free();
        terrain_free(&track_terrain);
    }
    // The track's gates (with their start-gate statues), billboards after a few
    // particles, and statues, read in the order a track load reads them; no models.
    void load_objects()
    {
        track_loaders.model_get = [](const char*) -> model* { return nullptr; };
        timing_gates_read("@tracks/flat/timing_gates");
        for (int k = 0; k < 3; ++k)
            create_billboard(0, 0, 0, 1, 1, nullptr);
        first_track_statue = statue_count();
        first_track_billboard = billboard_count();
        billboards_read("@tracks/flat/billboards");
        statues_read("@tracks/flat/statues");
    }
    // The pointer over world point (x, z), to the nearest pixel.
    void point_at(float x, float z)
    {
        const float per_pixel = editor_view_width() / float(window.height.load());
        window.pointer_x = window.width / 2 + int(std::lround((x - editor_state.view_x) / per_pixel));
        window.pointer_y = window.height / 2 + int(std::lround((z - editor_state.view_z) / per_pixel));
    }
    // A main-button stroke: a press at the first point, then one tick at each point
    // (the first included), then the release.
    void stroke(const std::vector<std::pair<float, float>>& path)
    {
        point_at(path.front().first, path.front().second);
        editor_key(menu_keys.cursor_left, 1);
        for (const auto& [x, z] : path) {
            point_at(x, z);
            editor_mouse();
        }
        editor_key(menu_keys.cursor_left, 0);
    }
    void click(float x, float z) { stroke({{x, z}}); }
    // A press at (x0, z0); change() while the button is down, then one tick at (x1, z1)
    // and the release.
    void press_change_move(float x0, float z0, const std::function<void()>& change, float x1, float z1)
    {
        point_at(x0, z0);
        editor_key(menu_keys.cursor_left, 1);
        change();
        point_at(x1, z1);
        editor_mouse();
        editor_key(menu_keys.cursor_left, 0);
    }
    void key_at(int code, float x, float z)
    {
        point_at(x, z);
        editor_key(code, 1);
    }
};

}  // namespace edtest
