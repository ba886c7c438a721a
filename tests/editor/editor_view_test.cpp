// What the view computes without drawing: the switch-point text of a gate, the tile
// preview's cell in the atlas, and the capped walks along long spans.
#include "editor/editor_overlays.h"
#include "editor/editor_state.h"
#include "editor/editor_view.h"
#include "editor/gradients.h"
#include "foundation/growable_array.h"
#include "platform/qorl_window.h"
#include "support/fresh_process.h"
#include "support/test_support.h"
#include "terrain/terrain_state.h"
#include "terrain/timing_gates.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

void lap_lists(std::initializer_list<int32_t> first, std::initializer_list<int32_t> normal)
{
    timing_gates.firstlap_length = int32_t(first.size());
    timing_gates.normallap_length = int32_t(normal.size());
    int32_t* e = timing_gates.lap_entries;
    for (int32_t v : first)
        *e++ = v;
    for (int32_t v : normal)
        *e++ = v;
}

}  // namespace

TEST(EditorView, SwitchPointTextOverBothLapLists)
{
    const timing_gates_state kept = timing_gates;
    struct {
        std::initializer_list<int32_t> first, normal;
        int32_t gate;
        const char* text;
    } cases[] = {
        {{0, 1, 2}, {1, 2}, 1, "Switch Point: Yes"},
        {{0, 100001, 2}, {100001, 2}, 1, "Switch Point: No"},
        {{0, 1, 2}, {100001, 2}, 1, "Switch Point: Mixed"},
        {{0, 2}, {2, 0}, 1, "Gate not referenced"},
        {{}, {}, 0, "Gate not referenced"},
        {{99999, 0}, {99999}, -1, "Gate not referenced"},
    };
    for (const auto& c : cases) {
        lap_lists(c.first, c.normal);
        EXPECT_STREQ(switch_point_text(c.gate), c.text) << "gate " << c.gate;
    }
    timing_gates = kept;
}

TEST(EditorView, TilePreviewCellsAndCappedWalks)
{
    float uv[4];
    tile_preview_coords(3, 2, uv);   // 2 x 2 atlas, tile 2 in the second row
    EXPECT_FLOAT_EQ(uv[0], 0.0625f / 2);
    EXPECT_FLOAT_EQ(uv[1], 1.0625f / 2);
    EXPECT_FLOAT_EQ(uv[2], 0.9375f / 2);
    EXPECT_FLOAT_EQ(uv[3], 1.9375f / 2);
    tile_preview_coords(1, 0, uv);   // one tile: the whole atlas, inset
    EXPECT_FLOAT_EQ(uv[0], 0.0625f);
    EXPECT_FLOAT_EQ(uv[1], 0.0625f);
    EXPECT_FLOAT_EQ(uv[2], 0.9375f);
    EXPECT_FLOAT_EQ(uv[3], 0.9375f);
    tile_preview_coords(5, 0, uv);   // 4 x 4 cells once more than four tiles
    EXPECT_FLOAT_EQ(uv[2], 0.9375f / 4);

    float step = 0.25f;
    EXPECT_EQ(overlay_steps(10.0f, &step), 40);
    EXPECT_EQ(step, 0.25f);
    step = 0.25f;
    EXPECT_EQ(overlay_steps(1e9f, &step), 4096);   // past 2^22 a float step stops moving
    EXPECT_FLOAT_EQ(step, 1e9f / 4096);
    for (float bad : {0.0f, -3.0f, INFINITY, NAN}) {
        step = 0.25f;
        EXPECT_EQ(overlay_steps(bad, &step), 0) << bad;
    }
}

// In this process (not a fresh one) so that the leak checker of the sanitizer build
// sees whatever a cycle leaves behind.
TEST(EditorLifecycle, FreeTwiceWithoutInitAndThreeCyclesLeaveNothing)
{
    bvtest::TempDir root;
    bvtest::make_dirs(root / "user");
    bvtest::use_folders(root / "user", root / "user");
    editor_free();   // before any init
    qorl_window window;
    window.width = 320;
    window.height = 240;
    terrain_state terrain{};
    terrain_init(&terrain);
    terrain_alloc(&terrain, 2, 8.0f, 0.0f, 10.0f);
    for (int cycle = 0; cycle < 3; ++cycle) {
        editor_init(&window, &terrain);
        EXPECT_EQ(editor_state.undo_levels, 1);
        EXPECT_EQ(gradient_count(), 0);
        gradient_new();
        gradient_copy();
        gradient_push_point(selected_gradient_record(), 60.0f, 2.0f, 1);
        const int32_t index = 3;
        array_push(&editor_state.decal_selection, &index);
        terrain.heights[0] += 1.0f;
        terrain.change_flags = 7;
        editor_check_stale();
        take_snapshot();
        editor_free();
        editor_free();
        EXPECT_EQ(editor_state.height_snapshot, nullptr);
        EXPECT_EQ(editor_state.gradients.items, nullptr);
    }
    terrain_free(&terrain);
}
