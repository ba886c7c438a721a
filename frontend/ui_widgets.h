// Immediate-mode menu widgets. Layout is in line units (one text line high, x right,
// y up, a widget occupying y 0..1 above the pen); every drawn widget records where it
// landed in window pixels (y down) so the next frame's pointer tests can hit it.
#pragma once
#include <cstdint>

struct ui_vec2 {
    float x;
    float y;
};

// Window pixels, y down; -1 everywhere: not on screen.
struct ui_rect {
    int32_t x0;
    int32_t y0;
    int32_t x1;
    int32_t y1;
};

struct ui_button {
    const char* label;
    ui_rect rect;
};

// The selected index and a slider's value are the settings' own storage, which the
// records refer to.
struct ui_choice {
    const char* label;
    const char* const* items;
    int count;
    int& selected;
    ui_rect rect;
};

struct ui_slider {
    const char* label;
    double& value;
    double step;
    double min;
    double max;
    ui_rect rect;
    int32_t bar_x0;
    int32_t bar_x1;
};

// mode 1: insert; any other value: overwrite (the rider-number field).
struct ui_text_field {
    const char* label;
    int capacity;
    char* buffer;   // capacity + 1 bytes, zero after the text
    int cursor;
    int mode;
    ui_rect rect;
};

struct ui_typeahead_state {
    const ui_choice* owner;
    char typed[256];
};
extern ui_typeahead_state ui_typeahead;

inline constexpr float ui_margin = 0.125f;

// Layout.
void ui_begin_menu(float lines, float x, float y, ui_vec2* pen, ui_vec2* pixel_scale);
void ui_begin_2d(float lines);
void ui_end();
void ui_advance(ui_vec2* pen, ui_vec2 pixel_scale, float dx, float dy);
void ui_rect_clear(ui_rect* rect);

// Drawing primitives; colours are r, g, b, a.
void ui_fill_rect(float r, float g, float b, float a, float x0, float y0, float x1, float y1);
void ui_draw_bevel_box(const float colour[4], float x0, float y0, float x1, float y1);
void ui_draw_text_box(const char* text, const float text_colour[4], const float box_colour[4],
                      float min_width, float align);

// Widgets.
void ui_draw_button(ui_button* button, int focused, ui_vec2 pen, ui_vec2 pixel_scale, float width,
                    float align);
void ui_draw_label_box(ui_button* button, ui_vec2 pen, ui_vec2 pixel_scale, float width, float align,
                       const float text_colour[4], const float box_colour[4]);
void ui_draw_list_row(ui_button* button, int focused, ui_vec2 pen, ui_vec2 pixel_scale, float width,
                      float align, int row);
void ui_draw_choice(ui_choice* choice, int focused, ui_vec2 pen, ui_vec2 pixel_scale, float width,
                    float align, float split);
// A choice in halves, so that a column of them can draw all its boxes before all its
// texts (the font and box textures switch twice instead of on every draw, which costs
// software GL dearly). Only with no text leaving its box, when ui_choice_fits says so:
// then no box covers another widget's text and the picture is the same.
bool ui_choice_fits(const ui_choice* choice, float width, float split);
void ui_draw_choice_boxes(ui_choice* choice, int focused, ui_vec2 pen, ui_vec2 pixel_scale, float width,
                          float split);
void ui_draw_choice_texts(const ui_choice* choice, int focused, float width, float align, float split);
void ui_draw_slider(ui_slider* slider, int focused, ui_vec2 pen, ui_vec2 pixel_scale, float width,
                    float align, float split);
void ui_draw_text_field(ui_text_field* field, int focused, ui_vec2 pen, ui_vec2 pixel_scale,
                        float width, float align, float split);
void ui_draw_text_cursor(const ui_text_field* field, float r, float g, float b, int position);

// The colours of the start action's label box, not focused and focused.
extern const float ui_start_box[2][4];
extern const float ui_start_text[2][4];
// A label's box and text; a button's box and text, not focused and focused.
extern const float ui_label_box[4];
extern const float ui_label_text[4];
extern const float ui_button_box[2][4];
extern const float ui_button_text[2][4];

// The choice's shown text: the selected item, with the type-ahead match in red when
// this choice owns it. Empty for a choice without items.
void ui_choice_text(const ui_choice* choice, char* out, int size);

// Setting values from text.
int ui_choice_select(ui_choice* choice, const char* text);
int ui_slider_set_text(ui_slider* slider, const char* text);
int ui_text_set(ui_text_field* field, const char* text);

// Pointer tests against race/'s pointer position.
int ui_hit_test(const ui_rect* rect);
int ui_hit_test_list(const ui_rect* const* rects);

// Keys: the menu keys by name (race/controls.h), characters as codes 0..255.
int ui_button_key(ui_button* button, int key);
void ui_choice_key(ui_choice* choice, int key);
void ui_slider_key(ui_slider* slider, int key);
void ui_text_key(ui_text_field* field, int key);
// Where the typed text lies in an item (the last occurrence, any case); -1 when absent.
int ui_typeahead_find(const char* item);
