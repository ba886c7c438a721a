// The records carried by reliable packets (type 17). One record per packet: a type byte,
// then the payload. Outgoing, the channel puts them at byte 13 and cuts the payload to
// 466 bytes; incoming, the record type is byte 5 of the packet and the payload runs
// from byte 6 to the packet's end.
//
//   type  direction  payload
//   3     out        rider-info text
//   19    both       chat text, no terminator
//   20    in         "are you still there" (payload ignored)
//   20    out        the 29 characters "Hello server, I'm still here!"
//   21    in         u32 race id; u32 n; n × 12 bytes {u32 slot, i32 timing-position
//                    index, i32 tick}; fixed part 8 bytes, only whole entries are read
//   21    out        u32 race id; i32 timing-position index; i32 tick    (lap report)
//   24    both       text: a server command, or an upload text of the client
//   27    both       u32 race id, then a deformation record (17 to 269 bytes); fixed
//                    part 4 bytes
//   31    out        the 25 characters "Roger that!  Still alive!" (two blanks)
//   32    both       the race id in decimal, a blank and the message ("%d %.128s")
//
// Incoming, a record shorter than its fixed part is refused: a timing record needs 14
// bytes of packet, a deformation 10, any other 6.
#pragma once
#include "race/net/wire_server.h"

#include <cstdint>
#include <optional>

enum net_record_type : uint8_t {
    net_record_rider_info = 3,
    net_record_chat = 19,
    net_record_still_there = 20,
    net_record_timing = 21,
    net_record_text = 24,
    net_record_deformation = 27,
    net_record_still_alive = 31,
    net_record_script = 32,
};

constexpr char net_keepalive_text[] = "Hello server, I'm still here!";
constexpr char net_still_alive_text[] = "Roger that!  Still alive!";
constexpr int net_lap_report_size = 12;
constexpr int net_script_payload_room = 11 + 1 + 128 + 1;

// Payload builders; each returns the payload's length.
int net_lap_report_payload(uint8_t out[net_lap_report_size], uint32_t race_id, int32_t index, int32_t tick);
// out holds 4 + record_length bytes.
int net_deformation_payload(uint8_t* out, uint32_t race_id, const uint8_t* record, int record_length);
// "%d %.128s"; out holds net_script_payload_room bytes (the terminator is not counted).
int net_script_payload(char* out, uint32_t race_id, const char* message);

// The record type of a delivered packet, or -1 when it is shorter than 6 bytes.
int net_record_type_of(const uint8_t* packet, int length);

// Chat, text commands and script messages: the payload as a text, terminated in place
// (the buffer holds one byte more than the packet).
std::optional<net_text> net_parse_record_text(uint8_t* packet, int length);

struct net_timing_record {
    uint32_t race_id;
    uint32_t count;   // as the record claims
    int whole;        // entries lying wholly inside the packet
    const uint8_t* entries;
};
struct net_timing_entry {
    uint32_t slot;
    int32_t index;
    int32_t tick;
};
std::optional<net_timing_record> net_parse_timing(const uint8_t* packet, int length);
net_timing_entry net_timing_entry_at(const net_timing_record& timing, int index);

struct net_deformation {
    uint32_t race_id;
    const uint8_t* record;
    int record_length;
};
std::optional<net_deformation> net_parse_deformation(const uint8_t* packet, int length);
