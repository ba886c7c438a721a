// Speed of the race rules that run every tick or after every counted crossing:
//   - gathering the statue contacts of 160 riders over 2000 shaped statues, with a
//     stand-in collision test that touches nothing (microseconds per tick);
//   - a race_results_compute that is not final, 160 riders of 100 positions each
//     (microseconds per call).
#include "race/race_results.h"
#include "race/race_state.h"
#include "race/statue_grid.h"
#include "sim/race_clock.h"
#include "sim/rider_slot.h"
#include "sim/shapes.h"
#include "terrain/statues.h"
#include "terrain/timing_gates.h"
#include "terrain/track_list.h"

#include <ode/ode.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <random>

namespace {

using clock_type = std::chrono::steady_clock;

double contacts_per_tick()
{
    dInitODE();
    dWorldID world = dWorldCreate();
    track_terrain.world_size = 1024;
    std::mt19937 random(7);
    std::uniform_real_distribution<float> spot(100, 924), radius(1, 6);
    static collision_shape shapes[2000];
    statues_reset();
    for (collision_shape& shape : shapes) {
        shape = collision_shape{};
        shape.bound_radius = radius(random);
        statue s{};
        s.shape = &shape;
        s.x = spot(random);
        s.z = spot(random);
        array_push(&statues, &s);
    }
    statue_grid_build();
    statue_contacts.terrain = [](rider_slot*) { return 0; };
    statue_contacts.object = [](rider_slot*, collision_shape*, dBodyID, const float*, const float*) { return 0; };
    // The riders spread around a lap of the course.
    for (int i = 0; i < 160; ++i) {
        rider_slots[i].bodies[body_frame] = dBodyCreate(world);
        const double a = i * 2 * M_PI / 160;
        dBodySetPosition(rider_slots[i].bodies[body_frame], 512 + 350 * cos(a), 0, 512 + 350 * sin(a));
    }
    const int ticks = 2000;
    const auto start = clock_type::now();
    for (int t = 0; t < ticks; ++t) {
        current_tick = t;
        for (int i = 0; i < 160; ++i)
            rider_gather_contacts(&rider_slots[i]);
    }
    const double us = std::chrono::duration<double, std::micro>(clock_type::now() - start).count() / ticks;
    for (int i = 0; i < 160; ++i)
        rider_slots[i].bodies[body_frame] = nullptr;
    statue_grid_free();
    statues.count = 0;
    dWorldDestroy(world);
    dCloseODE();
    return us;
}

int32_t gates[160][100];

double results_per_call()
{
    timing_gates.checkpoint_count = 10;
    timing_gates.firstlap_length = 5;
    timing_gates.normallap_length = 5;
    race.gate_drop_tick = 1000;
    race.time_limit_ticks = 128 * 600;
    race.lap_counts[0] = race.lap_counts[1] = kLapsNotEstimated;
    for (int s = 0; s < 160; ++s)
        for (int p = 0; p < 100; ++p)
            gates[s][p] = 1000 + 128 * (p + 1) + (s * 37 + p * 11) % 97;
    results_riders = {
        [](int32_t) { return 1; },
        [](int32_t slot) { return slot == 0 ? int32_t(rider_kind_local) : int32_t(rider_kind_bot); },
        [](int32_t) { return int32_t(100); },
        [](int32_t slot, int32_t p) { return p >= 0 && p < 100 ? gates[slot][p] : -1; },
        [](int32_t) { return int32_t(20); },
        [](int32_t, int32_t) { return 5.0; },
        [](int32_t) { return 0; },
        [](int32_t) { return "1"; },
        [](int32_t) { return "cr125"; },
        nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    };
    current_tick = 20000;
    const int calls = 20000;
    const auto start = clock_type::now();
    for (int k = 0; k < calls; ++k)
        race_results_compute();
    return std::chrono::duration<double, std::micro>(clock_type::now() - start).count() / calls;
}

}  // namespace

int main()
{
    printf("statue contacts, 160 riders, 2000 statues: %.2f us per tick\n", contacts_per_tick());
    printf("race_results_compute, 160 riders x 100 positions, not final: %.2f us per call\n",
           results_per_call());
    return 0;
}
