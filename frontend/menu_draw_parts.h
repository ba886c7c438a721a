// What the screens' drawing shares: the pen of the open frame.
#pragma once
#include "frontend/ui_widgets.h"

struct menu_frame {
    ui_vec2 pen{};
    ui_vec2 scale{};
    void advance(float dx, float dy) { ui_advance(&pen, scale, dx, dy); }
};

// Backdrop, the 32-line frame, the title box and item 0 (the back button, labelled
// `back_label`); the frame stays open for the caller's items.
menu_frame menu_frame_begin(const char* title, const char* back_label, ui_button* back = nullptr);

struct input_binding;
// A line of the controls screen: the binding's title and what it is bound to (or
// "<<PRESS A KEY>>" while it is being assigned); records the line's rectangle.
void menu_binding_line(input_binding* binding, int focused, ui_vec2 pen, ui_vec2 pixel_scale);

void bike_setup_draw();
void suspension_gearing_draw();
void advanced_stability_draw();

struct bike_info;
// The physical value shown beside suspension slider `slider` (0..19) at value v; 0
// when that slider shows none or there is no bike record.
int suspension_value_text(const bike_info* info, int slider, double v, char* out, int size);
