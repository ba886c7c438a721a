// The editor's panel: the tool buttons, option widgets and their values, which live
// for the whole run (a track reload keeps them, except the "Tile" maximum).
#pragma once
#include "frontend/ui_widgets.h"

constexpr int kEditorTools = 16;
constexpr int kEditorWidgetRects = 41;

enum editor_widget_index {
    w_submode = 16, w_save, w_zoom, w_strength, w_focus, w_radius, w_spacing, w_height,
    w_new_gradient, w_copy_gradient, w_segment_type, w_granularity, w_set_from_terrain,
    w_flatten, w_set_switch, w_clear_switch, w_tile, w_show_wireframe, w_show_collidable,
    w_snap_to_gradient, w_decal_spacing, w_orientation, w_hide_different, w_level, w_dummy
};

extern const char* const editor_tool_names[kEditorTools];

struct editor_widget_set {
    ui_button tools[kEditorTools];
    ui_choice submode;
    ui_button save;
    ui_slider zoom;
    ui_slider strength;
    ui_slider focus;
    ui_slider radius;
    ui_slider spacing;
    ui_slider height;
    ui_button new_gradient;
    ui_button copy_gradient;
    ui_choice segment_type;
    ui_slider granularity;
    ui_button set_from_terrain;
    ui_button flatten;
    ui_button set_switch;
    ui_button clear_switch;
    ui_slider tile;
    ui_choice show_wireframe;
    ui_choice show_collidable;
    ui_button snap_to_gradient;
    ui_slider decal_spacing;
    ui_choice orientation;
    ui_choice hide_different;
    ui_choice level;
    ui_button dummy;
};

extern editor_widget_set editor_widgets;
// The hit-test list in index order, null-terminated.
extern const ui_rect* editor_widget_rects[kEditorWidgetRects + 1];
// Every widget's rect back to (-1, -1, -1, -1).
void editor_widget_rects_clear();
