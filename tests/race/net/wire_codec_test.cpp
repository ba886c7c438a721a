// The wire codec: byte-exact client packets and records, server packets refused below
// their fixed part, and round trips through the test server's own encoding.
#include "net_test_peer.h"
#include "race/net/net_channel.h"
#include "race/net/net_connection.h"
#include "race/net/wire_client.h"
#include "race/net/wire_records.h"
#include "race/net/wire_server.h"
#include "server_wire.h"

#include <gtest/gtest.h>

#include <functional>
#include <tuple>

using namespace nettest;

namespace {

constexpr int32_t slot = 3;
constexpr uint32_t id = 0x01020304;

Bytes built(const std::function<int(uint8_t*)>& build)
{
    uint8_t out[1100];
    return Bytes(out, out + build(out));
}

Bytes state_bytes()
{
    Bytes s(39);
    for (int i = 0; i < 39; ++i)
        s[size_t(i)] = uint8_t(0xC0 + i);
    return s;
}

// The record a channel packet holds: queued while connected to a peer, read back.
class Records : public ::testing::Test {
protected:
    test_server::UdpEndpoint peer;
    void SetUp() override
    {
        ASSERT_TRUE(peer.open());
        connect_client(peer.port(), slot, id);
    }
    void TearDown() override { disconnect_client(); }
    Bytes queued(int type, const void* bytes, int count)
    {
        net_queue_reliable(type, bytes, count);
        reliable_packet* p = net_outgoing_queue;
        while (p->next)
            p = p->next;
        return Bytes(p->data, p->data + p->length);
    }
};

}  // namespace

TEST(WireCodec, ClientPacketsByteForByte)
{
    const Bytes state = state_bytes();
    Bytes state_packet = {11, 3, 0, 0, 0, 4, 3, 2, 1, 7, 0, 0, 0, 0x44, 0x33, 0x22, 0x11, 0x88, 0x77, 0x66, 0x55};
    state_packet.insert(state_packet.end(), state.begin(), state.end());
    Bytes info = {3, 3, 0, 0, 0, 4, 3, 2, 1, 0x8A, 0x20, 0x8B, 0xF4, 0, 0, 0, 0, 0x00, 0x10, 0x5E, 0x5F};
    info.resize(41);
    info.insert(info.end(), {'a', '|', 'b'});

    struct Case {
        const char* name;
        std::function<int(uint8_t*)> build;
        Bytes want;
    } cases[] = {
        {"hello with a password", [](uint8_t* o) { return net_build_hello(o, true, 1600000000); },
         {0, 1, 0, 0, 0, 0, 0, 0, 0, 0x2B, 0, 0, 0, 0x00, 0x10, 0x5E, 0x5F, 0, 0, 0, 0}},
        {"hello without", [](uint8_t* o) { return net_build_hello(o, false, 0xA1B2C3D4); },
         {0, 0, 0, 0, 0, 0, 0, 0, 0, 0x2B, 0, 0, 0, 0xD4, 0xC3, 0xB2, 0xA1, 0, 0, 0, 0}},
        {"client info",
         [](uint8_t* o) {
             return net_build_client_info(o, slot, id, net_password_word("secret", id), 1600000000, "a|b", 3);
         },
         info},
        {"track ack", [](uint8_t* o) { return net_build_race_packet(o, 5, slot, id, 7); },
         {5, 3, 0, 0, 0, 4, 3, 2, 1, 7, 0, 0, 0}},
        {"bike ack", [](uint8_t* o) { return net_build_bike_ack(o, slot, id, 7, 160); },
         {0x07, 0x03, 0, 0, 0, 0x04, 0x03, 0x02, 0x01, 0x07, 0, 0, 0, 0xA0, 0, 0, 0}},
        {"loaded, no slot yet", [](uint8_t* o) { return net_build_race_packet(o, 9, 160, 0, 0x01000000); },
         {9, 0xA0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}},
        {"rider state",
         [&](uint8_t* o) { return net_build_rider_state(o, slot, id, 7, 0x11223344, 0x55667788, state.data()); },
         state_packet},
        {"restart request", [](uint8_t* o) { return net_build_restart_request(o, slot, id); },
         {13, 3, 0, 0, 0, 4, 3, 2, 1, 1, 0, 0, 0}},
        {"new-race ack", [](uint8_t* o) { return net_build_race_packet(o, 14, slot, id, 8); },
         {14, 3, 0, 0, 0, 4, 3, 2, 1, 8, 0, 0, 0}},
        {"disconnect", [](uint8_t* o) { return net_build_disconnect(o, slot, id); }, {15, 3, 0, 0, 0, 4, 3, 2, 1}},
        {"ack", [](uint8_t* o) { return net_build_ack(o, slot, id, 0x0A0B0C0D); },
         {18, 3, 0, 0, 0, 4, 3, 2, 1, 0x0D, 0x0C, 0x0B, 0x0A}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(hex(built(c.build)), hex(c.want)) << c.name;
}

TEST(WireCodec, PasswordWordAndClientInfoLimits)
{
    EXPECT_EQ(net_password_word("secret", 0x01020304), 0xF48B208Au);
    EXPECT_EQ(net_password_word("secret", 1), 0xC79F7382u);
    EXPECT_EQ(net_password_word(nullptr, 1), 0u);

    // The text and its terminator fit in 982 bytes.
    std::string text(1200, 'x');
    EXPECT_EQ(built([&](uint8_t* o) { return net_build_client_info(o, 1, 2, 0, 0, text.data(), 1200); }).size(),
              41u + 981u);
}

TEST_F(Records, ClientRecordsByteForByte)
{
    const Bytes head = {17, 3, 0, 0, 0, 4, 3, 2, 1};
    auto packet = [&](uint32_t sequence, std::initializer_list<uint8_t> record, const std::string& tail = "") {
        Bytes p = head;
        p.insert(p.end(), {uint8_t(sequence), 0, 0, 0});
        p.insert(p.end(), record);
        p.insert(p.end(), tail.begin(), tail.end());
        return p;
    };
    uint8_t lap[12];
    uint8_t deformation[4 + 17] = {};
    uint8_t record[17] = {1, 2, 3};
    char script[net_script_payload_room];
    EXPECT_EQ(hex(queued(3, "bike|||\n7\nMe", 12)), hex(packet(0, {3}, "bike|||\n7\nMe")));
    EXPECT_EQ(hex(queued(19, "hi", 2)), hex(packet(1, {19, 'h', 'i'})));
    EXPECT_EQ(hex(queued(20, net_keepalive_text, 29)), hex(packet(2, {20}, "Hello server, I'm still here!")));
    EXPECT_EQ(hex(queued(21, lap, net_lap_report_payload(lap, 7, 5, 1000))),
              hex(packet(3, {21, 7, 0, 0, 0, 5, 0, 0, 0, 0xE8, 3, 0, 0})));
    EXPECT_EQ(hex(queued(21, lap, net_lap_report_payload(lap, 7, -1, -1))),
              hex(packet(4, {21, 7, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF})));
    EXPECT_EQ(hex(queued(24, "sendfile", 8)), hex(packet(5, {24}, "sendfile")));
    EXPECT_EQ(hex(queued(27, deformation, net_deformation_payload(deformation, 0x0708, record, 17))),
              hex(packet(6, {27, 8, 7, 0, 0, 1, 2, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0})));
    EXPECT_EQ(hex(queued(31, net_still_alive_text, 25)), hex(packet(7, {31}, "Roger that!  Still alive!")));
    EXPECT_EQ(hex(queued(32, script, net_script_payload(script, 7, "go left"))), hex(packet(8, {32}, "7 go left")));

    // The script message keeps 128 characters of the message; the race id is signed.
    std::string long_message(300, 'm');
    EXPECT_EQ(std::string(script, size_t(net_script_payload(script, 0xFFFFFFFF, long_message.c_str()))),
              "-1 " + std::string(128, 'm'));
}

TEST(WireCodec, ServerPacketsNeedTheirFixedPart)
{
    struct Case {
        uint8_t type;
        int min;
        std::function<bool(uint8_t*, int)> parses;
    } cases[] = {
        {1, 1, nullptr},
        {2, 13, [](uint8_t* p, int n) { return bool(net_parse_hello_reply(p, n)); }},
        {4, 37, [](uint8_t* p, int n) { return bool(net_parse_track_info(p, n)); }},
        {6, 9, [](uint8_t* p, int n) { return bool(net_parse_rider_info(p, n)); }},
        {8, 9, [](uint8_t* p, int n) { return bool(net_parse_race_start(p, n)); }},
        {10, 13, [](uint8_t* p, int n) { return bool(net_parse_tick_sync(p, n)); }},
        {11, 17, [](uint8_t* p, int n) { return bool(net_parse_rider_states(p, n)); }},
        {14, 5, [](uint8_t* p, int n) { return bool(net_parse_new_race(p, n)); }},
        {15, 1, nullptr},
        {16, 1, [](uint8_t* p, int n) { return bool(net_parse_kick(p, n)); }},
        {17, 6, [](uint8_t* p, int n) { return bool(net_parse_reliable(p, n)); }},
        {18, 5, [](uint8_t* p, int n) { return bool(net_parse_ack(p, n)); }},
        {25, 5, [](uint8_t* p, int n) { return bool(net_parse_redirect(p, n)); }},
    };
    for (const Case& c : cases) {
        for (int n : {c.min - 1, c.min}) {
            // Exactly the datagram and one byte for the terminator: ASan sees any overread.
            std::vector<uint8_t> p(size_t(n) + 1, 0);
            if (n > 0)
                p[0] = c.type;
            bool ok = n >= c.min;
            EXPECT_EQ(net_server_packet_type(p.data(), n), ok ? c.type : -1) << int(c.type) << " at " << n;
            if (c.parses) {
                EXPECT_EQ(c.parses(p.data(), n), ok) << int(c.type) << " at " << n;
            }
        }
        EXPECT_EQ(net_server_packet_min(c.type), c.min);
    }
    for (int ignored : {0, 3, 5, 12, 19, 24, 26, 255})
        EXPECT_EQ(net_server_packet_min(ignored), -1) << ignored;
    // A parser takes only its own type.
    uint8_t two[14] = {10};
    EXPECT_FALSE(net_parse_hello_reply(two, 13));
}

TEST(WireCodec, IncomingRecordsNeedTheirFixedPart)
{
    struct Case {
        uint8_t type;
        int min;
        std::function<bool(uint8_t*, int)> parses;
    } cases[] = {
        {19, 6, [](uint8_t* p, int n) { return bool(net_parse_record_text(p, n)); }},
        {21, 14, [](uint8_t* p, int n) { return bool(net_parse_timing(p, n)); }},
        {27, 10, [](uint8_t* p, int n) { return bool(net_parse_deformation(p, n)); }},
    };
    for (const Case& c : cases)
        for (int n : {c.min - 1, c.min}) {
            std::vector<uint8_t> p(size_t(n) + 1, 0);
            p[0] = 17;
            if (n > 5)
                p[5] = c.type;
            EXPECT_EQ(c.parses(p.data(), n), n >= c.min) << int(c.type) << " at " << n;
        }
}

TEST(WireCodec, TextsEndAtTheDatagramsEnd)
{
    Bytes p = test_server::track_info(9, 0, 3, 640, {}, "flat");
    p.push_back('X');  // what the buffer held after the datagram
    auto info = net_parse_track_info(p.data(), int(p.size()) - 1);
    ASSERT_TRUE(info);
    EXPECT_STREQ(info->folder.text, "flat");
    EXPECT_EQ(info->folder.length, 4);

    Bytes kick = {16, 'b', 'y', 'e', '!'};
    auto k = net_parse_kick(kick.data(), 4);
    EXPECT_STREQ(k->text, "bye");

    Bytes chat = test_server::reliable(0, 19, bytes_of("hello there"));
    chat.push_back('Z');
    auto c = net_parse_record_text(chat.data(), int(chat.size()) - 1);
    EXPECT_STREQ(c->text, "hello there");
}

TEST(WireCodec, OnlyWholeEntriesAreRead)
{
    std::vector<test_server::StateEntry> entries;
    for (uint16_t s = 0; s < 3; ++s)
        entries.push_back({s, uint16_t(10 + s), 100u + s, {}});
    Bytes full = test_server::rider_states(5, 100, 0, entries);
    ASSERT_EQ(full.size(), 17u + 3 * 47);

    struct Case {
        size_t length;
        uint32_t claimed;
        int whole;
        bool cut;
    } cases[] = {
        {full.size(), 3, 3, false},
        {full.size() - 1, 3, 2, true},
        {17 + 47, 3, 1, true},
        {63, 3, 0, true},
        {full.size(), 0, 0, false},
        {full.size(), 2, 2, false},
        {full.size(), 0xFFFFFFFF, 3, true},
    };
    for (const Case& c : cases) {
        Bytes p(full.begin(), full.begin() + long(c.length));
        p[13] = uint8_t(c.claimed);
        p[14] = p[15] = p[16] = uint8_t(c.claimed >> 8);
        auto states = net_parse_rider_states(p.data(), int(p.size()));
        ASSERT_TRUE(states) << c.length;
        EXPECT_EQ(states->whole, c.whole) << c.length << " " << c.claimed;
        EXPECT_EQ(states->cut, c.cut) << c.length << " " << c.claimed;
    }

    Bytes timing = test_server::reliable(0, 21, test_server::timing_payload(5, {{1, 2, 3}, {4, 5, 6}}));
    timing.pop_back();
    auto t = net_parse_timing(timing.data(), int(timing.size()));
    ASSERT_TRUE(t);
    EXPECT_EQ(t->count, 2u);
    EXPECT_EQ(t->whole, 1);
    EXPECT_EQ(net_timing_entry_at(*t, 0).tick, 3);
}

// Fields compared as one tuple per packet.
using std::tuple;

TEST(WireCodec, ServerPacketsRoundTrip)
{
    test_server::TrackHash hash;
    test_server::PackedState state;
    for (size_t i = 0; i < 39; ++i)
        state[i] = uint8_t(i * 3);
    std::copy(state.begin(), state.begin() + 20, hash.begin());
    Bytes p;
    auto room = [&](Bytes b) {  // the datagram and one byte after it
        p = std::move(b);
        p.push_back(0xEE);
        return int(p.size()) - 1;
    };

    EXPECT_EQ(net_server_packet_type(test_server::server_full().data(), 1), 1);
    EXPECT_EQ(net_server_packet_type(test_server::disconnected().data(), 1), 15);
    int n = room(test_server::hello_reply(-7, 0xDEADBEEF, 6));
    auto hello = net_parse_hello_reply(p.data(), n);
    EXPECT_EQ(tuple(hello->slot, hello->connection_id, hello->version), tuple(-7, 0xDEADBEEFu, 6u));

    n = room(test_server::track_info(0x80000001, 15360, 3, -2, hash, "hill climb"));
    auto t = net_parse_track_info(p.data(), n);
    EXPECT_EQ(tuple(t->race_id, t->time_limit_ticks, t->laps, t->gate_drop_tick, std::string(t->folder.text)),
              tuple(0x80000001u, 15360, 3, -2, std::string("hill climb")));
    EXPECT_EQ(Bytes(t->hash, t->hash + 20), Bytes(hash.begin(), hash.end()));

    n = room(test_server::rider_info(4, 159, "a|b|c|d|e\n12\nName"));
    auto r = net_parse_rider_info(p.data(), n);
    EXPECT_EQ(tuple(r->race_id, r->slot, std::string(r->text.text)),
              tuple(4u, 159u, std::string("a|b|c|d|e\n12\nName")));
    n = room(test_server::race_start(4, 160, "mine"));
    auto start = net_parse_race_start(p.data(), n);
    EXPECT_EQ(tuple(start->race_id, start->lineup, std::string(start->text.text)), tuple(4u, 160, std::string("mine")));
    n = room(test_server::tick_sync(4, 0xFFFFFFF0, 77));
    auto sync = net_parse_tick_sync(p.data(), n);
    EXPECT_EQ(tuple(sync->race_id, sync->server_tick, sync->echo), tuple(4u, 0xFFFFFFF0u, 77u));

    n = room(test_server::rider_states(4, 900, 12, {{2, 9, 880, state}, {65535, 65535, 0xFFFFFFFF, {}}}));
    auto states = net_parse_rider_states(p.data(), n);
    ASSERT_EQ(states->whole, 2);
    EXPECT_EQ(tuple(states->sync.server_tick, states->sync.echo), tuple(900u, 12u));
    net_state_entry e = net_state_entry_at(*states, 0);
    EXPECT_EQ(tuple(e.slot, e.ping, e.tick), tuple(2u, 9u, 880u));
    EXPECT_EQ(Bytes(e.state, e.state + 39), Bytes(state.begin(), state.end()));
    e = net_state_entry_at(*states, 1);
    EXPECT_EQ(tuple(e.slot, e.ping, e.tick), tuple(65535u, 65535u, 0xFFFFFFFFu));

    n = room(test_server::new_race(0x12345678));
    EXPECT_EQ(*net_parse_new_race(p.data(), n), 0x12345678u);
    n = room(test_server::kick("Wrong password"));
    EXPECT_STREQ(net_parse_kick(p.data(), n)->text, "Wrong password");
    n = room(test_server::ack(0xFFFFFFFE));
    EXPECT_EQ(*net_parse_ack(p.data(), n), 0xFFFFFFFEu);
    n = room(test_server::redirect(1600000000, "127.0.0.1:5000"));
    auto redirect = net_parse_redirect(p.data(), n);
    EXPECT_EQ(tuple(redirect->nonce, std::string(redirect->target.text)),
              tuple(1600000000u, std::string("127.0.0.1:5000")));

    // Reliable records from the server.
    n = room(test_server::reliable(0x01020304, 20, {}));
    auto head = net_parse_reliable(p.data(), n);
    EXPECT_EQ(tuple(head->sequence, head->type, head->payload_length), tuple(0x01020304u, uint8_t(20), 0));
    n = room(test_server::reliable(1, 21, test_server::timing_payload(4, {{3, -1, 7}, {159, 65535, 0x7FFFFFFF}})));
    auto timing = net_parse_timing(p.data(), n);
    ASSERT_EQ(tuple(timing->race_id, timing->whole), tuple(4u, 2));
    net_timing_entry te = net_timing_entry_at(*timing, 0);
    EXPECT_EQ(tuple(te.slot, te.index, te.tick), tuple(3u, -1, 7));
    te = net_timing_entry_at(*timing, 1);
    EXPECT_EQ(tuple(te.slot, te.index, te.tick), tuple(159u, 65535, 0x7FFFFFFF));
    const Bytes record(state.begin(), state.begin() + 17);
    n = room(test_server::reliable(2, 27, test_server::deformation_payload(4, record)));
    auto d = net_parse_deformation(p.data(), n);
    EXPECT_EQ(tuple(d->race_id, Bytes(d->record, d->record + d->record_length)), tuple(4u, record));
    for (const Bytes& payload : {bytes_of("chat"), bytes_of("knockout 5 7"), test_server::script_payload(4, "go")}) {
        n = room(test_server::reliable(3, 19, payload));
        auto text = net_parse_record_text(p.data(), n);
        EXPECT_EQ(std::string(text->text, size_t(text->length)), text_of(payload));
    }
    EXPECT_EQ(text_of(test_server::script_payload(4, "go")), "4 go");
}

TEST_F(Records, ClientPacketsRoundTrip)
{
    Bytes p = built([](uint8_t* o) { return net_build_hello(o, true, 0xCAFE); });
    auto hello = test_server::read_hello(p);
    EXPECT_EQ(tuple(hello->has_password, hello->protocol, hello->nonce), tuple(true, 43u, 0xCAFEu));

    p = built([](uint8_t* o) { return net_build_client_info(o, 5, 0xABCDEF01, 0x11223344, 99, "x|y\n1\nZ", 7); });
    auto info = test_server::read_client_info(p);
    EXPECT_EQ(tuple(info->head.slot, info->head.connection_id, info->password_word, info->nonce, info->text),
              tuple(5, 0xABCDEF01u, 0x11223344u, 99u, std::string("x|y\n1\nZ")));
    EXPECT_EQ(test_server::password_word("secret", 0xABCDEF01), net_password_word("secret", 0xABCDEF01));

    for (uint8_t type : {5, 9, 14}) {
        p = built([&](uint8_t* o) { return net_build_race_packet(o, type, 160, 0, 0xFEEDF00D); });
        auto a = test_server::read_race_ack(p);
        EXPECT_EQ(tuple(a->head.type, a->head.slot, a->race), tuple(type, 160, 0xFEEDF00Du));
    }
    p = built([](uint8_t* o) { return net_build_bike_ack(o, 1, 2, 3, 42); });
    EXPECT_EQ(test_server::read_race_ack(p)->highest, 42);

    const Bytes state = state_bytes();
    p = built([&](uint8_t* o) { return net_build_rider_state(o, 1, 2, 3, 0x90000000, 4444, state.data()); });
    auto s = test_server::read_state(p);
    EXPECT_EQ(tuple(s->race, s->newest_server_tick, s->tick, Bytes(s->state.begin(), s->state.end())),
              tuple(3u, 0x90000000u, 4444u, state));

    p = built([](uint8_t* o) { return net_build_restart_request(o, 1, 2); });
    EXPECT_EQ(test_server::read_sequence(p)->value, 1u);
    p = built([](uint8_t* o) { return net_build_ack(o, 1, 2, 0xFFFFFFFF); });
    EXPECT_EQ(test_server::read_sequence(p)->value, 0xFFFFFFFFu);
    p = built([](uint8_t* o) { return net_build_disconnect(o, 1, 2); });
    EXPECT_EQ(test_server::read_head(p)->type, 15);

    uint8_t lap[12];
    auto r = test_server::read_reliable(queued(21, lap, net_lap_report_payload(lap, 9, 17, -3)));
    EXPECT_EQ(tuple(r->head.slot, r->sequence, r->record), tuple(slot, 0u, uint8_t(21)));
    auto report = test_server::read_lap_report(r->payload);
    EXPECT_EQ(tuple(report->race, report->index, report->tick), tuple(9u, 17, -3));

    uint8_t deformation[4 + 17];
    r = test_server::read_reliable(queued(27, deformation, net_deformation_payload(deformation, 9, state.data(), 17)));
    auto d = test_server::read_deformation(r->payload);
    EXPECT_EQ(tuple(r->sequence, d->first, d->second), tuple(1u, 9u, Bytes(state.begin(), state.begin() + 17)));
}
