// A client made only of the codec, the socket layer and the reliable channel walks a
// whole session against the loopback test server: join, race, a new race and leave,
// each reply checked; then the server's switches, and once against the program.
#include "net_test_peer.h"
#include "race/race_fixture.h"
#include "race/net/net_client.h"
#include "race/track_load.h"
#include "sim/race_clock.h"
#include "sim/stock_shapes.h"
#include "support/fresh_process.h"
#include "terrain/track_list.h"
#include "race/net/net_channel.h"
#include "race/net/net_connection.h"
#include "race/net/net_messages.h"
#include "race/program/run_clock.h"
#include "race/net/wire_client.h"
#include "race/net/wire_records.h"
#include "race/net/wire_server.h"
#include "race/net/wire_bytes.h"
#include "support/child_server.h"
#include "test_server.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <sstream>
#include <thread>
#include <memory>
#include <tuple>

using namespace nettest;

namespace {

const std::string rider_text = "yz250f(2017)||||\n999\nQuinlo Dust";

test_server::TrackHash sample_hash()
{
    test_server::TrackHash h;
    for (size_t i = 0; i < 20; ++i)
        h[i] = uint8_t(0x11 * (i % 16));
    return h;
}

Bytes hash_bytes()
{
    const test_server::TrackHash h = sample_hash();
    return Bytes(h.begin(), h.end());
}

test_server::Options sample_options()
{
    test_server::Options o;
    o.riders = 2;
    o.password = "secret";
    o.hash = sample_hash();
    o.time_limit_ticks = 15360;
    return o;
}

class Walk : public ::testing::Test {
protected:
    test_server::Server server{sample_options()};
    double now = 1.0;

    void SetUp() override
    {
        ASSERT_TRUE(server.open()) << server.error();
        connect_client(server.port());
        run_clock = now;
    }
    void TearDown() override { disconnect_client(); }

    void send(const std::function<int(uint8_t*)>& build)
    {
        uint8_t out[1100];
        ASSERT_GT(net_send(net_socket, out, build(out), &net_server_address), 0);
    }
    // One server tick, then what reached the client.
    std::vector<Bytes> exchange()
    {
        server.step(now);
        now += 1.0 / 128;
        run_clock = now;
        return client_take();
    }
    std::vector<Bytes> exchange(const std::function<int(uint8_t*)>& build)
    {
        send(build);
        return exchange();
    }
    // Server ticks until a datagram of the type arrives (at most limit ticks).
    std::vector<Bytes> until(uint8_t type, int limit = 64)
    {
        std::vector<Bytes> all;
        for (int i = 0; i < limit && last_of(all, type).empty(); ++i)
            for (Bytes& b : exchange())
                all.push_back(b);
        return all;
    }
    static Bytes last_of(const std::vector<Bytes>& datagrams, uint8_t type)
    {
        for (auto it = datagrams.rbegin(); it != datagrams.rend(); ++it)
            if ((*it)[0] == type)
                return *it;
        return {};
    }
    // The client's receive step for the reliable channel.
    void client_channel(std::vector<Bytes> datagrams)
    {
        for (Bytes& b : datagrams) {
            b.push_back(0);
            if (b[0] == 17)
                net_reliable_receive(b.data(), int(b.size()) - 1);
            if (b[0] == 18)
                net_reliable_acknowledged(b.data(), int(b.size()) - 1);
        }
    }
    int32_t join()
    {
        std::vector<Bytes> r = exchange([](uint8_t* o) { return net_build_hello(o, true, 1600000000); });
        EXPECT_EQ(r.size(), 1u);
        auto reply = net_parse_hello_reply(r.at(0).data(), int(r.at(0).size()));
        net_own_slot = reply->slot;
        net_connection_id = reply->connection_id;
        return reply->slot;
    }
    void info(const char* password = "secret")
    {
        send([&](uint8_t* o) {
            return net_build_client_info(o, net_own_slot, net_connection_id,
                                         net_password_word(password, net_connection_id), 1600000000,
                                         rider_text.data(), int(rider_text.size()));
        });
    }
    // Track ack (or bike ack with highest) to race start; returns the slots of the rider infos.
    std::vector<uint32_t> start(uint32_t race, int32_t highest = 160)
    {
        std::vector<Bytes> r = exchange([&](uint8_t* o) {
            return highest == 160 ? net_build_race_packet(o, 5, net_own_slot, net_connection_id, race)
                                  : net_build_bike_ack(o, net_own_slot, net_connection_id, race, highest);
        });
        std::vector<uint32_t> slots;
        for (size_t i = 0; i + 1 < r.size(); ++i) {
            r[i].push_back(0);
            auto ri = net_parse_rider_info(r[i].data(), int(r[i].size()) - 1);
            EXPECT_TRUE(ri && ri->race_id == race);
            slots.push_back(ri ? ri->slot : 999);
        }
        EXPECT_FALSE(r.empty());
        if (!r.empty()) {
            r.back().push_back(0);
            auto s = net_parse_race_start(r.back().data(), int(r.back().size()) - 1);
            EXPECT_TRUE(s);
            EXPECT_EQ(s->race_id, race);
            EXPECT_EQ(s->lineup, net_own_slot);
            EXPECT_EQ(std::string(s->text.text), rider_text);
        }
        return slots;
    }
    void loaded(uint32_t race)
    {
        send([&](uint8_t* o) { return net_build_race_packet(o, 9, net_own_slot, net_connection_id, race); });
    }
    void join_and_race()
    {
        join();
        info();
        exchange();
        start(1);
        loaded(1);
        exchange();
    }
};

}  // namespace

TEST_F(Walk, JoinRaceNewRaceAndLeave)
{
    // Join: the hello reply gives the first slot after the two fake riders.
    EXPECT_EQ(join(), 2);
    EXPECT_EQ(net_connection_id, 0x01020304u);
    EXPECT_EQ(server.take_events(), std::vector<std::string>{"slot 2 joined"});

    // The client info with the right password word gets the track.
    info();
    std::vector<Bytes> r = exchange();
    ASSERT_EQ(r.size(), 1u);
    r[0].push_back(0);
    auto track = net_parse_track_info(r[0].data(), int(r[0].size()) - 1);
    ASSERT_TRUE(track);
    EXPECT_EQ(std::tuple(track->race_id, track->time_limit_ticks, track->laps, track->gate_drop_tick,
                         Bytes(track->hash, track->hash + 20), std::string(track->folder.text)),
              std::tuple(1u, 15360, 3, 640, hash_bytes(), std::string("flat")));

    // Rider infos above the highest slot reported, then the race start; asked again, answered again.
    EXPECT_EQ(start(1, 0), std::vector<uint32_t>{1});
    EXPECT_EQ(start(1), (std::vector<uint32_t>{0, 1}));

    // Loaded: racing. Tick syncs every 8 ticks, the fake riders' states every 4.
    loaded(1);
    r = until(10);
    EXPECT_EQ(server.take_events(), std::vector<std::string>{"slot 2 racing"});
    const Bytes first_sync = last_of(r, 10);
    auto sync = net_parse_tick_sync(first_sync.data(), int(first_sync.size()));
    ASSERT_TRUE(sync);
    EXPECT_EQ(std::tuple(sync->race_id, sync->server_tick % 8, sync->echo), std::tuple(1u, 0u, 0u));
    EXPECT_GE(sync->server_tick, 1u);
    int state_packets = 0;
    for (const Bytes& b : r)
        if (auto s = net_parse_rider_states(b.data(), int(b.size()))) {
            ++state_packets;
            EXPECT_EQ(s->sync.server_tick % 4, 0u);
            ASSERT_EQ(std::tuple(s->whole, s->cut), std::tuple(2, false));
            EXPECT_EQ(std::tuple(net_state_entry_at(*s, 1).slot, net_state_entry_at(*s, 1).tick),
                      std::tuple(1u, s->sync.server_tick));
        }
    EXPECT_GE(state_packets, 1);

    // The client's tick comes back in the next sync.
    uint8_t state[39] = {};
    send([&](uint8_t* o) { return net_build_rider_state(o, 2, net_connection_id, 1, sync->server_tick, 500, state); });
    const Bytes echoing = last_of(until(10), 10);
    EXPECT_EQ(net_parse_tick_sync(echoing.data(), int(echoing.size()))->echo, 500u);

    // Reliable records both ways.
    net_queue_reliable(19, "hello all", 9);
    net_reliable_resend();
    client_channel(exchange());
    EXPECT_EQ(net_outgoing_queue, nullptr) << "the server acknowledged the chat";
    ASSERT_EQ(server.records().size(), 1u);
    const test_server::Record& chat = server.records()[0];
    EXPECT_EQ(std::tuple(chat.slot, chat.type, text_of(chat.payload)), std::tuple(2, 19, std::string("hello all")));

    server.send_reliable(2, 24, bytes_of("sendready"));
    client_channel(exchange());
    ASSERT_EQ(net_delivered_messages().size(), 1u);
    EXPECT_EQ(net_delivered_messages()[0].substr(5), std::string("\x18sendready\0", 11));
    exchange();
    EXPECT_TRUE(server.connection(2)->outgoing.empty()) << "the client acknowledged it";

    // A new race: 14, then the same exchange with the new id.
    server.new_race();
    r = exchange();
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(*net_parse_new_race(r[0].data(), int(r[0].size())), 2u);
    r = exchange([](uint8_t* o) { return net_build_race_packet(o, 14, 2, net_connection_id, 2); });
    ASSERT_EQ(r.size(), 1u);
    r[0].push_back(0);
    EXPECT_EQ(net_parse_track_info(r[0].data(), int(r[0].size()) - 1)->race_id, 2u);
    EXPECT_EQ(start(2), (std::vector<uint32_t>{0, 1}));
    loaded(2);
    const Bytes second_sync = last_of(until(10), 10);
    EXPECT_EQ(net_parse_tick_sync(second_sync.data(), int(second_sync.size()))->race_id, 2u);
    EXPECT_EQ(server.take_events(), std::vector<std::string>{"slot 2 racing"});

    // Leave: 15 answered with 15, the connection forgotten.
    EXPECT_EQ(exchange([](uint8_t* o) { return net_build_disconnect(o, 2, net_connection_id); }),
              std::vector<Bytes>{Bytes{15}});
    EXPECT_TRUE(server.connections().empty());
    EXPECT_EQ(server.take_events(), std::vector<std::string>{"slot 2 left"});
    EXPECT_FALSE(server.received().empty());
}

TEST_F(Walk, OtherConnectionsAreAnnouncedAndRelayed)
{
    join_and_race();
    uint8_t state[39];
    for (int i = 0; i < 39; ++i)
        state[i] = uint8_t(i + 1);
    send([&](uint8_t* o) { return net_build_rider_state(o, 2, net_connection_id, 1, 0, 40, state); });
    exchange();

    // A second client: it hears of the fake riders and of slot 2, and gets slot 2's state.
    int second = net_open_socket();
    auto second_send = [&](const std::function<int(uint8_t*)>& build) {
        uint8_t out[1100];
        net_send(second, out, build(out), &net_server_address);
        server.step(now);
        return socket_take(second);
    };
    std::vector<Bytes> r = second_send([](uint8_t* o) { return net_build_hello(o, true, 1); });
    auto hello = net_parse_hello_reply(r.at(0).data(), int(r[0].size()));
    EXPECT_EQ(hello->slot, 3);
    EXPECT_NE(hello->connection_id, net_connection_id);
    second_send([&](uint8_t* o) {
        return net_build_client_info(o, 3, hello->connection_id, net_password_word("secret", hello->connection_id), 1,
                                     "other", 5);
    });
    r = second_send([&](uint8_t* o) { return net_build_race_packet(o, 5, 3, hello->connection_id, 1); });
    ASSERT_EQ(r.size(), 4u);
    r[2].push_back(0);
    auto announced = net_parse_rider_info(r[2].data(), int(r[2].size()) - 1);
    EXPECT_EQ(announced->slot, 2u);
    EXPECT_EQ(std::string(announced->text.text), rider_text);
    second_send([&](uint8_t* o) { return net_build_race_packet(o, 9, 3, hello->connection_id, 1); });
    bool relayed = false;
    for (int i = 0; i < 8 && !relayed; ++i)
        for (const Bytes& b : second_send([](uint8_t*) { return 0; }))
            if (auto s = net_parse_rider_states(b.data(), int(b.size())))
                for (int e = 0; e < s->whole; ++e) {
                    net_state_entry entry = net_state_entry_at(*s, e);
                    if (entry.slot == 2) {
                        relayed = true;
                        EXPECT_EQ(entry.tick, 40u);
                        EXPECT_EQ(Bytes(entry.state, entry.state + 39), Bytes(state, state + 39));
                    }
                }
    EXPECT_TRUE(relayed);
    net_close_socket(second);
}

TEST_F(Walk, HelloAnswersByMode)
{
    using Hello = test_server::Options::Hello;
    server.options().redirect_to = "127.0.0.1:4242";
    struct Case {
        Hello mode;
        Bytes want_head;
    } cases[] = {
        {Hello::full, {1}},
        {Hello::other_version, {2}},
        {Hello::redirect, {25, 0x00, 0x10, 0x5E, 0x5F}},
        {Hello::silent, {}},
    };
    for (const Case& c : cases) {
        server.options().hello = c.mode;
        std::vector<Bytes> r = exchange([](uint8_t* o) { return net_build_hello(o, false, 1600000000); });
        if (c.want_head.empty()) {
            EXPECT_TRUE(r.empty());
            continue;
        }
        ASSERT_EQ(r.size(), 1u);
        EXPECT_EQ(Bytes(r[0].begin(), r[0].begin() + long(c.want_head.size())), c.want_head);
        r[0].push_back(0);
        if (c.mode == Hello::other_version) {
            EXPECT_EQ(net_parse_hello_reply(r[0].data(), 13)->version, 5u);
        }
        if (c.mode == Hello::redirect) {
            EXPECT_STREQ(net_parse_redirect(r[0].data(), int(r[0].size()) - 1)->target.text, "127.0.0.1:4242");
        }
    }
}

TEST_F(Walk, AWrongPasswordIsKicked)
{
    join();
    info("guess");
    std::vector<Bytes> r = exchange();
    ASSERT_EQ(r.size(), 1u);
    r[0].push_back(0);
    EXPECT_STREQ(net_parse_kick(r[0].data(), int(r[0].size()) - 1)->text, "Wrong password");
    // The kicked client's leave is still answered.
    r = exchange([](uint8_t* o) { return net_build_disconnect(o, 2, net_connection_id); });
    EXPECT_EQ(r, std::vector<Bytes>{Bytes{15}});
}

TEST_F(Walk, ServerReliablesResendUntilAcknowledgedUnderEachSwitch)
{
    join_and_race();
    auto sequences = [](const std::vector<Bytes>& datagrams) {
        std::vector<uint32_t> out;
        for (const Bytes& b : datagrams)
            if (auto h = net_parse_reliable(b.data(), int(b.size())))
                out.push_back(h->sequence);
        return out;
    };
    for (uint8_t type : {19, 20, 21})
        server.send_reliable(-1, type, {});
    EXPECT_EQ(sequences(exchange()), (std::vector<uint32_t>{0, 1, 2}));
    now += 0.25;
    EXPECT_TRUE(sequences(exchange()).empty());
    now += 0.25;
    std::vector<Bytes> again = exchange();
    EXPECT_EQ(sequences(again), (std::vector<uint32_t>{0, 1, 2}));
    client_channel(again);
    EXPECT_EQ(net_delivered_messages().size(), 3u);
    exchange();
    EXPECT_TRUE(server.connection(2)->outgoing.empty());
    net_delivered_messages().clear();

    // Out of order, doubled and one held back: the channel still delivers 3, 4, 5 once each.
    server.options().out_of_order = true;
    server.options().duplicates = true;
    server.options().hold_back = 4;
    for (uint8_t type : {24, 27, 32})
        server.send_reliable(2, type, bytes_of("x"));
    std::vector<Bytes> r = exchange();
    EXPECT_EQ(sequences(r), (std::vector<uint32_t>{5, 5, 3, 3}));
    client_channel(r);
    ASSERT_EQ(net_delivered_messages().size(), 1u);
    server.release_held();
    now += 0.5;
    client_channel(exchange());
    ASSERT_EQ(net_delivered_messages().size(), 3u);
    EXPECT_EQ(net_delivered_messages()[1][5], 27);
    EXPECT_EQ(net_delivered_messages()[2][5], 32);

    // A client's deformation comes back when the server echoes them.
    server.options().echo_deformations = true;
    server.options().out_of_order = server.options().duplicates = false;
    uint8_t payload[4 + 17] = {};
    uint8_t record[17] = {1};
    net_queue_reliable(27, payload, net_deformation_payload(payload, 1, record, 17));
    net_reliable_resend();
    r = exchange();
    client_channel(r);
    EXPECT_EQ(net_outgoing_queue, nullptr);
    auto echoed = std::find_if(r.begin(), r.end(), [](const Bytes& b) { return b[0] == 17; });
    ASSERT_NE(echoed, r.end());
    auto d = net_parse_deformation(echoed->data(), int(echoed->size()));
    ASSERT_TRUE(d);
    EXPECT_EQ(d->race_id, 1u);
    EXPECT_EQ(Bytes(d->record, d->record + d->record_length), Bytes(record, record + 17));
}

TEST_F(Walk, KickDisconnectAndRawBytes)
{
    join();
    server.send_raw({99, 1, 2});
    EXPECT_EQ(client_take(), std::vector<Bytes>{Bytes({99, 1, 2})});
    server.kick("Bye now");
    EXPECT_EQ(client_take(), std::vector<Bytes>{bytes_of("\x10" "Bye now")});
    EXPECT_TRUE(server.connections().empty());
    // With no connection, raw bytes go to whoever spoke last.
    server.send_raw({42});
    EXPECT_EQ(client_take(), std::vector<Bytes>{Bytes{42}});

    join();
    server.disconnect();
    EXPECT_EQ(client_take(), std::vector<Bytes>{Bytes{15}});
    EXPECT_EQ(server.take_events(),
              (std::vector<std::string>{"slot 2 joined", "slot 2 left", "slot 2 joined", "slot 2 left"}));
}

// The program, started as a child, up to the first tick sync.
TEST(TestServerProgram, JoinsAndRacesUpToTheFirstTickSync)
{
    char hash_hex[41];
    for (int i = 0; i < 20; ++i)
        snprintf(hash_hex + 2 * i, 3, "%02x", sample_hash()[size_t(i)]);
    bvtest::ChildServer child({BV_BUILD_DIR "/tools/bv_test_server", "--riders", "1", "--track", "flat", "--hash",
                               hash_hex, "--password", "secret", "--laps", "2", "--minutes", "2",
                               "--gate-drop-seconds", "3"});
    ASSERT_GT(child.port(), 0) << child.first_line();
    connect_client(uint16_t(child.port()));

    // Each request is repeated until its answer comes, as the client repeats its packets.
    auto ask = [](const std::function<int(uint8_t*)>& build, uint8_t want) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (std::chrono::steady_clock::now() < deadline) {
            uint8_t out[1100];
            net_send(net_socket, out, build(out), &net_server_address);
            for (int i = 0; i < 10; ++i)
                for (Bytes& b : client_take(0.1))
                    if (b[0] == want) {
                        b.push_back(0);
                        return b;
                    }
        }
        return Bytes{};
    };
    Bytes r = ask([](uint8_t* o) { return net_build_hello(o, true, 7); }, 2);
    ASSERT_FALSE(r.empty());
    auto hello = net_parse_hello_reply(r.data(), int(r.size()) - 1);
    EXPECT_EQ(hello->slot, 1);
    EXPECT_EQ(child.next_line(), "slot 1 joined");
    const uint32_t id = hello->connection_id;

    r = ask([&](uint8_t* o) { return net_build_client_info(o, 1, id, net_password_word("secret", id), 7, "me", 2); },
            4);
    ASSERT_FALSE(r.empty());
    auto track = net_parse_track_info(r.data(), int(r.size()) - 1);
    EXPECT_STREQ(track->folder.text, "flat");
    EXPECT_EQ(Bytes(track->hash, track->hash + 20), hash_bytes());
    EXPECT_EQ(track->laps, 2);
    EXPECT_EQ(track->time_limit_ticks, 2 * 60 * 128);
    EXPECT_EQ(track->gate_drop_tick, 3 * 128);
    const uint32_t race = track->race_id;

    r = ask([&](uint8_t* o) { return net_build_race_packet(o, 5, 1, id, race); }, 8);
    ASSERT_FALSE(r.empty());
    EXPECT_STREQ(net_parse_race_start(r.data(), int(r.size()) - 1)->text.text, "me");

    r = ask([&](uint8_t* o) { return net_build_race_packet(o, 9, 1, id, race); }, 10);
    ASSERT_FALSE(r.empty());
    EXPECT_EQ(net_parse_tick_sync(r.data(), int(r.size()) - 1)->race_id, race);
    EXPECT_EQ(child.next_line(), "slot 1 racing");
    disconnect_client();
    EXPECT_EQ(child.stop(), 0);
}

// The README's example command line as written (not its synopsis, with "[...]").
std::vector<std::string> readme_server_command()
{
    std::istringstream readme(bvtest::read_file(BV_SOURCE_DIR "/tools/test_server/README.md"));
    std::vector<std::string> argv;
    for (std::string line; std::getline(readme, line) && argv.empty();) {
        if (line.find('[') != std::string::npos)
            continue;
        std::istringstream words(line);
        for (std::string word; words >> word;)
            if (word == "build/tools/bv_test_server")
                argv.push_back(BV_BUILD_DIR "/tools/bv_test_server");
            else if (!argv.empty() && word != "&")
                argv.push_back(word);
    }
    return argv;
}

// Without --hash the server announces the hash of the track as the installed data
// holds it, so a client with the same data races on it; a short track name, which the
// client would not find, is refused at once with the names it has.
TEST(TestServerProgram, WorksTheHashOutForAClientWithTheInstalledData)
{
    bvtest::in_fresh_process([] {
        bvtest::Problems p;
        bvtest::TempDir root;
        racetest::start(root);   // the child servers find the same data through the environment
        const bvtest::ProcessResult refused =
            bvtest::run_process({BV_BUILD_DIR "/tools/bv_test_server", "--track", "sample"});
        p.check(refused.status == 1, "a short name refused, status " + std::to_string(refused.status));
        p.same(refused.err,
               "bv_test_server: no track 'sample' in the installed data; the tracks are: tracks/sample tracks/flat\n",
               "the refusal");

        const std::vector<std::string> argv = readme_server_command();
        p.check(argv.size() > 2 && std::find(argv.begin(), argv.end(), "--hash") == argv.end(),
                "the README's example gives no hash");
        bvtest::ChildServer child(argv);
        p.check(child.port() > 0, "the README's example listens: " + child.first_line());
        if (child.port() <= 0)
            return p.text;
        scan_tracks();
        net_client_install();
        net_fake_loss = 0;
        net_password = nullptr;
        stock_shapes_flag = 1;
        run_clock = 1.5;
        current_tick = 0;
        net_menu_connect(("127.0.0.1:" + std::to_string(child.port())).c_str());
        // The server runs on its own clock: the client's steps follow the wall clock.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(180);
        while (net_state != 11 && net_state != 15 && std::chrono::steady_clock::now() < deadline) {
            net_step();
            run_clock += 1.0 / 128;
            ++current_tick;
            std::this_thread::sleep_for(std::chrono::microseconds(7812));
        }
        p.check(net_state == 11, "the client races on the server's track, state " + std::to_string(net_state));
        p.check(net_track_name && strcmp(net_track_name, "tracks/sample") == 0, "on tracks/sample");
        p.check(memcmp(track_hash, net_track_hash, 20) == 0, "the announced hash is the client's own");
        net_menu_disconnect();
        for (int i = 0; i < 400 && net_socket != -1; ++i) {
            net_step();
            run_clock += 1.0 / 128;
            std::this_thread::sleep_for(std::chrono::microseconds(7812));
        }
        p.check(child.stop() == 0, "the server stops cleanly");
        return p.text;
    });
}

TEST_F(Walk, ManyRidersSpreadOverDatagramsOfAtMost21States)
{
    server.options().riders = 30;
    EXPECT_EQ(join(), 30);
    info();
    exchange();
    EXPECT_EQ(start(1).size(), 30u);
    loaded(1);
    std::vector<Bytes> r = until(11);
    std::vector<int> counts;
    for (const Bytes& b : r)
        if (auto s = net_parse_rider_states(b.data(), int(b.size()))) {
            EXPECT_LE(b.size(), 1004u);
            EXPECT_FALSE(s->cut);
            counts.push_back(s->whole);
        }
    EXPECT_EQ(counts, (std::vector<int>{21, 9}));
}

namespace {

Bytes hello_bytes()
{
    uint8_t out[21];
    return Bytes(out, out + net_build_hello(out, false, 7));
}

Bytes client_reliable(int32_t slot, uint32_t id, uint32_t sequence)
{
    uint8_t out[20] = {17};
    wire_put_i32(out + 1, slot);
    wire_put_u32(out + 5, id);
    wire_put_u32(out + 9, sequence);
    out[13] = 19;
    out[14] = 'x';
    return Bytes(out, out + 15);
}

}  // namespace

// 907k junk datagrams took the server from 2.9 MB to 274 MB: everything was kept. Now
// what it keeps has a fixed ceiling, however long the flood.
TEST(TestServerBounds, AJunkFloodStaysUnderTheCap)
{
    test_server::Server server;
    ASSERT_TRUE(server.open());
    test_server::UdpEndpoint junk;
    ASSERT_TRUE(junk.open());
    const test_server::Peer to{0x7f000001, server.port()};
    double now = 1;
    for (int round = 0; round < 200; ++round, now += 1.0 / 128) {   // 10,000 datagrams
        for (int k = 0; k < 50; ++k)
            junk.send_to(to, Bytes(1400, uint8_t(round + k)));
        server.step(now);
        ASSERT_LE(server.received().size(), test_server::kKeptDatagrams);
    }
    EXPECT_EQ(server.received().size(), test_server::kKeptDatagrams);
    EXPECT_LE(server.bytes_held(), test_server::kKeptDatagrams * 2048);
    EXPECT_TRUE(server.connections().empty());
}

// Early reliable packets were held with no window (601 MB); now only 64 ahead are held
// and acknowledged, and one farther ahead is left for the client to send again.
TEST(TestServerBounds, EarlyReliablePacketsAreHeldInAWindow)
{
    test_server::Server server;
    ASSERT_TRUE(server.open());
    test_server::UdpEndpoint client;
    ASSERT_TRUE(client.open());
    const test_server::Peer to{0x7f000001, server.port()};
    client.send_to(to, hello_bytes());
    server.step(1);
    ASSERT_EQ(server.connections().size(), 1u);
    const test_server::Connection c = server.connections()[0];
    peer_take(client);
    for (uint32_t sequence : {test_server::kHoldWindow - 1, test_server::kHoldWindow, 0x7fffffffu})
        client.send_to(to, client_reliable(c.slot, c.id, sequence));
    server.step(1.01);
    const std::vector<Bytes> acks = peer_take(client);
    ASSERT_EQ(acks.size(), 1u) << "only the packet inside the window";
    EXPECT_EQ(acks[0], test_server::ack(test_server::kHoldWindow - 1));
    EXPECT_EQ(server.connections()[0].held.size(), 1u);
}

// 160 hellos from throw-away ports filled every slot for good; now a slot whose client
// has been silent for silence_seconds is freed, and a client that talks keeps its own.
TEST(TestServerBounds, SilentClientsFreeTheirSlots)
{
    test_server::Server server;
    ASSERT_TRUE(server.open());
    const test_server::Peer to{0x7f000001, server.port()};
    std::vector<std::unique_ptr<test_server::UdpEndpoint>> throwaway;
    for (int i = 0; i < 160; ++i) {
        throwaway.push_back(std::make_unique<test_server::UdpEndpoint>());
        ASSERT_TRUE(throwaway.back()->open());
        throwaway.back()->send_to(to, hello_bytes());
        if (i % 40 == 39)
            server.step(1);
    }
    ASSERT_EQ(server.connections().size(), 160u);
    test_server::UdpEndpoint late;
    ASSERT_TRUE(late.open());
    late.send_to(to, hello_bytes());
    server.step(2);
    std::vector<Bytes> answer = peer_take(late);
    ASSERT_EQ(answer.size(), 1u);
    EXPECT_EQ(answer[0], test_server::server_full());

    throwaway[5]->send_to(to, hello_bytes());   // this one keeps talking
    server.step(15);
    server.step(1 + server.options().silence_seconds + 0.5);
    ASSERT_EQ(server.connections().size(), 1u);
    EXPECT_EQ(server.connections()[0].slot, 5);
    late.send_to(to, hello_bytes());
    server.step(25);
    answer = peer_take(late);
    ASSERT_EQ(answer.size(), 1u);
    EXPECT_EQ(answer[0][0], 2) << "a hello reply: a slot was free again";
}
