#include "sim/ai_lines_learning.h"

#include "sim/ai_lines.h"
#include "sim/ai_lines_rules.h"
#include "sim/autopilot_body.h"
#include "sim/autopilot_drive.h"
#include "sim/autopilot_race.h"
#include "sim/bike_step.h"
#include "sim/gate_times.h"
#include "terrain/timing_gates.h"

#include <climits>
#include <cmath>

namespace {

constexpr int ticks_per_sample = 32;

bool automatic(const rider_slot* rider)
{
    return rider->personality > 0;
}

bool is_switch_point(int position)
{
    return position >= 0 && ai_segment_of_position(position + 1) > ai_segment_of_position(position);
}

// The three latest switch points b0 < b1 < b2 = c (-1 when missing).
void latest_switch_points(int c, int b[3])
{
    b[0] = b[1] = -1;
    b[2] = c;
    for (int p = c - 1, k = 1; p >= 0 && k >= 0; --p)
        if (is_switch_point(p))
            b[k--] = p;
}

bool all_timed(const rider_slot* rider, int from, int to)
{
    for (int p = from < 0 ? 0 : from; p <= to; ++p)
        if (rider_get_gate_time(rider, p) < 0)
            return false;
    return true;
}

int32_t tick_at(const rider_slot* rider, int p)
{
    return p < 0 ? 0 : rider_get_gate_time(rider, p);
}

void clear_picked(rider_slot* rider)
{
    for (int32_t& id : rider->picked_lines)
        id = 0;
}

void clear_buffer(rider_slot* rider, int k)
{
    rider->line_buffers[k].count = 0;
    rider->line_cancel_bits &= ~(1 << k);
}

int32_t saturating_add(int32_t a, int32_t b)
{
    const int64_t sum = int64_t(a) + b;
    return sum > INT32_MAX ? INT32_MAX : sum < 0 ? 0 : int32_t(sum);
}

void offer_segment(rider_slot* rider, int c)
{
    const int Q = ai_segment_of_position(c);
    if (Q > 0 && ai_lines_exist()) {
        int b[3];
        latest_switch_points(c, b);
        if (all_timed(rider, b[0], b[2])) {
            const int32_t T0 = tick_at(rider, b[0]), T1 = tick_at(rider, b[1]), T2 = tick_at(rider, b[2]);
            const int k = (Q - 1) % 2;
            const growable_array& buffer = rider->line_buffers[k];
            ai_lines_offer(ai_table_of_segment(Q - 1), static_cast<const ai_line_point*>(buffer.items), buffer.count,
                           (rider->line_cancel_bits >> k) & 1, T1 - T0, T2 - T0);
        }
    }
    clear_buffer(rider, (Q + 1) % 2);
}

// How the automatic rider fared on the segment it just finished.
void credit_segment(rider_slot* rider, int c)
{
    const int Q = ai_segment_of_position(c);
    if (Q <= 0 || !ai_lines_exist())
        return;
    const float s = autopilot_progress(rider);
    const int l = int(std::floor(s));
    const auto* path = static_cast<const ai_line_point*>(rider->path.items);
    bool lost = l < 1 || l >= rider->path_count || !path;
    if (!lost) {
        const ai_line_point& A = path[l - 1];
        const ai_line_point& B = path[l];
        const dReal* f = dBodyGetPosition(rider->bodies[body_frame]);
        const dReal* v = dBodyGetLinearVel(rider->bodies[body_frame]);
        const double ax = B.x - A.x, ay = B.y - A.y, az = B.z - A.z;
        const double px = f[0] - A.x, py = f[1] - A.y, pz = f[2] - A.z;
        const double len2 = ax * ax + ay * ay + az * az;
        const double along = len2 > 0 ? (px * ax + py * ay + pz * az) / len2 : 0;
        const double dx = px - along * ax, dy = py - along * ay, dz = pz - along * az;
        const double speed = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
        lost = dx * dx + dy * dy + dz * dz > 16 ||
               (speed * 0.9375 > std::fabs(A.speed) && speed * 0.9375 > std::fabs(B.speed));
    }
    if (lost) {
        autopilot_count_failure(rider, rider->timing_position);
        clear_picked(rider);
        return;
    }
    int b[3];
    latest_switch_points(c, b);
    for (int p = b[0] + 1; p <= b[1]; ++p)
        if (p >= 0 && rider_get_gate_time(rider, p) < 0) {
            autopilot_count_failure(rider, p);
            clear_picked(rider);
            return;
        }
    if (!all_timed(rider, b[0], b[2]))
        return;
    const int32_t T0 = tick_at(rider, b[0]), T1 = tick_at(rider, b[1]), T2 = tick_at(rider, b[2]);
    const int32_t id = rider->picked_lines[(Q - 1) % 4];
    ai_line_table* table = ai_table(ai_table_of_segment(Q - 1));
    if (id == 0 || !table)
        return;
    for (ai_line& line : table->lines)
        if (line.line_id == id) {
            line.tested = saturating_add(line.tested, 1);
            line.best_segment_time = std::min(line.best_segment_time, T1 - T0);
            line.best_extended_time = std::min(line.best_extended_time, T2 - T0);
            line.segment_time_sum = saturating_add(line.segment_time_sum, T1 - T0);
            line.extended_time_sum = saturating_add(line.extended_time_sum, T2 - T0);
            break;
        }
}

}  // namespace

int ai_segment_of_position(int position)
{
    const timing_gates_state& g = timing_gates;
    return ai_segment_of_position_in(firstlap_entries(), g.firstlap_length, normallap_entries(), g.normallap_length,
                                     position);
}

int autopilot_count_failure(rider_slot* rider, int position)
{
    const int s = ai_segment_of_position(position);
    int32_t& entry = rider->picked_lines[s % 4];
    const int32_t id = entry;
    entry = 0;
    ai_line_table* table = ai_table(ai_table_of_segment(s));
    if (id != 0 && table)
        for (int i = 0; i < ai_lines_per_table; ++i)
            if (table->lines[i].line_id == id) {
                table->lines[i].failures = saturating_add(table->lines[i].failures, 1);
                return i;
            }
    return ai_lines_per_table;
}

void ai_lines_clear_recording(rider_slot* rider)
{
    clear_buffer(rider, 0);
    clear_buffer(rider, 1);
}

void ai_lines_learning_tick(rider_slot* rider)
{
    if (automatic(rider) || !ai_lines_exist() || autopilot_now() % ticks_per_sample != 0)
        return;
    dBodyID frame = rider->bodies[body_frame];
    if (!frame)
        return;
    const dReal* p = dBodyGetPosition(frame);
    const dReal* v = dBodyGetLinearVel(frame);
    const bool airborne = rider->front_contact.depth <= 0 && rider->rear_contact.depth <= 0;
    const float speed = float(std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]));
    const ai_line_point point{float(p[0]), float(p[1]), float(p[2]), airborne ? -speed : speed,
                              bike_lean_angle(frame)};
    // A buffer that cannot grow drops the sample.
    array_push(&rider->line_buffers[ai_segment_of_position(rider->timing_position) % 2], &point);
}

void ai_lines_learning_rider_down(rider_slot* rider)
{
    if (!automatic(rider))
        return;
    const int now = autopilot_now();
    autopilot_count_failure(rider, rider->timing_position);
    const int previous = rider->timing_position - 1;
    const int32_t reached = rider_get_gate_time(rider, previous);
    if (previous >= 0 && reached >= 0 && now - reached < 128)
        autopilot_count_failure(rider, previous);
    clear_picked(rider);
}

void ai_lines_learning_cancel(rider_slot* rider)
{
    rider->line_cancel_bits |= 1 << (ai_segment_of_position(rider->timing_position) % 2);
}

void ai_lines_learning_crossed(rider_slot* rider, int32_t position, int32_t expected)
{
    if (!is_switch_point(position))
        return;
    if (!automatic(rider) && position == expected) {
        offer_segment(rider, position);
        return;
    }
    if (automatic(rider))
        credit_segment(rider, position);
    ai_lines_clear_recording(rider);
}

void ai_lines_learning_install()
{
    gate_learning_hooks.tick = ai_lines_learning_tick;
    gate_learning_hooks.rider_down = ai_lines_learning_rider_down;
    gate_learning_hooks.cancel = ai_lines_learning_cancel;
    gate_learning_hooks.crossed = ai_lines_learning_crossed;
}
