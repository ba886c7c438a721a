// The trackside view's pure rules: steering a camera onto a rider, the key camera's
// flight between keys, the quaternion rows, the free camera and the digit keys.
#include "race/game_settings.h"
#include "race/program/world_view.h"
#include "sim/race_clock.h"
#include "terrain/timing_gates.h"
#include "view/camera_views.h"
#include "view/trackside_view.h"
#include "captured_views.h"
#include "view_fixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

constexpr float kPi = 3.14159265358979f;
constexpr float kDt = 1.0f / 128;

struct Trackside : ViewTables {
    render_world_fn saved = nullptr;
    void SetUp() override
    {
        ViewTables::SetUp();
        saved = render_world_entry;
        render_world_entry = capture;
        shots.clear();
        current_tick = 0;
        camera_auto_switch = 1;
        camera_key_playback = 0;
        array_free(&camera_keys);
        array_init(&camera_keys, sizeof(camera_key));
        selected_camera = -1;
        free_camera = {0, 0, 0, 0, 0, 0, 0, 90, 0};
        free_camera_speed = 0;
    }
    void TearDown() override
    {
        render_world_entry = saved;
        array_free(&camera_keys);
        camera_key_playback = 0;
        camera_auto_switch = 0;
        selected_camera = -1;
        current_tick = 0;
        ViewTables::TearDown();
    }
    static void key(float x, float y, float z, float yaw, float pitch, float fov, int32_t tick)
    {
        camera_key k{x, y, z, {}, fov, tick};
        // The quaternion the console's "addkey" stores for a yaw and a pitch.
        k.q[0] = std::cos(yaw / 2) * std::sin(pitch / 2);
        k.q[1] = std::sin(yaw / 2) * std::cos(pitch / 2);
        k.q[2] = -std::sin(yaw / 2) * std::sin(pitch / 2);
        k.q[3] = std::cos(yaw / 2) * std::cos(pitch / 2);
        array_push(&camera_keys, &k);
    }
};

const float kZero[3] = {0, 0, 0};

TEST_F(Trackside, ANewTargetSnapsThenTurnsWithBoundedAcceleration)
{
    trackside_camera c = {0, 0, 0, 1, 0.3f, 0, 0, 90, 0};
    const float target[3] = {30, 5, 40}, velocity[3] = {10, 0, -5};
    camera_track(&c, 0, 0, target, velocity, 1);
    EXPECT_NEAR(c.yaw, std::atan2(30.0f, 40.0f) + c.yaw_rate * kDt, 1e-5f);
    const float snapped_rate = c.yaw_rate;
    EXPECT_GT(snapped_rate, 0);

    // The target darts sideways: the rate changes by at most pi/128 a tick.
    float target2[3] = {-60, 5, 40};
    const float dart[3] = {-400, 0, 0};
    float rate = c.yaw_rate;
    for (int t = 0; t < 200; ++t) {
        camera_track(&c, 0, 0, target2, dart, 0);
        EXPECT_LE(std::fabs(c.yaw_rate - rate), kPi / 128 + 1e-6f);
        EXPECT_LE(std::fabs(c.yaw), kPi);
        EXPECT_LE(std::fabs(c.pitch), kPi / 2);
        rate = c.yaw_rate;
        target2[0] += dart[0] * kDt;
    }
}

TEST_F(Trackside, PitchStaysWithinAQuarterTurnAndYawWraps)
{
    trackside_camera c = {0, 0, 0, 3.1f, 1.5f, 0, 0, 90, 0};
    camera_auto_switch = 0;
    for (int t = 0; t < 400; ++t)
        camera_track(&c, -1, 1, kZero, kZero, 0);
    EXPECT_LE(c.pitch, kPi / 2);
    EXPECT_GE(c.yaw, -kPi);
    EXPECT_LE(c.yaw, kPi);
    // Without the auto-switch the controls ask for 3 pi / 8 and pi / 4.
    EXPECT_NEAR(c.yaw_rate, -1.1780972f, 1e-5f);
    EXPECT_NEAR(c.pitch_rate, 0.7853982f, 1e-5f);
}

TEST_F(Trackside, AutomaticZoomApproachesWithoutOvershoot)
{
    trackside_camera c = {0, 0, 0, 0, 0, 0, 0, 90, 10};
    const float target[3] = {0, 0, 50};
    const float aim = 2 * std::atan2(10.0f, 50.0f) * 180 / kPi;
    float fov = c.fov;
    for (int t = 0; t < 2000; ++t) {
        camera_track(&c, 0, 0, target, kZero, 0);
        const float step = (2 * std::fabs(aim - fov) + 1) * kDt;
        EXPECT_NEAR(c.fov, std::max(fov - step, aim), 1e-3f);
        EXPECT_GE(c.fov, aim - 1e-4f);
        fov = c.fov;
    }
    EXPECT_NEAR(c.fov, aim, 1e-4f);
}

TEST_F(Trackside, AddkeyQuaternionGivesTheYawPitchRows)
{
    for (float yaw : {0.0f, 0.7f, -2.5f, 3.0f})
        for (float pitch : {0.0f, 0.4f, -1.2f}) {
            key(0, 0, 0, yaw, pitch, 90, 0);
            const camera_key* k = static_cast<const camera_key*>(camera_keys.items) + camera_keys.count - 1;
            float q[9], r[9];
            quaternion_rotation(k->q, q);
            yaw_pitch_rotation(yaw, pitch, r);
            for (int i = 0; i < 9; ++i)
                EXPECT_NEAR(q[i], r[i], 1e-6f) << yaw << " " << pitch << " " << i;
        }
    const float zero[4] = {0, 0, 0, 0};
    // A zero quaternion (a damaged key) reads as the unit one: yaw and pitch 0.
    float r[9], level[9];
    quaternion_rotation(zero, r);
    yaw_pitch_rotation(0, 0, level);
    for (int i = 0; i < 9; ++i)
        EXPECT_FLOAT_EQ(r[i], level[i]);
}

TEST_F(Trackside, KeyPlaybackHoldsEndsAndPassesThroughKeys)
{
    camera_key_playback = 1;
    key(0, 10, 0, 0, 0, 60, 100);
    float p[3], q[4], fov;
    for (int32_t t : {0, 100, 500}) {
        current_tick = t;
        ASSERT_TRUE(key_camera_view(p, q, &fov));
        EXPECT_FLOAT_EQ(p[1], 10);
    }
    key(10, 10, 0, 1, 0.2f, 80, 200);
    key(20, 30, 5, -1, 0, 40, 300);
    key(30, 30, 5, -1, 0, 40, 300);     // same tick as its neighbour
    key(40, 50, 5, 2, -0.3f, 40, 250);  // out of tick order
    const auto* keys = static_cast<const camera_key*>(camera_keys.items);
    for (int i = 0; i < 2; ++i) {
        current_tick = keys[i].tick;
        ASSERT_TRUE(key_camera_view(p, q, &fov));
        EXPECT_NEAR(p[0], keys[i].x, 1e-6f);
        EXPECT_NEAR(p[1], keys[i].y, 1e-6f);
        float dot = 0;
        for (int j = 0; j < 4; ++j)
            dot += q[j] * keys[i].q[j];
        EXPECT_NEAR(std::fabs(dot), 1, 1e-6f);
    }
    current_tick = 150;
    ASSERT_TRUE(key_camera_view(p, q, &fov));
    EXPECT_NEAR(fov, 70, 1e-4f);   // linear between 60 and 80
    for (int32_t t = 90; t < 320; ++t) {
        current_tick = t;
        ASSERT_TRUE(key_camera_view(p, q, &fov));
        for (float v : {p[0], p[1], p[2], q[0], q[1], q[2], q[3], fov})
            EXPECT_TRUE(std::isfinite(v)) << t;
    }
    // A key stored with its quaternion negated gives the same view.
    current_tick = 170;
    float p1[3], q1[4], f1;
    ASSERT_TRUE(key_camera_view(p1, q1, &f1));
    auto* editable = static_cast<camera_key*>(camera_keys.items);
    for (float& c : editable[1].q)
        c = -c;
    ASSERT_TRUE(key_camera_view(p, q, &fov));
    float r0[9], r1[9];
    quaternion_rotation(q, r0), quaternion_rotation(q1, r1);
    for (int i = 0; i < 9; ++i)
        EXPECT_NEAR(r0[i], r1[i], 1e-5f);
}

TEST_F(Trackside, RepeatedTicksGiveZeroTangents)
{
    camera_key_playback = 1;
    key(0, 0, 0, 0, 0, 90, 100);
    key(0, 0, 0, 0, 0, 90, 100);
    key(10, 0, 0, 0, 0, 90, 200);
    key(20, 0, 0, 0, 0, 90, 200);
    // Between keys 1 and 2 both neighbouring intervals are 0: a plain smoothstep.
    float p[3], q[4], fov;
    current_tick = 125;
    ASSERT_TRUE(key_camera_view(p, q, &fov));
    EXPECT_NEAR(p[0], 10 * (3 * 0.0625f - 2 * 0.015625f), 1e-5f);
}

TEST_F(Trackside, FieldsOfViewReachTheRendererClamped)
{
    camera_key_playback = 1;
    key(0, 0, 0, 0, 0, 0, 0);
    render_trackside_camera();
    camera_key_playback = 0;
    trackside_camera cams[2] = {{0, 0, 0, 0, 0, 0, 0, 0, 0}, {5, 5, 5, 0, 0, 0, 0, 90, 3}};
    trackside_cameras_free();
    array_init(&trackside_cameras, sizeof(trackside_camera));
    array_push(&trackside_cameras, &cams[0]);
    array_push(&trackside_cameras, &cams[1]);
    selected_camera = 0;
    render_trackside_camera();
    // A target at the camera's own position: the zoom asks for 180 degrees.
    const float at[3] = {5, 5, 5};
    camera_track(static_cast<trackside_camera*>(trackside_cameras.items) + 1, 0, 0, at, kZero, 1);
    selected_camera = 1;
    render_trackside_camera();
    ASSERT_EQ(shots.size(), 3u);
    for (const Shot& s : shots) {
        EXPECT_GE(s.fov, 1);
        EXPECT_LE(s.fov, 179);
        EXPECT_EQ(s.slot, -1);
    }
    EXPECT_FLOAT_EQ(static_cast<trackside_camera*>(trackside_cameras.items)[0].fov, 0);   // stored as read
    trackside_cameras_free();
}

TEST_F(Trackside, FreeCameraFliesAlongItsAimAboveTheGround)
{
    camera_auto_switch = 0;
    game_settings.fov = 75;
    free_camera.yaw = 0.5f, free_camera.pitch = -0.2f, free_camera.y = 20;
    const trackside_controls forward{0, 0, 1, 0};
    float speed = 0;
    for (int t = 0; t < 400; ++t) {
        const float before[3] = {free_camera.x, free_camera.y, free_camera.z};
        trackside_tick(0, kZero, kZero, forward);
        speed = std::max(std::min(speed + 80 * kDt, 100.0f) - 60 * kDt, 0.0f);
        EXPECT_NEAR(free_camera_speed, speed, 1e-3f);
        const float moved[3] = {free_camera.x - before[0], free_camera.y - before[1], free_camera.z - before[2]};
        if (free_camera.y > 2.001f) {
            EXPECT_NEAR(moved[0], speed * kDt * std::sin(0.5f) * std::cos(-0.2f), 1e-3f);
            EXPECT_NEAR(moved[2], speed * kDt * std::cos(0.5f) * std::cos(-0.2f), 1e-3f);
        }
        EXPECT_GE(free_camera.y, 2 - 1e-4f);
    }
    EXPECT_FLOAT_EQ(free_camera.fov, 75);
    // Let go: the speed decays by 60/128 a tick.
    const float s0 = free_camera_speed;
    trackside_tick(0, kZero, kZero, trackside_controls{});
    EXPECT_NEAR(free_camera_speed, s0 - 60 * kDt, 1e-4f);
    game_settings.fov = 110;
}

TEST_F(Trackside, DigitKeysPickCamerasAndZeroIsFree)
{
    trackside_cameras_free();
    array_init(&trackside_cameras, sizeof(trackside_camera));
    const trackside_camera c = {0, 0, 0, 0, 0, 0, 0, 90, 0};
    for (int i = 0; i < 3; ++i)
        array_push(&trackside_cameras, &c);
    const int expected[10] = {-1, 0, 1, 2, 2, 2, 2, 2, 2, 2};
    for (int n = 0; n < 10; ++n) {
        trackside_select_digit(n);
        EXPECT_EQ(selected_camera, expected[n]);
    }
    trackside_cameras_free();
}

// The automatic cut along a lap: lap entries 0 1 2 3 4 0 then 1 2 3 4 0; gates 0..3
// have cameras 0..3, gate 4 none, gate 9 a camera past the table.
TEST_F(Trackside, CutsFollowTheLapSequenceAndStayAtAGateWithoutACamera)
{
    const timing_gates_state saved_gates = timing_gates;
    const int32_t lap[] = {0, 1, 2, 3, 4, 0, 1, 2, 3, 4, 0};
    std::copy(std::begin(lap), std::end(lap), timing_gates.lap_entries);
    timing_gates.firstlap_length = 6;
    timing_gates.normallap_length = 5;
    trackside_cameras_free();
    array_init(&trackside_cameras, sizeof(trackside_camera));
    const trackside_camera c = {0, 10, 0, 0, 0, 0, 0, 90, 0};
    for (int32_t& g : gate_camera_table)
        g = -1;
    for (int i = 0; i < 4; ++i) {
        array_push(&trackside_cameras, &c);
        gate_camera_table[i] = i;
    }
    const float target[3] = {50, 0, 50};
    trackside_select_digit(1);
    std::vector<int32_t> seen;
    for (int32_t g = 0; g < 16; ++g) {
        trackside_tick(g, target, kZero, trackside_controls{});
        if (seen.empty() || seen.back() != selected_camera)
            seen.push_back(selected_camera);
        const int32_t entry = g < 6 ? lap[g] : lap[6 + (g - 6) % 5];
        if (gate_camera_table[entry] >= 0) {
            EXPECT_EQ(selected_camera, gate_camera_table[entry]) << g;
        }
    }
    EXPECT_EQ(seen, (std::vector<int32_t>{0, 1, 2, 3, 0, 1, 2, 3, 0, 1, 2, 3, 0}));

    // The free camera never cuts by itself; with the auto-switch off nothing cuts.
    trackside_select_digit(0);
    trackside_tick(2, target, kZero, trackside_controls{});
    EXPECT_EQ(selected_camera, -1);
    trackside_select_digit(1);
    camera_auto_switch = 0;
    trackside_tick(2, target, kZero, trackside_controls{});
    EXPECT_EQ(selected_camera, 0);

    // A gate mapped past the table cuts to the free camera's picture.
    camera_auto_switch = 1;
    gate_camera_table[2] = 4;
    trackside_tick(2, target, kZero, trackside_controls{});
    EXPECT_EQ(selected_camera, 4);
    render_trackside_camera();
    EXPECT_FLOAT_EQ(shots.back().position[1], free_camera.y);
    trackside_cameras_free();
    timing_gates = saved_gates;
}

}  // namespace
