// Contacts on a real physics world: spheres meeting, a tyre settling on the
// ground, whole bikes dropped on flat and sloped ground and bikes running into
// each other.
#include "ground_track.h"
#include "sim_fixture.h"

#include "foundation/memory.h"
#include "sim/bike_contacts.h"
#include "sim/contact_geometry.h"
#include "sim/contact_surface.h"
#include "sim/foot_constraints.h"
#include "sim/ground_contacts.h"
#include "sim/race_clock.h"
#include "sim/sphere_contacts.h"
#include "sim/terrain_contacts.h"
#include "support/test_support.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <numbers>

using namespace simtest;

namespace {

bool finite_body(dBodyID b)
{
    const dReal* p = dBodyGetPosition(b);
    const dReal* v = dBodyGetLinearVel(b);
    const dReal* w = dBodyGetAngularVel(b);
    for (int i = 0; i < 3; ++i)
        if (!std::isfinite(p[i]) || !std::isfinite(v[i]) || !std::isfinite(w[i]))
            return false;
    return true;
}

double speed(dBodyID b)
{
    const dReal* v = dBodyGetLinearVel(b);
    return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
}

void set_bike_velocity(rider_slot* r, double vz)
{
    for (dBodyID b : r->bodies)
        dBodySetLinearVel(b, 0, 0, vz);
    // Wheels rolling: forward (-z) motion turns them about -x.
    dBodySetAngularVel(r->bodies[body_front_wheel],
                       vz / (r->front_contact.ring_radius + r->front_contact.tyre_radius), 0, 0);
    dBodySetAngularVel(r->bodies[body_rear_wheel],
                       vz / (r->rear_contact.ring_radius + r->rear_contact.tyre_radius), 0, 0);
}

// Without the bike step nothing springs the suspension or holds the rider up:
// the joints are locked at their rest readings and the rider fixed to the
// frame, so that what is tested is the bike on its contacts. Returns the
// rider's fixed joint.
dJointID stiffen(rider_slot* r)
{
    dJointSetHingeParam(r->joints[joint_steering], dParamLoStop, 0);
    dJointSetHingeParam(r->joints[joint_steering], dParamHiStop, 0);
    dJointSetSliderParam(r->joints[joint_fork_slider], dParamLoStop, 0);
    dJointSetHingeParam(r->joints[joint_swingarm], dParamLoStop, 0);
    dJointID fixed = dJointCreateFixed(physics_world, nullptr);
    dJointAttach(fixed, r->bodies[body_rider], r->bodies[body_frame]);
    dJointSetFixed(fixed);
    return fixed;
}

class ContactPhysics : public BikeTest {
protected:
    // The bikes use the stock sphere sets of the base data.
    ContactPhysics() { current_tick = 0; }

    // One game tick of the collision pass, the world step and the group emptied.
    void tick(std::initializer_list<rider_slot*> riders, bool bikes_meet = false)
    {
        for (rider_slot* r : riders)
            bike_collide_terrain(r);
        if (bikes_meet)
            for (auto a = riders.begin(); a != riders.end(); ++a)
                for (auto b = a + 1; b != riders.end(); ++b)
                    bike_collide_bikes(*a, *b, 0);
        dWorldStep(physics_world, kTickLength);
        dJointGroupEmpty(contact_group);
        ++current_tick;
    }
};

}  // namespace

// Two unit spheres 1.5 apart: depth 0.5 on the centre line, point 0.75 from
// each; exactly 2 apart they do not touch; a zero radius at the same centre
// touches without a direction; a penalty pair is capped at 2500/depth and 1000
// lbf.
TEST_F(ContactPhysics, SpherePairsAnswerJoinAndPush)
{
    shape_sphere a{{0, 0, 0}, 1, 0.5f, 10000, 0};
    shape_sphere b{{1.5f, 0, 0}, 1, 0.8f, 20000, 0};
    sphere_contact c;
    ASSERT_EQ(collide_spheres(&a, nullptr, &b, nullptr, kContactTestOnly, &c), 1);
    dBodyID ba = dBodyCreate(physics_world), bb = dBodyCreate(physics_world);
    dBodySetPosition(bb, 1.5, 0, 0);
    ASSERT_EQ(collide_spheres(&a, ba, &b, bb, kContactTestOnly, &c), 1);
    EXPECT_FLOAT_EQ(c.depth, 0.5f);
    EXPECT_FLOAT_EQ(c.point[0], 0.75f);
    EXPECT_FLOAT_EQ(c.normal[0], 1.0f);
    b.centre[0] = 2.0f;
    EXPECT_EQ(collide_spheres(&a, ba, &b, bb, kContactTestOnly, &c), 0);

    shape_sphere point{{0, 0, 0}, 0, 1, 1000, 10};
    c.depth = -1;
    EXPECT_EQ(collide_spheres(&point, ba, &a, bb, kContactPenalty, &c), 1);
    EXPECT_EQ(c.depth, -1.0f);  // nothing filled: no direction to push along
    EXPECT_TRUE(finite_body(ba));

    // kp 10000 at depth 1 becomes 2500: 2500 lbf, clamped to 1000 on each body.
    b.centre[0] = 1.0f;
    shape_sphere stiff = a;
    stiff.spring = 10000;
    ASSERT_EQ(collide_spheres(&stiff, ba, &b, bb, kContactPenalty, nullptr), 1);
    EXPECT_DOUBLE_EQ(dBodyGetForce(bb)[0], 1000.0);
    EXPECT_DOUBLE_EQ(dBodyGetForce(ba)[0], -1000.0);

    // A joint pair makes one contact joint, attached (b, a).
    ASSERT_EQ(collide_spheres(&stiff, ba, &b, bb, kContactJoint, nullptr), 1);
    EXPECT_TRUE(dAreConnected(ba, bb));
    dJointGroupEmpty(contact_group);
    // Neither spring nor damper: no joint (its CFM would be infinite), and the pair
    // still answers.
    shape_sphere limp = b;
    limp.spring = 0;
    limp.damping = 0;
    ASSERT_EQ(collide_spheres(&stiff, ba, &limp, bb, kContactJoint, nullptr), 1);
    EXPECT_FALSE(dAreConnected(ba, bb));
    dBodyDestroy(ba);
    dBodyDestroy(bb);
}

// A lone upright wheel of mass 1 dropped on flat ground settles where the
// tyre's spring carries its weight: 32 = d (1000 + 24000 (d / r)^3).
TEST_F(ContactPhysics, LoneWheelSettlesAtItsWeightBalancedDepth)
{
    GroundTrack ground(5, 4.0f, [](float, float) { return 0.0f; });
    wheel_contact w = lone_wheel(40, 1.5, 40);
    dBodyID body = w.body;
    for (int t = 0; t < 3 * 128; ++t) {
        collide_wheel_terrain_contact(&track_terrain, &w, 1.0);
        dWorldStep(physics_world, kTickLength);
        dJointGroupEmpty(contact_group);
        ASSERT_TRUE(finite_body(body)) << t;
    }
    double lo = 0, hi = 0.3;
    for (int k = 0; k < 60; ++k) {
        const double d = (lo + hi) / 2, c = d / 0.3;
        (d * (1000 + 24000 * c * c * c) < 32.0 ? lo : hi) = d;
    }
    EXPECT_NEAR(w.depth, lo, lo * 0.02);
    EXPECT_LT(speed(body), 0.01);
    // The joint fed its force back: the weight, along the normal.
    EXPECT_NEAR(w.feedback.f1[1], 32.0, 0.5);
    dBodyDestroy(body);
}

// A bike (no rider input, brakes held) dropped from half a foot settles on both
// wheels, upright, its bodies off the ground, on flat ground and on a 1-in-10
// slope.
TEST_F(ContactPhysics, BikeDroppedOnFlatAndSlopedGroundRestsOnItsWheels)
{
    for (double slope : {0.0, 0.1}) {
        SCOPED_TRACE(slope);
        GroundTrack ground(5, 4.0f, [slope](float, float z) { return float(slope * z); });
        rider_slot* r = create();
        ASSERT_NE(r, nullptr);
        ASSERT_NE(r->shapes[body_frame], nullptr);
        bike_translate(r, 64, float(slope * 64) + 0.5f, 64);
        dJointID fixed = stiffen(r);
        for (bike_joint j : {joint_front_axle, joint_rear_axle}) {
            dJointSetHingeParam(r->joints[j], dParamVel, 0);
            dJointSetHingeParam(r->joints[j], dParamFMax, 250);
        }
        bool wheels_touched = false;
        for (int t = 0; t < 4 * 128; ++t) {
            tick({r});
            wheels_touched |= r->front_contact.depth > 0 && r->rear_contact.depth > 0;
            for (dBodyID b : r->bodies)
                ASSERT_TRUE(finite_body(b)) << t;
        }
        EXPECT_TRUE(wheels_touched);
        EXPECT_GT(r->front_contact.depth, 0.0f);
        EXPECT_GT(r->rear_contact.depth, 0.0f);
        EXPECT_LT(r->front_contact.depth, 0.2f);
        EXPECT_LT(r->rear_contact.depth, 0.2f);
        for (dBodyID b : r->bodies)
            EXPECT_LT(speed(b), 0.05);
        EXPECT_GT(dBodyGetRotation(r->bodies[body_frame])[5],
                  0.95);  // still upright
        EXPECT_EQ(r->rider_down, 0);
        EXPECT_EQ(r->crash_counter, 0);
        dJointDestroy(fixed);
        bike_destroy(r);
    }
}

// Riders running into each other at 15 ft/s: head-on both are knocked for 64
// ticks; from behind (the other doing 6 ft/s) the rammer is knocked for 128.
// The first contact of a tick is a joint, later ones are forces.
TEST_F(ContactPhysics, BikesMeetingGetTheirKnockTimers)
{
    GroundTrack ground(5, 4.0f, [](float, float) { return 0.0f; });
    struct {
        const char* name;
        double a_speed, b_speed;
        bool b_turned;
        float a_knock, b_knock;
    } const cases[] = {
        {"head-on", 15, 15, true, 64, 64},
        {"from behind", 15, 6, false, 128, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        rider_slot* a = create("cr125", 0, "1");
        rider_slot* b = create("cr125", 1, "2");
        ASSERT_EQ(a->last_contact_tick, -1);
        // a faces -z; b about 2 ft ahead of its front wheel, facing it (turned
        // about the origin, so its parts lie at -z of their rest places) or running
        // away.
        bike_translate(a, 64, 0.1f, 80);
        if (c.b_turned) {
            bike_rotate(b, 0, 1, 0, float(std::numbers::pi));
            bike_translate(b, 64, 0.1f, 78);
        } else {
            bike_translate(b, 64, 0.1f, 71);
        }
        const dJointID fixed[2] = {stiffen(a), stiffen(b)};
        set_bike_velocity(a, -c.a_speed);
        set_bike_velocity(b, c.b_turned ? c.b_speed : -c.b_speed);
        current_tick = 1000;
        int met = -1;
        while (met < 0 && current_tick < 1256) {
            const int now = current_tick;
            tick({a, b}, true);
            if (a->last_contact_tick == now)
                met = now;
        }
        ASSERT_GE(met, 0);
        EXPECT_EQ(a->last_contact_tick, met);
        EXPECT_EQ(b->last_contact_tick, met);
        EXPECT_GE(a->knock_timer, c.a_knock);
        if (c.b_knock > 0) {
            EXPECT_GE(b->knock_timer, c.b_knock);
        } else {
            EXPECT_EQ(b->knock_timer, 0.0f);
        }

        // Again within the stamped tick: penalty forces instead of joints.
        --current_tick;
        for (rider_slot* r : {a, b})
            for (dBodyID body : r->bodies)
                dBodySetForce(body, 0, 0, 0);
        ASSERT_NE(bike_collide_bikes(a, b, 0), 0);
        double pushed = 0;
        for (rider_slot* r : {a, b})
            for (dBodyID body : r->bodies)
                pushed += std::fabs(dBodyGetForce(body)[2]);
        EXPECT_GT(pushed, 0.0);
        ++current_tick;
        for (dJointID j : fixed)
            dJointDestroy(j);
        bike_destroy(a);
        bike_destroy(b);
    }
}

// Spheres and wheels on sloped and flat ground, off the grid, and without a
// body.
TEST_F(ContactPhysics, SpheresAndWheelsOnTheGround)
{
    float point[3], normal[3], depth;
    {
        GroundTrack ground(5, 4.0f, [](float x, float) { return 0.5f * x; });
        // A unit sphere whose centre is 0.8 from the plane y = x / 2 (normal (-1,
        // 2, 0) / sqrt 5).
        const double k = 0.8 / std::sqrt(5.0);
        const float centre[3] = {float(40 - k), float(20 + 2 * k), 40};
        ASSERT_EQ(collide_point_terrain(&track_terrain, centre, 1.0f, point, normal, &depth), 1);
        EXPECT_NEAR(depth, 0.2f, 1e-4);
        EXPECT_NEAR(normal[0], -1 / std::sqrt(5.0), 1e-5);
        EXPECT_NEAR(normal[1], 2 / std::sqrt(5.0), 1e-5);
        const float off[3] = {-50, 0, -50};
        EXPECT_EQ(collide_point_terrain(&track_terrain, off, 1.0f, point, normal, &depth), 0);

        // A shape touching the ground with no body answers without a joint.
        collision_shape* post = shape_instance("@generic_fork_lower.shp");
        ASSERT_NE(post, nullptr);
        const float identity[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
        const float low[3] = {40, 20.1f, 40};
        EXPECT_EQ(collide_shape_terrain(post, nullptr, low, identity, &track_terrain), 1);
        mem_free(post);
    }

    // A wheel on level ground: the probe and the exact test agree on the face.
    GroundTrack flat(5, 4.0f, [](float, float) { return 0.0f; });
    wheel_contact w = lone_wheel(41, 1.2, 43);
    dBodyID body = w.body;
    float d_probe, d_exact;
    ASSERT_EQ(collide_wheel_terrain(&track_terrain, &w, point, normal, &d_probe), 1);
    ASSERT_EQ(collide_wheel_terrain_deepest(&track_terrain, &w, point, normal, &d_exact), 1);
    EXPECT_NEAR(d_probe, 0.1f, 1e-5);
    EXPECT_NEAR(d_exact, 0.1f, 1e-5);
    dBodySetPosition(body, 41, 1.4, 43);
    EXPECT_EQ(collide_wheel_terrain_deepest(&track_terrain, &w, point, normal, &d_exact), 0);
    dBodyDestroy(body);
}

// The slip law of slip function 2: the ground speed of the contact point
// without the tyre's spin, along the tyre's own velocity there.
TEST_F(ContactPhysics, SlipSpeedWithoutTheSpin)
{
    const double linear[3] = {0, 0, -10}, angular[3] = {-40, 0, 0}, axle[3] = {1, 0, 0};
    const double offset[3] = {0, -1, 0}, surface[3] = {0, 0, 30};
    EXPECT_DOUBLE_EQ(wheel_slip_speed(2, linear, angular, axle, offset, surface), -10.0);
    EXPECT_DOUBLE_EQ(wheel_slip_speed(1, linear, angular, axle, offset, surface), 30.0);
    EXPECT_DOUBLE_EQ(wheel_slip_speed(0, linear, angular, axle, offset, surface), 30.0);
}

// A rider running into a static post: above 20 ft/s the rider is thrown off; a
// crashed rider's touches count as the rider's; slower hits only push.
TEST_F(ContactPhysics, PlacedObjectHitsThrowFastRiders)
{
    GroundTrack ground(5, 4.0f, [](float, float) { return 0.0f; });
    const std::string post_file = root() + "/user/Brovanta/post.shp";
    std::ofstream(post_file) << "1 0 1 0 0.8 0.6 10000 500\n";
    collision_shape* post = shape_instance("@post.shp");
    std::remove(post_file.c_str());
    ASSERT_NE(post, nullptr);
    const float identity[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    for (double v : {10.0, 25.0}) {
        SCOPED_TRACE(v);
        rider_slot* r = create();
        bike_translate(r, 64, 0.1f, 64);
        const dJointID fixed = stiffen(r);
        set_bike_velocity(r, -v);
        const float at[3] = {64, 0, 60};
        int hit = 0;
        for (int t = 0; t < 128 && !hit; ++t) {
            bike_collide_terrain(r);
            hit = bike_collide_object(r, post, nullptr, at, identity);
            dWorldStep(physics_world, kTickLength);
            dJointGroupEmpty(contact_group);
        }
        EXPECT_TRUE(hit & part_front_wheel) << hit;
        EXPECT_EQ(r->crash_counter, v > 20 ? 512 : 0);
        if (v > 20) {
            EXPECT_TRUE(bike_collide_object(r, post, nullptr, at, identity) & part_rider);
        }
        dJointDestroy(fixed);
        bike_destroy(r);
    }
    mem_free(post);
}

// A rider sliding upside down along the ground is thrown off, unless knocked
// (negative timer); a rider part on the ground marks the rider down.
TEST_F(ContactPhysics, UpsideDownRiderOnTheGround)
{
    GroundTrack ground(5, 4.0f, [](float, float) { return 0.0f; });
    for (float knock : {0.0f, -10.0f}) {
        rider_slot* r = create();
        bike_rotate(r, 0, 0, 1, float(std::numbers::pi));
        bike_translate(r, 64, 5.8f, 64);  // the rider's head just above the ground
        const dJointID fixed = stiffen(r);
        set_bike_velocity(r, -8);
        r->knock_timer = knock;
        for (int t = 0; t < 64 && !r->rider_down; ++t)
            tick({r});
        EXPECT_EQ(r->rider_down, 1);
        EXPECT_EQ(r->crash_counter, knock < 0 ? 0 : 512);
        dJointDestroy(fixed);
        bike_destroy(r);
    }
}

// A crashed rider's foot kept within reach of a body and above a body-fixed
// plane.
TEST_F(ContactPhysics, FootConstraints)
{
    dBodyID body = dBodyCreate(physics_world);
    dBodySetLinearVel(body, 0, 2, 0);
    const float centre[3] = {0, 1, 0};
    float point[3] = {0, 3, 0}, velocity[3] = {0, 5, 1};
    point_tether_sphere(body, centre, 1.0f, point, velocity);
    EXPECT_FLOAT_EQ(point[1], 2.0f);
    EXPECT_FLOAT_EQ(velocity[1], 2.0f);  // the body's, along the tether
    EXPECT_FLOAT_EQ(velocity[2], 1.0f);

    const float origin[3] = {0, 0, 0}, up[3] = {0, 1, 0};
    float foot[3] = {1, -0.5f, 0}, foot_velocity[3] = {0, -3, 2};
    point_above_plane(body, origin, up, foot, foot_velocity);
    EXPECT_FLOAT_EQ(foot[0], 1.0f);
    EXPECT_FLOAT_EQ(foot[1], 0.0f);
    EXPECT_FLOAT_EQ(foot_velocity[1], 2.0f);
    EXPECT_FLOAT_EQ(foot_velocity[2], 2.0f);
    dBodyDestroy(body);
}
