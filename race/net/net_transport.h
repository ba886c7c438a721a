// The thin layer over POSIX datagram sockets that the network client uses: resolving a
// server text, the non-blocking IPv4 socket, one datagram out or in, and the name of the
// last socket error. Nothing here prints; every failure leaves its name in
// net_last_error (null for an empty queue or an interrupted call).
#pragma once
#include <cstdint>
#include <string>

// The address handed to every send and filled by every receive: the length (16 after
// a resolve or a receive) and an IPv4 socket address (family, port and address in
// network order, 8 zero bytes).
struct net_address {
    int32_t length;
    uint8_t address[16];
};

extern const char* net_last_error;
extern int net_started;

int net_startup();
int net_cleanup();

// "host", "host:port" or "a:b:port": the host is the text before the last ':' when
// the rest reads as one number, else the whole text on the default port. The port
// keeps the number's low 16 bits.
struct net_host_port {
    std::string host;
    uint16_t port;
};
net_host_port net_split_server_text(const char* text, int default_port);

// 1 when the host resolves to an IPv4 address (the first one), else 0.
int net_resolve(net_address* out, const char* text, int default_port);

int net_open_socket();
void net_close_socket(int socket);
int net_send(int socket, const void* bytes, int length, const net_address* to);
// The datagram's length, or -1. A datagram longer than size is lost and fails the
// receive with net_too_long ("EMSGSIZE"); the next receive reads the next datagram.
int net_receive(int socket, void* buffer, int size, net_address* from);
extern const char net_too_long[];
void net_error_name();
