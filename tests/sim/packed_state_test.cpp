// The packed rider state on built bikes: the edge bytes other clients and demos hold,
// states that survive packing and unpacking, and states applied to remote riders.
#include "sim/packed_state.h"
#include "sim/rider_access.h"
#include "sim_fixture.h"

#include "foundation/numbers/random.h"

#include <cmath>
#include <cstring>
#include <string>

using simtest::BikeTest;
using simtest::FlatTerrain;

namespace {

std::string hex(const packed_rider_state& s)
{
    std::string out;
    char b[4];
    for (uint8_t v : s.bytes) {
        snprintf(b, sizeof b, "%02x ", v);
        out += b;
    }
    return out;
}

uint32_t word(const packed_rider_state& s, int at)
{
    return s.bytes[at] | s.bytes[at + 1] << 8;
}

uint32_t triple(const packed_rider_state& s, int at)
{
    return s.bytes[at] | s.bytes[at + 1] << 8 | s.bytes[at + 2] << 16;
}

void move_body(dBodyID body, double dx, double dy, double dz)
{
    const dReal* p = dBodyGetPosition(body);
    dBodySetPosition(body, p[0] + dx, p[1] + dy, p[2] + dz);
}

class PackedState : public BikeTest {
protected:
    FlatTerrain ground{5, 4.0f, -10.0f};  // 256 ft square, heights from -10
    rider_slot* r = nullptr;

    void SetUp() override
    {
        r = create("cr125");
        ASSERT_NE(r, nullptr);
        bike_translate(r, 100.0f, 0.0f, 120.0f);
    }
    packed_rider_state pack()
    {
        packed_rider_state s;
        bike_pack_state(r, ground.get(), &s);
        return s;
    }
};

}  // namespace

TEST_F(PackedState, EdgeBytes)
{
    // Off the ground at either side and below the lowest height: the nearest ends.
    move_body(r->bodies[body_frame], -105.0, -100.0, 500.0);
    packed_rider_state s = pack();
    EXPECT_EQ(triple(s, 0), 0u);
    EXPECT_EQ(triple(s, 3), 0u);
    EXPECT_EQ(triple(s, 6), 16777215u);

    // The rider 20 ft to the right of the frame: 65535, decoding to 16.
    bike_reset(r);
    bike_translate(r, 100.0f, 0.0f, 120.0f);
    const double frame_x = dBodyGetPosition(r->bodies[body_frame])[0];
    move_body(r->bodies[body_rider], frame_x + 20.0 - dBodyGetPosition(r->bodies[body_rider])[0], 0, 0);
    s = pack();
    EXPECT_EQ(word(s, 20), 65535u);
    EXPECT_EQ(s.bytes[18] & 1, 0);
    EXPECT_EQ(s.bytes[19] & 1, 0);
    bike_unpack_state(r, ground.get(), s.bytes, 5);
    EXPECT_NEAR(dBodyGetPosition(r->bodies[body_rider])[0] - dBodyGetPosition(r->bodies[body_frame])[0], 16.0, 1e-3);

    struct Case {
        const char* what;
        int32_t crash_counter;
        int gear;
        float dab_state, throttle, rpm;
        uint8_t control;
        uint32_t rpm_code;
    };
    const double per_rpm = M_PI / 30.0;
    const Case cases[] = {
        {"standing still", 0, 0, 0.0f, 0.0f, 0.0f, 0x00, 0},
        {"third gear, dab, full throttle", 0, 2, 0.5f, 1.0f, 16384.0f, 0xFA, 32768},
        {"crashed at counter 128", 128, 3, 0.0f, 1.0f, 40000.0f, 0xF7, 65535},
        {"crashed long ago", 600, 0, 0.0f, 0.0f, 32768.0f, 0xF7, 65535},
        {"crashed a tick ago", 1, 0, 1.0f, 1.0f, 100.0f, 0x07, 200},
        {"NaN throttle and engine", 0, 1, 0.0f, NAN, NAN, 0x01, 0},
        {"a throttle just below full", 0, 4, 0.0f, 0.99f, 1000.0f, 0xE4, 2000},
    };
    for (const Case& c : cases) {
        r->crash_counter = c.crash_counter;
        r->gear = c.gear;
        r->dab_state = c.dab_state;
        r->throttle = c.throttle;
        r->engine_speed = float(c.rpm * per_rpm);
        s = pack();
        EXPECT_EQ(s.bytes[36], c.control) << c.what;
        EXPECT_EQ(word(s, 37), c.rpm_code) << c.what;
    }

    // 0xF7 decodes as counter 128 with the throttle shut.
    r->crash_counter = 0;
    r->throttle = 1.0f;
    s.bytes[36] = 0xF7;
    bike_unpack_state(r, ground.get(), s.bytes, 5);
    EXPECT_EQ(r->crash_counter, 128);
    EXPECT_EQ(r->throttle, 0.0f);
    EXPECT_EQ(dJointGetBody(r->joints[joint_rider], 0), nullptr) << "the rider is off the bike";

    // Back on the bike: gear 6 on this five-speed bike is its fifth gear.
    s.bytes[36] = 0x76;
    bike_unpack_state(r, ground.get(), s.bytes, 5);
    EXPECT_EQ(r->crash_counter, 0);
    EXPECT_EQ(r->gear, 4);
    EXPECT_FLOAT_EQ(r->throttle, 7.0f / 15.0f);
    EXPECT_EQ(dJointGetBody(r->joints[joint_rider], 0), r->bodies[body_rider]);
    EXPECT_NEAR(r->engine_speed, 32768.0 * per_rpm * word(s, 37) / 65535.0, 1e-3);

    EXPECT_EQ(demo_state_size(4), 26);
    EXPECT_EQ(demo_state_size(5), 39);
    EXPECT_EQ(demo_state_size(6), 0);
    EXPECT_EQ(demo_state_size(3), 0);
}

TEST_F(PackedState, OldDemoStatesSlideTheRiderAlongTheBike)
{
    // Version 4: the 39-byte state's first 20 bytes, then slide, wheels, control, rpm.
    const packed_rider_state s = pack();
    uint8_t old[26];
    std::memcpy(old, s.bytes, 20);
    old[20] = 255;           // the far end of the rider's travel
    old[21] = s.bytes[34];
    old[22] = s.bytes[35];
    old[23] = 0x32;          // third gear, throttle 3/15
    old[24] = 0xFF;
    old[25] = 0x7F;          // 32767: half of 32768 rpm
    bike_unpack_state(r, ground.get(), old, 4);

    const bike_info* info = bike_info_at(r->bike_index);
    const float* d = info->rider_travel_axis;
    const double len = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
    const dReal* frame = dBodyGetPosition(r->bodies[body_frame]);
    const dReal* rider = dBodyGetPosition(r->bodies[body_rider]);
    for (int i = 0; i < 3; ++i) {
        const double rest = double(info->rider_position[i]) - info->frame_position[i];
        EXPECT_NEAR(rider[i] - frame[i], rest + info->rider_travel_range[1] * d[i] / len, 1e-3) << i;
    }
    EXPECT_EQ(r->gear, 2);
    EXPECT_FLOAT_EQ(r->throttle, 0.2f);
    EXPECT_NEAR(r->engine_speed, 32767.0 / 65535.0 * 32768.0 * M_PI / 30.0, 1e-3);
    packed_rider_state again;
    bike_pack_state(r, ground.get(), &again);
    EXPECT_EQ(0, std::memcmp(again.bytes, s.bytes, 20)) << "the bike itself is placed as before";
}

TEST_F(PackedState, PackUnpackPackIsByteIdenticalOnLiveBikes)
{
    random_seed(1234);
    for (int round = 0; round < 200; ++round) {
        bike_reset(r);
        const float angle = float(random_next() % 6283) / 1000.0f;
        bike_rotate(r, 0.0f, 1.0f, 0.0f, angle);
        bike_translate(r, 20.0f + float(random_next() % 200), float(random_next() % 30), 20.0f + float(random_next() % 200));
        // Shake every body for a few ticks so that every joint moves off its rest.
        for (int tick = 0; tick < 12; ++tick) {
            for (dBodyID body : r->bodies) {
                dMass m;
                dBodyGetMass(body, &m);
                dBodyAddForce(body, (double(random_next() % 2001) - 1000.0) * m.mass * 0.3,
                              (double(random_next() % 2001) - 1000.0) * m.mass * 0.3,
                              (double(random_next() % 2001) - 1000.0) * m.mass * 0.3);
                dBodyAddTorque(body, (double(random_next() % 2001) - 1000.0) * 0.05,
                               (double(random_next() % 2001) - 1000.0) * 0.05, (double(random_next() % 2001) - 1000.0) * 0.05);
            }
            dWorldStep(physics_world, 1.0 / 128.0);
        }
        r->gear = int(random_next() % 5);  // this bike has five gears
        r->throttle = float(random_next() % 100) / 100.0f;
        r->engine_speed = float(random_next() % 1200);
        const packed_rider_state first = pack();
        double live[kBikeBodies][3];
        for (int b = 0; b < kBikeBodies; ++b)
            for (int i = 0; i < 3; ++i)
                live[b][i] = dBodyGetPosition(r->bodies[b])[i];
        bike_unpack_state(r, ground.get(), first.bytes, 5);
        // Every body lands where it was, give or take the coding steps, the joints' slack
        // and joints shaken past their stops.
        for (int b = 0; b < kBikeBodies; ++b)
            for (int i = 0; i < 3; ++i)
                ASSERT_NEAR(dBodyGetPosition(r->bodies[b])[i], live[b][i], 0.2) << "round " << round << " body " << b;
        const packed_rider_state second = pack();
        EXPECT_EQ(hex(first), hex(second)) << "round " << round;
    }
}
