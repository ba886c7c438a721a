#include "demo_fixture.h"

#include "race/rider_history.h"
#include "sim/bike_build.h"
#include "sim/race_clock.h"
#include "support/fresh_process.h"
#include "terrain/ruts.h"
#include "terrain/track_list.h"

#include <cstring>

namespace demotest {

FakeRiders fake;

namespace {

track_entry sample_tracks[] = {{const_cast<char*>("tracks/sample"), const_cast<char*>("Sample")}};

int fake_occupied(int32_t slot)
{
    return slot >= 0 && slot < kDemoRiders && fake.occupied[slot];
}

void fake_pack(int32_t slot, packed_rider_state* out)
{
    ++fake.packs;
    *out = state_of(slot, current_tick);
}

void fake_texts(int32_t slot, demo_rider_texts* out)
{
    *out = fake.texts[slot];
}

}  // namespace

packed_rider_state state_of(int32_t slot, int32_t tick)
{
    packed_rider_state s;
    for (int i = 0; i < kPackedStateSize; ++i)
        s.bytes[i] = uint8_t(slot * 31 + tick * 7 + i);
    return s;
}

void start(const bvtest::TempDir& root)
{
    bvtest::make_dirs(root / "user/Brovanta");
    bvtest::make_dirs(root / "game");
    bvtest::use_folders(root / "user", root / "game");
    fake = FakeRiders{};
    demo_rider_seam = {fake_occupied, fake_pack, fake_texts, [] { return fake.online; }};
    track_list = sample_tracks;
    track_count = 1;
    track_folder = const_cast<char*>("tracks/sample");
    track_terrain.world_size = 1024;
    track_terrain.erosion_amount = -1;
    rider_table_init();
    history_clear_all();
    erosion_queue_clear();
    for (int32_t k = 0; k < kRaceSlots; ++k)
        race.kinds[k] = rider_kind_remote;
    race.time_trial_active = 0;
    race.time_limit_ticks = 0;
    race.laps = 1000;
    race.gate_drop_tick = 1792;
    current_tick = race.tick = 0;
}

std::string user_file(const bvtest::TempDir& root, const std::string& name)
{
    return root / ("user/Brovanta/" + name);
}

void put_rider(int32_t slot, int32_t kind, const char* name)
{
    fake.occupied[slot] = true;
    race.kinds[slot] = kind;
    fake.texts[slot] = {"yz250f(2017)", "@rider_body-a.png", nullptr, nullptr, nullptr, "999", name};
}

void tick()
{
    ++current_tick;
    race.tick = current_tick;
    demo_record_states(0);
    demo_playback_read();
}

void record_until(int32_t last)
{
    demo_record_states(1);
    while (current_tick < last)
        tick();
}

std::string u32(uint32_t v)
{
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i)
        s[size_t(i)] = char(v >> (8 * i));
    return s;
}

void Encoder::header(int riders, int limit, int laps, int gate_drop, const char* track)
{
    char line[128];
    snprintf(line, sizeof line, "BV06 %3d %11d %11d %11d\n%s\n", riders, limit, laps, gate_drop, track);
    bytes += line;
}

void Encoder::rider(const std::string& fields, const std::string& number, const std::string& name)
{
    bytes += fields + "\n" + number + "\n" + name + "\n\n";
}

void Encoder::block(uint8_t type, uint32_t tick, const std::string& payload)
{
    const uint32_t length = uint32_t(payload.size());
    bytes += u32(length ^ previous) + u32(tick) + char(type) + payload;
    previous = length;
}

std::string Encoder::entry(uint8_t index, uint32_t tick, const packed_rider_state& s)
{
    return std::string(1, char(index)) + u32(tick) + std::string(reinterpret_cast<const char*>(s.bytes), kPackedStateSize);
}

std::string one_rider_head()
{
    Encoder e;
    e.header(1, 0, 1, 1792);
    e.rider("cr125||||", "7", "");
    return e.bytes;
}

std::vector<size_t> block_starts(const std::string& bytes, size_t start)
{
    std::vector<size_t> out;
    uint32_t previous = 0;
    for (size_t p = start; p + 9 <= bytes.size();) {
        uint32_t chained;
        memcpy(&chained, bytes.data() + p, 4);
        const uint32_t length = chained ^ previous;
        out.push_back(p);
        previous = length;
        p += 9 + length;
    }
    return out;
}

}  // namespace demotest
