// The tick's input dispatch on scripted events and a fake clock, with the real rider
// simulation on the flat test track: control values per tick, Esc and the menu keys,
// the pause, camera and bike keys, controls handed to the rider, the close key.
#include "loop_harness.h"
#include "race/race_fixture.h"

#include "platform/qorl_events.h"
#include "platform/qorl_input.h"
#include "race/program/bindings.h"
#include "race/program/command_line.h"
#include "race/program/controls.h"
#include "race/game_tick.h"
#include "race/net/net_client.h"
#include "race/program/program_hooks.h"
#include "race/race_results.h"
#include "race/race_state.h"
#include "race/program/settings_values.h"
#include "race/track_load.h"
#include "sim/race_clock.h"
#include "sim/rider_slot.h"
#include "support/fresh_process.h"
#include "race/program/world_view.h"

#include <gtest/gtest.h>

#include <vector>

using bvtest::Problems;
using looptest::FakeClock;
using looptest::ScriptedEvents;
using looptest::code_of;

namespace {

constexpr double T = 1.0 / 128.0;

std::vector<float> throttle_per_tick;
std::vector<int32_t> menu_keys_seen;

// A practice rider on the flat track, default bindings, no menu.
void ride_ready(const bvtest::TempDir& root)
{
    looptest::ride_on_flat(root);
    menu_keys.esc = int32_t(code_of("esc"));
    menu_keys.enter = int32_t(code_of("enter"));
    program_hooks.game_tick = [] {
        throttle_per_tick.push_back(control_slots[1]);
        game_tick();
    };
    program_hooks.menu_key = [](int32_t code) { menu_keys_seen.push_back(code); };
}

// The ride ready and the loop started at clock time 10 s.
struct Ride {
    bvtest::TempDir root;
    FakeClock clock;
    ScriptedEvents events;
    Ride()
    {
        ride_ready(root);
        looptest::begin(clock, events, 10.0);
    }
};

}  // namespace

TEST(TickDispatch, KeysMenusAndTheViewKeys)
{
    bvtest::in_fresh_process([] {
        Problems p;
        Ride ride;
        FakeClock& clock = ride.clock;
        ScriptedEvents& events = ride.events;
        p.check(race.kinds[race.viewed_slot] == rider_kind_local, "a local practice rider");

        // A press and a release in one frame, in different ticks: 1, then 0.
        events.events = {{code_of("x"), 1, 10.0 + 0.001}, {code_of("x"), 0, 10.0 + 0.020}};
        throttle_per_tick.clear();
        looptest::frame(clock, 4 * T);
        p.check(throttle_per_tick.size() == 4, "four ticks");
        p.check(throttle_per_tick.size() >= 3 && throttle_per_tick[0] == 1 && throttle_per_tick[1] == 1 &&
                    throttle_per_tick[2] == 0,
                "1 while held, then 0");

        // Esc then enter in one frame: Esc opens the menu and reaches it; enter does not.
        menu_keys_seen.clear();
        events.events = {{uint32_t(menu_keys.esc), 1, 0}, {uint32_t(menu_keys.enter), 1, 0}};
        looptest::frame(clock, T);
        p.check(menu_screen == screen_main_menu, "Esc opens the main menu");
        p.check(menu_keys_seen == std::vector<int32_t>{menu_keys.esc}, "the second press waits for the next frame");

        // With the menu open offline and a local rider the race stands.
        const int32_t tick = current_tick;
        looptest::frame(clock, 0.05);
        p.check(current_tick == tick, "the race stands behind the menu");
        events.events = {{uint32_t(menu_keys.esc), 1, 0}};
        looptest::frame(clock, T);
        p.check(menu_screen < 0, "Esc closes it");
        p.check(current_tick > tick, "the race runs again");

        // Previous and next: refused for a local rider, and nothing with no running order.
        running_order.count = 0;
        const int32_t followed = race.viewed_slot;
        events.events = {{code_of("]"), 1, 0}, {code_of("["), 1, 0}};
        looptest::frame(clock, T);
        p.check(race.viewed_slot == followed, "the followed slot stays");

        // Digits go to the trackside view's camera choice, "0" (the free camera) too.
        static std::vector<int> digits;
        camera_views.trackside_digit = [](int n) { digits.push_back(n); };
        events.events = {{code_of("7"), 1, 0}, {code_of("7"), 0, 0}, {code_of("0"), 1, 0}};
        looptest::frame(clock, T);
        p.check(digits == std::vector<int>{7, 0}, "7 and 0 reach the camera choice, presses only");
        camera_views.trackside_digit = nullptr;

        // Tab: to the chase view and, with a local rider, back to the rider's eye.
        events.events = {{code_of("tab"), 1, 0}, {code_of("tab"), 0, 0}};
        looptest::frame(clock, T);
        looptest::frame(clock, T);
        p.check(loop.view_mode == view_chase, "Tab gives the chase view");
        events.events = {{code_of("tab"), 1, 0}};
        looptest::frame(clock, T);
        looptest::frame(clock, T);
        p.check(loop.view_mode == view_rider, "a second Tab comes back to the rider");

        // Online the pause key does nothing; offline it pauses.
        net_server_name = "localhost";
        events.events = {{code_of("pause"), 1, 0}};
        looptest::frame(clock, T);
        p.check(!loop.paused, "no pause online");
        net_server_name = nullptr;
        events.events = {{code_of("pause"), 1, 0}};
        looptest::frame(clock, T);
        p.check(loop.paused, "pause offline");
        const int32_t paused_at = current_tick;
        looptest::frame(clock, 0.05);
        p.check(current_tick == paused_at, "paused: no game tick");
        events.events = {{code_of("."), 1, 0}};
        looptest::frame(clock, T);
        p.check(current_tick == paused_at + 1, "the step key runs one tick");
        events.events = {{code_of("pause"), 1, 0}};
        looptest::frame(clock, T);

        // The close key: this frame's ticks still run, the next frame ends the loop.
        const int32_t before = current_tick;
        events.events = {{QORL_CLOSE, 1, 10.0}};
        p.check(looptest::frame(clock, 4 * T) == 1, "the frame with the close runs");
        p.check(current_tick == before + 4, "its remaining ticks ran");
        p.check(looptest::frame(clock, T) == 0, "the next frame ends the loop");
        return p.text;
    });
}

TEST(TickDispatch, ControlsReachTheLocalRider)
{
    bvtest::in_fresh_process([] {
        Problems p;
        Ride ride;
        FakeClock& clock = ride.clock;
        ScriptedEvents& events = ride.events;
        rider_slot* r = &rider_slots[race.viewed_slot];

        // "left" steers with -1 under the default reverse steering, +1 without it.
        events.events = {{code_of("left"), 1, 0}};
        looptest::frame(clock, T);
        p.check(r->steering == -1, "reverse steering: left is -1");
        setup.reverse_steering = 0;
        looptest::frame(clock, T);
        p.check(r->steering == 1, "plain steering: left is +1");
        events.events = {{code_of("left"), 0, 0}};
        looptest::frame(clock, T);

        // The clutch lever drops the engagement at once; it comes back 4/128 a tick.
        events.events = {{code_of("z"), 1, 0}};
        looptest::frame(clock, T);
        p.check(r->clutch == 0, "pulled: disengaged at once");
        events.events = {{code_of("z"), 0, 0}};
        looptest::frame(clock, T);
        p.check(std::abs(r->clutch - 4.0f / 128) < 1e-6, "released: 4/128 after one tick");
        looptest::frame(clock, 2 * T);
        p.check(std::abs(r->clutch - 12.0f / 128) < 1e-6, "then 4/128 more a tick");

        // Sticky dab flips on rising edges only.
        setup.sticky_dab = 1;
        events.events = {{code_of("right ctrl"), 1, 0}};
        looptest::frame(clock, 2 * T);
        p.check(r->dab == 1, "the first press turns it on");
        events.events = {{code_of("right ctrl"), 0, 0}};
        looptest::frame(clock, 2 * T);
        p.check(r->dab == 1, "the release leaves it on");
        events.events = {{code_of("right ctrl"), 1, 0}};
        looptest::frame(clock, T);
        p.check(r->dab == 0, "the next press turns it off");

        // One shift per press.
        const int32_t gear = r->gear;
        events.events = {{code_of("up"), 1, 0}};
        looptest::frame(clock, 4 * T);
        p.check(r->gear == gear + 1, "one gear up for a held key");
        return p.text;
    });
}
