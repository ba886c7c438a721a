#include "race/program/main_loop.h"

#include "foundation/front_door.h"
#include "gfx/gl_layer.h"
#include "gfx/shaders.h"
#include "platform/qorl_audio.h"
#include "platform/qorl_events.h"
#include "platform/qorl_gl.h"
#include "platform/qorl_input.h"
#include "platform/qorl_log.h"
#include "race/program/audio_start.h"
#include "race/bike_setup.h"
#include "race/program/bindings.h"
#include "race/race_results.h"
#include "race/program/command_line.h"
#include "race/program/controls.h"
#include "race/program/frame_math.h"
#include "race/game_settings.h"
#include "race/net/net_client.h"
#include "race/program/program_hooks.h"
#include "race/program/projection.h"
#include "race/race_riders.h"
#include "race/race_state.h"
#include "race/program/run_clock.h"
#include "race/program/settings_values.h"
#include "race/program/startup.h"
#include "race/track_load.h"
#include "race/program/video_modes.h"
#include "race/program/world_stand_in.h"
#include "race/program/world_view.h"
#include "sim/race_clock.h"
#include "sim/rider_access.h"
#include "sim/rider_slot.h"
#include "terrain/ruts.h"
#include "terrain/terrain_lod.h"
#include "terrain/terrain_settings.h"
#include "terrain/timing_gates.h"
#include "terrain/track_list.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <cstring>

main_loop_state loop;
main_loop_io loop_io;
int32_t window_width = 0;
int32_t window_height = 0;
qorl_axis* cursor_axes[2] = {nullptr, nullptr};

namespace {

constexpr size_t kFrameTimeLog = 1048576;
constexpr double kLongestStep = 0.125;

double now()
{
    return loop_io.clock.now(loop_io.clock.context);
}

void sleep_for(double seconds)
{
    if (seconds <= 0)
        return;
    const double whole = std::floor(seconds);
    // At least a microsecond: a wait shorter than that would never end the pacing loop.
    const int32_t micro = std::max(int32_t((seconds - whole) * 1000000), whole > 0 ? 0 : 1);
    loop_io.clock.sleep(loop_io.clock.context, int32_t(whole), micro);
}

double program_now(void*)
{
    int32_t s = 0, us = 0;
    qorl_time(&s, &us);
    return s + us * 0.000001;
}

void program_sleep(void*, int32_t s, int32_t us)
{
    qorl_sleep(s, us);
}

int window_next(void* context, uint32_t* code, int* pressed)
{
    return qorl_next_event(static_cast<qorl_window*>(context), code, pressed);
}

int window_close_waiting(void* context)
{
    return qorl_close_waiting(static_cast<qorl_window*>(context));
}

int window_next_until(void* context, uint32_t* code, int* pressed, int32_t s, int32_t us)
{
    return qorl_next_event_until(static_cast<qorl_window*>(context), code, pressed, s, us);
}

bool track_loaded()
{
    return track_folder != nullptr;
}

int32_t followed()
{
    return race.viewed_slot;
}

bool followed_has_rider()
{
    return followed() >= 0 && followed() < kRiderSlots && race_rider_exists(followed());
}

// "--record-video": one P6 frame of the drawable area, the last row first.
void write_video_frame(int32_t w, int32_t h)
{
    if (!loop.video_out || loop.video_failed || w <= 0 || h <= 0)
        return;
    const size_t row = size_t(w) * 3;
    std::vector<uint8_t> pixels;
    try {
        pixels.resize(row * size_t(h));
    } catch (const std::bad_alloc&) {
        return;  // no room for the frame: skipped
    }
    bvgl_read_pixels_rgb(0, 0, w, h, pixels.data());
    bool ok = fprintf(loop.video_out, "P6\n%d %d\n255\n", w, h) > 0;
    for (int32_t y = h - 1; ok && y >= 0; --y)
        ok = fwrite(pixels.data() + size_t(y) * row, 1, row, loop.video_out) == row;
    ok = ok && fflush(loop.video_out) == 0;
    if (!ok) {
        loop.video_failed = 1;
        qorl_log("Video output failed; no more frames are written\n");
    }
}

// The rider's eye of the followed rider: the world presentation's view when it is
// installed (race-only programs fall back on the plain stand-in).
void first_person_view(float fov)
{
    const int32_t slot = followed();
    if (camera_views.first_person && followed_has_rider())
        camera_views.first_person(rider_get_rider_body(&rider_slots[slot]), slot);
    else
        render_first_person(slot, fov);
}

// The chase camera: behind the travel of a rider simulated here, else on the orbit the
// ticks steer.
void chase_view(float fov)
{
    const bool local = followed_is_local();
    if (camera_views.chase) {
        camera_views.chase(followed(), local, loop.orbit_angle, loop.orbit_distance, loop.orbit_height,
                           loop.chase_target);
        return;
    }
    render_chase(followed(), fov, local ? 0.0f : loop.orbit_angle, local ? 10.0f : loop.orbit_distance,
                 local ? 5.0f : loop.orbit_height, loop.chase_target);
}

}  // namespace

void draw_view(qorl_frame* frame)
{
    gl_use_shader(shader_unlit);
    // Only a resize while windowed is the player's size: the frames of a switch still
    // show the old mode's size for a while after the switch was asked for.
    const bool resized = frame->width != window_width || frame->height != window_height;
    window_width = frame->width;
    window_height = frame->height;
    if (resized && video_mode_in_effect == kVideoModeWindowed) {
        plain_values.xres = frame->width;
        plain_values.yres = frame->height;
    }
    const float fov = float(game_settings.fov);
    set_projection(frame->width, frame->height, fov);
    const bool hud = !command_line_options.hidden_hud;
    switch (loop.view_mode) {
    case view_rider:
        first_person_view(fov);
        if (hud) {
            program_hooks.hud_draw(followed());
            program_hooks.results_draw(followed());
        }
        break;
    case view_chase:
        chase_view(fov);
        if (hud) {
            program_hooks.hud_draw(followed());
            program_hooks.results_draw(followed());
        }
        break;
    case view_trackside:
        if (camera_views.trackside)
            camera_views.trackside();
        else
            render_trackside(followed(), fov);
        if (hud) {
            if (camera_auto_switch)
                program_hooks.rider_name_draw(followed());
            program_hooks.results_draw(followed());
        }
        break;
    case view_editor:
        program_hooks.editor_draw();
        if (hud)
            program_hooks.results_draw(followed());
        break;
    default:
        program_hooks.title_screen_draw(track_load_failure());
        if (hud)
            program_hooks.results_draw(followed());
        break;
    }
    if (loop.paused) {
        if (!command_line_options.hidden_pause)
            program_hooks.banner_draw("Paused", 1, 30);
    } else if (command_line_options.record_video && loop.view_mode != view_title) {
        write_video_frame(frame->width, frame->height);
    }
    if (followed_is_local() && server_set() && race.own_lineup_value == kWatchOnlyValue)
        program_hooks.banner_draw("Warmup mode - collisions disabled", 28, 30);
    gl_use_shader(shader_unlit);
    program_hooks.menu_draw();
}

namespace {

// The longest single sleep of a paced frame: the window's close request is looked
// for between sleeps, so closing the window ends a slow-paced run this soon.
constexpr double kPacedSleepSlice = 0.05;

// Sleeps until `period` has passed since the frame started (d of it already has), in
// slices, and stops early when the window asks to close. The elapsed time is returned.
double paced_wait(double period, double d)
{
    while (d < period) {
        if (loop_io.events.close_waiting && loop_io.events.close_waiting(loop_io.events.context))
            break;
        sleep_for(std::min(period - d, kPacedSleepSlice));
        d = now() - loop.frame_start;
    }
    return d;
}

// Step 14: measure, pace and scale the frame's time step.
double frame_step()
{
    const double tick = tick_length;
    const bool online = server_set();
    double d = now() - loop.frame_start;
    ++loop.histogram[frame_histogram_bucket(d, tick)];
    double step;
    if (!online && loop.lock_period > 0) {
        d = paced_wait(loop.lock_period, d);
        step = loop.lock_period;
    } else if (!online && command_line_options.warp) {
        step = 100 * tick;
    } else {
        while (d < tick) {
            sleep_for(tick - d);
            d = now() - loop.frame_start;
        }
        step = std::min(d, kLongestStep);
    }
    loop.measured = loop.frame_start + d;
    loop.smallest_step = std::min(loop.smallest_step, step);
    loop.largest_step = std::max(loop.largest_step, step);
    if (loop.frame_times.size() < kFrameTimeLog)
        loop.frame_times.push_back(float(d));
    if (online)
        step = online_step_scale(step, program_hooks.net_server_tick(), current_tick, race.gate_drop_tick, tick);
    return step;
}

void menu_cursor()
{
    float value[2];
    for (int k = 0; k < 2; ++k)
        value[k] = cursor_axes[k] ? float(qorl_axis_read(cursor_axes[k])) : 0.0f;
    // The pointer the menu's hit tests use, in window pixels.
    if (cursor_axes[0] && cursor_axes[1]) {
        pointer_x = int32_t(value[0]);
        pointer_y = int32_t(value[1]);
    }
    const bool moved = value[0] != loop.cursor_last[0] || value[1] != loop.cursor_last[1];
    if (menu_screen >= 0 && moved) {
        if (loop.cursor_held) {
            // One cursor key per movement: the next frame compares with where it is now.
            loop.cursor_last[0] = value[0];
            loop.cursor_last[1] = value[1];
            if (!loop.screen_changed)
                program_hooks.menu_key(16);
        } else if (!capture_binding()) {
            loop.cursor_last[0] = value[0];
            loop.cursor_last[1] = value[1];
            const int item = program_hooks.menu_hover_item(menu_screen);
            if (item >= 0)
                menu_item = item;
        }
    }
}

void warp_restart()
{
    if (!command_line_options.warp || loop.view_mode == view_title || running_order.count < 1)
        return;
    const int32_t laps = completed_laps(running_order.rows[0].positions,
                                        timing_gates.firstlap_length, timing_gates.normallap_length);
    if (laps < race.laps)
        return;
    program_hooks.lineup_rotate(1);
    reset_race(start_lineup, 0, game_settings.record, int32_t(std::floor(60 * game_settings.minutes / tick_length)),
               int32_t(game_settings.laps), game_settings.skill);
}

void erosion_step()
{
    if (track_terrain.erosion_amount <= 0)
        return;
    const float* position = nullptr;
    float spot[3];
    for (int32_t k = 0; k < kRiderSlots; ++k) {
        if (race.kinds[k] != rider_kind_local || !race_rider_exists(k))
            continue;
        const dReal* p = dBodyGetPosition(rider_get_frame_body(&rider_slots[k]));
        // A blown-up bike gives no spot: the terrain queries get none.
        if (std::isfinite(p[0]) && std::isfinite(p[1]) && std::isfinite(p[2])) {
            spot[0] = float(p[0]), spot[1] = float(p[1]), spot[2] = float(p[2]);
            position = spot;
        }
        break;
    }
    const int32_t lock = track_terrain.edit_lock;
    track_terrain.edit_lock = 0;
    erosion_process(&track_terrain, position, float(track_terrain.erosion_amount) / 1024.0f, current_tick);
    track_terrain.edit_lock = lock;
}

void setup_change_report()
{
    if (run_clock < setup_watch.next_report_time)
        return;
    setup_watch.next_report_time = run_clock + 5;
    char letters[kSetupWatchEntries];
    int32_t marks[kSetupWatchEntries];
    bool any = false;
    for (int i = 0; i < kSetupWatchEntries; ++i) {
        letters[i] = setup_watch.entries[i].letter;
        marks[i] = setup_watch.entries[i].changed;
        any = any || marks[i];
    }
    if (!any)
        return;
    const std::string text = setup_change_text(letters, marks, kSetupWatchEntries);
    if (server_set())
        program_hooks.chat_send(text.c_str());
    else
        console_print(text.c_str());
    setup_watch_arm();
}

}  // namespace

frame_clock program_clock()
{
    return {program_now, program_sleep, nullptr};
}

event_source window_events(qorl_window* window)
{
    return {window_next, window_next_until, window, window_close_waiting};
}

bool server_set()
{
    return net_server_name != nullptr;
}

bool followed_is_local()
{
    const int32_t slot = followed();
    if (slot < 0 || slot >= kRiderSlots || race.kinds[slot] != rider_kind_local)
        return false;
    return !(plain_values.spy && loop.view_mode == view_trackside);
}

int main_loop_frame()
{
    if (loop.quit)
        return 0;
    loop.view_mode = derive_view_mode(loop.view_mode, track_loaded(), followed_has_rider(),
                                      race.kinds[std::clamp(followed(), 0, kRiderSlots - 1)] == rider_kind_local,
                                      plain_values.spy != 0);
    if (qorl_frame* frame = loop_io.window ? qorl_begin_frame(loop_io.window) : nullptr) {
        draw_view(frame);
        // The screenshot key's picture: this frame, read before it is shown (after the
        // swap the back buffer is undefined, and an offscreen one has no front).
        if (loop.screenshot_pending) {
            loop.screenshot_pending = 0;
            take_screenshot();
        }
        if (command_line_options.glfinish)
            bvglFinish();
        bvglFlush();
        if (!qorl_end_frame(loop_io.window)) {
            loop.swap_failed = 1;
            return 0;
        }
    }
    if (audio_device) {
        program_hooks.engine_sound_update(
            sound_level(loop.paused, loop.view_mode, menu_screen >= 0, followed_is_local()));
        qorl_audio_update(audio_device);
    }
    const double step = frame_step();
    loop.accumulated += step;
    run_clock += step;
    menu_cursor();
    loop.screen_changed = 0;
    run_ticks();
    warp_restart();
    if (loop.view_mode != view_title) {
        erosion_step();
        terrain_upload_budget = loop.view_mode == view_editor
                                    ? 2147483647
                                    : int32_t(1) << std::clamp(int(graphics_settings.terrain_resync_rate), 0, 30);
        terrain_update_step(&track_terrain);
    }
    // The lines retire on the title screen too, or they would cover "Can't load track".
    program_hooks.message_lines_retire();
    setup_change_report();
    loop.frame_start = loop.measured;
    if (loop_io.frame_observer)
        loop_io.frame_observer();
    return 1;
}

int main_loop_run()
{
    if (command_line_options.record_video) {
        signal(SIGPIPE, SIG_IGN);
        loop.video_out = stdout;
    }
    while (main_loop_frame()) {
    }
    return loop.swap_failed ? 1 : 0;
}
