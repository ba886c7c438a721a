// The suspension graph ("togglegraph"): rings of the viewed rider's fork and shock
// position, speed and ratio, one entry per tick.
#include "race/game_tick.h"

#include "race/race_state.h"
#include "sim/bike_step.h"

#include <algorithm>

namespace {

const rider_slot* viewed_rider()
{
    const int32_t v = race.viewed_slot;
    if (v < 0 || v >= kRaceSlots || !rider_slots[v].bodies[body_frame])
        return nullptr;
    return &rider_slots[v];
}

}  // namespace

suspension_graph_state suspension_graph = {0, kGraphLength, {}, {}, {}, {}, {}, {}};

void suspension_graph_record()
{
    suspension_graph_state& g = suspension_graph;
    if (!g.on)
        return;
    const rider_slot* r = viewed_rider();
    if (g.index >= kGraphLength || g.index < 0) {
        g.index = 0;
        for (float* ring : {g.fork_speed, g.fork_ratio, g.shock_speed, g.shock_ratio})
            std::fill(ring, ring + kGraphLength, 0.0f);
    }
    if (!r)
        return;
    const int32_t i = g.index;
    bike_fork_telemetry(r, &g.fork_position[i], &g.fork_speed[i], &g.fork_ratio[i]);
    bike_shock_telemetry(r, &g.shock_position[i], &g.shock_speed[i], &g.shock_ratio[i]);
    g.index = (i + 1) % kGraphLength;
}
