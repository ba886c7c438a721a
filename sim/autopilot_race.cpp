#include "sim/autopilot_race.h"

#include "sim/gate_times.h"
#include "sim/physics_world.h"
#include "sim/race_clock.h"

autopilot_race_view autopilot_race;

int autopilot_now()
{
    return current_tick;
}

int autopilot_gate_drop_tick()
{
    return gate_timing_hooks.gate_drop_tick ? gate_timing_hooks.gate_drop_tick() : 0;
}

int autopilot_race_laps()
{
    return gate_timing_hooks.laps ? gate_timing_hooks.laps() : 0;
}

double autopilot_race_time()
{
    return autopilot_now() * kTickLength;
}
