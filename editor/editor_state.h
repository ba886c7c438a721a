// The track editor's one state record: the view over the map, the current tool, the
// selections, the gradients and the ring of height snapshots that undo steps back through.
#pragma once
#include "foundation/growable_array.h"

#include <cstdint>

struct qorl_window;
struct terrain_state;

constexpr int kEditorUndoLevels = 8;

struct editor_state_record {
    qorl_window* window;
    terrain_state* terrain;
    int initialised;

    float view_x;
    float view_z;
    int32_t tool;
    const char* status_text;
    char status_buffer[64];

    int32_t hovered_widget;
    int32_t hover_x;
    int32_t hover_y;
    int32_t press_state;        // 0 none, 1 main button on the map, widget | 0x10000
    int32_t press_ticks;
    int32_t pan_active;
    int32_t pan_last_x;
    int32_t pan_last_y;

    float line_start[2];        // x < 0: none
    float smudge_origin[2];
    int32_t drag_part;

    int32_t selected_gate;
    int32_t selected_gradient;
    int32_t selected_point;
    int32_t selected_billboard;
    int32_t copied_billboard;
    int32_t selected_statue;
    int32_t selected_decal;
    growable_array decal_selection;   // of int32_t
    growable_array gradients;         // of gradient

    float* undo_buffers[kEditorUndoLevels];
    int32_t undo_next;
    int32_t undo_levels;
    float* height_snapshot;
    int32_t snapshot_stale;
};

extern editor_state_record editor_state;

// The zoom level (the "Zoom" slider's value) and view_width = world size / 2^zoom.
double editor_zoom();
float editor_view_width();

// Sets the editor up for the freshly loaded terrain; the status goes to the state.
void editor_init(qorl_window* window, terrain_state* terrain);
// Frees the undo ring, the snapshot, the gradients and the decal selection. Harmless
// twice or before any init.
void editor_free();

// Records the heights as the stroke base, and as a new undo level unless the newest
// level holds them already.
void take_snapshot();
// Steps back one undo level (the backspace key).
void editor_undo();
// Each tick: heights changed since the last snapshot make it stale ("Update needed!").
void editor_check_stale();

// The world point under the pointer; returns view_width.
float screen_to_world(float* x, float* z);
float pick_radius();
float handle_distance();

// Installs the editor's entry points: track load and teardown, and the main loop's
// keys, per-tick pointer work, view drawing and freeing.
void editor_install();
