// A session's object edits survive a save: gates dragged, a billboard trail, a statue
// moved and turned, decals stamped and erased, saved by the editor in one process and
// read back by another, equal as the files print them.
#include "editor/editor_commands.h"
#include "editor_test_folder.h"
#include "flat_track_fixture.h"
#include "saved_objects_text.h"
#include "support/archive_bytes.h"
#include "terrain/refused_tail.h"

#include <gtest/gtest.h>

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

// text padded with blank lines (its last line's end included) to exactly size bytes.
std::string padded(std::string text, size_t size)
{
    text.resize(size, '\n');
    return text;
}

const char* const kCovering = "[%f 2.000000] 0.300000 1000.000000 1.000000 @decals/start_line.png\n";
const char* const kBillboard = "[%f 1.000000 3.000000] 2.000000 1.000000 a\n";
const char* const kStatue = "[%f 0.000000 5.000000] 0.000000 null null null\n";

// The three object files of one case, and what each holds after the save.
struct object_files {
    std::string decals, billboards, statues;
};

}  // namespace

// What a load leaves out (lines past a bound, a decal whose texture does not load or
// whose numbers are not finite, a line that does not parse and the rest after it)
// goes back into the file at a save, as it stood, after the kept lines; a plain file
// and a compressed one alike. Up to 4 MiB of it: a file whose load left out more is
// kept as it was, and the status names it, never "Saved!" (its edit is not on disk).
TEST(ObjectSave, ASaveWritesBackWhatTheLoadLeftOutOrNamesTheFileItKept)
{
    bvtest::in_fresh_process([] {
        bvtest::Problems p;
        bvtest::TempDir root;
        const std::string folder = root / "user/Brovanta/tracks/flat";
        flat_track f(root.path(), "", true);
        // The start-gate statues come before the track's own.
        f.load_objects();
        const int track_statues = int(kMaxStatues) - first_track_statue;
        const int track_billboards = int(kMaxBillboards) - first_track_billboard;

        const std::string mud = "[10 10] 0 4 1 packs/mud.png\n";
        const std::string endless = "[1e999 10] 0 4 1 @decals/start_line.png\n";
        const std::string long_mud = "[10 10] 0 4 1 packs/" + std::string(1000, 'm') + ".png\n";
        // Each covering decal takes all 64 cells: 128 reach the bound.
        const std::string covering_a = lines(5, kCovering), covering_b = lines(kMaxDecalCells / 64 - 5, kCovering);
        const std::string covering_rest = lines(3, kCovering);
        std::string mud_past_bound = lines(1, kCovering);
        while (mud_past_bound.size() <= kRefusedTailMax + long_mud.size())
            mud_past_bound += long_mud;
        const std::string short_statues = lines(track_statues, "[%.1f 0 5] 0 null null null\n");
        const std::string refused_statues = lines(track_statues / 4, kStatue);
        const std::string billboards_full = lines(track_billboards, kBillboard);
        const std::string billboards_over = padded(lines(2, kBillboard), kRefusedTailMax + 1);
        std::string moved_statue = lines(track_statues, kStatue);
        moved_statue.replace(0, 9, "[1.500000");   // the first statue one foot on

        struct save_case {
            const char* what;
            object_files given;      // the decals as "decals.gz" when packed
            bool packed;
            object_files saved;      // empty: as given
            const char* status;
        } const cases[] = {
            {"past the bounds, with decals that do not load",
             {covering_a + mud + endless + covering_b + covering_rest, billboards_full + lines(2, kBillboard),
              lines(int(kMaxStatues) + 2, kStatue)},
             false,
             {covering_a + covering_b + mud + endless + covering_rest, "", ""},
             "Saved!"},
            {"lines that do not parse",
             {lines(2, kCovering) + mud + lines(1, kCovering) + "junk\n" + lines(1, kCovering),
              lines(3, kBillboard) + "[1 2] broken\n" + lines(2, kBillboard),
              lines(2, kStatue) + "not a statue\n" + lines(1, kStatue)},
             true,
             {lines(2, kCovering) + lines(1, kCovering) + mud + "junk\n" + lines(1, kCovering), "", ""},
             "Saved!"},
            {"exactly 4 MiB left out, and a billboard moved in a file with more",
             {lines(1, kCovering), billboards_full + billboards_over,
              short_statues + padded(refused_statues, kRefusedTailMax)},
             false,
             {"", "", moved_statue + padded(refused_statues, kRefusedTailMax)},
             "Saved, but billboards kept as they were: what the load left out is over 4 MiB"},
            {"4 MiB and a byte left out, and decals that do not load past 4 MiB",
             {mud_past_bound, lines(2, kBillboard), short_statues + padded(refused_statues, kRefusedTailMax + 1)},
             false,
             {"", "", ""},
             "Saved, but statues and decals kept as they were: what the load left out is over 4 MiB"},
        };
        for (const save_case& c : cases) {
            const object_files& given = c.given;
            std::remove((folder + "/decals").c_str());
            std::remove((folder + "/decals.gz").c_str());
            if (c.packed)
                bvtest::write_file(folder + "/decals.gz", bvtest::gzip_bytes(given.decals));
            else
                bvtest::write_file(folder + "/decals", given.decals);
            bvtest::write_file(folder + "/billboards", given.billboards);
            bvtest::write_file(folder + "/statues", given.statues);
            statues_reset();
            billboards_reset();
            track_terrain.decals.count = 0;
            terrain_read_decals(&track_terrain, "tracks/flat", track_loaders.texture_load);
            f.load_objects();
            // One edit in each table: a file kept as it was has lost it.
            static_cast<decal*>(track_terrain.decals.items)[0].x += 1;
            billboard_at(first_track_billboard)->x += 1;
            statue_at(first_track_statue)->x += 1;
            const bool edited = c.status != std::string("Saved!");
            if (!edited) {
                static_cast<decal*>(track_terrain.decals.items)[0].x -= 1;
                billboard_at(first_track_billboard)->x -= 1;
                statue_at(first_track_statue)->x -= 1;
            }
            track_terrain.change_flags = 7;
            editor_save();
            const std::string what = std::string(c.what) + ": ";
            p.same(edtest::status(), c.status, what + "the status");
            p.check(((track_terrain.change_flags & 2) != 0) == edited, what + "the change mark");
            const struct {
                const char* name;
                const std::string &given, &saved;
            } files[] = {{"decals", given.decals, c.saved.decals},
                         {"billboards", given.billboards, c.saved.billboards},
                         {"statues", given.statues, c.saved.statues}};
            for (const auto& file : files) {
                const std::string now = bvtest::read_file(folder + "/" + file.name);
                const bool named = edtest::status().find(std::string(" ") + file.name) != std::string::npos;
                p.check(named == (edited && now == file.given),
                        what + file.name + (named ? " named in the status" : " not named") +
                            (now == file.given ? ", kept as it was" : ", written"));
                if (!file.saved.empty())
                    p.check(now == file.saved, what + file.name + " holds the kept lines, then what was left out");
                else if (!edited)
                    p.check(now == file.given, what + file.name + " keeps every line");
            }
        }
        return p.text;
    });
}
