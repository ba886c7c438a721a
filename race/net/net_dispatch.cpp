// What each server packet does, by its type and the connection's state. Packets for
// another race, from a wrong state or before the own slot is known change nothing and
// print nothing; so do datagrams from any address but the server's.
#include "foundation/intern.h"
#include "foundation/front_door.h"
#include "race/game_settings.h"
#include "race/net/net_channel.h"
#include "race/net/net_client.h"
#include "race/net/net_rider_info.h"
#include "race/race_values.h"
#include "race/program/run_clock.h"
#include "race/rider_history.h"
#include "race/program/startup.h"
#include "race/net/wire_server.h"
#include "sim/race_clock.h"
#include "terrain/track_list.h"

#include <cstdio>
#include <cstring>

namespace {

bool own_slot_set()
{
    return net_own_slot >= 0 && net_own_slot < kNetSlots;
}

bool from_server(const net_address& from)
{
    return from.length == net_server_address.length && memcmp(from.address, net_server_address.address, 8) == 0;
}

void print_line(const char* format, const char* text)
{
    char line[256];
    snprintf(line, sizeof line, format, text);
    console_print(line);
}

const char* listed_track(const char* folder)
{
    for (int32_t i = 0; i < track_count; ++i)
        if (track_list[i].folder && strcmp(track_list[i].folder, folder) == 0)
            return track_list[i].folder;
    return nullptr;
}

void hello_reply(const uint8_t* packet, int length)
{
    std::optional<net_hello_reply> r = net_parse_hello_reply(packet, length);
    // A slot outside the table could never lead on: keep saying hello.
    if (!r || net_state != 0 || r->slot < 0 || r->slot >= kNetSlots)
        return;
    net_own_slot = r->slot;
    net_connection_id = r->connection_id;
    if (r->version == 6) {
        net_state = 3;
    } else {
        console_print("Server version does not match client version\n");
        net_state = 15;
    }
    net_last_send_time = 0;
}

// A server value the race cannot use: one line, and the client leaves.
void refuse_server_value(const char* what)
{
    print_line("Server sent an impossible %s: leaving the server\n", what);
    net_state = 15;
    net_last_send_time = 0;
}

void track_info(uint8_t* packet, int length)
{
    std::optional<net_track_info> t = net_parse_track_info(packet, length);
    if (!t || !own_slot_set() || (net_state != 3 && net_state != 14) ||
        (net_race_id != 0 && net_race_id != t->race_id))
        return;
    if (!race_value_in_range(t->time_limit_ticks) || !race_value_in_range(t->laps) ||
        !race_value_in_range(t->gate_drop_tick)) {
        refuse_server_value("race length");
        return;
    }
    net_race_id = t->race_id;
    net_time_limit_ticks = t->time_limit_ticks;
    net_laps = t->laps;
    net_lineup[kRaceSlots] = t->gate_drop_tick;
    memcpy(net_track_hash, t->hash, sizeof net_track_hash);
    net_last_send_time = 0;
    if (const char* folder = listed_track(t->folder.text)) {
        net_track_name = intern_string(folder);
        net_state = 5;
        riders_clear();
    } else {
        print_line("Can't find track '%.150s'\n", t->folder.text);
        net_state = 15;
    }
}

void rider_info(uint8_t* packet, int length)
{
    std::optional<net_rider_info> r = net_parse_rider_info(packet, length);
    if (!r || !own_slot_set() || (net_state != 5 && net_state != 7) || r->race_id != net_race_id)
        return;
    if (r->slot >= uint32_t(kNetSlots) || (net_highest_slot != net_no_slot && int32_t(r->slot) <= net_highest_slot))
        return;
    net_rider_info_parse(r->text.text, &net_rider_infos[r->slot]);
    net_highest_slot = int32_t(r->slot);
    net_lineup[r->slot] = 5;
    net_state = 7;
    net_last_send_time = 0;
}

void race_start_packet(uint8_t* packet, int length)
{
    std::optional<net_race_start> s = net_parse_race_start(packet, length);
    if (!s || !own_slot_set() || (net_state != 5 && net_state != 7) || s->race_id != net_race_id)
        return;
    // The value places the rider on the start spots: a place outside the lineup, other
    // than "watching", would reach past the spot tables.
    if (s->lineup < 0 || s->lineup > kWatchOnlyValue)
        return;
    net_own_lineup = s->lineup;
    net_lineup[net_own_slot] = 1;
    net_rider_info_parse(s->text.text, &net_rider_infos[net_own_slot]);
    // Online lineups hold no robots, so the skill only names the racing-lines file.
    net_track_reset(net_lineup, 0, game_settings.record, net_time_limit_ticks, net_laps, 0);
    net_state = 9;
    net_last_send_time = 0;
    if (memcmp(track_hash, net_track_hash, sizeof track_hash) != 0) {
        print_line("Client track modified - does not match server's track (%.100s)\n",
                   net_track_name ? net_track_name : "");
        net_state = 15;
    }
}

void own_ping(uint32_t echo)
{
    if (echo != 0)
        net_ping[net_own_slot] = int32_t(uint32_t(current_tick) - echo);
}

// false when the tick is past what the race counts (the client then leaves).
bool tick_sync(uint32_t server_tick)
{
    if (!race_value_in_range(server_tick)) {
        refuse_server_value("tick");
        return false;
    }
    if (net_newest_server_tick == 0)
        current_tick = int32_t(server_tick);
    if (server_tick > net_newest_server_tick) {
        net_newest_server_tick = server_tick;
        net_server_tick = int32_t(server_tick);
    }
    return true;
}

void racing_begins()
{
    if (net_state == 11)
        return;
    char line[64];
    net_race_length_text(line, sizeof line, net_time_limit_ticks, net_laps);
    console_print(line);
    net_state = 11;
}

bool race_packet_taken(uint32_t race_id)
{
    return own_slot_set() && (net_state == 9 || net_state == 11) && race_id == net_race_id;
}

void tick_sync_packet(const uint8_t* packet, int length)
{
    std::optional<net_tick_sync> s = net_parse_tick_sync(packet, length);
    if (!s || !race_packet_taken(s->race_id))
        return;
    own_ping(s->echo);
    if (tick_sync(s->server_tick))
        racing_begins();
}

void rider_states(const uint8_t* packet, int length)
{
    std::optional<net_rider_states> s = net_parse_rider_states(packet, length);
    if (!s || !race_packet_taken(s->sync.race_id))
        return;
    if (s->count != 0) {
        if (length < 64) {
            console_print("State packet too small");
            return;
        }
        for (int i = 0; i < s->whole; ++i) {
            const net_state_entry e = net_state_entry_at(*s, i);
            own_ping(s->sync.echo);
            if (e.slot >= uint32_t(kNetSlots) || race.kinds[e.slot] != rider_kind_remote ||
                e.tick <= net_state_tick[e.slot] || !race_value_in_range(e.tick))
                continue;
            net_state_tick[e.slot] = e.tick;
            net_ping[e.slot] = int32_t(e.ping);
            packed_rider_state state;
            memcpy(state.bytes, e.state, sizeof state.bytes);
            add_state_to_history(int32_t(e.slot), &state, int32_t(e.tick));
        }
        if (s->cut) {
            console_print("State packet too small");
            return;
        }
    }
    if (tick_sync(s->sync.server_tick))
        racing_begins();
}

void new_race(const uint8_t* packet, int length)
{
    std::optional<uint32_t> id = net_parse_new_race(packet, length);
    if (!id || !own_slot_set() || (net_state != 9 && net_state != 11) || *id <= net_race_id)
        return;
    net_race_id = *id;
    net_state = 14;
}

void redirected(uint8_t* packet, int length)
{
    std::optional<net_redirect> r = net_parse_redirect(packet, length);
    if (!r || net_state != 0 || r->nonce != net_nonce)
        return;
    snprintf(net_redirect_target, sizeof net_redirect_target, "%s", r->target.text);
    net_redirect_time = 0;
    net_reset();
}

}  // namespace

void net_race_length_text(char* out, int size, int32_t time_limit_ticks, int32_t laps)
{
    if (time_limit_ticks < 1) {
        snprintf(out, size_t(size), "%d laps", laps);
        return;
    }
    const int minutes = int(time_limit_ticks * tick_length / 60 + 0.5);
    if (laps < 1)
        snprintf(out, size_t(size), "%d minutes", minutes);
    else
        snprintf(out, size_t(size), "%d minutes + %d laps", minutes, laps);
}

void net_dispatch(uint8_t* packet, int length, const net_address& from)
{
    if (!from_server(from)) {
        ++net_stranger_datagrams;
        return;
    }
    net_last_heard_time = run_clock;
    switch (net_server_packet_type(packet, length)) {
    case net_in_server_full:
        console_print("Server is full\n");
        break;
    case net_in_hello_reply:
        hello_reply(packet, length);
        break;
    case net_in_track_info:
        track_info(packet, length);
        break;
    case net_in_rider_info:
        rider_info(packet, length);
        break;
    case net_in_race_start:
        race_start_packet(packet, length);
        break;
    case net_in_tick_sync:
        tick_sync_packet(packet, length);
        break;
    case net_in_rider_states:
        rider_states(packet, length);
        break;
    case net_in_new_race:
        new_race(packet, length);
        break;
    case net_in_disconnected:
        console_print("Disconnected\n");
        net_reset();
        break;
    case net_in_kick:
        if (std::optional<net_text> t = net_parse_kick(packet, length))
            console_print(t->text);
        net_state = 15;
        net_last_send_time = 0;
        break;
    case net_in_reliable:
        net_reliable_receive(packet, length);
        break;
    case net_in_ack:
        net_reliable_acknowledged(packet, length);
        break;
    case net_in_redirect:
        redirected(packet, length);
        break;
    default:
        break;
    }
}
