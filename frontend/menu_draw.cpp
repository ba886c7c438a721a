// Drawing the menu screens over the race view: each screen's widgets in item order,
// every one recording its rectangle for the pointer.
#include "frontend/menu.h"

#include "frontend/menu_draw_parts.h"
#include "frontend/menu_records.h"
#include "frontend/message_line.h"
#include "frontend/settings.h"
#include "gfx/fonts.h"
#include "gfx/gl_layer.h"
#include "gfx/gl_state.h"
#include "race/program/bindings.h"
#include "race/program/detail_presets.h"
#include "race/net/net_client.h"
#include "race/program/projection.h"
#include "race/race_state.h"
#include "race/program/run_clock.h"
#include "race/series.h"
#include "race/program/startup.h"
#include "terrain/track_list.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

constexpr float kPitch = 1.375f;
constexpr float kListWidth = 41.9967f;
constexpr float title_text[4] = {0.9f, 0.9f, 0.9f, 1};
constexpr float title_box[4] = {0, 0, 0, 0.25f};

int focus(int item)
{
    return menu_item == item ? 1 : 0;
}

void main_menu()
{
    menu_backdrop_draw();
    menu_frame f;
    ui_begin_menu(32, 0, -4.5f, &f.pen, &f.scale);
    for (int i = 0; i < 9; ++i) {
        if (i > 0)
            f.advance(0, -kPitch);
        ui_draw_button(&menu_buttons.main[i], focus(i), f.pen, f.scale, 15, 0);
    }
    ui_end();
    const float a = float(std::clamp(10.0 - run_clock, 0.0, 1.0));
    if (a <= 0)
        return;
    ui_begin_2d(40);
    bvglTranslatef(0, -37, 0);
    const float across = 40 * projection_half_width / projection_half_height;
    text_draw_centered(1, 1, 1, a, 0, across, "Although this software depicts real objects and places, it is not");
    bvglTranslatef(0, -1, 0);
    text_draw_centered(1, 1, 1, a, 0, across, "endorsed by or affiliated with any of the subjects depicted.");
    ui_end();
}

void start_button(menu_frame& f)
{
    const int k = focus(1);
    ui_draw_label_box(&menu_buttons.start, f.pen, f.scale, 15, 0, ui_start_text[k], ui_start_box[k]);
}

// pass: 0 whole choices, 1 boxes only, 2 texts only.
void gate_column_pass(menu_frame& f, int pass)
{
    constexpr float width = 18.6667f, split = 0.33f;
    for (int i = 0; i < kGateSlots; ++i) {
        if (i == 20)
            f.advance(28, 27.5f);
        if (i > 0)
            f.advance(0, -kPitch);
        ui_choice* c = &gate_choices[i];
        if (pass == 0)
            ui_draw_choice(c, focus(7 + i), f.pen, f.scale, width, 0, split);
        else if (pass == 1)
            ui_draw_choice_boxes(c, focus(7 + i), f.pen, f.scale, width, split);
        else
            ui_draw_choice_texts(c, focus(7 + i), width, 0, split);
    }
}

// The forty gates, all boxes first and then all texts when every text fits its box.
void gate_columns(menu_frame& f)
{
    bool fit = true;
    for (int i = 0; i < kGateSlots && fit; ++i)
        fit = ui_choice_fits(&gate_choices[i], 18.6667f, 0.33f);
    if (!fit)
        return gate_column_pass(f, 0);
    const menu_frame start = f;
    bvglPushMatrix();
    gate_column_pass(f, 1);
    bvglPopMatrix();
    f = start;
    gate_column_pass(f, 2);
}

void new_race()
{
    menu_frame f = menu_frame_begin("New Race", "Back to Main Menu");
    f.advance(0, -kPitch);
    start_button(f);
    f.advance(15.5f, kPitch);
    const float w = 27.1667f;
    ui_draw_choice(&track_choice, focus(2), f.pen, f.scale, w, 0, 0.375f);
    f.advance(0, -kPitch);
    ui_draw_choice(&record_demo_choice, focus(3), f.pen, f.scale, w, 0, 0.375f);
    f.advance(0, -kPitch);
    ui_draw_choice(&robot_skill_choice, focus(4), f.pen, f.scale, w, 0, 0.375f);
    f.advance(0, -kPitch);
    ui_draw_slider(&minutes_slider, focus(5), f.pen, f.scale, w, 0, 0.375f);
    f.advance(0, -kPitch);
    ui_draw_slider(&laps_slider, focus(6), f.pen, f.scale, w, 0, 0.375f);
    ui_end();
    ui_begin_menu(42, 4.6667f, -13.5f, &f.pen, &f.scale);
    gate_columns(f);
    ui_end();
}

// Twenty rows after the page button: list rows or plain buttons, empty ones cleared.
void list_rows(menu_frame& f, int first_item, bool plain)
{
    f.advance(0, -0.125f);
    for (int k = 0; k < kListPageRows; ++k) {
        f.advance(0, -1.25f);
        ui_button& row = menu_buttons.rows[k];
        row.label = choose_page.rows[k];
        if (!row.label) {
            ui_rect_clear(&row.rect);
            continue;
        }
        if (plain)
            ui_draw_button(&row, focus(first_item + k), f.pen, f.scale, kListWidth, 0);
        else
            ui_draw_list_row(&row, focus(first_item + k), f.pen, f.scale, kListWidth, 0, k);
    }
    f.advance(0, -kPitch);
}

void choose_list_screen()
{
    menu_frame f = menu_frame_begin(choose_list.title ? choose_list.title : "", "Cancel", &menu_buttons.cancel);
    f.advance(0.33f, -2);
    ui_draw_button(&menu_buttons.prev_page, focus(1), f.pen, f.scale, kListWidth, 0);
    list_rows(f, 2, false);
    ui_draw_button(&menu_buttons.next_page, focus(22), f.pen, f.scale, kListWidth, 0);
    ui_end();
}

void playback_race()
{
    menu_frame f = menu_frame_begin("Playback Race", "Back to Main Menu");
    f.advance(21.9933f, 0);
    ui_draw_choice(&playback_mode_choice, focus(1), f.pen, f.scale, 20.3333f, 0, 0.5f);
    f.advance(-21.6633f, -2);
    ui_draw_button(&menu_buttons.prev_page, focus(2), f.pen, f.scale, kListWidth, 0);
    list_rows(f, 3, false);
    ui_draw_button(&menu_buttons.next_page, focus(23), f.pen, f.scale, kListWidth, 0);
    ui_end();
}

void points_series()
{
    menu_frame f = menu_frame_begin("Points Series", "Back to Main Menu");
    f.advance(0.33f, -2);
    if (series_list_page > 0)
        ui_draw_button(&menu_buttons.prev_page, focus(1), f.pen, f.scale, kListWidth, 0);
    else
        ui_rect_clear(&menu_buttons.prev_page.rect);
    list_rows(f, 2, true);
    if ((series_count() - 1) / kListPageRows != series_list_page)
        ui_draw_button(&menu_buttons.next_page, focus(22), f.pen, f.scale, kListWidth, 0);
    else
        ui_rect_clear(&menu_buttons.next_page.rect);
    ui_end();
}

void time_trial()
{
    menu_frame f = menu_frame_begin("Time Trial", "Back to Main Menu");
    f.advance(0, -kPitch);
    start_button(f);
    f.advance(0.33f, -2.375f);
    ui_draw_choice(&track_choice, focus(2), f.pen, f.scale, kListWidth, 0, 0.4f);
    f.advance(0, -kPitch);
    ui_draw_slider(&ghost_fade_slider, focus(3), f.pen, f.scale, kListWidth, 0, 0.4f);
    f.advance(0, -kPitch);
    ui_draw_choice(&time_trial_abort_choice, focus(4), f.pen, f.scale, kListWidth, 0, 0.4f);
    ui_end();
}

void customize_controls()
{
    menu_frame f = menu_frame_begin("Customize Controls", "Back to Main Menu");
    for (int i = 0; i < 20; ++i) {
        f.advance(0, i == 0 ? -1.875f : -kPitch);
        input_binding& b = bindings[controls_order[i]];
        menu_binding_line(&b, focus(i + 1), f.pen, f.scale);
        menu_buttons.binding_rects[i] = {b.rect[0], b.rect[1], b.rect[2], b.rect[3]};
    }
    ui_end();
}

const char* current_settings_text()
{
    static const char* const names[4] = {"Current Settings: Compatibility", "Current Settings: High FPS",
                                         "Current Settings: Normal", "Current Settings: High Detail"};
    for (int n = 3; n >= 0; --n)
        if (detail_preset_matches(n))
            return names[n];
    return "Current Settings: Custom";
}

void graphics_sound()
{
    menu_frame f = menu_frame_begin("Graphics/Sound Setup", "Back to Main Menu");
    f.advance(0, -kPitch);
    ui_draw_button(&menu_buttons.advanced_graphics, focus(1), f.pen, f.scale, 15, 0);
    ui_end();
    ui_begin_menu(36, 0, -6.125f, &f.pen, &f.scale);
    f.advance(12, 0);
    f.advance(0, -1.875f);
    ui_draw_text_box(current_settings_text(), title_text, title_box, 23.33f, 0);
    for (int i = 0; i < 4; ++i) {
        f.advance(0, -kPitch);
        ui_draw_button(&menu_buttons.presets[i], focus(2 + i), f.pen, f.scale, 23.33f, 0);
    }
    f.advance(-12, 0);
    f.advance(0, -1.875f);
    const float w = 47.33f;
    ui_draw_choice(&video_mode_choice, focus(6), f.pen, f.scale, w, 0, 0.5f);
    f.advance(0, -kPitch);
    ui_draw_button(&menu_buttons.switch_mode, focus(7), f.pen, f.scale, w, 0);
    f.advance(0, -1.875f);
    ui_draw_choice(&hide_rider_choice, focus(8), f.pen, f.scale, w, 0, 0.5f);
    f.advance(0, -kPitch);
    ui_draw_choice(&rigid_camera_choice, focus(9), f.pen, f.scale, w, 0, 0.5f);
    for (int i = 0; i < 8; ++i) {
        f.advance(0, -kPitch);
        ui_draw_slider(graphics_sound_sliders[i], focus(10 + i), f.pen, f.scale, w, 0, 0.5f);
    }
    bvglTranslatef(23.67f, -1.5f, 0);
    text_draw_centered(1, 0, 0, 1, -12.5f, 12.5f, "Some settings will not take effect until next restart");
    bvglTranslatef(0, -1, 0);
    bvglScalef(0.75f, 0.75f, 0.75f);
    const char* lines[] = {"Driver info:", gl_state.gl_vendor, gl_state.gl_renderer, gl_state.gl_version};
    for (const char* line : lines) {
        text_draw_centered(1, 1, 1, 1, -12.5f / 0.75f, 12.5f / 0.75f, line ? line : "");
        bvglTranslatef(0, -1, 0);
    }
    ui_end();
}

void advanced_graphics()
{
    menu_frame f = menu_frame_begin("Advanced Graphics Setup", "Back to Graphics/Sound Menu");
    f.advance(0, -2.875f);
    ui_slider* const sliders[] = {&ground_detail_slider, &ground_texture_detail_slider, nullptr, nullptr,
                                  nullptr, &model_detail_slider, &model_texture_detail_slider,
                                  &roost_density_slider, &terrain_sync_slider, nullptr, nullptr};
    ui_choice* const choices[] = {nullptr, nullptr, &ground_texture_dim_choice, &ground_mipmaps_choice,
                                  &compress_textures_choice, nullptr, nullptr, nullptr, nullptr,
                                  &lens_flare_choice, &reflections_choice};
    for (int i = 0; i < 11; ++i) {
        if (i > 0)
            f.advance(0, -kPitch);
        if (sliders[i])
            ui_draw_slider(sliders[i], focus(1 + i), f.pen, f.scale, kListWidth, 0, 0.5f);
        else
            ui_draw_choice(choices[i], focus(1 + i), f.pen, f.scale, kListWidth, 0, 0.5f);
    }
    ui_end();
}

void rider_table()
{
    bvglTranslatef(-20, -0.5f, 0);
    ui_fill_rect(0, 0, 0, 0.25f, 0.5f, 1, 39.5f, 0);
    text_draw_centered(1, 1, 1, 1, 0.5f, 4, "Slot");
    text_draw_centered(1, 1, 1, 1, 4, 8, "Ping");
    text_draw_centered(1, 1, 1, 1, 8, 12, "No.");
    text_draw_centered(1, 1, 1, 1, 12, 20, "Bike");
    text_draw_centered(1, 1, 1, 1, 20, 39.5f, "Name");
    int row = 0;
    for (int slot = 0; slot < kNetSlots; ++slot) {
        if (net_lineup[slot] != 1 && net_lineup[slot] != 5)
            continue;
        bvglTranslatef(0, -1, 0);
        if (row++ & 1)
            ui_fill_rect(1, 1, 1, 0.25f, 0.5f, 1, 39.5f, 0);
        char text[32];
        snprintf(text, sizeof text, "%d", slot);
        text_draw_centered(1, 1, 1, 1, 0.5f, 4, text);
        snprintf(text, sizeof text, "%d", int(double(net_ping[slot]) * 1000 * tick_length));
        text_draw_centered(1, 1, 1, 1, 4, 8, text);
        const net_rider_record& r = net_rider_infos[slot];
        text_draw_centered(1, 1, 1, 1, 8, 12, r.number);
        text_draw_centered(1, 1, 1, 1, 12, 20, r.bike);
        bvglPushMatrix();
        bvglTranslatef(20, 0, 0);
        text_draw_shadowed(1, 1, 1, 1, r.name ? r.name : "");
        bvglPopMatrix();
    }
}

void multiplayer()
{
    menu_frame f = menu_frame_begin("Multiplayer", "Back to Main Menu");
    menu_buttons.connect.label = net_socket != -1 ? "Disconnect" : "Connect";
    f.advance(0, -kPitch);
    ui_draw_button(&menu_buttons.connect, focus(1), f.pen, f.scale, 15, 0);
    f.advance(0, -kPitch);
    ui_draw_button(&menu_buttons.restart, focus(2), f.pen, f.scale, 15, 0);
    f.advance(5.3333f, -2.875f);
    ui_draw_text_field(&server_field, focus(3), f.pen, f.scale, 32, 0, 0.1875f);
    if (net_socket != -1 && net_state == 11) {
        f.advance(16, -1.875f);
        rider_table();
    }
    ui_end();
}

void console_screen()
{
    const float w = projection_half_width, h = projection_half_height;
    bvglPushMatrix();
    bvglLoadIdentity();
    bvglTranslatef(0, 0, -1);
    ui_fill_rect(0, 0, 0, 0.75f, -w, h, w, -h);
    bvglPopMatrix();
    menu_frame f;
    ui_begin_menu(53, 0.67f, -1, &f.pen, &f.scale);
    for (int i = 0; i < 50; ++i) {
        if (i > 0)
            f.advance(0, -1);
        if (i == 49 && console_scroll > 0) {
            text_draw_centered(0.75f, 0.75f, 0.75f, 1, 0, 70.6667f, "^    ^    ^    ^    ^");
            continue;
        }
        const int index = message_ring_index(message_log.write_index + i - console_scroll - 50);
        text_draw_shadowed(0.75f, 0.75f, 0.75f, 1, message_log.lines[index]);
    }
    f.advance(-0.67f, -0.375f - 1);
    ui_draw_text_field(&console_field, 1, f.pen, f.scale, 70.6667f, 1, 0.00948113f);
    ui_end();
}

void exit_screen()
{
    menu_backdrop_draw();
    menu_frame f;
    ui_begin_menu(25, 16.6667f, -10, &f.pen, &f.scale);
    text_draw_centered(1, 1, 1, 1, -12.5f, 12.5f, "Brovanta");
    bvglTranslatef(0, -1.5f, 0);
    text_draw_centered(1, 1, 1, 1, -12.5f, 12.5f, "Press any key to exit or ESC to keep playing");
    const double twice = 2 * run_clock;
    if (editor_unsaved_changes() && twice - std::floor(twice) > 0.5) {
        bvglTranslatef(0, -1.5f, 0);
        text_draw_centered(1, 0, 0, 1, -12.5f, 12.5f, "Track has been modified since last save!  Think about it!!!");
    }
    ui_end();
}

}  // namespace

menu_frame menu_frame_begin(const char* title, const char* back_label, ui_button* back)
{
    menu_backdrop_draw();
    menu_frame f;
    ui_begin_menu(32, 0, -1.125f, &f.pen, &f.scale);
    ui_draw_text_box(title, title_text, title_box, 15, 0);
    f.advance(0, -2);
    ui_button* b = back ? back : &menu_buttons.back;
    b->label = back_label;
    ui_draw_button(b, focus(0), f.pen, f.scale, 15, 0);
    return f;
}

void menu_draw()
{
    switch (menu_screen) {
    case screen_main_menu: main_menu(); break;
    case screen_new_race: new_race(); break;
    case screen_choose_list: choose_list_screen(); break;
    case screen_playback_race: playback_race(); break;
    case screen_points_series: points_series(); break;
    case screen_series_standings:
        // The standings draw their own frame, backdrop included.
        if (menu_seams.series_standings_draw)
            menu_seams.series_standings_draw();
        else
            menu_backdrop_draw();
        break;
    case screen_time_trial: time_trial(); break;
    case screen_bike_setup: bike_setup_draw(); break;
    case screen_suspension_gearing: suspension_gearing_draw(); break;
    case screen_advanced_stability: advanced_stability_draw(); break;
    case screen_customize_controls: customize_controls(); break;
    case screen_graphics_sound: graphics_sound(); break;
    case screen_advanced_graphics: advanced_graphics(); break;
    case screen_multiplayer: multiplayer(); break;
    case screen_console: console_screen(); break;
    case screen_exit: exit_screen(); break;
    default: break;
    }
}
