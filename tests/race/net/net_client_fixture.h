// The whole network client against a server on loopback, on clocks the test drives:
// run_clock starts above 1 s and goes 1/128 s per step, current_tick goes 1 per step,
// the nonce's calendar seconds are fixed and the track reset is a stand-in that
// records its arguments, makes the lineup's riders kinds (1 local, 5 remote) and
// leaves a known track hash.
#pragma once
#include "client_stand_ins.h"
#include "net_test_peer.h"
#include "race/net/net_client.h"
#include "server_wire.h"
#include "support/console_capture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace nettest {

inline constexpr uint32_t kNonce = client_stand_ins::kCalendarSeconds;
inline constexpr uint32_t kConnection = 0x01020304;
inline const std::string kTrack = "tracks/flat";

test_server::TrackHash known_hash();

struct reset_call {
    std::vector<int32_t> lineup;   // 161 entries
    int replay, record;
    int32_t limit, laps;
};
// Every stand-in track reset since the fixture began.
std::vector<reset_call>& reset_calls();
// Demo event blocks and script messages handed on.
struct demo_event {
    int type;
    std::string bytes;
};
std::vector<demo_event>& demo_events();
std::vector<std::string>& script_messages();
int& results_refreshes();

// The client put back as at program start with the seams installed; undone at the end.
class ClientFixture : public ::testing::Test {
protected:
    ConsoleCapture console;

    void SetUp() override;
    void TearDown() override;

    // One tick: the network step, then both clocks move on.
    void step(int n = 1);
    // Steps until run_clock has moved on by seconds.
    void run_for(double seconds);
};

// A client talking to a bare socket that plays the server, packet by packet.
class Scripted : public ClientFixture {
protected:
    test_server::UdpEndpoint server;
    test_server::Peer client;
    Bytes hello;   // the first datagram, sent by the connect

    void SetUp() override;
    // Sends a datagram to the client and runs one step to take it.
    void push(const Bytes& bytes);
    // What reached the server since the last call.
    std::vector<Bytes> sent();
    // The packets of one type among sent().
    std::vector<Bytes> sent(uint8_t type);
    // Walks the client to a state: 3, 5 (track info), 9 (race start with the lineup
    // value), 11 (a tick sync of server tick 1000).
    void walk_to(int state, int32_t lineup = 3);
    static constexpr uint32_t race_id = 7;
};

}  // namespace nettest
