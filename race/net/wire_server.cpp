#include "race/net/wire_server.h"

#include "race/net/wire_bytes.h"

#include <cstring>

namespace {

bool fits(const uint8_t* packet, int length, uint8_t type)
{
    return packet && length >= net_server_packet_min(type) && length > 0 && packet[0] == type;
}

net_text text_from(uint8_t* packet, int length, int at)
{
    packet[length] = 0;
    return {reinterpret_cast<const char*>(packet + at), length - at};
}

}  // namespace

int net_server_packet_min(int type)
{
    switch (type) {
    case net_in_server_full:
    case net_in_disconnected:
    case net_in_kick:
        return 1;
    case net_in_hello_reply:
    case net_in_tick_sync:
        return 13;
    case net_in_track_info:
        return 37;
    case net_in_rider_info:
    case net_in_race_start:
        return 9;
    case net_in_rider_states:
        return 17;
    case net_in_new_race:
    case net_in_ack:
    case net_in_redirect:
        return 5;
    case net_in_reliable:
        return 6;
    default:
        return -1;
    }
}

int net_server_packet_type(const uint8_t* packet, int length)
{
    if (!packet || length < 1)
        return -1;
    int min = net_server_packet_min(packet[0]);
    return min >= 0 && length >= min ? packet[0] : -1;
}

std::optional<net_hello_reply> net_parse_hello_reply(const uint8_t* packet, int length)
{
    if (!fits(packet, length, net_in_hello_reply))
        return std::nullopt;
    return net_hello_reply{wire_get_i32(packet + 1), wire_get_u32(packet + 5), wire_get_u32(packet + 9)};
}

std::optional<net_track_info> net_parse_track_info(uint8_t* packet, int length)
{
    if (!fits(packet, length, net_in_track_info))
        return std::nullopt;
    net_track_info info;
    info.race_id = wire_get_u32(packet + 1);
    info.time_limit_ticks = wire_get_i32(packet + 5);
    info.laps = wire_get_i32(packet + 9);
    info.gate_drop_tick = wire_get_i32(packet + 13);
    memcpy(info.hash, packet + 17, sizeof info.hash);
    info.folder = text_from(packet, length, 37);
    return info;
}

std::optional<net_rider_info> net_parse_rider_info(uint8_t* packet, int length)
{
    if (!fits(packet, length, net_in_rider_info))
        return std::nullopt;
    return net_rider_info{wire_get_u32(packet + 1), wire_get_u32(packet + 5), text_from(packet, length, 9)};
}

std::optional<net_race_start> net_parse_race_start(uint8_t* packet, int length)
{
    if (!fits(packet, length, net_in_race_start))
        return std::nullopt;
    return net_race_start{wire_get_u32(packet + 1), wire_get_i32(packet + 5), text_from(packet, length, 9)};
}

namespace {

net_tick_sync sync_from(const uint8_t* packet)
{
    return {wire_get_u32(packet + 1), wire_get_u32(packet + 5), wire_get_u32(packet + 9)};
}

}  // namespace

std::optional<net_tick_sync> net_parse_tick_sync(const uint8_t* packet, int length)
{
    if (!fits(packet, length, net_in_tick_sync))
        return std::nullopt;
    return sync_from(packet);
}

std::optional<net_rider_states> net_parse_rider_states(const uint8_t* packet, int length)
{
    if (!fits(packet, length, net_in_rider_states))
        return std::nullopt;
    net_rider_states states;
    states.sync = sync_from(packet);
    states.count = wire_get_u32(packet + 13);
    uint32_t room = uint32_t(length - 17) / net_state_entry_size;
    states.whole = int(states.count < room ? states.count : room);
    states.cut = states.count > room;
    states.entries = packet + 17;
    return states;
}

net_state_entry net_state_entry_at(const net_rider_states& states, int index)
{
    const uint8_t* at = states.entries + size_t(index) * net_state_entry_size;
    return {wire_get_u16(at), wire_get_u16(at + 2), wire_get_u32(at + 4), at + 8};
}

std::optional<uint32_t> net_parse_new_race(const uint8_t* packet, int length)
{
    if (!fits(packet, length, net_in_new_race))
        return std::nullopt;
    return wire_get_u32(packet + 1);
}

std::optional<net_text> net_parse_kick(uint8_t* packet, int length)
{
    if (!fits(packet, length, net_in_kick))
        return std::nullopt;
    return text_from(packet, length, 1);
}

std::optional<net_reliable_head> net_parse_reliable(const uint8_t* packet, int length)
{
    if (!fits(packet, length, net_in_reliable))
        return std::nullopt;
    return net_reliable_head{wire_get_u32(packet + 1), packet[5], packet + 6, length - 6};
}

std::optional<uint32_t> net_parse_ack(const uint8_t* packet, int length)
{
    if (!fits(packet, length, net_in_ack))
        return std::nullopt;
    return wire_get_u32(packet + 1);
}

std::optional<net_redirect> net_parse_redirect(uint8_t* packet, int length)
{
    if (!fits(packet, length, net_in_redirect))
        return std::nullopt;
    return net_redirect{wire_get_u32(packet + 1), text_from(packet, length, 5)};
}
