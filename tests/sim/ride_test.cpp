// A bike ridden headless on ground made in memory: standing, accelerating through
// the gears, braking, holding on a slope, steering, backing up, and thrown off by a
// crash until its rider has lain still long enough.
#include "ride_fixture.h"

#include "sim/race_clock.h"
#include "sim/rider_access.h"

#include "terrain/timing_gates.h"

#include <cmath>
#include <numbers>

using namespace simtest;

namespace {

constexpr float kPi = std::numbers::pi_v<float>;
constexpr float kRollAxis[3] = {0, 0, 1};

float frame_speed(const rider_slot* r)
{
    return speed_of(r->bodies[body_frame]);
}

const dReal* frame_at(const rider_slot* r)
{
    return dBodyGetPosition(r->bodies[body_frame]);
}

void full_throttle(rider_slot* r, int32_t)
{
    rider_set_clutch(r, 1);
    rider_set_throttle(r, 1);
}

class FlatRide : public BikeTest {
protected:
    FlatRide() { ride_start(); }
    GroundTrack ground{7, 4.0f, [](float, float) { return 0.0f; }};
};

// 1 in 5: the ground rises toward -z, the way the bike faces.
class SlopeRide : public BikeTest {
protected:
    SlopeRide() { ride_start(); }
    GroundTrack ground{7, 4.0f, [](float, float z) { return -0.2f * z; }};
};

TEST_F(FlatRide, AStandingBikeWithTheAutomaticDabStaysUpAndSettles)
{
    rider_slot* r = create();
    place_bike(r, 512, 512, 0.05f);
    bike_set_auto_dab(r, 1);
    ride(r, 5 * 128);
    ASSERT_TRUE(bodies_finite(r));
    EXPECT_LT(frame_speed(r), 0.1f);
    EXPECT_LT(std::fabs(lean_of(r)), 0.01f);
    EXPECT_EQ(r->crash_counter, 0);
    EXPECT_GT(r->dab_state, 0.9f);
    // Both feet are down beside the bike.
    float left[3], right[3], lw, rw;
    EXPECT_EQ(rider_foot_targets(r, left, &lw, right, &rw), 0);
    EXPECT_GT(lw, 0.9f);
    EXPECT_GT(rw, 0.9f);
    EXPECT_LT(left[1], 0.3f);
    EXPECT_LT(left[0], frame_at(r)[0] - 0.2);
    EXPECT_GT(right[0], frame_at(r)[0] + 0.2);
    // The suspension has settled into its sag, standing still.
    float position, speed, ratio;
    EXPECT_GT(bike_fork_telemetry(r, &position, &speed, &ratio), 0);
    EXPECT_GT(position, 0.02f);
    EXPECT_LT(position, 0.6f);
    EXPECT_LT(std::fabs(speed), 0.05f);
    bike_shock_telemetry(r, &position, &speed, &ratio);
    EXPECT_GT(position, 0.02f);
    EXPECT_LT(position, 0.6f);
}

// Springs and dampers set to nothing make contacts of no softness: they are left out
// rather than handed to the world with an infinite give.
TEST_F(FlatRide, ARiderWithoutSpringsOrDampersStaysFinite)
{
    rider_slot* r = create();
    place_bike(r, 512, 512, 0.05f);
    rider_set_springs(r, 0, 0);
    rider_set_dampers(r, 0, 0);
    bike_set_auto_dab(r, 1);
    ride(r, 2 * 128, [](rider_slot* b, int32_t) { rider_set_lean(b, 1); });
    EXPECT_TRUE(bodies_finite(r));
}

// Standing on its tail the bike's forward axis is vertical: no roll can be read.
TEST_F(FlatRide, ABikeStandingOnItsTailHasNoLean)
{
    dBodyID body = dBodyCreate(physics_world);
    dMatrix3 R;
    dRFromAxisAndAngle(R, 1, 0, 0, kPi / 2);
    dBodySetRotation(body, R);
    EXPECT_EQ(bike_lean_angle(body), 0.0f);
    dRFromAxisAndAngle(R, 0, 0, 1, 0.25f);
    dBodySetRotation(body, R);
    EXPECT_NEAR(bike_lean_angle(body), 0.25f, 1e-6);   // turned toward -x: a positive lean
    dBodyDestroy(body);
}

TEST_F(FlatRide, ASlowLeanedBikeIsPushedUprightByTheDab)
{
    for (int dab = 0; dab < 2; ++dab) {
        rider_slot* r = create("cr125", dab);
        place_bike(r, 512.0f + 20 * dab, 512, 0.05f, kRollAxis, 0.3f);
        bike_set_auto_dab(r, dab);
        ride(r, 2 * 128);
        if (dab)
            EXPECT_LT(std::fabs(lean_of(r)), 0.05f);
        else
            EXPECT_GT(std::fabs(lean_of(r)), 0.4f) << "without a dab the bike falls";
        bike_destroy(r);
    }
}

TEST_F(FlatRide, FullThrottleAcceleratesThroughTheGearsAndTheBrakesStopIt)
{
    rider_slot* r = create();
    place_bike(r, 512, 1000, 0.05f);
    bike_set_auto_shift(r, 1);
    int top_gear = 0;
    ride(r, 5 * 128, [&](rider_slot* b, int32_t t) {
        full_throttle(b, t);
        top_gear = std::max(top_gear, b->gear);
    });
    const float rpm_limit = bike_info_rpm_limit(r);
    EXPECT_GT(frame_speed(r), 60.0f);
    EXPECT_LT(frame_at(r)[2], 1000 - 150);
    EXPECT_NEAR(frame_at(r)[0], 512, 0.5);
    EXPECT_GE(top_gear, 3);
    EXPECT_LT(bike_engine_rpm(r), rpm_limit);
    EXPECT_EQ(r->crash_counter, 0);

    ride(r, 4 * 128, [](rider_slot* b, int32_t) {
        rider_set_throttle(b, 0);
        rider_set_front_brake(b, 1);
        rider_set_rear_brake(b, 1);
    });
    EXPECT_LT(frame_speed(r), 1.0f);
    EXPECT_LT(std::fabs(lean_of(r)), 0.05f);
    EXPECT_TRUE(bodies_finite(r));
}

TEST_F(SlopeRide, TheAutomaticDabHoldsTheBikeOnASlope)
{
    rider_slot* r = create();
    place_bike(r, 512, 512, 0.05f);
    bike_set_auto_dab(r, 1);
    ride(r, 128);
    const double z = frame_at(r)[2];
    ride(r, 4 * 128);
    EXPECT_NEAR(frame_at(r)[2], z, 0.05);
    EXPECT_LT(frame_speed(r), 0.1f);
}

TEST_F(FlatRide, TheBikeTurnsTheWayItIsSteered)
{
    for (int side : {-1, 1}) {
        rider_slot* r = create("cr125", side < 0 ? 0 : 1);
        place_bike(r, 400.0f + 200 * (side > 0), 1000, 0.05f);
        bike_set_auto_shift(r, 1);
        ride(r, 3 * 128, full_throttle);
        ride(r, 96, [side](rider_slot* b, int32_t) {
            rider_set_throttle(b, 0.3f);
            rider_set_steering(b, 0.3f * side);
        });
        // Positive steering leans the bike to its right (+x) and turns it there.
        EXPECT_GT(dBodyGetLinearVel(r->bodies[body_frame])[0] * side, 1.0);
        EXPECT_LT(lean_of(r) * side, -0.05f);
        bike_destroy(r);
    }
}

TEST_F(FlatRide, BackingUpPushesInPulsesOfOneSecond)
{
    rider_slot* r = create();
    place_bike(r, 512, 512, 0.05f);
    ride(r, 64);
    const double z = frame_at(r)[2];
    float lowest[3] = {1e9f, 1e9f, 1e9f}, highest[3] = {0, 0, 0};
    ride(r, 3 * 128, [&](rider_slot* b, int32_t t) {
        rider_set_back_up(b, 1);
        const int second = t / 128 - 1;
        if (second >= 0 && second < 3) {
            lowest[second] = std::min(lowest[second], frame_speed(b));
            highest[second] = std::max(highest[second], frame_speed(b));
        }
    });
    EXPECT_GT(frame_at(r)[2] - z, 3.0) << "pushed backwards";
    for (int s = 1; s < 3; ++s) {
        EXPECT_LT(lowest[s], 0.5f) << "second " << s;
        EXPECT_GT(highest[s], 3.0f) << "second " << s;
    }
}

// Twenty feet up on its back: the rider lands first and is thrown; it climbs back on
// after 512 ticks of lying (nearly) still.
TEST_F(FlatRide, AnUpsideDownDropThrowsTheRiderUntilItHasLainStill)
{
    rider_slot* r = create();
    place_bike(r, 512, 512, 20, kRollAxis, kPi);
    int highest = 0, still_ticks = 0;
    for (int t = 0; t < 30 * 128 && !(r->crash_count && !r->crash_counter); ++t) {
        const int before = r->crash_counter;
        ride_tick(r);
        highest = std::max(highest, r->crash_counter);
        still_ticks += before > 0 && r->crash_counter == before - 1;
    }
    EXPECT_EQ(r->crash_count, 1);
    EXPECT_EQ(highest, 512);
    EXPECT_EQ(still_ticks, 512);
    EXPECT_EQ(r->crash_counter, 0);
    EXPECT_EQ(dJointGetBody(r->joints[joint_rider], 0), r->bodies[body_rider]);
    EXPECT_TRUE(bodies_finite(r));
}

TEST_F(FlatRide, KnockoutTicksLengthenACrashByItsNumber)
{
    rider_slot* r = create();
    place_bike(r, 512, 512, 0.05f);
    knockout_table[0] = 100;
    knockout_table[15] = 7;
    rider_detach(r);
    EXPECT_EQ(r->crash_counter, 612);
    EXPECT_EQ(r->crash_count, 1);
    EXPECT_EQ(dJointGetBody(r->joints[joint_rider], 0), nullptr);
    r->crash_count = 40;
    rider_detach(r);
    EXPECT_EQ(r->crash_counter, 519);
    knockout_table[0] = knockout_table[15] = 0;
}

// The speed and acceleration rules on a standing bike: the rider body is given a
// velocity against the frame (and a history four ticks back) just before the step.
TEST_F(FlatRide, CrashRulesByFlightStateArcadeAndKnock)
{
    struct Case {
        const char* what;
        int arcade;
        float knock;
        int flight;       // ticks in the air that ended this tick; -1 = still in the air
        float speed;      // rider against the frame, ft/s
        float was_y;      // rider's y velocity four ticks ago
        bool thrown;
    } cases[] = {
        {"riding along, below the limit", 0, 0, 0, 45, 0, false},
        {"riding along, above it", 0, 0, 0, 48, 0, true},
        {"just landed from a long flight", 0, 0, 128, 35, 0, true},
        {"still in the air", 0, 0, -1, 45, 0, false},
        {"a hard stop", 0, 0, 0, 0, -70, true},
        {"a firm stop", 0, 0, 0, 0, -60, false},
        {"arcade, fast", 1, 0, 0, 80, 0, false},
        {"arcade, hard stop", 1, 0, 0, 0, -200, false},
        {"knocked", 0, -20, 0, 80, -200, false},
    };
    rider_slot* r = create();
    for (const Case& c : cases) {
        place_bike(r, 512, 512, 0.05f);
        bike_set_arcade(r, c.arcade);
        ride(r, 64);
        r->knock_timer = c.knock;
        if (c.flight < 0) {
            r->landed_tick = current_tick - 200;
            r->airborne_tick = current_tick - 10;
            r->front_contact.depth = r->rear_contact.depth = 0;
        } else {
            r->airborne_tick = current_tick - c.flight;
            r->landed_tick = current_tick;
        }
        dBodySetLinearVel(r->bodies[body_rider], 0, 0, -c.speed);
        for (float* v : r->velocity_history) {
            v[0] = v[1] = 0;
            v[1] = c.was_y;
            v[2] = -c.speed;
        }
        const int before = r->crash_count;
        bike_step(r);
        EXPECT_EQ(r->crash_count - before, c.thrown ? 1 : 0) << c.what;
    }
}

// A slow bike lying over on a timed track turns toward the next timing gate.
TEST_F(FlatRide, AFallenBikeIsTurnedTowardTheNextGate)
{
    timing_gates = {};
    timing_gates.checkpoint_count = 2;
    timing_gates.checkpoints[1] = {700, 0, 512, 1, 0, 0, 20, 0};
    timing_gates.lap_entries[0] = 0;
    timing_gates.lap_entries[1] = 1;
    timing_gates.firstlap_length = 2;
    timing_gates.lap_entries[2] = 0;
    timing_gates.lap_entries[3] = 1;
    timing_gates.normallap_length = 2;
    for (int align = 0; align < 2; ++align) {
        rider_slot* r = create();
        place_bike(r, 512, 512, 0.05f, kRollAxis, 0.6f);
        bike_set_auto_dab(r, 1);
        bike_set_auto_align(r, align);
        r->timing_position = 1;
        ride(r, 2 * 128);
        // The bike faced -z; the gate lies off to its right (+x).
        const double heading_x = -dBodyGetRotation(r->bodies[body_frame])[2];
        if (align)
            EXPECT_GT(heading_x, 0.95);
        else
            EXPECT_LT(std::fabs(heading_x), 0.2);
        bike_destroy(r);
    }
    timing_gates = {};
}


void set_contact(wheel_contact& w, float depth, float speed)
{
    w.depth = depth;
    w.velocity[0] = w.velocity[1] = 0;
    w.velocity[2] = speed;
}

// What the rider options do to the engine and the brakes, read straight after a step
// with the wheel contacts given.
TEST_F(FlatRide, StopWheeliesAndAntilockOptions)
{
    rider_slot* r = create();
    place_bike(r, 512, 512, 0.05f);
    ride(r, 32);
    r->engine_speed = 8000 / 9.549296585513721f;
    rider_set_throttle(r, 1);
    EXPECT_GT(bike_engine_torque(r), 5);
    bike_set_stop_wheelies(r, 3);
    set_contact(r->front_contact, 0, 0);
    set_contact(r->rear_contact, 0.1f, 0);
    EXPECT_LE(bike_engine_torque(r), 0) << "on the rear wheel alone";
    dBodySetAngularVel(r->bodies[body_frame], -0.1, 0, 0);
    EXPECT_GT(bike_engine_torque(r), 5) << "pitching forward already";
    dBodySetAngularVel(r->bodies[body_frame], 0, 0, 0);

    struct Case {
        const char* what;
        int stop_wheelies, front_antilock, rear_antilock;
        float front_depth, front_speed, rear_depth, rear_speed;
        float front_fmax, rear_fmax;
    } cases[] = {
        {"plain brakes", 0, 0, 0, 0.1f, 10, 0.1f, 10, 250, 250},
        {"antilock, sliding", 0, 1, 1, 0.1f, 3, 0.1f, 3, 0, 0},
        {"antilock, gripping", 0, 1, 1, 0.1f, 1, 0.1f, 1, 250, 250},
        {"antilock, in the air", 0, 1, 1, 0, 3, 0, 3, 250, 250},
        {"front release on the front wheel alone", 2, 0, 0, 0.1f, 0, 0, 0, 0, 250},
        {"front release with both down", 2, 0, 0, 0.1f, 0, 0.1f, 0, 250, 250},
    };
    for (const Case& c : cases) {
        bike_set_stop_wheelies(r, c.stop_wheelies);
        bike_set_front_brake_option(r, c.front_antilock);
        bike_set_rear_brake_option(r, c.rear_antilock);
        rider_set_front_brake(r, 1);
        rider_set_rear_brake(r, 1);
        set_contact(r->front_contact, c.front_depth, c.front_speed);
        set_contact(r->rear_contact, c.rear_depth, c.rear_speed);
        bike_step(r);
        EXPECT_EQ(dJointGetHingeParam(r->joints[joint_front_axle], dParamFMax), c.front_fmax) << c.what;
        EXPECT_EQ(dJointGetHingeParam(r->joints[joint_rear_axle], dParamFMax), c.rear_fmax) << c.what;
    }
}

}  // namespace
