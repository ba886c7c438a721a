// Drawing the bike setup screens: the bike and rider, the setup values, and the
// suspension and gearing with the chosen bike's physical values beside them.
#include "frontend/menu.h"

#include "frontend/menu_draw_parts.h"
#include "frontend/menu_records.h"
#include "frontend/settings.h"
#include "gfx/fonts.h"
#include "gfx/gl_layer.h"
#include "sim/bike_info.h"
#include "sim/rider_access.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr float kPitch = 1.375f;
constexpr float kWide = 41.9967f;

int focus(int item)
{
    return menu_item == item ? 1 : 0;
}

}  // namespace

int suspension_value_text(const bike_info* info, int slider, double v, char* out, int size)
{
    if (!info)
        return 0;
    const float x = float(v * 0.01);
    switch (slider) {
    case 4: return snprintf(out, size_t(size), "%.3f kg/mm", double(bike_info_fork_spring_rate(info, x))) > 0;
    case 5: return snprintf(out, size_t(size), "%.2f mm", double(bike_info_fork_preload(info, x))) > 0;
    case 6: return snprintf(out, size_t(size), "%.2f mm", double(bike_info_fork_oil_level(info, x))) > 0;
    case 11: return snprintf(out, size_t(size), "%.2f kg/mm", double(bike_info_shock_spring_rate(info, x))) > 0;
    case 12: return snprintf(out, size_t(size), "%.2f mm", double(bike_info_shock_preload(info, x))) > 0;
    case 13: return snprintf(out, size_t(size), "%.2f teeth", double(bike_info_front_sprocket(info)) + v) > 0;
    case 14: return snprintf(out, size_t(size), "%.2f teeth", double(bike_info_rear_sprocket(info)) + v) > 0;
    default: return 0;
    }
}

void bike_setup_draw()
{
    menu_frame f = menu_frame_begin("Bike Setup", "Back to Main Menu");
    f.advance(0, -kPitch);
    ui_draw_button(&menu_buttons.suspension, focus(1), f.pen, f.scale, 15, 0);
    f.advance(0, -kPitch);
    ui_draw_button(&menu_buttons.stability, focus(2), f.pen, f.scale, 15, 0);
    f.advance(21.993334f, 0.875f);
    ui_draw_choice(&bike_choice, focus(3), f.pen, f.scale, 20.3333f, 0, 0.33f);
    f.advance(0, -kPitch);
    ui_draw_text_field(&rider_name_field, focus(4), f.pen, f.scale, 20.3333f, 0, 0.33f);
    f.advance(0, -kPitch);
    ui_draw_text_field(&rider_number_field, focus(5), f.pen, f.scale, 20.3333f, 0, 0.33f);
    f.advance(-21.663334f, -1.875f);
    for (int i = 0; i < 4; ++i) {
        if (i > 0)
            f.advance(0, -kPitch);
        ui_draw_choice(graphics_choices[i], focus(6 + i), f.pen, f.scale, kWide, 0, 0.33f);
    }
    f.advance(0, -1.875f);
    ui_draw_slider(&stability_slider, focus(10), f.pen, f.scale, kWide, 0, 0.5f);
    for (int i = 0; i < 4; ++i) {
        f.advance(0, -kPitch);
        ui_draw_slider(&bike_setup_sliders[i], focus(11 + i), f.pen, f.scale, kWide, 0, 0.5f);
    }
    f.advance(0, -1.875f);
    for (int i = 0; i < 10; ++i) {
        // Back up the four pitches of the first column and one more, which the next
        // line's pitch takes back: item 20 level with item 15.
        if (i == 5)
            f.advance(21.663334f, 4 * kPitch + kPitch);
        if (i > 0)
            f.advance(0, -kPitch);
        ui_draw_choice(&assist_choices[i], focus(15 + i), f.pen, f.scale, 20.3333f, 0, 0.67f);
    }
    ui_end();
}

void suspension_gearing_draw()
{
    // Where a group starts: fork, shock, gearing, rider.
    static constexpr bool group_start[20] = {false, false, false, false, false, false, false, true,
                                             false, false, false, false, false, true,  false, true,
                                             false, true,  false, true};
    menu_frame f = menu_frame_begin("Suspension and Gearing", "Back to Bike Setup Menu");
    ui_end();
    ui_begin_menu(40, 0, -1.125f, &f.pen, &f.scale);
    const bike_info* info = bike_info_lookup(bike_names[std::clamp(bike_choice.selected, 0, kBikeModels - 1)]);
    for (int i = 0; i < 20; ++i) {
        f.advance(0, i == 0 ? -6.09375f : (group_start[i] ? -1.875f : -kPitch));
        ui_slider& s = suspension_sliders[i];
        ui_draw_slider(&s, focus(1 + i), f.pen, f.scale, 52.66333f, 0, 0.5f);
        char text[64];
        if (suspension_value_text(info, i, s.value, text, sizeof text))
            text_draw_centered_plain(0.5f, 0.5f, 0.5f, 0.8f, 20.9983f, 52.66333f, text);
    }
    ui_end();
}

void advanced_stability_draw()
{
    menu_frame f = menu_frame_begin("Advanced Stability Setup", "Back to Bike Setup Menu");
    for (int i = 0; i < 16; ++i) {
        f.advance(0, i == 0 ? -2.875f : -kPitch);
        ui_draw_slider(advanced_stability_sliders[i], focus(1 + i), f.pen, f.scale, kWide, 0, 0.5f);
    }
    ui_end();
}
