// The socket layer on POSIX. The only file of the game that includes socket headers.
#include "race/net/net_transport.h"

#include "foundation/text/scan.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

static_assert(sizeof(sockaddr_in) == 16, "the address record holds a 16-byte IPv4 address");

const char* net_last_error = nullptr;
const char net_too_long[] = "EMSGSIZE";
int net_started = 0;

namespace {

char error_number[16];

void start_if_needed()
{
    if (!net_started)
        net_startup();
}

}  // namespace

// There is no socket library to start on POSIX; the flag still says the layer is in use.
int net_startup()
{
    net_started = 1;
    return 0;
}

int net_cleanup()
{
    if (!net_started)
        return 0;
    net_started = 0;
    return 0;
}

void net_error_name()
{
    int code = errno;
    net_last_error = nullptr;
    if (code == EINTR || code == EAGAIN || code == EWOULDBLOCK)
        return;
    if (const char* name = strerrorname_np(code)) {
        net_last_error = name;
        return;
    }
    snprintf(error_number, sizeof error_number, "%d", code);
    net_last_error = error_number;
}

net_host_port net_split_server_text(const char* text, int default_port)
{
    net_host_port out{text, uint16_t(default_port)};
    const char* colon = strrchr(text, ':');
    int number = 0;
    if (colon && scan_string(colon + 1, "%d", &number) == 1) {
        out.host.assign(text, size_t(colon - text));
        out.port = uint16_t(uint32_t(number) & 0xffff);
    }
    return out;
}

int net_resolve(net_address* out, const char* text, int default_port)
{
    start_if_needed();
    memset(out, 0, sizeof *out);
    out->length = 16;
    net_last_error = nullptr;

    net_host_port split = net_split_server_text(text, default_port);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(split.port);

    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(split.host.c_str(), nullptr, &hints, &found) != 0 || !found)
        return 0;
    address.sin_addr = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr;
    freeaddrinfo(found);
    memcpy(out->address, &address, sizeof address);
    return 1;
}

int net_open_socket()
{
    start_if_needed();
    net_last_error = nullptr;
    // Close-on-exec keeps the socket out of programs the game starts.
    int s = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (s < 0) {
        net_error_name();
        return -1;
    }
    int flags = fcntl(s, F_GETFL, 0);
    if (flags < 0 || fcntl(s, F_SETFL, flags | O_NONBLOCK) < 0) {
        net_error_name();
        close(s);
        return -1;
    }
    return s;
}

void net_close_socket(int socket)
{
    close(socket);
}

int net_send(int socket, const void* bytes, int length, const net_address* to)
{
    net_last_error = nullptr;
    sockaddr_in address;
    memcpy(&address, to->address, sizeof address);
    socklen_t address_length = to->length < 0 ? 0 : to->length > 16 ? 16 : socklen_t(to->length);
    ssize_t sent = sendto(socket, bytes, size_t(length), 0, reinterpret_cast<const sockaddr*>(&address),
                          address_length);
    if (sent < 0) {
        net_error_name();
        return -1;
    }
    return int(sent);
}

int net_receive(int socket, void* buffer, int size, net_address* from)
{
    net_last_error = nullptr;
    sockaddr_in address{};
    socklen_t address_length = sizeof address;
    // MSG_TRUNC reports a datagram's real length, so one that did not fit is refused
    // rather than handed on cut.
    ssize_t got = recvfrom(socket, buffer, size_t(size), MSG_TRUNC, reinterpret_cast<sockaddr*>(&address),
                           &address_length);
    if (got < 0) {
        net_error_name();
        return -1;
    }
    if (got > size) {
        net_last_error = net_too_long;
        return -1;
    }
    memset(from, 0, sizeof *from);
    from->length = int32_t(address_length);
    memcpy(from->address, &address, sizeof address);
    return int(got);
}
