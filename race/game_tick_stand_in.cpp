// The game tick until the race core's own arrives: contacts of every simulated rider
// with the ground and with each other, one world step, then per rider the automatic
// rider, the bike step and the timing gates, and the race tick.
#include "race/game_tick_stand_in.h"

#include "race/race_riders.h"
#include "race/race_state.h"
#include "sim/autopilot_drive.h"
#include "sim/bike_contacts.h"
#include "sim/bike_step.h"
#include "sim/gate_times.h"
#include "sim/physics_world.h"
#include "sim/race_clock.h"
#include "sim/rider_slot.h"

namespace {

bool simulated(int32_t slot)
{
    return race_rider_exists(slot) && race.kinds[slot] != rider_kind_remote;
}

}  // namespace

void game_tick_stand_in()
{
    for (int32_t a = 0; a < kRiderSlots; ++a) {
        if (!simulated(a))
            continue;
        bike_collide_terrain(&rider_slots[a]);
        for (int32_t b = a + 1; b < kRiderSlots; ++b)
            if (simulated(b))
                bike_collide_bikes(&rider_slots[a], &rider_slots[b], 0);
    }
    dWorldStep(physics_world, kTickLength);
    dJointGroupEmpty(contact_group);
    for (int32_t k = 0; k < kRiderSlots; ++k) {
        if (!simulated(k))
            continue;
        rider_slot* r = &rider_slots[k];
        if (race.kinds[k] == rider_kind_bot)
            autopilot_tick(r);
        bike_step(r);
        rider_gate_tick(r);
    }
    ++current_tick;
    race.tick = current_tick;
}
