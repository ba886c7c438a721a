#include "race/net/wire_records.h"

#include "race/net/wire_bytes.h"

#include <cstdio>
#include <cstring>

int net_lap_report_payload(uint8_t out[net_lap_report_size], uint32_t race_id, int32_t index, int32_t tick)
{
    wire_put_u32(out, race_id);
    wire_put_i32(out + 4, index);
    wire_put_i32(out + 8, tick);
    return net_lap_report_size;
}

int net_deformation_payload(uint8_t* out, uint32_t race_id, const uint8_t* record, int record_length)
{
    wire_put_u32(out, race_id);
    if (record_length < 0)
        record_length = 0;
    if (record_length > 0)
        memcpy(out + 4, record, size_t(record_length));
    return 4 + record_length;
}

int net_script_payload(char* out, uint32_t race_id, const char* message)
{
    int n = snprintf(out, net_script_payload_room, "%d %.128s", int32_t(race_id), message);
    return n < 0 ? 0 : n >= net_script_payload_room ? net_script_payload_room - 1 : n;
}

int net_record_type_of(const uint8_t* packet, int length)
{
    return packet && length >= 6 ? packet[5] : -1;
}

std::optional<net_text> net_parse_record_text(uint8_t* packet, int length)
{
    if (net_record_type_of(packet, length) < 0)
        return std::nullopt;
    packet[length] = 0;
    return net_text{reinterpret_cast<const char*>(packet + 6), length - 6};
}

std::optional<net_timing_record> net_parse_timing(const uint8_t* packet, int length)
{
    if (net_record_type_of(packet, length) != net_record_timing || length < 14)
        return std::nullopt;
    net_timing_record timing;
    timing.race_id = wire_get_u32(packet + 6);
    timing.count = wire_get_u32(packet + 10);
    uint32_t room = uint32_t(length - 14) / 12;
    timing.whole = int(timing.count < room ? timing.count : room);
    timing.entries = packet + 14;
    return timing;
}

net_timing_entry net_timing_entry_at(const net_timing_record& timing, int index)
{
    const uint8_t* at = timing.entries + size_t(index) * 12;
    return {wire_get_u32(at), wire_get_i32(at + 4), wire_get_i32(at + 8)};
}

std::optional<net_deformation> net_parse_deformation(const uint8_t* packet, int length)
{
    if (net_record_type_of(packet, length) != net_record_deformation || length < 10)
        return std::nullopt;
    return net_deformation{wire_get_u32(packet + 6), packet + 10, length - 10};
}
