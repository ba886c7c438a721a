// The socket layer: server texts split into host and port, numeric resolves, and one
// datagram each way on loopback, errors named as the message line shows them.
#include "net_test_peer.h"
#include "race/net/net_connection.h"
#include "race/net/net_transport.h"
#include "race/net/wire_client.h"
#include "race/net/wire_server.h"
#include "test_server.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cstring>
#include <netinet/in.h>

using namespace nettest;

TEST(NetTransport, ServerTextSplitsAtTheLastColon)
{
    struct Case {
        const char* text;
        const char* host;
        int port;
    } cases[] = {
        {"127.0.0.1:19801", "127.0.0.1", 19801},
        {"127.0.0.1", "127.0.0.1", 19800},
        {"host:abc", "host:abc", 19800},
        {"a:b:123", "a:b", 123},
        {"h:123abc", "h", 123},
        {"h:", "h:", 19800},
        {"h:-1", "h", 65535},
        {"h:70000", "h", 4464},
        {"", "", 19800},
    };
    for (const Case& c : cases) {
        net_host_port split = net_split_server_text(c.text, 19800);
        EXPECT_EQ(split.host, c.host) << c.text;
        EXPECT_EQ(split.port, c.port) << c.text;
    }
}

TEST(NetTransport, NumericResolveFillsTheAddressRecord)
{
    net_address a;
    memset(&a, 0xAB, sizeof a);
    ASSERT_EQ(net_resolve(&a, "127.0.0.1:19801", 19800), 1);
    EXPECT_EQ(a.length, 16);
    sockaddr_in in;
    memcpy(&in, a.address, sizeof in);
    EXPECT_EQ(in.sin_family, AF_INET);
    EXPECT_EQ(in.sin_port, htons(19801));
    EXPECT_EQ(in.sin_addr.s_addr, htonl(0x7F000001));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(a.address) + 8, 8), std::string(8, '\0'));
    EXPECT_EQ(net_started, 1);

    EXPECT_EQ(net_resolve(&a, "", 19800), 0);
}

TEST(NetTransport, OneDatagramEachWayOnLoopback)
{
    test_server::Server server;
    ASSERT_TRUE(server.open());
    net_address to;
    ASSERT_EQ(net_resolve(&to, server.address().c_str(), 19800), 1);
    int s = net_open_socket();
    ASSERT_GE(s, 0);

    // Nothing waiting: -1 and no error to print.
    uint8_t buffer[net_receive_buffer];
    net_address from;
    net_last_error = "stale";
    EXPECT_EQ(net_receive(s, buffer, net_max_datagram, &from), -1);
    EXPECT_EQ(net_last_error, nullptr);

    uint8_t hello[21];
    ASSERT_EQ(net_send(s, hello, net_build_hello(hello, false, 5), &to), 21);
    server.step(1.0);
    ASSERT_EQ(server.received().size(), 1u);
    EXPECT_EQ(server.received()[0].bytes.size(), 21u);
    EXPECT_EQ(net_receive(s, buffer, net_max_datagram, &from), 13);
    EXPECT_EQ(buffer[0], 2);
    EXPECT_EQ(from.length, 16);
    sockaddr_in in;
    memcpy(&in, from.address, sizeof in);
    EXPECT_EQ(ntohs(in.sin_port), server.port());

    // A datagram too long for the buffer is lost with "EMSGSIZE"; the next one arrives whole.
    server.send_raw(Bytes(1500, 11));
    server.send_raw(Bytes(13, 10));
    EXPECT_EQ(net_receive(s, buffer, net_max_datagram, &from), -1);
    EXPECT_STREQ(net_last_error, "EMSGSIZE");
    EXPECT_EQ(net_receive(s, buffer, net_max_datagram, &from), 13);
    EXPECT_EQ(buffer[12], 10);

    // An empty datagram arrives as length 0 and no parser takes it.
    server.send_raw({});
    ASSERT_EQ(net_receive(s, buffer, net_max_datagram, &from), 0);
    EXPECT_EQ(net_server_packet_type(buffer, 0), -1);
    EXPECT_FALSE(net_parse_ack(buffer, 0));
    EXPECT_FALSE(net_parse_kick(buffer, 0));

    net_close_socket(s);
    EXPECT_EQ(net_send(-1, hello, 21, &to), -1);
    EXPECT_STREQ(net_last_error, "EBADF");
    EXPECT_EQ(net_receive(-1, buffer, net_max_datagram, &from), -1);
    EXPECT_STREQ(net_last_error, "EBADF");
}
