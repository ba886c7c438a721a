// A newcomer's walk through the menus with the keyboard alone: the program's entry
// routine, installed as main() installs it, on the sample track under the test's X server, every key typed through XTEST
// from the frame observer, one at a time, each waited for until its effect shows. New
// Race, Time Trial, the setup screens, a points-series event, the bundled demo, the
// console, and Quit; then what "@config" kept.
#include <gtest/gtest.h>

#include "app/program_install.h"
#include "foundation/memory.h"
#include "frontend/console_commands.h"
#include "frontend/message_line.h"
#include "gfx/fonts.h"
#include "gfx/images.h"
#include "frontend/menu.h"
#include "frontend/menu_records.h"
#include "frontend/settings.h"
#include "platform/qorl_window.h"
#include "platform/x11_native.h"
#include "race/bike_setup.h"
#include "race/demo/demo.h"
#include "race/game_tick.h"
#include "race/program/bindings.h"
#include "race/program/command_line.h"
#include "race/program/detail_presets.h"
#include "race/program/main_loop.h"
#include "race/program/program_window.h"
#include "race/race_restart.h"
#include "race/net/net_client.h"
#include "race/race_riders.h"
#include "race/program/run_clock.h"
#include "race/program/settings_values.h"
#include "race/race_state.h"
#include "race/series.h"
#include "race/program/shutdown.h"
#include "race/program/startup.h"
#include "sim/race_clock.h"
#include "sim/rider_access.h"
#include "sim/rider_slot.h"
#include "platform/fake_evdev.h"
#include "support/fake_input.h"
#include "support/fresh_process.h"
#include "support/xvfb_server.h"
#include "terrain/track_list.h"
#include "test_server.h"

#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

using bvtest::Problems;

namespace {

// One step: an action taken once, then frames until its effect shows.
struct Step {
    std::string what;
    std::function<void()> act;
    std::function<bool()> done;
    int frames = 90;   // waited at most
};

struct Walk {
    Display* display = nullptr;
    bvtest::FakeInput input;
    std::vector<Step> steps;
    size_t at = 0;
    int waited = -1;   // frames since the step's action; -1 = not taken yet
    int frame = 0;
    std::string user;   // the user folder
    int screenshots = 0;
    void (*each_frame)() = nullptr;
    Problems problems;
    // Values kept between steps.
    int32_t tick_mark = 0;
    float body_mark[3] = {};
    double fov_mark = 0;
};
Walk walk;

void close_window()
{
    bvtest::send_close(walk.display, loop_io.window->native->handle);
}

void tap(KeySym key, bool shift = false)
{
    if (shift)
        walk.input.key(walk.display, XK_Shift_L, true);
    walk.input.key(walk.display, key, true);
    walk.input.key(walk.display, key, false);
    if (shift)
        walk.input.key(walk.display, XK_Shift_L, false);
}

void body_position(int32_t slot, float out[3])
{
    const dReal* p = dBodyGetPosition(rider_get_frame_body(&rider_slots[slot]));
    for (int k = 0; k < 3; ++k)
        out[k] = float(p[k]);
}

float distance(const float a[3], const float b[3])
{
    return std::sqrt((a[0] - b[0]) * (a[0] - b[0]) + (a[1] - b[1]) * (a[1] - b[1]) + (a[2] - b[2]) * (a[2] - b[2]));
}

int count_kind(int32_t kind)
{
    int n = 0;
    for (int32_t k = 0; k < kRiderSlots; ++k)
        n += race_rider_exists(k) && race.kinds[k] == kind;
    return n;
}

void add(std::string what, std::function<void()> act, std::function<bool()> done, int frames = 90)
{
    walk.steps.push_back({std::move(what), std::move(act), std::move(done), frames});
}

// A check on the state at this point of the walk.
void check(std::string what, std::function<bool()> ok)
{
    add("check: " + what, [] {}, std::move(ok), 1);
}

// Frames pass with nothing typed.
void wait_frames(int n)
{
    auto left = std::make_shared<int>(n);
    add("wait", [left, n] { *left = n; }, [left] { return --*left <= 0; }, n + 2);
}

void key_to_item(KeySym key, int32_t item)
{
    add("key " + std::string(XKeysymToString(key)) + " to item " + std::to_string(item), [key] { tap(key); },
        [item] { return menu_item == item; });
}

void down_to(int32_t item)
{
    for (int32_t i = 1; i <= item; ++i)
        key_to_item(XK_Down, i);
}

void key_to_screen(KeySym key, int screen)
{
    add("key " + std::string(XKeysymToString(key)) + " to screen " + std::to_string(screen), [key] { tap(key); },
        [screen] { return menu_screen == screen && menu_item == 0; });
}

void focus_first()
{
    add("the window has the focus", [] {
        XSetInputFocus(walk.display, loop_io.window->native->handle, RevertToParent, CurrentTime);
        XSync(walk.display, False);
    }, [] { return true; });
    check("the main menu is open on item 0", [] { return menu_screen == screen_main_menu && menu_item == 0; });
}

// The brightest of the main menu's boxes in the shown frame, read back as the
// screenshot key reads it; -1 when no picture came.
int brightest_main_item(const std::string& file)
{
    uint8_t* pixels = nullptr;
    int w = 0, h = 0;
    if (!image_load_rgb(file.c_str(), &pixels, &w, &h))
        return -1;
    int best = -1;
    double best_mean = -1;
    for (int i = 0; i < 9; ++i) {
        const ui_rect& r = menu_buttons.main[i].rect;
        double sum = 0;
        int n = 0;
        for (int y = std::max(r.y0, 0); y < std::min(r.y1, h); ++y)
            for (int x = std::max(r.x0, 0); x < std::min(r.x1, w); ++x, ++n)
                for (int c = 0; c < 3; ++c)
                    sum += pixels[(size_t(y) * size_t(w) + size_t(x)) * 3 + size_t(c)];
        if (n > 0 && sum / n > best_mean) {
            best_mean = sum / n;
            best = i;
        }
    }
    mem_free(pixels);
    return best;
}

void bright_box_in(int item)
{
    auto file = std::make_shared<std::string>();
    add("the shown frame has the bright box in item " + std::to_string(item), [file] {
        char name[32];
        snprintf(name, sizeof name, "/screenshot%03d.png", ++walk.screenshots);
        *file = walk.user + name;
        loop.screenshot_pending = 1;
    }, [file, item] { return bvtest::file_exists(*file) && brightest_main_item(*file) == item; }, 10);
}

// The texts drawn in the frame before the last.
std::vector<std::string> texts_drawn, texts_drawing;

void record_texts()
{
    texts_drawn.swap(texts_drawing);
    texts_drawing.clear();
}

bool text_drawn(const std::string& text)
{
    return std::find(texts_drawn.begin(), texts_drawn.end(), text) != texts_drawn.end();
}

void texts_recorded(bool on)
{
    if (on)
        text_capture = [](const char* text, const float*, const float*) { texts_drawing.push_back(text); };
    else
        text_capture = nullptr;
    walk.each_frame = on ? record_texts : nullptr;
}

// A race's pitboard: the lap with the position.
void race_pitboard_shows()
{
    add("the pitboard shows the lap and the position", [] { texts_recorded(true); }, [] {
        return std::any_of(texts_drawn.begin(), texts_drawn.end(),
                           [](const std::string& t) { return t.rfind("L1 P", 0) == 0; });
    }, 10);
    add("the pitboard is no longer recorded", [] { texts_recorded(false); }, [] { return true; });
}

// On the time trial that the menu started: the pitboard's time-trial panel, backing
// up ends the attempt once per press, and a recorded lap cannot be renamed.
void time_trial_shows()
{
    add("the pitboard is recorded", [] { texts_recorded(true); }, [] { return text_drawn("P1"); }, 10);
    check("the pitboard shows the position alone", [] { return !text_drawn("L1 P1"); });
    add("a ridden lap's times", [] {
        time_trial.last_lap = 61 * 128;
        time_trial.best_lap = 60 * 128 + 70;
    }, [] { return text_drawn("Last - 1:01.0 ") && text_drawn("Best - 1:00.5"); }, 10);
    add("the pitboard is no longer recorded", [] {
        texts_recorded(false);
        time_trial = {};
    }, [] { return true; });
    add("b held: the attempt starts again", [] {
        walk.tick_mark = race.restart_counter;
        walk.input.key(walk.display, XK_b, true);
    }, [] { return race.restart_counter == walk.tick_mark + 1; });
    wait_frames(10);
    add("b released: once for the press", [] { walk.input.key(walk.display, XK_b, false); },
        [] { return race.restart_counter == walk.tick_mark + 1; }, 2);
    check("a recorded lap keeps its name", [] {
        demo_record_open();
        const std::string before = demo_name();
        console_execute("/namedemo lap");
        const bool kept = demo_recording() && before == demo_name() &&
                          strcmp(message_line_back(0), "Not currently recording a demo") == 0;
        demo_stop();
        return kept;
    });
}

// The keyboard walk, step by step.
void plan_newcomer()
{
    focus_first();
    add("the race goes on behind the menu (a robot is followed)", [] { walk.tick_mark = current_tick; },
        [] { return current_tick > walk.tick_mark + 64; });
    bright_box_in(0);
    key_to_item(XK_Down, 1);
    bright_box_in(1);
    key_to_item(XK_Up, 0);

    // New Race -> Start.
    key_to_screen(XK_Return, screen_new_race);
    key_to_item(XK_Down, 1);
    add("Start closes the menus", [] { tap(XK_Return); }, [] { return menu_screen < 0; });
    check("five automatic riders and one local rider, 5 laps, no time limit", [] {
        return count_kind(rider_kind_bot) == 5 && count_kind(rider_kind_local) == 1 && race.laps == 5 &&
               race.time_limit_ticks == 0;
    });
    race_pitboard_shows();

    // Time Trial -> Start.
    key_to_screen(XK_Escape, screen_main_menu);
    add("the race stands behind the menu with a local rider", [] { walk.tick_mark = current_tick; },
        [] { return current_tick == walk.tick_mark; }, 2);
    wait_frames(10);
    check("the tick stood", [] { return current_tick == walk.tick_mark; });
    down_to(3);
    key_to_screen(XK_Return, screen_time_trial);
    key_to_item(XK_Down, 1);
    add("Start rides the time trial", [] { tap(XK_Return); }, [] { return menu_screen < 0; });
    check("the local rider is alone in slot 0, tick at least 38400", [] {
        return race_rider_exists(0) && race.kinds[0] == rider_kind_local && count_kind(rider_kind_bot) == 0 &&
               count_kind(rider_kind_local) == 1 && current_tick >= 38400;
    });
    wait_frames(2);
    add("x held for 60 frames", [] {
        body_position(0, walk.body_mark);
        walk.input.key(walk.display, XK_x, true);
    }, [] { return true; });
    wait_frames(60);
    add("x released: the rider moved more than 5 ft", [] { walk.input.key(walk.display, XK_x, false); }, [] {
        float now[3];
        body_position(0, now);
        return distance(now, walk.body_mark) > 5;
    }, 2);

    time_trial_shows();

    // Graphics/Sound: Field Of View three to the right, then the High FPS preset.
    key_to_screen(XK_Escape, screen_main_menu);
    down_to(6);
    key_to_screen(XK_Return, screen_graphics_sound);
    down_to(10);
    for (int i = 1; i <= 3; ++i)
        add("Field Of View right", [] {
            walk.fov_mark = fov_slider.value;
            tap(XK_Right);
        }, [] { return fov_slider.value == walk.fov_mark + 1; });
    for (int32_t item = 9; item >= 3; --item)
        key_to_item(XK_Up, item);
    add("Use High FPS Settings", [] { tap(XK_Return); }, [] { return detail_preset_matches(1) != 0; });
    key_to_item(XK_Up, 2);
    key_to_item(XK_Up, 1);
    key_to_item(XK_Up, 0);
    key_to_screen(XK_Return, screen_main_menu);

    // Bike Setup: the number typed as 4, 2; Stop Wheelies one to the right.
    down_to(5);
    key_to_screen(XK_Return, screen_bike_setup);
    down_to(5);
    add("4 typed into Number", [] { tap(XK_4); }, [] { return strncmp(rider_number_field.buffer, "4", 1) == 0; });
    add("2 typed into Number", [] { tap(XK_2); }, [] { return strcmp(rider_number_field.buffer, "429") == 0; });
    for (int32_t item = 6; item <= 18; ++item)
        key_to_item(XK_Down, item);
    add("Stop Wheelies right", [] { tap(XK_Right); }, [] { return assist_choices[3].selected == 1; });
    add("Esc closes the menus", [] { tap(XK_Escape); }, [] { return menu_screen < 0; });
    key_to_screen(XK_Escape, screen_main_menu);

    // Points Series -> row 0 -> Enter Next Event.
    down_to(2);
    key_to_screen(XK_Return, screen_points_series);
    key_to_item(XK_Down, 2);   // "Prev Page" is hidden on page 0
    key_to_screen(XK_Return, screen_series_standings);
    key_to_item(XK_Down, 1);
    add("Enter Next Event starts the series race", [] { tap(XK_Return); }, [] { return menu_screen < 0; });
    check("the eight opponents at gates 0-7 and the player at gate 8", [] {
        bool ok = start_lineup[8] == 1 && start_lineup[9] == 0;
        for (int32_t i = 0; i < 8; ++i)
            ok = ok && start_lineup[i] >= 1000;
        return ok && count_kind(rider_kind_bot) == 8 && count_kind(rider_kind_local) == 1;
    });

    // Playback Race -> "sample".
    key_to_screen(XK_Escape, screen_main_menu);
    down_to(1);
    key_to_screen(XK_Return, screen_playback_race);
    down_to(3);
    check("the bundled demo is listed", [] { return choose_page.rows[0] && strcmp(choose_page.rows[0], "sample") == 0; });
    add("Return plays the demo", [] { tap(XK_Return); }, [] { return menu_screen < 0 && demo_playing(); });
    check("the demo riders fill their slots", [] { return count_kind(rider_kind_remote) >= 5; });
    add("the replay runs", [] { walk.tick_mark = current_tick; }, [] { return current_tick > walk.tick_mark + 32; });

    // The console opened by "t" does not receive the "t".
    add("t opens the console", [] { tap(XK_t); }, [] { return menu_screen == screen_console; });
    wait_frames(3);
    check("the console's input is empty", [] { return console_field.buffer[0] == 0; });
    add("Esc closes the console", [] { tap(XK_Escape); }, [] { return menu_screen < 0; });

    key_to_screen(XK_Escape, screen_main_menu);
    add("the replay runs behind the menu too", [] { walk.tick_mark = current_tick; },
        [] { return current_tick > walk.tick_mark + 32; });
    down_to(8);
    add("Quit opens the exit screen", [] { tap(XK_Return); }, [] { return menu_screen == screen_exit; });
    add("y quits", [] { tap(XK_y); }, [] { return loop.quit != 0; });
}

void observe()
{
    Walk& w = walk;
    ++w.frame;
    if (w.each_frame)
        w.each_frame();
    if (w.at >= w.steps.size())
        return;
    Step& s = w.steps[w.at];
    if (w.waited < 0) {
        s.act();
        w.waited = 0;
    }
    if (s.done()) {
        ++w.at;
        w.waited = -1;
        return;
    }
    if (++w.waited > s.frames) {
        w.problems.check(false, "step " + std::to_string(w.at) + " \"" + s.what + "\" never came (screen " +
                                    std::to_string(menu_screen) + ", item " + std::to_string(menu_item) + ")");
        w.at = w.steps.size();
        close_window();
    }
}

bool has_line(const std::string& text, const std::string& line)
{
    return ("\n" + text).find("\n" + line + "\n") != std::string::npos;
}

// The centre of a rectangle in window pixels, as root-window coordinates for XTEST.
void point_at(int x, int y)
{
    Window child = 0;
    int rx = 0, ry = 0;
    XTranslateCoordinates(walk.display, loop_io.window->native->handle, DefaultRootWindow(walk.display), x, y, &rx,
                          &ry, &child);
    walk.input.move(walk.display, rx, ry);
    XSync(walk.display, False);
}
void point_at(const ui_rect& r)
{
    point_at((r.x0 + r.x1) / 2, (r.y0 + r.y1) / 2);
}
void click()
{
    walk.input.button(walk.display, 1, true);
    walk.input.button(walk.display, 1, false);
    XSync(walk.display, False);
}

const char* const kPad = "/dev/input/event7";
bvtest::FakeEvdev* pad = nullptr;

void trigger(int32_t value)
{
    pad->send(kPad, {bvtest::abs_event(evdev::abs_rz, value), bvtest::syn_event()});
}

bool throttle_on_pad()
{
    const char* axis = bindings[bind_throttle].axis_name;
    return axis && strcmp(axis, "XInputGamepad0 axis 5") == 0;
}

// The third run: a pad's trigger bound to the throttle and ridden, then the pointer.
void plan_pad_and_pointer()
{
    focus_first();
    down_to(7);
    key_to_screen(XK_Return, screen_customize_controls);
    key_to_item(XK_Down, 1);
    add("Return on Throttle waits for a key or an axis", [] { tap(XK_Return); },
        [] { return capture_binding() == &bindings[bind_throttle]; });
    add("the right trigger pulled fully and held", [] { trigger(1023); },
        [] { return capture_binding() == nullptr && throttle_on_pad(); }, 200);
    check("Throttle shows the pad axis",
          [] { return binding_line_text(&bindings[bind_throttle], false).find("XInputGamepad0 axis 5") != std::string::npos; });
    add("the trigger let go", [] { trigger(0); }, [] { return true; });
    add("Esc closes the menus", [] { tap(XK_Escape); }, [] { return menu_screen < 0; });
    key_to_screen(XK_Escape, screen_main_menu);
    down_to(3);
    key_to_screen(XK_Return, screen_time_trial);
    key_to_item(XK_Down, 1);
    add("Start rides the time trial", [] { tap(XK_Return); }, [] { return menu_screen < 0; });
    wait_frames(2);
    add("the trigger pulled for 60 frames", [] {
        body_position(0, walk.body_mark);
        trigger(1023);
    }, [] { return true; });
    wait_frames(60);
    add("the trigger moved the rider more than 5 ft", [] { trigger(0); }, [] {
        float now[3];
        body_position(0, now);
        return distance(now, walk.body_mark) > 5;
    }, 2);

    // The pointer: the highlight follows it, a click takes the item.
    key_to_screen(XK_Escape, screen_main_menu);
    add("the pointer over Points Series", [] { point_at(menu_buttons.main[2].rect); }, [] { return menu_item == 2; });
    add("a click opens it", [] { click(); }, [] { return menu_screen == screen_points_series; });
    add("Esc closes the menus", [] { tap(XK_Escape); }, [] { return menu_screen < 0; });
    key_to_screen(XK_Escape, screen_main_menu);
    add("the pointer over New Race", [] { point_at(menu_buttons.main[1].rect); }, [] { return menu_item == 1; });
    add("the pointer back on New Race", [] { point_at(menu_buttons.main[0].rect); }, [] { return menu_item == 0; });
    add("a click opens New Race", [] { click(); }, [] { return menu_screen == screen_new_race; });
    add("the pointer over Track", [] { point_at(track_choice.rect); }, [] { return menu_item == 2; });
    add("a click opens Choose Track", [] { click(); }, [] { return menu_screen == screen_choose_list; });
    check("fewer than 20 tracks", [] { return menu_buttons.rows[19].rect.x0 == -1; });
    add("the pointer over the first row", [] { point_at(menu_buttons.rows[0].rect); }, [] { return menu_item == 2; });
    add("the pointer over an empty row", [] {
        const ui_rect& a = menu_buttons.rows[0].rect;
        const ui_rect& b = menu_buttons.rows[1].rect;
        point_at((a.x0 + a.x1) / 2, (a.y0 + a.y1) / 2 + 15 * (b.y0 - a.y0));
    }, [] { return true; });
    wait_frames(5);
    check("the highlight stayed on the first row", [] { return menu_item == 2 && menu_screen == screen_choose_list; });
    // A click is for the row under the pointer even when the keyboard moved the
    // highlight since the pointer last moved (it once did nothing until the pointer moved).
    add("the pointer over the second row", [] { point_at(menu_buttons.rows[1].rect); }, [] { return menu_item == 3; });
    key_to_item(XK_Up, 2);
    add("a click chooses the second row", [] { click(); }, [] {
        return menu_screen == screen_new_race && strcmp(track_choice.items[track_choice.selected], "Flat Test Ground") == 0;
    });
    add("the window closed", [] { close_window(); }, [] { return true; });
}

// The first race as a rider starts it: New Race with the defaults, the throttle held
// from two seconds after Start until after the gate has dropped, and let go four
// seconds later. The bike must be well away from the gate by then.
int32_t local_slot()
{
    for (int32_t k = 0; k < kRiderSlots; ++k)
        if (race_rider_exists(k) && race.kinds[k] == rider_kind_local)
            return k;
    return -1;
}

void plan_held_start()
{
    focus_first();
    key_to_screen(XK_Return, screen_new_race);
    key_to_item(XK_Down, 1);
    add("Start closes the menus", [] { tap(XK_Return); }, [] { return menu_screen < 0 && local_slot() >= 0; });
    add("two seconds at the gate", [] { walk.tick_mark = current_tick; },
        [] { return current_tick >= walk.tick_mark + 2 * 128; }, 120);
    add("x held before the drop", [] {
        body_position(local_slot(), walk.body_mark);
        walk.input.key(walk.display, XK_x, true);
    }, [] { return current_tick < race.gate_drop_tick; }, 2);
    add("the gate drops with x held", [] {}, [] { return current_tick > race.gate_drop_tick; }, 30 * 20);
    add("four seconds after the drop", [] {}, [] { return current_tick >= race.gate_drop_tick + 4 * 128; }, 200);
    add("x released", [] { walk.input.key(walk.display, XK_x, false); }, [] { return true; });
    check("the rider is more than 40 ft from the gate", [] {
        float now[3];
        body_position(local_slot(), now);
        const float d = distance(now, walk.body_mark);
        walk.problems.check(d > 40, "four seconds after the drop the rider is " + std::to_string(d) +
                                        " ft from where the throttle was pressed, in gear " +
                                        std::to_string(rider_slots[local_slot()].gear));
        return true;
    });
    add("the window closed", [] { close_window(); }, [] { return true; });
}

bool window_is(int32_t w, int32_t h)
{
    return window_width == w && window_height == h;
}

// The High Detail preset on a 1920 x 1080 desktop, the frame-rate line and spy mode on:
// the HUD over the rider's eye and the chase camera, with the menu open over them and
// while riding, and none over the trackside view that spy mode keeps (the HUD belongs to
// the views of a rider). The dial's face and the board keep their pictures' own colours:
// after the world's lens flare they were once added to the view behind them.
const char* const kHighDetailConfig =
    "video_mode=Default Fullscreen\nserver_name=\nground_detail=90.000000\nground_texture_detail=10.000000\n"
    "ground_texture_dim_new=4096x4096\nground_mipmaps=Yes\ntexture_compress=No\nrender_texture=Shaders/Direct\n"
    "use_shader=Yes\nroost_density=1000.000000\nterrain_resync_rate=8.000000\nlens_flare=Yes\nreflections=Yes\n"
    "model_detail=75.000000\nmodel_texture_detail=10.000000\n";

struct Shot {
    uint8_t* pixels = nullptr;
    int w = 0, h = 0;
    ~Shot() { mem_free(pixels); }
    // The mean colour of a box of window pixels, y from the top.
    std::array<double, 3> mean(double x0, double y0, double x1, double y1) const
    {
        std::array<double, 3> sum{};
        int n = 0;
        for (int y = std::max(int(y0), 0); y < std::min(int(y1), h); ++y)
            for (int x = std::max(int(x0), 0); x < std::min(int(x1), w); ++x, ++n)
                for (size_t c = 0; c < 3; ++c)
                    sum[c] += pixels[(size_t(y) * size_t(w) + size_t(x)) * 3 + c];
        for (double& v : sum)
            v /= std::max(n, 1);
        return sum;
    }
};

// The HUD's places in window pixels: the dial's radius and the board's side.
double dial_radius() { return 0.23340251 * window_height / 2; }
double board_side() { return 0.6227179 * window_height / 2; }

std::array<double, 3> dial_face(const Shot& s)
{
    const double r = dial_radius(), cx = window_width - r, cy = window_height - r;
    return s.mean(cx - 0.05 * r, cy - 0.5 * r, cx + 0.05 * r, cy - 0.42 * r);   // between the gear and the 8
}

std::array<double, 3> board(const Shot& s)
{
    const double p = board_side();
    return s.mean(0.08 * p, window_height - 0.6 * p, 0.3 * p, window_height - 0.4 * p);   // left of the texts
}

std::string show(const std::array<double, 3>& c)
{
    return std::to_string(int(c[0])) + "," + std::to_string(int(c[1])) + "," + std::to_string(int(c[2]));
}

bool close_to(const std::array<double, 3>& got, const std::array<double, 3>& want, double tolerance)
{
    for (size_t c = 0; c < 3; ++c)
        if (std::fabs(got[c] - want[c]) > tolerance)
            return false;
    return true;
}

// A screenshot of the shown frame, then `check` on it.
void shot(const std::string& what, std::function<void(const Shot&)> check)
{
    auto file = std::make_shared<std::string>();
    add(what, [file] {
        char name[32];
        snprintf(name, sizeof name, "/screenshot%03d.png", ++walk.screenshots);
        *file = walk.user + name;
        loop.screenshot_pending = 1;
    }, [file, check] {
        if (!bvtest::file_exists(*file))
            return false;
        Shot s;
        if (!image_load_rgb(file->c_str(), &s.pixels, &s.w, &s.h) || s.w != window_width || s.h != window_height)
            return false;
        check(s);
        return true;
    }, 10);
}

// The pictures' own colours: the face (18, 18, 23), the board (237, 237, 230); under the
// menu's backdrop half of them and half of its grey (51).
void hud_pictures_shown(const std::string& where, bool menu)
{
    shot("the dial and the board as drawn " + where, [where, menu](const Shot& s) {
        auto seen = [menu](std::array<double, 3> c) {
            if (menu)
                for (double& v : c)
                    v = 0.5 * v + 25.5;
            return c;
        };
        const auto face = dial_face(s), plate = board(s);
        walk.problems.check(close_to(face, seen({18, 18, 23}), 12), where + ": the dial's face is " + show(face));
        walk.problems.check(close_to(plate, seen({237, 237, 230}), 10), where + ": the board is " + show(plate));
    });
}

// With the race standing behind the menu: the frame with the HUD and the same frame
// without it differ over the board, the dial and the map.
void hud_over_the_view(const std::string& where)
{
    auto shown = std::make_shared<std::array<std::array<double, 3>, 3>>();
    auto boxes = [](const Shot& s) {
        const double r = dial_radius(), p = board_side(), m = 2 * r, W = window_width, H = window_height;
        return std::array<std::array<double, 3>, 3>{s.mean(0.1 * p, H - 0.7 * p, 0.9 * p, H - 0.2 * p),
                                                     s.mean(W - 1.6 * r, H - 1.6 * r, W - 0.4 * r, H - 0.4 * r),
                                                     s.mean(W - 0.8 * m, 0.2 * m, W - 0.2 * m, 0.8 * m)};
    };
    shot("the HUD shown " + where, [shown, boxes](const Shot& s) { *shown = boxes(s); });
    add("the HUD hidden", [] { command_line_options.hidden_hud = true; }, [] { return true; });
    shot("the HUD hidden " + where, [shown, boxes, where](const Shot& s) {
        const auto hidden = boxes(s);
        const char* const names[3] = {"board", "dial", "map"};
        for (size_t k = 0; k < 3; ++k)
            walk.problems.check(!close_to((*shown)[k], hidden[k], 8),
                                where + ": the " + names[k] + " is not drawn (" + show((*shown)[k]) + ")");
    });
    add("the HUD back", [] { command_line_options.hidden_hud = false; }, [] { return true; });
}

bool text_begins(const char* start)
{
    return std::any_of(texts_drawn.begin(), texts_drawn.end(),
                       [start](const std::string& t) { return t.rfind(start, 0) == 0; });
}

// For `frames` frames in a row: the frame-rate line, and the pitboard's lap and position
// line when `pitboard` (none when not).
void pitboard_each_frame(const std::string& where, bool pitboard, int frames)
{
    auto seen = std::make_shared<int>(0);
    add("the pitboard " + std::string(pitboard ? "" : "not ") + "drawn " + where, [seen] {
        texts_recorded(true);
        *seen = -1;   // the first frame's texts are the frame's before recording
    }, [seen, where, pitboard, frames] {
        if (++*seen == 0)
            return false;
        if (!text_begins("FPS - ") || text_begins("L1 P") != pitboard) {
            walk.problems.check(false, where + ": frame " + std::to_string(*seen) + " has" + (pitboard ? " no" : "") +
                                           " pitboard, frame-rate line " + (text_begins("FPS - ") ? "drawn" : "missing"));
            return true;
        }
        return *seen >= frames;
    }, frames + 2);
    add("texts no longer recorded", [] { texts_recorded(false); }, [] { return true; });
}

void key_to_view(KeySym key, int32_t view)
{
    add("key " + std::string(XKeysymToString(key)) + " to view " + std::to_string(view), [key] { tap(key); },
        [view] { return loop.view_mode == view; });
}

void menu_over(const std::string& where)
{
    add("Esc opens the menu over the race " + where, [] { tap(XK_Escape); },
        [] { return menu_screen == screen_main_menu; });
    pitboard_each_frame(where + " under the menu", true, 5);
    hud_pictures_shown(where + " under the menu", true);
    hud_over_the_view(where + " under the menu");
    add("Esc closes it", [] { tap(XK_Escape); }, [] { return menu_screen < 0; });
}

void plan_high_detail_desktop()
{
    focus_first();
    check("High Detail in use on the 1920 x 1080 desktop, the ground textures 4096 x 4096", [] {
        return detail_preset_matches(3) && window_is(1920, 1080) && track_terrain.detail_texture_size == 4096;
    });
    add("/togglefps and /togglespy", [] {
        console_execute("/togglefps");
        console_execute("/togglespy");
    }, [] { return plain_values.draw_fps == 1 && plain_values.spy == 1; });
    key_to_screen(XK_Return, screen_new_race);
    key_to_item(XK_Down, 1);
    add("Start closes the menus", [] { tap(XK_Return); }, [] { return menu_screen < 0 && local_slot() >= 0; });
    check("the rider's eye", [] { return loop.view_mode == view_rider; });
    pitboard_each_frame("over the rider's eye", true, 10);
    hud_pictures_shown("over the rider's eye", false);
    menu_over("in the rider's eye");
    key_to_view(XK_Tab, view_chase);
    pitboard_each_frame("over the chase camera", true, 10);
    hud_pictures_shown("over the chase camera", false);
    menu_over("in the chase camera");
    add("the gate drops", [] {}, [] { return current_tick > race.gate_drop_tick; }, 600);
    add("x held", [] { walk.input.key(walk.display, XK_x, true); }, [] { return true; });
    pitboard_each_frame("while riding", true, 40);
    add("x released", [] { walk.input.key(walk.display, XK_x, false); }, [] { return true; });
    key_to_view(XK_Tab, view_trackside);
    pitboard_each_frame("over the trackside view that spy mode keeps", false, 10);
    add("Esc opens the menu over the trackside view", [] { tap(XK_Escape); },
        [] { return menu_screen == screen_main_menu; });
    pitboard_each_frame("over the trackside view under the menu", false, 5);
    add("Esc closes it", [] { tap(XK_Escape); }, [] { return menu_screen < 0; });
    key_to_view(XK_Tab, view_rider);
    pitboard_each_frame("over the rider's eye again", true, 5);
    add("the window closed", [] { close_window(); }, [] { return true; });
}

// Windowed at 800 x 600, to the screen's full-screen mode and back to "Windowed": the
// size the player had comes back and stays saved. Choosing "Windowed" while still full
// screen once copied the screen's size into "xres" and "yres" at the next frame.
bool windowed_size_kept()
{
    return plain_values.xres == 800 && plain_values.yres == 600;
}

void plan_video_modes()
{
    focus_first();
    check("the window opened at 800 x 600", [] { return window_is(800, 600) && windowed_size_kept(); });
    down_to(6);
    key_to_screen(XK_Return, screen_graphics_sound);
    down_to(6);
    add("Video Mode right to the screen's mode", [] { tap(XK_Right); }, [] {
        return video_mode_choice.selected == 2 && strcmp(video_mode_choice.items[2], "1024x768") == 0;
    });
    key_to_item(XK_Down, 7);
    add("Switch To Selected Mode Now fills the screen", [] { tap(XK_Return); }, [] { return window_is(1024, 768); },
        300);
    wait_frames(5);
    check("full screen leaves the windowed size alone", windowed_size_kept);
    key_to_item(XK_Up, 6);
    add("Video Mode left to Windowed", [] { tap(XK_Left); }, [] { return video_mode_choice.selected == 1; });
    wait_frames(10);
    check("choosing Windowed while full screen leaves the windowed size alone",
          [] { return window_is(1024, 768) && windowed_size_kept(); });
    key_to_item(XK_Down, 7);
    add("Switch To Selected Mode Now gives the window back", [] { tap(XK_Return); },
        [] { return window_is(800, 600); }, 300);
    wait_frames(5);
    check("the windowed size is the player's", windowed_size_kept);
    add("the window closed", [] { close_window(); }, [] { return true; });
}

// The second run: the loopback test server, stepped with the program's clock.
test_server::Server* server = nullptr;
std::vector<std::string> server_events;
uint32_t server_ticks = 0;

void step_server()
{
    while (server_ticks < uint32_t(run_clock * 128)) {
        server->step(server_ticks / 128.0);
        ++server_ticks;
    }
    for (std::string& e : server->take_events())
        server_events.push_back(std::move(e));
}

bool server_logged(const std::string& event)
{
    return std::find(server_events.begin(), server_events.end(), event) != server_events.end();
}

void type_text(const std::string& text)
{
    for (size_t i = 0; i < text.size(); ++i) {
        const std::string want = text.substr(0, i + 1);
        const char c = text[i];
        const KeySym key = c == ':' ? XK_semicolon : c == '.' ? XK_period : XK_0 + (c - '0');
        add(std::string("typed ") + c, [key, c] { tap(key, c == ':'); },
            [want] { return want == server_field.buffer; });
    }
}

void plan_online()
{
    focus_first();
    add("the server races the program's track", [] { memcpy(server->options().hash.data(), track_hash, 20); },
        [] { return true; });
    down_to(4);
    key_to_screen(XK_Return, screen_multiplayer);
    down_to(3);
    type_text(server->address());
    key_to_item(XK_Up, 2);
    key_to_item(XK_Up, 1);
    add("Connect reaches the race on the server's track", [] { tap(XK_Return); }, [] {
        return menu_screen < 0 && net_state == 11 && net_track_name && strcmp(net_track_name, "tracks/sample") == 0;
    }, 900);
    add("a changed setup goes to the server as chat", [] {
        setup.leveling += 7;
        setup_watch_mark();
    }, [] {
        for (const test_server::Record& r : server->records())
            if (r.type == 19 && std::string(r.payload.begin(), r.payload.end()).rfind("[SPAM] Setup change ", 0) == 0)
                return true;
        return false;
    }, 900);
    key_to_screen(XK_Escape, screen_main_menu);
    down_to(4);
    key_to_screen(XK_Return, screen_multiplayer);
    key_to_item(XK_Down, 1);
    check("item 1 reads Disconnect", [] { return strcmp(menu_buttons.connect.label, "Disconnect") == 0; });
    add("Disconnect leaves the server", [] { tap(XK_Return); }, [] {
        return net_socket == -1 && server_logged("slot 0 left");
    }, 300);
    add("the window closed", [] { close_window(); }, [] { return true; });
}

std::string walk_once(const std::string& home, void (*plan)(), int argc, const char** argv,
                      const std::vector<std::string>& config_lines)
{
    setenv("XDG_DATA_HOME", (home + "/xdg").c_str(), 1);
    setenv("HOME", home.c_str(), 1);
    setenv("BV_HOME", BV_BUILD_DIR "/game", 1);
    setenv("BV_CHECK_ALLOC", "1", 1);
    unsetenv("QORL_OPTIONS");
    shutdown_pause_seconds = 0;
    walk.display = bvtest::open_test_display();
    if (!walk.display || !walk.input.available())
        return "no test display or no XTEST";
    walk.user = home + "/xdg/Brovanta";
    plan();
    loop_io.frame_observer = observe;
    program_install();
    const int status = brovanta_main(argc, const_cast<char**>(argv));
    Problems& p = walk.problems;
    p.check(status == 0, "the entry routine returns 0, got " + std::to_string(status));
    p.check(walk.at == walk.steps.size(), "the walk reached its end");
    const std::string config = bvtest::read_file(home + "/xdg/Brovanta/config");
    for (const std::string& line : config_lines)
        p.check(has_line(config, line), "\"@config\" holds " + line);
    const std::string log = bvtest::read_file(home + "/xdg/Brovanta/lastlog.txt");
    p.check(log.find("Writing config files\n") != std::string::npos &&
                log.find("Deleting OpenGL context\n") > log.find("Writing config files\n"),
            "the shutdown lines are in order");
    XCloseDisplay(walk.display);
    return p.text;
}

// A fresh user folder named to the re-executed copy of this program through the
// environment, with a 640 x 480 window.
std::string walk_home(const bvtest::TempDir& temp)
{
    const char* given = getenv("BV_WALK_HOME");
    const std::string home = given ? given : temp.path();
    setenv("QORL_LOGFILE", (home + "/xdg/Brovanta/lastlog.txt").c_str(), 1);
    if (!given) {
        setenv("BV_WALK_HOME", home.c_str(), 1);
        bvtest::write_file(home + "/xdg/Brovanta/config", "video_mode=Windowed\nxres=640\nyres=480\nserver_name=\n");
    }
    return home;
}

void walk_done()
{
    unsetenv("BV_WALK_HOME");
    unsetenv("QORL_LOGFILE");
}

// One walk of the sample at 30 frames a second from a home of its own on a display of
// its own, from the config given (the newcomer's when none), which must hold the lines
// kept when the program has ended.
void walk_the_sample(void (*plan)(), const std::vector<std::string>& kept, const char* config = nullptr)
{
    bvtest::XvfbServer server;
    BV_REQUIRE_XVFB(server);
    bvtest::TempDir temp;
    const std::string home = walk_home(temp);
    if (config)
        bvtest::write_file(home + "/xdg/Brovanta/config", config);
    bvtest::in_fresh_process([&] {
        const char* argv[] = {"brovanta", "--track", "tracks/sample", "--lock-fps", "30", nullptr};
        return walk_once(home, plan, 5, argv, kept);
    });
    walk_done();
}

}  // namespace

TEST(MenuWalk, NewcomerWalksEveryRaceStartWithTheKeyboard)
{
    walk_the_sample(plan_newcomer, {"fov=113.000000", "number=429", "stop_wheelies=Front Only",
                                    "roost_density=0.000000", "render_texture=Hardware/Direct",
                                    "texture_compress=Yes", "track=tracks/sample"});
}

TEST(MenuWalk, ConnectsToTheTestServerAndLeaves)
{
    bvtest::XvfbServer server_x;
    BV_REQUIRE_XVFB(server_x);
    bvtest::TempDir temp;
    const std::string home = walk_home(temp);
    bvtest::in_fresh_process([&] {
        test_server::Options o;
        o.track = "tracks/sample";
        test_server::Server loopback(o);
        if (!loopback.open())
            return "the test server does not open: " + loopback.error();
        server = &loopback;
        walk.each_frame = step_server;
        const char* argv[] = {"brovanta", "--track", "tracks/sample", nullptr};
        const std::string address = loopback.address();
        std::string problems = walk_once(home, plan_online, 3, argv,
                                         {"server_name=" + address, "server_name_hist00=" + address});
        walk.each_frame = nullptr;
        server = nullptr;
        return problems;
    });
    walk_done();
}

TEST(MenuWalk, TheThrottleHeldBeforeTheDropGetsAwayWithTheGate)
{
    walk_the_sample(plan_held_start, {});
}

TEST(MenuWalk, TheWindowedSizeSurvivesFullScreenAndBack)
{
    walk_the_sample(plan_video_modes, {"xres=800", "yres=600", "video_mode=Windowed"},
                    "video_mode=Windowed\nxres=800\nyres=600\nserver_name=\n");
}

TEST(MenuWalk, APadAxisIsBoundAndRiddenAndThePointerPicksItems)
{
    bvtest::XvfbServer server;
    BV_REQUIRE_XVFB(server);
    bvtest::TempDir temp;
    const std::string home = walk_home(temp);
    bvtest::in_fresh_process([&] {
        bvtest::FakeEvdev devices;
        devices.plug(kPad, bvtest::pad_info("Test Pad"));
        pad = &devices;
        const char* argv[] = {"brovanta", "--track", "tracks/sample", "--lock-fps", "30", nullptr};
        std::string problems = walk_once(home, plan_pad_and_pointer, 5, argv, {});
        const std::string config = bvtest::read_file(home + "/xdg/Brovanta/config");
        const size_t at = config.find("\nthrottle_key=(");
        const size_t end = config.find('\n', at + 1);
        if (at == std::string::npos || config.substr(0, end).rfind(")XInputGamepad0 axis 5") + 22 != end)
            problems += "\"@config\" keeps the throttle on the pad's axis 5\n";
        pad = nullptr;
        return problems;
    });
    walk_done();
}

TEST(MenuWalk, HighDetailOnTheDesktopDrawsTheHudOverTheRidersViews)
{
    bvtest::XvfbServer server("1920x1080x24");
    BV_REQUIRE_XVFB(server);
    bvtest::TempDir temp;
    const std::string home = walk_home(temp);
    bvtest::write_file(home + "/xdg/Brovanta/config", kHighDetailConfig);
    bvtest::in_fresh_process([&] {
        const char* argv[] = {"brovanta", "--track", "tracks/sample", nullptr};
        return walk_once(home, plan_high_detail_desktop, 3, argv, {"draw_fps=1", "spy=1"});
    });
    walk_done();
}
