// Joining a server packet by packet: the golden bytes of the client's first packets,
// each state's packet and message, the refusals, the slot checks, restarts and leaving.
#include "net_client_fixture.h"

#include "race/program/menu_state.h"
#include "race/net/net_channel.h"
#include "race/program/run_clock.h"
#include "race/net/wire_bytes.h"
#include "sim/race_clock.h"
#include "sim/stock_shapes.h"
#include "test_server.h"

using namespace nettest;
namespace ts = test_server;

namespace {

const std::string kRiderText = "yz250f(2017)||||\n999\nQuinlo Dust";

TEST_F(Scripted, TheHelloAndTheClientInfoCarryTheirGoldenBytes)
{
    EXPECT_EQ(hex(hello), "00 01 00 00 00 00 00 00 00 2B 00 00 00 00 10 5E 5F 00 00 00 00");
    EXPECT_NE(console.text().find("Contacting server\n"), std::string::npos);
    EXPECT_EQ(net_state, 0);

    net_rider_info_pending = 1;
    push(ts::hello_reply(3, kConnection, 6));
    EXPECT_EQ(net_state, 3);
    std::vector<Bytes> info = sent(3);
    ASSERT_EQ(info.size(), 1u) << "the new state's packet goes at the next step";
    const Bytes& b = info[0];
    ASSERT_EQ(b.size(), 41 + kRiderText.size());
    EXPECT_EQ(hex(Bytes(b.begin(), b.begin() + 9)), "03 03 00 00 00 04 03 02 01");
    EXPECT_EQ(hex(Bytes(b.begin() + 9, b.begin() + 13)), "8A 20 8B F4");
    EXPECT_EQ(wire_get_u32(&b[17]), kNonce);
    EXPECT_EQ(std::string(b.begin() + 41, b.end()), kRiderText);
    EXPECT_EQ(net_rider_info_pending, 0);
    EXPECT_NE(console.text().find("Sending client info\n"), std::string::npos);

    // Repeated once a second, not every step.
    step(64);
    EXPECT_TRUE(sent(3).empty());
    step(70);
    EXPECT_EQ(sent(3).size(), 1u);
}

TEST_F(Scripted, TrackInfoClearsTheRaceTablesAndEachStateSendsItsPacket)
{
    walk_to(3);
    net_ping[9] = 44;
    net_state_tick[9] = 12;
    net_lineup[9] = 5;
    net_highest_slot = 9;
    push(ts::track_info(race_id, 15360, 3, 640, known_hash(), kTrack));
    EXPECT_EQ(net_state, 5);
    EXPECT_STREQ(net_track_name, "tracks/flat");
    EXPECT_EQ(net_ping[9], 0);
    EXPECT_EQ(net_state_tick[9], 0u);
    EXPECT_EQ(net_lineup[9], 0);
    EXPECT_EQ(net_lineup[160], 640) << "the gate drop is kept";
    EXPECT_EQ(net_highest_slot, 160);
    EXPECT_EQ(net_own_lineup, 160);
    std::vector<Bytes> ack = sent(5);
    ASSERT_EQ(ack.size(), 1u);
    EXPECT_EQ(hex(ack[0]), "05 03 00 00 00 04 03 02 01 07 00 00 00");
    EXPECT_NE(console.text().find("Sending track acknowledgment\n"), std::string::npos);

    push(ts::rider_info(race_id, 2, "rm125|body-a|bike-a|wheel-a|head-a\n12\nAda"));
    push(ts::rider_info(race_id, 5, "crf450\n7\nBo"));
    push(ts::rider_info(race_id, 4, "late\n4\nLate"));
    push(ts::rider_info(race_id, 200, "far\n1\nFar"));
    EXPECT_EQ(net_state, 7);
    EXPECT_EQ(net_highest_slot, 5);
    EXPECT_EQ(net_lineup[2], 5);
    EXPECT_EQ(net_lineup[5], 5);
    EXPECT_EQ(net_lineup[4], 0) << "at or below the highest slot taken";
    EXPECT_STREQ(net_rider_infos[2].bike, "rm125");
    EXPECT_STREQ(net_rider_infos[2].wheel_texture, "wheel-a");
    EXPECT_STREQ(net_rider_infos[2].head_texture, "head-a");
    EXPECT_STREQ(net_rider_infos[2].number, "12");
    EXPECT_STREQ(net_rider_infos[2].name, "Ada");
    EXPECT_STREQ(net_rider_infos[4].bike, "");
    std::vector<Bytes> bike_ack = sent(7);
    ASSERT_FALSE(bike_ack.empty());
    EXPECT_EQ(wire_get_i32(&bike_ack.back()[13]), 5);
    EXPECT_NE(console.text().find("Sending bike acknowledgment 5\n"), std::string::npos);

    push(ts::race_start(race_id, 3, kRiderText));
    EXPECT_EQ(net_state, 9);
    ASSERT_EQ(reset_calls().size(), 1u);
    const reset_call& r = reset_calls()[0];
    EXPECT_EQ(r.lineup[3], 1);
    EXPECT_EQ(r.lineup[2], 5);
    EXPECT_EQ(r.lineup[5], 5);
    EXPECT_EQ(r.lineup[160], 640);
    EXPECT_EQ(r.replay, 0);
    EXPECT_EQ(r.record, 0);
    EXPECT_EQ(r.limit, 15360);
    EXPECT_EQ(r.laps, 3);
    EXPECT_EQ(net_own_lineup, 3);
    EXPECT_EQ(sent(9).size(), 1u);

    const ConsoleCapture racing;
    push(ts::tick_sync(race_id, 1000, 0));
    EXPECT_EQ(net_state, 11);
    EXPECT_EQ(racing.text(), "2 minutes + 3 laps\n");
    EXPECT_EQ(current_tick, 1000 + 1) << "the first sync sets the tick (the step then adds one)";
}

TEST_F(Scripted, RiderInfoNamesThatCouldReachOutsideTheDataAreNone)
{
    walk_to(5);
    push(ts::rider_info(race_id, 0, "b|/etc/passwd|../x|a\\b|ok\n1234\nName\rEvil\nmore"));
    EXPECT_STREQ(net_rider_infos[0].rider_texture, "");
    EXPECT_STREQ(net_rider_infos[0].bike_texture, "");
    EXPECT_STREQ(net_rider_infos[0].wheel_texture, "");
    EXPECT_STREQ(net_rider_infos[0].head_texture, "ok");
    EXPECT_STREQ(net_rider_infos[0].number, "123");
    EXPECT_STREQ(net_rider_infos[0].name, "Name");
}

struct refusal {
    const char* what;
    int from_state;
    Bytes packet;
    std::string message;
};

void PrintTo(const refusal& r, std::ostream* os)
{
    *os << r.what;
}

const refusal kRefusals[] = {
    {"version", 0, ts::hello_reply(3, kConnection, 5), "Server version does not match client version\n"},
    {"track", 3, ts::track_info(7, 0, 3, 640, known_hash(), "tracks/none"), "Can't find track 'tracks/none'\n"},
    {"kick", 9, ts::kick("Go away\n"), "Go away\n"},
};

class Refusal : public Scripted, public ::testing::WithParamInterface<refusal> {};

TEST_P(Refusal, PrintsItsMessageAndLeavesAtTheNextStep)
{
    const refusal& c = GetParam();
    if (c.from_state)
        walk_to(c.from_state);
    sent();
    const ConsoleCapture out;
    push(c.packet);
    EXPECT_EQ(net_state, 15);
    EXPECT_NE(out.text().find(c.message), std::string::npos) << out.text();
    std::vector<Bytes> leave = sent(15);
    ASSERT_EQ(leave.size(), 1u);
    EXPECT_EQ(hex(leave[0]), "0F 03 00 00 00 04 03 02 01");
    EXPECT_NE(out.text().find("Disconnecting\n"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Client, Refusal, ::testing::ValuesIn(kRefusals),
                         [](const auto& info) { return std::string(info.param.what); });

TEST_F(Scripted, ATrackModifiedFromTheServersLeaves)
{
    walk_to(3);
    test_server::TrackHash other = known_hash();
    other[5] ^= 0x40;
    push(ts::track_info(race_id, 0, 3, 640, other, kTrack));
    const ConsoleCapture out;
    push(ts::race_start(race_id, 3, kRiderText));
    EXPECT_EQ(net_state, 15);
    EXPECT_NE(out.text().find("Client track modified - does not match server's track (tracks/flat)\n"),
              std::string::npos);
}

TEST_F(Scripted, PacketsOutOfPlaceChangeNothingAndPrintNothing)
{
    // Before the own slot: track info, rider info, race start, sync, new race.
    const ConsoleCapture out;
    push(ts::track_info(race_id, 0, 3, 640, known_hash(), kTrack));
    push(ts::rider_info(race_id, 2, "x\n1\nX"));
    push(ts::race_start(race_id, 3, kRiderText));
    push(ts::tick_sync(race_id, 50, 0));
    push(ts::new_race(race_id + 1));
    EXPECT_EQ(net_state, 0);
    // A reply whose slot is no slot at all, or past the table: still saying hello.
    push(ts::hello_reply(160, kConnection, 6));
    push(ts::hello_reply(-1, kConnection, 6));
    push(ts::hello_reply(100000, kConnection, 6));
    EXPECT_EQ(net_state, 0);
    EXPECT_EQ(net_own_slot, 160);
    walk_to(5);
    // Another race, and wrong states.
    push(ts::rider_info(race_id + 1, 2, "x\n1\nX"));
    push(ts::race_start(race_id + 1, 3, kRiderText));
    push(ts::tick_sync(race_id, 50, 0));
    push(ts::track_info(race_id + 1, 0, 3, 640, known_hash(), kTrack));
    push(ts::race_start(race_id, 9999, kRiderText));
    EXPECT_EQ(net_state, 5);
    EXPECT_EQ(net_race_id, race_id);
    EXPECT_EQ(out.text().find("Can't"), std::string::npos);
}

}  // namespace

namespace {

struct served {
    test_server::Server server;
    explicit served(test_server::Options o) : server(std::move(o)) { server.open(); }
};

test_server::Options served_options(const std::string& password)
{
    test_server::Options o;
    o.track = kTrack;
    o.hash = known_hash();
    o.riders = 6;
    o.password = password;
    o.time_limit_ticks = 15360;
    return o;
}

class AgainstTheTestServer : public ClientFixture {
protected:
    void step_both(test_server::Server& server, int n)
    {
        for (int i = 0; i < n; ++i) {
            step();
            server.step(run_clock);
        }
    }
};

TEST_F(AgainstTheTestServer, AClientJoinsTheRiderInfosAndRaces)
{
    served s(served_options("secret"));
    net_menu_connect(s.server.address().c_str());
    step_both(s.server, 200);
    EXPECT_EQ(net_state, 11);
    EXPECT_EQ(net_own_slot, 6);
    EXPECT_EQ(net_highest_slot, 5);
    ASSERT_EQ(reset_calls().size(), 1u);
    for (int k = 0; k < 6; ++k)
        EXPECT_EQ(reset_calls()[0].lineup[k], 5) << k;
    EXPECT_EQ(reset_calls()[0].lineup[6], 1);
    EXPECT_EQ(reset_calls()[0].lineup[160], 5 * 128);
    EXPECT_STREQ(net_rider_infos[3].name, "Fake rider 3");
    EXPECT_GT(net_newest_server_tick, 0u);
    EXPECT_NE(console.text().find("2 minutes + 3 laps\n"), std::string::npos);
}

TEST_F(AgainstTheTestServer, AWrongPasswordIsKicked)
{
    served s(served_options("other"));
    net_menu_connect(s.server.address().c_str());
    step_both(s.server, 20);
    EXPECT_NE(console.text().find("Wrong password\nDisconnecting\nDisconnected\n"), std::string::npos)
        << console.text();
    EXPECT_EQ(net_socket, -1) << "kicked, left, and the server's answer ends it";
}

}  // namespace
