#include "net_test_peer.h"

#include "race/net/net_channel.h"
#include "race/net/net_connection.h"
#include "race/net/net_messages.h"
#include "race/net/wire_server.h"

#include <chrono>
#include <cstdio>

#include <poll.h>

std::vector<std::string>& net_delivered_messages()
{
    static std::vector<std::string> delivered;
    return delivered;
}

namespace nettest {
namespace {

void record_delivery(uint8_t* packet, int length)
{
    net_delivered_messages().emplace_back(reinterpret_cast<const char*>(packet), size_t(length) + 1);
}

}  // namespace

void connect_client(uint16_t port, int32_t slot, uint32_t connection_id)
{
    net_resolve(&net_server_address, ("127.0.0.1:" + std::to_string(port)).c_str(), 19800);
    net_socket = net_open_socket();
    net_message_handler = record_delivery;
    net_own_slot = slot;
    net_connection_id = connection_id;
}

void disconnect_client()
{
    if (net_socket != -1)
        net_close_socket(net_socket);
    net_socket = -1;
    net_reliable_reset();
    net_own_slot = 160;
    net_connection_id = 0;
    net_delivered_messages().clear();
    net_message_handler = net_handle_message;
}

std::vector<Bytes> client_take(double wait_seconds)
{
    if (wait_seconds > 0) {
        pollfd p{net_socket, POLLIN, 0};
        poll(&p, 1, int(wait_seconds * 1000));
    }
    return socket_take(net_socket);
}

std::vector<Bytes> socket_take(int socket)
{
    std::vector<Bytes> out;
    uint8_t buffer[net_receive_buffer];
    net_address from;
    for (int n; (n = net_receive(socket, buffer, net_max_datagram, &from)) >= 0;)
        out.emplace_back(buffer, buffer + n);
    return out;
}

std::vector<Bytes> peer_take(test_server::UdpEndpoint& peer, test_server::Peer* from)
{
    std::vector<Bytes> out;
    Bytes got;
    test_server::Peer sender;
    while (peer.receive(got, sender)) {
        out.push_back(got);
        if (from)
            *from = sender;
    }
    return out;
}

Bytes bytes_of(const std::string& text)
{
    return Bytes(text.begin(), text.end());
}

std::string text_of(const Bytes& bytes)
{
    return std::string(bytes.begin(), bytes.end());
}

std::string hex(const Bytes& bytes)
{
    std::string out;
    char two[4];
    for (uint8_t b : bytes) {
        snprintf(two, sizeof two, "%02X ", b);
        out += two;
    }
    if (!out.empty())
        out.pop_back();
    return out;
}

}  // namespace nettest
