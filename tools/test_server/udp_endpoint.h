// The test server's own socket: bound to 127.0.0.1 (port 0 lets the system choose),
// non-blocking, one datagram at a time.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace test_server {

using Bytes = std::vector<uint8_t>;

struct Peer {
    uint32_t ip = 0;     // host order
    uint16_t port = 0;   // host order
    bool operator==(const Peer&) const = default;
    std::string text() const;  // "a.b.c.d:port"
};

class UdpEndpoint {
public:
    UdpEndpoint() = default;
    ~UdpEndpoint();
    UdpEndpoint(const UdpEndpoint&) = delete;
    UdpEndpoint& operator=(const UdpEndpoint&) = delete;

    // false (with the reason in error()) when the socket cannot be made or bound.
    bool open(uint16_t port = 0);
    uint16_t port() const { return port_; }
    const std::string& error() const { return error_; }

    bool send_to(const Peer& to, const Bytes& bytes);
    // One waiting datagram into bytes (cut to 2048), false when none waits.
    bool receive(Bytes& bytes, Peer& from);

private:
    int socket_ = -1;
    uint16_t port_ = 0;
    std::string error_;
};

}  // namespace test_server
