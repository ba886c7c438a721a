// The start gate: each start slot's gate piece stands raised until the drop (plus
// the display delay), then falls under a growing speed whoever is against it, so that
// a bike pushed on it with the throttle held leaves with the gate: a lean that held
// the piece up kept that rider standing behind it while the field rode away. Online,
// a rider who rolls 3 ft before the drop is held 15 s past it.
#include "race/game_tick.h"

#include "foundation/front_door.h"
#include "race/race_state.h"
#include "race/program/startup.h"
#include "sim/race_clock.h"
#include "sim/rider_access.h"
#include "terrain/statues.h"
#include "terrain/timing_gates.h"
#include "terrain/track_list.h"

#include <algorithm>
#include <cmath>
#include <numbers>

int32_t false_start_hold = 0;

namespace {

constexpr float kRaisedAngle = 3 * std::numbers::pi_v<float> / 16;   // 33.75 degrees
constexpr float kFallAcceleration = 32;                               // per second
constexpr float kFallSpeedCap = 8;

// A coordinate read from the track's files, made safe to turn into grid cells.
float on_ground(float v)
{
    if (std::isnan(v))
        return 0;
    return std::clamp(v, 0.0f, std::max(track_terrain.world_size, 0.0f));
}

void orient_piece(statue* s, float value)
{
    float base[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    if (!(s->angle >= 3.25f))
        orient_on_terrain(base, on_ground(s->x), on_ground(s->z), s->angle);
    const float angle = value * kRaisedAngle, c = std::cos(angle), sn = std::sin(angle);
    for (int row = 0; row < 3; ++row) {
        const float x = base[3 * row], y = base[3 * row + 1], z = base[3 * row + 2];
        s->rotation[3 * row] = x;
        s->rotation[3 * row + 1] = c * y - sn * z;
        s->rotation[3 * row + 2] = sn * y + c * z;
    }
}

}  // namespace

void start_gate_fall()
{
    const int32_t G = race.gate_drop_tick + race.watch_only;
    if (double(current_tick) * tick_length > double(G) * tick_length + 10)
        return;
    const int32_t count = std::min(timing_gates.start_slot_count, kMaxStartSlots);
    for (int32_t i = 0; i < count; ++i) {
        float& value = race.start_gate_state[i][0];
        float& speed = race.start_gate_state[i][1];
        if (current_tick < G) {
            value = 1;
            speed = 0;
        }
        const int32_t index = timing_gates.start_slot_statue[i];
        if (index < 0 || index >= statue_count() || !(value > 0))
            continue;
        statue* s = statue_at(index);
        if (current_tick > G) {
            const float faster = speed + float(kFallAcceleration * tick_length);
            speed = std::min(faster, kFallSpeedCap);
            value = std::max(0.0f, value - faster * float(tick_length));
        }
        orient_piece(s, value);
    }
}

void false_start_rule(int32_t slot)
{
    rider_slot* r = &rider_slots[slot];
    if (false_start_hold > 0) {
        --false_start_hold;
        rider_set_front_brake(r, 1);
        rider_set_rear_brake(r, 1);
        rider_set_back_up(r, 0);
        rider_set_clutch(r, 0);
        rider_set_throttle(r, 0);
        rider_set_dab(r, 1);
        return;
    }
    if (false_start_hold != 0 || current_tick > race.gate_drop_tick)
        return;
    rider_set_dab(r, 1);
    const dReal* p = dBodyGetPosition(r->bodies[body_frame]);
    float d2 = 0;
    for (int i = 0; i < 3; ++i) {
        const float d = float(p[i]) - race.local_frame_position[i];
        d2 += d * d;
    }
    if (d2 >= 9) {
        false_start_hold = race.gate_drop_tick - current_tick + int32_t(15 / tick_length);
        console_print("15 second false start penalty");
    }
}
