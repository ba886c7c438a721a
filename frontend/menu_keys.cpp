// What the menu keys do: the highlight, the lists, and the screens' own items.
#include "frontend/menu.h"

#include "foundation/front_door.h"
#include "frontend/console_commands.h"
#include "frontend/menu_records.h"
#include "frontend/settings.h"
#include "frontend/texture_choices.h"
#include "platform/qorl_window.h"
#include "race/bike_setup.h"
#include "race/program/bindings.h"
#include "race/program/command_line.h"
#include "race/program/controls.h"
#include "race/demo/demo.h"
#include "race/program/detail_presets.h"
#include "race/net/net_client.h"
#include "race/race_restart.h"
#include "race/program/run_clock.h"
#include "race/series.h"
#include "race/program/settings_values.h"
#include "race/program/video_modes.h"
#include "race/setup_guard.h"
#include "race/program/startup.h"
#include "race/track_load.h"
#include "gfx/model_scene.h"
#include "sim/rider_slot.h"
#include "sim/wheel_sampling.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

choose_list_state choose_list = {nullptr, nullptr, screen_main_menu, nullptr, 0};
int32_t playback_page = 0;
int32_t series_list_page = 0;

namespace {


void no_flag() {}

int real_video_mode(int width, int height, int flags)
{
    return qorl_set_video_mode(program_window, width, height, flags);
}

int32_t no_demos()
{
    return 0;
}
const char* no_demo(int32_t)
{
    return nullptr;
}

int32_t last_page(int32_t count)
{
    return std::max(0, (std::max(count, 0) + kListPageRows - 1) / kListPageRows - 1);
}

// The demo rows go through the generic page record with the demos' short names.
const char* demo_row(int32_t i)
{
    return menu_seams.demo_short_name(i);
}

void fill_rows(int screen)
{
    if (screen == screen_choose_list) {
        list_page_fill(choose_list.page);
    } else if (screen == screen_points_series) {
        series_page_fill(series_list_page);
    } else if (screen == screen_playback_race) {
        const int32_t count = menu_seams.demo_count();
        playback_page = std::clamp(playback_page, 0, last_page(count));
        for (int32_t k = 0; k < kListPageRows; ++k) {
            const int32_t i = playback_page * kListPageRows + k;
            choose_page.rows[k] = i < count ? demo_row(i) : nullptr;
        }
        choose_page.page = playback_page;
    }
}

int32_t list_count(int screen)
{
    if (screen == screen_choose_list)
        return choose_texts ? choose_text_count : 0;
    if (screen == screen_points_series)
        return series_count();
    return menu_seams.demo_count();
}

int32_t& list_page_number(int screen)
{
    if (screen == screen_choose_list)
        return choose_list.page;
    if (screen == screen_points_series)
        return series_list_page;
    return playback_page;
}

// The first row item and the page buttons of a list screen.
struct list_items {
    int prev;
    int first_row;
    int next;
};
list_items list_layout(int screen)
{
    if (screen == screen_playback_race)
        return {2, 3, 23};
    return {1, 2, 22};
}

bool is_list_screen(int screen)
{
    return screen == screen_choose_list || screen == screen_playback_race || screen == screen_points_series;
}

// Whether the highlight may rest on an item of a list screen.
bool item_shown(int screen, int item)
{
    const list_items l = list_layout(screen);
    if (item >= l.first_row && item < l.first_row + kListPageRows)
        return choose_page.rows[item - l.first_row] != nullptr;
    if (screen == screen_points_series) {
        if (item == l.prev)
            return series_list_page > 0;
        if (item == l.next)
            return (series_count() - 1) / kListPageRows != series_list_page;
    }
    return true;
}

void navigate(int32_t key)
{
    const int count = menu_item_count(menu_screen);
    if (count <= 0 || (key != menu_keys.up && key != menu_keys.down))
        return;
    const int step = key == menu_keys.down ? 1 : -1;
    int item = std::clamp(menu_item + step, 0, count - 1);
    if (is_list_screen(menu_screen)) {
        // Skip what is not shown; stay put when nothing further is.
        while (item != menu_item && !item_shown(menu_screen, item)) {
            const int next = item + step;
            if (next < 0 || next >= count) {
                item = menu_item;
                break;
            }
            item = next;
        }
    }
    menu_item = item;
}

void page_step(int screen, int by)
{
    int32_t& page = list_page_number(screen);
    page = std::clamp(page + by, 0, last_page(list_count(screen)));
    fill_rows(screen);
}

// The list keys shared by the three list screens: 1 when the key was a list item's.
int list_key(int32_t key, void (*row_chosen)(int32_t index))
{
    const list_items l = list_layout(menu_screen);
    if (menu_item == l.prev || menu_item == l.next) {
        ui_button& b = menu_item == l.prev ? menu_buttons.prev_page : menu_buttons.next_page;
        if (menu_confirms(key, b.rect))
            page_step(menu_screen, menu_item == l.prev ? -1 : 1);
        return 1;
    }
    if (menu_item >= l.first_row && menu_item < l.first_row + kListPageRows) {
        const int row = menu_item - l.first_row;
        if (choose_page.rows[row] && menu_confirms(key, menu_buttons.rows[row].rect))
            row_chosen(list_page_number(menu_screen) * kListPageRows + row);
        return 1;
    }
    return 0;
}

void start_network_reset()
{
    if (net_socket != -1)
        net_send_disconnect();
    net_reset();
}

void new_race_start()
{
    menu_close();
    std::fill(start_lineup, start_lineup + kStartLineup, 0);
    for (int i = 0; i < kGateSlots; ++i)
        start_lineup[i] = gate_choices[i].selected;
    start_network_reset();
    const int32_t ticks = int32_t(60.0 * minutes_slider.value / tick_length);
    menu_reset_race(start_lineup, 0, record_demo_choice.selected, ticks, int32_t(laps_slider.value),
                    robot_skill_choice.selected);
    lineup_rotate(start_lineup, command_line_options.rotate_lineup.value_or(0));
    for (int i = 0; i < kGateSlots; ++i)
        gate_choices[i].selected = std::clamp(start_lineup[i], 0, gate_choices[i].count - 1);
}

void time_trial_start()
{
    menu_close();
    start_network_reset();
    menu_reset_race(nullptr, 0, 0, 0, 1000, robot_skill_choice.selected);
}

void playback_row_chosen(int32_t index)
{
    const char* full = menu_seams.demo_full_name(index);
    if (!full)
        return;
    char name[1024];
    snprintf(name, sizeof name, "@%s", full);
    std::fill(start_lineup, start_lineup + kStartLineup, 0);
    int record = 0;
    if (playback_mode_choice.selected == 1) {
        int gate = 0;
        for (int i = 0; i < kGateSlots; ++i)
            if (gate_choices[i].selected == 1) {
                gate = i;
                break;
            }
        start_lineup[gate] = 1;
        record = record_demo_choice.selected;
        if (record && strcmp(name, "@demos/default.bvdemo") == 0) {
            front_door.console_print("Can't record and play from same file - recording disabled\n");
            record = 0;
        }
    }
    snprintf(demo_settings.chosen, sizeof demo_settings.chosen, "%s", name);
    menu_close();
    start_network_reset();
    menu_reset_race(start_lineup, 1, record, 0, 10, robot_skill_choice.selected);
    demo_settings.chosen[0] = 0;
}

void series_row_chosen(int32_t index)
{
    list_select(index);
    menu_open(screen_series_standings);
}

void choose_row_chosen(int32_t index)
{
    const int back = choose_list.return_screen;
    void (*chosen)(int) = choose_list.chosen;
    menu_open(back);
    if (chosen)
        chosen(index);
}

void main_menu_key(int32_t key)
{
    static constexpr int targets[8] = {screen_new_race,   screen_playback_race, screen_points_series,
                                       screen_time_trial, screen_multiplayer,   screen_bike_setup,
                                       screen_graphics_sound, screen_customize_controls};
    if (menu_item < 0 || menu_item > 8 || !menu_confirms(key, menu_buttons.main[menu_item].rect))
        return;
    if (menu_item == 8) {
        menu_open(screen_exit);
        menu_seams.screen_changed();
        return;
    }
    menu_open(targets[menu_item]);
}

bool back_key(int32_t key, int screen)
{
    if (menu_item != 0)
        return false;
    if (menu_confirms(key, menu_buttons.back.rect))
        menu_open(screen);
    return true;
}

void new_race_key(int32_t key)
{
    if (back_key(key, screen_main_menu))
        return;
    switch (menu_item) {
    case 1:
        if (menu_confirms(key, menu_buttons.start.rect))
            new_race_start();
        return;
    case 2: menu_open_track_list(key); return;
    case 3: ui_choice_key(&record_demo_choice, key); return;
    case 4: ui_choice_key(&robot_skill_choice, key); return;
    case 5: ui_slider_key(&minutes_slider, key); return;
    case 6: ui_slider_key(&laps_slider, key); return;
    default:
        if (menu_item >= 7 && menu_item < 7 + kGateSlots)
            ui_choice_key(&gate_choices[menu_item - 7], key);
    }
}

void time_trial_key(int32_t key)
{
    if (back_key(key, screen_main_menu))
        return;
    switch (menu_item) {
    case 1:
        if (menu_confirms(key, menu_buttons.start.rect))
            time_trial_start();
        return;
    case 2: menu_open_track_list(key); return;
    case 3: ui_slider_key(&ghost_fade_slider, key); return;
    case 4: ui_choice_key(&time_trial_abort_choice, key); return;
    }
}

void points_series_key(int32_t key)
{
    if (back_key(key, screen_main_menu))
        return;
    list_key(key, series_row_chosen);
}

void choose_list_key(int32_t key)
{
    if (menu_item == 0) {
        if (menu_confirms(key, menu_buttons.cancel.rect))
            menu_open(choose_list.return_screen);
        return;
    }
    list_key(key, choose_row_chosen);
}

void series_standings_key(int32_t key)
{
    if (menu_item < 0 || menu_item > 3 || !menu_confirms(key, menu_buttons.standings[menu_item].rect))
        return;
    const int32_t selected = choose_page.selected;
    series* s = selected >= 0 && selected < series_count() ? series_at(selected) : nullptr;
    switch (menu_item) {
    case 0: menu_open(screen_points_series); return;
    case 1:
        if (selected == series_active_index && series_active_event >= 0)
            return;
        menu_close();
        if (s && series_start_next_event()) {
            series_active_index = selected;
            series_active_event = s->completed;
        }
        return;
    case 2:
        menu_close();
        series_start_next_event();
        return;
    case 3:
        if (!s)
            return;
        // Kept on disk too, and a running event of this series is no longer counted.
        s->completed = 0;
        if (selected == series_active_index) {
            series_active_index = -1;
            series_active_event = -1;
        }
        series_write_standings(s);
        return;
    }
}

void controls_key(int32_t key)
{
    if (back_key(key, screen_main_menu))
        return;
    if (menu_item >= 1 && menu_item <= 20)
        pots_watch(program_window, &bindings[controls_order[menu_item - 1]], uint32_t(key), run_clock);
}

// A size from "@config" the window system can take: 0 (the desktop) when out of range.
int window_size(int32_t size)
{
    return size >= 1 && size <= 32767 ? size : 0;
}

void switch_video_mode()
{
    const int mode = video_mode_choice.selected;
    if (mode == 1) {
        menu_seams.set_video_mode(window_size(plain_values.xres), window_size(plain_values.yres), 0);
    } else {
        int width = 0;
        int height = 0;
        if (mode >= 2 && mode < video_mode_choice.count &&
            sscanf(video_mode_choice.items[mode], "%dx%d", &width, &height) != 2)
            width = height = 0;
        menu_seams.set_video_mode(width, height, QORL_FULLSCREEN);
    }
    plain_values.video_mode = mode;
    video_mode_in_effect = mode;
}

void graphics_sound_key(int32_t key)
{
    static ui_choice* const choices[] = {&hide_rider_choice, &rigid_camera_choice};
    if (back_key(key, screen_main_menu))
        return;
    if (menu_item == 1) {
        if (menu_confirms(key, menu_buttons.advanced_graphics.rect))
            menu_open(screen_advanced_graphics);
    } else if (menu_item >= 2 && menu_item <= 5) {
        if (menu_confirms(key, menu_buttons.presets[menu_item - 2].rect))
            detail_preset_apply(menu_item - 2);
    } else if (menu_item == 6) {
        ui_choice_key(&video_mode_choice, key);
    } else if (menu_item == 7) {
        if (menu_confirms(key, menu_buttons.switch_mode.rect))
            switch_video_mode();
    } else if (menu_item == 8 || menu_item == 9) {
        ui_choice_key(choices[menu_item - 8], key);
    } else if (menu_item >= 10 && menu_item <= 17) {
        ui_slider_key(graphics_sound_sliders[menu_item - 10], key);
    }
}

void advanced_graphics_key(int32_t key)
{
    if (back_key(key, screen_graphics_sound))
        return;
    switch (menu_item) {
    case 1: ui_slider_key(&ground_detail_slider, key); return;
    case 2: ui_slider_key(&ground_texture_detail_slider, key); return;
    case 3: ui_choice_key(&ground_texture_dim_choice, key); return;
    case 4: ui_choice_key(&ground_mipmaps_choice, key); return;
    case 5: ui_choice_key(&compress_textures_choice, key); return;
    case 6: ui_slider_key(&model_detail_slider, key); return;
    case 7: ui_slider_key(&model_texture_detail_slider, key); return;
    case 8:
        ui_slider_key(&roost_density_slider, key);
        roost_density = int(roost_density_slider.value);
        return;
    case 9: ui_slider_key(&terrain_sync_slider, key); return;
    case 10: ui_choice_key(&lens_flare_choice, key); return;
    case 11:
        ui_choice_key(&reflections_choice, key);
        reflections = reflections_choice.selected;
        return;
    }
}

void server_history_key(int32_t key)
{
    int& index = server_history_cursor;
    bool copy = false;
    if (key == menu_keys.page_up) {
        int next = std::min(index + 1, kServerHistory - 1);
        if (index == -1 && server_name_hist[0][0] && strcmp(server_name_hist[0], server_field.buffer) == 0)
            next = 1;
        if (!server_name_hist[next][0]) {
            index = std::max(-1, next - 1);
        } else {
            index = next;
            copy = true;
        }
    } else if (key == menu_keys.page_down) {
        if (index == 0) {
            index = -1;
        } else if (index > 0) {
            --index;
            copy = true;
        }
    }
    if (copy) {
        ui_text_set(&server_field, server_name_hist[index]);
        server_field.cursor = std::min(server_field.cursor, int(strlen(server_field.buffer)));
    }
}

void multiplayer_key(int32_t key)
{
    if (back_key(key, screen_main_menu))
        return;
    if (menu_item == 1) {
        if (!menu_confirms(key, menu_buttons.connect.rect))
            return;
        if (net_socket == -1) {
            server_history_push();
            net_menu_connect(server_field.buffer);
            menu_close();
        } else {
            net_menu_disconnect();
        }
    } else if (menu_item == 2) {
        if (!menu_confirms(key, menu_buttons.restart.rect))
            return;
        net_request_restart();
        menu_close();
    } else if (menu_item == 3) {
        server_history_key(key);
        ui_text_key(&server_field, key);
    }
}

void exit_key(int32_t)
{
    menu_seams.quit();
}

}  // namespace

menu_calls menu_seams = {reset_race, real_video_mode, console_execute, nullptr, no_flag, no_flag, setup_change_guard,
                         no_demos,   no_demo,         no_demo};

int menu_item_count(int screen)
{
    switch (screen) {
    case screen_main_menu: return 9;
    case screen_new_race: return 7 + kGateSlots;
    case screen_choose_list: return 23;
    case screen_playback_race: return 24;
    case screen_points_series: return 23;
    case screen_series_standings: return 4;
    case screen_time_trial: return 5;
    case screen_bike_setup: return 25;
    case screen_suspension_gearing: return 21;
    case screen_advanced_stability: return 17;
    case screen_customize_controls: return 21;
    case screen_graphics_sound: return 18;
    case screen_advanced_graphics: return 12;
    case screen_multiplayer: return 4;
    case screen_console: return 1;
    default: return 0;
    }
}

void menu_open(int screen)
{
    menu_screen = screen;
    menu_item = 0;
    if (is_list_screen(screen))
        fill_rows(screen);
    // Typing goes after the address already there, not in front of it.
    if (screen == screen_multiplayer)
        server_field.cursor = int(strlen(server_field.buffer));
}

void menu_close()
{
    menu_screen = -1;
    menu_item = 0;
}

void menu_open_choose_list(const char* title, ui_choice* source, void (*chosen)(int))
{
    choose_list.title = title;
    choose_list.source = source;
    choose_list.return_screen = menu_screen;
    choose_list.chosen = chosen;
    choose_list.page = 0;
    choose_texts = source->items;
    choose_text_count = source->count;
    menu_open(screen_choose_list);
}

namespace {
ui_choice* track_source = &track_choice;
void select_in_source(int index)
{
    ui_choice* c = choose_list.source;
    if (c && index >= 0 && index < c->count)
        c->selected = index;
}
}  // namespace

void menu_open_track_list(int key)
{
    if (!menu_opens_list(key)) {
        ui_choice_key(track_source, key);
        return;
    }
    menu_open_choose_list("Choose Track", track_source, select_in_source);
}

void menu_key(int32_t key)
{
    if (menu_screen < 0)
        return;
    if (menu_screen != screen_console)
        navigate(key);
    switch (menu_screen) {
    case screen_main_menu: main_menu_key(key); break;
    case screen_new_race: new_race_key(key); break;
    case screen_choose_list: choose_list_key(key); break;
    case screen_playback_race: playback_menu_key(key); break;
    case screen_points_series: points_series_key(key); break;
    case screen_series_standings: series_standings_key(key); break;
    case screen_time_trial: time_trial_key(key); break;
    case screen_bike_setup: bike_setup_menu_key(key); break;
    case screen_suspension_gearing:
    case screen_advanced_stability: bike_sub_screen_key(key); break;
    case screen_customize_controls: controls_key(key); break;
    case screen_graphics_sound: graphics_sound_key(key); break;
    case screen_advanced_graphics: advanced_graphics_key(key); break;
    case screen_multiplayer: multiplayer_key(key); break;
    case screen_console: console_key(key); break;
    case screen_exit: exit_key(key); break;
    }
}

void playback_menu_key(int32_t key)
{
    if (back_key(key, screen_main_menu))
        return;
    if (menu_item == 1) {
        ui_choice_key(&playback_mode_choice, key);
        return;
    }
    list_key(key, playback_row_chosen);
}
