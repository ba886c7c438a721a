// A server that means harm, on loopback: values the race cannot count, a stranger's
// flood of over-long datagrams, a server that never acknowledges and one that falls
// silent. The client refuses, keeps answering its server and leaves with its message.
#include "race/net/net_client_fixture.h"

#include "race/game_tick.h"
#include "race/net/net_channel.h"
#include "race/rider_history.h"
#include "race/program/run_clock.h"
#include "sim/race_clock.h"
#include "support/test_support.h"

#include <cstring>

using namespace nettest;
namespace ts = test_server;

namespace {

size_t count_of(const std::string& text, const std::string& part)
{
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

// The client back at program start, connecting again from a new socket.
void reconnect(ts::UdpEndpoint& server, ts::Peer& client, void (*step)())
{
    net_client_restore();
    net_menu_connect(("127.0.0.1:" + std::to_string(server.port())).c_str());
    step();
    peer_take(server, &client);
}

}  // namespace

// A tick of 2^31 became a negative current tick and a negative roost index; laps or a
// gate drop of 0x7fffffff overflowed in the race start. Each is refused with one line
// and the client leaves cleanly, with nothing of the value taken.
TEST_F(Scripted, RaceValuesPastTheRaceRangeAreRefusedAndTheClientLeaves)
{
    struct value_case {
        const char* what;
        int walk;      // the state the value arrives in
        Bytes packet;
    };
    const ts::TrackHash hash = known_hash();
    const value_case cases[] = {
        {"tick sync of 2^31", 9, ts::tick_sync(race_id, 0x80000000u, 0)},
        {"tick sync past 2^30", 11, ts::tick_sync(race_id, (1u << 30) + 1, 0)},
        {"rider states of tick 2^31", 9, ts::rider_states(race_id, 0xfffffff0u, 0, {})},
        {"laps 0x7fffffff", 3, ts::track_info(race_id, 0, 0x7fffffff, 640, hash, kTrack)},
        {"gate drop 0x7fffffff", 3, ts::track_info(race_id, 0, 3, 0x7fffffff, hash, kTrack)},
        {"negative time limit", 3, ts::track_info(race_id, -1, 3, 640, hash, kTrack)},
        {"first tick 0x7fffff00", 9, ts::tick_sync(race_id, 0x7fffff00u, 0)},
        {"first tick 2^30 + 1", 9, ts::tick_sync(race_id, (1u << 30) + 1, 0)},
        {"rider states of tick 2^30 + 1", 11, ts::rider_states(race_id, (1u << 30) + 1, 0, {})},
        {"time limit 2^30 + 1", 3, ts::track_info(race_id, (1 << 30) + 1, 3, 640, hash, kTrack)},
        {"laps 2^30 + 1", 3, ts::track_info(race_id, 0, (1 << 30) + 1, 640, hash, kTrack)},
        {"gate drop 2^30 + 1", 3, ts::track_info(race_id, 0, 3, (1 << 30) + 1, hash, kTrack)},
        {"negative laps", 3, ts::track_info(race_id, 0, -1, 640, hash, kTrack)},
        {"negative gate drop", 3, ts::track_info(race_id, 0, 3, -1, hash, kTrack)},
    };
    for (const value_case& c : cases) {
        SCOPED_TRACE(c.what);
        reset_calls().clear();
        reconnect(server, client, [] { net_step(); });
        walk_to(c.walk);
        const int32_t tick_before = current_tick;
        const size_t resets = reset_calls().size();
        const ConsoleCapture out;
        push(c.packet);
        EXPECT_EQ(count_of(out.text(), "Server sent an impossible"), 1u) << out.text();
        EXPECT_EQ(net_state, 15);
        EXPECT_GE(current_tick, tick_before) << "the tick never jumps to a server value";
        EXPECT_LE(net_newest_server_tick, 1u << 30);
        EXPECT_EQ(reset_calls().size(), resets) << "no race started on the value";
        step();
        EXPECT_FALSE(sent(15).empty()) << "a disconnect goes to the server";
        push(ts::disconnected());
        EXPECT_EQ(net_socket, -1);
    }

    // The last values in the range are taken.
    const value_case edges[] = {
        {"first tick 2^30", 9, ts::tick_sync(race_id, 1u << 30, 0)},
        {"tick sync of 2^30", 11, ts::tick_sync(race_id, 1u << 30, 0)},
        {"rider states of tick 2^30", 11, ts::rider_states(race_id, 1u << 30, 0, {})},
        {"track info of 2^30", 3, ts::track_info(race_id, 1 << 30, 1 << 30, 1 << 30, hash, kTrack)},
    };
    for (const value_case& c : edges) {
        SCOPED_TRACE(c.what);
        reconnect(server, client, [] { net_step(); });
        walk_to(c.walk);
        const ConsoleCapture out;
        push(c.packet);
        EXPECT_EQ(count_of(out.text(), "Server sent an impossible"), 0u) << out.text();
        EXPECT_NE(net_state, 15);
        if (c.walk == 3)
            EXPECT_TRUE(net_time_limit_ticks == 1 << 30 && net_laps == 1 << 30 && net_lineup[kRaceSlots] == 1 << 30);
        else
            EXPECT_EQ(net_newest_server_tick, 1u << 30);
    }
}

// An entry tick of 0x7fffffff froze that rider for the race: the placement's tick + 64
// overflowed. It is dropped; the entries beside it are taken.
TEST_F(Scripted, RiderStateTicksPastTheRaceRangeAreDropped)
{
    walk_to(11);
    race.kinds[4] = race.kinds[5] = rider_kind_remote;
    ts::StateEntry far{4, 9, 0x7fffffff, {}}, near{5, 9, 1200, {}};
    push(ts::rider_states(race_id, 1200, 0, {far, near}));
    EXPECT_EQ(net_state_tick[4], 0u);
    EXPECT_EQ(net_state_tick[5], 1200u);
    EXPECT_EQ(net_state, 11);
    // At the range's end: 2^30 + 1 dropped, 2^30 taken.
    race.kinds[6] = rider_kind_remote;
    ts::StateEntry past{4, 9, (1u << 30) + 1, {}}, last{6, 9, 1u << 30, {}};
    push(ts::rider_states(race_id, 1300, 0, {past, last}));
    EXPECT_EQ(net_state_tick[4], 0u);
    EXPECT_EQ(net_state_tick[6], 1u << 30);
    EXPECT_EQ(net_state, 11);

    // The placement itself stays finite next to the race range's end.
    uint8_t a[kPackedStateSize] = {}, b[kPackedStateSize] = {}, out[kPackedStateSize];
    memset(b, 0xff, sizeof b);
    state_blend(a, b, (1 << 30) - 8, INT32_MAX, INT32_MAX, 6, out);
    EXPECT_EQ(out[0], 0xff) << "a blend toward the newer state, not a frozen older one";
}

// Anyone who reaches the client's port sent 1500-byte datagrams: each failed the whole
// receive step with an "EMSGSIZE" line. Now each is dropped alone and the server's own
// packets behind them are answered in the same step.
TEST_F(Scripted, AStrangersFloodOfLongDatagramsNeitherStallsNorFillsTheMessages)
{
    walk_to(11);
    sent();
    ts::UdpEndpoint stranger;
    ASSERT_TRUE(stranger.open());
    const ConsoleCapture out;
    int acknowledged = 0, rounds = 0;
    const double start = bvtest::thread_cpu_seconds();
    for (uint32_t sequence = 0; sequence < 40; ++sequence, ++rounds) {
        for (int k = 0; k < 20; ++k)
            stranger.send_to(client, Bytes(1500, uint8_t(k)));
        server.send_to(client, Bytes(1500, 17));   // too long from the server too
        server.send_to(client, ts::reliable(sequence, 19, bytes_of("hi")));
        step();
        for (const Bytes& ack : sent(18))
            acknowledged += ack.size() == 13;
    }
    const double seconds = bvtest::thread_cpu_seconds() - start;
    EXPECT_EQ(acknowledged, rounds) << "every reliable packet acknowledged in the step it arrived";
    EXPECT_EQ(net_expected_sequence, 40u);
    EXPECT_EQ(net_stranger_datagrams, rounds * 21);
    EXPECT_EQ(out.text().find("EMSGSIZE"), std::string::npos);
    EXPECT_EQ(net_state, 11);
    EXPECT_LT(seconds, 10.0) << "bounded: 840 datagrams, in processor time";
}

// A server that never acknowledges made the answers queue without end, each append
// walking the whole queue. The queue stops at its cap and the connection ends as lost.
TEST_F(Scripted, AServerThatNeverAcknowledgesEndsTheConnectionAtTheQueueCap)
{
    walk_to(11);
    for (int i = net_outgoing_count; i < net_outgoing_cap; ++i)
        ASSERT_EQ(net_queue_reliable(19, "x", 1), 1);
    EXPECT_EQ(net_outgoing_count, net_outgoing_cap);
    const ConsoleCapture out;
    step();
    EXPECT_NE(net_socket, -1) << "a full queue is not yet lost";
    EXPECT_EQ(net_queue_reliable(19, "x", 1), 0) << "past the cap";
    EXPECT_EQ(net_outgoing_count, net_outgoing_cap);
    step();
    EXPECT_EQ(count_of(out.text(), "Connection to server lost"), 1u) << out.text();
    EXPECT_EQ(net_socket, -1);
    EXPECT_EQ(net_outgoing_queue, nullptr);
    EXPECT_EQ(net_outgoing_count, 0);
}

// Both minutes are measured to the step: 59.9 s stays, 60.1 s is lost.
TEST_F(Scripted, AServerThatTalksButNeverAcknowledgesIsLostAfterAMinute)
{
    walk_to(11);
    net_queue_reliable(19, "anyone there?", 13);
    step();
    ASSERT_NE(net_outgoing_queue, nullptr);
    const double sent_at = net_outgoing_queue->first_send_time;
    const ConsoleCapture out;
    uint32_t tick = 1000;
    auto talk_until = [&](double since) {
        while (net_socket != -1 && run_clock - sent_at < since)
            push(ts::tick_sync(race_id, ++tick, 0));   // talks every step, acknowledges nothing
    };
    talk_until(net_acknowledge_limit - 0.1);
    EXPECT_NE(net_socket, -1) << "unacknowledged for " << run_clock - sent_at << " s";
    talk_until(net_acknowledge_limit + 0.1);
    EXPECT_EQ(net_socket, -1) << "unacknowledged for " << run_clock - sent_at << " s";
    EXPECT_EQ(count_of(out.text(), "Connection to server lost"), 1u);
    EXPECT_GT(run_clock - sent_at, net_acknowledge_limit);
}

TEST_F(Scripted, ASilentServerIsLostAfterAMinuteInAnyState)
{
    for (int state : {0, 5, 11}) {
        SCOPED_TRACE(state);
        reconnect(server, client, [] { net_step(); });
        if (state != 0)
            walk_to(state);
        const double heard = net_last_heard_time;
        const ConsoleCapture out;
        while (net_socket != -1 && run_clock - heard < net_silence_limit - 0.1)
            step();
        EXPECT_NE(net_socket, -1) << "silent for " << run_clock - heard << " s";
        while (net_socket != -1 && run_clock - heard < net_silence_limit + 0.1)
            step();
        EXPECT_EQ(net_socket, -1) << "silent for " << run_clock - heard << " s";
        EXPECT_EQ(count_of(out.text(), "Connection to server lost"), 1u);
        EXPECT_GT(run_clock - heard, net_silence_limit);
        sent();
    }
}
