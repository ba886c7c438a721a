// Drawing the widgets: boxes with a bevel border and their texts, each widget
// recording its rectangle in window pixels first.
#include "frontend/ui_widgets.h"

#include "gfx/fonts.h"
#include "gfx/gl_layer.h"
#include "gfx/gl_state.h"
#include "gfx/shaders.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

const float ui_start_box[2][4] = {{0, 1, 0, 0.3f}, {0, 1, 0, 0.8f}};
const float ui_start_text[2][4] = {{0.9f, 0.9f, 0.9f, 0.8f}, {0.9f, 0.9f, 0.9f, 1}};
const float ui_label_box[4] = {0, 0, 0, 0.25f};
const float ui_label_text[4] = {0.9f, 0.9f, 0.9f, 1};
const float ui_button_box[2][4] = {{0.5f, 0.5f, 0.5f, 0.25f}, {0.9f, 0.9f, 0.9f, 0.8f}};
const float ui_button_text[2][4] = {{0.9f, 0.9f, 0.9f, 0.8f}, {0, 0, 0, 1}};

namespace {

constexpr float m = ui_margin;
const auto& label_box = ui_label_box;
const auto& label_text = ui_label_text;
const auto& button_box = ui_button_box;
const auto& button_text = ui_button_text;
constexpr float row_box[2][4] = {{0.3f, 0.3f, 0.3f, 0.25f}, {0.2f, 0.2f, 0.2f, 0.25f}};

void record_rect(ui_rect* rect, ui_vec2 pen, ui_vec2 s, float width)
{
    rect->x0 = int32_t(pen.x * s.x);
    rect->y0 = int32_t((pen.y + 1) * s.y);
    rect->x1 = int32_t((pen.x + width) * s.x);
    rect->y1 = int32_t(pen.y * s.y);
}

void draw_text(const float colour[4], const char* text)
{
    text_draw(colour[0], colour[1], colour[2], colour[3], text);
}

// A box of at least min_width holding the text, offset by the spare width times align.
// Its two halves apart, so that a widget can draw all its boxes before its texts.
void text_box_only(const char* text, const float box_colour[4], float min_width)
{
    ui_draw_bevel_box(box_colour, 0, 1, std::max(min_width, text_width(text)), 0);
}

void text_in_box(const char* text, const float text_colour[4], float min_width, float align)
{
    const float tw = text_width(text);
    bvglPushMatrix();
    bvglTranslatef((std::max(min_width, tw) - tw) * align, 0, 0);
    draw_text(text_colour, text);
    bvglPopMatrix();
}

void boxed_text(const char* text, const float text_colour[4], const float box_colour[4],
                float min_width, float align)
{
    text_box_only(text, box_colour, min_width);
    text_in_box(text, text_colour, min_width, align);
}

const char* shown_label(const char* label)
{
    return label ? label : "";
}

}  // namespace

namespace {

void blended_flat_begin(const float c[4])
{
    gl_use_shader(shader_unlit);
    bvglBindTexture(GL_TEXTURE_2D, gl_state.gl_white_texture);
    bvglEnable(GL_BLEND);
    bvglBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    imm_set_color(c[0], c[1], c[2], c[3]);
    bvglBegin(GL_QUADS);
}

void blended_flat_end()
{
    bvglEnd();
    bvglDisable(GL_BLEND);
}

void quad(float x0, float y0, float x1, float y1)
{
    // Counter-clockwise whichever corner comes first, so face culling never hides a fill.
    if ((x1 - x0) * (y0 - y1) < 0)
        std::swap(y0, y1);
    bvglVertex2f(x0, y0);
    bvglVertex2f(x0, y1);
    bvglVertex2f(x1, y1);
    bvglVertex2f(x1, y0);
}

}  // namespace

void ui_fill_rect(float r, float g, float b, float a, float x0, float y0, float x1, float y1)
{
    const float c[4] = {r, g, b, a};
    blended_flat_begin(c);
    quad(x0, y0, x1, y1);
    blended_flat_end();
}

// The border strips and the whole box in one draw: the same colour blended in the same
// order, so the same pixels as five fills, for a fifth of the draws and state changes.
void ui_draw_bevel_box(const float c[4], float x0, float y0, float x1, float y1)
{
    blended_flat_begin(c);
    quad(x0 - m, y0 + m, x1 + m, y0);
    quad(x0 - m, y1, x1 + m, y1 - m);
    quad(x0 - m, y0, x0, y1);
    quad(x1, y0, x1 + m, y1);
    quad(x0 - m, y0 + m, x1 + m, y1 - m);
    blended_flat_end();
}

void ui_draw_text_box(const char* text, const float text_colour[4], const float box_colour[4],
                      float min_width, float align)
{
    boxed_text(text, text_colour, box_colour, min_width, align);
}

void ui_draw_label_box(ui_button* button, ui_vec2 pen, ui_vec2 pixel_scale, float width, float align,
                       const float text_colour[4], const float box_colour[4])
{
    record_rect(&button->rect, pen, pixel_scale, width);
    boxed_text(shown_label(button->label), text_colour, box_colour, width, align);
}

void ui_draw_button(ui_button* button, int focused, ui_vec2 pen, ui_vec2 pixel_scale, float width,
                    float align)
{
    const int f = focused ? 1 : 0;
    ui_draw_label_box(button, pen, pixel_scale, width, align, button_text[f], button_box[f]);
}

void ui_draw_list_row(ui_button* button, int focused, ui_vec2 pen, ui_vec2 pixel_scale, float width,
                      float align, int row)
{
    if (focused)
        ui_draw_label_box(button, pen, pixel_scale, width, align, button_text[1], button_box[1]);
    else
        ui_draw_label_box(button, pen, pixel_scale, width, align, button_text[0], row_box[row & 1]);
}

void ui_choice_text(const ui_choice* choice, char* out, int size)
{
    out[0] = 0;
    if (choice->count <= 0 || choice->selected < 0 || choice->selected >= choice->count)
        return;
    const char* item = choice->items[choice->selected];
    if (!item)
        return;
    char cut[1024];
    snprintf(cut, sizeof cut, "%.1023s", item);
    const int at = ui_typeahead.owner == choice && ui_typeahead.typed[0] ? ui_typeahead_find(cut) : -1;
    if (at < 0) {
        snprintf(out, size_t(size), "%s", cut);
        return;
    }
    const size_t n = strlen(ui_typeahead.typed);
    snprintf(out, size_t(size), "%.*s\033[31m%s\033[0m%s", at, cut, ui_typeahead.typed, cut + at + n);
}

bool ui_choice_fits(const ui_choice* choice, float width, float split)
{
    char text[1400];
    ui_choice_text(choice, text, sizeof text);
    const char* label = shown_label(choice->label);
    return !strchr(label, '\n') && !strchr(text, '\n') && text_width(label) <= width * split - m &&
           text_width(text) <= (1 - split) * width - m;
}

void ui_draw_choice_boxes(ui_choice* choice, int focused, ui_vec2 pen, ui_vec2 pixel_scale, float width,
                          float split)
{
    const int f = focused ? 1 : 0;
    record_rect(&choice->rect, pen, pixel_scale, width);
    text_box_only(shown_label(choice->label), label_box, width * split - m);
    char text[1400];
    ui_choice_text(choice, text, sizeof text);
    bvglPushMatrix();
    bvglTranslatef(width * split + m, 0, 0);
    text_box_only(text, button_box[f], (1 - split) * width - m);
    bvglPopMatrix();
}

void ui_draw_choice_texts(const ui_choice* choice, int focused, float width, float align, float split)
{
    const int f = focused ? 1 : 0;
    text_in_box(shown_label(choice->label), label_text, width * split - m, align);
    char text[1400];
    ui_choice_text(choice, text, sizeof text);
    bvglPushMatrix();
    bvglTranslatef(width * split + m, 0, 0);
    text_in_box(text, button_text[f], (1 - split) * width - m, align);
    bvglPopMatrix();
}

void ui_draw_choice(ui_choice* choice, int focused, ui_vec2 pen, ui_vec2 pixel_scale, float width,
                    float align, float split)
{
    if (ui_choice_fits(choice, width, split)) {
        ui_draw_choice_boxes(choice, focused, pen, pixel_scale, width, split);
        ui_draw_choice_texts(choice, focused, width, align, split);
        return;
    }
    const int f = focused ? 1 : 0;
    record_rect(&choice->rect, pen, pixel_scale, width);
    boxed_text(shown_label(choice->label), label_text, label_box, width * split - m, align);
    char text[1400];
    ui_choice_text(choice, text, sizeof text);
    bvglPushMatrix();
    bvglTranslatef(width * split + m, 0, 0);
    boxed_text(text, button_text[f], button_box[f], (1 - split) * width - m, align);
    bvglPopMatrix();
}

void ui_draw_slider(ui_slider* slider, int focused, ui_vec2 pen, ui_vec2 pixel_scale, float width,
                    float align, float split)
{
    const int f = focused ? 1 : 0;
    record_rect(&slider->rect, pen, pixel_scale, width);
    char text[64];
    snprintf(text, sizeof text, "%.2f", std::max(slider->max, 1000.0));
    const float V = text_width(text);
    double F = 0;
    if (slider->max > slider->min)
        F = std::clamp((slider->value - slider->min) / (slider->max - slider->min), 0.0, 1.0);

    const char* label = shown_label(slider->label);
    const float label_min = width * split - V - 3 * m;
    snprintf(text, sizeof text, "%.2f", slider->value);
    const float value_width = text_width(text);
    const float value_box = std::max(V, value_width);
    // With every text inside its box the boxes go first, saving texture switches.
    const bool fits = !strchr(label, '\n') && text_width(label) <= label_min && value_width <= V;

    if (fits)
        text_box_only(label, label_box, label_min);
    else
        boxed_text(label, label_text, label_box, label_min, align);

    bvglPushMatrix();
    bvglTranslatef(width * split - V - m, 0, 0);
    ui_draw_bevel_box(label_box, 0, 1, value_box, 0);
    if (!fits) {
        bvglTranslatef(value_box - value_width, 0, 0);
        draw_text(label_text, text);
    }
    bvglPopMatrix();

    const float bar = width * split + m;
    slider->bar_x0 = int32_t((pen.x + bar) * pixel_scale.x);
    slider->bar_x1 = int32_t((pen.x + width) * pixel_scale.x);
    ui_draw_bevel_box(button_box[f], bar, 1, width, 0);
    const float* fill = button_text[f];
    if (F > 0)
        ui_fill_rect(fill[0], fill[1], fill[2], fill[3], bar, 1, bar + (width - bar) * float(F), 0);
    if (!fits)
        return;
    text_in_box(label, label_text, label_min, align);
    bvglPushMatrix();
    bvglTranslatef(width * split - V - m, 0, 0);
    bvglTranslatef(value_box - value_width, 0, 0);
    draw_text(label_text, text);
    bvglPopMatrix();
}

void ui_draw_text_cursor(const ui_text_field* field, float r, float g, float b, int position)
{
    const size_t length = strlen(field->buffer);
    if (position < 0 || size_t(position) > length)
        return;
    char before[1024];
    snprintf(before, sizeof before, "%.*s", position, field->buffer);
    const char under[2] = {size_t(position) < length ? field->buffer[position] : ' ', 0};
    const float x0 = text_width(before);
    const float x1 = x0 + text_width(under);
    gl_use_shader(shader_unlit);
    bvglBindTexture(GL_TEXTURE_2D, gl_state.gl_white_texture);
    bvglDisable(GL_BLEND);
    imm_set_color(r, g, b, 1);
    bvglBegin(GL_QUADS);
    bvglVertex2f(x0, 1);
    bvglVertex2f(x0, 0);
    bvglVertex2f(x1, 0);
    bvglVertex2f(x1, 1);
    bvglEnd();
}

void ui_draw_text_field(ui_text_field* field, int focused, ui_vec2 pen, ui_vec2 pixel_scale,
                        float width, float align, float split)
{
    const int f = focused ? 1 : 0;
    record_rect(&field->rect, pen, pixel_scale, width);
    boxed_text(shown_label(field->label), label_text, label_box, width * split - m, align);
    bvglPushMatrix();
    bvglTranslatef(width * split + m, 0, 0);
    ui_draw_bevel_box(button_box[f], 0, 1, (1 - split) * width - m, 0);
    if (focused)
        ui_draw_text_cursor(field, 0.5f, 0.5f, 0.5f, field->cursor);
    draw_text(button_text[f], field->buffer);
    bvglPopMatrix();
}
