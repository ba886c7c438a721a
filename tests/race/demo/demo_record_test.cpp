// The demo recorder: its bytes against the test's own encoder, the worked example
// and its backward walk, the backups, the time-trial file, the demo name, and a
// folder that cannot be written.
#include "demo_fixture.h"

#include "foundation/front_door.h"
#include "race/rider_history.h"
#include "race/program/settings_values.h"
#include "sim/race_clock.h"
#include "support/file_size_limit.h"
#include "support/console_capture.h"
#include "support/fresh_process.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>

#include <sys/stat.h>
#include <unistd.h>

using namespace demotest;

namespace {

std::string states_payload(const std::vector<std::pair<uint8_t, int32_t>>& riders, const std::vector<int32_t>& ticks)
{
    std::string out;
    for (const auto& [index, slot] : riders)
        for (int32_t t : ticks)
            out += Encoder::entry(index, uint32_t(t), state_of(slot, t));
    return out;
}

uint32_t u32_at(const std::string& bytes, size_t at)
{
    uint32_t v = 0;
    memcpy(&v, bytes.data() + at, 4);
    return v;
}

// One recording of slot 0 with a chat line naming it, through the backups.
void record_marked(const char* mark)
{
    demo_record_open();
    demo_record_states(1);
    demo_record_event(demo_block_chat, mark, int32_t(strlen(mark)));
    demo_record_close();
}

// The console's lines from now on, taken where the console prints them: on a full disk
// the log cannot hold them.
const std::string& lines_printed()
{
    static std::string said;
    front_door.console_print = [](const char* text) {
        said += text;
        if (said.empty() || said.back() != '\n')
            said += '\n';
    };
    return said;
}

}  // namespace

TEST(DemoRecord, BytesMatchTheFormatWrittenByHand)
{
    bvtest::in_fresh_process([] {
        bvtest::Problems p;
        bvtest::TempDir root;
        start(root);
        put_rider(0, rider_kind_local);
        put_rider(3, rider_kind_bot);
        put_rider(5, rider_kind_remote);   // offline: not recorded
        fake.texts[0] = {"yz|250\r", "@a|b.png", nullptr, "", nullptr, "9\n99", "Pl\ray|er"};
        fake.texts[3] = {"cr125", "r.png", "b.png", "w.png", "h.png", "12345", ""};

        demo_record_open();
        record_until(20);
        demo_record_event(demo_block_chat, "hello", 5);
        while (current_tick < 36)
            tick();
        demo_record_states(1);   // tick 36 was sampled already: only its pending state
        demo_record_states(1);   // nothing pending: no block
        race.laps = 3;
        race.gate_drop_tick = 2000;
        demo_record_close();

        Encoder e;
        e.header(2, 0, 3, 2000);
        e.rider("yz250|@ab.png|||", "999", "Play|er");
        e.rider("cr125|r.png|b.png|w.png|h.png", "12345", "");
        const std::vector<std::pair<uint8_t, int32_t>> riders = {{0, 0}, {1, 3}};
        e.block(demo_block_states, 0, states_payload(riders, {0}));
        e.block(demo_block_states, 16, states_payload(riders, {4, 8, 12, 16}));
        e.block(demo_block_chat, 20, "hello");
        e.block(demo_block_states, 32, states_payload(riders, {20, 24, 28, 32}));
        e.block(demo_block_states, 36, states_payload(riders, {36}));
        const std::string got = bvtest::read_file(user_file(root, "demos/default.bvdemo"));
        p.check(got == e.bytes, "recorded bytes differ from the hand-written file (" + std::to_string(got.size()) +
                                    " vs " + std::to_string(e.bytes.size()) + " bytes)");
        p.same(got.substr(0, 45), "BV06   2           0           3        2000\n", "rewritten header");
        return p.text;
    });
}

TEST(DemoRecord, WorkedExampleChainsAndWalksBack)
{
    bvtest::in_fresh_process([] {
        bvtest::Problems p;
        bvtest::TempDir root;
        start(root);
        put_rider(0, rider_kind_local);
        demo_record_open();
        record_until(20);
        demo_record_event(demo_block_chat, "hello", 5);
        demo_record_close();

        const std::string head = "BV06   1           0        1000        1792\ntracks/sample\n"
                                 "yz250f(2017)|@rider_body-a.png|||\n999\nPlayer\n\n";
        const std::string got = bvtest::read_file(user_file(root, "demos/default.bvdemo"));
        p.same(got.substr(0, head.size()), head, "header and entry");
        const size_t a = head.size(), b = a + 9 + 44, c = b + 9 + 176;
        p.check(got.size() == c + 14, "three blocks");
        p.check(u32_at(got, a) == 44 && u32_at(got, a + 4) == 0, "block A: chained 44 at tick 0");
        p.check(u32_at(got, b) == 156 && u32_at(got, b + 4) == 16, "block B: chained 176 ^ 44");
        p.check(u32_at(got, c) == 181 && u32_at(got, c + 4) == 20 && got[c + 8] == 2, "block C: chained 5 ^ 176");
        // Walking back from the end with previous length 5.
        uint32_t previous = 5;
        size_t at = got.size();
        std::vector<size_t> back;
        while (at > a) {
            at -= 9 + previous;
            previous ^= u32_at(got, at);
            back.push_back(at);
        }
        p.check(back == std::vector<size_t>({c, b, a}) && previous == 0, "backward walk");
        return p.text;
    });
}

TEST(DemoRecord, RaceWithoutRecordedRidersWritesHeaderAndTrackOnly)
{
    bvtest::in_fresh_process([] {
        bvtest::Problems p;
        bvtest::TempDir root;
        start(root);
        put_rider(2, rider_kind_remote);
        demo_record_open();
        record_until(40);
        demo_record_close();
        p.same(bvtest::read_file(user_file(root, "demos/default.bvdemo")),
               "BV06   0           0        1000        1792\ntracks/sample\n", "empty demo");
        return p.text;
    });
}

TEST(DemoRecord, OnlineRecordsRemoteRidersAndAWatcherNotItsOwn)
{
    bvtest::in_fresh_process([] {
        bvtest::Problems p;
        bvtest::TempDir root;
        start(root);
        fake.online = 1;
        put_rider(0, rider_kind_local);
        put_rider(1, rider_kind_remote);
        put_rider(2, rider_kind_bot);
        demo_record_open();
        demo_record_close();
        p.same(bvtest::read_file(user_file(root, "demos/default.bvdemo")).substr(5, 3), "  3", "racing: 3");
        race.own_lineup_value = kWatchOnlyValue;
        demo_record_open();
        demo_record_close();
        p.same(bvtest::read_file(user_file(root, "demos/default.bvdemo")).substr(5, 3), "  2", "watching: 2");
        race.own_lineup_value = 0;
        return p.text;
    });
}

TEST(DemoRecord, BackupsRotateStopAtAHundredAndNeverReplaceADemoThatCannotMoveOn)
{
    bvtest::in_fresh_process([] {
        bvtest::Problems p;
        bvtest::TempDir root;
        start(root);
        put_rider(0, rider_kind_local);
        auto holds = [&](const std::string& name, const std::string& mark) {
            const std::string bytes = bvtest::read_file(user_file(root, "demos/" + name));
            p.check(bytes.find(mark) != std::string::npos, name + " should hold " + mark);
        };
        plain_values.demo_backups = 3;
        for (const char* mark : {"race-1", "race-2", "race-3", "race-4", "race-5"})
            record_marked(mark);
        holds("default.bvdemo", "race-5");
        holds("default00.bvdemo", "race-4");
        holds("default01.bvdemo", "race-3");
        holds("default02.bvdemo", "race-2");
        p.check(!bvtest::file_exists(user_file(root, "demos/default03.bvdemo")), "race-1 dropped");

        plain_values.demo_backups = 0;
        record_marked("race-6");
        holds("default.bvdemo", "race-6");
        holds("default00.bvdemo", "race-4");   // untouched

        char name[64];
        for (int i = 0; i < 100; ++i) {
            snprintf(name, sizeof name, "demos/default%02d.bvdemo", i);
            bvtest::write_file(user_file(root, name), "old" + std::to_string(i));
        }
        plain_values.demo_backups = 150;
        record_marked("race-7");
        holds("default.bvdemo", "race-7");
        holds("default00.bvdemo", "race-6");
        p.same(bvtest::read_file(user_file(root, "demos/default99.bvdemo")), "old98", "99 holds the old 98");
        p.check(!bvtest::file_exists(user_file(root, "demos/default100.bvdemo")), "no 100th backup");

        // A time trial records the attempt beside the track and rotates nothing.
        plain_values.demo_backups = 3;
        race.time_trial_active = 1;
        record_marked("lap-1");
        race.time_trial_active = 0;
        holds("default.bvdemo", "race-7");
        p.check(bvtest::read_file(user_file(root, "tracks/sample/lastlap.bvdemo")).find("lap-1") != std::string::npos,
                "lastlap.bvdemo written");
        holds("default00.bvdemo", "race-6");

        // Anything but a demo at a backup name before a free one (a folder a pack
        // brought, a link, a pipe) stops the rotation before anything moves, with one
        // line, and nothing is recorded; a free name before it ends the rotation there.
        // A folder at "default.bvdemo" records nothing and moves nothing; a link there
        // is replaced.
        const std::string& said = lines_printed();
        // From "default.bvdemo" on, one letter a name: a demo's number, n the new one,
        // F a folder, L a link, P a pipe, - nothing.
        const struct {
            int backups;
            const char *before, *after;
        } cases[] = {{2, "2F1", "2F1"},   {2, "21F", "21F"},   {3, "F321", "F321"}, {3, "2L1-", "2L1-"},
                     {3, "21-P", "n21P"}, {2, "321", "n32"}, {1, "L1", "n1"}};
        const std::string demos = user_file(root, "demos");
        auto at = [&](size_t k) {
            return demos + (k == 0 ? std::string("/default.bvdemo") : "/default0" + std::to_string(k - 1) + ".bvdemo");
        };
        for (const auto& c : cases) {
            std::filesystem::remove_all(demos);
            bvtest::make_dirs(demos);
            for (size_t k = 0; c.before[k]; ++k) {
                const char held = c.before[k];
                if (held == 'F')
                    bvtest::make_dirs(at(k));
                else if (held == 'L')
                    symlink((root / "elsewhere").c_str(), at(k).c_str());
                else if (held == 'P')
                    mkfifo(at(k).c_str(), 0600);
                else if (held != '-')
                    bvtest::write_file(at(k), std::string("race-") + held);
            }
            plain_values.demo_backups = c.backups;
            const size_t said_before = said.size();
            record_marked("race-n");
            std::string now;
            for (size_t k = 0; c.after[k]; ++k) {
                struct stat st;
                const bool there = lstat(at(k).c_str(), &st) == 0;
                const std::string bytes = there && S_ISREG(st.st_mode) ? bvtest::read_file(at(k)) + "race-?" : "";
                now += !there ? '-' : S_ISDIR(st.st_mode) ? 'F' : S_ISLNK(st.st_mode) ? 'L' : S_ISFIFO(st.st_mode) ? 'P'
                                                                                      : bytes[bytes.find("race-") + 5];
            }
            const std::string lines = said.substr(said_before);
            p.same(now, c.after, std::string(c.before) + ": the demos");
            p.check(std::count(lines.begin(), lines.end(), '\n') == (c.after[0] == 'n' ? 0 : 1), c.before + lines);
        }
        return p.text;
    });
}

TEST(DemoRecord, DemoNameRenamesAtCloseAndRefusesPaths)
{
    bvtest::in_fresh_process([] {
        bvtest::Problems p;
        bvtest::TempDir root;
        start(root);
        put_rider(0, rider_kind_local);
        for (const char* bad : {"../escape", "a/b", "a\\b", "..", "x\001y", "tab\there"})
            p.check(demo_set_name(bad) == 0, std::string("refused: ") + bad);
        p.check(demo_name()[0] == '\0', "refusals leave no name");
        demo_record_open();
        p.check(demo_set_name("best run.bvdemo") == 1, "plain name accepted");
        demo_record_close();
        p.check(bvtest::file_exists(user_file(root, "demos/best run.bvdemo")), "renamed at close");
        p.check(!bvtest::file_exists(user_file(root, "demos/default.bvdemo")), "default moved");
        p.check(demo_name()[0] == '\0', "name cleared");
        record_marked("next");
        p.check(bvtest::file_exists(user_file(root, "demos/default.bvdemo")), "next stays default");
        return p.text;
    });
}

TEST(DemoRecord, UnwritableFolderLeavesTheRecorderIdle)
{
    bvtest::in_fresh_process([] {
        bvtest::Problems p;
        bvtest::TempDir root;
        start(root);
        put_rider(0, rider_kind_local);
        // Every search folder refuses: a plain file stands where "demos" would be.
        bvtest::write_file(user_file(root, "demos"), "a plain file");
        bvtest::write_file(root / "game/demos", "a plain file");
        demo_record_open();
        p.check(!demo_recording(), "idle");
        record_until(64);
        demo_record_event(demo_block_chat, "x", 1);
        demo_record_close();
        p.check(fake.packs == 0, "nothing sampled while idle");
        p.same(bvtest::read_file(user_file(root, "demos")), "a plain file", "file untouched");
        return p.text;
    });
}

TEST(DemoRecord, StopForcesALastBlockAndRewritesTheHeader)
{
    bvtest::in_fresh_process([] {
        bvtest::Problems p;
        bvtest::TempDir root;
        start(root);
        put_rider(0, rider_kind_local);
        put_rider(4, rider_kind_bot);
        demo_record_open();
        record_until(20);
        race.laps = 5;
        demo_stop();
        p.check(!demo_recording() && demo_rider_count() == 0, "stopped");
        p.check(race.kinds[4] == rider_kind_remote && race.kinds[0] == rider_kind_local, "slots 1.. state-driven");
        const std::string got = bvtest::read_file(user_file(root, "demos/default.bvdemo"));
        p.same(got.substr(0, 45), "BV06   2           0           5        1792\n", "header rewritten");
        const std::vector<size_t> blocks = block_starts(got, got.find("\n\n", got.find("\n\n") + 2) + 2);
        p.check(blocks.size() == 3 && u32_at(got, blocks[2] + 4) == 20 && got.size() == blocks[2] + 9 + 2 * 44,
                "a last block at tick 20 with the state of tick 20");
        return p.text;
    });
}

TEST(DemoRecord, AFailedWriteEndsTheRecordingWithOneMessage)
{
    bvtest::in_fresh_process([] {
        bvtest::Problems p;
        bvtest::TempDir root;
        start(root);
        put_rider(0, rider_kind_local);
        bvtest::make_dirs(user_file(root, "demos"));
        const std::string& said = lines_printed();
        bvtest::FileSizeLimit full(1);   // a disk that holds nothing more
        demo_record_open();
        record_until(100);
        demo_record_event(demo_block_chat, "x", 1);
        demo_record_close();
        p.check(!demo_recording(), "recording ended");
        p.check(said.find("Demo recording stopped") != std::string::npos &&
                    said.find("Demo recording stopped") == said.rfind("Demo recording stopped"),
                "one message: " + said);
        return p.text;
    });
}

// A write failure at the last close was silent and the demo name was still given to
// the broken file: now it says so and the recording keeps its own name.
TEST(DemoRecord, AFailedCloseSaysSoAndKeepsTheRecordingsName)
{
    bvtest::in_fresh_process([] {
        bvtest::Problems p;
        bvtest::TempDir root;
        start(root);
        put_rider(0, rider_kind_local);
        bvtest::make_dirs(user_file(root, "demos"));
        const std::string& said = lines_printed();
        bvtest::FileSizeLimit full(1);   // a disk that holds nothing more
        demo_record_open();   // the header waits in the buffer: only the close can fail
        p.check(demo_set_name("kept.bvdemo") == 1, "name set");
        demo_record_close();
        p.check(said == "Demo recording failed at close: kept as @demos/default.bvdemo\n", "one line: " + said);
        p.check(!bvtest::file_exists(user_file(root, "demos/kept.bvdemo")), "not renamed");
        p.check(demo_name()[0] == '\0', "name cleared");
        return p.text;
    });
}

// A server's chat reached the demo without end (61 MB in 25 s): each second of race
// keeps at most kDemoTextPerSecond bytes of chat and script text.
TEST(DemoRecord, ChatAndScriptTextAreCappedPerSecondOfRace)
{
    bvtest::in_fresh_process([] {
        bvtest::Problems p;
        bvtest::TempDir root;
        start(root);
        put_rider(0, rider_kind_local);
        demo_record_open();
        const std::string line(100, 'c');
        for (int second = 0; second < 3; ++second) {
            current_tick = race.tick = second * 128 + 5;
            for (int i = 0; i < 1000; ++i) {
                demo_record_event(i % 2 ? demo_block_script : demo_block_chat, line.data(), int32_t(line.size()));
                demo_record_event(demo_block_erode, "erode 3", 7);   // not text: never capped
            }
        }
        // At the edge, with the text spread over the ticks of a second and over both
        // kinds: 1024 bytes kept, one more refused; the next second starts afresh.
        const struct {
            int32_t tick;
            uint8_t type;
            int32_t count;
            bool kept;
        } edge[] = {
            {3 * 128, demo_block_chat, 500, true},       {3 * 128 + 40, demo_block_script, 500, true},
            {3 * 128 + 127, demo_block_chat, 24, true},  {3 * 128 + 127, demo_block_script, 1, false},
            {4 * 128, demo_block_script, 1, true},       {4 * 128 + 1, demo_block_chat, 1023, true},
            {4 * 128 + 2, demo_block_chat, 1, false},    {5 * 128 + 64, demo_block_script, 1025, false},
            {5 * 128 + 65, demo_block_script, 1024, true},
        };
        const std::string text(1100, 't');
        std::string want;
        for (const auto& e : edge) {
            current_tick = race.tick = e.tick;
            demo_record_event(e.type, text.data(), e.count);
            if (e.kept)
                want += std::to_string(e.tick) + ":" + std::to_string(e.count) + " ";
        }
        demo_record_close();
        const std::string got = bvtest::read_file(user_file(root, "demos/default.bvdemo"));
        size_t texts = 0, erodes = 0;
        std::string edge_kept;
        const std::vector<size_t> starts = block_starts(got, got.find("\n\n") + 2);
        for (size_t k = 0; k < starts.size(); ++k) {
            const size_t at = starts[k];
            const bool is_text = got[at + 8] == demo_block_chat || got[at + 8] == demo_block_script;
            erodes += got[at + 8] == demo_block_erode;
            uint32_t tick = 0;
            memcpy(&tick, got.data() + at + 4, 4);
            if (is_text && tick < 3 * 128)
                ++texts;
            else if (is_text)
                edge_kept += std::to_string(tick) + ":" +
                             std::to_string((k + 1 < starts.size() ? starts[k + 1] : got.size()) - at - 9) + " ";
        }
        p.same(edge_kept, want, "the text kept at the cap's edge");
        p.check(texts == 3 * size_t(kDemoTextPerSecond / 100), "ten lines a second: " + std::to_string(texts));
        p.check(erodes == 3000, "every erode kept");
        p.check(got.size() < 200000, "bounded file: " + std::to_string(got.size()));
        return p.text;
    });
}
