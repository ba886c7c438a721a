// One tick of the main loop: the input events that belong to it, the control values,
// the local rider's controls, the network step and the game tick.
#include "foundation/front_door.h"
#include "platform/qorl_audio.h"
#include "platform/qorl_events.h"
#include "platform/qorl_input.h"
#include "race/program/audio_start.h"
#include "race/program/bindings.h"
#include "race/program/command_line.h"
#include "race/program/controls.h"
#include "race/demo/demo.h"
#include "race/program/frame_math.h"
#include "race/game_settings.h"
#include "race/race_restart.h"
#include "race/program/main_loop.h"
#include "race/program/program_hooks.h"
#include "race/program/menu_state.h"
#include "race/race_hooks.h"
#include "race/race_results.h"
#include "race/race_riders.h"
#include "race/race_state.h"
#include "race/program/run_clock.h"
#include "race/program/settings_values.h"
#include "race/program/startup.h"
#include "race/program/world_view.h"
#include "foundation/vfs/vfs.h"
#include "sim/bike_contacts.h"
#include "sim/bike_build.h"
#include "sim/gate_times.h"
#include "sim/physics_world.h"
#include "sim/rider_access.h"
#include "sim/rider_slot.h"
#include "terrain/terrain_lod.h"
#include "terrain/track_list.h"

#include <algorithm>
#include <cmath>

namespace {

// The Tab and digit keys by the codes the platform gives them.
struct view_key_codes {
    uint32_t tab = kUnmatchedKey;
    uint32_t digits[10];
    view_key_codes()
    {
        qorl_key_code(nullptr, &tab, "tab");
        for (int d = 0; d < 10; ++d) {
            const char name[2] = {char('0' + d), 0};
            digits[d] = kUnmatchedKey;
            qorl_key_code(nullptr, &digits[d], name);
        }
    }
    int digit(uint32_t code) const
    {
        for (int d = 0; d < 10; ++d)
            if (code != kUnmatchedKey && digits[d] == code)
                return d;
        return -1;
    }
};

const view_key_codes& view_keys()
{
    static const view_key_codes codes;
    return codes;
}
constexpr float kPi = 3.14159265358979f;
// A sunken bike is lifted at most this far above the highest ground.
constexpr float kLiftMargin = 16;
constexpr int kMaxLiftSteps = 4096;

bool track_loaded()
{
    return track_folder != nullptr;
}

bool code_is(uint32_t code, binding_id id)
{
    return bindings[id].key_code != kUnmatchedKey && bindings[id].key_code == code;
}

bool code_is(uint32_t code, int32_t menu_code)
{
    return menu_code >= 0 && code == uint32_t(menu_code);
}

// Lifts every bike out of the ground when the editor view is left: up by 0.25 while
// it touches, but never past the highest ground plus a margin (a bike inside a
// statue would otherwise rise for ever).
void lift_bikes()
{
    terrain_update_all(&track_terrain);
    for (int32_t k = 0; k < kRiderSlots; ++k) {
        if (!race_rider_exists(k))
            continue;
        rider_slot* r = &rider_slots[k];
        bike_translate(r, 0, 0.125f, 0);
        for (int step = 0; step < kMaxLiftSteps && bike_collide_terrain(r); ++step) {
            dJointGroupEmpty(contact_group);
            const dReal* p = dBodyGetPosition(rider_get_frame_body(r));
            if (!std::isfinite(p[1]) || p[1] > track_terrain.max_height + kLiftMargin)
                break;
            bike_translate(r, 0, 0.25f, 0);
        }
        dJointGroupEmpty(contact_group);
        bike_translate(r, 0, -0.125f, 0);
    }
    dJointGroupEmpty(contact_group);
}

void cycle_view()
{
    switch (loop.view_mode) {
    case view_editor:
        lift_bikes();
        loop.view_mode = view_chase;
        break;
    case view_chase:
        loop.view_mode = view_trackside;
        break;
    case view_rider:
        loop.view_mode = command_line_options.editor ? view_editor : view_chase;
        break;
    default:
        loop.view_mode = view_rider;
        break;
    }
}

void change_followed(int direction)
{
    const bool watching = server_set() && race.own_lineup_value == kWatchOnlyValue;
    if (followed_is_local() && !plain_values.spy && !watching)
        return;
    const int32_t count = running_order.count;
    if (count < 1)
        return;
    int32_t at = count;
    for (int32_t i = 0; i < count; ++i)
        if (running_order.rows[i].slot == race.viewed_slot)
            at = i;
    const int32_t to = std::clamp(at + direction, 0, count - 1);
    race.viewed_slot = running_order.rows[to].slot;
}

void game_key(uint32_t code, int pressed)
{
    if (loop.view_mode == view_editor) {
        if (program_hooks.editor_key(int32_t(code), pressed))
            return;
    } else {
        if (pressed && code_is(code, bind_chat)) {
            menu_screen = screen_console;
            menu_item = 0;
        }
        if (loop.view_mode == view_title)
            return;
    }
    // Every game key acts on its press (a release of Tab would cycle twice).
    const uint32_t tab = view_keys().tab;
    if (!pressed)
        return;
    if (code_is(code, bind_pause) && !server_set())
        loop.paused = !loop.paused;
    if (code_is(code, bind_step) && loop.paused)
        program_hooks.game_tick();
    if (code == tab && tab != kUnmatchedKey)
        cycle_view();
    if (code_is(code, bind_rewind))
        demo_seek(-1);
    if (code_is(code, bind_skip))
        demo_seek(1);
    if (code_is(code, bind_prev))
        change_followed(-1);
    if (code_is(code, bind_next))
        change_followed(1);
    // Taken at the start of the next frame, while the window's context is current:
    // the picture is the frame on screen now.
    if (code_is(code, bind_screenshot) && loop.view_mode != view_editor)
        loop.screenshot_pending = 1;
    if (const int digit = view_keys().digit(code); digit >= 0 && camera_views.trackside_digit)
        camera_views.trackside_digit(digit);
}

// One event, in the dispatch order.
void dispatch_event(uint32_t code, int pressed)
{
    if (code == QORL_CLOSE) {
        // Unsaved editor work: the first close shows the exit screen's warning, and a
        // close while it shows quits.
        if (editor_unsaved_changes() && menu_screen != screen_exit) {
            menu_screen = screen_exit;
            menu_item = 0;
            return;
        }
        loop.quit = 1;
        return;
    }
    if (menu_screen != loop.last_event_screen)
        loop.screen_changed = 1;
    loop.last_event_screen = menu_screen;
    bindings_key_event(code, pressed);
    if (code_is(code, menu_keys.cursor_left)) {
        loop.cursor_held = pressed;
        // The keyboard may have moved the highlight since the pointer last moved: the
        // click is for the item under the pointer.
        if (pressed && menu_screen >= 0 && !capture_binding())
            if (const int item = program_hooks.menu_hover_item(menu_screen); item >= 0)
                menu_item = item;
    }
    if (capture_binding() && capture_key_event(loop_io.window, code, pressed, run_clock))
        return;
    if (code_is(code, menu_keys.esc) && pressed) {
        menu_screen = menu_screen < 0 ? int32_t(screen_main_menu) : -1;
        menu_item = 0;
        if (menu_screen >= 0) {
            program_hooks.menu_key(int32_t(code));
            return;
        }
        game_key(code, pressed);
        return;
    }
    if (menu_screen >= 0) {
        if (pressed && !loop.screen_changed)
            program_hooks.menu_key(int32_t(code));
        if (!track_loaded())
            loop.view_mode = view_title;
        return;
    }
    game_key(code, pressed);
}

void take_events(double tick_time, bool last)
{
    const event_source& src = loop_io.events;
    if (!src.next)
        return;
    const double whole = std::floor(tick_time);
    const int32_t seconds = int32_t(whole);
    const int32_t micro = int32_t(std::floor((tick_time - whole) * 1000000));
    uint32_t code = 0;
    int pressed = 0;
    while (last ? src.next(src.context, &code, &pressed)
                : src.next_until(src.context, &code, &pressed, seconds, micro))
        dispatch_event(code, pressed);
}

void local_controls()
{
    const float* c = control_slots;
    if (race.time_trial_active) {
        if (loop.time_trial_restart_state == 1 && c[7] > 0.5f && game_settings.time_trial_abort) {
            local_rider_reset();
            ++race.restart_counter;
            loop.time_trial_restart_state = 0;
        }
        if (loop.time_trial_restart_state == 0 && c[7] < 0.5f)
            loop.time_trial_restart_state = 1;
        if (c[1] > 0.5f)
            race.restart_counter = 2;
    }
    const int32_t slot = race.viewed_slot;
    if (race.kinds[slot] != rider_kind_local || !race_rider_exists(slot))
        return;
    rider_slot* r = &rider_slots[slot];
    rider_set_steering(r, setup.reverse_steering ? -c[0] : c[0]);
    rider_set_front_brake(r, c[2]);
    rider_set_rear_brake(r, c[3]);
    rider_set_throttle(r, c[1]);
    if (setup.sticky_dab) {
        if (loop.previous_dab < 0.5f && c[6] >= 0.5f)
            loop.sticky_dab_on = !loop.sticky_dab_on;
        rider_set_dab(r, loop.sticky_dab_on ? 1.0f : 0.0f);
    } else {
        rider_set_dab(r, c[6]);
    }
    loop.previous_dab = c[6];
    rider_set_back_up(r, c[7]);
    rider_set_lean(r, c[8]);
    const float target = std::clamp(1 - c[5] * 8.0f / 7.0f, 0.0f, 1.0f);
    const float now = rider_get_clutch(r);
    rider_set_clutch(r, now < target ? now + 4.0f / 128.0f : target);
    rider_shift_gear(r, c[4] > 0.5f ? 1 : c[4] < -0.5f ? -1 : 0);
}

void chase_controls()
{
    const float* c = control_slots;
    loop.orbit_angle += c[0] * kPi / 512;
    if (loop.orbit_angle > kPi)
        loop.orbit_angle -= 2 * kPi;
    if (loop.orbit_angle < -kPi)
        loop.orbit_angle += 2 * kPi;
    if (c[1] > 0.5f)
        loop.orbit_distance -= loop.orbit_distance < 0.265625f ? 0.25f : 1.0f / 64;
    if (c[2] > 0.5f)
        loop.orbit_distance += 1.0f / 64;
    loop.orbit_height += c[4] / 128;
}

// The trackside view: the sit/dab control rising through 0.5 flips the auto-switch;
// the view's own tick then cuts by gate, steers the shown camera (turn: steering, look
// up: shift) and flies the free camera (throttle forward, front brake back).
void trackside_controls()
{
    const float* c = control_slots;
    if (loop.previous_trackside_dab < 0.5f && c[6] >= 0.5f)
        camera_auto_switch = !camera_auto_switch;
    loop.previous_trackside_dab = c[6];
    if (camera_views.trackside_tick) {
        const float controls[4] = {c[0], c[4], c[1], c[2]};
        camera_views.trackside_tick(race.viewed_slot, controls, loop.paused);
    }
}

// Step 6: 1 when the rest of the tick is skipped.
bool controls_by_view()
{
    if (menu_screen >= 0) {
        if (loop.view_mode == view_editor) {
            program_hooks.editor_mouse();
            return !server_set();
        }
        return followed_is_local() && !server_set();
    }
    switch (loop.view_mode) {
    case view_editor:
        program_hooks.editor_mouse();
        return !server_set();
    case view_title:
        return false;
    default:
        break;
    }
    if (followed_is_local())
        local_controls();
    else if (loop.view_mode == view_chase)
        chase_controls();
    if (loop.view_mode == view_trackside)
        trackside_controls();
    return false;
}

}  // namespace

void run_one_tick(double tick_time, bool last_of_frame)
{
    std::fill(std::begin(control_slots), std::end(control_slots), 0.0f);
    take_events(tick_time, last_of_frame);
    capture_step(run_clock);
    bindings_fill_slots();
    if (controls_by_view())
        return;
    if (server_set())
        program_hooks.net_step();
    if (!track_loaded())
        loop.view_mode = view_title;
    const bool waiting = server_set() && program_hooks.net_server_tick() < 1;
    if (!loop.paused && loop.view_mode != view_title && !waiting)
        program_hooks.game_tick();
    if (audio_record_file && audio_device) {
        if (const uint8_t* block = qorl_audio_readback(audio_device))
            audio_record_block(block);
    }
}

void run_ticks()
{
    while (loop.simulated < loop.accumulated) {
        loop.simulated += tick_length;
        const double tick_time = loop.measured - (loop.accumulated - loop.simulated);
        run_one_tick(tick_time, tick_time >= loop.measured);
    }
}
