// The server's side of the game-server protocol, written apart from the client's codec
// so that a misreading on one side shows up in a round trip. Only the little-endian
// field helpers are shared.
//
// Server packets built here (little-endian, type in byte 0):
//   1 full | 2 {i32 slot, u32 connection id, u32 version} | 4 {u32 race, i32 limit ticks,
//   i32 laps, i32 gate-drop tick, 20-byte hash, folder} | 6 {u32 race, u32 slot, text} |
//   8 {u32 race, i32 lineup, text} | 10 {u32 race, u32 tick, u32 echo} | 11 {u32 race,
//   u32 tick, u32 echo, u32 n, n × [u16 slot, u16 ping, u32 tick, 39 state bytes]} |
//   14 {u32 race} | 15 | 16 {text} | 17 {u32 sequence, u8 record, payload} |
//   18 {u32 sequence} | 25 {u32 nonce, text}
// Client packets read here: 0 hello (21 bytes), 3 info (41 + text), 5/9/14 (13),
//   7 (17), 11 state (60), 13 restart (13), 15 leave (9), 17 reliable (14 and more),
//   18 ack (13); every one after the hello starts {type, i32 slot, u32 connection id}.
#pragma once
#include "udp_endpoint.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace test_server {

using PackedState = std::array<uint8_t, 39>;
using TrackHash = std::array<uint8_t, 20>;

struct StateEntry {
    uint16_t slot;
    uint16_t ping;
    uint32_t tick;
    PackedState state;
};
struct TimingEntry {
    uint32_t slot;
    int32_t index;
    int32_t tick;
};

// Server packets.
Bytes server_full();
Bytes hello_reply(int32_t slot, uint32_t connection_id, uint32_t version);
Bytes track_info(uint32_t race, int32_t limit_ticks, int32_t laps, int32_t gate_drop, const TrackHash& hash,
                 const std::string& folder);
Bytes rider_info(uint32_t race, uint32_t slot, const std::string& text);
Bytes race_start(uint32_t race, int32_t lineup, const std::string& text);
Bytes tick_sync(uint32_t race, uint32_t tick, uint32_t echo);
Bytes rider_states(uint32_t race, uint32_t tick, uint32_t echo, const std::vector<StateEntry>& entries);
Bytes new_race(uint32_t race);
Bytes disconnected();
Bytes kick(const std::string& text);
Bytes reliable(uint32_t sequence, uint8_t record, const Bytes& payload);
Bytes ack(uint32_t sequence);
Bytes redirect(uint32_t nonce, const std::string& target);

// Server record payloads (chat, "still there" and text records are their bytes).
Bytes timing_payload(uint32_t race, const std::vector<TimingEntry>& entries);
Bytes deformation_payload(uint32_t race, const Bytes& record);
Bytes script_payload(uint32_t race, const std::string& message);

// Client packets.
struct ClientHead {
    uint8_t type;
    int32_t slot;
    uint32_t connection_id;
};
struct ClientHello {
    bool has_password;
    uint32_t protocol;
    uint32_t nonce;
};
struct ClientInfo {
    ClientHead head;
    uint32_t password_word;
    uint32_t nonce;
    std::string text;
};
struct ClientRaceAck {  // 5, 7, 9 and 14; highest only in 7
    ClientHead head;
    uint32_t race;
    int32_t highest;
};
struct ClientState {
    ClientHead head;
    uint32_t race;
    uint32_t newest_server_tick;
    uint32_t tick;
    PackedState state;
};
struct ClientReliable {
    ClientHead head;
    uint32_t sequence;
    uint8_t record;
    Bytes payload;
};
struct ClientSequence {  // 13 (value 1) and 18 (the sequence)
    ClientHead head;
    uint32_t value;
};

std::optional<ClientHello> read_hello(const Bytes& p);
std::optional<ClientHead> read_head(const Bytes& p);  // any packet but the hello, at least 9 bytes
std::optional<ClientInfo> read_client_info(const Bytes& p);
std::optional<ClientRaceAck> read_race_ack(const Bytes& p);
std::optional<ClientState> read_state(const Bytes& p);
std::optional<ClientReliable> read_reliable(const Bytes& p);
std::optional<ClientSequence> read_sequence(const Bytes& p);

// Client record payloads.
struct LapReport {
    uint32_t race;
    int32_t index;
    int32_t tick;
};
std::optional<LapReport> read_lap_report(const Bytes& payload);
std::optional<std::pair<uint32_t, Bytes>> read_deformation(const Bytes& payload);

// The client's password word for a connection: RIPEMD-160 over the password and the id
// (4 bytes, little-endian); the first 4 digest bytes as a big-endian number.
uint32_t password_word(const std::string& password, uint32_t connection_id);

}  // namespace test_server
