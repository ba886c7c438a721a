// Each screen's item rectangles in item order, as the last drawing left them: the
// pointer's hover picks the item under it from these.
#include "frontend/menu.h"

#include "frontend/menu_records.h"
#include "frontend/settings.h"

#include <algorithm>
#include <initializer_list>

namespace {

struct rect_list {
    const ui_rect** out;
    int capacity;
    int count = 0;
    void add(const ui_rect& r)
    {
        if (count < capacity)
            out[count] = &r;
        ++count;
    }
    void rows()
    {
        for (const ui_button& b : menu_buttons.rows)
            add(b.rect);
    }
};

}  // namespace

int menu_item_rects(int screen, const ui_rect** rects, int capacity)
{
    rect_list l{rects, capacity};
    const menu_button_records& b = menu_buttons;
    switch (screen) {
    case screen_main_menu:
        for (const ui_button& m : b.main)
            l.add(m.rect);
        break;
    case screen_new_race:
        l.add(b.back.rect);
        l.add(b.start.rect);
        for (const ui_choice* c : {&track_choice, &record_demo_choice, &robot_skill_choice})
            l.add(c->rect);
        l.add(minutes_slider.rect);
        l.add(laps_slider.rect);
        for (const ui_choice& g : gate_choices)
            l.add(g.rect);
        break;
    case screen_choose_list:
    case screen_points_series:
        l.add(screen == screen_choose_list ? b.cancel.rect : b.back.rect);
        l.add(b.prev_page.rect);
        l.rows();
        l.add(b.next_page.rect);
        break;
    case screen_playback_race:
        l.add(b.back.rect);
        l.add(playback_mode_choice.rect);
        l.add(b.prev_page.rect);
        l.rows();
        l.add(b.next_page.rect);
        break;
    case screen_series_standings:
        for (const ui_button& s : b.standings)
            l.add(s.rect);
        break;
    case screen_time_trial:
        l.add(b.back.rect);
        l.add(b.start.rect);
        l.add(track_choice.rect);
        l.add(ghost_fade_slider.rect);
        l.add(time_trial_abort_choice.rect);
        break;
    case screen_bike_setup:
        l.add(b.back.rect);
        l.add(b.suspension.rect);
        l.add(b.stability.rect);
        l.add(bike_choice.rect);
        l.add(rider_name_field.rect);
        l.add(rider_number_field.rect);
        for (const ui_choice* c : graphics_choices)
            l.add(c->rect);
        l.add(stability_slider.rect);
        for (const ui_slider& s : bike_setup_sliders)
            l.add(s.rect);
        for (const ui_choice& c : assist_choices)
            l.add(c.rect);
        break;
    case screen_suspension_gearing:
        l.add(b.back.rect);
        for (const ui_slider& s : suspension_sliders)
            l.add(s.rect);
        break;
    case screen_advanced_stability:
        l.add(b.back.rect);
        for (const ui_slider* s : advanced_stability_sliders)
            l.add(s->rect);
        break;
    case screen_customize_controls:
        l.add(b.back.rect);
        for (const ui_rect& r : b.binding_rects)
            l.add(r);
        break;
    case screen_graphics_sound:
        l.add(b.back.rect);
        l.add(b.advanced_graphics.rect);
        for (const ui_button& p : b.presets)
            l.add(p.rect);
        l.add(video_mode_choice.rect);
        l.add(b.switch_mode.rect);
        l.add(hide_rider_choice.rect);
        l.add(rigid_camera_choice.rect);
        for (const ui_slider* s : graphics_sound_sliders)
            l.add(s->rect);
        break;
    case screen_advanced_graphics:
        l.add(b.back.rect);
        l.add(ground_detail_slider.rect);
        l.add(ground_texture_detail_slider.rect);
        for (const ui_choice* c : {&ground_texture_dim_choice, &ground_mipmaps_choice, &compress_textures_choice})
            l.add(c->rect);
        for (const ui_slider* s : {&model_detail_slider, &model_texture_detail_slider, &roost_density_slider,
                                   &terrain_sync_slider})
            l.add(s->rect);
        l.add(lens_flare_choice.rect);
        l.add(reflections_choice.rect);
        break;
    case screen_multiplayer:
        l.add(b.back.rect);
        l.add(b.connect.rect);
        l.add(b.restart.rect);
        l.add(server_field.rect);
        break;
    default: break;
    }
    return l.count;
}

int menu_hover_item(int screen)
{
    const ui_rect* rects[64];
    const int n = std::min(menu_item_rects(screen, rects, 64), 64);
    for (int i = 0; i < n; ++i)
        if (rects[i]->x0 >= 0 && ui_hit_test(rects[i]))
            return i;
    return -1;
}
