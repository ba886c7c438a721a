// Wheel contact sampling: roost particle counts with a fixed seed, the once-per-tick
// contact refresh of riders simulated elsewhere, the contact queries and the
// position-log text.
#include "ground_track.h"
#include "sim_fixture.h"

#include "foundation/numbers/random.h"
#include "sim/race_clock.h"
#include "sim/roost_sink.h"
#include "sim/wheel_sampling.h"

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

using namespace simtest;

namespace {

struct particle {
    float position[3], velocity[3];
    const roost_type* type;
};
std::vector<particle> particles;

int record_particle(const float position[3], const float velocity[3], const roost_type* type)
{
    particles.push_back({{position[0], position[1], position[2]}, {velocity[0], velocity[1], velocity[2]}, type});
    return 1;
}

// A rider slot holding just two wheel bodies (ring 1, tyre 0.3, axle x) at x = 10
// (front) and x = 50 (rear), for the sampling that needs nothing else of a bike.
class WheelSampling : public ::testing::Test {
protected:
    WheelSampling() : ground(5, 4.0f, [](float, float) { return 0.0f; })
    {
        rider_table_init();
        current_tick = 0;
        particles.clear();
        roost_set_spawn(record_particle);
        r = &rider_slots[3];
        r->last_contact_refresh_tick = -1;
        r->front_contact = lone_wheel(10, 1.2, 20);
        r->rear_contact = lone_wheel(50, 1.2, 20);
    }
    ~WheelSampling() override
    {
        roost_set_spawn(nullptr);
        dBodyDestroy(r->front_contact.body);
        dBodyDestroy(r->rear_contact.body);
        rider_table_init();
    }

    // The contact as the contact pass would leave it: depth 0.1 under the wheel, the
    // wheel rolling forward at 20 ft/s while spinning twice as fast.
    static void touching(wheel_contact* w)
    {
        const dReal* p = dBodyGetPosition(w->body);
        w->point[0] = float(p[0]);
        w->point[1] = -0.1f;
        w->point[2] = float(p[2]);
        w->normal[1] = 1.0f;
        w->depth = 0.1f;
        dBodySetLinearVel(w->body, 0, 0, -20);
        dBodySetAngularVel(w->body, -40 / 1.3, 0, 0);
        dVector3 v;
        dBodyGetPointVel(w->body, w->point[0], w->point[1], w->point[2], v);
        for (int i = 0; i < 3; ++i)
            w->velocity[i] = float(v[i]);
    }

    PhysicsWorld world;
    GroundTrack ground;
    rider_slot* r = nullptr;
};

}  // namespace

// Density 150 with a thrown type (5 per tick) and a splash type (3 per tick): every
// tick one or two particles of each type from each wheel, about half the ticks each;
// the same seed gives the same particles.
TEST_F(WheelSampling, RoostCountsFollowTheDensity)
{
    roost_type* types = track_terrain.roost_types[0];
    types[0].mode = 1;
    types[0].count = 5.0f;
    types[0].vscale = 1.0f;
    types[0].slow_angle = 0.1f;
    types[0].fast_angle = 0.5f;
    types[0].slow_speed = 10.0f;
    types[0].fast_speed = 40.0f;
    types[1].mode = 2;
    types[1].count = 3.0f;
    types[1].vscale = 0.5f;
    types[1].randomize = 1.0f;
    r->state_flags = state_simulated_locally;
    touching(&r->front_contact);
    touching(&r->rear_contact);
    roost_density = 150;

    auto run = [&](std::vector<particle>* all) {
        random_seed(77);
        int twos = 0;
        for (current_tick = 0; current_tick < 400; ++current_tick) {
            particles.clear();
            bike_emit_roost(r);
            int counts[2][2] = {};
            for (const particle& p : particles) {
                ASSERT_TRUE(std::isfinite(p.velocity[0]) && std::isfinite(p.velocity[1]) &&
                            std::isfinite(p.velocity[2]));
                counts[p.position[0] > 30][p.type - types] += 1;
            }
            for (auto& wheel : counts)
                for (int c : wheel)
                    ASSERT_TRUE(c == 1 || c == 2) << "tick " << current_tick;
            twos += counts[0][0] == 2;
            all->insert(all->end(), particles.begin(), particles.end());
        }
        EXPECT_GT(twos, 150);
        EXPECT_LT(twos, 250);
    };
    std::vector<particle> first, second;
    run(&first);
    run(&second);
    ASSERT_EQ(first.size(), second.size());
    for (size_t i = 0; i < first.size(); ++i)
        EXPECT_EQ(std::memcmp(first[i].velocity, second[i].velocity, sizeof first[i].velocity), 0);

    // Thrown dirt leaves the spinning tyre: its velocity is the tyre surface's there.
    particles.clear();
    roost_density = 100;
    bike_emit_roost(r);
    ASSERT_FALSE(particles.empty());
    EXPECT_GT(particles[0].velocity[2], 0.0f);  // the tyre spins faster than the ground passes

    // In the air, or standing still for the splash (no direction to throw it along),
    // or on a tile without roost types: nothing.
    r->front_contact.depth = 0.0f;
    r->rear_contact.depth = 0.0f;
    particles.clear();
    bike_emit_roost(r);
    EXPECT_TRUE(particles.empty());
    touching(&r->front_contact);
    dBodySetLinearVel(r->front_contact.body, 0, 0, 0);
    dBodySetAngularVel(r->front_contact.body, 0, 0, 0);
    std::memset(r->front_contact.velocity, 0, sizeof r->front_contact.velocity);
    types[0].slip_threshold = 1.0f;
    particles.clear();
    bike_emit_roost(r);
    EXPECT_TRUE(particles.empty());
    types[0].mode = 0;
    touching(&r->front_contact);
    particles.clear();
    bike_emit_roost(r);
    EXPECT_TRUE(particles.empty());
}

// A rider simulated elsewhere: the queries refresh its contacts once per tick however
// often they ask; a local rider's contacts are the contact pass's.
TEST_F(WheelSampling, RemoteContactsRefreshOncePerTick)
{
    r->state_flags = 0;
    dBodySetPosition(r->front_contact.body, 10, 1.25, 20);
    dBodySetPosition(r->rear_contact.body, 50, 3, 20);
    current_tick = 5;
    EXPECT_NEAR(rider_front_contact_depth(r), 0.05f, 1e-5);
    float point[3] = {-1, -1, -1};
    ASSERT_EQ(rider_front_contact_position(r, point), 1);
    EXPECT_NEAR(point[1], -0.05f, 1e-5);
    EXPECT_EQ(r->last_contact_refresh_tick, 5);

    dBodySetPosition(r->front_contact.body, 10, 1.1, 20);
    for (int k = 0; k < 10; ++k)
        EXPECT_NEAR(rider_front_contact_depth(r), 0.05f, 1e-5);
    current_tick = 6;
    EXPECT_NEAR(rider_front_contact_depth(r), 0.2f, 1e-5);

    // Spinning in place: the tyre surface slips at 2 * 1.3 ft/s, the point itself is
    // still; the rear wheel is in the air and keeps its point untouched.
    dBodySetAngularVel(r->front_contact.body, 2, 0, 0);
    current_tick = 7;
    float slip[3], velocity[3];
    rider_front_contact_slip(r, slip);
    rider_front_contact_velocity(r, velocity);
    EXPECT_NEAR(slip[2], -2 * 1.3f, 1e-4);
    EXPECT_NEAR(std::fabs(velocity[2]), 0.0f, 1e-6);
    // Turning about the vertical as well moves the point sideways: (0, 2, 0) x
    // (0, -1.3, 0) is 0 but (0, 0, 2) x (0, -1.3, 0) = (2.6, 0, 0).
    dBodySetAngularVel(r->front_contact.body, 2, 0, 2);
    rider_front_contact_velocity(r, velocity);
    EXPECT_NEAR(velocity[0], 2 * 1.3f, 1e-5);
    float untouched[3] = {9, 9, 9};
    EXPECT_EQ(rider_rear_contact_position(r, untouched), 0);
    EXPECT_EQ(untouched[0], 9.0f);
    EXPECT_EQ(rider_rear_contact_depth(r), 0.0f);

    r->state_flags = state_simulated_locally;
    r->front_contact.depth = 0.75f;
    current_tick = 8;
    EXPECT_EQ(rider_front_contact_depth(r), 0.75f);
}

namespace {
std::vector<std::string> log_texts;
float log_far = 1e6f;
float log_distance(float, float, float) { return log_far; }
void log_append(float, float, float, const char* text) { log_texts.push_back(text); }
}  // namespace

// The position log gets both wheels' tyre values while its "e" flag is on and the
// frame is beyond the spacing from the newest entry.
TEST_F(WheelSampling, PositionLogTakesBothTyres)
{
    r->bodies[body_frame] = r->front_contact.body;
    r->state_flags = state_simulated_locally;
    touching(&r->front_contact);
    log_texts.clear();
    position_log_install(log_distance, log_append);
    position_log_flags = 0;
    bike_update_ruts(r);
    EXPECT_TRUE(log_texts.empty());
    position_log_flags = 1;
    bike_update_ruts(r);
    ASSERT_EQ(log_texts.size(), 1u);
    EXPECT_EQ(log_texts[0].rfind("front:\nspeed=20.00\n", 0), 0u) << log_texts[0];
    EXPECT_NE(log_texts[0].find("rear:\nspeed=0.00\n"), std::string::npos);
    log_far = 5.0f;  // nearer than the spacing of 10
    bike_update_ruts(r);
    EXPECT_EQ(log_texts.size(), 1u);
    position_log_install(nullptr, nullptr);
    position_log_flags = 0;
    r->bodies[body_frame] = nullptr;
}
