// The main loop without a window: a fake clock whose sleeps advance it, and a
// scripted list of (code, pressed, stamp) events handed out as the platform's ring
// does (next-until looks at the oldest event only).
#pragma once
#include "race/race_fixture.h"

#include "platform/qorl_input.h"
#include "race/program/bindings.h"
#include "race/program/command_line.h"
#include "race/program/controls.h"
#include "race/program/main_loop.h"
#include "race/net/net_client.h"
#include "race/program/program_hooks.h"
#include "race/race_state.h"
#include "race/track_load.h"

#include <cmath>
#include <deque>

namespace looptest {

struct FakeClock {
    double t = 0;
    int sleeps = 0;
    frame_clock seam()
    {
        return {[](void* c) { return static_cast<FakeClock*>(c)->t; },
                [](void* c, int32_t s, int32_t us) {
                    auto* self = static_cast<FakeClock*>(c);
                    self->t += s + us * 0.000001;
                    ++self->sleeps;
                },
                this};
    }
};

struct Scripted {
    uint32_t code;
    int pressed;
    double stamp;
};

struct ScriptedEvents {
    std::deque<Scripted> events;
    int next_calls = 0;      // one per tick that takes every pending event, plus one per event
    int until_calls = 0;
    event_source seam()
    {
        return {[](void* c, uint32_t* code, int* pressed) {
                    auto* self = static_cast<ScriptedEvents*>(c);
                    ++self->next_calls;
                    if (self->events.empty())
                        return 0;
                    *code = self->events.front().code;
                    *pressed = self->events.front().pressed;
                    self->events.pop_front();
                    return 1;
                },
                [](void* c, uint32_t* code, int* pressed, int32_t s, int32_t us) {
                    auto* self = static_cast<ScriptedEvents*>(c);
                    ++self->until_calls;
                    if (self->events.empty() || self->events.front().stamp > s + us * 0.000001 + 1e-9)
                        return 0;
                    *code = self->events.front().code;
                    *pressed = self->events.front().pressed;
                    self->events.pop_front();
                    return 1;
                },
                this};
    }
};

// The loop started at clock time `start` with no window.
inline void begin(FakeClock& clock, ScriptedEvents& events, double start = 0)
{
    loop = main_loop_state{};
    loop_io.window = nullptr;
    loop_io.clock = clock.seam();
    loop_io.events = events.seam();
    clock.t = start;
    loop.frame_start = start;
}

// One frame that took `seconds` of wall time before its step.
inline int frame(FakeClock& clock, double seconds)
{
    clock.t += seconds;
    return main_loop_frame();
}

// The platform's code of a key by its name (kUnmatchedKey when it has none).
inline uint32_t code_of(const char* name)
{
    uint32_t code = kUnmatchedKey;
    qorl_key_code(nullptr, &code, name);
    return code;
}

// In a fresh process: a practice rider on the flat track, the default bindings, no
// menu, offline, and no network step.
inline void ride_on_flat(const bvtest::TempDir& root)
{
    racetest::start(root);
    race_requested_folder = "tracks/flat";
    race.force_reload = 1;
    reset_race(nullptr, 0, 0, 0, 1000, 0);
    bindings_set_defaults();
    for (input_binding& b : bindings)
        binding_resolve(nullptr, &b);
    control_values_zero();
    menu_screen = -1;
    command_line_options = command_line{};
    net_server_name = nullptr;
    program_hooks.net_step = [] {};
}

}  // namespace looptest
