// The client's side of the network tests: the connection globals pointed at a loopback
// peer, and the datagrams waiting at either end.
#pragma once
#include "udp_endpoint.h"

#include <cstdint>
#include <string>
#include <vector>

// Until a test of the whole client, each delivery of the reliable channel is kept
// here in order: the packet's bytes followed by the byte after its end.
std::vector<std::string>& net_delivered_messages();

namespace nettest {

using test_server::Bytes;

// Resolves "127.0.0.1:port" into the server address and opens the client socket; the
// channel's deliveries go to net_delivered_messages.
void connect_client(uint16_t port, int32_t slot = 160, uint32_t connection_id = 0);
// Closes the socket and puts the channel and the connection fields back as at start.
void disconnect_client();

// Every datagram waiting at the client socket; with wait_seconds, waits that long for
// the first one.
std::vector<Bytes> client_take(double wait_seconds = 0);
// Every datagram waiting at another socket of the client's kind.
std::vector<Bytes> socket_take(int socket);
// Every datagram waiting at the peer, the sender's address in from.
std::vector<Bytes> peer_take(test_server::UdpEndpoint& peer, test_server::Peer* from = nullptr);

Bytes bytes_of(const std::string& text);
std::string text_of(const Bytes& bytes);
std::string hex(const Bytes& bytes);

}  // namespace nettest
