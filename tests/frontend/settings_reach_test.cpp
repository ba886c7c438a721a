// A setting changed in the menus or read from "@config" is the value the race core,
// the views and the network read, and "@config" writes the changed value back.
#include "settings_fixture.h"

#include "frontend/menu.h"
#include "frontend/menu_records.h"
#include "race/program/controls.h"
#include "race/game_settings.h"
#include "race/program/menu_state.h"
#include "race/net/player_setup.h"
#include "race/race_state.h"
#include "view/camera_views.h"
#include "view/sound_listener.h"
#include "view/view_settings.h"

namespace
{

using namespace settings_test;

constexpr int kUp = 0x1048, kDown = 0x1050, kLeft = 0x104B, kRight = 0x104D, kEnter = 0x101C;

// One setting: where its menu widget sits, the line that sets it in "@config", the
// value that line gives as the reading side holds it, and the reading side itself.
struct reached {
    const char* name;
    int screen;
    int item;
    const char* line;
    double expected;
    double (*read)();
};

const reached settings_read_elsewhere[] = {
    {"record", screen_new_race, 3, "record=Yes", 1, [] { return double(game_settings.record); }},
    {"skill", screen_new_race, 4, "skill=Expert", 2, [] { return double(game_settings.skill); }},
    {"minutes", screen_new_race, 5, "minutes=7.000000", 7, [] { return game_settings.minutes; }},
    {"laps", screen_new_race, 6, "laps=12.000000", 12, [] { return game_settings.laps; }},
    {"ghost_fade_distance", screen_time_trial, 3, "ghost_fade_distance=25.000000", 25,
     [] { return ghost_fade_distance; }},
    {"time_trial_abort", screen_time_trial, 4, "time_trial_abort=No", 0,
     [] { return double(game_settings.time_trial_abort); }},
    {"hide_rider", screen_graphics_sound, 8, "hide_rider=Yes", 1, [] { return double(hide_rider); }},
    {"rigid_camera", screen_graphics_sound, 9, "rigid_camera=Yes", 1,
     [] { return double(camera_settings.rigid_camera); }},
    {"fov", screen_graphics_sound, 10, "fov=95.000000", 95, [] { return game_settings.fov; }},
    {"first_person_height", screen_graphics_sound, 11, "first_person_height=0.500000", 0.5,
     [] { return camera_settings.first_person_height; }},
    {"first_person_angle", screen_graphics_sound, 12, "first_person_angle=15.000000", 15,
     [] { return camera_settings.first_person_angle; }},
    {"first_person_gimbal", screen_graphics_sound, 13, "first_person_gimbal=60.000000", 60,
     [] { return camera_settings.first_person_gimbal; }},
    {"third_person_height", screen_graphics_sound, 14, "third_person_height=9.000000", 9,
     [] { return camera_settings.third_person_height; }},
    {"third_person_distance", screen_graphics_sound, 15, "third_person_distance=30.000000", 30,
     [] { return camera_settings.third_person_distance; }},
    {"volume", screen_graphics_sound, 16, "volume=4.000000", 4, [] { return volume; }},
    {"comp_volume", screen_graphics_sound, 17, "comp_volume=2.000000", 2, [] { return comp_volume; }},
};

// The value the menu shows for a screen's item.
double shown(int screen, int item)
{
    switch (screen) {
    case screen_new_race:
        switch (item) {
        case 3: return record_demo_choice.selected;
        case 4: return robot_skill_choice.selected;
        case 5: return minutes_slider.value;
        default: return laps_slider.value;
        }
    case screen_time_trial:
        return item == 3 ? ghost_fade_slider.value : time_trial_abort_choice.selected;
    default:
        if (item == 8)
            return hide_rider_choice.selected;
        if (item == 9)
            return rigid_camera_choice.selected;
        return graphics_sound_sliders[item - 10]->value;
    }
}

TEST(SettingsReach, AMenuChangeIsWhatTheRaceAndTheViewsRead)
{
    settings_reset_static();
    menu_keys = {kUp, kDown, kLeft, kRight, kEnter, 0x111C, 1, 0x1019, 0x2000, 0x2001, 0x1049, 0x1051, 2};
    for (const reached& r : settings_read_elsewhere) {
        menu_open(r.screen);
        menu_item = r.item;
        const double before = r.read();
        // A slider at its top end moves down instead.
        const double shown_before = shown(r.screen, r.item);
        menu_key(kRight);
        if (shown(r.screen, r.item) == shown_before)
            menu_key(kLeft);
        EXPECT_NE(r.read(), before) << r.name << ": the change did not arrive";
        EXPECT_EQ(r.read(), shown(r.screen, r.item)) << r.name;
    }
    menu_close();
    settings_reset_static();
}

TEST(SettingsReach, ConfigLinesReachTheReadersAndAreWrittenBack)
{
    in_fresh_settings([](Problems& p, const folders& f) {
        std::string text;
        for (const reached& r : settings_read_elsewhere)
            text += std::string(r.line) + "\n";
        read_config_text(f, text + "track=tracks/sample\n");
        for (const reached& r : settings_read_elsewhere)
            p.check(r.read() == r.expected, std::string(r.name) + " read " + std::to_string(r.read()));
        p.same(game_settings.track, "tracks/sample", "the track start-up selects");
        track_choice_build(game_settings.track);
        config_write();
        const std::string back = read_file(f.config());
        for (const reached& r : settings_read_elsewhere)
            p.check(has_line(back, r.line), std::string("written back: ") + r.line);
        p.check(has_line(back, "track=tracks/sample"), "track written back");
    });
}

TEST(SettingsReach, DefaultsOfTheFoldedKeysAreUnchanged)
{
    in_fresh_settings([](Problems& p, const folders& f) {
        config_write();
        const std::string text = read_file(f.config());
        for (const char* line :
             {"record=No", "skill=Novice", "minutes=0.000000", "laps=5.000000", "ghost_fade_distance=10.000000",
              "time_trial_abort=Yes", "hide_rider=No", "rigid_camera=No", "fov=110.000000",
              "first_person_height=0.000000", "first_person_angle=0.000000", "first_person_gimbal=0.000000",
              "third_person_height=5.000000", "third_person_distance=10.000000", "volume=10.000000",
              "comp_volume=8.000000", "playback_mode=Playback Only", "reshade_delay=0.000000"})
            p.check(has_line(text, line), std::string("default ") + line);
    });
}

// The server is told the rider the bike setup shows, also after a setup file is read.
TEST(SettingsReach, TheRiderInfoFollowsTheBikeSetup)
{
    in_fresh_settings([](Problems& p, const folders& f) {
        read_config_text(f, "name=Fast One\nnumber=42\nbike=cr125\n");
        settings_derive();
        p.same(player_setup.name ? player_setup.name : "", "Fast One", "name from @config");
        p.same(player_setup.number ? player_setup.number : "", "42", "number from @config");
        p.same(player_setup.bike ? player_setup.bike : "", "cr125", "bike from @config");
        p.same(local_profile.bike ? local_profile.bike : "", "cr125", "the race's bike");
        ui_text_set(&rider_name_field, "Other Name");
        p.same(player_setup.name ? player_setup.name : "", "Other Name", "the name as typed");
    });
}

}  // namespace
