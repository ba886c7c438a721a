// The network client: one connection to a game server, walked through its states
// from the first hello to racing and leaving. Everything is static and runs on the
// main thread in the network step, once per tick before the game tick; "now" is
// run_clock.
//
// States (each sending state's value is its packet's type; it repeats that packet
// once per second of run_clock until a server packet moves it on):
//   0 hello, 3 client info, 5 track acknowledged, 7 riders acknowledged, 9 loaded,
//   11 racing (state packets every 4th tick), 14 new race, 15 leaving.
#pragma once
#include "race/net/net_connection.h"
#include "race/race_state.h"

#include <cstdint>

// Connection. The socket, address, own slot and connection id are in net_connection.h.
extern const char* net_server_name;         // null: no server wanted
extern int net_state;
extern uint32_t net_race_id;                // 0 = none
extern int32_t net_time_limit_ticks;
extern int32_t net_laps;
// 0..159 per slot (1 the local rider, 5 a remote one), [160] the gate-drop tick; the
// race's own table, handed to the track reset.
inline int32_t (&net_lineup)[kNetworkLineupEntries] = race.network_lineup;
// The local rider's place in the start lineup, 160 = only watching.
inline int32_t& net_own_lineup = race.own_lineup_value;
extern uint8_t net_track_hash[20];
extern const char* net_track_name;          // interned
extern int32_t net_highest_slot;            // 160 = no rider info taken yet
extern const char* net_password;            // null: none
extern uint32_t net_nonce;
extern double net_last_send_time;           // 0 sends at the next step
extern int32_t net_reported_position;
extern uint32_t net_newest_server_tick;     // 0 = none
extern int32_t net_server_tick;             // estimate; the game tick waits while below 1
extern double net_keepalive_time;
// run_clock seconds of the last datagram from the server (or of the connect). A server
// silent for net_silence_limit seconds, or one that stops acknowledging, has gone: the
// client ends the connection with "Connection to server lost".
extern double net_last_heard_time;
inline constexpr double net_silence_limit = 60;
extern int net_rider_info_pending;
extern char net_redirect_target[128];
extern double net_redirect_time;            // 0 = no redirect under way
extern float off_course_bias;
extern float off_course_scale;
// Set by the server: arcade physics is applied as off whatever the setup says.
extern int net_arcade_disabled;

// Per slot.
inline constexpr int kNetSlots = 160;
struct net_rider_record {
    char bike[64];
    char rider_texture[64];
    char bike_texture[64];
    char wheel_texture[64];
    const char* head_texture;   // interned, null = none
    char number[4];
    const char* name;           // interned, null = none
};
extern int32_t net_ping[kNetSlots];
extern uint32_t net_state_tick[kNetSlots];
extern net_rider_record net_rider_infos[kNetSlots];

// Test options from the command line.
extern double net_fake_lag;                 // seconds, 0..1
extern int net_fake_loss;                   // percent, 0..100
void net_fake_loss_seed(uint32_t seed);

// Seams: the track reset of a race start (reset_race), and the calendar seconds the
// nonce is taken from.
extern void (*net_track_reset)(const int32_t* lineup, int replay, int record, int32_t time_limit_ticks,
                               int32_t laps, int32_t skill);
extern uint32_t (*net_calendar_seconds)();

// Datagrams dropped because they came from another address than the server's or were
// too long; the log gets their count at most once a second.
extern int net_stranger_datagrams;

// The server text, cut to 127 characters and kept in the client's own storage; null
// clears it. A text set while no socket is open connects at the next step.
void net_set_server_name(const char* text);

// Queues a chat line for the server (reliable record 19, cut to the packet's room).
void net_chat_send(const char* text);
// Installs the client's entry points (track and riders for the race start, the
// per-slot clearing, the deformation sender, the chat line) and seeds the fake loss
// from the clock.
void net_client_install();

// The network step: connect, receive and dispatch, upload, resend, redirect, send.
void net_step();
// Closes the connection and puts every connection field back; a redirect target that
// fell due becomes the server name, so that the next step connects there.
void net_reset();
// One disconnect packet to the server, when the socket is open (shutdown).
void net_send_disconnect();
// Everything of the client as at program start: the reset, the upload, the lag queue,
// the keep-alive time, the per-slot tables and the counters (for tests).
void net_client_restore();

// The menu's actions: Connect sets the server text; Disconnect leaves (at once while
// still saying hello); Request Restart sends one restart request while racing.
void net_menu_connect(const char* text);
void net_menu_disconnect();
void net_request_restart();

// The per-slot race tables emptied before a new race (network rider infos, pings,
// state ticks, lineup entries 0..159, every state history); own lineup value and
// highest slot 160; the tick estimate, newest server tick and reported position 0.
void riders_clear();

// The race-length text: "%d laps", "%d minutes" or "%d minutes + %d laps".
void net_race_length_text(char* out, int size, int32_t time_limit_ticks, int32_t laps);

// Internal to the client's files.
void net_receive_step();
void net_dispatch(uint8_t* packet, int length, const net_address& from);
void net_lag_queue_clear();
void net_send_state_packet();
void net_racing_sends();
