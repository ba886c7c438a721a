#include "sim_fixture.h"

#include "sim/bike_info.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <set>
#include <string>

namespace {

TEST(BikeInfo, LookUpIsExactAndCaseSensitive)
{
    EXPECT_EQ(bike_info_lookup("cr125"), &bike_infos[0]);
    EXPECT_EQ(bike_info_index("crf250(2007)"), 1);
    EXPECT_EQ(bike_info_index("rs50yz"), 79);
    EXPECT_EQ(bike_info_lookup("CR125"), nullptr);
    EXPECT_EQ(bike_info_lookup("cr125 "), nullptr);
    EXPECT_EQ(bike_info_lookup(nullptr), nullptr);
    EXPECT_EQ(bike_info_at(80), nullptr);
    EXPECT_EQ(bike_info_at(-1), nullptr);
}

TEST(BikeInfo, UnknownNamesFallBackWithAMessage)
{
    struct Case {
        const char* asked;
        const char* chosen;
    } const cases[] = {
        {"xr650", "kx250f(2007)"},       // neither "125" nor "250f"
        {"sx125(1999)", "cr125"},
        {"zz250f", "kx250f(2007)"},
        {"crf250(2001)", "kx250f(2007)"},   // "crf250" names do not contain "250f"
    };
    for (const Case& c : cases) {
        simtest::LogCapture log;
        EXPECT_STREQ(bike_infos[static_cast<size_t>(bike_info_choose(c.asked))].name, c.chosen) << c.asked;
        EXPECT_TRUE(log.contains(std::string("bike info for '") + c.asked + "' not found using '" + c.chosen +
                                 "' instead"))
            << log.text();
    }
    simtest::LogCapture quiet;
    EXPECT_EQ(bike_info_choose("yz250f(2017)"), bike_info_index("yz250f(2017)"));
    EXPECT_EQ(quiet.text(), "");
}

}  // namespace

namespace {

bool has_six_gears(const bike_info& b)
{
    return b.gear_ratios[5] > 0;
}

TEST(BikeInfo, TableKeepsItsInvariants)
{
    std::set<std::string> names;
    const std::set<std::string> classes = {"125", "250f", "250", "450f", "50"};
    const std::set<std::string> six_speed = {"rs50cr", "rs50kx", "rs50rm", "rs50yz", "kx125", "rm125",
                                             "yz125", "125sx", "250sxf(2009)", "250sxf(2013)"};
    for (const bike_info& b : bike_infos) {
        SCOPED_TRACE(b.name);
        EXPECT_TRUE(names.insert(b.name).second) << "duplicate name";
        EXPECT_LT(strlen(b.name), sizeof b.name);
        EXPECT_TRUE(classes.count(b.bike_class));
        // The fork axis and the swingarm must not be degenerate, nor the air spring.
        EXPECT_NE(b.fork_upper_position[1] - b.fork_lower_position[1], 0.0f);
        EXPECT_NE(b.rear_axle[2], b.swingarm_pivot[2]);
        EXPECT_GT(b.fork_oil_level[0] - b.fork_oil_level[1], 0.0f);
        for (float side : b.frame_box)
            EXPECT_GT(side, 0.0f);
        EXPECT_GT(b.fork_travel, 0.0f);
        EXPECT_GT(b.swingarm_travel, 0.0f);
        // Gears: at least five, the sixth only where the bike has it, ratios falling.
        for (int g = 0; g < 5; ++g)
            EXPECT_GT(b.gear_ratios[g], 0.0f);
        for (int g = 1; g < 5 + has_six_gears(b); ++g)
            EXPECT_LT(b.gear_ratios[g], b.gear_ratios[g - 1]);
        EXPECT_EQ(has_six_gears(b), six_speed.count(b.name) == 1);
        EXPECT_GE(b.front_sprocket, 10.0f);
        EXPECT_GT(b.rear_sprocket, b.front_sprocket);
        EXPECT_GT(b.primary_ratio, 1.0f);
        // An engine pulls below its limit and brakes with the throttle shut at speed.
        float peak = 0;
        for (int i = 0; i < kTorquePoints; ++i)
            peak = std::max(peak, b.open_torque[i]);
        EXPECT_GT(peak, 2.0f);
        EXPECT_GT(torque_curve_at(b.open_torque, b.shift_up_rpm), 0.0f);
        EXPECT_LE(torque_curve_at(b.open_torque, b.rpm_limit + 2000), 0.5f * peak);
        EXPECT_LT(torque_curve_at(b.closed_torque, b.shift_up_rpm), 0.0f);
        EXPECT_LT(b.shift_down_rpm, b.shift_up_rpm);
        EXPECT_LT(b.shift_up_rpm, b.rpm_limit);
        EXPECT_GT(b.engine_inertia, 0.0f);
        // Names of the files the bike needs.
        EXPECT_STREQ(b.file_names[bike_file_frame_shape], "@generic_frame.shp");
        EXPECT_STREQ(b.file_names[bike_file_rider_plate_model], "@rider_plate.jm");
        const std::string texture = b.file_names[bike_file_bike_texture];
        const std::string stem = texture.substr(1, texture.size() - 5);
        EXPECT_EQ(b.file_names[bike_file_frame_model], "@" + stem + "_frame.jm");
        EXPECT_EQ(b.file_names[bike_file_front_plate_model], "@" + stem + "_front_plate.jm");
        EXPECT_FLOAT_EQ(b.pose_points[kPoseFootPegs], -0.6f);
        EXPECT_FLOAT_EQ(b.pose_points[kPoseFootPegs + 5], 0.584f);
    }
    EXPECT_EQ(names.size(), 80u);
    EXPECT_STREQ(bike_infos[79].file_names[bike_file_bike_texture], "@yz125.png");
    EXPECT_STREQ(bike_infos[static_cast<size_t>(bike_info_index("fc250(2017)"))].file_names[bike_file_frame_model],
                 "@fc250v2016_frame.jm");
}

TEST(BikeInfo, FamiliesCarryTheirMassesAndSpeeds)
{
    struct Case {
        const char* name;
        float frame_mass, rider_mass, inertia, rpm_limit, clutch_stiffness;
    } const cases[] = {
        {"rm125", 3.65375f, 4.6875f, 0.004883f, 13750, 7500},
        {"350sxf(2013)", 4.735f, 5.46875f, 0.006836f, 12000, 7500},   // class "250f", family "450f"
        {"rs50rm", 3.34125f, 4.6875f, 0.001194f, 13750, 1200},
    };
    for (const Case& c : cases) {
        const bike_info* b = bike_info_lookup(c.name);
        ASSERT_NE(b, nullptr) << c.name;
        EXPECT_FLOAT_EQ(b->frame_mass, c.frame_mass) << c.name;
        EXPECT_FLOAT_EQ(b->rider_mass, c.rider_mass) << c.name;
        EXPECT_FLOAT_EQ(b->engine_inertia, c.inertia) << c.name;
        EXPECT_FLOAT_EQ(b->rpm_limit, c.rpm_limit) << c.name;
        EXPECT_FLOAT_EQ(b->clutch_stiffness, c.clutch_stiffness) << c.name;
    }
    const bike_info* rs50 = bike_info_lookup("rs50kx");
    EXPECT_FLOAT_EQ(rs50->primary_ratio, 3.714286f);
    EXPECT_FLOAT_EQ(rs50->front_sprocket, 12);
    EXPECT_FLOAT_EQ(rs50->rear_sprocket, 55);
    EXPECT_FLOAT_EQ(rs50->gear_ratios[5], 0.9565f);
    EXPECT_STREQ(rs50->file_names[bike_file_frame_model], "@kx125_frame.jm");
}

TEST(BikeInfo, TorqueCurvesInterpolateAndClamp)
{
    const bike_info& cr = bike_infos[0];
    EXPECT_FLOAT_EQ(torque_curve_at(cr.open_torque, 0), 5);
    EXPECT_FLOAT_EQ(torque_curve_at(cr.open_torque, 10000), 15.9664f);
    EXPECT_FLOAT_EQ(torque_curve_at(cr.open_torque, 10250), (15.9664f + 15.9064f) / 2);
    EXPECT_FLOAT_EQ(torque_curve_at(cr.open_torque, 30000), -11);   // past the table: its last point
    EXPECT_FLOAT_EQ(torque_curve_at(cr.closed_torque, 30000), -23);
    EXPECT_FLOAT_EQ(torque_curve_at(cr.closed_torque, -500), 2);
    EXPECT_FLOAT_EQ(torque_curve_at(cr.closed_torque, std::nanf("")), 2);
}

TEST(BikeInfo, GearsAndFinalDrive)
{
    const bike_info& cr = bike_infos[0];
    EXPECT_TRUE(bike_has_gear(&cr, 4));
    EXPECT_FALSE(bike_has_gear(&cr, 5));
    EXPECT_FALSE(bike_has_gear(&cr, 6));
    EXPECT_TRUE(bike_has_gear(bike_info_lookup("kx125"), 5));
    EXPECT_FLOAT_EQ(bike_final_drive_ratio(&cr, 0, 0), 4.0f);
    EXPECT_FLOAT_EQ(bike_final_drive_ratio(&cr, -2, -2), 50.0f / 11.0f);
    EXPECT_FLOAT_EQ(bike_final_drive_ratio(&cr, -20, 0), 52.0f / 3.0f);   // at least 3 teeth
    EXPECT_FLOAT_EQ(bike_final_drive_ratio(&cr, 0.5f, 0.9f), 4.0f);       // whole teeth only
    const float range[2] = {0.416667f, 0.25f};
    EXPECT_FLOAT_EQ(bike_range_lerp(range, 0.5f), (0.416667f + 0.25f) / 2);
    EXPECT_FLOAT_EQ(bike_range_lerp(range, 7), 0.25f);
    EXPECT_FLOAT_EQ(bike_range_lerp(range, std::nanf("")), 0.416667f);
}

}  // namespace
