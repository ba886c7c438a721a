// The server's running race: tick syncs, relayed rider states and the reliable channel
// in both directions.
#include "test_server.h"

#include <algorithm>

namespace test_server {
namespace {

constexpr size_t states_per_datagram = 21;  // 17 + 21 × 47 = 1004 bytes, within 1023

}  // namespace

void Server::send_ticks(Connection& c)
{
    if (c.phase != Connection::Phase::racing)
        return;
    if (options_.sync_interval > 0 && tick_ % uint32_t(options_.sync_interval) == 0)
        send(c.address, tick_sync(race_id_, tick_, c.last_client_tick));
    if (options_.relay_interval <= 0 || tick_ % uint32_t(options_.relay_interval) != 0)
        return;
    std::vector<StateEntry> entries;
    for (int slot = 0; slot < options_.riders && slot < 160; ++slot)
        entries.push_back({uint16_t(slot), 0, tick_, options_.fake_state});
    for (const Connection& o : connections_)
        if (&o != &c && o.has_state && o.phase == Connection::Phase::racing)
            entries.push_back({uint16_t(o.slot), 0, o.state_tick, o.state});
    std::sort(entries.begin(), entries.end(), [](const StateEntry& a, const StateEntry& b) { return a.slot < b.slot; });
    for (size_t at = 0; at < entries.size(); at += states_per_datagram) {
        size_t end = std::min(entries.size(), at + states_per_datagram);
        std::vector<StateEntry> part(entries.begin() + long(at), entries.begin() + long(end));
        send(c.address, rider_states(race_id_, tick_, c.last_client_tick, part));
    }
}

void Server::on_reliable(Connection& c, const ClientReliable& r)
{
    // Too far ahead to hold: no acknowledgment, so the client sends it again later.
    if (r.sequence > c.expected && r.sequence - c.expected >= kHoldWindow)
        return;
    // Every copy is acknowledged, duplicates included; each record is handed on once.
    send(c.address, ack(r.sequence));
    ++c.acks_sent;
    if (r.sequence < c.expected)
        return;
    if (r.sequence > c.expected) {
        c.held.emplace(r.sequence, r);
        return;
    }
    ++c.expected;
    deliver(c, r);
    for (auto it = c.held.begin(); it != c.held.end() && it->first == c.expected; it = c.held.erase(it)) {
        ++c.expected;
        deliver(c, it->second);
    }
}

void Server::deliver(Connection& c, const ClientReliable& r)
{
    if (records_.size() >= kKeptRecords)
        records_.pop_front();
    records_.push_back({c.slot, r.record, r.payload});
    ++records_total_;
    if (r.record == 27 && options_.echo_deformations)
        for (Connection& o : connections_)
            if (o.phase == Connection::Phase::racing || &o == &c)
                queue(o, 27, r.payload);
}

void Server::queue(Connection& c, uint8_t record, const Bytes& payload)
{
    uint32_t sequence = c.next_sequence++;
    c.outgoing.push_back({sequence, reliable(sequence, record, payload), 0.0});
}

void Server::send_reliable(int32_t slot, uint8_t record, const Bytes& payload)
{
    for (Connection& c : connections_)
        if (slot < 0 || c.slot == slot)
            queue(c, record, payload);
}

void Server::release_held()
{
    options_.hold_back = -1;
}

void Server::resend(Connection& c)
{
    std::vector<Connection::Outgoing*> due;
    for (Connection::Outgoing& o : c.outgoing)
        if (o.next_send <= now_ && int64_t(o.sequence) != options_.hold_back)
            due.push_back(&o);
    if (options_.out_of_order)
        std::reverse(due.begin(), due.end());
    for (Connection::Outgoing* o : due) {
        o->next_send = now_ + 0.5;
        send(c.address, o->packet);
        if (options_.duplicates)
            send(c.address, o->packet);
    }
}

}  // namespace test_server
