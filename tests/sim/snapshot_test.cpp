// Remote and replayed riders placed from packed states: a sleeping bike is set on the
// state with the velocities between two history states, an awake one is pulled there.
#include "sim/packed_state.h"
#include "sim/rider_access.h"
#include "sim_fixture.h"

#include <cmath>
#include <vector>

using simtest::BikeTest;
using simtest::FlatTerrain;

namespace {

class Snapshot : public BikeTest {
protected:
    FlatTerrain ground{5, 4.0f, 0.0f};
    rider_slot* r = nullptr;
    packed_rider_state here{}, ahead{};

    void SetUp() override
    {
        r = create("cr125");
        ASSERT_NE(r, nullptr);
        bike_translate(r, 100.0f, 0.0f, 120.0f);
        bike_pack_state(r, ground.get(), &here);
        bike_translate(r, 0.5f, 0.0f, -0.25f);
        bike_pack_state(r, ground.get(), &ahead);
        bike_sleep(r);
    }
    // Puts the feet somewhere no fall would.
    void clear_feet()
    {
        for (int i = 0; i < 3; ++i)
            r->left_foot[i] = r->right_foot[i] = -1000.0f;
    }
    bool feet_placed() { return r->left_foot[1] > -100.0f && r->right_foot[1] > -100.0f; }

    double speed(int body, int axis) { return dBodyGetLinearVel(r->bodies[body])[axis]; }
};

}  // namespace

TEST_F(Snapshot, VelocitiesComeFromTheTwoHistoryStates)
{
    // A single state passed three times: standing still.
    bike_apply_snapshot(r, ground.get(), here.bytes, here.bytes, here.bytes, 1, 5);
    for (int b = 0; b < kBikeBodies; ++b)
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(dBodyGetLinearVel(r->bodies[b])[i], 0.0) << b;
            EXPECT_EQ(dBodyGetAngularVel(r->bodies[b])[i], 0.0) << b;
        }

    // Half a foot along x and a quarter back along z over 4 ticks: 16 and -8 ft/s.
    bike_apply_snapshot(r, ground.get(), here.bytes, here.bytes, ahead.bytes, 4, 5);
    for (int b = 0; b < kBikeBodies; ++b) {
        EXPECT_NEAR(speed(b, 0), 16.0, 0.01) << b;
        EXPECT_NEAR(speed(b, 1), 0.0, 0.01) << b;
        EXPECT_NEAR(speed(b, 2), -8.0, 0.01) << b;
    }
    // ... and the bike stands on the target state, not on the later one.
    packed_rider_state now;
    bike_pack_state(r, ground.get(), &now);
    EXPECT_EQ(0, memcmp(now.bytes, here.bytes, 36));

    // Ticks of 0 or less count as one.
    bike_apply_snapshot(r, ground.get(), here.bytes, here.bytes, ahead.bytes, 0, 5);
    EXPECT_NEAR(speed(body_frame, 0), 64.0, 0.05);
}

TEST_F(Snapshot, BikeIsLiftedOutOfTheGroundAndCrashesAndDabsShow)
{
    // A state whose rear wheel would sit 3 ft into the ground lifts all seven bodies.
    FlatTerrain raised{5, 4.0f, 0.0f};
    const double rest_y = dBodyGetPosition(r->bodies[body_rear_wheel])[1];
    for (int k = 0; k < raised->size * raised->size; ++k)
        raised->heights[k] = float(rest_y - r->rear_contact.ring_radius + 3.0);
    const double frame_before = dBodyGetPosition(r->bodies[body_frame])[1];
    bike_apply_snapshot(r, raised.get(), here.bytes, here.bytes, here.bytes, 1, 5);
    EXPECT_NEAR(dBodyGetPosition(r->bodies[body_rear_wheel])[1] - r->rear_contact.ring_radius,
                raised->heights[0], 1e-3);
    EXPECT_NEAR(dBodyGetPosition(r->bodies[body_frame])[1], frame_before + 3.0, 0.01);  // swingarm bit 0 is lost

    // The dab bit raises the dab state by 1/16 per state, up to 1.
    packed_rider_state dab = here;
    dab.bytes[36] |= 8;
    bike_apply_snapshot(r, ground.get(), dab.bytes, dab.bytes, dab.bytes, 1, 5);
    EXPECT_FLOAT_EQ(r->dab_state, 0.0625f);
    for (int k = 0; k < 20; ++k)
        bike_apply_snapshot(r, ground.get(), dab.bytes, dab.bytes, dab.bytes, 1, 5);
    EXPECT_FLOAT_EQ(r->dab_state, 1.0f);

    // A crash in the target places the feet once, when it begins, by the foot pegs.
    packed_rider_state crash = here;
    crash.bytes[36] = 0xF7;
    clear_feet();
    bike_apply_snapshot(r, ground.get(), crash.bytes, here.bytes, here.bytes, 1, 5);
    EXPECT_EQ(r->crash_counter, 128);
    EXPECT_TRUE(feet_placed());
    EXPECT_NEAR(r->left_foot[1], dBodyGetPosition(r->bodies[body_frame])[1], 3.0);
    clear_feet();
    bike_apply_snapshot(r, ground.get(), crash.bytes, crash.bytes, crash.bytes, 1, 5);
    EXPECT_FALSE(feet_placed());
    bike_apply_snapshot(r, ground.get(), here.bytes, here.bytes, here.bytes, 1, 5);
    EXPECT_EQ(r->crash_counter, 0);
    EXPECT_EQ(dJointGetBody(r->joints[joint_rider], 1), r->bodies[body_frame]);
}

TEST_F(Snapshot, AwakeBikeIsPulledTowardsTheStateWithCappedForces)
{
    // A bike woken by a contact: the pull is off while the timer is above 0.75.
    bike_wake(r);
    bike_translate(r, -0.5f, 0.0f, 0.25f);  // back on "here"
    bike_translate(r, 0.0f, 0.0f, 10.0f);   // 10 ft behind its state
    bike_apply_snapshot(r, ground.get(), here.bytes, here.bytes, here.bytes, 1, 5);
    const dReal* f = dBodyGetForce(r->bodies[body_frame]);
    EXPECT_EQ(std::hypot(f[0], f[1], f[2]), 0.0);

    // At 0.4 the full pull, capped at 2500 lbf, straight towards the state.
    bike_set_wake_timer(r, 0.4f);
    packed_rider_state throttle = here;
    throttle.bytes[36] = 0x9B;  // fourth gear, dab, throttle 9/15
    bike_apply_snapshot(r, ground.get(), throttle.bytes, here.bytes, here.bytes, 1, 5);
    f = dBodyGetForce(r->bodies[body_frame]);
    EXPECT_NEAR(std::hypot(f[0], f[1], f[2]), 2500.0, 1e-6);
    EXPECT_NEAR(f[2], -2500.0, 1.0);
    EXPECT_EQ(r->gear, 3);
    EXPECT_FLOAT_EQ(r->throttle, 0.6f);
    EXPECT_EQ(r->dab, 1.0f);
    EXPECT_NEAR(r->lean, 0.0f, 1e-3) << "the state's rider sits at its rest place";
    const dReal* t = dBodyGetTorque(r->bodies[body_frame]);
    EXPECT_LT(std::hypot(t[0], t[1], t[2]), 1.0) << "already turned as the state";

    // An old demo's 26-byte states steer the same way, read within their 26 bytes.
    std::vector<uint8_t> old(here.bytes, here.bytes + 20);
    old.insert(old.end(), {128, here.bytes[34], here.bytes[35], 0x12, 0, 0});
    dBodySetForce(r->bodies[body_frame], 0, 0, 0);
    bike_apply_snapshot(r, ground.get(), old.data(), old.data(), old.data(), 1, 4);
    f = dBodyGetForce(r->bodies[body_frame]);
    EXPECT_NEAR(f[2], -2500.0, 1.0);
    EXPECT_EQ(r->gear, 2);

    // A crash in the state throws the rider off and shuts the throttle and the dab.
    packed_rider_state crash = here;
    crash.bytes[36] = 0x07;
    clear_feet();
    bike_steer_to_state(r, ground.get(), crash.bytes, here.bytes, here.bytes, 1);
    EXPECT_EQ(r->crash_counter, 1);
    EXPECT_TRUE(feet_placed());
    EXPECT_EQ(r->throttle, 0.0f);
    EXPECT_EQ(r->dab, 0.0f);
    EXPECT_EQ(dJointGetBody(r->joints[joint_rider], 0), nullptr);
}
