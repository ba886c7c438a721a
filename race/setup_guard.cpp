#include "race/setup_guard.h"

#include "foundation/front_door.h"
#include "race/bike_setup.h"
#include "race/race_state.h"
#include "race/program/run_clock.h"
#include "sim/rider_slot.h"

#include <cmath>
#include <ode/ode.h>

void setup_change_guard(int32_t slot)
{
    if (slot < 0 || slot >= kRiderSlots || !rider_slots[slot].bodies[body_frame])
        return;
    const dReal* v = dBodyGetLinearVel(rider_slots[slot].bodies[body_frame]);
    const float x = float(v[0]), y = float(v[1]), z = float(v[2]);
    if (std::sqrt(x * x + y * y + z * z) <= 0.125f) {
        bike_apply_setup(&rider_slots[slot]);
        return;
    }
    const double now = run_clock;
    if (now - 10 < race.last_refused_setup)
        console_print("Settings not applied.  Mechanic can't keep up error.");
    race.last_refused_setup = now;
}
