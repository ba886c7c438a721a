// Menu coordinates, pointer tests and the setters that read values from text.
#include "frontend/ui_widgets.h"

#include "gfx/gl_layer.h"
#include "race/program/controls.h"
#include "race/program/projection.h"

#include <cmath>
#include <cstdio>
#include <cstring>

ui_typeahead_state ui_typeahead = {nullptr, {}};

void ui_begin_menu(float lines, float x, float y, ui_vec2* pen, ui_vec2* pixel_scale)
{
    const float w = projection_half_width, h = projection_half_height;
    const float W = float(projection_window_width), H = float(projection_window_height);
    bvglPushMatrix();
    bvglLoadIdentity();
    float unit;
    if (w / h > 4.0f / 3.0f) {
        // Wider than 4:3: the area is as high as the window, centred across it.
        bvglTranslatef(-4 * h / 3, h, -1);
        *pen = {x + (w - 4 * h / 3) * lines / (2 * h), y};
        *pixel_scale = {H / lines, -H / lines};
        unit = 2 * h / lines;
    } else {
        bvglTranslatef(-w, 0.75f * w, -1);
        *pen = {x, y + (0.75f * w - h) * 2 * lines / (3 * w)};
        *pixel_scale = {0.75f * W / lines, -0.75f * W / lines};
        unit = 1.5f * w / lines;
    }
    bvglScalef(unit, unit, unit);
    bvglTranslatef(x, y, 0);
}

void ui_begin_2d(float lines)
{
    const float w = projection_half_width, h = projection_half_height;
    bvglPushMatrix();
    bvglLoadIdentity();
    bvglTranslatef(-w, h - 2 * h / lines, -1);
    const float unit = 2 * h / lines;
    bvglScalef(unit, unit, unit);
}

void ui_end()
{
    bvglPopMatrix();
}

void ui_advance(ui_vec2* pen, ui_vec2, float dx, float dy)
{
    bvglTranslatef(dx, dy, 0);
    pen->x += dx;
    pen->y += dy;
}

void ui_rect_clear(ui_rect* rect)
{
    *rect = {-1, -1, -1, -1};
}

int ui_hit_test(const ui_rect* rect)
{
    return rect->x0 < pointer_x && pointer_x < rect->x1 && rect->y0 < pointer_y && pointer_y < rect->y1;
}

int ui_hit_test_list(const ui_rect* const* rects)
{
    for (int i = 0; rects && rects[i]; ++i)
        if (ui_hit_test(rects[i]))
            return i;
    return -1;
}

int ui_choice_select(ui_choice* choice, const char* text)
{
    for (int i = 0; i < choice->count; ++i) {
        if (choice->items[i] && strcmp(choice->items[i], text) == 0) {
            choice->selected = i;
            return 1;
        }
    }
    return 0;
}

int ui_slider_set_text(ui_slider* slider, const char* text)
{
    float value = 0;
    if (sscanf(text, "%f", &value) != 1)
        return 0;
    double v = value;
    // "nan" and "inf" scan as numbers but are no setting.
    if (!std::isfinite(v))
        return 0;
    if (v < slider->min)
        v = slider->min;
    if (v > slider->max)
        v = slider->max;
    slider->value = v;
    return 1;
}

int ui_text_set(ui_text_field* field, const char* text)
{
    const size_t n = strnlen(text, size_t(field->capacity));
    memset(field->buffer, 0, size_t(field->capacity) + 1);
    memcpy(field->buffer, text, n);
    if (field->cursor > int(n))
        field->cursor = int(n);
    return 1;
}
