#include "view/roost_particles.h"

#include "view_fixture.h"

#include <cmath>
#include <limits>

namespace {

struct Roost : ViewTables {
    roost_type type{};
    void SetUp() override
    {
        ViewTables::SetUp();
            roost_particles_free();
        type.texture = 7;
        type.size = 0.5f;
        type.grow = 2;
        type.drag = 0.5f;
        type.colour[0] = 100, type.colour[1] = 150, type.colour[2] = 200, type.colour[3] = 250;
    }
    billboard& board_of(int32_t particle) { return *billboard_at(race.particle_billboards[particle]); }
};

TEST_F(Roost, SpawnDressesTheBillboardUntilThePoolIsFull)
{
    const float p[3] = {1, 2, 3}, v[3] = {0, 5, 0};
    ASSERT_EQ(roost_particle_spawn(p, v, &type), 1);
    const billboard& b = board_of(0);
    EXPECT_EQ(b.texture, 7u);
    EXPECT_FLOAT_EQ(b.size, 0.5f);
    EXPECT_FLOAT_EQ(b.x, 1);
    EXPECT_FLOAT_EQ(b.y, 2);
    EXPECT_FLOAT_EQ(b.z, 3);
    EXPECT_EQ(b.colour[2], 200);
    for (int k = 1; k < kParticles; ++k)
        ASSERT_EQ(roost_particle_spawn(p, v, &type), 1) << k;
    const roost_pool before = roost;
    EXPECT_EQ(roost_particle_spawn(p, v, &type), 0);
    EXPECT_EQ(memcmp(&before, &roost, sizeof roost), 0);
    EXPECT_EQ(roost_live_count(), kParticles);
}

TEST_F(Roost, NonFiniteInputIsRefused)
{
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    const float good[3] = {0, 1, 0};
    const float bad_p[3] = {nan, 1, 0}, bad_v[3] = {0, inf, 0};
    EXPECT_EQ(roost_particle_spawn(bad_p, good, &type), 0);
    EXPECT_EQ(roost_particle_spawn(good, bad_v, &type), 0);
    EXPECT_EQ(roost_live_count(), 0);
    EXPECT_EQ(board_of(0).texture, 0u);
}

TEST_F(Roost, OneStepMovesDragsAndGrows)
{
    const float p[3] = {0, 10, 0}, v[3] = {10, 20, 0};
    roost_particle_spawn(p, v, &type);
    roost_particles_step();
    const roost_particle& q = roost.particles[0];
    const float m = 1 - 0.5f / 128;
    EXPECT_FLOAT_EQ(q.position[0], 10.0f / 128);
    EXPECT_FLOAT_EQ(q.position[1], 10 + 20.0f / 128);
    EXPECT_FLOAT_EQ(q.velocity[0], 10 * m);
    EXPECT_FLOAT_EQ(q.velocity[1], 20 * m - 32.0f / 128);
    EXPECT_FLOAT_EQ(board_of(0).y, q.position[1]);
    EXPECT_FLOAT_EQ(board_of(0).size, 0.5f + 2.0f / 128);
}

TEST_F(Roost, ColourFadesStopAtTheLimits)
{
    type.colour[0] = 1, type.colour[1] = 253;
    type.fade[0] = -2, type.fade[1] = 5, type.fade[3] = -127;
    type.colour[3] = 100;
    const float p[3] = {0, 50, 0}, v[3] = {0, 0, 0};
    roost_particle_spawn(p, v, &type);
    roost_particles_step();
    EXPECT_EQ(board_of(0).colour[0], 0);
    EXPECT_EQ(board_of(0).colour[1], 255);
    EXPECT_EQ(board_of(0).colour[3], 0);
    // Transparent, but still in the table with its texture: the drawing skips it.
    EXPECT_EQ(board_of(0).texture, 7u);
    EXPECT_EQ(roost_live_count(), 1);
}

TEST_F(Roost, RisingParticlesLiveUnderGroundAndFallingOnesRetire)
{
    const float p[3] = {8, -1, 8}, v[3] = {0, 8, 0};
    roost_particle_spawn(p, v, &type);
    roost_particles_step();
    EXPECT_EQ(roost_live_count(), 1);   // below the ground but rising
    for (int t = 0; t < 200 && roost_live_count(); ++t)
        roost_particles_step();
    EXPECT_EQ(roost_live_count(), 0);
    EXPECT_EQ(board_of(0).texture, 0u);
    // The retired particle is the next one given out.
    const float q[3] = {1, 1, 1};
    roost_particle_spawn(q, v, &type);
    EXPECT_EQ(roost.live, 0);
}

TEST_F(Roost, BadDragNeitherReversesNorSpeedsUp)
{
    for (float drag : {1000.0f, -50.0f}) {
        roost_particles_free();
        type.drag = drag;
        const float p[3] = {0, 100, 0}, v[3] = {10, 0, 10};
        roost_particle_spawn(p, v, &type);
        for (int t = 0; t < 64; ++t) {
            roost_particles_step();
            const float vx = roost.particles[0].velocity[0];
            ASSERT_TRUE(vx >= 0 && vx <= 10) << drag << " " << vx;
        }
    }
}

TEST_F(Roost, FreeingPutsEveryParticleBackInPoolOrder)
{
    const float p[3] = {0, 50, 0}, v[3] = {0, 0, 0};
    for (int k = 0; k < 30; ++k)
        roost_particle_spawn(p, v, &type);
    roost_particles_free();
    EXPECT_EQ(roost.live, -1);
    EXPECT_EQ(roost.free, 0);
    for (int32_t k = 0; k < kParticles; ++k) {
        ASSERT_EQ(roost.particles[k].next, k + 1 < kParticles ? k + 1 : -1);
        ASSERT_EQ(board_of(k).texture, 0u);
    }
}

}  // namespace
