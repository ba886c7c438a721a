// Demos from elsewhere: bad headers refused with the race untouched, unsafe texture
// names dropped, damaged blocks skipped or ending the reading, and a fuzz loop over
// mutated version-6 and version-5 files.
#include "demo_fixture.h"

#include "race/demo/demo_reader.h"
#include "race/rider_history.h"
#include "sim/race_clock.h"
#include "support/console_capture.h"
#include "support/fresh_process.h"
#include "support/measured_child.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <random>

#include <unistd.h>

using namespace demotest;

namespace {

bool any_held(int32_t slot)
{
    for (int32_t k = 0; k < kHistoryLength; ++k)
        if (history_ticks[slot][k] >= 0)
            return true;
    return false;
}

size_t count_of(const std::string& text, const std::string& part)
{
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

}  // namespace

TEST(DemoBadInput, BadHeadersAreRefusedAndLeaveTheRaceAlone)
{
    bvtest::in_fresh_process([] {
        bvtest::Problems p;
        bvtest::TempDir root;
        start(root);
        const std::string rider = "cr125||||\n7\n\n\n";
        const struct {
            const char* what;
            std::string bytes;
        } cases[] = {
            {"version 7", "BV07 0 0 1 1792\ntracks/sample\n"},
            {"version 3", "BV03 0 0 1 1792\ntracks/sample\n"},
            {"two fields", "BV06 1\ntracks/sample\n" + rider},
            {"no line end", "BV06 0 0 1 1792"},
            {"overlong line", "BV06 0 0 1 1792" + std::string(1100, ' ') + "\ntracks/sample\n"},
            {"negative riders", "BV06 -1 0 1 1792\ntracks/sample\n"},
            {"161 riders", "BV06 161 0 1 1792\ntracks/sample\n"},
            {"huge limit", "BV06 0 1073741825 1 1792\ntracks/sample\n"},
            {"negative limit", "BV06 0 -1 1 1792\ntracks/sample\n"},
            {"negative laps", "BV06 0 0 -4 1792\ntracks/sample\n"},
            {"2^30 + 1 laps", "BV06 0 0 1073741825 1792\ntracks/sample\n"},
            {"huge gate drop", "BV06 0 0 1 2000000000\ntracks/sample\n"},
            {"gate drop 2^30 + 1", "BV06 0 0 1 1073741825\ntracks/sample\n"},
            {"negative gate drop", "BV06 0 0 1 -1\ntracks/sample\n"},
            {"unknown track", "BV06 0 0 1 1792\ntracks/elsewhere\n"},
            {"track line cut", "BV06 0 0 1 1792\ntracks/sample"},
            {"rider cut", "BV06 1 0 1 1792\ntracks/sample\ncr125||||\n7\n"},
            {"not a demo", "hello\n"},
            {"empty", ""},
        };
        for (const auto& c : cases) {
            bvtest::write_file(user_file(root, "demos/default.bvdemo"), c.bytes);
            race.time_limit_ticks = 11;
            race.laps = 22;
            race.gate_drop_tick = 33;
            ConsoleCapture said;
            p.check(demo_playback_open() == 0, std::string(c.what) + ": refused");
            p.check(count_of(said.text(), "Can't play demo @demos/default.bvdemo: ") == 1 &&
                        count_of(said.text(), "\n") == 1,
                    std::string(c.what) + ": one line naming the file: " + said.text());
            p.check(!demo_playing() && !demo_playback_track(), std::string(c.what) + ": nothing open");
            p.check(race.time_limit_ticks == 11 && race.laps == 22 && race.gate_drop_tick == 33,
                    std::string(c.what) + ": race untouched");
        }
        // The last values in range are taken as they are.
        bvtest::write_file(user_file(root, "demos/default.bvdemo"),
                           "BV06 0 1073741824 1073741824 1073741824\ntracks/sample\n");
        p.check(demo_playback_open() == 1, "2^30 limit, laps and gate drop: opens");
        p.check(race.time_limit_ticks == 1 << 30 && race.laps == 1 << 30 && race.gate_drop_tick == 1 << 30,
                "2^30 limit, laps and gate drop: taken");
        demo_playback_close();
        bvtest::write_file(user_file(root, "demos/default.bvdemo"), "BV06 160 0 0 0\ntracks/sample\n" + [&] {
            std::string riders;
            for (int i = 0; i < 160; ++i)
                riders += rider;
            return riders;
        }());
        p.check(demo_playback_open() == 1 && race.demo_rider_count == 160 && race.laps == 0 &&
                    race.gate_drop_tick == 0,
                "160 riders, no laps, gate drop 0: opens");
        demo_playback_close();
        ConsoleCapture console;
        bvtest::write_file(user_file(root, "demos/default.bvdemo"), "BV06 0 0 1 1792\ntracks/elsewhere\n");
        demo_playback_open();
        p.check(console.text().find("tracks/elsewhere") != std::string::npos, "the unknown track is named");
        // A demo named on the command line that is not there says so; the default demo
        // and the ghost, often simply not made yet, do not.
        std::remove(user_file(root, "demos/default.bvdemo").c_str());
        ConsoleCapture missing;
        p.check(demo_playback_open() == 0 && missing.text().empty(), "no default demo: quiet");
        snprintf(demo_settings.chosen, sizeof demo_settings.chosen, "%s", (root / "nowhere.bvdemo").c_str());
        p.check(demo_playback_open() == 0, "missing chosen demo refused");
        p.check(missing.text() == "Can't play demo " + (root / "nowhere.bvdemo") + ": it cannot be opened\n",
                "missing chosen demo named: " + missing.text());
        demo_settings.chosen[0] = '\0';
        return p.text;
    });
}

TEST(DemoBadInput, UnsafeTextureNamesAreDropped)
{
    bvtest::in_fresh_process([] {
        bvtest::Problems p;
        bvtest::TempDir root;
        start(root);
        Encoder e;
        e.header(1, 0, 1, 1792);
        e.rider("cr125|/etc/passwd|../up.png|a\\b.png|x\001.png", "7", "");
        bvtest::write_file(user_file(root, "demos/default.bvdemo"), e.bytes);
        p.check(demo_playback_open() == 1, "opens");
        const demo_rider_entry* r = demo_rider_info(0);
        p.check(r && !r->rider_texture && !r->bike_texture && !r->wheel_texture && !r->head_texture,
                "every unsafe name dropped");
        Encoder ok;
        ok.header(1, 0, 1, 1792);
        ok.rider("cr125|@rider.png|bike.png||", "7", "");
        bvtest::write_file(user_file(root, "demos/default.bvdemo"), ok.bytes);
        demo_playback_open();
        r = demo_rider_info(0);
        p.check(r && r->rider_texture && !strcmp(r->rider_texture, "@rider.png") && r->bike_texture, "safe names kept");
        return p.text;
    });
}

TEST(DemoBadInput, DamagedBlocksAreSkippedOrEndTheReading)
{
    bvtest::in_fresh_process([] {
        bvtest::Problems p;
        bvtest::TempDir root;
        start(root);
        put_rider(10, rider_kind_remote);
        auto play = [&](const std::string& bytes) {
            history_clear_all();
            current_tick = race.tick = 0;
            bvtest::write_file(user_file(root, "demos/default.bvdemo"), bytes);
            p.check(demo_playback_open() == 1, "opens");
            demo_set_rider_slot(0, 10);
            demo_playback_read();
        };
        const std::string good = Encoder::entry(0, 4, state_of(0, 4));

        // A state length that is not a multiple of 44 is skipped whole; the next is read.
        Encoder e;
        e.bytes = one_rider_head();
        e.block(demo_block_states, 0, good + "abc");
        e.block(demo_block_states, 0, good);
        play(e.bytes);
        p.check(any_held(10) && demo_reader.previous_length == 44, "odd length skipped, next block read");

        // Cut short at the end: what came before stays, the reading stops quietly.
        Encoder cut;
        cut.bytes = one_rider_head();
        cut.block(demo_block_states, 0, good);
        cut.block(demo_block_chat, 4, std::string(200, 'c'));
        cut.bytes.resize(cut.bytes.size() - 100);
        ConsoleCapture console;
        play(cut.bytes);
        p.check(any_held(10) && console.text().find("ccc") == std::string::npos, "cut chat not printed");
        p.check(demo_reader.previous_length == 44, "stopped before the cut block");

        // Indices of 160 and more are dropped; an unmapped index reports once per block.
        Encoder idx;
        idx.bytes = one_rider_head();
        idx.block(demo_block_states, 0,
                  Encoder::entry(200, 4, state_of(0, 4)) + Encoder::entry(1, 4, state_of(0, 4)) +
                      Encoder::entry(1, 8, state_of(0, 8)) + Encoder::entry(1, 12, state_of(0, 12)));
        ConsoleCapture unmapped;
        play(idx.bytes);
        p.check(demo_rider_slot(200) == -1 && !any_held(10), "nothing stored");
        p.check(count_of(unmapped.text(), "add_state_to_history: slot out of range") == 1, "one message");

        // A block tick past 2^30 ends the reading like a short read; 2^30 is read.
        Encoder far;
        far.bytes = one_rider_head();
        far.block(demo_block_states, 1u << 31, good);
        play(far.bytes);
        p.check(!any_held(10) && current_tick == 0, "far tick refused");
        Encoder past;
        past.bytes = one_rider_head();
        past.block(demo_block_states, (1u << 30) + 1, good);
        play(past.bytes);
        p.check(!any_held(10) && current_tick == 0, "block tick 2^30 + 1 refused");
        Encoder edge;
        edge.bytes = one_rider_head();
        edge.block(demo_block_states, 1u << 30, good);
        play(edge.bytes);
        p.check(any_held(10) && current_tick == 1 << 30, "block tick 2^30 read");

        // So is an entry tick past 2^30 (0x7fffffff froze the rider: the placement's
        // tick + 64 overflowed); the block's other entries are kept.
        Encoder far_entry;
        far_entry.bytes = one_rider_head();
        far_entry.block(demo_block_states, 0, Encoder::entry(0, 0x7fffffff, state_of(0, 4)) + good);
        play(far_entry.bytes);
        bool far_held = false;
        for (int32_t k = 0; k < kHistoryLength; ++k)
            far_held = far_held || history_ticks[10][k] > (1 << 30);
        p.check(any_held(10) && !far_held, "far entry tick dropped, the good one kept");
        // At the edge: 2^30 + 1 dropped, 2^30 kept.
        Encoder edge_entry;
        edge_entry.bytes = one_rider_head();
        edge_entry.block(demo_block_states, 0,
                         Encoder::entry(0, (1u << 30) + 1, state_of(0, 4)) + Encoder::entry(0, 1u << 30, state_of(0, 4)));
        play(edge_entry.bytes);
        bool edge_held = false;
        far_held = false;
        for (int32_t k = 0; k < kHistoryLength; ++k) {
            edge_held = edge_held || history_ticks[10][k] == 1 << 30;
            far_held = far_held || history_ticks[10][k] > (1 << 30);
        }
        p.check(edge_held && !far_held, "entry tick 2^30 kept, 2^30 + 1 dropped");
        // And at the low end: 0 kept, -1 dropped.
        Encoder low_entry;
        low_entry.bytes = one_rider_head();
        low_entry.block(demo_block_states, 0,
                        Encoder::entry(0, 0xffffffffu, state_of(0, 4)) + Encoder::entry(0, 0, state_of(0, 4)));
        play(low_entry.bytes);
        int held = 0;
        for (int32_t k = 0; k < kHistoryLength; ++k)
            held += history_ticks[10][k] >= 0;
        p.check(held == 1 && history_ticks[10][history_newest[10]] == 0, "entry tick 0 kept, -1 dropped");

        // A states block is read up to the most a recorder writes, 160 riders with 128
        // states each; one entry more and it is skipped whole, the next block read.
        std::string most;
        for (uint32_t k = 0; k < kDemoStatesMax / kDemoEntrySize; ++k)
            most += Encoder::entry(0, 8, state_of(0, 8));
        for (const bool over : {false, true}) {
            Encoder big;
            big.bytes = one_rider_head();
            big.block(demo_block_states, 0, over ? most + good : most);
            big.block(demo_block_states, 0, good);
            play(big.bytes);
            bool eight = false;
            for (int32_t k = 0; k < kHistoryLength; ++k)
                eight = eight || history_ticks[10][k] == 8;
            p.check(eight != over, over ? "one entry past the most skipped" : "the most a block holds read");
            p.check(demo_reader.previous_length == 44, "and the next block read");
        }
        // 2 GB of one states block of zeros (sparse, so no disk) costs next to nothing:
        // its 48 million entries are never read one by one.
        Encoder zeros;
        zeros.bytes = one_rider_head();
        const uint32_t huge = 0x7fff0000u / kDemoEntrySize * kDemoEntrySize;
        zeros.bytes += u32(huge) + u32(0) + char(demo_block_states);
        const std::string zeros_file = user_file(root, "demos/default.bvdemo");
        bvtest::write_file(zeros_file, zeros.bytes);
        p.check(truncate(zeros_file.c_str(), off_t(zeros.bytes.size()) + off_t(huge)) == 0, "sparse file made");
        history_clear_all();
        current_tick = race.tick = 0;
        p.check(demo_playback_open() == 1, "the zeros open");
        demo_set_rider_slot(0, 10);
        const bvtest::ChildCost cost = bvtest::run_measured([] {
            demo_playback_read();
            return any_held(10) ? 0 : 1;
        });
        fprintf(stderr, "%s\n", bvtest::describe("2 GB states block", cost).c_str());
        p.check(cost.finished && cost.result == 1, "the zeros skipped: " + bvtest::describe("2 GB", cost));
        p.check(cost.seconds < 2.0 && cost.grown_kib < 200 * 1024, bvtest::describe("2 GB states block", cost));
        demo_playback_close();

        // A chain pointing before the block start stops the walk there: the file is
        // read to its end, then the last block's chained value is damaged under it.
        Encoder chain;
        chain.bytes = one_rider_head();
        chain.block(demo_block_states, 0, good);
        chain.block(demo_block_states, 16, good);
        chain.block(demo_block_states, 32, good);
        play(chain.bytes);
        while (demo_reader.position < int64_t(chain.bytes.size()) && current_tick < 500) {
            ++current_tick;
            demo_playback_read();
        }
        p.check(demo_reader.position == int64_t(chain.bytes.size()), "read to the end");
        const size_t last = block_starts(chain.bytes, one_rider_head().size())[2];
        const uint32_t bogus = 0x7fff0000;
        memcpy(&chain.bytes[last], &bogus, 4);
        bvtest::write_file(user_file(root, "demos/default.bvdemo"), chain.bytes);
        demo_walk_back(-1);
        p.check(demo_reader.position == demo_reader.block_start && demo_reader.previous_length == 0,
                "walk stopped at the block start");
        return p.text;
    });
}

namespace {

// Mutations of a demo: flips, set bytes, cuts at blocks and anywhere, chained values.
std::string mutate(const std::string& base, const std::vector<size_t>& blocks, uint32_t seed)
{
    std::mt19937 rng(seed);
    auto next = [&](uint32_t n) { return n ? uint32_t(rng()) % n : 0; };
    std::string m = base;
    switch (next(6)) {
    case 0:
        for (uint32_t i = 1 + next(8); i > 0; --i)
            m[next(uint32_t(m.size()))] ^= char(1 << next(8));
        break;
    case 1: {
        const char values[] = {0, char(0xff), char(next(256))};
        for (uint32_t i = 1 + next(4); i > 0; --i)
            m[next(uint32_t(m.size()))] = values[next(3)];
        break;
    }
    case 2:
        if (!blocks.empty())
            m.resize(blocks[next(uint32_t(blocks.size()))] + next(12));
        break;
    case 3:
        m.resize(next(uint32_t(m.size())));
        break;
    default:
        if (!blocks.empty()) {
            const uint32_t v = next(2) ? uint32_t(rng()) : next(400);
            memcpy(&m[blocks[next(uint32_t(blocks.size()))]], &v, 4);
        }
        break;
    }
    return m;
}

void play_mutated(const bvtest::TempDir& root, const std::string& bytes)
{
    bvtest::write_file(user_file(root, "demos/default.bvdemo"), bytes);
    history_clear_all();
    current_tick = race.tick = 0;
    if (!demo_playback_open())
        return;
    demo_set_rider_slot(0, 10);
    demo_set_rider_slot(1, 11);
    for (int i = 0; i < 2000 && current_tick < 1 << 20; ++i) {
        ++current_tick;
        demo_playback_read();
    }
    demo_seek(-3);
    demo_seek(1);
    demo_seek(-100);
    demo_seek(0.5);
    demo_playback_close();
}

}  // namespace

TEST(DemoBadInput, FuzzedDemosNeitherCrashNorHang)
{
    bvtest::in_fresh_process([] {
        bvtest::TempDir root;
        start(root);
        // A version-6 recording with every kind of block.
        put_rider(0, rider_kind_local);
        put_rider(3, rider_kind_bot);
        demo_record_open();
        demo_record_states(1);
        while (current_tick < 600) {
            tick();
            if (current_tick % 100 == 50) {
                demo_record_event(demo_block_chat, "chat", 4);
                demo_record_event(demo_block_erode, "erode 3", 7);
                demo_record_event(demo_block_script, "msg", 3);
                const uint8_t junk[20] = {1, 2, 3};
                demo_record_event(demo_block_deformation, junk, sizeof junk);
            }
        }
        demo_record_close();
        const std::string v6 = bvtest::read_file(user_file(root, "demos/default.bvdemo"));
        const size_t start6 = v6.find("\n\n", v6.find("\n\n") + 2) + 2;
        const std::vector<size_t> blocks6 = block_starts(v6, start6);

        std::string v5 = "BV05 2 0 3 1500\ntracks/sample\ncr125||||\n1\ncr125||||\n2\n";
        const size_t start5 = v5.size();
        for (int f = 0; f < 300 * 2 * 39; ++f)
            v5 += char(f * 13);
        std::vector<size_t> frames5;
        for (size_t at = start5; at < v5.size(); at += 78 * 25)
            frames5.push_back(at);

        fake.occupied[0] = fake.occupied[3] = false;
        race.kinds[0] = race.kinds[3] = rider_kind_remote;
        put_rider(10, rider_kind_remote);
        put_rider(11, rider_kind_remote);
        demo_later_hooks.game_tick = [] {
            demo_set_current_tick(current_tick + 1);
            demo_playback_read();
        };
        for (uint32_t seed = 1; seed <= 1250; ++seed) {
            play_mutated(root, mutate(v6, blocks6, seed));
            play_mutated(root, mutate(v5, frames5, seed + 100000));
        }
        for (size_t cut : blocks6)
            play_mutated(root, v6.substr(0, cut));
        return std::string();
    });
}
