// The results' view of the rider slots.
#include "race/race_results.h"
#include "race/race_riders.h"
#include "race/race_state.h"
#include "race/rider_visibility.h"
#include "sim/bike_step.h"
#include "sim/gate_times.h"
#include "sim/rider_access.h"

namespace {

rider_slot* at(int32_t slot)
{
    return &rider_slots[slot];
}

}  // namespace

const results_rider_view results_riders_from_slots = {
    [](int32_t slot) { return slot >= 0 && slot < kRaceSlots ? race_rider_exists(slot) : 0; },
    [](int32_t slot) { return race.kinds[slot]; },
    [](int32_t slot) { return rider_get_timing_position(at(slot)); },
    [](int32_t slot, int32_t p) { return rider_get_gate_time(at(slot), p); },
    [](int32_t slot) { return rider_laps_completed(at(slot)); },
    [](int32_t slot, int32_t lap) { return rider_lap_time(at(slot), lap); },
    [](int32_t slot) { return rider_has_finished(at(slot)); },
    [](int32_t slot) { return rider_get_number(at(slot)); },
    [](int32_t slot) -> const char* { return rider_get_bike_info(at(slot))->name; },
    [](int32_t slot) { return bike_engine_rpm(at(slot)); },
    [](int32_t slot) -> int32_t { return rider_get_gear(at(slot)); },
    [](int32_t slot, float out[3]) {
        const dBodyID body = rider_get_frame_body(at(slot));
        const dReal* p = body ? dBodyGetPosition(body) : nullptr;
        for (int i = 0; i < 3; ++i)
            out[i] = p ? float(p[i]) : 0.0f;
    },
    [](int32_t slot, float out[3]) {
        const dBodyID body = rider_get_frame_body(at(slot));
        const dReal* v = body ? dBodyGetLinearVel(body) : nullptr;
        for (int i = 0; i < 3; ++i)
            out[i] = v ? float(v[i]) : 0.0f;
    },
    [](int32_t slot, float out[9]) {
        const dBodyID body = rider_get_frame_body(at(slot));
        const dReal* r = body ? dBodyGetRotation(body) : nullptr;
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j)
                out[3 * i + j] = r ? float(r[4 * i + j]) : (i == j ? 1.0f : 0.0f);
    },
    [](int32_t slot) { return rider_hidden(slot); },
};

results_rider_view results_riders = results_riders_from_slots;
