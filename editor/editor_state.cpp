#include "editor/editor_state.h"

#include "editor/edinfo.h"
#include "editor/editor_keys.h"
#include "editor/editor_view.h"
#include "editor/editor_widgets.h"
#include "editor/gradients.h"
#include "foundation/memory.h"
#include "platform/qorl_window.h"
#include "race/program/program_hooks.h"
#include "race/race_hooks.h"
#include "race/program/startup.h"
#include "terrain/terrain_deform.h"
#include "terrain/terrain_state.h"
#include "terrain/track_list.h"

#include <algorithm>
#include <cmath>
#include <cstring>

editor_state_record editor_state;

double editor_zoom()
{
    return editor_widgets.zoom.value;
}

float editor_view_width()
{
    if (!editor_state.terrain)
        return 0.0f;
    return float(editor_state.terrain->world_size / std::exp2(editor_zoom()));
}

namespace {

size_t grid_bytes()
{
    const size_t n = size_t(editor_state.terrain->size);
    return n * n * sizeof(float);
}

}  // namespace

void editor_init(qorl_window* window, terrain_state* terrain)
{
    editor_free();
    editor_state_record& s = editor_state;
    s.press_state = 0;
    s.pan_active = 0;
    s.press_ticks = 0;
    s.line_start[0] = s.line_start[1] = -1.0f;
    s.tool = 0;
    s.selected_gate = -1;
    s.selected_gradient = -1;
    s.selected_point = -1;
    s.selected_billboard = 0;
    s.copied_billboard = -1;
    s.selected_statue = 0;
    s.selected_decal = 0;
    s.drag_part = 0;
    s.hovered_widget = -1;
    s.hover_x = s.hover_y = INT32_MIN;
    s.window = window;
    s.terrain = terrain;

    s.view_x = s.view_z = terrain->world_size * 0.5f;

    array_init(&s.gradients, int32_t(sizeof(gradient)));
    array_init(&s.decal_selection, int32_t(sizeof(int32_t)));

    for (float*& buffer : s.undo_buffers)
        buffer = static_cast<float*>(xmalloc(grid_bytes()));
    s.height_snapshot = static_cast<float*>(xmalloc(grid_bytes()));
    s.undo_next = 0;
    s.undo_levels = 0;
    s.snapshot_stale = 1;
    s.initialised = 1;

    take_snapshot();
    editor_widgets.tile.max = std::max(terrain->tile_count - 1, 0);
    edinfo_read();
    terrain->change_flags = 0;
    s.status_text = "OK";
}

void editor_free()
{
    editor_state_record& s = editor_state;
    mem_free(s.height_snapshot);
    s.height_snapshot = nullptr;
    for (float*& buffer : s.undo_buffers) {
        mem_free(buffer);
        buffer = nullptr;
    }
    gradients_clear();
    array_free(&s.gradients);
    array_free(&s.decal_selection);
    s.undo_levels = 0;
    s.undo_next = 0;
    s.initialised = 0;
}

void take_snapshot()
{
    editor_state_record& s = editor_state;
    s.status_text = "OK";
    if (!s.snapshot_stale || !s.initialised)
        return;
    s.snapshot_stale = 0;
    memcpy(s.height_snapshot, s.terrain->heights, grid_bytes());
    s.terrain->change_flags &= ~4;
    // Object edits mark the heights changed too; a copy of the newest level would make
    // the next undo step back to where it already is.
    const float* newest = s.undo_buffers[(s.undo_next + kEditorUndoLevels - 1) % kEditorUndoLevels];
    if (s.undo_levels > 0 && memcmp(newest, s.terrain->heights, grid_bytes()) == 0)
        return;
    memcpy(s.undo_buffers[s.undo_next], s.terrain->heights, grid_bytes());
    s.undo_next = (s.undo_next + 1) % kEditorUndoLevels;
    s.undo_levels = std::min(s.undo_levels + 1, kEditorUndoLevels);
}

void editor_undo()
{
    editor_state_record& s = editor_state;
    if (!s.initialised || s.terrain->edit_lock)
        return;
    take_snapshot();
    if (s.undo_levels < 2) {
        s.status_text = "No more undo levels!";
        return;
    }
    s.snapshot_stale = 0;
    s.undo_levels -= 1;
    s.undo_next = (s.undo_next + kEditorUndoLevels - 1) % kEditorUndoLevels;
    const float* slot = s.undo_buffers[(s.undo_next + kEditorUndoLevels - 1) % kEditorUndoLevels];
    memcpy(s.height_snapshot, slot, grid_bytes());
    memcpy(s.terrain->heights, slot, grid_bytes());
    s.terrain->height_change_count += 1;
    // Unsaved but not stale: the snapshot already holds these heights.
    s.terrain->change_flags |= 3;
    terrain_mark_blocks_dirty(s.terrain, 0, 0, s.terrain->size, s.terrain->size);
    s.status_text = "Undo!";
}

void editor_check_stale()
{
    editor_state_record& s = editor_state;
    if (!s.initialised)
        return;
    if ((s.terrain->change_flags & 4) && !s.snapshot_stale) {
        s.snapshot_stale = 1;
        s.status_text = "Update needed!";
    }
}

float screen_to_world(float* x, float* z)
{
    const editor_state_record& s = editor_state;
    const float width = editor_view_width();
    const int32_t w = s.window ? s.window->width.load() : 0;
    const int32_t h = s.window ? s.window->height.load() : 0;
    const int32_t px = s.window ? s.window->pointer_x.load() : 0;
    const int32_t py = s.window ? s.window->pointer_y.load() : 0;
    const float height = float(std::max(h, 1));
    *x = s.view_x + (float(px - w / 2) / height) * width;
    *z = s.view_z + (float(py - h / 2) / height) * width;
    return width;
}

float pick_radius()
{
    return 0.5f * std::max(editor_view_width() * 0.01f, 1.0f);
}

float handle_distance()
{
    return 4.0f * std::max(editor_view_width() * 0.01f, 1.0f);
}

void editor_install()
{
    race_hooks.editor_init = [] { editor_init(program_window, &track_terrain); };
    race_hooks.editor_leave = editor_free;
    program_hooks.editor_key = editor_key;
    program_hooks.editor_mouse = editor_mouse;
    program_hooks.editor_draw = editor_draw;
    program_hooks.editor_free = editor_free;
}
