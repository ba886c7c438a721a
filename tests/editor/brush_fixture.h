// A 65 x 65 ground 2 units apart (world size 128, two tiles) under the editor, seen at
// zoom 0 in a 512 x 512 window: 0.25 units per pixel, so "Radius" 32 is 8 units. The
// heights start as a seeded bumpy field, committed as the snapshot.
#pragma once
#include "editor/editor_state.h"
#include "editor/editor_widgets.h"
#include "platform/qorl_window.h"
#include "terrain/billboards.h"
#include "terrain/statues.h"
#include "terrain/terrain_state.h"

#include <cmath>
#include <random>
#include <vector>

namespace edtest {

struct brush_fixture {
    terrain_state terrain{};
    qorl_window window;
    explicit brush_fixture(int n = 5, float cell = 2.0f)
    {
        terrain_init(&terrain);
        terrain_alloc(&terrain, n, cell, 0.0f, 10.0f);
        terrain.tile_count = 2;
        std::mt19937 random(1234);
        std::uniform_real_distribution<float> jitter(-0.5f, 0.5f);
        const int size = terrain.size;
        for (int j = 0; j < size; ++j)
            for (int i = 0; i < size; ++i)
                terrain.heights[j * size + i] =
                    5.0f + 3.0f * std::sin(float(i) * 0.4f) * std::cos(float(j) * 0.3f) + jitter(random);
        window.width = 512;
        window.height = 512;
        statues_reset();
        billboards_reset();
        editor_widgets.zoom.value = 0;
        editor_widgets.radius.value = 32;
        editor_widgets.focus.value = 0.5;
        editor_widgets.strength.value = 0;
        editor_widgets.submode.selected = 0;
        editor_init(&window, &terrain);
        editor_widget_rects_clear();
        editor_state.view_x = editor_state.view_z = 64.0f;
    }
    ~brush_fixture()
    {
        editor_free();
        statues_free();
        billboards_free();
        terrain_free(&terrain);
    }
    // The heights as they are become the snapshot ("u" after a change).
    void commit()
    {
        terrain.change_flags = 7;
        editor_state.snapshot_stale = 1;
        take_snapshot();
    }
    std::vector<float> heights() const
    {
        return {terrain.heights, terrain.heights + size_t(terrain.size) * size_t(terrain.size)};
    }
    std::vector<float> snapshot() const
    {
        return {editor_state.height_snapshot,
                editor_state.height_snapshot + size_t(terrain.size) * size_t(terrain.size)};
    }
    // The pointer at pixel (px, py); returns the world point under it.
    void pointer(int px, int py, float* x = nullptr, float* z = nullptr)
    {
        window.pointer_x = px;
        window.pointer_y = py;
        float wx, wz;
        screen_to_world(&wx, &wz);
        if (x)
            *x = wx;
        if (z)
            *z = wz;
    }
    // The pointer over world point (x, z) (to the nearest pixel).
    void point_at(float x, float z)
    {
        pointer(256 + int(std::lround((x - editor_state.view_x) * 4.0f)),
                256 + int(std::lround((z - editor_state.view_z) * 4.0f)));
    }
};

}  // namespace edtest
