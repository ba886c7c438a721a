// Racing against a scripted server: the tick kept in step, the other riders' states
// taken into their histories, new races, leaving, redirects, strangers, and the fake
// lag and loss of the receive step.
#include "net_client_fixture.h"

#include "race/program/menu_state.h"
#include "race/net/net_channel.h"
#include "race/net/net_messages.h"
#include "race/rider_history.h"
#include "race/program/run_clock.h"
#include "race/net/wire_bytes.h"
#include "sim/race_clock.h"
#include "sim/stock_shapes.h"

#include <cstring>

using namespace nettest;
namespace ts = test_server;

namespace {

ts::StateEntry entry(uint16_t slot, uint32_t tick, uint8_t fill, uint16_t ping = 9)
{
    ts::StateEntry e{slot, ping, tick, {}};
    e.state.fill(fill);
    return e;
}

TEST_F(Scripted, TheTickFollowsTheNewestServerTick)
{
    walk_to(9);
    struct sync_case {
        uint32_t server_tick;
        int32_t want_estimate;    // right after the step that took it
        uint32_t want_newest;
    };
    // The step adds 1 to a positive estimate before it receives.
    const sync_case cases[] = {
        {1000, 1000, 1000},
        {999, 1001, 1000},          // older: nothing, the estimate grows
        {1002, 1002, 1002},
        {1002, 1003, 1002},         // equal: nothing
        {1u << 30, 1 << 30, 1u << 30},
    };
    for (const sync_case& c : cases) {
        SCOPED_TRACE(c.server_tick);
        push(ts::tick_sync(race_id, c.server_tick, 0));
        EXPECT_EQ(net_server_tick, c.want_estimate);
        EXPECT_EQ(net_newest_server_tick, c.want_newest);
    }
    EXPECT_EQ(net_state, 11);
}

TEST_F(Scripted, PingIsTheCurrentTickLessTheEcho)
{
    walk_to(11);
    current_tick = 5000;
    push(ts::tick_sync(race_id, 2000, 4990));
    EXPECT_EQ(net_ping[3], 10);
    push(ts::tick_sync(race_id, 2001, 0));
    EXPECT_EQ(net_ping[3], 10) << "no echo, no ping";
}

TEST_F(Scripted, RiderStatesReachTheHistoriesOfRemoteRidersOnly)
{
    race.kinds[2] = rider_kind_remote;
    walk_to(5);
    push(ts::rider_info(race_id, 2, "rm125\n1\nA"));
    push(ts::race_start(race_id, 3, "x\n1\nB"));
    push(ts::tick_sync(race_id, 100, 0));
    ASSERT_EQ(race.kinds[2], rider_kind_remote);
    race.kinds[7] = rider_kind_bot;
    current_tick = 300;
    push(ts::rider_states(race_id, 110, 295,
                          {entry(2, 50, 0x11, 17), entry(2, 50, 0x22), entry(2, 40, 0x33), entry(2, 60, 0x44),
                           entry(7, 70, 0x55), entry(3, 70, 0x66), entry(160, 80, 0x77), entry(65535, 80, 0x77)}));
    EXPECT_EQ(net_state_tick[2], 60u);
    EXPECT_EQ(net_ping[2], 9);
    EXPECT_EQ(net_ping[3], 5) << "the own ping from the echo";
    EXPECT_EQ(net_state_tick[7], 0u);
    EXPECT_EQ(net_state_tick[3], 0u);
    EXPECT_EQ(net_newest_server_tick, 110u);
    int32_t older = -1, newer = -1;
    ASSERT_TRUE(history_find_pair(2, 55, &older, &newer));
    EXPECT_EQ(history_ticks[2][older], 50);
    EXPECT_EQ(history_states[2][older][0], 0x11) << "the duplicate was not taken";
    EXPECT_EQ(history_ticks[2][newer], 60);
    EXPECT_EQ(history_states[2][newer][0], 0x44);
    EXPECT_FALSE(history_find_pair(7, 70, &older, &newer));
}

TEST_F(Scripted, ShortAndCutStatePacketsKeepWhatLiesWhole)
{
    race.kinds[2] = rider_kind_remote;
    walk_to(5);
    push(ts::rider_info(race_id, 2, "rm125\n1\nA"));
    push(ts::race_start(race_id, 3, "x\n1\nB"));
    race.kinds[2] = rider_kind_remote;
    push(ts::tick_sync(race_id, 100, 0));

    Bytes too_small = ts::rider_states(race_id, 200, 0, {entry(2, 20, 1)});
    too_small.resize(63);
    ConsoleCapture out;
    push(too_small);
    EXPECT_NE(out.text().find("State packet too small"), std::string::npos);
    EXPECT_EQ(net_state_tick[2], 0u);
    EXPECT_EQ(net_newest_server_tick, 100u);

    Bytes cut = ts::rider_states(race_id, 300, 0, {entry(2, 30, 1), entry(2, 31, 2)});
    cut.resize(cut.size() - 1);
    push(cut);
    EXPECT_EQ(net_state_tick[2], 30u) << "the whole entry before the cut is kept";
    EXPECT_EQ(net_newest_server_tick, 100u) << "and the sync dropped";

    push(ts::rider_states(race_id, 400, 0, {}));
    EXPECT_EQ(net_newest_server_tick, 400u) << "no entries: a sync alone";
}

TEST_F(Scripted, RacingSendsNothingOfItsOwnWithoutARiderAndWatchersKeepAlive)
{
    walk_to(11, 160);
    EXPECT_EQ(net_own_lineup, 160);
    sent();
    ASSERT_LT(run_clock, 5.0);
    while (run_clock < 5.0)
        step();
    const double queued_at = run_clock;
    step(2);  // queued, then sent by the resend of the next step
    std::vector<Bytes> alive;
    for (Bytes& b : sent()) {
        EXPECT_NE(b[0], 11) << "a watcher sends no state";
        if (b[0] == 17)
            alive.push_back(b);
    }
    ASSERT_EQ(alive.size(), 1u);
    EXPECT_EQ(alive[0][13], 20);
    EXPECT_EQ(std::string(alive[0].begin() + 14, alive[0].end()), "Hello server, I'm still here!");
    EXPECT_DOUBLE_EQ(net_keepalive_time, queued_at + 10);
    push(ts::ack(0));
    run_for(9.9);
    EXPECT_TRUE(sent(17).empty());
    run_for(0.2);
    EXPECT_EQ(sent(17).size(), 1u);
}

TEST_F(Scripted, RiderInfoWaitsWhileTheSetupScreensAreOpen)
{
    walk_to(11);
    sent();
    net_rider_info_pending = 1;
    menu_screen = 7;  // the bike setup
    step(3);
    EXPECT_TRUE(sent(17).empty());
    menu_screen = -1;
    step(2);
    std::vector<Bytes> info = sent(17);
    ASSERT_EQ(info.size(), 1u);
    EXPECT_EQ(info[0][13], 3);
    EXPECT_EQ(std::string(info[0].begin() + 14, info[0].end()), "yz250f(2017)||||\n999\nQuinlo Dust");
    EXPECT_EQ(net_rider_info_pending, 0);
}

TEST_F(Scripted, ANewRaceIsAcknowledgedEachSecondAndTheNextTrackInfoStartsIt)
{
    walk_to(11);
    push(ts::new_race(race_id));
    push(ts::new_race(race_id - 1));
    EXPECT_EQ(net_state, 11) << "an id not greater is ignored";
    sent();
    const ConsoleCapture out;
    push(ts::new_race(race_id + 1));
    EXPECT_EQ(net_state, 14);
    EXPECT_EQ(net_race_id, race_id + 1);
    run_for(2.05);
    std::vector<Bytes> acks = sent(14);
    EXPECT_GE(acks.size(), 2u);
    EXPECT_LE(acks.size(), 3u);
    EXPECT_EQ(wire_get_u32(&acks.at(0)[9]), race_id + 1);
    EXPECT_NE(out.text().find("Sending restart\n"), std::string::npos);
    push(ts::track_info(race_id, 0, 3, 640, known_hash(), kTrack));
    EXPECT_EQ(net_state, 14) << "track info for the old race";
    push(ts::track_info(race_id + 1, 0, 3, 640, known_hash(), kTrack));
    EXPECT_EQ(net_state, 5);
}

TEST_F(Scripted, RequestRestartSendsOneWhileRacing)
{
    walk_to(9);
    net_request_restart();
    EXPECT_TRUE(sent(13).empty());
    push(ts::tick_sync(race_id, 10, 0));
    sent();
    net_request_restart();
    std::vector<Bytes> r = sent(13);
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(hex(r[0]), "0D 03 00 00 00 04 03 02 01 01 00 00 00");
}

TEST_F(Scripted, DisconnectWhileSayingHelloResetsAtOnce)
{
    const ConsoleCapture out;
    net_menu_disconnect();
    EXPECT_EQ(out.text(), "Disconnected\n");
    EXPECT_EQ(net_socket, -1);
    EXPECT_EQ(net_server_name, nullptr);
}

TEST_F(Scripted, LeavingWhileRacingRepeatsUntilTheServerAnswersThenResetsEveryField)
{
    walk_to(11);
    net_rider_info_pending = 1;
    net_text_command("off_course_bias 3.5");
    net_text_command("no_arcade");
    net_queue_reliable(19, "hi", 2);
    net_menu_disconnect();
    EXPECT_EQ(net_state, 15);
    sent();
    run_for(2.05);
    EXPECT_EQ(sent(15).size(), 2u);
    const ConsoleCapture out;
    push(ts::disconnected());
    EXPECT_EQ(out.text(), "Disconnected\n");
    EXPECT_EQ(net_socket, -1);
    EXPECT_EQ(net_server_name, nullptr);
    EXPECT_EQ(net_state, 0);
    EXPECT_EQ(net_server_tick, 0);
    EXPECT_EQ(net_newest_server_tick, 0u);
    EXPECT_EQ(net_reported_position, 0);
    EXPECT_EQ(net_last_send_time, 0);
    EXPECT_EQ(net_own_slot, 160);
    EXPECT_EQ(net_connection_id, 0u);
    EXPECT_EQ(net_race_id, 0u);
    EXPECT_EQ(net_time_limit_ticks, 0);
    EXPECT_EQ(net_laps, 0);
    EXPECT_EQ(net_lineup[160], 0);
    EXPECT_EQ(net_own_lineup, 160);
    EXPECT_EQ(net_rider_info_pending, 0);
    EXPECT_EQ(net_arcade_disabled, 0);
    EXPECT_EQ(off_course_bias, 10.0f);
    EXPECT_EQ(off_course_scale, 1.5f);
    EXPECT_EQ(net_outgoing_queue, nullptr);
    EXPECT_EQ(net_keepalive_time, 5.0) << "the reset leaves the keep-alive time";
}

TEST_F(Scripted, ASilentServerIsLeftAfterFiveDisconnects)
{
    walk_to(11);
    net_menu_disconnect();
    sent();
    const ConsoleCapture out;
    run_for(5.5);
    EXPECT_EQ(sent(15).size(), 5u);
    EXPECT_EQ(net_state, 15);
    run_for(1.0);
    EXPECT_EQ(net_socket, -1);
    EXPECT_NE(out.text().find("Disconnected\n"), std::string::npos);
}

TEST_F(Scripted, ShutdownSendsOneDisconnect)
{
    walk_to(9);
    sent();
    net_send_disconnect();
    std::vector<Bytes> d = sent();
    ASSERT_EQ(d.size(), 1u);
    EXPECT_EQ(hex(d[0]), "0F 03 00 00 00 04 03 02 01");
}

TEST_F(Scripted, ServerIsFullDoesNotStopTheHellos)
{
    const ConsoleCapture out;
    push(ts::server_full());
    EXPECT_EQ(out.text(), "Server is full\n");
    run_for(1.05);
    EXPECT_EQ(sent(0).size(), 1u);
    EXPECT_EQ(net_state, 0);
}

TEST_F(Scripted, ARedirectWithTheNonceJoinsTheNamedServer)
{
    ts::UdpEndpoint second;
    ASSERT_TRUE(second.open());
    const std::string target = "127.0.0.1:" + std::to_string(second.port());
    push(ts::redirect(kNonce + 1, target));
    EXPECT_EQ(net_socket != -1, true) << "a wrong nonce is ignored";
    EXPECT_EQ(net_state, 0);
    push(ts::redirect(kNonce, target));
    ASSERT_NE(net_server_name, nullptr);
    EXPECT_EQ(std::string(net_server_name), target);
    step();
    ts::Peer from;
    std::vector<Bytes> at_second = peer_take(second, &from);
    ASSERT_EQ(at_second.size(), 1u);
    EXPECT_EQ(at_second[0][0], 0);
}

TEST_F(Scripted, DatagramsFromStrangersAreDropped)
{
    walk_to(11);
    ts::UdpEndpoint stranger;
    ASSERT_TRUE(stranger.open());
    stranger.send_to(client, ts::kick("You are kicked"));
    stranger.send_to(client, ts::reliable(0, 24, bytes_of("redirect 10.0.0.1")));
    step();
    EXPECT_EQ(net_state, 11);
    EXPECT_EQ(net_redirect_time, 0);
    EXPECT_EQ(net_stranger_datagrams, 2);
}

TEST_F(Scripted, ARedirectCommandLeavesAfterTenSecondsAndThenJoinsTheTarget)
{
    ts::UdpEndpoint second;
    ASSERT_TRUE(second.open());
    const std::string target = "127.0.0.1:" + std::to_string(second.port());
    walk_to(11);
    const ConsoleCapture out;
    push(ts::reliable(0, 24, bytes_of("  redirect " + target + " \t ")));
    EXPECT_NE(out.text().find("Redirecting to '" + target + "' in 10 seconds"), std::string::npos);
    run_for(9.9);
    EXPECT_EQ(net_state, 11);
    run_for(0.2);
    EXPECT_EQ(net_state, 15);
    EXPECT_NE(out.text().find("Redirecting to '" + target + "'\n"), std::string::npos);
    run_for(1.0);
    sent();
    push(ts::disconnected());
    ASSERT_NE(net_server_name, nullptr);
    EXPECT_EQ(std::string(net_server_name), target);
    step();
    std::vector<Bytes> at_second = peer_take(second);
    ASSERT_EQ(at_second.size(), 1u);
    EXPECT_EQ(at_second[0][0], 0);
}

TEST_F(ClientFixture, ConnectFailuresClearTheServerName)
{
    struct failure {
        int shapes;
        const char* server;
        const char* message;
    };
    const failure cases[] = {
        {0, "127.0.0.1:1", "Fixed file mismatch\n"},
        {1, "", "Can't resolve address\n"},
    };
    for (const failure& f : cases) {
        stock_shapes_flag = f.shapes;
        const ConsoleCapture out;
        net_menu_connect(f.server);
        step();
        EXPECT_EQ(out.text(), f.message);
        EXPECT_EQ(net_server_name, nullptr);
        EXPECT_EQ(net_socket, -1);
    }
}

TEST_F(ClientFixture, AServerTextIsCutTo127Characters)
{
    net_menu_connect(std::string(300, 'a').c_str());
    EXPECT_EQ(strlen(net_server_name), 127u);
}

// The lag queue: each datagram waits until now > its arrival + lag; order is kept.
TEST_F(Scripted, FakeLagHoldsEachDatagramBackInArrivalOrder)
{
    walk_to(3);
    net_fake_lag = 0.25;
    const double arrival = run_clock;
    server.send_to(client, ts::track_info(race_id, 0, 3, 640, known_hash(), kTrack));
    server.send_to(client, ts::rider_info(race_id, 2, "a\n1\nA"));
    step();
    EXPECT_EQ(net_state, 3);
    while (run_clock <= arrival + 0.25) {
        step();
        EXPECT_EQ(net_state, 3);
    }
    step();
    EXPECT_EQ(net_state, 7) << "both dispatched in order in one step";
}

TEST_F(Scripted, TheLagQueueCutsA1024ByteDatagramAndRefusesLongerOnes)
{
    walk_to(11);
    net_fake_lag = 0.01;
    Bytes kick(1024, 'k');
    kick[0] = 16;
    Bytes too_long(1100, 'x'), one_too_long(1025, 'x');
    too_long[0] = one_too_long[0] = 16;
    server.send_to(client, too_long);
    server.send_to(client, one_too_long);
    ConsoleCapture out;
    step();
    EXPECT_EQ(out.text().find("EMSGSIZE"), std::string::npos) << "dropped without a line: " << out.text();
    EXPECT_EQ(net_stranger_datagrams, 2);
    EXPECT_EQ(net_state, 11);
    server.send_to(client, kick);
    run_for(0.05);
    EXPECT_EQ(net_state, 15);
    EXPECT_NE(out.text().find(std::string(1022, 'k') + "\n"), std::string::npos);
    EXPECT_EQ(out.text().find(std::string(1023, 'k')), std::string::npos);
}

// Without fake lag the buffer holds 1023 bytes: a datagram that long is taken whole,
// one byte longer is dropped alone.
TEST_F(Scripted, TheDirectReceiveTakesA1023ByteDatagramAndRefusesLongerOnes)
{
    walk_to(11);
    Bytes kick(1023, 'k'), one_too_long(1024, 'x');
    kick[0] = one_too_long[0] = 16;
    ConsoleCapture out;
    push(one_too_long);
    EXPECT_EQ(out.text().find("EMSGSIZE"), std::string::npos) << "dropped without a line: " << out.text();
    EXPECT_EQ(net_stranger_datagrams, 1);
    EXPECT_EQ(net_state, 11);
    push(kick);
    EXPECT_EQ(net_state, 15);
    EXPECT_NE(out.text().find(std::string(1022, 'k') + "\n"), std::string::npos);
    EXPECT_EQ(net_stranger_datagrams, 1);
}

TEST_F(Scripted, FakeLossDropsNearlyEverythingAndRepeatsForOneSeed)
{
    walk_to(11);
    net_fake_loss = 100;
    auto run = [&](uint32_t seed) {
        net_fake_loss_seed(seed);
        net_newest_server_tick = 0;
        std::vector<uint32_t> taken;
        for (uint32_t t = 1; t <= 400; ++t) {
            server.send_to(client, ts::tick_sync(race_id, 100000 + t, 0));
            step();
            if (net_newest_server_tick && (taken.empty() || taken.back() != net_newest_server_tick))
                taken.push_back(net_newest_server_tick);
        }
        return taken;
    };
    const std::vector<uint32_t> a = run(12345);
    const std::vector<uint32_t> b = run(12345);
    EXPECT_EQ(a, b);
    EXPECT_LE(a.size(), 8u) << "about 1 in 500 gets through";
}

}  // namespace
