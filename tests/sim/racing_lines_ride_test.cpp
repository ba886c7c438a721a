// The track generator's centreline rider fills every table with lines that join.
#include "ai_lines_fixture.h"
#include "oval_course.h"

#include "sim/ai_lines_file.h"
#include "sim/autopilot_plan.h"
#include "sim_fixture.h"

#include <algorithm>
#include <cmath>

namespace {

class CentrelineRide : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(ai_lines_resize(5, 4), 1); }
    void TearDown() override { ai_lines_free(); }
};

TEST_F(CentrelineRide, FillsEveryTableWithJoiningLinesAndTheirTimes)
{
    const lines_course oval = aitest::oval_course(3);
    EXPECT_EQ(ride_racing_line(oval, {40, 12, 0, 0}), 16);   // 17 switch points, the first ends no segment
    EXPECT_EQ(ride_racing_line(oval, {40, 12, 0, 0}), 0);   // the same ride again: duplicates
    EXPECT_EQ(ride_racing_line(oval, {38, 12, 2.0f, 2.0f}), 16);
    for (int t = 0; t < 9; ++t) {
        const ai_line& line = ai_lines.tables[t].lines[0];
        SCOPED_TRACE(t);
        ASSERT_GE(line.point_count, 3);
        EXPECT_GT(line.segment_time, 0);
        EXPECT_GT(line.extended_time, line.segment_time);
        EXPECT_FLOAT_EQ(line.points[1].y, 5.0f);
        // Clockwise seen from above is a right-hand turn for the rider: leaning right.
        EXPECT_LT(line.points[line.point_count / 2].lean, 0.0f);
        const ai_line& next = ai_lines.tables[t + 1 < 9 ? t + 1 : 5].lines[0];
        EXPECT_TRUE(autopilot_transition_allowed(line, next));
    }
    int64_t first = 0, normal = 0;
    int32_t plan[9];
    autopilot_plan_lap(plan, 2, &first, &normal);
    EXPECT_LT(normal, autopilot_no_route);
    EXPECT_LT(first, autopilot_no_route);
}

}  // namespace

namespace {

// The lines shipped with the sample track: 6 first-lap and 5 normal-lap segments.
TEST(SampleTrackLines, EverySkillsFileReadsBackAndItsLinesJoinRoundTheLap)
{
    for (int skill = 0; skill < 3; ++skill) {
        SCOPED_TRACE(skill);
        ASSERT_EQ(ai_lines_resize(6, 5), 1);
        EXPECT_GE(ai_lines_load("tracks/sample", skill), 11 * 3);
        for (int t = 0; t < 11; ++t)
            EXPECT_GE(ai_table_used_count(ai_lines.tables[t]), 3) << t;
        int64_t first = 0, normal = 0;
        int32_t plan[11];
        autopilot_plan_lap(plan, 2, &first, &normal);
        EXPECT_EQ(normal, 5 * 1000000);   // untested lines cost 1000000 a segment in mode 2
        EXPECT_EQ(first, 6 * 1000000);
        ai_lines_free();
    }
}

}  // namespace

namespace {

// A double jump across the oval's start straight, the shape the track generator
// gives one 7 ft high: a kicker, a flat gap, a wall and a long landing.
float double_jump(float x, float z)
{
    const float along = x - 400;
    if (z < 220 || z > 280 || along < 0 || along > 64)
        return 0;
    auto smooth = [](float t) { return t * t * (3 - 2 * t); };
    if (along < 12)
        return 7 * (along / 12) * (along / 12);
    if (along < 16)
        return 7 * (1 - smooth((along - 12) / 4));
    if (along < 36)
        return 0;
    if (along < 40)
        return 7 * smooth((along - 36) / 4);
    return 7 * (1 - smooth((along - 40) / 24));
}

TEST_F(CentrelineRide, JumpsTheDoubleAtASpeedThatLandsOnItsFarSlope)
{
    lines_course oval = aitest::oval_course();
    oval.ground = double_jump;
    for (float top : {34.0f, 54.0f}) {
        SCOPED_TRACE(top);
        ai_lines_clear();
        ASSERT_GT(ride_racing_line(oval, {top, 12, 0, 0}), 0);
        int flying = 0, in_gap = 0, run_ups = 0;
        float landed_at = -1;
        for (int t = 0; t < ai_lines.table_count; ++t)
            for (const ai_line& line : ai_lines.tables[t].lines)
                for (int i = 0; i < line.point_count; ++i) {
                    const ai_line_point& p = line.points[i];
                    const bool air = std::signbit(p.speed);
                    flying += air;
                    // Over the gap and the wall the rider is always in the air, above
                    // the ground.
                    if (p.z > 220 && p.z < 280 && p.x > 417 && p.x < 440) {
                        ++in_gap;
                        EXPECT_TRUE(air) << p.x;
                        EXPECT_GT(p.y, double_jump(p.x, p.z) + 2) << p.x;
                    }
                    if (air && i + 1 < line.point_count && !std::signbit(line.points[i + 1].speed))
                        landed_at = line.points[i + 1].x;
                    // In the last 3 s (12 points) before the take-off a rider opens up
                    // rather than brakes, so the line has already slowed to the jump's speed
                    // (as far back as this segment's line goes).
                    if (air && i >= 2 && !std::signbit(line.points[i - 1].speed)) {
                        ++run_ups;
                        for (int k = std::max(i - 12, 0); k < i; ++k)
                            EXPECT_NEAR(line.points[k].speed, line.points[i - 1].speed, 2.5f) << k - i;
                    }
                }
        EXPECT_GT(flying, 0);
        EXPECT_GT(in_gap, 0);
        EXPECT_GT(run_ups, 0);
        // Back on the ground on the landing's falling side, not past it.
        EXPECT_GT(landed_at, 440.0f);
        EXPECT_LT(landed_at, 464.0f);
    }
}

}  // namespace

namespace {

// The first segment's lines leave from the rider's start slot and merge into its lane;
// past the merge the ride is the lane's own, which the tables turn down as duplicates.
TEST_F(CentrelineRide, ALineFromAStartSlotMergesIntoItsLane)
{
    const lines_course oval = aitest::oval_course();
    ASSERT_EQ(ride_racing_line(oval, {40, 12, 0, 0}), 16);
    int before[9];
    for (int t = 0; t < 9; ++t)
        before[t] = ai_table_used_count(ai_lines.tables[t]);
    // Only the segments of the merge are new; the rest are the lane's own lines.
    const int stored = ride_racing_line(oval, {40, 12, 0, -15});
    EXPECT_GE(stored, 1);
    EXPECT_LE(stored, 2);
    const ai_line& centre = ai_lines.tables[0].lines[0];
    const ai_line& slot = ai_lines.tables[0].lines[1];
    ASSERT_EQ(slot.point_count, centre.point_count);
    EXPECT_NEAR(std::hypot(slot.points[0].x - centre.points[0].x, slot.points[0].z - centre.points[0].z), 15.0f,
                0.5f);
    EXPECT_GT(slot.points[0].z, centre.points[0].z);   // to the right of a rider heading +x
    EXPECT_EQ(slot.segment_time, centre.segment_time);
    for (int t = 2; t < 9; ++t)
        EXPECT_EQ(ai_table_used_count(ai_lines.tables[t]), before[t]) << t;
}

// Whoops along the oval's far side: crests 13 ft apart, 1 ft high.
float whoops(float x, float z)
{
    if (z < 500 || x < 300 || x > 500)
        return 0;
    const float s = std::sin(3.1415927f * (x - 300) / 13.0f);
    return s * s;
}

TEST_F(CentrelineRide, RollsThroughWhoopsAtOneSteadySpeed)
{
    lines_course oval = aitest::oval_course();
    oval.ground = whoops;
    ASSERT_GT(ride_racing_line(oval, {54, 18, 0, 0}), 0);
    float slowest = 1e9f, fastest = 0;
    for (int t = 0; t < ai_lines.table_count; ++t)
        for (const ai_line& line : ai_lines.tables[t].lines)
            for (int i = 0; i < line.point_count; ++i) {
                const ai_line_point& p = line.points[i];
                if (p.z < 500 || p.x < 330 || p.x > 450)
                    continue;
                slowest = std::min(slowest, std::fabs(p.speed));
                fastest = std::max(fastest, std::fabs(p.speed));
                EXPECT_FALSE(std::signbit(p.speed)) << "a whoop jumped at x " << p.x;
            }
    ASSERT_GT(fastest, 0.0f);
    EXPECT_LT(fastest - slowest, 6.0f);   // no braking for each crest and opening up between
    EXPECT_GT(slowest, 10.0f);
}

}  // namespace
