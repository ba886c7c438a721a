// The keys of the bike setup screens: the bike and its looks, the rider's name and
// number, and the setup values that reach the own bike through the guard.
#include "frontend/menu.h"

#include "frontend/menu_records.h"
#include "frontend/settings.h"
#include "frontend/texture_choices.h"
#include "race/bike_setup.h"
#include "race/program/controls.h"
#include "race/net/net_client.h"
#include "sim/rider_slot.h"

#include <cmath>

namespace {

constexpr int key_star = 42;

void guard()
{
    const int32_t slot = menu_own_slot();
    if (slot >= 0 && slot < kRiderSlots && (rider_slots[slot].state_flags & state_simulated_locally))
        menu_seams.setup_change_guard(slot);
}

void bike_changed()
{
    bike_graphics_rebuild();
    bike_graphics_choice.selected = 0;
    net_rider_info_pending = 1;
}

// A list pick of a look: the selection, and the rider info marked when it changed.
void look_chosen(int index)
{
    ui_choice* c = choose_list.source;
    if (!c || index < 0 || index >= c->count || index == c->selected)
        return;
    c->selected = index;
    net_rider_info_pending = 1;
    local_profile_update();
}

const char* const look_titles[4] = {"Choose Riding Gear", "Choose Helmet", "Choose Bike Graphics",
                                    "Choose Wheel Graphics"};

}  // namespace

void bike_list_chosen(int index)
{
    if (index == bike_choice.selected || index < 0 || index >= bike_choice.count)
        return;
    bike_choice.selected = index;
    bike_changed();
    local_profile_update();
}

void bike_setup_menu_key(int32_t key)
{
    switch (menu_item) {
    case 0:
        if (menu_confirms(key, menu_buttons.back.rect))
            menu_open(screen_main_menu);
        return;
    case 1:
        if (menu_confirms(key, menu_buttons.suspension.rect))
            menu_open(screen_suspension_gearing);
        return;
    case 2:
        if (menu_confirms(key, menu_buttons.stability.rect))
            menu_open(screen_advanced_stability);
        return;
    case 3:
        if (menu_opens_list(key)) {
            menu_open_choose_list("Choose Bike", &bike_choice, bike_list_chosen);
        } else {
            const int before = bike_choice.selected;
            ui_choice_key(&bike_choice, key);
            if (bike_choice.selected != before)
                bike_changed();
            local_profile_update();
        }
        return;
    case 4:
    case 5:
        ui_text_key(menu_item == 4 ? &rider_name_field : &rider_number_field, key);
        net_rider_info_pending = 1;
        return;
    case 10: {
        if (key == key_star) {
            menu_open(screen_advanced_stability);
            return;
        }
        const double before = std::trunc(stability_slider.value);
        ui_slider_key(&stability_slider, key);
        if (std::trunc(stability_slider.value) != before)
            stability_derive(int32_t(stability_slider.value));
        guard();
        return;
    }
    default: break;
    }
    if (menu_item >= 6 && menu_item <= 9) {
        ui_choice* c = graphics_choices[menu_item - 6];
        if (menu_opens_list(key)) {
            menu_open_choose_list(look_titles[menu_item - 6], c, look_chosen);
        } else {
            ui_choice_key(c, key);
            net_rider_info_pending = 1;
            local_profile_update();
        }
    } else if (menu_item >= 11 && menu_item <= 14) {
        ui_slider_key(&bike_setup_sliders[menu_item - 11], key);
        guard();
    } else if (menu_item >= 15 && menu_item <= 24) {
        const int k = menu_item - 15;
        ui_choice_key(&assist_choices[k], key);
        // "Sticky Sit/Dab", "Reversed Steering" and "Lean Indicator" are not the bike's.
        if (k != 6 && k != 8 && k != 9)
            guard();
    }
}

void bike_sub_screen_key(int32_t key)
{
    if (menu_item == 0) {
        if (menu_confirms(key, menu_buttons.back.rect))
            menu_open(screen_bike_setup);
        return;
    }
    ui_slider* s = nullptr;
    if (menu_screen == screen_suspension_gearing && menu_item <= 20)
        s = &suspension_sliders[menu_item - 1];
    else if (menu_screen == screen_advanced_stability && menu_item <= 16)
        s = advanced_stability_sliders[menu_item - 1];
    if (!s)
        return;
    ui_slider_key(s, key);
    guard();
}
