#include "frontend/menu_records.h"

#include "frontend/settings.h"
#include "race/program/bindings.h"
#include "race/program/controls.h"

namespace {
constexpr ui_rect kNone = {-1, -1, -1, -1};
constexpr ui_button button(const char* label)
{
    return {label, kNone};
}
}  // namespace

menu_button_records menu_buttons = {
    {button("New Race"), button("Playback Race"), button("Points Series"), button("Time Trial"),
     button("Multiplayer"), button("Bike Setup"), button("Graphics/Sound Setup"),
     button("Customize Controls"), button("Quit")},
    button("Back to Main Menu"),
    button("Start"),
    button("Cancel"),
    button("Prev Page"),
    button("Next Page"),
    {},
    button("Advanced Graphics Setup"),
    {button("Use Compatibility Settings"), button("Use High FPS Settings"), button("Use Normal Settings"),
     button("Use High Detail Settings")},
    button("Switch To Selected Mode Now"),
    button("Connect"),
    button("Request Restart"),
    button("Suspension and Gearing"),
    button("Advanced Stability Setup"),
    {button("Back to Points Series List"), button("Enter Next Event"), button("Practice Next Event"),
     button("Reset Points")},
    {kNone, kNone, kNone, kNone, kNone, kNone, kNone, kNone, kNone, kNone,
     kNone, kNone, kNone, kNone, kNone, kNone, kNone, kNone, kNone, kNone},
};

const int controls_order[20] = {bind_throttle, bind_front_brake, bind_rear_brake, bind_left, bind_right,
                                bind_clutch,   bind_upshift,     bind_downshift,  bind_dab,  bind_back_up,
                                bind_lean_forward, bind_lean_backward, bind_pause, bind_step, bind_rewind,
                                bind_skip,     bind_prev,        bind_next,       bind_chat, bind_screenshot};

ui_slider* const graphics_sound_sliders[8] = {&fov_slider,
                                              &first_person_height_slider,
                                              &first_person_angle_slider,
                                              &first_person_gimbal_slider,
                                              &third_person_height_slider,
                                              &third_person_distance_slider,
                                              &volume_slider,
                                              &comp_volume_slider};

bool menu_confirms(int32_t key, const ui_rect& rect)
{
    return key == menu_keys.enter || key == menu_keys.keypad_enter || key == ' ' ||
           (key == menu_keys.cursor_left && ui_hit_test(&rect));
}

bool menu_opens_list(int32_t key)
{
    return key == menu_keys.enter || key == menu_keys.keypad_enter || key == menu_keys.cursor_left;
}
