#include "sim_fixture.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(PhysicsWorld, DoublePrecisionWorldWithGravityOnly)
{
    ASSERT_EQ(physics_world_init(), 1);
    EXPECT_EQ(sizeof(dReal), 8u);
    EXPECT_EQ(dCheckConfiguration("ODE_double_precision"), 1);
    dWorldID world = physics_world;
    EXPECT_EQ(physics_world_init(), 1);   // a second call keeps the world
    EXPECT_EQ(physics_world, world);
    ASSERT_NE(contact_group, nullptr);
    dVector3 g;
    dWorldGetGravity(physics_world, g);
    EXPECT_EQ(g[0], 0);
    EXPECT_EQ(g[1], -32);
    EXPECT_EQ(g[2], 0);
    EXPECT_EQ(dWorldGetAutoDisableFlag(physics_world), 0);
    physics_world_shutdown();
    EXPECT_EQ(physics_world, nullptr);
    EXPECT_EQ(contact_group, nullptr);
    physics_world_shutdown();   // harmless
    // No world, no bike.
    EXPECT_EQ(rider_create("cr125", 0, 1, "1", nullptr, nullptr, nullptr, nullptr), nullptr);
    // And again, as a new race core start would.
    ASSERT_EQ(physics_world_init(), 1);
    physics_world_shutdown();
}

TEST(RiderTable, InitEmptiesEverySlot)
{
    memset(&rider_slots[7], 0xab, sizeof rider_slots[7]);
    rider_table_init();
    static const unsigned char zero[sizeof(rider_slot)] = {};
    for (const rider_slot& slot : rider_slots)
        ASSERT_EQ(memcmp(&slot, zero, sizeof slot), 0);
}

}  // namespace
