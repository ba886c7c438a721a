// Racing-line tables built in memory for the lines and planner tests.
#pragma once
#include "sim/ai_lines.h"

#include "foundation/memory.h"

#include <gtest/gtest.h>

namespace aitest {

struct line_stats {
    int tested = 0, failures = 0, segment_sum = 0, extended_sum = 0;
    int segment_time = 640, extended_time = 1280;
};

// A straight line of `count` points along +x from (x0, 0, z), `step` ft apart.
inline void put_line(ai_line& line, int count, float x0, float z, line_stats s = {}, float step = 5.0f,
                     float speed = 20.0f)
{
    ai_line_make_free(&line);
    line.points = static_cast<ai_line_point*>(xmalloc(sizeof(ai_line_point) * size_t(count)));
    for (int i = 0; i < count; ++i)
        line.points[i] = {x0 + step * float(i), 2.0f, z, speed, 0.0f};
    line.point_count = count;
    line.segment_time = s.segment_time;
    line.extended_time = s.extended_time;
    line.tested = s.tested;
    line.failures = s.failures;
    line.segment_time_sum = s.segment_sum;
    line.extended_time_sum = s.extended_sum;
    line.line_id = ai_line_next_id();
}

// Every test starts with fresh tables of S1 + Sn segments and frees them after.
class TablesTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(ai_lines_resize(3, 3), 1); }
    void TearDown() override { ai_lines_free(); }
    ai_line_table& table(int t) { return ai_lines.tables[t]; }
};

}  // namespace aitest
