#include "server_wire.h"

#include "foundation/numbers/ripemd160.h"
#include "race/net/wire_bytes.h"

namespace test_server {
namespace {

// Appends little-endian fields and raw bytes to a packet under construction.
struct Writer {
    Bytes out;
    explicit Writer(uint8_t type) { out.push_back(type); }
    Writer& u8(uint32_t v)
    {
        out.push_back(uint8_t(v));
        return *this;
    }
    Writer& u16(uint32_t v)
    {
        out.resize(out.size() + 2);
        wire_put_u16(out.data() + out.size() - 2, v);
        return *this;
    }
    Writer& u32(uint32_t v)
    {
        out.resize(out.size() + 4);
        wire_put_u32(out.data() + out.size() - 4, v);
        return *this;
    }
    Writer& i32(int32_t v) { return u32(uint32_t(v)); }
    template <class Range>
    Writer& raw(const Range& r)
    {
        out.insert(out.end(), r.begin(), r.end());
        return *this;
    }
};

Bytes payload_of(Writer w)
{
    w.out.erase(w.out.begin());
    return std::move(w.out);
}

}  // namespace

Bytes server_full() { return Writer(1).out; }
Bytes hello_reply(int32_t slot, uint32_t id, uint32_t version)
{
    return Writer(2).i32(slot).u32(id).u32(version).out;
}

Bytes track_info(uint32_t race, int32_t limit_ticks, int32_t laps, int32_t gate_drop, const TrackHash& hash,
                 const std::string& folder)
{
    return Writer(4).u32(race).i32(limit_ticks).i32(laps).i32(gate_drop).raw(hash).raw(folder).out;
}

Bytes rider_info(uint32_t race, uint32_t slot, const std::string& text)
{
    return Writer(6).u32(race).u32(slot).raw(text).out;
}
Bytes race_start(uint32_t race, int32_t lineup, const std::string& text)
{
    return Writer(8).u32(race).i32(lineup).raw(text).out;
}
Bytes tick_sync(uint32_t race, uint32_t tick, uint32_t echo)
{
    return Writer(10).u32(race).u32(tick).u32(echo).out;
}

Bytes rider_states(uint32_t race, uint32_t tick, uint32_t echo, const std::vector<StateEntry>& entries)
{
    Writer w(11);
    w.u32(race).u32(tick).u32(echo).u32(uint32_t(entries.size()));
    for (const StateEntry& e : entries)
        w.u16(e.slot).u16(e.ping).u32(e.tick).raw(e.state);
    return w.out;
}

Bytes new_race(uint32_t race) { return Writer(14).u32(race).out; }
Bytes disconnected() { return Writer(15).out; }
Bytes kick(const std::string& text) { return Writer(16).raw(text).out; }
Bytes reliable(uint32_t sequence, uint8_t record, const Bytes& payload)
{
    return Writer(17).u32(sequence).u8(record).raw(payload).out;
}
Bytes ack(uint32_t sequence) { return Writer(18).u32(sequence).out; }
Bytes redirect(uint32_t nonce, const std::string& target)
{
    return Writer(25).u32(nonce).raw(target).out;
}

Bytes timing_payload(uint32_t race, const std::vector<TimingEntry>& entries)
{
    Writer w(0);
    w.u32(race).u32(uint32_t(entries.size()));
    for (const TimingEntry& e : entries)
        w.u32(e.slot).i32(e.index).i32(e.tick);
    return payload_of(std::move(w));
}

Bytes deformation_payload(uint32_t race, const Bytes& record)
{
    return payload_of(std::move(Writer(0).u32(race).raw(record)));
}

Bytes script_payload(uint32_t race, const std::string& message)
{
    return payload_of(std::move(Writer(0).raw(std::to_string(int32_t(race)) + " " + message)));
}

std::optional<ClientHello> read_hello(const Bytes& p)
{
    if (p.size() != 21 || p[0] != 0)
        return std::nullopt;
    return ClientHello{p[1] != 0, wire_get_u32(&p[9]), wire_get_u32(&p[13])};
}

std::optional<ClientHead> read_head(const Bytes& p)
{
    if (p.size() < 9)
        return std::nullopt;
    return ClientHead{p[0], wire_get_i32(&p[1]), wire_get_u32(&p[5])};
}

std::optional<ClientInfo> read_client_info(const Bytes& p)
{
    if (p.size() < 41 || p[0] != 3)
        return std::nullopt;
    return ClientInfo{*read_head(p), wire_get_u32(&p[9]), wire_get_u32(&p[17]), std::string(p.begin() + 41, p.end())};
}

std::optional<ClientRaceAck> read_race_ack(const Bytes& p)
{
    bool seven = !p.empty() && p[0] == 7;
    if (p.size() < (seven ? 17u : 13u) || (p[0] != 5 && p[0] != 7 && p[0] != 9 && p[0] != 14))
        return std::nullopt;
    return ClientRaceAck{*read_head(p), wire_get_u32(&p[9]), seven ? wire_get_i32(&p[13]) : 160};
}

std::optional<ClientState> read_state(const Bytes& p)
{
    if (p.size() < 60 || p[0] != 11)
        return std::nullopt;
    ClientState s{*read_head(p), wire_get_u32(&p[9]), wire_get_u32(&p[13]), wire_get_u32(&p[17]), {}};
    std::copy(p.begin() + 21, p.begin() + 60, s.state.begin());
    return s;
}

std::optional<ClientReliable> read_reliable(const Bytes& p)
{
    if (p.size() < 14 || p[0] != 17)
        return std::nullopt;
    return ClientReliable{*read_head(p), wire_get_u32(&p[9]), p[13], Bytes(p.begin() + 14, p.end())};
}

std::optional<ClientSequence> read_sequence(const Bytes& p)
{
    if (p.size() < 13 || (p[0] != 13 && p[0] != 18))
        return std::nullopt;
    return ClientSequence{*read_head(p), wire_get_u32(&p[9])};
}

std::optional<LapReport> read_lap_report(const Bytes& payload)
{
    if (payload.size() < 12)
        return std::nullopt;
    return LapReport{wire_get_u32(&payload[0]), wire_get_i32(&payload[4]), wire_get_i32(&payload[8])};
}

std::optional<std::pair<uint32_t, Bytes>> read_deformation(const Bytes& payload)
{
    if (payload.size() < 4)
        return std::nullopt;
    return std::make_pair(wire_get_u32(&payload[0]), Bytes(payload.begin() + 4, payload.end()));
}

uint32_t password_word(const std::string& password, uint32_t connection_id)
{
    uint8_t id[4];
    wire_put_u32(id, connection_id);
    ripemd160_ctx ctx;
    ripemd160_init(&ctx);
    ripemd160_update(&ctx, password.data(), password.size());
    ripemd160_update(&ctx, id, 4);
    ripemd160_final(&ctx);
    return uint32_t(ctx.digest[0]) << 24 | uint32_t(ctx.digest[1]) << 16 | uint32_t(ctx.digest[2]) << 8 | ctx.digest[3];
}

}  // namespace test_server
