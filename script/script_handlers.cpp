// The three handler trampolines the simulator calls, and the start-up installation of
// the script's entry points.
#include "script/script_host.h"
#include "script/script_seams.h"

#include "race/game_tick.h"
#include "race/program/program_hooks.h"
#include "race/race_hooks.h"
#include "race/race_state.h"
#include "view/script_frame.h"
#include "view/script_sounds.h"

#include <cstdio>

namespace {

void call_with_time(const char* path)
{
    if (!script_current)
        return;
    const int32_t tics = race.tick - race.watch_only;
    char text[80];
    std::snprintf(text, sizeof text, "%d", tics > 0 ? int(tics) : 0);
    script_call_path(script_current, path, text, static_cast<const char*>(nullptr));
}

} // namespace

void script_call_frame_handler()
{
    call_with_time("bv.frame_handler_");
}

void script_call_tic_handler()
{
    call_with_time("bv.tic_handler_");
}

void script_call_message_handler(const char* text)
{
    if (!script_current)
        return;
    script_call_path(script_current, "bv.script_message_handler_", text ? text : "", static_cast<const char*>(nullptr));
}

void script_install()
{
    race_hooks.script_load = script_load;
    race_hooks.script_unload = script_unload;
    program_hooks.script_unload = script_unload;
    race_hooks.script_call_message_handler = script_call_message_handler;
    script_frame_hook = script_call_frame_handler;
    game_tick_hooks.script_tick = script_call_tic_handler;
    // A sound file read for the script counts against the script's own time.
    script_sound_time_up = [] { return script_current ? bv_script_deadline_passed(script_current) : 0; };
}
