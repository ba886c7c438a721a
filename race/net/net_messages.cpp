// The handler of delivered reliable packets and the deformation send.
#include "race/net/net_messages.h"

#include "foundation/front_door.h"
#include "race/net/net_channel.h"
#include "race/net/net_client.h"
#include "race/race_hooks.h"
#include "race/race_riders.h"
#include "race/net/wire_records.h"

#include <algorithm>
#include <optional>
#include "sim/gate_times.h"
#include "sim/rider_slot.h"
#include "terrain/ruts.h"
#include "terrain/track_list.h"

#include <cctype>
#include <climits>
#include <cstring>

namespace {

void timing(const uint8_t* packet, int length)
{
    std::optional<net_timing_record> t = net_parse_timing(packet, length);
    if (!t || t->race_id != net_race_id)
        return;
    for (int i = 0; i < t->whole; ++i) {
        const net_timing_entry e = net_timing_entry_at(*t, i);
        if (e.slot >= uint32_t(kNetSlots) || int32_t(e.slot) == net_own_slot || !race_rider_exists(int32_t(e.slot)))
            continue;
        // Past the cap the gate times ignore it anyway, and index + 1 could overflow.
        if (e.index < 0 || e.index >= kGateTimeMaxPositions)
            continue;
        rider_slot* r = &rider_slots[e.slot];
        rider_set_gate_time(r, e.index, e.tick);
        rider_truncate_timing(r, e.index + 1);
    }
    race_hooks.race_results_refresh();
}

void deformation(const uint8_t* packet, int length)
{
    // Too short for its race id: the record would have a negative length.
    std::optional<net_deformation> d = net_parse_deformation(packet, length);
    if (!d)
        return;
    if (d->race_id == net_race_id)
        erosion_apply_message(&track_terrain, d->record, d->record_length);
    race_hooks.demo_record_event(5, d->record, d->record_length);
}

// "<race id> <message>": the id read as "%d" would read it, then exactly one blank.
void script_message(const char* text)
{
    const char* p = text;
    while (isspace(static_cast<unsigned char>(*p)))
        ++p;
    bool negative = false;
    if (*p == '+' || *p == '-')
        negative = *p++ == '-';
    if (!isdigit(static_cast<unsigned char>(*p)))
        return;
    int64_t value = 0;
    for (; isdigit(static_cast<unsigned char>(*p)); ++p)
        value = std::min<int64_t>(value * 10 + (*p - '0'), int64_t(INT32_MAX) + 1);
    value = negative ? -value : value;
    const uint32_t id = uint32_t(int32_t(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX)));
    if (id != net_race_id || *p != ' ')
        return;
    const char* message = p + 1;
    race_hooks.script_call_message_handler(message);
    race_hooks.demo_record_event(6, message, int(strlen(message)));
}

}  // namespace

void net_handle_message(uint8_t* packet, int length)
{
    switch (net_record_type_of(packet, length)) {
    case net_record_chat:
        if (std::optional<net_text> t = net_parse_record_text(packet, length)) {
            console_print(t->text);
            race_hooks.demo_record_event(2, t->text, t->length);
        }
        break;
    case net_record_still_there:
        net_queue_reliable(net_record_still_alive, net_still_alive_text, int(sizeof net_still_alive_text) - 1);
        break;
    case net_record_timing:
        timing(packet, length);
        break;
    case net_record_text:
        if (std::optional<net_text> t = net_parse_record_text(packet, length))
            net_text_command(t->text);
        break;
    case net_record_deformation:
        deformation(packet, length);
        break;
    case net_record_script:
        if (std::optional<net_text> t = net_parse_record_text(packet, length))
            script_message(t->text);
        break;
    default:
        break;
    }
}

void net_queue_data(const uint8_t* record, int32_t length)
{
    if (length < 0 || length > net_reliable_payload_max - 4)
        return;
    if (net_socket == -1) {
        erosion_apply_message(&track_terrain, record, length);
        return;
    }
    uint8_t payload[net_reliable_payload_max];
    net_queue_reliable(net_record_deformation, payload,
                       net_deformation_payload(payload, net_race_id, record, length));
}
