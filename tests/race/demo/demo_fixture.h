// Demo tests: a rider seam whose states are known bytes for (slot, tick), a track
// list holding "tracks/sample", the data folders of a fresh process, and the test's
// own encoder of the version-6 format (it shares no code with the recorder).
#pragma once
#include "race/demo/demo.h"
#include "race/race_state.h"
#include "support/test_support.h"

#include <cstdint>
#include <string>
#include <vector>

namespace demotest {

// The state the fake packer gives slot at tick.
packed_rider_state state_of(int32_t slot, int32_t tick);

// Per-slot occupancy and entry texts of the fake seam.
struct FakeRiders {
    bool occupied[kDemoRiders] = {};
    demo_rider_texts texts[kDemoRiders] = {};
    int online = 0;
    int packs = 0;
};
extern FakeRiders fake;

// In a fresh process: folders under root ("user/Brovanta" is the user folder), the
// fake seam, the track list, track "tracks/sample" loaded, the race cleared.
void start(const bvtest::TempDir& root);
std::string user_file(const bvtest::TempDir& root, const std::string& name);

// Puts a rider of kind in slot (occupied in the fake seam).
void put_rider(int32_t slot, int32_t kind, const char* name = "Player");

// The game tick as far as the demos see it: the tick advances, then recording and
// playback.
void tick();
// Records ticks 1..last after the forced block at tick 0 (the tick is 0 on entry).
void record_until(int32_t last);

// The version-6 format written out by hand.
struct Encoder {
    std::string bytes;
    uint32_t previous = 0;
    void header(int riders, int limit, int laps, int gate_drop, const char* track = "tracks/sample");
    void rider(const std::string& fields, const std::string& number, const std::string& name);
    void block(uint8_t type, uint32_t tick, const std::string& payload);
    // Entries of a type-1 block: (rider index, tick, state of slot at tick).
    static std::string entry(uint8_t index, uint32_t tick, const packed_rider_state& s);
};

// The header and entry of a one-rider demo on "tracks/sample".
std::string one_rider_head();

// Block starts of a version-6 file by a forward walk from block_start.
std::vector<size_t> block_starts(const std::string& bytes, size_t block_start);

std::string u32(uint32_t v);

}  // namespace demotest
