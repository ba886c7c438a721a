// The reliable channel: messages that must reach the other side once and in order,
// carried stop-and-wait over the game socket. Outgoing packets queue oldest first and
// only the oldest is ever on the wire, resent every 0.5 s of run_clock until the server
// acknowledges it. Incoming reliable packets are acknowledged at once, delivered to
// net_handle_message in sequence order, and early ones are held until the gap closes.
//
// Outgoing packet (type 17): [0] 17; [1] i32 own slot; [5] u32 connection id;
// [9] u32 sequence; [13] u8 record type; [14..] payload, at most 466 bytes (480 in all).
// The header is written when the packet is queued.
// Incoming packet (type 17): [0] 17; [1] u32 sequence; [5] u8 record type; [6..] payload.
// Acknowledgments: out [0] 18; [1] own slot; [5] connection id; [9] u32 sequence;
// in [0] 18; [1] u32 sequence.
#pragma once
#include <cstdint>

constexpr int net_reliable_size = 480;
constexpr int net_reliable_header = 13;
constexpr int net_reliable_payload_max = net_reliable_size - 1 - net_reliable_header;  // 466
constexpr double net_resend_interval = 0.5;
// Early packets are held only this far ahead of the expected sequence.
constexpr uint32_t net_hold_window = 1024;
// Outgoing packets queued at most. Stop-and-wait delivers one packet a tick at best, so
// this is 8 s of backlog (half a megabyte); an acknowledging server keeps the queue to a
// handful, and one that does not would otherwise grow it without end.
constexpr int net_outgoing_cap = 1024;
// A server that leaves the oldest packet unacknowledged this long (seconds) has gone.
constexpr double net_acknowledge_limit = 60;

struct reliable_packet {
    double resend_time;     // run_clock seconds; 0 = not yet sent
    double first_send_time; // run_clock seconds of its first send; 0 = not yet sent
    reliable_packet* next;
    uint32_t sequence;
    uint32_t length;        // bytes used in data
    uint8_t data[net_reliable_size];
};

// An early incoming packet: its bytes follow the record, with a zero byte after them.
struct held_packet {
    held_packet* next;
    uint32_t sequence;
    uint32_t length;
    uint8_t* bytes;
};

extern reliable_packet* net_outgoing_queue;   // oldest first
extern int net_outgoing_count;
// Set when a record found the queue full; the network step then ends the connection.
extern bool net_outgoing_overflowed;
extern held_packet* net_hold_list;            // ascending sequence, none twice
extern uint32_t net_next_outgoing_sequence;
extern uint32_t net_expected_sequence;

// Appends a zero-filled packet with its header written (length 13) to the queue; the
// caller writes one record after the header and adds its size to length. The caller
// checks first that the socket is open. Null, with net_outgoing_overflowed set, when
// the queue holds net_outgoing_cap packets.
reliable_packet* net_reliable_packet_new();
// Queues a record of the type and bytes, the payload cut to what the packet holds.
// Prints "Not connected to server" and queues nothing while the socket is closed.
// 1 when queued.
int net_queue_reliable(int record_type, const void* bytes, int count);
// True when the oldest packet went unacknowledged past net_acknowledge_limit, or a
// record found the queue full.
bool net_reliable_stalled();
// Sends the oldest queued packet when its resend time has passed (network step).
void net_reliable_resend();
// A reliable packet from the server, of length bytes in a buffer that holds one more.
void net_reliable_receive(uint8_t* packet, int length);
// An acknowledgment from the server.
void net_reliable_acknowledged(const uint8_t* packet, int length);
// Frees both lists and starts both counters again at 0.
void net_reliable_reset();

// One datagram to the server; a failed send prints "sendto error (...)".
void net_send_to_server(const void* bytes, int length);
// Where delivered packets go: net_handle_message (tests of the channel alone put a
// recorder here).
extern void (*net_message_handler)(uint8_t* packet, int length);
