#include "udp_endpoint.h"

#include <cerrno>
#include <cstring>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace test_server {

std::string Peer::text() const
{
    return std::to_string(ip >> 24) + "." + std::to_string(ip >> 16 & 255) + "." + std::to_string(ip >> 8 & 255) +
           "." + std::to_string(ip & 255) + ":" + std::to_string(port);
}

UdpEndpoint::~UdpEndpoint()
{
    if (socket_ >= 0)
        close(socket_);
}

bool UdpEndpoint::open(uint16_t port)
{
    socket_ = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (socket_ < 0) {
        error_ = strerror(errno);
        return false;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (bind(socket_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        error_ = strerror(errno);
        close(socket_);
        socket_ = -1;
        return false;
    }
    port_ = ntohs(address.sin_port);
    return true;
}

bool UdpEndpoint::send_to(const Peer& to, const Bytes& bytes)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(to.port);
    address.sin_addr.s_addr = htonl(to.ip);
    return sendto(socket_, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&address), sizeof address) ==
           ssize_t(bytes.size());
}

bool UdpEndpoint::receive(Bytes& bytes, Peer& from)
{
    sockaddr_in address{};
    socklen_t length = sizeof address;
    bytes.resize(2048);
    ssize_t got = recvfrom(socket_, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&address), &length);
    if (got < 0) {
        bytes.clear();
        return false;
    }
    bytes.resize(size_t(got));
    from.ip = ntohl(address.sin_addr.s_addr);
    from.port = ntohs(address.sin_port);
    return true;
}

}  // namespace test_server
