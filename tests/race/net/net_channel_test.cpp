// The reliable channel against a raw peer on loopback, on a clock the test sets: only
// the oldest outgoing packet is on the wire, incoming packets are acknowledged at once
// and delivered once, in order, early ones held.
#include "net_test_peer.h"
#include "race/net/net_channel.h"
#include "race/net/net_connection.h"
#include "race/net/net_messages.h"
#include "race/program/run_clock.h"
#include "race/net/wire_bytes.h"
#include "race/net/wire_server.h"
#include "server_wire.h"
#include "support/console_capture.h"

#include <gtest/gtest.h>

using namespace nettest;

namespace {

class Channel : public ::testing::Test {
protected:
    test_server::UdpEndpoint peer;
    test_server::Peer client;

    void SetUp() override
    {
        ASSERT_TRUE(peer.open());
        connect_client(peer.port(), 3, 0x01020304);
        run_clock = 2.0;
        // One datagram out, so the peer learns the client's port.
        uint8_t hello[1] = {0};
        net_send(net_socket, hello, 1, &net_server_address);
        peer_take(peer, &client);
    }
    void TearDown() override { disconnect_client(); }

    // The sequences of the reliable packets and acknowledgments that reached the peer.
    std::vector<uint32_t> sent(uint8_t type)
    {
        std::vector<uint32_t> out;
        for (const Bytes& b : peer_take(peer))
            if (b.size() >= 13 && b[0] == type)
                out.push_back(wire_get_u32(&b[9]));
        return out;
    }

    // What the client's receive step would do with each waiting datagram.
    void client_receives()
    {
        for (Bytes& b : client_take()) {
            b.push_back(0xEE);  // the byte after the datagram, for the terminator
            if (b[0] == 17)
                net_reliable_receive(b.data(), int(b.size()) - 1);
            else if (b[0] == 18)
                net_reliable_acknowledged(b.data(), int(b.size()) - 1);
        }
    }

    void server_sends(uint32_t sequence, const std::string& text)
    {
        peer.send_to(client, test_server::reliable(sequence, 19, bytes_of(text)));
        client_receives();
    }

    int queued() const
    {
        int n = 0;
        for (reliable_packet* p = net_outgoing_queue; p; p = p->next)
            ++n;
        return n;
    }
    int held() const
    {
        int n = 0;
        for (held_packet* p = net_hold_list; p; p = p->next)
            ++n;
        return n;
    }
};

std::string delivered_text(const std::string& delivery)
{
    // 17, sequence, record type, then the payload and the byte after it.
    return delivery.substr(6);
}

}  // namespace

TEST_F(Channel, OnlyTheOldestPacketGoesAndIsResentEveryHalfSecond)
{
    for (const char* text : {"first", "second", "third"})
        ASSERT_EQ(net_queue_reliable(19, text, int(strlen(text))), 1);
    EXPECT_TRUE(sent(17).empty()) << "queueing sends nothing";

    net_reliable_resend();
    EXPECT_EQ(sent(17), std::vector<uint32_t>{0});
    net_reliable_resend();
    run_clock = 2.5;
    net_reliable_resend();
    EXPECT_TRUE(sent(17).empty()) << "not before 0.5 s have passed";
    run_clock = 2.5001;
    net_reliable_resend();
    EXPECT_EQ(sent(17), std::vector<uint32_t>{0});

    // Acknowledgments of anything but the oldest change nothing.
    for (uint32_t other : {1u, 2u, 7u})
        peer.send_to(client, test_server::ack(other));
    client_receives();
    EXPECT_EQ(queued(), 3);
    net_reliable_resend();
    EXPECT_TRUE(sent(17).empty());

    peer.send_to(client, test_server::ack(0));
    client_receives();
    EXPECT_EQ(queued(), 2);
    net_reliable_resend();
    EXPECT_EQ(sent(17), std::vector<uint32_t>{1});
}

TEST_F(Channel, NothingGoesWhileTheClockIsAtZero)
{
    run_clock = 0.0;
    net_queue_reliable(19, "x", 1);
    net_reliable_resend();
    EXPECT_TRUE(sent(17).empty());
}

TEST_F(Channel, ALongRecordIsCutToFitOnePacket)
{
    std::string chat(500, 'c');
    for (int i = 0; i < 500; ++i)
        chat[size_t(i)] = char('a' + i % 26);
    net_queue_reliable(19, chat.data(), 500);
    net_reliable_resend();
    std::vector<Bytes> got = peer_take(peer);
    ASSERT_EQ(got.size(), 1u);
    ASSERT_EQ(got[0].size(), 480u);
    EXPECT_EQ(text_of(Bytes(got[0].begin() + 14, got[0].end())), chat.substr(0, 466));
    auto read = test_server::read_reliable(got[0]);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->head.slot, 3);
    EXPECT_EQ(read->head.connection_id, 0x01020304u);
}

TEST_F(Channel, QueueingWithoutASocketPrintsAndDropsTheRecord)
{
    net_close_socket(net_socket);
    net_socket = -1;
    ConsoleCapture console;
    EXPECT_EQ(net_queue_reliable(19, "hi", 2), 0);
    EXPECT_EQ(console.text(), "Not connected to server\n");
    EXPECT_EQ(queued(), 0);
    EXPECT_EQ(net_next_outgoing_sequence, 0u);
}

TEST_F(Channel, EarlyPacketsAreHeldAndDeliveredInOrder)
{
    server_sends(1, "second, longer");
    server_sends(2, "3rd");
    server_sends(3, "the fourth message");
    EXPECT_EQ(sent(18), (std::vector<uint32_t>{1, 2, 3})) << "each acknowledged at once";
    EXPECT_TRUE(net_delivered_messages().empty());
    EXPECT_EQ(held(), 3);

    server_sends(0, "one");
    EXPECT_EQ(sent(18), std::vector<uint32_t>{0});
    const std::vector<std::string>& d = net_delivered_messages();
    ASSERT_EQ(d.size(), 4u);
    const char* want[] = {"one", "second, longer", "3rd", "the fourth message"};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(delivered_text(d[i]), std::string(want[i]) + '\0') << i;
        EXPECT_EQ(wire_get_u32(reinterpret_cast<const uint8_t*>(d[i].data()) + 1), i);
    }
    EXPECT_EQ(held(), 0);
    EXPECT_EQ(net_expected_sequence, 4u);

    // A delivered packet again: acknowledged again, not delivered again.
    server_sends(2, "3rd");
    EXPECT_EQ(sent(18), std::vector<uint32_t>{2});
    EXPECT_EQ(net_delivered_messages().size(), 4u);
}

TEST_F(Channel, HeldCopiesAreKeptWholeAndOnlyOnce)
{
    std::string big(994, 'b');  // a 1000-byte datagram
    server_sends(1, big);
    server_sends(1, "another copy");
    EXPECT_EQ(sent(18), (std::vector<uint32_t>{1, 1}));
    EXPECT_EQ(held(), 1);

    server_sends(0, "a");
    ASSERT_EQ(net_delivered_messages().size(), 2u);
    EXPECT_EQ(net_delivered_messages()[1].size(), 1001u);
    EXPECT_EQ(delivered_text(net_delivered_messages()[1]), big + '\0');
}

TEST_F(Channel, PacketsBeyondTheHoldWindowAreNeitherHeldNorAcknowledged)
{
    server_sends(1024, "too far");
    EXPECT_TRUE(sent(18).empty());
    EXPECT_EQ(held(), 0);
    server_sends(1023, "just inside");
    EXPECT_EQ(sent(18), std::vector<uint32_t>{1023});
    EXPECT_EQ(held(), 1);
}

TEST_F(Channel, TooShortPacketsAreDropped)
{
    peer.send_to(client, {17, 0, 0, 0, 0});
    peer.send_to(client, {18, 0, 0, 0});
    net_queue_reliable(19, "x", 1);
    client_receives();
    EXPECT_TRUE(sent(18).empty());
    EXPECT_EQ(queued(), 1);
    EXPECT_TRUE(net_delivered_messages().empty());
}

TEST_F(Channel, ResetFreesBothListsAndRestartsTheCounters)
{
    net_queue_reliable(19, "a", 1);
    net_queue_reliable(24, "b", 1);
    server_sends(0, "x");
    server_sends(5, "early");
    server_sends(7, "later");
    ASSERT_EQ(queued(), 2);
    ASSERT_EQ(held(), 2);

    net_reliable_reset();
    EXPECT_EQ(net_outgoing_queue, nullptr);
    EXPECT_EQ(net_hold_list, nullptr);
    EXPECT_EQ(net_next_outgoing_sequence, 0u);
    EXPECT_EQ(net_expected_sequence, 0u);
    net_queue_reliable(19, "again", 5);
    EXPECT_EQ(net_outgoing_queue->sequence, 0u);
}

TEST_F(Channel, AFailedSendIsReportedAndTriedAgainLater)
{
    net_server_address.length = 0;  // no destination
    net_queue_reliable(19, "x", 1);
    ConsoleCapture console;
    net_reliable_resend();
    EXPECT_EQ(console.text(), "sendto error (EINVAL)\n");
    EXPECT_EQ(queued(), 1);
    EXPECT_DOUBLE_EQ(net_outgoing_queue->resend_time, 2.5);
}
