#include "sim/ai_lines_rules.h"

#include "foundation/memory.h"
#include "gfx/texture_settings.h"
#include "platform/qorl_log.h"
#include "sim/ai_lines_file.h"
#include "sim/line_crossings.h"

#include <cstring>

namespace {

constexpr int64_t failure_penalty = 640;   // ticks = 5 s
constexpr int pruned_table_size = 43;

float distance_squared(const ai_line_point& a, const ai_line_point& b)
{
    const float dx = a.x - b.x, dy = a.y - b.y, dz = a.z - b.z;
    return dx * dx + dy * dy + dz * dz;
}

bool same_samples(const ai_line& line, const ai_line_point* points, int count)
{
    if (!ai_line_used(line) || line.point_count != count)
        return false;
    for (int i = 0; i < count; ++i) {
        const ai_line_point& a = line.points[i];
        const ai_line_point& b = points[i];
        const float ds = a.speed - b.speed;
        if (ds > 1.0f / 16 || ds < -1.0f / 16 || distance_squared(a, b) > 1.0f / 256)
            return false;
    }
    return true;
}

double seconds(int64_t ticks)
{
    return double(ticks) / 128.0;
}

bool lines_cross(const ai_line& p, const ai_line& q, int64_t* budget)
{
    return ai_polylines_cross(p.points, p.point_count, q.points, q.point_count, budget);
}

// True when line j should be freed before the line chosen so far (equal crossings).
bool prune_before(const ai_line& j, const ai_line& chosen)
{
    if ((j.tested > 0) != (chosen.tested > 0))
        return j.tested > 0;
    if (j.tested > 0)
        return j.extended_time_sum / j.tested < chosen.extended_time_sum / chosen.tested;
    return j.extended_time < chosen.extended_time;
}

void prune_table(ai_line_table& table, int64_t* budget)
{
    while (ai_table_used_count(table) > pruned_table_size) {
        int crossings[ai_lines_per_table] = {};
        for (int a = 0; a < ai_lines_per_table; ++a)
            for (int b = a + 1; b < ai_lines_per_table; ++b)
                if (ai_line_used(table.lines[a]) && ai_line_used(table.lines[b]) &&
                    lines_cross(table.lines[a], table.lines[b], budget)) {
                    ++crossings[a];
                    ++crossings[b];
                }
        int chosen = -1;
        for (int j = 0; j < ai_lines_per_table; ++j) {
            // With no crossings at all every line ties at 0 and the order below picks one.
            if (!ai_line_used(table.lines[j]) || table.lines[j].point_count < 2)
                continue;
            if (chosen < 0 || crossings[j] > crossings[chosen] ||
                (crossings[j] == crossings[chosen] && prune_before(table.lines[j], table.lines[chosen])))
                chosen = j;
        }
        bool freed = false;
        if (chosen >= 0) {
            ai_line_make_free(&table.lines[chosen]);
            freed = true;
        }
        const int evicted = ai_lines_choose_eviction(table);
        if (evicted >= 0) {
            ai_line_make_free(&table.lines[evicted]);
            freed = true;
        }
        // Only lines of fewer than 2 points that never fail can stop the pruning.
        if (!freed)
            break;
    }
}

}  // namespace

int64_t ai_line_expected_time(const ai_line& line)
{
    const int64_t tested = line.tested, failures = line.failures;
    if (tested > 0)
        return failure_penalty * failures / (tested + failures) + int64_t(line.extended_time_sum) / tested;
    return int64_t(line.extended_time) * 5 / 4 + (failures >= 1 ? failure_penalty : 0);
}

int ai_lines_choose_eviction(const ai_line_table& table)
{
    int64_t expected[ai_lines_per_table];
    int succeeding = 0;
    for (int i = 0; i < ai_lines_per_table; ++i) {
        const ai_line& line = table.lines[i];
        expected[i] = ai_line_expected_time(line);
        if (ai_line_used(line)) {
            bool alone = true;
            for (int j = 0; j < ai_lines_per_table && alone; ++j)
                if (j != i && ai_line_used(table.lines[j]) &&
                    distance_squared(table.lines[j].points[0], line.points[0]) < 4.0f)
                    alone = false;
            if (alone)
                expected[i] = expected[i] * 3 / 4;
        }
        succeeding += line.failures < line.tested ? 1 : 0;
    }
    const bool any_line = succeeding > 22;
    int best = -1;
    for (int i = 0; i < ai_lines_per_table; ++i) {
        const ai_line& line = table.lines[i];
        if (!ai_line_used(line) || (!any_line && line.failures < line.tested))
            continue;
        if (best < 0 || expected[i] > expected[best])
            best = i;
    }
    return best;
}

ai_offer_result ai_lines_offer(int table_index, const ai_line_point* points, int count, bool cancelled,
                               int32_t segment_time, int32_t extended_time)
{
    ai_line_table* table = ai_table(table_index);
    // A line longer than the lines file takes would have the whole file refused next time.
    if (!table || count <= 0 || count > ai_line_max_points || cancelled) {
        if (verbose_level)
            qorl_log("auto pilot: %d canceled\n", table_index);
        return ai_offer_result::canceled;
    }
    for (const ai_line& line : table->lines)
        if (same_samples(line, points, count)) {
            if (verbose_level)
                qorl_log("auto pilot: %d rejected (duplicate)\n", table_index);
            return ai_offer_result::duplicate;
        }
    int slot = -1;
    for (int i = 0; i < ai_lines_per_table && slot < 0; ++i)
        if (!ai_line_used(table->lines[i]))
            slot = i;
    if (slot < 0)
        slot = ai_lines_choose_eviction(*table);
    if (slot < 0 || int64_t(extended_time) * 5 / 4 > ai_line_expected_time(table->lines[slot])) {
        if (verbose_level)
            qorl_log("auto pilot: %d rejected (too slow)\n", table_index);
        return ai_offer_result::too_slow;
    }
    ai_line& line = table->lines[slot];
    if (verbose_level) {
        const bool tested = line.tested > 0;
        qorl_log("auto pilot: evicting %d (times: %.2f %.2f tested (%d %d): %.2f %.2f repl: %f %f)\n", table_index,
                 seconds(line.segment_time), seconds(line.extended_time), line.tested, line.failures,
                 tested ? seconds(line.segment_time_sum) / line.tested : 0.0,
                 tested ? seconds(line.extended_time_sum) / line.tested : 0.0, seconds(segment_time),
                 seconds(extended_time));
    }
    auto* copy = static_cast<ai_line_point*>(xmalloc(sizeof(ai_line_point) * size_t(count)));
    std::memcpy(copy, points, sizeof(ai_line_point) * size_t(count));
    ai_line_make_free(&line);
    line.points = copy;
    line.point_count = count;
    line.segment_time = segment_time;
    line.extended_time = extended_time;
    line.line_id = ai_line_next_id();
    return ai_offer_result::stored;
}

void ai_lines_prune()
{
    int64_t budget = ai_prune_work_budget;
    for (int t = 0; t < ai_lines.first_lap_segments && ai_lines_exist(); ++t)
        prune_table(ai_lines.tables[t], &budget);
}

int ai_segment_of_position_in(const int32_t* first_lap, int first_lap_length, const int32_t* normal_lap,
                              int normal_lap_length, int position)
{
    auto switch_points = [](const int32_t* list, int n) {
        int count = 0;
        for (int i = 0; i < n; ++i)
            count += list[i] < 100000 ? 1 : 0;
        return count;
    };
    if (position <= 0 || !first_lap)
        return 0;
    if (position <= first_lap_length || normal_lap_length <= 0 || !normal_lap)
        return switch_points(first_lap, position < first_lap_length ? position : first_lap_length);
    const int past = position - first_lap_length;
    return switch_points(first_lap, first_lap_length) + past / normal_lap_length * switch_points(normal_lap, normal_lap_length) +
           switch_points(normal_lap, past % normal_lap_length);
}
