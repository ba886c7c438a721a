// The menus' buttons and fixed labels; the settings records are in settings.h.
#pragma once
#include "frontend/ui_widgets.h"

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
