// The packets the game server sends to this client: one datagram of at most 1023
// bytes, the type in byte 0, little-endian fields. "min" is the fixed part; a datagram
// shorter than its type's minimum (or empty) is refused whole.
//
//   type  min  layout
//   1     1    server full, type only
//   2     13   [1] i32 slot; [5] u32 connection id; [9] u32 server version (6)
//   4     37   [1] u32 race id; [5] i32 time limit in ticks (0 = none); [9] i32 laps;
//              [13] i32 gate-drop tick; [17..36] 20-byte track hash; [37..] folder name
//   6     9    [1] u32 race id; [5] u32 slot; [9..] rider-info text
//   8     9    [1] u32 race id; [5] i32 own lineup value (160 = watch); [9..] own rider-info text
//   10    13   [1] u32 race id; [5] u32 server tick; [9] u32 echoed client tick (0 = none)
//   11    17   [1] u32 race id; [5] u32 server tick; [9] u32 echo; [13] u32 n; [17..] n
//              entries of 47 bytes: [0] u16 slot, [2] u16 ping in ticks, [4] u32 tick,
//              [8..46] 39-byte packed rider state
//   14    5    [1] u32 race id of the new race
//   15    1    disconnected, type only
//   16    1    [1..] kick text
//   17    6    [1] u32 sequence; [5] u8 record type; [6..] payload (see wire_records.h)
//   18    5    [1] u32 sequence acknowledged
//   25    5    [1] u32 the client's nonce; [5..] server text to go to
//
// Other types are ignored. A text runs to the datagram's end; the text parsers end it
// with a zero byte there, so the buffer holds one byte more than the datagram.
#pragma once
#include <cstdint>
#include <optional>

constexpr int net_max_datagram = 1023;
constexpr int net_receive_buffer = net_max_datagram + 1;
constexpr int net_state_entry_size = 47;

enum net_server_packet : uint8_t {
    net_in_server_full = 1,
    net_in_hello_reply = 2,
    net_in_track_info = 4,
    net_in_rider_info = 6,
    net_in_race_start = 8,
    net_in_tick_sync = 10,
    net_in_rider_states = 11,
    net_in_new_race = 14,
    net_in_disconnected = 15,
    net_in_kick = 16,
    net_in_reliable = 17,
    net_in_ack = 18,
    net_in_redirect = 25,
};

// The fixed part of a server packet type, or -1 for a type the client ignores.
int net_server_packet_min(int type);
// The type of a datagram that is at least its type's minimum long, else -1.
int net_server_packet_type(const uint8_t* packet, int length);

// A text at a packet's end, terminated in place.
struct net_text {
    const char* text;
    int length;
};

struct net_hello_reply {
    int32_t slot;
    uint32_t connection_id;
    uint32_t version;
};
struct net_track_info {
    uint32_t race_id;
    int32_t time_limit_ticks;
    int32_t laps;
    int32_t gate_drop_tick;
    uint8_t hash[20];
    net_text folder;
};
struct net_rider_info {
    uint32_t race_id;
    uint32_t slot;
    net_text text;
};
struct net_race_start {
    uint32_t race_id;
    int32_t lineup;
    net_text text;
};
struct net_tick_sync {
    uint32_t race_id;
    uint32_t server_tick;
    uint32_t echo;
};
struct net_rider_states {
    net_tick_sync sync;
    uint32_t count;         // as the packet claims
    int whole;              // entries lying wholly inside the datagram, at most count
    bool cut;               // the datagram ends before count entries
    const uint8_t* entries;
};
struct net_state_entry {
    uint32_t slot;
    uint32_t ping;
    uint32_t tick;
    const uint8_t* state;  // 39 bytes
};
struct net_redirect {
    uint32_t nonce;
    net_text target;
};
struct net_reliable_head {
    uint32_t sequence;
    uint8_t type;
    const uint8_t* payload;
    int payload_length;
};

std::optional<net_hello_reply> net_parse_hello_reply(const uint8_t* packet, int length);
std::optional<net_track_info> net_parse_track_info(uint8_t* packet, int length);
std::optional<net_rider_info> net_parse_rider_info(uint8_t* packet, int length);
std::optional<net_race_start> net_parse_race_start(uint8_t* packet, int length);
std::optional<net_tick_sync> net_parse_tick_sync(const uint8_t* packet, int length);
std::optional<net_rider_states> net_parse_rider_states(const uint8_t* packet, int length);
net_state_entry net_state_entry_at(const net_rider_states& states, int index);
std::optional<uint32_t> net_parse_new_race(const uint8_t* packet, int length);
std::optional<net_text> net_parse_kick(uint8_t* packet, int length);
std::optional<net_reliable_head> net_parse_reliable(const uint8_t* packet, int length);
std::optional<uint32_t> net_parse_ack(const uint8_t* packet, int length);
std::optional<net_redirect> net_parse_redirect(uint8_t* packet, int length);
