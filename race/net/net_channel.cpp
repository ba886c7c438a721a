#include "race/net/net_channel.h"

#include "foundation/memory.h"
#include "foundation/front_door.h"
#include "race/net/net_connection.h"
#include "race/net/net_messages.h"
#include "race/program/run_clock.h"
#include "race/net/wire_bytes.h"
#include "race/net/wire_client.h"
#include "race/net/wire_server.h"

#include <cstdio>
#include <cstring>

reliable_packet* net_outgoing_queue = nullptr;
int net_outgoing_count = 0;
bool net_outgoing_overflowed = false;
held_packet* net_hold_list = nullptr;
uint32_t net_next_outgoing_sequence = 0;
uint32_t net_expected_sequence = 0;

void (*net_message_handler)(uint8_t* packet, int length) = net_handle_message;

void net_send_to_server(const void* bytes, int length)
{
    if (net_send(net_socket, bytes, length, &net_server_address) < 0 && net_last_error) {
        char line[128];
        snprintf(line, sizeof line, "sendto error (%.100s)", net_last_error);
        console_print(line);
    }
}

namespace {

// The newest queued packet, so that appending does not walk the queue.
reliable_packet* outgoing_tail = nullptr;

void send_ack(uint32_t sequence)
{
    uint8_t ack[13];
    net_send_to_server(ack, net_build_ack(ack, net_own_slot, net_connection_id, sequence));
}

void hold(const uint8_t* packet, int length, uint32_t sequence)
{
    held_packet** link = &net_hold_list;
    while (*link && (*link)->sequence < sequence)
        link = &(*link)->next;
    if (*link && (*link)->sequence == sequence)
        return;
    // One block: the record, then the bytes and a terminator, so that a held text ends
    // as one delivered straight from the socket.
    auto* held = static_cast<held_packet*>(xmalloc(sizeof(held_packet) + size_t(length) + 1));
    held->sequence = sequence;
    held->length = uint32_t(length);
    held->bytes = reinterpret_cast<uint8_t*>(held + 1);
    memcpy(held->bytes, packet, size_t(length));
    held->bytes[length] = 0;
    held->next = *link;
    *link = held;
}

}  // namespace

reliable_packet* net_reliable_packet_new()
{
    if (net_outgoing_count >= net_outgoing_cap) {
        net_outgoing_overflowed = true;
        return nullptr;
    }
    auto* packet = static_cast<reliable_packet*>(xmalloc(sizeof(reliable_packet)));
    memset(packet, 0, sizeof *packet);
    packet->sequence = net_next_outgoing_sequence++;
    packet->data[0] = net_out_reliable;
    wire_put_i32(packet->data + 1, net_own_slot);
    wire_put_u32(packet->data + 5, net_connection_id);
    wire_put_u32(packet->data + 9, packet->sequence);
    packet->length = net_reliable_header;

    if (net_outgoing_queue)
        outgoing_tail->next = packet;
    else
        net_outgoing_queue = packet;
    outgoing_tail = packet;
    ++net_outgoing_count;
    return packet;
}

int net_queue_reliable(int record_type, const void* bytes, int count)
{
    if (net_socket == -1) {
        console_print("Not connected to server");
        return 0;
    }
    if (count < 0)
        count = 0;
    if (count > net_reliable_payload_max)
        count = net_reliable_payload_max;
    reliable_packet* packet = net_reliable_packet_new();
    if (!packet)
        return 0;
    packet->data[packet->length++] = uint8_t(record_type);
    if (count > 0)
        memcpy(packet->data + packet->length, bytes, size_t(count));
    packet->length += uint32_t(count);
    return 1;
}

void net_reliable_resend()
{
    reliable_packet* oldest = net_outgoing_queue;
    if (!oldest || !(run_clock > oldest->resend_time))
        return;
    oldest->resend_time = run_clock + net_resend_interval;
    if (oldest->first_send_time == 0)
        oldest->first_send_time = run_clock;
    net_send_to_server(oldest->data, int(oldest->length));
}

void net_reliable_acknowledged(const uint8_t* packet, int length)
{
    std::optional<uint32_t> sequence = net_parse_ack(packet, length);
    reliable_packet* oldest = net_outgoing_queue;
    if (!sequence || !oldest || *sequence != oldest->sequence)
        return;
    net_outgoing_queue = oldest->next;
    --net_outgoing_count;
    mem_free(oldest);
}

bool net_reliable_stalled()
{
    const reliable_packet* oldest = net_outgoing_queue;
    return net_outgoing_overflowed ||
           (oldest && oldest->first_send_time > 0 && run_clock - oldest->first_send_time > net_acknowledge_limit);
}

void net_reliable_receive(uint8_t* packet, int length)
{
    std::optional<net_reliable_head> head = net_parse_reliable(packet, length);
    if (!head)
        return;
    const uint32_t q = head->sequence;
    // Too far ahead to hold: no acknowledgment, so the server sends it again later.
    if (q > net_expected_sequence && q - net_expected_sequence >= net_hold_window)
        return;
    send_ack(q);
    if (q < net_expected_sequence)
        return;
    if (q > net_expected_sequence) {
        hold(packet, length, q);
        return;
    }
    ++net_expected_sequence;
    packet[length] = 0;
    net_message_handler(packet, length);
    // Each held packet is unlinked before it is handed on, so a reset from inside the
    // handler leaves nothing behind to free twice.
    while (net_hold_list && net_hold_list->sequence == net_expected_sequence) {
        held_packet* next = net_hold_list;
        net_hold_list = next->next;
        ++net_expected_sequence;
        net_message_handler(next->bytes, int(next->length));
        mem_free(next);
    }
}

void net_reliable_reset()
{
    while (reliable_packet* p = net_outgoing_queue) {
        net_outgoing_queue = p->next;
        mem_free(p);
    }
    outgoing_tail = nullptr;
    net_outgoing_count = 0;
    net_outgoing_overflowed = false;
    while (held_packet* h = net_hold_list) {
        net_hold_list = h->next;
        mem_free(h);
    }
    net_next_outgoing_sequence = 0;
    net_expected_sequence = 0;
}
