// Seeds of the network targets, made by the build with the test server's own codec: a
// whole connection (hello to racing and a new race) for server_packets, one per
// state, and each kind of reliable record for reliable_records.
//   make_net_seeds <seeds folder>
#include "server_wire.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace ts = test_server;
using ts::Bytes;

namespace {

// The fuzz input's datagram framing: a 2-byte little-endian length, then the bytes.
void frame(Bytes& out, const Bytes& datagram)
{
    out.push_back(uint8_t(datagram.size()));
    out.push_back(uint8_t(datagram.size() >> 8));
    out.insert(out.end(), datagram.begin(), datagram.end());
}

void write(const std::filesystem::path& path, const Bytes& bytes)
{
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

Bytes text_bytes(const std::string& s)
{
    return Bytes(s.begin(), s.end());
}

// A record as the reliable_records target takes it: its type byte, then its payload.
Bytes record(uint8_t type, const Bytes& payload)
{
    Bytes out = {type};
    out.insert(out.end(), payload.begin(), payload.end());
    return out;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: make_net_seeds <seeds folder>\n");
        return 2;
    }
    const std::filesystem::path out = argv[1];
    ts::TrackHash hash;
    for (size_t i = 0; i < hash.size(); ++i)
        hash[i] = uint8_t(0xA0 + i);
    ts::PackedState state{};
    for (size_t i = 0; i < state.size(); ++i)
        state[i] = uint8_t(i * 7);

    const uint32_t race = 1;
    const std::vector<Bytes> walk = {
        ts::hello_reply(0, 0x01020304, 1),
        ts::track_info(race, 0, 3, 1792, hash, "tracks/flat"),
        ts::rider_info(race, 4, "yz250f(2017)|@rider_body-red.png|||\n7\nRider"),
        ts::race_start(race, 1, "go"),
        ts::tick_sync(race, 1800, 0),
        ts::rider_states(race, 1804, 0, {{4, 20, 1800, state}, {0, 10, 1801, state}}),
        ts::reliable(0, 19, text_bytes("hello there")),
        ts::ack(0),
        ts::new_race(race + 1),
        ts::kick("bye"),
        ts::redirect(0x5F5E1000, "127.0.0.1:9"),
        ts::disconnected(),
        ts::server_full(),
    };
    for (int s = 0; s < 8; ++s) {
        Bytes seed = {uint8_t(s)};
        for (const Bytes& d : walk)
            frame(seed, d);
        write(out / "server_packets" / ("walk" + std::to_string(s)), seed);
    }

    const std::vector<std::pair<std::string, Bytes>> records = {
        {"chat", record(19, text_bytes("a chat line"))},
        {"still_there", record(20, {})},
        {"timing", record(21, ts::timing_payload(race, {{4, 0, 1900}, {0, 1, 2100}}))},
        {"text", record(24, text_bytes("a text"))},
        {"deformation", record(27, ts::deformation_payload(race, Bytes{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}))},
        {"still_alive", record(31, {})},
        {"script", record(32, ts::script_payload(race, "a script message"))},
        {"rider_info", record(3, text_bytes("yz250f(2017)||||\n9\nOther"))},
    };
    Bytes all = {0x10};
    for (const auto& [name, bytes] : records) {
        Bytes seed = {0};
        frame(seed, bytes);
        write(out / "reliable_records" / name, seed);
        frame(all, bytes);
    }
    write(out / "reliable_records" / "all", all);
    return 0;
}
