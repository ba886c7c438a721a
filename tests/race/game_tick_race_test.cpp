// Eight automatic riders race a lap of the sample track through reset_race and the
// real game tick, with no display: the start gate stands until the drop and falls,
// each rider launches in its personality's window, every rider completes the lap
// with rising gate times and no NaN, and the results are written. The same seed
// gives the same race to the bit, after a reload and in another process; the
// recorded demo plays back to the recorded states. The speed against real time is
// printed. A short race of five riders keeps a fixed state hash.
#include "race_fixture.h"

#include "foundation/numbers/ripemd160.h"
#include "foundation/vfs/vfs.h"
#include "race/demo/demo.h"
#include "race/game_tick.h"
#include "race/net/net_client.h"
#include "race/race_hooks.h"
#include "race/race_results.h"
#include "race/race_rules.h"
#include "race/race_state.h"
#include "race/rider_history.h"
#include "race/track_load.h"
#include "sim/ai_lines_learning.h"
#include "sim/autopilot_plan.h"
#include "sim/gate_times.h"
#include "sim/packed_state.h"
#include "sim/rider_slot.h"
#include "sim/race_clock.h"
#include "sim/wheel_sampling.h"
#include "support/fresh_process.h"
#include "terrain/timing_gates.h"
#include "terrain/track_list.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

using bvtest::Problems;

constexpr int kBots = 8;
constexpr int64_t kSeed = 11;
constexpr int kRoostDensity = 1000;   // the default; the roost draws from the race's generator
constexpr int kCapSeconds = 240;
constexpr int kDeterminismSeconds = 40;

void start(const bvtest::TempDir& root)
{
    racetest::start_racing(root);
    bvtest::make_dirs(racetest::user_folder(root) + "/demos");
    roost_density = kRoostDensity;
}

rider_slot* occupied(int k)
{
    return rider_slots[k].bodies[body_frame] ? &rider_slots[k] : nullptr;
}

// Every occupied slot's packed state and the frame body's raw position and velocity.
uint64_t slot_hash(const rider_slot* r)
{
    packed_rider_state s;
    bike_pack_state(r, &track_terrain, &s);
    uint64_t h = 1469598103934665603ull;
    auto feed = [&](const void* p, size_t n) {
        for (size_t i = 0; i < n; ++i)
            h = (h ^ static_cast<const uint8_t*>(p)[i]) * 1099511628211ull;
    };
    feed(s.bytes, sizeof s.bytes);
    feed(dBodyGetPosition(r->bodies[body_frame]), 3 * sizeof(dReal));
    feed(dBodyGetLinearVel(r->bodies[body_frame]), 3 * sizeof(dReal));
    return h;
}

bool finite_bodies(const rider_slot& r)
{
    for (dBodyID b : r.bodies) {
        const dReal* p = dBodyGetPosition(b);
        const dReal* v = dBodyGetLinearVel(b);
        for (int i = 0; i < 3; ++i)
            if (!std::isfinite(p[i]) || !std::isfinite(v[i]))
                return false;
    }
    return true;
}

struct race_run {
    std::vector<std::vector<uint64_t>> hashes;   // per tick, per slot
    int launch[kBots];
    int32_t drop = 0;
    int ticks = 0;
    double seconds = 0;
    std::string problems;
};

int32_t gate_drop_with_delay()
{
    return race.gate_drop_tick + race.watch_only;
}

// Runs the race from reset_race until stop() says so or the cap; checks the start
// gate and the bodies each tick.
template <typename Stop>
race_run run(int record, int reload, int seconds_after_drop, Stop stop)
{
    race_run out;
    Problems p;
    race_requested_folder = "tracks/sample";
    race_opts.seed = kSeed;
    race.force_reload = reload;
    int32_t lineup[160] = {};
    for (int k = 0; k < kBots; ++k)
        lineup[k] = 2;
    reset_race(lineup, 0, record, 0, 1, 0);
    for (int& l : out.launch)
        l = -1;
    const int32_t G = gate_drop_with_delay();
    const int32_t end_tick = race.gate_drop_tick + seconds_after_drop * 128;
    out.drop = race.gate_drop_tick;
    std::vector<float> lowest(size_t(timing_gates.start_slot_count), 1.0f);
    bool finite = true;
    const auto began = std::chrono::steady_clock::now();
    while (current_tick < end_tick && !stop()) {
        game_tick();
        const int32_t t = current_tick - 1;   // the tick just run
        std::vector<uint64_t> h;
        for (int k = 0; k < kRaceSlots; ++k)
            if (const rider_slot* r = occupied(k)) {
                h.push_back(slot_hash(r));
                finite = finite && finite_bodies(*r);
                if (k < kBots && out.launch[k] < 0 && t > race.gate_drop_tick && r->clutch > 0)
                    out.launch[k] = t;
            }
        out.hashes.push_back(std::move(h));
        for (int i = 0; i < timing_gates.start_slot_count; ++i) {
            if (timing_gates.start_slot_statue[i] < 0)
                continue;
            const float v = race.start_gate_state[i][0];
            if (t <= G)
                p.check(v == 1, "gate piece " + std::to_string(i) + " not raised at tick " + std::to_string(t));
            if (t >= G + 128)
                p.check(v == 0, "gate piece " + std::to_string(i) + " still up 1 s after the drop");
            p.check(v <= lowest[size_t(i)], "gate piece " + std::to_string(i) + " rose again");
            lowest[size_t(i)] = std::min(lowest[size_t(i)], v);
        }
        if (!p.text.empty())
            break;
    }
    out.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    out.ticks = int(out.hashes.size());
    p.check(finite, "a body position or velocity went NaN or infinite");
    out.problems = p.text;
    return out;
}

// The first tick and slot at which two runs differ, or empty.
std::string first_difference(const race_run& a, const race_run& b)
{
    const size_t n = std::min(a.hashes.size(), b.hashes.size());
    for (size_t t = 0; t < n; ++t)
        for (size_t s = 0; s < std::min(a.hashes[t].size(), b.hashes[t].size()); ++s)
            if (a.hashes[t][s] != b.hashes[t][s] || a.hashes[t].size() != b.hashes[t].size())
                return "tick " + std::to_string(t) + " slot " + std::to_string(s);
    return a.hashes.size() == b.hashes.size() ? "" : "run lengths differ";
}

std::string digest_of(const race_run& r)
{
    ripemd160_ctx c;
    ripemd160_init(&c);
    for (const auto& tick : r.hashes)
        ripemd160_update(&c, reinterpret_cast<const uint8_t*>(tick.data()), tick.size() * sizeof(uint64_t));
    ripemd160_final(&c);
    return racetest::hex(c.digest);
}

bool lap_done(int k)
{
    const rider_slot* r = occupied(k);
    return r && rider_get_timing_position(r) >= results_first_lap_positions();
}

std::string check_capstone(const race_run& race_out)
{
    Problems p;
    p.text = race_out.problems;
    const int32_t F = results_first_lap_positions();
    for (int k = 0; k < kBots; ++k) {
        const rider_slot& r = rider_slots[k];
        const autopilot_personality& persona = autopilot_personalities[r.personality];
        const std::string who = "bot " + std::to_string(k) + " (" + persona.name + ")";
        const float after = float(race_out.launch[k] - race.gate_drop_tick) / 128;
        p.check(after >= persona.launch_early - 1 / 128.0f && after <= persona.launch_late + 1 / 128.0f,
                who + " launched " + std::to_string(after) + " s after the drop");
        if (!lap_done(k)) {
            const dReal* at = dBodyGetPosition(r.bodies[body_frame]);
            p.check(false, who + " stalled at timing position " + std::to_string(r.timing_position) + " near (" +
                               std::to_string(at[0]) + ", " + std::to_string(at[2]) + ")");
            continue;
        }
        int32_t previous = race.gate_drop_tick;
        for (int32_t position = 0; position < F; ++position) {
            const int32_t t = rider_get_gate_time(&r, position);
            p.check(t >= previous && t > race.gate_drop_tick,
                    who + " gate time " + std::to_string(position) + " missing or out of order: " +
                        std::to_string(t) + " after " + std::to_string(previous));
            previous = std::max(previous, t);
        }
    }
    p.check(race_results_final() != 0, "the results are not final");
    const std::string text = racetest::data_bytes("results.txt");
    p.check(!text.empty(), "no @results.txt");
    for (int row = 0; row < final_order.count; ++row)
        p.check(row == 0 || final_order.rows[row].tick >= final_order.rows[row - 1].tick,
                "finishing times fall at row " + std::to_string(row));
    p.check(final_order.count == kBots, "final order has " + std::to_string(final_order.count) + " riders");
    return p.text;
}

// Plays the capstone's demo back and compares each replayed rider with the recorded
// state of the tick that placed it.
std::string check_playback(int32_t end_tick, int* lifted, int* compared)
{
    Problems p;
    int32_t lineup[160] = {};
    race.force_reload = 0;
    reset_race(lineup, 1, 0, 0, 1, 0);
    int32_t first = INT32_MAX;
    for (int k = 0; k < kBots; ++k)
        for (int i = 0; i < kHistoryLength; ++i)
            if (history_ticks[k][i] >= 0)
                first = std::min(first, history_ticks[k][i]);
    p.check(first == current_tick, "the clock did not jump to the first state block's tick");
    for (int k = 0; k < kBots; ++k)
        p.check(occupied(k) && race.kinds[k] == rider_kind_remote, "slot " + std::to_string(k) + " not replayed");
    *lifted = 0;
    *compared = 0;
    while (current_tick < end_tick && p.text.empty()) {
        game_tick();
        const int32_t t = current_tick - 1;
        for (int k = 0; k < kBots && p.text.empty(); ++k) {
            const rider_slot* r = occupied(k);
            if (!r)
                continue;
            int held = -1;
            for (int i = 0; i < kHistoryLength; ++i)
                if (history_ticks[k][i] == t)
                    held = i;
            if (held < 0)
                continue;
            const uint8_t* want = history_states[k][held];
            ++*compared;
            packed_rider_state got;
            bike_pack_state(r, &track_terrain, &got);
            bool other = false, lift = false;
            for (int b = 0; b < 34; ++b) {
                if (got.bytes[b] == want[b])
                    continue;
                if (b >= 3 && b < 6)
                    lift = true;
                else
                    other = true;
            }
            const uint32_t gy = got.bytes[3] | got.bytes[4] << 8 | got.bytes[5] << 16;
            const uint32_t wy = want[3] | want[4] << 8 | want[5] << 16;
            if (lift && gy < wy)
                other = true;
            for (int b = 34; b < 36; ++b) {
                const int d = (got.bytes[b] - want[b] + 256) % 256;
                other = other || (d != 0 && d != 1 && d != 255);
            }
            if (other)
                p.check(false, "slot " + std::to_string(k) + " at tick " + std::to_string(t) +
                                   " differs from its recorded state");
            else if (lift)
                ++*lifted;
        }
    }
    p.check(*compared > 0, "no recorded state was compared");
    return p.text;
}

void write_text(const std::string& path, const std::string& text)
{
    std::ofstream(path) << text;
}

std::string read_text(const std::string& path)
{
    std::ifstream f(path);
    std::string s;
    std::getline(f, s);
    return s;
}

// Files the re-executed children leave for this process: named by its process id,
// which each child knows as its parent's.
std::string shared_file(pid_t parent, const char* name)
{
    return "/tmp/bv-game-tick-" + std::to_string(parent) + "-" + name;
}

TEST(GameTickRace, EightBotsRaceALapRecordItAndReplayItTheSameWay)
{
    bvtest::in_fresh_process([] {
        bvtest::TempDir root;
        start(root);
        const race_run capstone = run(1, 1, kCapSeconds, [] {
            for (int k = 0; k < kBots; ++k)
                if (!lap_done(k))
                    return false;
            return race_results_final() != 0;
        });
        std::string problems = check_capstone(capstone);
        char figures[256];
        snprintf(figures, sizeof figures, "race of %d ticks (%.1f s of racing) took %.2f s: %.1f times real time",
                 capstone.ticks, capstone.ticks / 128.0, capstone.seconds, capstone.ticks / 128.0 / capstone.seconds);
        std::string shown = figures;
        const int32_t end = current_tick;
        race_hooks.demo_record_close();

        int lifted = 0, compared = 0;
        problems += check_playback(end, &lifted, &compared);
        shown += "; playback: " + std::to_string(compared) + " recorded states compared, " + std::to_string(lifted) +
                 " lifted clear of the terrain";
        write_text(shared_file(getppid(), "figures"), shown);

        // The same seed after a reload: the same race.
        race_run head = capstone;
        head.hashes.resize(std::min(head.hashes.size(), size_t(capstone.drop + kDeterminismSeconds * 128)));
        const race_run again = run(0, 1, kDeterminismSeconds, [] { return false; });
        const std::string where = first_difference(head, again);
        if (!where.empty())
            problems += "a second race with the same seed differs first at " + where + "\n";
        write_text(shared_file(getppid(), "hash_first"), digest_of(again));
        return problems;
    });
    bvtest::in_fresh_process([] {
        bvtest::TempDir root;
        start(root);
        const race_run child = run(0, 1, kDeterminismSeconds, [] { return false; });
        write_text(shared_file(getppid(), "hash_second"), digest_of(child));
        return std::string();
    });
    const std::string first = read_text(shared_file(getpid(), "hash_first"));
    EXPECT_EQ(first.size(), 40u);
    EXPECT_EQ(read_text(shared_file(getpid(), "hash_second")), first) << "another process raced differently";
    printf("%s\n", read_text(shared_file(getpid(), "figures")).c_str());
    for (const char* name : {"hash_first", "hash_second", "figures"})
        std::remove(shared_file(getpid(), name).c_str());
}

// The automatic riders' race, pinned: the benchmark's race (seed 11, erosion off, three
// laps) of five riders on the sample track, every tick's packed states of the first
// four seconds after the drop hashed in slot order as bench/race_bench hashes them.
// Any change to the bike step, the riders or the rules changes every race, and this
// hash with it.
constexpr int kPinnedRiders = 5;
constexpr int kPinnedSeconds = 4;
constexpr char kPinnedRace[] = "15b61351562265046ba4f50f26c4e8e2703a3dbb";

TEST(GameTickRace, AShortRaceOfAutomaticRidersKeepsItsStateHash)
{
    bvtest::in_fresh_process([] {
        bvtest::TempDir root;
        racetest::start_racing(root);
        race_requested_folder = "tracks/sample";
        race_opts.seed = kSeed;
        race_opts.erode = -1;
        int32_t lineup[160] = {};
        for (int k = 0; k < kPinnedRiders; ++k)
            lineup[k] = 2;
        reset_race(lineup, 0, 0, 0, 3, 0);
        if (!track_terrain.heights)
            return std::string("tracks/sample did not load\n");
        while (current_tick <= race.gate_drop_tick)
            game_tick();
        ripemd160_ctx hash;
        ripemd160_init(&hash);
        for (int t = 0; t < kPinnedSeconds * 128; ++t) {
            game_tick();
            for (int k = 0; k < kRiderSlots; ++k)
                if (const rider_slot* r = occupied(k)) {
                    packed_rider_state s;
                    bike_pack_state(r, &track_terrain, &s);
                    ripemd160_update(&hash, s.bytes, sizeof s.bytes);
                }
        }
        ripemd160_final(&hash);
        const std::string got = racetest::hex(hash.digest);
        if (got == kPinnedRace)
            return std::string();
        return "The automatic riders' race changed: its state hash is " + got + ", not " + kPinnedRace +
               ". Every race with automatic riders now runs differently. If that is meant, set kPinnedRace in "
               "tests/race/game_tick_race_test.cpp to " + got + " (bench/race_bench " + std::to_string(kPinnedRiders) + " " +
               std::to_string(kPinnedSeconds) + " prints the same hash) and say in the commit that races changed.\n";
    });
}

}  // namespace
