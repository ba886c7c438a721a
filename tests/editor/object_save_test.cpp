// A session's object edits survive a save: gates dragged, a billboard trail, a statue
// moved and turned, decals stamped and erased, saved by the editor in one process and
// read back by another, equal as the files print them.
#include "editor/editor_commands.h"
#include "editor_test_folder.h"
#include "foundation/memory.h"
#include "flat_track_fixture.h"
#include "saved_objects_text.h"
#include "support/archive_bytes.h"
#include "terrain/refused_tail.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

using edtest::flat_track;

TEST(ObjectSave, EditsOfEveryObjectToolReadBackAfterASave)
{
    // Both processes re-run this body: the first run makes the folder, the rest find it.
    std::unique_ptr<bvtest::TempDir> made;
    if (!getenv("BV_SAVED_TRACK_ROOT")) {
        made = std::make_unique<bvtest::TempDir>();
        setenv("BV_SAVED_TRACK_ROOT", made->path().c_str(), 1);
    }
    const std::string root = getenv("BV_SAVED_TRACK_ROOT");
    bvtest::in_fresh_process([&] {
        bvtest::Problems p;
        flat_track f(root, "[50 50] 0.25 4 1 @decals/start_line.png\n[60 60] 0 4 1 @decals/finish_line.png\n", true);
        f.load_objects();
        editor_state.tool = 11;
        f.stroke({{104, 76}, {110, 70}});   // gate 1's end handle
        f.stroke({{64, 24}, {60, 20}});     // gate 0's centre
        editor_state.tool = 12;
        f.click(64, 80);                    // the tree
        std::vector<std::pair<float, float>> path;
        for (float z = 20; z <= 50; z += 0.25f)
            path.push_back({20, z});
        f.stroke(path);
        editor_state.tool = 13;
        f.stroke({{64, 64}, {70, 66}});
        f.stroke({{70, 60.88f}, {75, 66}});
        editor_state.tool = 15;
        editor_state.selected_decal = 0;
        editor_widgets.orientation.selected = 2;
        f.click(30, 100);
        f.key_at('d', 40, 100);
        f.key_at('x', 60, 60);
        p.check(billboard_count() > 5 && track_terrain.decals.count == 3, "the edits were made");
        editor_save();
        p.same(edtest::status(), "Saved!", "saved");
        bvtest::write_file(root + "/expected", edtest::saved_objects_text());
        return p.text;
    });
    bvtest::in_fresh_process([&] {
        bvtest::Problems p;
        flat_track f(root, "", true);
        f.load_objects();
        const std::string got = edtest::saved_objects_text(), want = bvtest::read_file(root + "/expected");
        size_t at = 0;
        while (at < got.size() && at < want.size() && got[at] == want[at])
            ++at;
        at = got.rfind('\n', at) == std::string::npos ? 0 : got.rfind('\n', at) + 1;
        p.same(got.substr(at), want.substr(at), "read back, from the first line that differs");
        return p.text;
    });
    unsetenv("BV_SAVED_TRACK_ROOT");
}

namespace {

std::string lines(int n, const char* format)
{
    std::string text;
    char line[200];
    for (int i = 0; i < n; ++i) {
        snprintf(line, sizeof line, format, double(i % 97) + 0.5);
        text += line;
    }
    return text;
}

}  // namespace

// What a load leaves out (lines past a bound, a decal whose texture does not load or
// whose numbers are not finite, a line that does not parse and the rest after it)
// goes back into the file at a save, as it stood, after the kept lines, from a packed
// file too. Up to 4 MiB of it: a file whose load left out more is kept as it was, and
// the status names it (its edits are not on disk), never "Saved!".
TEST(ObjectSave, ASaveWritesBackWhatTheLoadLeftOutOrNamesTheFileItKept)
{
    bvtest::in_fresh_process([] {
        bvtest::Problems p;
        bvtest::TempDir root;
        const std::string folder = root / "user/Brovanta/tracks/flat";
        flat_track f(root.path(), "", true);
        f.load_objects();   // the start-gate statues come before the track's own
        const char* decal = "[%f 2.000000] 0.300000 1000.000000 1.000000 @decals/start_line.png\n";   // 64 cells
        const char* board = "[%f 1.000000 3.000000] 2.000000 1.000000 a\n";
        const char* statue = "[%f 0.000000 5.000000] 0.000000 null null null\n";
        // The same lines as a save does not write them: a file written differs from them.
        const char* short_decal = "[%.1f 2] 0.3 1000 1 @decals/start_line.png\n";
        const char* short_board = "[%.1f 1 3] 2 1 a\n";
        const std::string mud = "[10 10] 0 4 1 packs/mud.png\n", endless = "[1e999 10] 0 4 1 @decals/a.png\n";
        const std::string full_boards = lines(int(kMaxBillboards) - first_track_billboard, board);
        const int statues_kept = int(kMaxStatues) - first_track_statue;
        const std::string short_statues = lines(statues_kept, "[%.1f 0 5] 0 null null null\n");
        auto past = [](std::string text, size_t size) { return text.resize(size, '\n'), text; };
        std::string mud_past_bound = lines(1, decal);
        while (mud_past_bound.size() <= kRefusedTailMax + 100)
            mud_past_bound += "[10 10] 0 4 1 packs/" + std::string(1000, 'm') + ".png\n";
        // Decal lines whose texture does not load, size bytes of them in all.
        auto mud_of = [](size_t size) {
            const std::string line = "[10 10] 0 4 1 packs/" + std::string(1000, 'm') + ".png\n";
            std::string text;
            while (text.size() + line.size() <= size)
                text += line;
            return text.resize(size, '\n'), text;
        };
        const char* short_statue = "[%.1f 0 5] 0 null null null\n";
        const struct {
            std::string given[3], saved[3];   // decals, billboards, statues; "" saved: as given
            bool packed;
            const char* status;
        } cases[] = {
            {{lines(5, decal) + mud + endless + lines(123, decal) + lines(3, decal), full_boards + lines(2, board),
              lines(int(kMaxStatues) + 2, statue)},
             {lines(5, decal) + lines(123, decal) + mud + endless + lines(3, decal)},
             false, "Saved!"},
            {{lines(2, decal) + mud + lines(1, decal) + "junk\n" + lines(1, decal),
              lines(3, board) + "[1 2] broken\n" + lines(2, board), lines(2, statue) + "not a statue\n" + lines(1, statue)},
             {lines(2, decal) + lines(1, decal) + mud + "junk\n" + lines(1, decal)},
             true, "Saved!"},
            {{lines(1, short_decal), full_boards + past(lines(2, board), kRefusedTailMax + 1),
              short_statues + past(lines(9, statue), kRefusedTailMax)},
             {lines(1, decal), "", lines(statues_kept, statue) + past(lines(9, statue), kRefusedTailMax)},
             false, "Saved, but billboards kept as they were: what the load left out is over 4 MiB"},
            {{mud_past_bound, lines(2, short_board), short_statues + past(lines(9, statue), kRefusedTailMax + 1)},
             {"", lines(2, board), ""},
             false, "Saved, but statues and decals kept as they were: what the load left out is over 4 MiB"},
            {{mud_of(kRefusedTailMax) + lines(1, decal), lines(2, short_board), lines(1, short_statue)},
             {lines(1, decal) + mud_of(kRefusedTailMax), lines(2, board), lines(1, statue)},
             false, "Saved!"},
            {{mud_of(kRefusedTailMax + 1) + lines(1, decal), lines(2, short_board), lines(1, short_statue)},
             {"", lines(2, board), lines(1, statue)},
             false, "Saved, but decals kept as they were: what the load left out is over 4 MiB"},
        };
        const char* names[3] = {"decals", "billboards", "statues"};
        for (const auto& c : cases) {
            std::remove((folder + "/decals").c_str());
            std::remove((folder + "/decals.gz").c_str());
            bvtest::write_file(folder + (c.packed ? "/decals.gz" : "/decals"),
                               c.packed ? bvtest::gzip_bytes(c.given[0]) : c.given[0]);
            bvtest::write_file(folder + "/billboards", c.given[1]);
            bvtest::write_file(folder + "/statues", c.given[2]);
            statues_reset();
            billboards_reset();
            track_terrain.decals.count = 0;
            terrain_read_decals(&track_terrain, "tracks/flat", track_loaders.texture_load);
            f.load_objects();
            track_terrain.change_flags = 7;
            editor_save();
            const std::string status = edtest::status(), what = std::string(c.status) + ": ";
            p.same(status, c.status, "the status");
            p.check(((track_terrain.change_flags & 2) != 0) == (status != "Saved!"), what + "the change mark");
            for (int k = 0; k < 3; ++k) {
                const std::string now = bvtest::read_file(folder + "/" + names[k]);
                p.check(now == (c.saved[k].empty() ? c.given[k] : c.saved[k]), what + names[k] + " as saved");
                p.check((status.find(std::string(" ") + names[k]) != std::string::npos) ==
                            (status != "Saved!" && now == c.given[k]),
                        what + names[k] + " is named in the status when, and only when, it was kept");
            }
        }
        return p.text;
    });
}

// A billboard the load could not hold because memory ran out is left out as a line
// that does not load is, and the next save writes it back after the ones held.
TEST(ObjectSave, ABillboardRefusedForWantOfMemoryComesBackAtTheNextSave)
{
    bvtest::in_fresh_process([] {
        bvtest::Problems p;
        bvtest::TempDir root;
        const std::string folder = root / "user/Brovanta/tracks/flat";
        flat_track f(root.path(), "", true);
        constexpr int kBoards = 8;
        const char* short_board = "[%.1f 1 3] 2 1 a\n";   // as a save does not write it
        const std::string given = lines(kBoards, short_board);
        bvtest::write_file(folder + "/billboards", given);
        f.load_objects();
        // The billboards read again with every growth of a block refused: those that
        // fit the blocks the reset made are held, the rest refused.
        billboards_reset();
        for (int k = 0; k < 3; ++k)
            create_billboard(0, 0, 0, 1, 1, nullptr);
        first_track_billboard = billboard_count();
        const mem_system_allocator starved{[](size_t size) { return malloc(size); },
                                           [](void*, size_t) -> void* { return nullptr; }, [](void* b) { free(b); }};
        mem_set_system_allocator(&starved);
        billboards_read("@tracks/flat/billboards");
        mem_set_system_allocator(nullptr);
        const int held = billboard_count() - first_track_billboard;
        p.check(held > 0 && held < kBoards, std::to_string(held) + " of " + std::to_string(kBoards) + " held");
        track_terrain.change_flags = 7;
        editor_save();
        p.same(edtest::status(), "Saved!", "the status");
        const std::string saved = bvtest::read_file(folder + "/billboards");
        const std::string written = lines(held, "[%f 1.000000 3.000000] 2.000000 1.000000 a\n");
        p.same(saved.substr(0, written.size()), written, "the billboards held, as a save writes them");
        p.same(saved.substr(std::min(written.size(), saved.size())),
               given.substr(size_t(held) * lines(1, short_board).size()), "after them the ones refused, as given");
        return p.text;
    });
}
