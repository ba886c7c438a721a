// What each kind of widget does with a key: the menu keys come by their looked-up
// codes, characters as codes 0..255.
#include "frontend/ui_widgets.h"

#include "race/program/controls.h"

#include <cctype>
#include <cmath>
#include <cstring>

namespace {

constexpr int key_backspace = 8;
constexpr int key_tab = 9;
constexpr int key_space = 32;
constexpr int key_delete = 127;
constexpr int key_cursor_drag = 16;
constexpr int typed_limit = 255;
constexpr int bar_allowance = 15;

bool printable(int key)
{
    return key >= 0 && key < 256 && (key == key_space || isprint(key));
}

bool typed_in(const ui_choice* choice, int i)
{
    return choice->items[i] && ui_typeahead_find(choice->items[i]) >= 0;
}

// From item start on, wrapping, at most count items: the first holding the typed text.
int search_from(const ui_choice* choice, int start)
{
    for (int k = 0; k < choice->count; ++k) {
        const int i = (start + k) % choice->count;
        if (typed_in(choice, i))
            return i;
    }
    return -1;
}

void step_choice(ui_choice* choice, int by)
{
    ui_typeahead.typed[0] = 0;
    int i = choice->selected + by;
    if (i < 0)
        i = choice->count - 1;
    else if (i >= choice->count)
        i = 0;
    choice->selected = i;
}

}  // namespace

int ui_typeahead_find(const char* item)
{
    const int n = int(strlen(ui_typeahead.typed));
    const int length = int(strlen(item));
    for (int at = length - n; at >= 0; --at) {
        int j = 0;
        while (j < n && tolower(static_cast<unsigned char>(item[at + j])) ==
                            tolower(static_cast<unsigned char>(ui_typeahead.typed[j])))
            ++j;
        if (j == n)
            return at;
    }
    return -1;
}

int ui_button_key(ui_button* button, int key)
{
    if (key == menu_keys.enter || key == menu_keys.keypad_enter || key == key_space)
        return 1;
    return key == menu_keys.cursor_left && ui_hit_test(&button->rect);
}

void ui_choice_key(ui_choice* choice, int key)
{
    if (ui_typeahead.owner != choice) {
        ui_typeahead.owner = choice;
        ui_typeahead.typed[0] = 0;
    }
    // A choice without items has nothing to select.
    if (choice->count <= 0)
        return;
    if (choice->selected < 0 || choice->selected >= choice->count)
        choice->selected = 0;
    char* typed = ui_typeahead.typed;
    if (key == key_backspace) {
        typed[0] = 0;
    } else if (key == key_tab) {
        const int start = (choice->selected + 1) % choice->count;
        const int found = search_from(choice, start);
        choice->selected = found >= 0 ? found : start;
    } else if (printable(key)) {
        const size_t n = strlen(typed);
        if (n >= typed_limit)
            return;
        typed[n] = char(key);
        typed[n + 1] = 0;
        const int found = search_from(choice, choice->selected);
        if (found >= 0)
            choice->selected = found;
        else
            typed[n] = 0;
    } else if (key == menu_keys.enter || key == menu_keys.keypad_enter || key == menu_keys.right ||
               (key == menu_keys.cursor_left && ui_hit_test(&choice->rect))) {
        step_choice(choice, 1);
    } else if (key == menu_keys.left) {
        step_choice(choice, -1);
    }
}

void ui_slider_key(ui_slider* slider, int key)
{
    double v = slider->value;
    if (key == menu_keys.left || key == menu_keys.right) {
        v += key == menu_keys.left ? -slider->step : slider->step;
    } else if (ui_hit_test(&slider->rect) && (key == menu_keys.cursor_left || key == key_cursor_drag) &&
               pointer_x >= slider->bar_x0 - bar_allowance && pointer_x <= slider->bar_x1 + bar_allowance) {
        // A bar of no width (a tiny window) has no position to read.
        if (slider->bar_x1 <= slider->bar_x0 || slider->step <= 0)
            return;
        const double along = double(pointer_x - slider->bar_x0) / (slider->bar_x1 - slider->bar_x0);
        v = slider->min + slider->step * std::floor((slider->max - slider->min) * along / slider->step + 0.5);
    } else {
        return;
    }
    if (v < slider->min)
        v = slider->min;
    if (v > slider->max)
        v = slider->max;
    slider->value = v;
}

void ui_text_key(ui_text_field* field, int key)
{
    char* text = field->buffer;
    const int capacity = field->capacity;
    int length = int(strlen(text));
    // Text set shorter by other code must not leave the cursor past its end.
    if (field->cursor > length)
        field->cursor = length;
    if (field->cursor < 0)
        field->cursor = 0;
    int& cursor = field->cursor;
    if (key == menu_keys.left || key == menu_keys.right) {
        cursor += key == menu_keys.left ? -1 : 1;
        cursor = cursor < 0 ? 0 : cursor > length ? length : cursor;
    } else if (key == key_backspace) {
        if (cursor > 0) {
            --cursor;
            memmove(text + cursor, text + cursor + 1, size_t(length - cursor));
        }
    } else if (key == key_delete) {
        if (cursor < length)
            memmove(text + cursor, text + cursor + 1, size_t(length - cursor));
    } else if (key > 255 || key < 0) {
        return;
    } else if (printable(key) && cursor < capacity) {
        if (field->mode == 1) {
            // Shift right within the capacity; a character pushed past it is lost.
            const int keep = (length < capacity ? length : capacity - 1) - cursor;
            memmove(text + cursor + 1, text + cursor, size_t(keep));
            text[cursor + 1 + keep] = 0;
            text[capacity] = 0;
        }
        text[cursor] = char(key);
        ++cursor;
    }
}
