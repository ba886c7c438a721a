// Seeded random and cut datagrams, and random reliable records, thrown at the client
// from the server's address in each of its states: nothing crashes, no table is written
// past its end (the sanitizers watch), and a packet shorter than its type needs never
// moves the state.
#include "net_client_fixture.h"

#include "race/net/net_channel.h"
#include "race/net/wire_server.h"

#include <cstring>
#include <random>
#include <tuple>

using namespace nettest;
namespace ts = test_server;

namespace {

class Fuzz : public Scripted, public ::testing::WithParamInterface<std::tuple<int, int>> {
protected:
    const int state = std::get<0>(GetParam());
    std::mt19937 random{uint32_t(std::get<1>(GetParam())) * 7919u + uint32_t(state)};

    uint32_t below(uint32_t n) { return random() % n; }

    void reach(int state)
    {
        switch (state) {
        case 0:
            break;
        case 3:
        case 5:
        case 9:
        case 11:
            walk_to(state);
            break;
        case 7:
            walk_to(5);
            push(ts::rider_info(race_id, 4, "a\n1\nA"));
            break;
        case 14:
            walk_to(11);
            push(ts::new_race(race_id + 1));
            break;
        case 15:
            walk_to(11);
            net_menu_disconnect();
            break;
        }
        ASSERT_EQ(net_state, state);
    }

    Bytes random_datagram()
    {
        static const uint8_t types[] = {1, 2, 4, 6, 8, 10, 11, 14, 16, 17, 18, 25, 0, 3, 30, 255};
        Bytes d(below(1100));
        for (uint8_t& b : d)
            b = uint8_t(random());
        if (d.empty())
            return d;
        d[0] = types[below(sizeof types)];
        // Race ids and slots near the real ones now and then, so that more gets in.
        if (d.size() >= 5 && below(2))
            d[1] = uint8_t(race_id), d[2] = d[3] = d[4] = 0;
        if (d[0] == 17 && d.size() >= 6) {
            const uint32_t sequence = net_expected_sequence + below(4);
            memcpy(&d[1], &sequence, 4);
            static const uint8_t records[] = {19, 20, 21, 24, 27, 32, 3, 99};
            d[5] = records[below(sizeof records)];
        }
        return d;
    }

    // A datagram of a type that changes things, cut below its type's fixed part.
    Bytes short_datagram()
    {
        static const uint8_t types[] = {2, 4, 6, 8, 10, 11, 14, 25};
        const uint8_t type = types[below(sizeof types)];
        Bytes d(size_t(net_server_packet_min(type)) - 1 - below(uint32_t(net_server_packet_min(type)) - 1));
        for (uint8_t& b : d)
            b = uint8_t(random());
        d[0] = type;
        return d;
    }
};

TEST_P(Fuzz, NothingBreaks)
{
    reach(state);
    for (int i = 0; i < 40; ++i) {
        const Bytes d = short_datagram();
        server.send_to(client, d);
        net_step();
        ASSERT_EQ(net_state, state) << "a short packet of type " << int(d[0]);
    }
    for (int i = 0; i < 300 && net_socket != -1; ++i) {
        server.send_to(client, random_datagram());
        step();
        ASSERT_GE(net_own_slot, 0);
        ASSERT_LE(net_own_slot, 160);
        ASSERT_LE(net_highest_slot, 160);
    }
}

INSTANTIATE_TEST_SUITE_P(Client, Fuzz,
                         ::testing::Combine(::testing::Values(0, 3, 5, 7, 9, 11, 14, 15), ::testing::Range(0, 3)));

}  // namespace
