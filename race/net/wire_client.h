// The packets this client sends to the game server. Every integer is little-endian and
// every packet is one datagram; "slot" is the own rider slot (160 = none yet) and "id"
// the connection id of the server's hello reply.
//
//   type  bytes      layout
//   0     21         [0] 0; [1] u8 1 with a password, else 0; [2..8] 0; [9] u32 protocol 43;
//                    [13] u32 nonce; [17..20] 0
//   3     41 + text  [0] 3; [1] i32 slot; [5] u32 id; [9] u32 password word; [13..16] 0;
//                    [17] u32 nonce; [21..40] 0; [41..] rider-info text, no terminator
//                    (the text and a terminator fit in 982 bytes)
//   5     13         [0] 5; [1] i32 slot; [5] u32 id; [9] u32 race id      (track ack)
//   7     17         as 5 with [0] 7, then [13] i32 highest slot taken     (bike ack)
//   9     13         as 5 with [0] 9                                       (loaded)
//   11    60         [0] 11; [1] slot; [5] id; [9] race id; [13] u32 newest server tick;
//                    [17] u32 current tick; [21..59] the 39-byte packed rider state
//   13    13         [0] 13; [1] slot; [5] id; [9] i32 1                   (restart request)
//   14    13         as 5 with [0] 14                                      (new-race ack)
//   15    9          [0] 15; [1] slot; [5] id                              (disconnect)
//   17    14..480    [0] 17; [1] slot; [5] id; [9] u32 sequence; [13] u8 record type;
//                    [14..] payload (the reliable channel builds these)
//   18    13         [0] 18; [1] slot; [5] id; [9] u32 sequence acknowledged
//
// Each builder writes into out and returns the length written.
#pragma once
#include <cstdint>

constexpr uint32_t net_protocol_number = 43;
constexpr int net_packed_state_size = 39;
constexpr int net_client_info_fixed = 41;
constexpr int net_client_info_text_room = 982;  // text plus its terminator

enum net_client_packet : uint8_t {
    net_out_hello = 0,
    net_out_client_info = 3,
    net_out_track_ack = 5,
    net_out_bike_ack = 7,
    net_out_loaded = 9,
    net_out_rider_state = 11,
    net_out_restart = 13,
    net_out_new_race_ack = 14,
    net_out_disconnect = 15,
    net_out_reliable = 17,
    net_out_ack = 18,
};

// The word of the client info: the first 4 digest bytes, big-endian, of RIPEMD-160 over
// the password's bytes and the connection id's 4 little-endian bytes; 0 without one.
uint32_t net_password_word(const char* password, uint32_t connection_id);

int net_build_hello(uint8_t* out, bool has_password, uint32_t nonce);
// out holds at least 41 + 981 bytes; a longer text is cut to 981 characters.
int net_build_client_info(uint8_t* out, int32_t slot, uint32_t id, uint32_t password_word, uint32_t nonce,
                          const char* text, int text_length);
// Types 5, 9 and 14: the packet type, slot, id and race id.
int net_build_race_packet(uint8_t* out, uint8_t type, int32_t slot, uint32_t id, uint32_t race_id);
int net_build_bike_ack(uint8_t* out, int32_t slot, uint32_t id, uint32_t race_id, int32_t highest_slot);
int net_build_rider_state(uint8_t* out, int32_t slot, uint32_t id, uint32_t race_id, uint32_t newest_server_tick,
                          uint32_t current_tick, const uint8_t packed_state[net_packed_state_size]);
int net_build_restart_request(uint8_t* out, int32_t slot, uint32_t id);
int net_build_disconnect(uint8_t* out, int32_t slot, uint32_t id);
int net_build_ack(uint8_t* out, int32_t slot, uint32_t id, uint32_t sequence);
