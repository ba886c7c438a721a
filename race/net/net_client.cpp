// The connection's data, its reset, the network step and the menu's actions.
#include "race/net/net_client.h"

#include "foundation/front_door.h"
#include "race/net/net_channel.h"
#include "race/net/net_messages.h"
#include "race/net/net_rider_info.h"
#include "race/net/net_upload.h"
#include "race/race_hooks.h"
#include "race/race_riders.h"
#include "race/program/run_clock.h"
#include "race/track_load.h"
#include "race/net/wire_client.h"
#include "race/net/wire_records.h"
#include "race/program/program_hooks.h"
#include "sim/bike_step.h"
#include "sim/stock_shapes.h"
#include "terrain/ruts.h"

#include <cstdio>
#include <cstring>
#include <ctime>

const char* net_server_name = nullptr;
int net_state = 0;
uint32_t net_race_id = 0;
int32_t net_time_limit_ticks = 0;
int32_t net_laps = 0;
uint8_t net_track_hash[20] = {};
const char* net_track_name = nullptr;
int32_t net_highest_slot = net_no_slot;
const char* net_password = nullptr;
uint32_t net_nonce = 0;
double net_last_send_time = 0;
int32_t net_reported_position = 0;
uint32_t net_newest_server_tick = 0;
int32_t net_server_tick = 0;
double net_keepalive_time = 5.0;
double net_last_heard_time = 0;
int net_rider_info_pending = 0;
char net_redirect_target[128] = {};
double net_redirect_time = 0;
float off_course_bias = 10.0f;
float off_course_scale = 1.5f;
int net_arcade_disabled = 0;

int32_t net_ping[kNetSlots];
uint32_t net_state_tick[kNetSlots];
net_rider_record net_rider_infos[kNetSlots];

double net_fake_lag = 0;
int net_fake_loss = 0;
int net_stranger_datagrams = 0;

void (*net_track_reset)(const int32_t*, int, int, int32_t, int32_t, int32_t) = reset_race;
uint32_t (*net_calendar_seconds)() = [] { return uint32_t(time(nullptr)); };

namespace {

constexpr int kDefaultPort = 19800;
// Disconnects sent without an answer before the client leaves on its own.
constexpr int kUnansweredDisconnects = 5;

char server_name_storage[128];
int disconnects_sent = 0;

rider_request network_rider_request;

const char* network_track()
{
    return net_track_name;
}

const char* texture_or_none(const char* name)
{
    return name && name[0] ? name : nullptr;
}

// The rider of a slot as the server described it.
const rider_request* network_rider(int32_t slot)
{
    if (slot < 0 || slot >= kNetSlots)
        return nullptr;
    const net_rider_record& r = net_rider_infos[slot];
    network_rider_request = {};
    network_rider_request.bike = r.bike[0] ? r.bike : nullptr;
    network_rider_request.number = r.number;
    network_rider_request.name = r.name;
    network_rider_request.body_texture = texture_or_none(r.rider_texture);
    network_rider_request.head_texture = texture_or_none(r.head_texture);
    network_rider_request.bike_texture = texture_or_none(r.bike_texture);
    network_rider_request.wheel_texture = texture_or_none(r.wheel_texture);
    return &network_rider_request;
}

void send_hello()
{
    uint8_t out[21];
    net_send_to_server(out, net_build_hello(out, net_password != nullptr, net_nonce));
    console_print("Contacting server\n");
}

// Step 1 of the network step. 0 when the connect failed and the step ends.
int connect()
{
    const char* failure = nullptr;
    if (!stock_shapes_flag)
        failure = "Fixed file mismatch\n";
    else if (!net_resolve(&net_server_address, net_server_name, kDefaultPort))
        failure = "Can't resolve address\n";
    else if ((net_socket = net_open_socket()) < 0)
        failure = "Can't create socket\n";
    if (failure) {
        net_socket = -1;
        console_print(failure);
        net_server_name = nullptr;
        return 0;
    }
    net_state = 0;
    net_nonce = net_calendar_seconds();
    net_last_send_time = run_clock;
    net_last_heard_time = run_clock;
    send_hello();
    return 1;
}

void leave_turn()
{
    // A server that never answers would hold the client here for ever.
    if (disconnects_sent >= kUnansweredDisconnects) {
        console_print("Disconnected\n");
        net_reset();
        return;
    }
    uint8_t out[9];
    net_send_to_server(out, net_build_disconnect(out, net_own_slot, net_connection_id));
    console_print("Disconnecting\n");
    ++disconnects_sent;
}

}  // namespace

void net_set_server_name(const char* text)
{
    if (!text) {
        net_server_name = nullptr;
        return;
    }
    // The text may be the redirect target or the storage itself.
    char copy[sizeof server_name_storage];
    snprintf(copy, sizeof copy, "%s", text);
    memcpy(server_name_storage, copy, sizeof copy);
    net_server_name = server_name_storage;
}

void net_chat_send(const char* text)
{
    net_queue_reliable(net_record_chat, text, int(strlen(text)));
}

void net_client_install()
{
    program_hooks.chat_send = net_chat_send;
    race_hooks.network_track = network_track;
    race_hooks.network_rider = network_rider;
    race_hooks.riders_clear = riders_clear;
    wheel_ruts_set_sender(net_queue_data);
    net_fake_loss_seed(uint32_t(time(nullptr)));
}

void net_send_state_packet()
{
    uint8_t out[net_client_info_fixed + net_client_info_text_room];
    switch (net_state) {
    case 0:
        send_hello();
        break;
    case 3: {
        char text[kRiderInfoRoomClientInfo];
        const int n = net_rider_info_build(text, sizeof text, player_setup);
        net_rider_info_pending = 0;
        net_send_to_server(out, net_build_client_info(out, net_own_slot, net_connection_id,
                                                      net_password_word(net_password, net_connection_id),
                                                      net_nonce, text, n));
        console_print("Sending client info\n");
        break;
    }
    case 5:
        net_send_to_server(out, net_build_race_packet(out, 5, net_own_slot, net_connection_id, net_race_id));
        console_print("Sending track acknowledgment\n");
        break;
    case 7: {
        net_send_to_server(out, net_build_bike_ack(out, net_own_slot, net_connection_id, net_race_id,
                                                   net_highest_slot));
        char line[64];
        snprintf(line, sizeof line, "Sending bike acknowledgment %d\n", net_highest_slot);
        console_print(line);
        break;
    }
    case 9:
        net_send_to_server(out, net_build_race_packet(out, 9, net_own_slot, net_connection_id, net_race_id));
        break;
    case 14:
        net_send_to_server(out, net_build_race_packet(out, 14, net_own_slot, net_connection_id, net_race_id));
        console_print("Sending restart\n");
        break;
    case 15:
        leave_turn();
        break;
    default:
        break;
    }
}

void net_step()
{
    if (!net_server_name)
        return;
    if (net_socket == -1 && !connect())
        return;
    if (net_server_tick > 0)
        net_server_tick = int32_t(uint32_t(net_server_tick) + 1u);
    net_receive_step();
    if (net_socket == -1)
        return;
    if (run_clock - net_last_heard_time > net_silence_limit || net_reliable_stalled()) {
        console_print("Connection to server lost\n");
        net_reset();
        return;
    }
    net_upload_pump();
    net_reliable_resend();
    const double now = run_clock;
    if (net_redirect_time > 0 && net_redirect_time < now) {
        net_redirect_time = 0;
        net_state = 15;
        char line[160];
        snprintf(line, sizeof line, "Redirecting to '%s'", net_redirect_target);
        console_print(line);
    }
    if (net_state == 11) {
        net_racing_sends();
        net_last_send_time = now;
    } else if (now >= net_last_send_time + 1) {
        net_last_send_time = now;
        net_send_state_packet();
    }
}

void net_reset()
{
    if (net_socket != -1)
        net_close_socket(net_socket);
    net_server_name = nullptr;
    net_socket = -1;
    net_server_tick = 0;
    net_newest_server_tick = 0;
    net_reported_position = 0;
    net_state = 0;
    net_last_send_time = 0;
    net_own_slot = net_no_slot;
    net_connection_id = 0;
    net_race_id = 0;
    net_time_limit_ticks = 0;
    net_laps = 0;
    net_lineup[kRaceSlots] = 0;
    net_own_lineup = kWatchOnlyValue;
    net_rider_info_pending = 0;
    net_arcade_disabled = 0;
    off_course_bias = 10.0f;
    off_course_scale = 1.5f;
    net_reliable_reset();
    // Datagrams held back by the fake lag belong to the old server.
    net_lag_queue_clear();
    disconnects_sent = 0;
    if (net_redirect_target[0] && net_redirect_time == 0)
        net_set_server_name(net_redirect_target);
    net_redirect_target[0] = '\0';
    net_redirect_time = 0;
}

void net_send_disconnect()
{
    if (net_socket == -1)
        return;
    uint8_t out[9];
    net_send_to_server(out, net_build_disconnect(out, net_own_slot, net_connection_id));
}

void net_client_restore()
{
    net_redirect_target[0] = '\0';
    net_redirect_time = 0;
    net_reset();
    net_upload_restore();
    net_keepalive_time = 5.0;
    riders_clear();
    for (int32_t& k : knockout_table)
        k = 0;
    net_track_name = nullptr;
    memset(net_track_hash, 0, sizeof net_track_hash);
    net_stranger_datagrams = 0;
}

void net_menu_connect(const char* text)
{
    net_set_server_name(text);
}

void net_menu_disconnect()
{
    if (net_socket == -1)
        return;
    if (net_state == 0) {
        console_print("Disconnected\n");
        net_reset();
        return;
    }
    net_state = 15;
}

void net_request_restart()
{
    if (net_socket == -1 || net_state != 11)
        return;
    uint8_t out[13];
    net_send_to_server(out, net_build_restart_request(out, net_own_slot, net_connection_id));
}
