#include "editor/editor_keys.h"

#include "editor/decal_tool.h"
#include "editor/editor_commands.h"
#include "editor/editor_state.h"
#include "editor/editor_widgets.h"
#include "editor/gradient_tools.h"
#include "editor/gradients.h"
#include "editor/pov_export.h"
#include "platform/qorl_window.h"
#include "race/program/controls.h"
#include "terrain/billboards.h"
#include "terrain/terrain_queries.h"
#include "terrain/terrain_state.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

constexpr int32_t kWidgetHeld = 0x10000;

int32_t pointer_px()
{
    return editor_state.window ? editor_state.window->pointer_x.load() : 0;
}

int32_t pointer_py()
{
    return editor_state.window ? editor_state.window->pointer_y.load() : 0;
}

void update_hover()
{
    const int32_t px = pointer_px(), py = pointer_py();
    if (px == editor_state.hover_x && py == editor_state.hover_y)
        return;
    editor_state.hover_x = px;
    editor_state.hover_y = py;
    editor_state.hovered_widget = -1;
    for (int i = 0; i < kEditorWidgetRects; ++i) {
        const ui_rect* r = editor_widget_rects[i];
        if (r->x0 < px && px < r->x1 && r->y0 < py && py < r->y1) {
            editor_state.hovered_widget = i;
            return;
        }
    }
}

void select_tool(int tool)
{
    if (tool != editor_state.tool)
        take_snapshot();
    editor_state.tool = tool;
}

void main_button(int pressed)
{
    if (pressed) {
        editor_state.press_ticks = 0;
        if (editor_state.hovered_widget >= 0) {
            editor_state.press_state = editor_state.hovered_widget | kWidgetHeld;
            editor_widget_input(menu_keys.cursor_left);
        } else {
            editor_state.press_state = 1;
            editor_map_press();
        }
        return;
    }
    if (editor_state.press_state == 1)
        editor_map_release();
    editor_state.press_state = 0;
}

void toggle_line_start()
{
    const int t = editor_state.tool;
    if (!((t >= 0 && t <= 3) || (t >= 5 && t <= 10) || t == 14))
        return;
    if (editor_state.line_start[0] < 0) {
        screen_to_world(&editor_state.line_start[0], &editor_state.line_start[1]);
    } else {
        editor_state.line_start[0] = editor_state.line_start[1] = -1.0f;
    }
}

// The command keys; 0 when the code is none of them.
int command(int32_t code)
{
    const float quarter = editor_view_width() / 4.0f;
    ui_slider& strength = editor_widgets.strength;
    if (code == menu_keys.left)
        editor_state.view_x -= quarter;
    else if (code == menu_keys.right)
        editor_state.view_x += quarter;
    else if (code == menu_keys.up)
        editor_state.view_z -= quarter;
    else if (code == menu_keys.down)
        editor_state.view_z += quarter;
    else if (code >= 256)
        return 0;
    else if (code == '=')
        editor_widgets.zoom.value += 0.5;
    else if (code == '-')
        editor_widgets.zoom.value = std::max(editor_widgets.zoom.value - 0.5, editor_widgets.zoom.min);
    else if (code == ']')
        strength.value = std::min(strength.value + strength.step, strength.max);
    else if (code == '[')
        strength.value = std::max(strength.value - strength.step, strength.min);
    else if (code == 8)
        editor_undo();
    else if (code == 'u')
        take_snapshot();
    else if (code == 's')
        editor_save();
    else if (code == 'p')
        pov_export();
    else if (code == 'f')
        gradient_reset_profile();
    else if (code == 'l')
        toggle_line_start();
    else if (code == 'i') {
        if (editor_state.tool == 13)
            statues_interpolate();
    } else if (code >= '1' && code <= '9') {
        static constexpr int tools[9] = {2, 4, 5, 6, 7, 8, 9, 10, 11};
        select_tool(tools[code - '1']);
    } else if (editor_state.tool == 15 && decal_key(code)) {
        // stamped, erased, grouped or scaled
    } else if (code == 'd') {
        if (editor_state.tool == 13)
            statue_copy_to_pointer();
    } else if (code == 'x' || code == 127) {
        if (editor_state.tool == 12)
            billboard_delete_at_pointer();
        else if (editor_state.tool == 13)
            statue_delete_at_pointer();
    } else if (code == 'X' || code == 'M' || code == 'm' || code == '{' || code == '}') {
        // The decal tool's keys: taken, and idle with the other tools.
    } else {
        return 0;
    }
    return 1;
}

bool is_command_key(int32_t code)
{
    if (code == menu_keys.left || code == menu_keys.right || code == menu_keys.up || code == menu_keys.down)
        return true;
    return false;   // characters have no release
}

}  // namespace

int editor_key(int32_t code, int pressed)
{
    if (code == 9 || !editor_state.initialised)
        return 0;
    if (pressed && code >= 0 && code < 256) {
        if (code >= 0x20 && code <= 0x7e)
            snprintf(editor_state.status_buffer, sizeof editor_state.status_buffer, "Pressed 0x%02x ('%c')",
                     unsigned(code), char(code));
        else
            snprintf(editor_state.status_buffer, sizeof editor_state.status_buffer, "Pressed 0x%02x", unsigned(code));
        editor_state.status_text = editor_state.status_buffer;
    }
    update_hover();
    if (code == menu_keys.cursor_left) {
        main_button(pressed);
        return 1;
    }
    if (code == menu_keys.cursor_right) {
        editor_state.pan_active = pressed;
        if (pressed) {
            editor_state.pan_last_x = pointer_px();
            editor_state.pan_last_y = pointer_py();
        }
        return 1;
    }
    if (editor_state.hovered_widget >= 0) {
        if (pressed)
            editor_widget_input(code);
        return 1;
    }
    if (!pressed)
        return is_command_key(code) ? 1 : 0;
    return command(code);
}

void editor_widget_input(int32_t code)
{
    const int w = editor_state.hovered_widget;
    editor_widget_set& ws = editor_widgets;
    // The widgets read the pointer the menus share; the editor's window holds it.
    pointer_x = pointer_px();
    pointer_y = pointer_py();
    if (w >= 0 && w < kEditorTools) {
        if (ui_button_key(&ws.tools[w], code))
            select_tool(w);
        return;
    }
    switch (w) {
    case w_submode: ui_choice_key(&ws.submode, code); break;
    case w_show_wireframe: ui_choice_key(&ws.show_wireframe, code); break;
    case w_show_collidable: ui_choice_key(&ws.show_collidable, code); break;
    case w_orientation: ui_choice_key(&ws.orientation, code); break;
    case w_hide_different: ui_choice_key(&ws.hide_different, code); break;
    case w_level: ui_choice_key(&ws.level, code); break;
    case w_save:
        if (ui_button_key(&ws.save, code))
            editor_save();
        break;
    case w_zoom: ui_slider_key(&ws.zoom, code); break;
    case w_strength: ui_slider_key(&ws.strength, code); break;
    case w_focus: ui_slider_key(&ws.focus, code); break;
    case w_radius: ui_slider_key(&ws.radius, code); break;
    case w_spacing: ui_slider_key(&ws.spacing, code); break;
    case w_granularity: ui_slider_key(&ws.granularity, code); break;
    case w_tile: ui_slider_key(&ws.tile, code); break;
    case w_decal_spacing: ui_slider_key(&ws.decal_spacing, code); break;
    case w_height: {
        ui_slider_key(&ws.height, code);
        const int b = editor_state.selected_billboard;
        if (b >= 0 && b < billboard_count()) {
            billboard* bb = billboard_at(b);
            bb->height_above_ground = float(ws.height.value);
            bb->y = bb->height_above_ground + terrain_height_at(editor_state.terrain, bb->x, bb->z);
            editor_state.terrain->change_flags = 7;
        }
        break;
    }
    case w_new_gradient:
        if (ui_button_key(&ws.new_gradient, code))
            gradient_new();
        break;
    case w_copy_gradient:
        if (ui_button_key(&ws.copy_gradient, code))
            gradient_copy();
        break;
    case w_segment_type: {
        ui_choice_key(&ws.segment_type, code);
        gradient* g = selected_gradient_record();
        const int p = editor_state.selected_point;
        if (g && p >= 0 && p < g->kinds.count) {
            static_cast<uint8_t*>(g->kinds.items)[p] = uint8_t(ws.segment_type.selected == 1);
            editor_state.terrain->change_flags = 7;
        }
        break;
    }
    case w_set_from_terrain:
        if (ui_button_key(&ws.set_from_terrain, code))
            gradient_set_from_terrain();
        break;
    case w_flatten:
        if (ui_button_key(&ws.flatten, code))
            gradient_reset_profile();
        break;
    case w_set_switch:
        if (ui_button_key(&ws.set_switch, code))
            gate_switch_point(1);
        break;
    case w_clear_switch:
        if (ui_button_key(&ws.clear_switch, code))
            gate_switch_point(0);
        break;
    case w_snap_to_gradient:
        if (ui_button_key(&ws.snap_to_gradient, code))
            statue_snap_to_gradient();
        break;
    default: break;
    }
}

void editor_mouse()
{
    if (!editor_state.initialised)
        return;
    editor_check_stale();
    update_hover();
    if (editor_state.pan_active) {
        const int32_t px = pointer_px(), py = pointer_py();
        const int32_t h = editor_state.window ? std::max(editor_state.window->height.load(), 1) : 1;
        const float per_pixel = editor_view_width() / float(h);
        editor_state.view_x -= float(px - editor_state.pan_last_x) * per_pixel;
        editor_state.view_z -= float(py - editor_state.pan_last_y) * per_pixel;
        editor_state.pan_last_x = px;
        editor_state.pan_last_y = py;
    }
    if (editor_state.press_state & kWidgetHeld) {
        // A held slider follows the pointer while it stays on the slider.
        if (editor_state.hovered_widget == (editor_state.press_state & 0xffff))
            editor_widget_input(16);
        return;
    }
    if (editor_state.press_state == 1)
        editor_map_hold();
}
