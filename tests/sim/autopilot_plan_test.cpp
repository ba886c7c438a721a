// Personalities, line costs, transitions and the lap plans over synthetic tables.
#include "ai_lines_fixture.h"

#include "sim/autopilot_plan.h"

#include <cmath>

using aitest::line_stats;
using aitest::put_line;

namespace {

TEST(LineCost, ModesWeighFailuresAndTestsDifferently)
{
    ai_line line{};
    ai_line_make_free(&line);
    struct Case {
        int tested, failures, sum;
        int64_t mode[4];
    } cases[] = {
        {10, 10, 10000, {1320, 1365, 1640, 10000}},
        {4, 0, 400, {1000000, 1000000, 100, 7000}},
        {0, 0, 0, {1000000, 1000000, 1000000, 0}},
        {1, 20, 100, {1000000, 1000000, 740, 100000}},
        {100, 0, 5000, {50, 50, 50, 11000}},
    };
    for (const Case& c : cases) {
        line.tested = c.tested;
        line.failures = c.failures;
        line.segment_time_sum = c.sum;
        for (int m = 0; m < 4; ++m)
            EXPECT_EQ(autopilot_line_cost(line, m), c.mode[m]) << c.tested << "/" << c.failures << " mode " << m;
    }
}

TEST(Personality, NamesMapToIdsAndUnknownOnesToOstro)
{
    EXPECT_EQ(autopilot_personality_id("ostro"), 1);
    EXPECT_EQ(autopilot_personality_id("vardle"), 2);
    EXPECT_EQ(autopilot_personality_id("sollo"), 3);
    EXPECT_EQ(autopilot_personality_id("tester"), 4);
    EXPECT_EQ(autopilot_personality_id("Sollo"), 1);
    EXPECT_EQ(autopilot_personality_id("empty"), 1);
    EXPECT_FLOAT_EQ(autopilot_personalities[3].launch_late, 0.1f);
}

class Plan : public aitest::TablesTest {
protected:
    // Segment k runs from x = 100k along z = 0 (line "a", slot 0) or z = 20
    // (line "b", slot 1): each line joins only the next segment's line of its lane.
    void lanes(line_stats a, line_stats b)
    {
        for (int t = 0; t < ai_lines.table_count; ++t) {
            const int segment_start = (t < 3 ? t : t - 3) * 100;
            put_line(table(t).lines[0], 21, float(segment_start), 0, a);
            put_line(table(t).lines[1], 21, float(segment_start), 20, b);
        }
    }
};

TEST_F(Plan, TransitionsNeedAContinuousCourseAndSpeed)
{
    ai_line from{}, to{};
    ai_line_make_free(&from);
    ai_line_make_free(&to);
    put_line(from, 5, 0, 0);
    put_line(to, 5, 25, 0);
    EXPECT_TRUE(autopilot_transition_allowed(from, to));
    put_line(to, 5, 25, 2.4f);   // a parallel lane 2.4 ft over joins
    EXPECT_TRUE(autopilot_transition_allowed(from, to));
    put_line(to, 5, 25, 2.6f);   // 2.6 ft over does not
    EXPECT_FALSE(autopilot_transition_allowed(from, to));
    put_line(to, 5, 25, 0);
    to.points[1].z = 2.1f;       // heading off the course
    EXPECT_FALSE(autopilot_transition_allowed(from, to));
    to.points[1].z = 0;
    to.points[0].speed = -4.0f;   // landing: 20 > 4 + 15
    EXPECT_FALSE(autopilot_transition_allowed(from, to));
    to.points[0].speed = 20;
    // A circle of radius 50 about (0, 50): the next line must stay on it.
    for (int i = 0; i < 5; ++i) {
        const float a = 0.1f * float(i);
        from.points[i] = {50 * std::sin(a), 2, 50 - 50 * std::cos(a), 20, 0};
        to.points[i] = {50 * std::sin(a + 0.5f), 2, 50 - 50 * std::cos(a + 0.5f), 20, 0};
    }
    EXPECT_TRUE(autopilot_transition_allowed(from, to));
    to.points[1].z -= 3;   // 2.5 ft further out than the first
    EXPECT_FALSE(autopilot_transition_allowed(from, to));
    from.point_count = 2;
    EXPECT_FALSE(autopilot_transition_allowed(from, to));
    ai_line_make_free(&from);
    ai_line_make_free(&to);
}

TEST_F(Plan, LinesThatNeverConnectGiveNoRouteAndEmptyPlans)
{
    for (int t = 0; t < ai_lines.table_count; ++t)
        put_line(table(t).lines[0], 21, 0, float(t) * 50, {10, 0, 1000, 2000});
    int32_t plan[6] = {9, 9, 9, 9, 9, 9};
    int64_t first = 0, normal = 0;
    autopilot_plan_lap(plan, 0, &first, &normal);
    EXPECT_EQ(first, autopilot_no_route);
    EXPECT_EQ(normal, autopilot_no_route);
    for (int32_t id : plan)
        EXPECT_EQ(id, 0);
}

TEST_F(Plan, TheLapPlanRidesTheCheaperLaneAndNamesOnlyWellTestedLines)
{
    lanes({10, 0, 1000, 2000}, {10, 0, 800, 1600});   // lane b: 80 ticks a segment
    int64_t first = 0, normal = 0;
    int32_t plan[6] = {};
    autopilot_plan_lap(plan, 0, &first, &normal);
    EXPECT_EQ(normal, 3 * 80);
    EXPECT_EQ(first, 3 * 80);
    for (int t = 0; t < 6; ++t)
        EXPECT_EQ(plan[t], table(t).lines[1].line_id) << t;

    // Four runs: mode 0 prices the line out, mode 2 still rides it but cannot name it.
    table(4).lines[1].tested = 4;
    table(4).lines[1].segment_time_sum = 320;
    autopilot_plan_laps();
    EXPECT_EQ(ai_lap_plan(0)[4], table(4).lines[0].line_id);
    EXPECT_EQ(ai_lap_plan(2)[4], 0);
    EXPECT_EQ(ai_lap_plan(2)[5], table(5).lines[1].line_id);
}

TEST_F(Plan, WeightsRateEachStartLineAgainstTheBest)
{
    lanes({10, 0, 1000, 2000}, {10, 0, 500, 1000});
    float weights[ai_lines_per_table];
    autopilot_line_weights(1, weights, 0);
    EXPECT_FLOAT_EQ(weights[1], 1.0f);
    EXPECT_FLOAT_EQ(weights[0], 0.5f);
    EXPECT_FLOAT_EQ(weights[2], float(8 * 50) / float(autopilot_no_route));   // a free slot
}

}  // namespace
