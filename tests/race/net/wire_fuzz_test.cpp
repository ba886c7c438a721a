// Seeded random and cut datagrams thrown at every parser and through the reliable
// receive into the record parsers: nothing crashes or reads outside the datagram (the
// sanitizer build watches), and nothing shorter than its fixed part is ever taken.
#include "net_test_peer.h"
#include "race/net/net_channel.h"
#include "race/net/net_connection.h"
#include "race/net/net_messages.h"
#include "race/net/wire_records.h"
#include "race/net/wire_server.h"
#include "server_wire.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

using namespace nettest;

namespace {

const uint8_t server_types[] = {1, 2, 4, 6, 8, 10, 11, 14, 15, 16, 17, 18, 25};
const uint8_t record_types[] = {19, 20, 21, 24, 27, 32};

// A failure message when a parser took what it should have refused, else "".
std::string parse_all(const std::vector<uint8_t>& datagram)
{
    std::vector<uint8_t> copy = datagram;  // exactly the datagram and the terminator's byte
    copy.push_back(0xEE);
    uint8_t* p = copy.data();
    const int n = int(datagram.size());
    const int type = net_server_packet_type(p, n);
    std::string bad;
    auto check = [&](bool taken, uint8_t want) {
        if (taken && (n < net_server_packet_min(want) || p[0] != want))
            bad += "type " + std::to_string(want) + " taken at length " + std::to_string(n) + "\n";
        if (taken != (type == want))
            bad += "type " + std::to_string(want) + " disagrees with the table at " + std::to_string(n) + "\n";
    };
    check(bool(net_parse_hello_reply(p, n)), 2);
    if (auto t = net_parse_track_info(p, n)) {
        check(true, 4);
        bad += strlen(t->folder.text) > size_t(t->folder.length) ? "folder runs on\n" : "";
    } else {
        check(false, 4);
    }
    check(bool(net_parse_rider_info(p, n)), 6);
    check(bool(net_parse_race_start(p, n)), 8);
    check(bool(net_parse_tick_sync(p, n)), 10);
    if (auto s = net_parse_rider_states(p, n)) {
        check(true, 11);
        uint32_t sum = 0;
        for (int i = 0; i < s->whole; ++i) {
            net_state_entry e = net_state_entry_at(*s, i);
            sum += e.slot + e.tick + e.state[38];
        }
        (void)sum;
    } else {
        check(false, 11);
    }
    check(bool(net_parse_new_race(p, n)), 14);
    check(bool(net_parse_kick(p, n)), 16);
    check(bool(net_parse_reliable(p, n)), 17);
    check(bool(net_parse_ack(p, n)), 18);
    check(bool(net_parse_redirect(p, n)), 25);
    return bad;
}

// The record parsers over one delivered packet.
std::string parse_records(const std::string& delivered)
{
    // The delivery holds the packet and the byte after it, which must be the terminator.
    if (delivered.empty() || delivered.back() != '\0')
        return "a delivery without its terminator\n";
    std::vector<uint8_t> p(delivered.begin(), delivered.end());
    const int n = int(p.size()) - 1;
    std::string bad;
    if (n < 6)
        bad += "a delivery shorter than a record\n";
    if (auto t = net_parse_timing(p.data(), n)) {
        if (n < 14)
            bad += "timing taken short\n";
        for (int i = 0; i < t->whole; ++i)
            (void)net_timing_entry_at(*t, i).tick;
    }
    if (auto d = net_parse_deformation(p.data(), n)) {
        if (n < 10 || d->record_length < 0)
            bad += "deformation taken short\n";
        if (d->record_length > 0)
            (void)d->record[d->record_length - 1];
    }
    if (auto text = net_parse_record_text(p.data(), n))
        (void)strlen(text->text);
    return bad;
}

class Fuzz : public ::testing::Test {
protected:
    std::mt19937 random{20261208};
    test_server::UdpEndpoint peer;
    test_server::Peer client;
    std::string problems;
    int delivered = 0;

    void SetUp() override
    {
        ASSERT_TRUE(peer.open());
        connect_client(peer.port(), 4, 77);
        uint8_t one = 0;
        net_send(net_socket, &one, 1, &net_server_address);
        peer_take(peer, &client);
    }
    void TearDown() override { disconnect_client(); }

    uint32_t below(uint32_t n) { return uint32_t(random() % n); }

    std::vector<uint8_t> random_datagram()
    {
        std::vector<uint8_t> d(below(1101));
        for (uint8_t& b : d)
            b = uint8_t(random());
        if (d.empty() || below(10) < 2)
            return d;
        d[0] = server_types[below(sizeof server_types)];
        if (d[0] == 17 && d.size() >= 6) {
            // Sequences near the expected one, so that packets are held and delivered.
            uint32_t sequence = net_expected_sequence + below(1100) - 40;
            memcpy(&d[1], &sequence, 4);  // the test's host is little-endian, as the wire
            d[5] = record_types[below(sizeof record_types)];
        }
        return d;
    }

    // What the client's receive step does with one datagram.
    void take(const std::vector<uint8_t>& d)
    {
        problems += parse_all(d);
        if (!d.empty() && (d[0] == 17 || d[0] == 18)) {
            std::vector<uint8_t> copy = d;
            copy.push_back(0xEE);
            if (d[0] == 17)
                net_reliable_receive(copy.data(), int(d.size()));
            else
                net_reliable_acknowledged(copy.data(), int(d.size()));
        }
        for (const std::string& m : net_delivered_messages())
            problems += parse_records(m);
        delivered += int(net_delivered_messages().size());
        net_delivered_messages().clear();
        if (problems.size() > 2000)
            FAIL() << problems;
    }

    std::vector<std::vector<uint8_t>> golden()
    {
        using namespace test_server;
        TrackHash hash{};
        PackedState state{};
        return {server_full(), hello_reply(1, 2, 6), track_info(1, 2, 3, 4, hash, "flat"),
                rider_info(1, 2, "a|b|c|d|e\n1\nx"), race_start(1, 2, "me"), tick_sync(1, 2, 3),
                rider_states(1, 2, 3, {{1, 2, 3, state}, {4, 5, 6, state}}), new_race(5), disconnected(),
                kick("go"), ack(0), redirect(1, "127.0.0.1:1"), reliable(0, 19, bytes_of("chat")),
                reliable(0, 20, {}), reliable(0, 21, timing_payload(1, {{1, 2, 3}, {4, 5, 6}})),
                reliable(0, 24, bytes_of("sendready")), reliable(0, 27, deformation_payload(1, Bytes(17, 1))),
                reliable(0, 32, script_payload(1, "hi"))};
    }
};

}  // namespace

TEST_F(Fuzz, RandomDatagramsAreTakenOrRefusedSafely)
{
    for (int i = 0; i < 100000; ++i) {
        take(random_datagram());
        if (i % 256 == 0)
            peer_take(peer);  // the acknowledgments
    }
    EXPECT_EQ(problems, "");
    EXPECT_GT(delivered, 100) << "the fuzz should reach the record parsers";
}

TEST_F(Fuzz, GoldenPacketsCutAndExtended)
{
    for (const std::vector<uint8_t>& g : golden()) {
        for (size_t n = 0; n <= g.size(); ++n)
            take(std::vector<uint8_t>(g.begin(), g.begin() + long(n)));
        for (int extra = 1; extra <= 16; ++extra) {
            std::vector<uint8_t> d = g;
            for (int i = 0; i < extra; ++i)
                d.push_back(uint8_t(random()));
            take(d);
        }
        net_reliable_reset();
        peer_take(peer);
    }
    EXPECT_EQ(problems, "");
}

TEST_F(Fuzz, RandomDatagramsOverTheSocket)
{
    uint8_t buffer[net_receive_buffer];
    net_address from;
    int taken = 0, too_long = 0;
    for (int i = 0; i < 3000; ++i) {
        std::vector<uint8_t> d = random_datagram();
        ASSERT_TRUE(peer.send_to(client, d));
        int n = net_receive(net_socket, buffer, net_max_datagram, &from);
        if (n < 0) {
            ASSERT_STREQ(net_last_error, "EMSGSIZE");
            ASSERT_GT(d.size(), size_t(net_max_datagram));
            ++too_long;
            continue;
        }
        ASSERT_EQ(std::vector<uint8_t>(buffer, buffer + n), d);
        take(std::vector<uint8_t>(buffer, buffer + n));
        ++taken;
        if (i % 64 == 0)
            peer_take(peer);
    }
    EXPECT_EQ(problems, "");
    EXPECT_GT(too_long, 0);
    EXPECT_GT(taken, 2000);
}
