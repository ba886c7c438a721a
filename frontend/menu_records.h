// The menus' buttons and fixed labels; the settings records are in settings.h.
#pragma once
#include "frontend/ui_widgets.h"

#include <cstdint>

struct menu_button_records {
    ui_button main[9];
    ui_button back;            // item 0 of every screen with a title
    ui_button start;
    ui_button cancel;
    ui_button prev_page;
    ui_button next_page;
    ui_button rows[20];
    ui_button advanced_graphics;
    ui_button presets[4];
    ui_button switch_mode;
    ui_button connect;
    ui_button restart;
    ui_button suspension;
    ui_button stability;
    ui_button standings[4];
    ui_rect binding_rects[20];
};
extern menu_button_records menu_buttons;

// The bindings in the controls screen's order.
extern const int controls_order[20];

// The eight sliders of the graphics screen, "Field Of View" first.
extern ui_slider* const graphics_sound_sliders[8];

// Confirming a button: "enter", "keypad enter", space, or a click inside it.
bool menu_confirms(int32_t key, const ui_rect& rect);
// The keys that open a list from a choice: no space, and a click anywhere.
bool menu_opens_list(int32_t key);
