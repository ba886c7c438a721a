#include "view/engine_sound.h"

#include "engine_fixture.h"
#include "support/archive_bytes.h"
#include "support/console_capture.h"
#include "support/fresh_process.h"
#include "support/measured_child.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace {

using enginetest::place;

engine_sound record;

std::vector<int32_t> pipe_of(const engine_sound& e)
{
    return {e.tone.pipe_values, e.tone.pipe_values + kPipeTaps};
}

// A game folder holding these files, the table installed, the record loaded fresh.
struct Folder {
    bvtest::TempDir root;
    explicit Folder(const std::vector<std::pair<std::string, std::string>>& files)
    {
        for (const auto& [name, bytes] : files)
            bvtest::write_file(root / ("game/" + name), bytes);
        bvtest::make_dirs(root / "user");
        bvtest::use_folders(root / "user", root / "game");
        enginetest::install();
    }
};

// A raw sample of n 16-bit values.
std::string raw(int n, int16_t value = 1000)
{
    std::string s;
    for (int i = 0; i < n; ++i) {
        s += static_cast<char>(value & 0xFF);
        s += static_cast<char>((value >> 8) & 0xFF);
    }
    return s;
}

TEST(EnginePipe, TuningGivesTheStoredTables)
{
    struct Case {
        float a, b, c;
        int32_t first, last;
        std::vector<int32_t> values;
        float gain;
    };
    const std::vector<Case> cases = {
        {5, 0.91820717f, -0.85f, 0, 15,
         {32382, 32386, 32391, 32395, 32400, 32405, 32409, 32414, 32419, 32423, 32428, 32433, 32438, 32443, 32448, 32453},
         -0.053125f},
        {1.75f, 0.3f, -0.75f, 0, 15,
         {32633, 32635, 32636, 32638, 32639, 32641, 32642, 32644, 32645, 32647, 32648, 32650, 32652, 32653, 32655, 32656},
         -0.046875f},
        {1, 1, 0, 0, 15,
         {32691, 32696, 32701, 32706, 32711, 32716, 32721, 32726, 32731, 32736, 32742, 32747, 32752, 32758, 32763, 32768},
         0.0f},
    };
    for (const Case& c : cases) {
        record = engine_sound{};
        engine_pipe_tune(&record, c.a, c.b, c.c, c.first, c.last);
        EXPECT_EQ(pipe_of(record), c.values) << c.a;
        for (float g : record.tone.pipe_gains)
            EXPECT_FLOAT_EQ(g, c.gain);
    }
    // One entry alone, the first clamped; absurd lengths stay defined.
    record = engine_sound{};
    engine_pipe_tune(&record, 5, 0.9f, -0.8f, 3, 3);
    EXPECT_EQ(record.tone.pipe_values[3], 32382);
    EXPECT_FLOAT_EQ(record.tone.pipe_gains[3], -0.8f);
    engine_pipe_tune(&record, 424, 0, 0, 40, 0);
    EXPECT_EQ(record.tone.pipe_values[15], 32768 - 32786);
    engine_pipe_tune(&record, 1e30f, 0, 0, 0, 0);
    EXPECT_EQ(record.tone.pipe_values[0], 32768 - (1 << 30));
    EXPECT_EQ(clamp_to_int(std::nan(""), -5, 5), 0);
    EXPECT_EQ(clamp_to_int(-1e300, -5, 5), -5);
    EXPECT_EQ(clamp_to_int(2.9, -5, 5), 2);
}

TEST(EngineDefinition, SearchChainAndClassDefaults)
{
    bvtest::in_fresh_process([] {
        Folder folder({{"bikes/kx125.braap", "minrpm 1111\n"},
                       {"my-bikes/cr125.braap", "minrpm 2222\n"},
                       {"my.braap", "minrpm 3333\n"},
                       {"default250.braap", "minrpm 4444\n"},
                       {"plain.braap", "minrpm 5555\n"}});
        bvtest::Problems p;
        auto load = [&](const std::string& cls, const std::string& texture) {
            enginetest::place(0, cls).texture = texture;
            engine_sound_load(&record, &rider_slots[0], nullptr);
            return record.tone.minrpm;
        };
        p.check(load("125", "@bikes/kx125-alt1-red.png") == 1111, "kx125.braap at the end of the chain");
        bvtest::write_file(folder.root / "game/bikes/kx125-alt1.braap", "minrpm 6666\n");
        p.check(load("125", "@bikes/kx125-alt1-red.png") == 6666, "kx125-alt1.braap wins");
        p.check(load("125", "@my-bikes/cr125.png") == 2222, "own folder");
        p.check(load("350", "@my-bikes/cr125-x.png") == 2222, "dash in the name");
        p.check(load("125", "@my-bikes/nothing.png") == 1000, "a dash in the folder is never used");
        p.check(load("125", "@plain") == 5555, "no extension gets one");
        p.check(load("250", "") == 4444, "stock file of class 250");
        p.check(load("250", "@-x.png") == 4444, "a leading dash ends the search");
        // Class defaults without any file.
        load("350", "");
        p.check(record.tone.firings == 1.0f && record.tone.hightorque == 3.5f &&
                    record.tone.table == sound_table_default_two_stroke() && record.tone.pipe_values[0] == 32633,
                "class 350 keeps the two-stroke defaults");
        load("50", "");
        p.check(record.tone.hightorque == 1.5f && record.tone.lowtorque == -3.5f, "class 50");
        load("999f", "");
        p.check(record.tone.firings == 0.5f && record.tone.table == sound_table_default_four_stroke() &&
                    record.tone.pipe_values[15] == 32453 && record.tone.pipe_gains[0] == -0.053125f,
                "a class ending in f is a four-stroke");
        engine_sound_load(&record, nullptr, nullptr);
        p.check(record.tone.firings == 0.5f && record.tone.lowtorque == -2.5f, "no rider: four-stroke");
        p.check(record.voice == nullptr && record.cursor == 11025 && record.previous_rpm == 1000.0f &&
                    record.cycles_per_second == 10.0f && record.oscillators[0].weight == 0.0f &&
                    record.oscillators[0].data == sound_table_default_four_stroke()->cells[0].samples,
                "synthesis state");
        // The named definition takes precedence over the texture.
        enginetest::place(0, "125").texture = "@bikes/kx125.png";
        engine_sound_load(&record, &rider_slots[0], "@plain.png");
        p.check(record.tone.minrpm == 5555, "definition name");
        engine_sound_caches_free();
        return p.text;
    });
}

TEST(EngineDefinition, Lines)
{
    bvtest::in_fresh_process([] {
        std::string long_list = "bias";
        for (int i = 0; i < 120; ++i)
            long_list += " " + std::to_string(i);
        Folder folder({{"a.braap", "# nothing but a comment\n"},
                       {"b.braap", "pipe 4\nbias\n  scale 1 1.01\nbiasx 1\n minrpm 1500\nlowtorque -3 # x\n"},
                       {"c.braap", "pipe 5 0.9 -0.8 3 3\nminrpm 1500 # idle\n" + long_list + "\nhightorque nan\n"},
                       {"d.braap", "scale 2 nan 3\nbias 1e39\nminrpm inf\n"}});
        bvtest::Problems p;
        engine_sound_load(&record, nullptr, "@a.x");
        p.check(pipe_of(record).front() == 32691 && pipe_of(record).back() == 32768 && record.tone.pipe_gains[5] == 0,
                "an opened file resets the pipe");
        engine_sound_load(&record, nullptr, "@b.x");
        p.check(record.tone.pipe_values[0] == 32459 && record.tone.pipe_gains[0] == -0.85f / 16,
                "pipe 4 with the other defaults");
        p.check(record.tone.bias_count == 1 && record.tone.bias[0] == 0, "empty bias");
        p.check(record.tone.scale_count == 2 && record.tone.scale[1] == 1.01f, "indented scale");
        p.check(record.tone.minrpm == 1000, "an indented minrpm is ignored");
        p.check(record.tone.lowtorque == -3, "lowtorque before a comment");
        engine_sound_load(&record, nullptr, "@c.x");
        p.check(record.tone.pipe_values[3] == 32382 && record.tone.pipe_gains[3] == -0.8f &&
                    record.tone.pipe_values[2] == 32701,
                "one pipe entry");
        p.check(record.tone.minrpm == 1500, "minrpm with a comment");
        p.check(record.tone.bias_count == 100 && record.tone.bias[99] == 99, "bias keeps 100");
        p.check(record.tone.hightorque == 2.5f, "nan hightorque ignored");
        engine_sound_load(&record, nullptr, "@d.x");
        p.check(record.tone.scale_count == 1 && record.tone.scale[0] == 2, "nan ends the scale list");
        p.check(record.tone.bias_count == 1 && record.tone.bias[0] == 0, "1e39 ends the bias list");
        p.check(record.tone.minrpm == 1000, "inf minrpm ignored");
        engine_sound_caches_free();
        return p.text;
    });
}

TEST(EngineTables, LoadShareAndFail)
{
    bvtest::in_fresh_process([] {
        const std::string good = "SOUNDTABLE 2 2\n2000 9000\n0 1\n-1 4 @s/lo0.raw\n-1 4 @s/lo1.raw\n"
                                 "0 6 -3 3 -1 4 @s/hi0.raw\n-1 8 @s/lo1.raw\n";
        Folder folder({
            {"s/lo0.raw", raw(40)}, {"s/lo1.raw", raw(80)}, {"s/hi0.raw", raw(40)}, {"s/empty.raw", ""},
            {"s/odd.raw", "x"},
            {"s/good.table", good},
            {"one.braap", "soundtable   @s/good.table  \nminrpm 1234\n"},
            {"two.braap", "soundtable @s/good.table\n"},
            {"noheader.braap", "soundtable @s/noheader.table\nminrpm 1500\n"},
            {"s/noheader.table", "2 2\n"},
            {"remap.braap", "soundtable @s/remap.table\n"},
            {"s/remap.table", "SOUNDTABLE 1 1\n0\n0\n1 2 x 4 @s/lo0.raw\n"},
            {"empty.braap", "soundtable @s/empty.table\n"},
            {"s/empty.table", "SOUNDTABLE 1 2\n0\n0 1\n-1 4 @s/lo0.raw\n-1 2 @s/empty.raw\n"},
            {"missing.braap", "soundtable @s/missing.table\n"},
            {"s/missing.table", "SOUNDTABLE 1 1\n0\n0\n-1 2 @s/none.raw\n"},
            {"zero.braap", "soundtable @s/zero.table\n"},
            {"s/zero.table", "SOUNDTABLE 1 1\n0\n0\n3 -1 0 @s/lo0.raw\n"},
            {"nocells.braap", "soundtable @s/nocells.table\n"},
            {"s/nocells.table", "SOUNDTABLE 0 2\n0 1\n"},
            {"huge.braap", "soundtable @s/huge.table\n"},
            {"s/huge.table", "SOUNDTABLE 100000 100000\n"},
            {"odd.braap", "soundtable @s/odd.table\n"},
            {"s/odd.table", "SOUNDTABLE 1 1\n0\n0\n-1 1 @s/odd.raw\n"},
        });
        bvtest::Problems p;
        ConsoleCapture quiet;
        engine_sound_load(&record, nullptr, "@one.x");
        const sound_table* t = record.tone.table;
        p.check(t && t->rows == 2 && t->columns == 2 && std::string(t->name) == "@s/good.table", "loaded");
        if (!t || t->rows != 2)
            return p.text;
        p.check(t->cells[1].row_value == 2000 && t->cells[2].row_value == 9000 && t->cells[3].column_value == 1,
                "row and column values");
        const sound_table_cell& hi0 = t->cells[2];
        p.check(hi0.remap_count == 4 && hi0.remap[0] == 0 && hi0.remap[1] == 2 && hi0.remap[2] == 1 &&
                    hi0.remap[3] == 3,
                "remaps stored modulo the cycle count, never negative");
        p.check(t->cells[0].remap == nullptr && t->cells[3].cycles == 8 && t->cells[3].length == 80, "cells");
        p.check(record.tone.minrpm == 1234, "the line after the table");
        p.check(t->cells[1].samples == t->cells[3].samples, "a sample read once");
        engine_sound_load(&record, nullptr, "@two.x");
        p.check(record.tone.table == t, "two definitions share one table");
        // Samples named without "@" are data names: the working folder's files of those
        // names are never read.
        const std::string game = folder.root / "game";
        const std::string work = folder.root / "work";
        bvtest::write_file(work + "/s/lo0.raw", raw(100));
        bvtest::write_file(work + "/s/hi0.raw", raw(100));
        bvtest::write_file(game + "/plain.braap", "soundtable @s/plain.table\n");
        bvtest::write_file(game + "/s/plain.table", "SOUNDTABLE 1 2\n0\n0 1\n-1 4 s/lo0.raw\n-1 4 s//hi0.raw\n");
        const bool moved = chdir(work.c_str()) == 0;
        engine_sound_load(&record, nullptr, "@plain.x");
        const sound_table* plain = record.tone.table;
        p.check(moved && plain && std::string(plain->name) == "@s/plain.table" && plain->cells[0].length == 40 &&
                    plain->cells[1].length == 40 && plain->cells[1].samples != plain->cells[0].samples,
                "sample names without \"@\" read from the data folders");
        p.same(quiet.text(), "", "a good table prints nothing");

        struct Failure {
            const char* definition;
            std::string lines;
        };
        const std::vector<Failure> failures = {
            {"@noheader.x", "Error reading '@s/noheader.table'\n"},
            {"@remap.x", "(0, 0) Bad remap entry\nError reading '@s/remap.table'\n"},
            {"@empty.x", "(0, 1) Error reading '@s/empty.raw'\nError reading '@s/empty.table'\n"},
            {"@missing.x", "(0, 0) Error reading '@s/none.raw'\nError reading '@s/missing.table'\n"},
            {"@zero.x", "(0, 0) Error reading '@s/lo0.raw'\nError reading '@s/zero.table'\n"},
            {"@nocells.x", "Error reading '@s/nocells.table'\n"},
            {"@huge.x", "Error reading '@s/huge.table'\n"},
            {"@odd.x", "(0, 0) Error reading '@s/odd.raw'\nError reading '@s/odd.table'\n"},
        };
        for (const Failure& f : failures) {
            ConsoleCapture lines;
            engine_sound_load(&record, nullptr, f.definition);
            p.same(lines.text(), f.lines, f.definition);
            p.check(record.tone.table == sound_table_default_four_stroke(), std::string(f.definition) + " table");
        }
        ConsoleCapture again;
        engine_sound_load(&record, nullptr, "@noheader.x");
        p.check(record.tone.minrpm == 1500, "the other lines still apply");
        p.same(again.text(), "Error reading '@s/noheader.table'\n", "a failed table is tried again");
        engine_sound_caches_free();
        return p.text;
    });
}

// A downloaded bike folder's tables may name anything: only data files of a sane size
// are read, and each refusal says why with the name. Each case runs on its own to
// show what it costs.
TEST(EngineTables, HostileNamesAndSizes)
{
    bvtest::in_fresh_process([] {
        const std::string cell = "SOUNDTABLE 1 1\n0\n0\n-1 4 ";
        Folder folder({
            {"plain.braap", "soundtable /dev/zero\n"},
            {"devzero.braap", "soundtable @s/devzero.table\n"},
            {"s/devzero.table", cell + "/dev/zero\n"},
            {"fifo.braap", "soundtable @s/fifo.table\n"},
            {"s/fifo.table", cell + "@s/fifo.raw\n"},
            {"linked.braap", "soundtable @s/linked.table\n"},
            {"s/linked.table", cell + "@s/linked.raw\n"},
            {"bomb.braap", "soundtable @s/bomb.table\n"},
            {"s/bomb.table", cell + "@s/bomb.raw\n"},
            {"s/bomb.raw.gz", bvtest::gzip_repeated(1, size_t(64) << 20)},
            {"endless.braap", "soundtable @s/endless.table\n"},
        });
        // A remap list that never ends: "1 " over and over, 32 MiB of it.
        std::string endless = "SOUNDTABLE 1 1\n0\n0\n";
        for (int i = 0; i < 16 << 20; ++i)
            endless += "1 ";
        bvtest::write_file(folder.root / "game/s/endless.table.gz", bvtest::gzip_bytes(endless));
        // Plain sample paths: the same FIFO and link, a file beside the data folders, and
        // a climb out of them.
        const std::string game = folder.root / "game";
        const std::string outside = folder.root / "elsewhere.raw";
        bvtest::write_file(outside, raw(40));
        const std::vector<std::pair<std::string, std::string>> plain = {
            {"plainfifo", game + "/s/fifo.raw"}, {"outside", outside},
            {"climb", game + "/s/../../elsewhere.raw"}, {"plainlink", game + "/s/linked.raw"}};
        for (const auto& [table, sample] : plain) {
            bvtest::write_file(game + "/" + table + ".braap", "soundtable @s/" + table + ".table\n");
            bvtest::write_file(game + "/s/" + table + ".table", cell + sample + "\n");
        }
        mkfifo((folder.root / "game/s/fifo.raw").c_str(), 0600);
        symlink("/dev/zero", (folder.root / "game/s/linked.raw").c_str());
        bvtest::Problems p;
        struct Case {
            std::string definition;
            std::string lines;
        };
        auto refused = [](const char* what, const std::string& name) {
            return std::string(what) + ": name \"" + name + "\" refused: it begins with \"/\"\n";
        };
        std::vector<Case> cases = {
            {"@plain.x", refused("Sound table", "/dev/zero") + "Error reading '/dev/zero'\n"},
            {"@devzero.x", refused("Sound sample", "/dev/zero") +
                               "(0, 0) Error reading '/dev/zero'\nError reading '@s/devzero.table'\n"},
            {"@fifo.x", "(0, 0) Error reading '@s/fifo.raw'\nError reading '@s/fifo.table'\n"},
            {"@linked.x", "(0, 0) Error reading '@s/linked.raw'\nError reading '@s/linked.table'\n"},
            {"@bomb.x", "Sound sample '@s/bomb.raw' is longer than 4 MiB\n"
                        "(0, 0) Error reading '@s/bomb.raw'\nError reading '@s/bomb.table'\n"},
            {"@endless.x", "(0, 0) Bad remap entry\nError reading '@s/endless.table'\n"},
        };
        // A plain path is never a data name, wherever it leads.
        for (const auto& [table, sample] : plain)
            cases.push_back({"@" + table + ".x", refused("Sound sample", sample) + "(0, 0) Error reading '" +
                                                               sample + "'\nError reading '@s/" + table + ".table'\n"});
        for (const Case& c : cases) {
            const bvtest::ChildCost cost = bvtest::run_measured([&] {
                ConsoleCapture lines;
                enginetest::install();
                engine_sound_load(&record, nullptr, c.definition.c_str());
                const bool ok = lines.text() == c.lines && record.tone.table == sound_table_default_four_stroke();
                if (!ok)
                    fprintf(stderr, "%s printed [%s]\n", c.definition.c_str(), lines.text().c_str());
                return ok ? 1 : 0;
            });
            fprintf(stderr, "%s\n", bvtest::describe(c.definition.c_str(), cost).c_str());
            p.check(cost.finished && cost.result == 1, c.definition + " refused with its lines");
            p.check(cost.seconds < 2 && cost.grown_kib < 64 * 1024, bvtest::describe(c.definition, cost));
        }
        return p.text;
    });
}

}  // namespace
