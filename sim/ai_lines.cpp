#include "sim/ai_lines.h"

#include "foundation/memory.h"

ai_line_set ai_lines;
int32_t ai_line_serial;

int32_t ai_line_next_id()
{
    return ++ai_line_serial;
}

void ai_line_make_free(ai_line* line)
{
    if (line->points)
        mem_free(line->points);
    int32_t last_picked = line->last_picked;
    *line = ai_line{};
    line->segment_time = ai_line_no_time;
    line->extended_time = ai_line_no_time;
    line->best_segment_time = ai_line_no_time;
    line->best_extended_time = ai_line_no_time;
    line->last_picked = last_picked;
}

int ai_table_used_count(const ai_line_table& table)
{
    int used = 0;
    for (const ai_line& line : table.lines)
        used += ai_line_used(line) ? 1 : 0;
    return used;
}

void ai_lines_clear()
{
    for (int t = 0; t < ai_lines.table_count && ai_lines.tables; ++t)
        for (ai_line& line : ai_lines.tables[t].lines)
            ai_line_make_free(&line);
}

void ai_lines_free()
{
    ai_lines_clear();
    mem_free(ai_lines.tables);
    mem_free(ai_lines.lap_plans);
    ai_lines = ai_line_set{};
}

int ai_lines_resize(int first_lap_switch_points, int normal_lap_switch_points)
{
    ai_lines_free();
    if (first_lap_switch_points <= 2 || normal_lap_switch_points <= 2)
        return 0;
    int count = first_lap_switch_points + normal_lap_switch_points;
    auto* tables = static_cast<ai_line_table*>(xmalloc(sizeof(ai_line_table) * size_t(count)));
    auto* plans = static_cast<int32_t*>(xmalloc(sizeof(int32_t) * size_t(count) * ai_lap_plan_modes));
    for (int t = 0; t < count; ++t)
        for (ai_line& line : tables[t].lines) {
            line = ai_line{};
            ai_line_make_free(&line);
        }
    for (int i = 0; i < count * ai_lap_plan_modes; ++i)
        plans[i] = 0;
    ai_lines.tables = tables;
    ai_lines.lap_plans = plans;
    ai_lines.first_lap_segments = first_lap_switch_points;
    ai_lines.normal_lap_segments = normal_lap_switch_points;
    ai_lines.table_count = count;
    return 1;
}

int ai_table_of_segment(int segment)
{
    if (!ai_lines_exist() || segment < 0)
        return -1;
    int s1 = ai_lines.first_lap_segments;
    if (segment < s1)
        return segment;
    return s1 + (segment - s1) % ai_lines.normal_lap_segments;
}

ai_line_table* ai_table(int table_index)
{
    if (!ai_lines_exist() || table_index < 0 || table_index >= ai_lines.table_count)
        return nullptr;
    return &ai_lines.tables[table_index];
}

int32_t* ai_lap_plan(int mode)
{
    if (!ai_lines_exist() || mode < 0 || mode >= ai_lap_plan_modes)
        return nullptr;
    return ai_lines.lap_plans + mode * ai_lines.table_count;
}
