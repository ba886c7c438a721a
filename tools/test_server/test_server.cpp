// Joining, the race start, leaving and the dispatch of client packets.
#include "test_server.h"

#include <algorithm>

namespace test_server {
namespace {

std::string fake_rider_info(int slot)
{
    return "yz250f(2017)||||\n" + std::to_string(100 + slot) + "\nFake rider " + std::to_string(slot);
}

}  // namespace

Server::Server(Options options) : options_(std::move(options)), race_id_(options_.first_race_id) {}

bool Server::open(uint16_t port)
{
    return socket_.open(port);
}

const Connection* Server::connection(int32_t slot) const
{
    for (const Connection& c : connections_)
        if (c.slot == slot)
            return &c;
    return nullptr;
}

Connection* Server::find(const Peer& address)
{
    for (Connection& c : connections_)
        if (c.address == address)
            return &c;
    return nullptr;
}

int32_t Server::free_slot() const
{
    for (int32_t slot = std::max(options_.riders, 0); slot < 160; ++slot)
        if (!connection(slot))
            return slot;
    return 160;
}

std::vector<std::string> Server::take_events()
{
    std::vector<std::string> out;
    out.swap(events_);
    return out;
}

void Server::send(const Peer& to, const Bytes& bytes)
{
    socket_.send_to(to, bytes);
}

void Server::forget(const Peer& address)
{
    auto it = std::find_if(connections_.begin(), connections_.end(),
                           [&](const Connection& c) { return c.address == address; });
    if (it == connections_.end())
        return;
    note("slot " + std::to_string(it->slot) + " left");
    connections_.erase(it);
}

void Server::note(std::string event)
{
    if (events_.size() < kKeptEvents)
        events_.push_back(std::move(event));
}

void Server::forget_silent()
{
    std::vector<Peer> silent;
    for (const Connection& c : connections_)
        if (now_ - c.last_heard > options_.silence_seconds || c.outgoing.size() > kOutgoingCap)
            silent.push_back(c.address);
    for (const Peer& p : silent)
        forget(p);
}

size_t Server::bytes_held() const
{
    size_t n = 0;
    for (const Received& r : received_)
        n += r.bytes.capacity();
    for (const Record& r : records_)
        n += r.payload.capacity();
    for (const Connection& c : connections_) {
        for (const auto& [sequence, r] : c.held)
            n += r.payload.capacity();
        for (const Connection::Outgoing& o : c.outgoing)
            n += o.packet.capacity();
        n += c.rider_info.capacity();
    }
    return n;
}

void Server::step(double now)
{
    now_ = now;
    Bytes datagram;
    Peer from;
    while (socket_.receive(datagram, from)) {
        if (received_.size() >= kKeptDatagrams)
            received_.pop_front();
        received_.push_back({datagram, now, from});
        last_sender_ = from;
        take(datagram, from);
    }
    forget_silent();
    ++tick_;
    for (Connection& c : connections_) {
        send_ticks(c);
        resend(c);
    }
}

void Server::take(const Bytes& p, const Peer& from)
{
    if (p.empty())
        return;
    if (p[0] == 0) {
        on_hello(p, from);
        return;
    }
    Connection* c = find(from);
    if (p[0] == 15) {
        // A leave is answered even from a connection already forgotten (after a kick).
        if (p.size() >= 9) {
            send(from, disconnected());
            forget(from);
        }
        return;
    }
    std::optional<ClientHead> head = read_head(p);
    if (!c || !head || head->slot != c->slot || head->connection_id != c->id)
        return;
    c->last_heard = now_;
    switch (p[0]) {
    case 3:
        on_client_info(*c, p);
        break;
    case 5:
    case 7:
    case 9:
    case 14:
        if (auto a = read_race_ack(p))
            on_race_ack(*c, *a);
        break;
    case 11:
        if (auto s = read_state(p); s && s->race == race_id_) {
            c->last_client_tick = s->tick;
            if (!c->has_state || s->tick > c->state_tick) {
                c->has_state = true;
                c->state_tick = s->tick;
                c->state = s->state;
            }
        }
        break;
    case 13:
        if (read_sequence(p))
            ++restart_requests_;
        break;
    case 17:
        if (auto r = read_reliable(p))
            on_reliable(*c, *r);
        break;
    case 18:
        if (auto a = read_sequence(p))
            std::erase_if(c->outgoing, [&](const Connection::Outgoing& o) { return o.sequence == a->value; });
        break;
    default:
        break;
    }
}

void Server::on_hello(const Bytes& p, const Peer& from)
{
    std::optional<ClientHello> hello = read_hello(p);
    if (!hello || hello->protocol != 43)
        return;
    switch (options_.hello) {
    case Options::Hello::silent:
        return;
    case Options::Hello::full:
        send(from, server_full());
        return;
    case Options::Hello::redirect:
        send(from, redirect(hello->nonce, options_.redirect_to));
        return;
    case Options::Hello::reply:
    case Options::Hello::other_version:
        break;
    }
    Connection* c = find(from);
    if (!c) {
        int32_t slot = free_slot();
        if (slot >= 160) {
            send(from, server_full());
            return;
        }
        Connection made;
        made.address = from;
        made.last_heard = now_;
        made.slot = slot;
        made.id = options_.first_connection_id + connections_made_++;
        connections_.push_back(made);
        c = &connections_.back();
        note("slot " + std::to_string(slot) + " joined");
    }
    c->last_heard = now_;
    send(from, hello_reply(c->slot, c->id, options_.hello == Options::Hello::reply ? 6 : 5));
}

void Server::on_client_info(Connection& c, const Bytes& p)
{
    std::optional<ClientInfo> info = read_client_info(p);
    if (!info)
        return;
    if (!options_.password.empty() && info->password_word != password_word(options_.password, c.id)) {
        send(c.address, test_server::kick("Wrong password"));
        forget(c.address);
        return;
    }
    c.rider_info = info->text;
    c.race_id = race_id_;
    c.phase = Connection::Phase::track_sent;
    send(c.address, track_info(race_id_, options_.time_limit_ticks, options_.laps, options_.gate_drop_tick,
                               options_.hash, options_.track));
}

void Server::on_race_ack(Connection& c, const ClientRaceAck& a)
{
    if (a.race != race_id_)
        return;
    switch (a.head.type) {
    case 14:
        // The client took the new race: the exchange starts again with its track info.
        c.race_id = race_id_;
        c.phase = Connection::Phase::track_sent;
        send(c.address, track_info(race_id_, options_.time_limit_ticks, options_.laps, options_.gate_drop_tick,
                                   options_.hash, options_.track));
        break;
    case 5:
    case 7:
        c.highest_reported = a.highest;
        c.phase = Connection::Phase::starting;
        send_riders_and_start(c);
        break;
    case 9:
        if (c.phase != Connection::Phase::racing)
            note("slot " + std::to_string(c.slot) + " racing");
        c.phase = Connection::Phase::racing;
        break;
    default:
        break;
    }
}

void Server::send_riders_and_start(Connection& c)
{
    std::vector<std::pair<int32_t, std::string>> others;
    for (int slot = 0; slot < options_.riders && slot < 160; ++slot)
        others.emplace_back(slot, fake_rider_info(slot));
    for (const Connection& o : connections_)
        if (&o != &c && !o.rider_info.empty())
            others.emplace_back(o.slot, o.rider_info);
    std::sort(others.begin(), others.end());
    for (const auto& [slot, text] : others)
        if (c.highest_reported == 160 || slot > c.highest_reported)
            send(c.address, rider_info(race_id_, uint32_t(slot), text));
    send(c.address, race_start(race_id_, options_.lineup >= 0 ? options_.lineup : c.slot, c.rider_info));
}

void Server::new_race()
{
    ++race_id_;
    for (Connection& c : connections_)
        if (c.phase == Connection::Phase::racing) {
            c.phase = Connection::Phase::new_race;
            send(c.address, test_server::new_race(race_id_));
        }
}

void Server::kick(const std::string& text)
{
    std::vector<Peer> all;
    for (const Connection& c : connections_)
        all.push_back(c.address);
    for (const Peer& p : all) {
        send(p, test_server::kick(text));
        forget(p);
    }
}

void Server::disconnect()
{
    std::vector<Peer> all;
    for (const Connection& c : connections_)
        all.push_back(c.address);
    for (const Peer& p : all) {
        send(p, disconnected());
        forget(p);
    }
}

void Server::send_raw(const Bytes& bytes)
{
    if (connections_.empty()) {
        if (last_sender_.port)
            send(last_sender_, bytes);
        return;
    }
    for (const Connection& c : connections_)
        send(c.address, bytes);
}

}  // namespace test_server
