// Which line an automatic rider follows next: each line of the table scores its
// merit over the coming segments (with the lap plan gaining weight from 40 s into
// the race), scaled down when it was ridden in the last 3 s, plus how well its start
// continues the path the rider is on.
#include "sim/autopilot_drive.h"

#include "sim/autopilot_plan.h"
#include "sim/autopilot_race.h"
#include "sim/gate_times.h"
#include "sim/physics_world.h"
#include "gfx/texture_settings.h"
#include "platform/qorl_log.h"

#include <algorithm>
#include <cmath>

namespace {

float clampf(float x, float lo, float hi)
{
    return std::max(std::min(x, hi), lo);
}

// Ticks this rider leads the second rider by at its latest timing position.
int lead_ticks(const rider_slot* rider)
{
    if (!autopilot_race.ranked_count || !autopilot_race.ranked_slot || autopilot_race.ranked_count() < 2 ||
        autopilot_race.ranked_slot(1) != rider->slot_number)
        return 0;
    const int second = autopilot_race.ranked_slot(2);
    if (second < 0 || second >= kRiderSlots)
        return 0;
    const rider_slot* other = &rider_slots[second];
    const int position = other->timing_position - 1;
    const int32_t theirs = rider_get_gate_time(other, position);
    const int32_t mine = rider_get_gate_time(rider, position);
    return theirs > 0 && mine > 0 && mine < theirs ? theirs - mine : 0;
}

float match_score(const rider_slot* rider, const ai_line& line)
{
    if (!ai_line_used(line))
        return 0;
    const auto* path = static_cast<const ai_line_point*>(rider->path.items);
    const int count = rider->path_count;
    if (count < 3 || !path) {
        const dReal* f = dBodyGetPosition(rider->bodies[body_frame]);
        const double dx = line.points[0].x - f[0], dy = line.points[0].y - f[1], dz = line.points[0].z - f[2];
        const float q = clampf(float((100 - std::sqrt(dx * dx + dy * dy + dz * dz)) / 96), 0, 1);
        return 10 * q * q * q;
    }
    if (line.point_count < 2)
        return 0;
    double cx, cz;
    const ai_line_point* last = path + count - 3;
    ai_circle_xz(last[0], last[1], last[2], &cx, &cz);
    auto from_centre = [&](const ai_line_point& p) { return std::hypot(p.x - cx, p.z - cz); };
    const double r = from_centre(last[2]);
    const double d1 = from_centre(line.points[0]), d2 = from_centre(line.points[1]);
    const float B = clampf(float((3 - std::fabs(d2 - d1)) / 2), 0, 1) * clampf(float((5 - std::fabs(r - d1)) / 3.5), 0, 1);
    const float S = clampf((15 + std::fabs(line.points[0].speed) - std::fabs(last[2].speed)) / 5, 0, 1);
    return B * B * B * S;
}

}  // namespace

int autopilot_set_personality(rider_slot* rider, const char* name)
{
    rider->personality = autopilot_personality_id(name);
    return rider->personality;
}

ai_line* autopilot_pick_line(rider_slot* rider, int table_index)
{
    ai_line_table* table = ai_table(table_index);
    if (!table || ai_table_used_count(*table) == 0 || rider_has_finished(rider))
        return nullptr;
    const int now = autopilot_now();
    const int id = rider->personality > 0 && rider->personality < autopilot_personality_count ? rider->personality : 1;
    const autopilot_personality& persona = autopilot_personalities[id];
    const int mode =
        lead_ticks(rider) * kTickLength > persona.lead_threshold ? persona.lead_mode : persona.line_cost_mode;

    float weights[ai_lines_per_table];
    autopilot_line_weights(table_index, weights, mode);
    if (mode != 3) {
        const float g = clampf(float((autopilot_race_time() - 40) * 0.05), 0, 1);
        const int32_t planned = ai_lap_plan(mode) ? ai_lap_plan(mode)[table_index] : 0;
        for (int i = 0; i < ai_lines_per_table && planned != 0; ++i)
            if (table->lines[i].line_id == planned)
                weights[i] += (1 - weights[i]) * g;
    }
    if (table_index == 0)
        for (float& w : weights)
            w = 0.2f * w + 0.8f;

    int best = 0;
    float best_score = 0;
    for (int i = 0; i < ai_lines_per_table; ++i) {
        const ai_line& line = table->lines[i];
        const float since = float((now - line.last_picked) * kTickLength);
        const float match = match_score(rider, line);
        const float score = clampf(since / 3, 0, 1) * weights[i] + match;
        if (verbose_level && ai_line_used(line))
            qorl_log("auto pilot: picking %d score = %f match = %f last_picked = %f\n", i, double(weights[i]),
                     double(match), double(since));
        if (score > best_score) {
            best_score = score;
            best = i;
        }
    }
    ai_line& picked = table->lines[best];
    picked.last_picked = now;
    if (ai_line_used(picked)) {
        const ai_line_point& end = picked.points[picked.point_count - 1];
        for (ai_line& line : table->lines)
            if (ai_line_used(line)) {
                const ai_line_point& e = line.points[line.point_count - 1];
                const float dx = e.x - end.x, dy = e.y - end.y, dz = e.z - end.z;
                if (dx * dx + dy * dy + dz * dz < 9)
                    line.last_picked = now;
            }
    }
    return &picked;
}
