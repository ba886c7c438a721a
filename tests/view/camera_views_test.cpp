// The rider's eye and the chase camera on real physics bodies, with the world
// renderer's arguments captured instead of drawn.
#include "race/program/command_line.h"
#include "race/program/world_view.h"
#include "sim/physics_world.h"
#include "sim/race_clock.h"
#include "sim/rider_slot.h"
#include "terrain/terrain_queries.h"
#include "view/camera_views.h"
#include "captured_views.h"
#include "view_fixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

constexpr float kPi = 3.14159265358979f;

struct CameraViews : ViewTables {
    render_world_fn saved = nullptr;
    dBodyID body = nullptr;
    void SetUp() override
    {
        ViewTables::SetUp();
        ASSERT_EQ(physics_world_init(), 1);
        body = dBodyCreate(physics_world);
        saved = render_world_entry;
        render_world_entry = capture;
        shots.clear();
        camera_settings = camera_setting_values{};
        first_person_reset();
        current_tick = 0;
    }
    void TearDown() override
    {
        render_world_entry = saved;
        camera_settings = camera_setting_values{};
        current_tick = 0;
        dBodyDestroy(body);
        physics_world_shutdown();
        ViewTables::TearDown();
    }
    void pitch(float angle)
    {
        dMatrix3 r;
        dRFromAxisAndAngle(r, 1, 0, 0, angle);
        dBodySetRotation(body, r);
    }
    // Angle of the shot's backward axis above the body's.
    float lag(const Shot& s) const
    {
        const dReal* r = dBodyGetRotation(body);
        const float b[3] = {float(r[2]), float(r[6]), float(r[10])}, u[3] = {float(r[1]), float(r[5]), float(r[9])};
        const float* m = s.rotation;
        return std::atan2(m[2] * u[0] + m[5] * u[1] + m[8] * u[2], m[2] * b[0] + m[5] * b[1] + m[8] * b[2]);
    }
};

TEST_F(CameraViews, RiderEyeSitsOnTheBodyAndPassesTheViewer)
{
    dBodySetPosition(body, 10, 3, -4);
    dBodySetLinearVel(body, 1, 2, 3);
    render_first_person(body, 7);
    camera_settings.first_person_height = 1;
    render_first_person(body, 7);
    ASSERT_EQ(shots.size(), 2u);
    EXPECT_NEAR(shots[0].position[1], 3.5f, 1e-5f);
    EXPECT_NEAR(shots[0].position[2], -4.4f, 1e-5f);
    EXPECT_NEAR(shots[1].position[1], 3 + 1.058383f, 1e-5f);
    EXPECT_NEAR(shots[1].position[2], -4 - 1.19336953f, 1e-5f);
    for (const Shot& s : shots) {
        EXPECT_EQ(s.slot, 7);
        EXPECT_FLOAT_EQ(s.fov, 110);
        EXPECT_FLOAT_EQ(s.listener[2], 3);
        for (int i = 0; i < 9; ++i)
            EXPECT_FLOAT_EQ(s.rotation[i], i % 4 == 0 ? 1 : 0);
    }
    // A positive view angle tilts the view down: the backward axis turns up.
    camera_settings.first_person_angle = 10;
    render_first_person(body, 7);
    EXPECT_NEAR(shots.back().rotation[5], std::sin(10 * kPi / 180), 1e-5f);
}

TEST_F(CameraViews, GimbalLagShrinksOnRaceTimeAndKeepsItsSign)
{
    camera_settings.first_person_gimbal = 100;
    render_first_person(body, 0);     // the lag's axis starts on the body
    current_tick = 1;
    render_first_person(body, 0);
    pitch(0.3f);
    current_tick = 2;
    render_first_person(body, 0);
    float previous = lag(shots.back());
    EXPECT_GT(previous, 0.2f);
    for (int frame = 0; frame < 20; ++frame) {
        current_tick += 2;       // 64 frames a second
        render_first_person(body, 0);
        const float now = lag(shots.back());
        EXPECT_NEAR(now, previous * (1 - 5.0f / 64), 1e-4f);
        previous = now;
    }
    // A paused race holds the lag.
    render_first_person(body, 0);
    EXPECT_NEAR(lag(shots.back()), previous, 1e-5f);

    // Near 1 the lag is gone within a frame and never crosses over.
    camera_settings.first_person_gimbal = 1;
    pitch(-0.5f);
    current_tick += 2;
    render_first_person(body, 0);
    EXPECT_NEAR(lag(shots.back()), 0, 1e-5f);

    // A turn of 60 degrees lags by at most 45.
    camera_settings.first_person_gimbal = 100;
    pitch(-0.5f + 60 * kPi / 180);
    render_first_person(body, 0);
    EXPECT_LE(std::fabs(lag(shots.back())), kPi / 4 + 1e-5f);

    camera_settings.first_person_gimbal = 0;
    render_first_person(body, 0);
    EXPECT_NEAR(lag(shots.back()), 0, 1e-6f);
}

TEST_F(CameraViews, OrientationTraceIsOneLinePerFrame)
{
    command_line_options.print_orientation = true;
    testing::internal::CaptureStdout();
    render_first_person(body, 0);
    render_first_person(body, 0);
    const std::string out = testing::internal::GetCapturedStdout();
    command_line_options.print_orientation = false;
    EXPECT_EQ(out, "t=0.000000 p0=0.000000 p1=0.500000 p2=-0.400000 x0=1.000000 x1=0.000000 x2=0.000000 "
                   "z0=0.000000 z1=0.000000 z2=1.000000\n"
                   "t=0.000000 p0=0.000000 p1=0.500000 p2=-0.400000 x0=1.000000 x1=0.000000 x2=0.000000 "
                   "z0=0.000000 z1=0.000000 z2=1.000000\n");
}

struct Chase : CameraViews {
    rider_slot rider{};
    void SetUp() override
    {
        CameraViews::SetUp();
        rider.bodies[body_frame] = body;
    }
    const float* eye() const { return shots.back().position; }
};

const float kCentre[3] = {0, 0, 0};

TEST_F(Chase, SitsBehindTheHeadingOrTheTravel)
{
    dBodySetPosition(body, 0, 3, 0);
    render_chase(&rider, true, chase_orbit{0, 10, 5}, kCentre);
    EXPECT_NEAR(eye()[0], 0, 1e-5f);
    EXPECT_NEAR(eye()[1], 8, 1e-5f);
    EXPECT_NEAR(eye()[2], 10, 1e-5f);
    EXPECT_EQ(shots.back().slot, -1);

    dBodySetLinearVel(body, 30, 0, 0);
    render_chase(&rider, true, chase_orbit{0, 10, 5}, kCentre);
    EXPECT_NEAR(eye()[0], -10, 1e-4f);
    EXPECT_NEAR(eye()[2], 0, 1e-4f);
    EXPECT_FLOAT_EQ(listener_velocity[0], 30);   // set after the draw
    EXPECT_FLOAT_EQ(shots.back().listener[0], 0);

    camera_settings.rigid_camera = 1;
    render_chase(&rider, true, chase_orbit{0, 10, 5}, kCentre);
    EXPECT_NEAR(eye()[2], 10, 1e-4f);

    // Another rider is watched from the orbit.
    render_chase(&rider, false, chase_orbit{kPi / 2, 20, 2}, kCentre);
    EXPECT_NEAR(eye()[0], 20, 1e-4f);
    EXPECT_NEAR(eye()[1], 5, 1e-4f);   // at least 5 ft above the ground

    // The rotation looks at the pivot.
    const float* r = shots.back().rotation;
    EXPECT_NEAR(r[2], 20 / std::hypot(20.0f, 5.0f - 3), 1e-4f);
}

TEST_F(Chase, AboveTheGroundAndKeepsTheLastHeadingPointingUp)
{
    for (int i = 0; i < track_terrain.size * track_terrain.size; ++i)
        track_terrain.heights[i] = 20;
    dBodySetPosition(body, 4, 3, 4);
    render_chase(&rider, true, chase_orbit{0, 10, 5}, kCentre);
    EXPECT_GE(eye()[1], terrain_height_smoothed(&track_terrain, eye()[0], eye()[2]) + 5 - 1e-4f);

    const float before[3] = {eye()[0], eye()[1], eye()[2]};
    pitch(kPi / 2);    // the bike's nose straight up
    dBodySetLinearVel(body, 0, 0, 0);
    render_chase(&rider, true, chase_orbit{0, 10, 5}, kCentre);
    for (int k = 0; k < 3; ++k) {
        EXPECT_TRUE(std::isfinite(eye()[k]));
        EXPECT_NEAR(eye()[k], before[k], 1e-3f);
    }
    for (float v : shots.back().rotation)
        EXPECT_TRUE(std::isfinite(v));
}

}  // namespace
