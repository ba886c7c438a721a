// One line of the controls screen: the control's title in a label box on the left
// half, its binding in a button box on the right half, each centred in its column.
#include "frontend/menu_draw_parts.h"

#include "gfx/fonts.h"
#include "gfx/gl_layer.h"
#include "race/program/bindings.h"

#include <string>

namespace {

void centred(const float colour[4], float column, const char* text)
{
    bvglPushMatrix();
    bvglTranslatef(column - text_width(text) / 2, 0, 0);
    text_draw(colour[0], colour[1], colour[2], colour[3], text);
    bvglPopMatrix();
}

}  // namespace

void menu_binding_line(input_binding* binding, int focused, ui_vec2 pen, ui_vec2 pixel_scale)
{
    binding_line_rect(binding, pen.x, pen.y, pixel_scale.x, pixel_scale.y);
    const int f = focused ? 1 : 0;
    const float half = binding_line_width / 2;
    ui_draw_bevel_box(ui_label_box, 0, 1, half - ui_margin, 0);
    centred(ui_label_text, binding_title_column, binding->title ? binding->title : "");
    ui_draw_bevel_box(ui_button_box[f], half + ui_margin, 1, binding_line_width, 0);
    // A key name may be long: it is cut to what the line was given ("%.1023s").
    const std::string text = binding_line_text(binding, capture_binding() == binding);
    centred(ui_button_text[f], binding_text_column, text.c_str());
}
