// What the main button's press and release do besides the tools' own work: which tools
// take a height snapshot, where the smudge starts, which releases end a straight-line
// stroke, and that a press on a panel widget never reaches the map.
#include "flat_track_fixture.h"

#include <gtest/gtest.h>

using edtest::flat_track;

namespace {

// Heights changed since the last snapshot, as any edit leaves them.
void dirty_heights()
{
    track_terrain.heights[0] += 1;
    track_terrain.change_flags |= 4;
    editor_check_stale();
}

}  // namespace

TEST(PointerDispatch, SnapshotsSmudgeOriginAndLineStartByTool)
{
    bvtest::in_fresh_process([] {
        bvtest::Problems p;
        bvtest::TempDir root;
        flat_track f(root.path());
        for (int tool = 0; tool < 16; ++tool) {
            editor_state.tool = tool;
            dirty_heights();
            f.point_at(40, 44);
            editor_key(menu_keys.cursor_left, 1);
            const bool snapshot = tool <= 4;
            p.check(editor_state.snapshot_stale == !snapshot, "tool " + std::to_string(tool) + ": snapshot on press");
            if (tool == 3)
                p.check(editor_state.smudge_origin[0] == 40 && editor_state.smudge_origin[1] == 44,
                        "the smudge starts under the pointer");
            dirty_heights();
            editor_state.line_start[0] = 10;
            editor_key(menu_keys.cursor_left, 0);
            p.check(editor_state.snapshot_stale == !snapshot,
                    "tool " + std::to_string(tool) + ": snapshot on release");
            const bool ends_line = tool <= 3 || (tool >= 5 && tool <= 10) || tool == 14;
            p.check((editor_state.line_start[0] < 0) == ends_line,
                    "tool " + std::to_string(tool) + ": the release ends a straight stroke");
            p.check(editor_state.press_state == 0, "released");
            editor_state.line_start[0] = -1;
        }

        // A press on a widget stays with the widget while the pointer crosses a gate.
        editor_state.tool = 11;
        timing_gates.checkpoint_count = 1;
        timing_gates.checkpoints[0] = {64, 0, 64, 1, 0, 0, 10, 0};
        editor_widgets.dummy.rect = {0, 0, 100, 20};
        f.window.pointer_x = 50;
        f.window.pointer_y = 10;
        editor_key(menu_keys.cursor_left, 1);
        f.point_at(64, 64);
        editor_mouse();
        f.point_at(70, 70);
        editor_mouse();
        editor_key(menu_keys.cursor_left, 0);
        p.check(timing_gates.checkpoints[0].x == 64 && editor_state.selected_gate == -1,
                "a widget press never edits the map");
        return p.text;
    });
}
