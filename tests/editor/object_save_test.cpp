// A session's object edits survive a save: gates dragged, a billboard trail, a statue
// moved and turned, decals stamped and erased, saved by the editor in one process and
// read back by another, equal as the files print them.
#include "editor/editor_commands.h"
#include "editor_test_folder.h"
#include "flat_track_fixture.h"
#include "saved_objects_text.h"

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

// A track past the bounds a load holds it to (decals over more than 8192 decal cells,
// more billboards and statues than a track may have) loads cut, with one line each;
// saved unchanged, every file keeps every line: the kept ones as the editor writes
// them, the refused ones after them as they stood.
TEST(ObjectSave, ASaveWritesBackWhatTheLoadRefused)
{
    bvtest::in_fresh_process([] {
        bvtest::Problems p;
        bvtest::TempDir root;
        const std::string folder = root / "user/Brovanta/tracks/flat";
        auto lines = [](int n, const char* format) {
            std::string text;
            char line[200];
            for (int i = 0; i < n; ++i) {
                snprintf(line, sizeof line, format, double(i % 97) + 0.5);
                text += line;
            }
            return text;
        };
        // Each decal covers all 64 cells: 128 reach the bound, the rest are refused.
        const std::string decals = lines(kMaxDecalCells / 64 + 3, "[%f 2.000000] 0.300000 1000.000000 1.000000 "
                                                                  "@decals/start_line.png\n");
        const std::string billboards = lines(kMaxBillboards + 2, "[%f 1.000000 3.000000] 2.000000 1.000000 a\n");
        const std::string statues = lines(int(kMaxStatues) + 2, "[%f 0.000000 5.000000] 0.000000 null null null\n");
        flat_track f(root.path(), decals, true);
        bvtest::write_file(folder + "/billboards", billboards);
        bvtest::write_file(folder + "/statues", statues);
        f.load_objects();
        p.check(track_terrain.decals.count == kMaxDecalCells / 64, "the decals loaded cut");
        p.check(billboard_count() == kMaxBillboards && statue_count() == kMaxStatues, "billboards and statues cut");
        for (const char* refused : {"Decals file", "Billboards file", "Statues file"})
            p.check(bvtest::console_log_text().find(refused) != std::string::npos, std::string("a line: ") + refused);
        editor_save();
        p.same(edtest::status(), "Saved!", "saved");
        p.check(bvtest::read_file(folder + "/decals") == decals, "the decals file keeps every line");
        p.check(bvtest::read_file(folder + "/billboards") == billboards, "the billboards file keeps every line");
        p.check(bvtest::read_file(folder + "/statues") == statues, "the statues file keeps every line");
        return p.text;
    });
}
