// A bike built on a real physics world with the graphics layer stubbed out.
#include "sim_fixture.h"

#include "sim/bike_info.h"
#include "sim/rider_access.h"

#include "foundation/memory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

using simtest::BikeTest;

constexpr double kQuarter = std::numbers::pi / 4;

double body_mass(dBodyID body)
{
    dMass m;
    dBodyGetMass(body, &m);
    return m.mass;
}

void expect_position(dBodyID body, double x, double y, double z, const char* label)
{
    const dReal* p = dBodyGetPosition(body);
    EXPECT_NEAR(p[0], x, 1e-5) << label;
    EXPECT_NEAR(p[1], y, 1e-5) << label;
    EXPECT_NEAR(p[2], z, 1e-5) << label;
}

// Every joint reads its rest value: hinges 0, slider 0, rider joint 0.
void expect_joints_at_rest(const rider_slot* r)
{
    EXPECT_NEAR(dJointGetHingeAngle(r->joints[joint_front_axle]), 0, 1e-6);
    EXPECT_NEAR(dJointGetHingeAngle(r->joints[joint_rear_axle]), 0, 1e-6);
    EXPECT_NEAR(dJointGetHingeAngle(r->joints[joint_steering]), 0, 1e-6);
    EXPECT_NEAR(dJointGetSliderPosition(r->joints[joint_fork_slider]), 0, 1e-6);
    EXPECT_NEAR(dJointGetHingeAngle(r->joints[joint_swingarm]), 0, 1e-6);
    EXPECT_NEAR(dJointGetHinge2Angle1(r->joints[joint_rider]), 0, 1e-6);
}

TEST_F(BikeTest, TotalMassIsTheSumOfTheSevenBodies)
{
    rider_slot* r = create();
    ASSERT_NE(r, nullptr);
    const double expected = 3.65375 + 4.6875 + 0.5625 + 0.78125 + 2 * 0.739688 + 2 * 0.541875;
    EXPECT_NEAR(r->total_mass, expected, 1e-5);
    EXPECT_NEAR(body_mass(r->bodies[body_frame]), 3.65375 + 4.6875 * 2 / 3, 1e-6);
    EXPECT_NEAR(body_mass(r->bodies[body_rider]), 4.6875 / 3, 1e-6);
    EXPECT_NEAR(body_mass(r->bodies[body_front_wheel]), 0.5625, 1e-6);
    EXPECT_NEAR(body_mass(r->bodies[body_rear_wheel]), 0.78125, 1e-6);
    EXPECT_NEAR(body_mass(r->bodies[body_fork_upper]), 0.739688, 1e-6);
    EXPECT_NEAR(body_mass(r->bodies[body_fork_lower]), 0.739688, 1e-6);
    EXPECT_NEAR(body_mass(r->bodies[body_swingarm]), 2 * 0.541875, 1e-6);
    // A wheel spins freely about its axle: its inertia is the same about y and z.
    dMass wheel;
    dBodyGetMass(r->bodies[body_front_wheel], &wheel);
    EXPECT_NEAR(wheel.I[5], wheel.I[10], 1e-9);
    EXPECT_GT(wheel.I[0], wheel.I[5]);
    for (dBodyID body : r->bodies) {
        dMass m;
        dBodyGetMass(body, &m);
        EXPECT_EQ(m.c[0], 0);
        EXPECT_EQ(m.c[1], 0);
        EXPECT_EQ(m.c[2], 0);
    }
}

TEST_F(BikeTest, EveryBikeBuildsAtItsRestPose)
{
    for (int i = 0; i < kBikeCount; ++i) {
        const bike_info& b = bike_infos[static_cast<size_t>(i)];
        rider_slot* r = create(b.name, i % kRiderSlots);
        ASSERT_NE(r, nullptr);
        SCOPED_TRACE(b.name);
        EXPECT_EQ(r->bike_index, i);
        expect_position(r->bodies[body_frame], b.frame_position[0], b.frame_position[1], b.frame_position[2], "frame");
        expect_position(r->bodies[body_front_wheel], 0, 1.09, 1.11, "front wheel");
        expect_position(r->bodies[body_rear_wheel], 0, 1.04, 6.0, "rear wheel");
        expect_position(r->bodies[body_fork_upper], 0, 2.9, 2.16, "fork upper");
        expect_position(r->bodies[body_fork_lower], 0, 1.77, 1.59, "fork lower");
        expect_position(r->bodies[body_swingarm], 0, 1.34, 4.99, "swingarm");
        expect_position(r->bodies[body_rider], 0, 4.5, 4.12, "rider");
        for (dBodyID body : r->bodies) {
            const dReal* q = dBodyGetQuaternion(body);
            EXPECT_DOUBLE_EQ(q[0], 1);
            EXPECT_TRUE(dBodyIsEnabled(body));
        }
        expect_joints_at_rest(r);
        EXPECT_NEAR(r->total_mass, b.frame_mass + b.rider_mass + 0.5625 + 0.78125 + 2 * b.fork_mass +
                                       2 * b.swingarm_side_mass, 1e-4);
        EXPECT_EQ(r->front_contact.body, r->bodies[body_front_wheel]);
        EXPECT_FLOAT_EQ(r->rear_contact.ring_radius, b.rear_ring_radius);
        EXPECT_FLOAT_EQ(r->front_contact.tyre_radius, b.front_tyre_radius);
        EXPECT_EQ(r->front_contact.axle_axis[0], 1);
        for (int body = 0; body < kBikeBodies; ++body)
            ASSERT_NE(r->shapes[body], nullptr) << body;
    }
}

TEST_F(BikeTest, JointsHaveTheirStopsAndFeedback)
{
    rider_slot* r = create();
    const bike_info& b = bike_infos[0];
    EXPECT_NEAR(dJointGetHingeParam(r->joints[joint_steering], dParamLoStop), -kQuarter, 1e-12);
    EXPECT_NEAR(dJointGetHingeParam(r->joints[joint_steering], dParamHiStop), kQuarter, 1e-12);
    EXPECT_NEAR(dJointGetSliderParam(r->joints[joint_fork_slider], dParamLoStop), -b.fork_travel, 1e-7);
    EXPECT_EQ(dJointGetSliderParam(r->joints[joint_fork_slider], dParamHiStop), 0);
    EXPECT_EQ(dJointGetSliderParam(r->joints[joint_fork_slider], dParamBounce), 0);
    EXPECT_NEAR(dJointGetHingeParam(r->joints[joint_swingarm], dParamLoStop), -b.swingarm_travel, 1e-7);
    EXPECT_EQ(dJointGetHingeParam(r->joints[joint_swingarm], dParamHiStop), 0);
    EXPECT_EQ(dJointGetHinge2Param(r->joints[joint_rider], dParamLoStop), 0);
    EXPECT_EQ(dJointGetHinge2Param(r->joints[joint_rider], dParamHiStop), 0);
    dVector3 anchor;
    dJointGetHinge2Anchor(r->joints[joint_rider], anchor);
    EXPECT_NEAR(anchor[1], 4.5, 1e-5);
    EXPECT_NEAR(anchor[2], -50, 1e-5);
    // The steering axis runs up the fork.
    dVector3 axis;
    dJointGetHingeAxis(r->joints[joint_steering], axis);
    EXPECT_NEAR(axis[2] / axis[1], (2.16 - 1.59) / (2.9 - 1.77), 1e-5);

    // Turning the bars past the lock is stopped there.
    dBodyAddTorque(r->bodies[body_fork_upper], 0, 200, 100);
    for (int i = 0; i < 128; ++i) {
        dBodyAddRelTorque(r->bodies[body_fork_upper], 0, 30, 15);
        dWorldStep(physics_world, kTickLength);
        dJointGroupEmpty(contact_group);
    }
    EXPECT_LT(std::fabs(dJointGetHingeAngle(r->joints[joint_steering])), kQuarter + 0.05);
    EXPECT_GE(dJointGetSliderPosition(r->joints[joint_fork_slider]), -b.fork_travel - 0.05);
    EXPECT_LE(dJointGetSliderPosition(r->joints[joint_fork_slider]), 0.05);
}

// In free fall nothing in the bike moves against anything else.
TEST_F(BikeTest, AFallingBikeKeepsItsShape)
{
    rider_slot* r = create();
    for (int i = 0; i < 64; ++i) {
        dWorldStep(physics_world, kTickLength);
        dJointGroupEmpty(contact_group);
    }
    const dReal* frame = dBodyGetPosition(r->bodies[body_frame]);
    // The world's semi-implicit step: after n steps the drop is g h^2 n (n + 1) / 2.
    EXPECT_NEAR(frame[1], 1.98 - 32.0 * kTickLength * kTickLength * 64 * 65 / 2, 1e-4);
    EXPECT_NEAR(frame[0], 0, 1e-9);
    expect_joints_at_rest(r);
}

TEST_F(BikeTest, RotateThenTranslatePlacesTheFrame)
{
    rider_slot* r = create();
    // A quarter turn about y takes bike z to world x: (x, z) -> (z, -x).
    bike_rotate(r, 0, 1, 0, static_cast<float>(std::numbers::pi / 2));
    bike_translate(r, 100, 5, 50);
    expect_position(r->bodies[body_frame], 103.6, 6.98, 50, "frame");
    expect_position(r->bodies[body_rear_wheel], 106.0, 6.04, 50, "rear wheel");
    expect_position(r->bodies[body_rider], 104.12, 9.5, 50, "rider");
    for (dBodyID body : r->bodies) {
        const dReal* R = dBodyGetRotation(body);
        EXPECT_NEAR(R[2], 1, 1e-6);    // row 0, column 2
        EXPECT_NEAR(R[8], -1, 1e-6);   // row 2, column 0
    }
    expect_joints_at_rest(r);
    // A zero axis would abort the physics library: it leaves the bike alone.
    bike_rotate(r, 0, 0, 0, 1);
    expect_position(r->bodies[body_frame], 103.6, 6.98, 50, "frame");
    // Reset brings it home.
    bike_reset(r);
    expect_position(r->bodies[body_frame], 0, 1.98, 3.6, "frame");
}

// The stock shapes sit where the models are: leant over as far as a rider goes, only
// the tyres reach the ground (a fork, swingarm or rider sphere there means a fall).
TEST_F(BikeTest, OnlyTheWheelsReachTheGroundWhenLeaning)
{
    rider_slot* r = create();
    const bike_info& b = bike_infos[0];
    for (double degrees : {0.0, 20.0, 40.0, 55.0}) {
        bike_reset(r);
        const double lean = degrees * std::numbers::pi / 180;
        bike_rotate(r, 0, 0, 1, static_cast<float>(lean));
        // The ground: the lowest point of either tyre torus.
        const double ground = std::min(b.front_axle[1] * std::cos(lean) - b.front_ring_radius * std::cos(lean) -
                                           b.front_tyre_radius,
                                       b.rear_axle[1] * std::cos(lean) - b.rear_ring_radius * std::cos(lean) -
                                           b.rear_tyre_radius);
        for (int body : {body_frame, body_fork_upper, body_fork_lower, body_swingarm, body_rider}) {
            collision_shape* shape = r->shapes[body];
            ASSERT_NE(shape, nullptr);
            float position[3], rotation[9];
            const dReal* p = dBodyGetPosition(r->bodies[body]);
            const dReal* R = dBodyGetRotation(r->bodies[body]);
            for (int i = 0; i < 3; ++i) {
                position[i] = static_cast<float>(p[i]);
                for (int c = 0; c < 3; ++c)
                    rotation[i * 3 + c] = static_cast<float>(R[i * 4 + c]);
            }
            shape_place(shape, position, rotation);
            for (int i = 0; i < shape->sphere_count; ++i) {
                float centre[3], radius;
                shape_get_sphere(shape, i, centre, &radius);
                EXPECT_GT(centre[1] - radius, ground + 0.1) << "body " << body << " sphere " << i << " at "
                                                             << degrees << " degrees";
            }
        }
    }
}

TEST_F(BikeTest, ResetClearsTheRideAndReattachesTheRider)
{
    rider_slot* r = create();
    r->throttle = r->lean = r->dab_state = 0.7f;
    r->gear = 3;
    r->last_shift_request = 1;
    r->engine_speed = 900;
    r->crash_counter = 300;
    r->crash_count = 2;
    r->knock_timer = -700;
    r->timing_position = 5;
    r->finished = 1;
    r->rider_down = 2;
    r->last_contact_tick = 55;
    r->wake_timer = 0.1f;
    r->velocity_history[2][1] = 4;
    r->front_contact.ruts.point_count = 9;
    int32_t tick = 7;
    array_push(&r->gate_times, &tick);
    r->feedback[joint_rider].f1[0] = 3;
    // The rider was thrown off: detached and lying away from the bike.
    dJointAttach(r->joints[joint_rider], nullptr, nullptr);
    dBodySetPosition(r->bodies[body_rider], 10, 0.5, -3);
    bike_translate(r, 4, 0, 0);

    bike_reset(r);
    EXPECT_EQ(r->throttle, 0);
    EXPECT_EQ(r->lean, 0);
    EXPECT_EQ(r->dab_state, 0);
    EXPECT_EQ(r->gear, 0);
    EXPECT_EQ(r->last_shift_request, 0);
    EXPECT_EQ(r->engine_speed, 0);
    EXPECT_EQ(r->crash_counter, 0);
    EXPECT_EQ(r->crash_count, 0);
    EXPECT_EQ(r->knock_timer, 0);
    EXPECT_EQ(r->timing_position, 0);
    EXPECT_EQ(r->gate_times.count, 0);
    EXPECT_EQ(r->finished, 0);
    EXPECT_EQ(r->rider_down, 0);
    EXPECT_EQ(r->last_contact_tick, -1);
    EXPECT_EQ(r->last_contact_refresh_tick, -1);
    EXPECT_EQ(r->land_damping_multiplier, 1);
    EXPECT_EQ(r->wake_timer, 1);
    EXPECT_EQ(r->velocity_history[2][1], 0);
    EXPECT_EQ(r->front_contact.ruts.point_count, 0);
    EXPECT_EQ(r->feedback[joint_rider].f1[0], 0);
    expect_position(r->bodies[body_rider], 0, 4.5, 4.12, "rider");
    EXPECT_EQ(dJointGetBody(r->joints[joint_rider], 0), r->bodies[body_rider]);
    EXPECT_EQ(dJointGetBody(r->joints[joint_rider], 1), r->bodies[body_frame]);
    expect_joints_at_rest(r);
    // The setup survives a reset.
    EXPECT_EQ(r->leveling, 20);
}

TEST_F(BikeTest, TheRiderAttachesWhereverTheFrameIs)
{
    rider_slot* r = create();
    bike_rotate(r, 0, 0, 1, 0.3f);
    bike_translate(r, 20, 3, -7);
    dBodySetPosition(r->bodies[body_rider], 0, 0, 0);
    rider_attach(r);
    dVector3 seat;
    dBodyGetRelPointPos(r->bodies[body_frame], 0, 4.5 - 1.98, 4.12 - 3.6, seat);
    expect_position(r->bodies[body_rider], seat[0], seat[1], seat[2], "rider");
    EXPECT_NEAR(dJointGetHinge2Angle1(r->joints[joint_rider]), 0, 1e-6);
    dVector3 anchor;
    dJointGetHinge2Anchor(r->joints[joint_rider], anchor);
    dVector3 expected;
    dBodyGetRelPointPos(r->bodies[body_frame], 0, 4.5 - 1.98, -50 - 3.6, expected);
    for (int i = 0; i < 3; ++i)
        EXPECT_NEAR(anchor[i], expected[i], 1e-5);
}

TEST_F(BikeTest, WakeTimersEnableAndDisableTheBodies)
{
    rider_slot* r = create();
    auto enabled = [&] {
        int n = 0;
        for (dBodyID body : r->bodies)
            n += dBodyIsEnabled(body) != 0;
        return n;
    };
    struct Case {
        float before;
        float after;
    } const on_contact[] = {{0.1f, 0.25f}, {0.25f, 0.25f}, {0, 1}, {0.5f, 0.5f}, {1, 1}};
    for (const Case& c : on_contact) {
        bike_set_wake_timer(r, c.before);
        bike_wake_on_contact(r);
        EXPECT_FLOAT_EQ(r->wake_timer, c.after) << c.before;
        EXPECT_EQ(bike_is_awake(r), c.after > 0.25f) << c.before;
        EXPECT_EQ(enabled(), c.after > 0.25f ? 7 : 0) << c.before;
    }

    bike_sleep(r);
    EXPECT_EQ(r->wake_timer, 0);
    EXPECT_EQ(enabled(), 0);
    // Forces gathered while asleep do not kick the bike when it wakes.
    dBodyAddForce(r->bodies[body_frame], 1000, 0, 0);
    bike_wake(r);
    EXPECT_EQ(enabled(), 7);
    EXPECT_EQ(dBodyGetForce(r->bodies[body_frame])[0], 0);

    // The timer runs down one tick at a time and the bodies really go to sleep.
    bike_set_wake_timer(r, 0.25f + 1.5f / 128);
    bike_wake_timer_tick(r);
    EXPECT_TRUE(bike_is_awake(r));
    EXPECT_EQ(enabled(), 7);
    bike_wake_timer_tick(r);
    EXPECT_FALSE(bike_is_awake(r));
    EXPECT_EQ(enabled(), 0);
    for (int i = 0; i < 100; ++i)
        bike_wake_timer_tick(r);
    EXPECT_EQ(r->wake_timer, 0);

    bike_set_wake_timer(r, 7);
    EXPECT_EQ(r->wake_timer, 1);
    bike_set_wake_timer(r, std::nanf(""));
    EXPECT_EQ(r->wake_timer, 0);
    EXPECT_EQ(enabled(), 0);

    // A reset stores 1 without touching the bodies.
    bike_reset(r);
    EXPECT_EQ(r->wake_timer, 1);
    EXPECT_EQ(enabled(), 0);
}

TEST_F(BikeTest, SlotsOutOfRangeAreRefused)
{
    simtest::LogCapture log;
    EXPECT_EQ(create("cr125", 160), nullptr);
    EXPECT_EQ(create("cr125", -1), nullptr);
    EXPECT_EQ(graphics.record().textures.size() + graphics.record().models.size(), 0u);
    rider_slot* r = create("kx125", 159);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r, &rider_slots[159]);
    EXPECT_EQ(r->slot_number, 159);
    EXPECT_EQ(r->state_flags & state_simulated_locally, state_simulated_locally);
    EXPECT_EQ(rider_create("kx125", 158, 0, "1", nullptr, nullptr, nullptr, nullptr)->state_flags, 0);
    // Creating again in an occupied slot replaces the bike.
    EXPECT_EQ(create("nonsense", 159), r);
    EXPECT_STREQ(rider_get_bike_info(r)->name, "kx250f(2007)");
    EXPECT_TRUE(log.contains("bike info for 'nonsense' not found using 'kx250f(2007)' instead"));
}

TEST_F(BikeTest, TheStartHoldHoldsTheBike)
{
    rider_slot* r = create();
    r->options |= option_auto_shift;
    r->steering = 0.5f;
    bike_start_hold(r);
    EXPECT_EQ(r->dab, 1);
    EXPECT_EQ(r->clutch, 0);
    EXPECT_EQ(r->front_brake, 1);
    EXPECT_EQ(r->rear_brake, 1);
    EXPECT_EQ(r->steering, 0);
    EXPECT_EQ(r->options & option_auto_shift, 0);
    EXPECT_EQ(r->gear, 1);
    r->crash_counter = 5;
    bike_start_hold(r);
    EXPECT_EQ(r->dab, 0);
}

TEST_F(BikeTest, BodyMatrixIsTranslationThenRotation)
{
    rider_slot* r = create();
    bike_rotate(r, 0, 1, 0, static_cast<float>(std::numbers::pi / 2));
    float position[3], rotation[9];
    body_push_matrix(r->bodies[body_frame], position, rotation);
    EXPECT_EQ(graphics.record().matrix_pushes, 1);
    EXPECT_NEAR(position[0], 3.6f, 1e-5);
    EXPECT_NEAR(rotation[2], 1, 1e-6);
    const std::vector<float>& m = graphics.record().last_matrix;
    ASSERT_EQ(m.size(), 16u);
    EXPECT_NEAR(m[8], 1, 1e-6);      // column 2, row 0
    EXPECT_NEAR(m[2], -1, 1e-6);     // column 0, row 2
    EXPECT_NEAR(m[12], 3.6f, 1e-5);
    EXPECT_EQ(m[15], 1);
}

TEST(QuatDelta, SpinOfAKnownTurn)
{
    struct Case {
        double ax, ay, az, angle;
    } const cases[] = {
        {1, 2, 2, 0.01}, {0, 0, 1, 0.5}, {0, 1, 0, -0.2}, {1, 0, 0, 2.5}, {-3, 1, 4, 0.001},
    };
    for (const Case& c : cases) {
        dQuaternion from, turn, to;
        dQFromAxisAndAngle(from, 0.3, -0.2, 0.9, 1.1);   // start from some orientation
        dQFromAxisAndAngle(turn, c.ax, c.ay, c.az, c.angle);
        dQMultiply0(to, turn, from);   // turned in world space
        float omega[3];
        quat_delta_angular_velocity(omega, from, to);
        const double n = std::sqrt(c.ax * c.ax + c.ay * c.ay + c.az * c.az);
        EXPECT_NEAR(omega[0], c.ax / n * c.angle * 128, 2e-3 + 1e-3 * std::fabs(c.angle * 128)) << c.angle;
        EXPECT_NEAR(omega[1], c.ay / n * c.angle * 128, 2e-3 + 1e-3 * std::fabs(c.angle * 128)) << c.angle;
        EXPECT_NEAR(omega[2], c.az / n * c.angle * 128, 2e-3 + 1e-3 * std::fabs(c.angle * 128)) << c.angle;
    }
    dQuaternion q;
    dQFromAxisAndAngle(q, 0, 1, 0, 0.7);
    float omega[3] = {9, 9, 9};
    quat_delta_angular_velocity(omega, q, q);
    EXPECT_EQ(omega[0], 0);
    EXPECT_EQ(omega[1], 0);
    EXPECT_EQ(omega[2], 0);
}

}  // namespace
