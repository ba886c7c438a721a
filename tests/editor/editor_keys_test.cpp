// The editor's keys, panel widgets and track commands on a small terrain: the echo,
// zoom and strength limits, tool keys and snapshots, widgets taking keys, panning,
// statue and billboard commands, switch points, saving as one set and the scene export.
#include "editor/editor_commands.h"
#include "editor/editor_keys.h"
#include "editor/editor_state.h"
#include "editor/editor_widgets.h"
#include "editor/gradients.h"
#include "editor/pov_export.h"
#include "platform/qorl_window.h"
#include "race/program/controls.h"
#include "editor_test_folder.h"
#include "support/fresh_process.h"
#include "support/console_capture.h"
#include "support/test_support.h"
#include "foundation/index/file_index.h"
#include "foundation/index/leftover_sweep.h"
#include "foundation/growable_array.h"
#include "terrain/billboards.h"
#include "terrain/save_set.h"
#include "terrain/statues.h"
#include "terrain/terrain_files.h"
#include "terrain/terrain_state.h"
#include "terrain/timing_gates.h"
#include "terrain/track_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <dirent.h>
#include <filesystem>
#include <map>
#include <numbers>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

using edtest::in_track_folder;
using edtest::status;

namespace {

struct key_fixture {
    terrain_state terrain{};
    qorl_window window;
    key_fixture()
    {
        menu_keys = {300, 301, 302, 303, 304, 305, 306, 307, 400, 401, 308, 309, 310};
        terrain_init(&terrain);
        terrain_alloc(&terrain, 2, 8.0f, 0.0f, 10.0f);
        terrain.tile_count = 1;
        window.width = 640;
        window.height = 480;
        statues_reset();
        billboards_reset();
        editor_init(&window, &terrain);
        editor_widget_rects_clear();
    }
    ~key_fixture()
    {
        editor_free();
        statues_free();
        billboards_free();
        terrain_free(&terrain);
    }
    // The pointer over world point (x, z).
    void point_at(float x, float z)
    {
        const float per_pixel = editor_view_width() / 480.0f;
        window.pointer_x = 320 + int((x - editor_state.view_x) / per_pixel);
        window.pointer_y = 240 + int((z - editor_state.view_z) / per_pixel);
    }
    static void press(int code)
    {
        editor_key(code, 1);
        if (code >= 256)
            editor_key(code, 0);
    }
};

std::map<std::string, std::string> folder_files(const std::string& folder)
{
    std::map<std::string, std::string> files;
    if (DIR* d = opendir(folder.c_str())) {
        while (dirent* e = readdir(d))
            if (e->d_name[0] != '.')
                files[e->d_name] = bvtest::read_file(folder + "/" + e->d_name);
        closedir(d);
    }
    return files;
}

}  // namespace

TEST(EditorKeys, EchoZoomStrengthToolsAndWidgets)
{
    in_track_folder([](bvtest::TempDir&) {
        bvtest::Problems p;
        key_fixture f;
        p.check(editor_key('a', 1) == 0, "a key that is no command");
        p.same(status(), "Pressed 0x61 ('a')", "printable echo");
        editor_key(8, 1);
        p.same(status(), "No more undo levels!", "backspace undoes");
        p.same(editor_state.status_buffer, "Pressed 0x08", "control echo");
        p.check(editor_key(9, 1) == 0, "Tab is never taken");
        p.check(editor_key(menu_keys.left, 0) == 1, "the release of an arrow is taken");

        editor_widgets.zoom.value = 1;
        for (int i = 0; i < 20; ++i)
            key_fixture::press('=');
        p.check(editor_widgets.zoom.value == 11, "twenty zoom steps in");
        for (int i = 0; i < 40; ++i)
            key_fixture::press('-');
        p.check(editor_widgets.zoom.value == -3, "zoom out stops at -3");
        editor_widgets.zoom.value = 1;
        for (int i = 0; i < 30; ++i)
            key_fixture::press(']');
        p.check(editor_widgets.strength.value == 5, "strength stops at 5");
        key_fixture::press('[');
        p.check(editor_widgets.strength.value == 4.75, "strength steps by 0.25");
        const float x = editor_state.view_x;
        key_fixture::press(menu_keys.right);
        p.check(editor_state.view_x == x + editor_view_width() / 4, "an arrow moves a quarter view");

        static const int tools[9] = {2, 4, 5, 6, 7, 8, 9, 10, 11};
        for (int k = 0; k < 9; ++k) {
            key_fixture::press('1' + k);
            p.check(editor_state.tool == tools[k], "digit " + std::to_string(k + 1));
        }
        key_fixture::press('1');
        f.terrain.heights[0] = 3.0f;
        f.terrain.change_flags = 7;
        editor_mouse();
        const int levels = editor_state.undo_levels;
        key_fixture::press('1');
        p.check(editor_state.undo_levels == levels, "the same tool takes no snapshot");
        key_fixture::press('2');
        p.check(editor_state.undo_levels == levels + 1, "a tool change takes one");

        // A widget under the pointer takes the keys.
        editor_widgets.zoom.rect = {10, 10, 100, 30};
        f.window.pointer_x = 50;
        f.window.pointer_y = 20;
        editor_key(menu_keys.right, 1);
        p.check(editor_widgets.zoom.value == 1.125, "right over Zoom");
        p.check(editor_key('s', 1) == 1 && status() != "Saved!", "s over Zoom does not save");
        editor_widgets.tools[13].rect = {10, 40, 100, 60};
        f.window.pointer_y = 50;
        editor_key(menu_keys.cursor_left, 1);
        editor_key(menu_keys.cursor_left, 0);
        p.check(editor_state.tool == 13, "a click on a tool button");
        editor_widget_rects_clear();
        f.window.pointer_x = 51;
        editor_mouse();
        p.check(editor_state.hovered_widget == -1, "a cleared rect cannot be hovered");

        // Panning keeps the point under the pointer.
        for (double zoom : {-3.0, 1.0, 8.0}) {
            editor_widgets.zoom.value = zoom;
            f.window.pointer_x = 200;
            f.window.pointer_y = 100;
            float ax, az, bx, bz;
            screen_to_world(&ax, &az);
            editor_key(menu_keys.cursor_right, 1);
            f.window.pointer_x = 260;
            f.window.pointer_y = 180;
            editor_mouse();
            editor_key(menu_keys.cursor_right, 0);
            screen_to_world(&bx, &bz);
            p.check(std::fabs(ax - bx) < 1e-3f * editor_view_width() && std::fabs(az - bz) < 1e-3f * editor_view_width(),
                    "panning at zoom " + std::to_string(zoom));
        }
        editor_widgets.zoom.value = 1;
        return p.text;
    });
}

TEST(EditorKeys, StatueBillboardAndGateCommands)
{
    in_track_folder([](bvtest::TempDir&) {
        bvtest::Problems p;
        key_fixture f;
        editor_state.tool = 13;
        key_fixture::press('d');   // an empty table: nothing to copy
        p.check(statue_count() == 0, "copy without statues");
        first_track_statue = 0;
        create_statue(10, 1, 10, 0.5f, nullptr, "a.png", nullptr);
        editor_state.selected_statue = 0;
        f.point_at(20, 12);
        key_fixture::press('d');
        p.check(statue_count() == 2 && std::fabs(statue_at(1)->x - 20) < 0.5f && statue_at(1)->angle == 0.5f &&
                    statue_at(1)->height_above_ground == 1 && f.terrain.change_flags == 7 &&
                    editor_state.selected_statue == 0,
                "copy to the pointer");
        for (int i = 0; i < 4; ++i)
            create_statue(float(i), 1, 0, 0.5f, nullptr, "a.png", nullptr);
        create_statue(50, 1, 30, 0.5f, nullptr, "a.png", nullptr);
        key_fixture::press('i');
        const int n = statue_count();
        bool even = true;
        for (int q = 1; q < n - 1; ++q)
            even = even && std::fabs(statue_at(q)->x - (10 + 40.0f * q / (n - 1))) < 1e-3f;
        p.check(even, "interpolate spaces statues evenly");
        create_statue(60, 1, 30, 0.5f, nullptr, "b.png", nullptr);
        key_fixture::press('i');
        p.same(status(), "Bad match for interpolate!", "another texture");
        editor_state.selected_statue = statue_count() - 2;
        editor_key('i', 1);
        p.same(status(), "Pressed 0x69 ('i')", "second to last does nothing");
        editor_state.selected_statue = -1;
        key_fixture::press('i');
        key_fixture::press('d');
        p.check(statue_count() == n + 1, "no selection: no copy");

        f.point_at(statue_at(0)->x, statue_at(0)->z);
        first_track_statue = 1;
        key_fixture::press('x');
        p.check(statue_count() == n + 1, "a start-gate piece stays");
        f.point_at(60, 30);
        key_fixture::press('x');
        p.check(statue_count() == n, "one statue deleted");
        f.terrain.edit_lock = 1;
        f.point_at(50, 30);
        key_fixture::press('x');
        p.check(statue_count() == n, "the lock refuses deletion");
        f.terrain.edit_lock = 0;
        // The selection stays on its statue as the table closes up, and a deleted
        // statue is no longer selected.
        editor_state.selected_statue = statue_count() - 1;
        f.point_at(statue_at(1)->x, statue_at(1)->z);
        key_fixture::press('x');
        p.check(editor_state.selected_statue == n - 2 && statue_at(n - 2)->x == 50,
                "the selection follows its statue down");
        editor_state.selected_statue = 1;
        f.point_at(statue_at(1)->x, statue_at(1)->z);
        key_fixture::press('x');
        p.check(statue_count() == n - 2 && editor_state.selected_statue == -1,
                "the deleted statue is no longer selected");

        // Snap to a gradient from (0, 0) to (100, 0).
        gradient_new();
        gradient* g = selected_gradient_record();
        g->start_x = 0, g->start_z = 0, g->end_x = 100, g->end_z = 0;
        statue* s = statue_at(2);
        s->x = 30, s->z = 1, s->angle = 0;
        editor_state.selected_statue = 2;
        statue_snap_to_gradient();
        p.check(std::fabs(s->x - 30) < 1e-4f && std::fabs(s->z) < 1e-4f &&
                    std::fabs(s->angle - std::atan2(-30.0f, 0.0f)) < 1e-4f,
                "near the axis: onto it");
        s->x = 0, s->z = 49, s->angle = 3.25f;
        statue_snap_to_gradient();
        p.check(std::fabs(s->z - 50) < 1e-3f && s->angle == 3.25f, "near a circle: onto it, the angle kept");
        s->x = 0, s->z = 49, s->angle = -7.0f;
        statue_snap_to_gradient();
        p.check(s->angle <= -2 * std::numbers::pi_v<float>, "upright statues stay upright");
        s->x = 0, s->z = 0;
        statue_snap_to_gradient();
        p.check(s->x == 0 && s->z == 0 && std::isfinite(s->angle), "on the start: unmoved");

        // Billboards: the track's own only.
        first_track_billboard = 1;
        create_billboard(5, 0, 5, 1, 1, nullptr);
        create_billboard(5, 0, 5, 1, 1, nullptr);
        create_billboard(80, 0, 80, 1, 1, nullptr);
        editor_state.tool = 12;
        editor_state.selected_billboard = 1;
        f.point_at(5, 5);
        key_fixture::press('x');
        p.check(billboard_count() == 3, "the search wraps to a flagger: nothing removed");
        editor_state.selected_billboard = 0;
        key_fixture::press('x');
        p.check(billboard_count() == 2 && billboard_at(1)->x == 80, "the track's billboard removed");
        create_billboard(30, 0, 30, 1, 1, nullptr);
        editor_state.selected_billboard = 2;
        f.point_at(80, 80);
        key_fixture::press('x');
        p.check(billboard_count() == 2 && editor_state.selected_billboard == 1 && billboard_at(1)->x == 30,
                "the selection follows its billboard down");
        f.point_at(30, 30);
        key_fixture::press('x');
        p.check(billboard_count() == 1 && editor_state.selected_billboard == -1,
                "the removed billboard is no longer selected");

        // Switch points.
        timing_gates.checkpoint_count = 3;
        timing_gates.firstlap_length = 2;
        timing_gates.normallap_length = 2;
        timing_gates.lap_entries[0] = 100001;
        timing_gates.lap_entries[1] = 2;
        timing_gates.lap_entries[2] = 100001;
        timing_gates.lap_entries[3] = 99999;
        editor_state.selected_gate = -1;
        gate_switch_point(1);
        p.check(timing_gates.lap_entries[3] == 99999, "no gate selected");
        editor_state.selected_gate = 1;
        gate_switch_point(1);
        p.check(timing_gates.lap_entries[0] == 1 && timing_gates.lap_entries[2] == 1, "set");
        gate_switch_point(0);
        p.check(timing_gates.lap_entries[0] == 100001 && timing_gates.lap_entries[2] == 100001, "cleared");
        return p.text;
    });
}

TEST(EditorSave, OneSetReplacesAllOrNothing)
{
    in_track_folder([](bvtest::TempDir& root) {
        bvtest::Problems p;
        key_fixture f;
        const std::string folder = root / "user/Brovanta/tracks/t";
        first_track_statue = 0;
        first_track_billboard = 0;
        create_statue(10, 1, 10, 0.5f, nullptr, "a.png", nullptr);
        gradient_new();
        key_fixture::press('s');
        p.same(status(), "Saved!", "a complete save");
        p.check((f.terrain.change_flags & 2) == 0, "saved clears bit 2");
        const auto saved = folder_files(folder);
        for (const char* name : {"billboards", "timing_gates", "terrain.png", "terrain.hf", "statues", "edinfo"})
            p.check(saved.count(name) == 1, std::string("saved ") + name);

        create_statue(20, 1, 20, 0.5f, nullptr, "a.png", nullptr);
        // The heights go in through one file more than the folder keeps.
        const int set_files = int(saved.size()) + 1;
        for (int k = 1; k <= set_files + 1; ++k)
            for (int stage = 0; stage < 3; ++stage) {
                save_set_test_faults({.fail_file = k, .fail_stage = stage});
                f.terrain.change_flags = 7;
                key_fixture::press('s');
                save_set_test_faults({});
                if (k > set_files)
                    continue;
                const std::string what = "file " + std::to_string(k) + " stage " + std::to_string(stage);
                p.check(folder_files(folder) == saved, what + " leaves the previous files");
                p.same(status(), "Save failed!", what);
                p.check((f.terrain.change_flags & 2) != 0, what + " keeps bit 2");
            }
        // Objects the track's script made are never written into the track's files.
        track_objects_from_script = 1;
        create_statue(99, 1, 99, 0.5f, nullptr, "script.png", nullptr);
        create_billboard(99, 0, 99, 1, 1, "script.png");
        track_objects_from_script = 0;
        key_fixture::press('s');
        p.same(status(), "Saved!", "saved with script objects");
        const std::string statues_text = bvtest::read_file(folder + "/statues");
        p.check(statues_text.find("script.png") == std::string::npos &&
                    bvtest::read_file(folder + "/billboards").find("script.png") == std::string::npos &&
                    statues_text.find("a.png") != std::string::npos,
                "the script's objects stay out of the saved files");
        // A folder squatting on a file's name: the files renamed before it go back.
        std::remove((folder + "/statues").c_str());
        bvtest::make_dirs(folder + "/statues/x");
        const auto before = folder_files(folder);
        key_fixture::press('s');
        p.same(status(), "Save failed!", "a real failure");
        p.check(folder_files(folder) == before, "a real failure leaves the previous files");
        return p.text;
    });
}

// The heights a load of the track folder gives and their digest (none when it fails).
struct loaded {
    std::vector<float> heights;
    std::string digest;
    bool operator==(const loaded&) const = default;
};

// A file system without hard links, as FAT or a share without Unix extensions.
int refused_with = EPERM;

int refuse_links(int, const char*, int, const char*)
{
    errno = refused_with;
    return -1;
}

loaded load_heights()
{
    terrain_state t{};
    terrain_init(&t);
    uint8_t digest[20];
    loaded l;
    if (terrain_read_heights(&t, "tracks/t", digest) == 1) {
        l.heights.assign(t.heights, t.heights + size_t(t.size) * size_t(t.size));
        l.digest.assign(reinterpret_cast<const char*>(digest), sizeof digest);
    }
    terrain_free(&t);
    return l;
}

void put_files(const std::string& folder, const std::map<std::string, std::string>& files)
{
    std::filesystem::remove_all(folder);
    bvtest::make_dirs(folder);
    for (const auto& [name, bytes] : files)
        bvtest::write_file(folder + "/" + name, bytes);
}

// A save stopped after each of its steps on the disk, as a killed game stops it, with
// every rename in succeeding and with the last one failing (so that the stops fall in
// the putting back too), over the old track as saved and over one without its image
// (its ground flat), and then the next start's sweep: each name holds its old or its
// new bytes (terrain.hf also the new header with the new samples inline), nothing the
// save left stays, the heights load exactly as the old track or the new one, never the
// new image under the old range or the reverse, and the next save writes the new
// files. On a file system that refuses hard links, whichever way link() says so, the
// same holds, with one line in the log for the run.
TEST(EditorSave, AStopAtAnyStepLeavesEachFileOldOrNew)
{
    in_track_folder([](bvtest::TempDir& root) {
        bvtest::Problems p;
        key_fixture f;
        const std::string folder = root / "user/Brovanta/tracks/t";
        const size_t points = size_t(f.terrain.size) * size_t(f.terrain.size);
        for (size_t k = 0; k < points; ++k)
            f.terrain.heights[k] = float(k % 7);
        create_statue(10, 1, 10, 0.5f, nullptr, "a.png", nullptr);
        key_fixture::press('s');
        p.same(status(), "Saved!", "the old track saved");
        const auto saved_files = folder_files(folder);
        const auto no_image = [&] {
            auto files = saved_files;
            files.erase("terrain.png");
            return files;
        }();

        // A new minimum and maximum: both heights files change, and the ground of a
        // header without its image lies elsewhere too.
        f.terrain.heights[3] = 25.0f;
        f.terrain.heights[5] = -3.0f;
        create_statue(20, 1, 20, 0.5f, nullptr, "b.png", nullptr);
        key_fixture::press('s');
        const auto new_files = folder_files(folder);
        const auto new_load = load_heights();
        p.check(new_load.heights.size() == points, "the new track loads");
        for (const auto& [name, bytes] : saved_files)
            p.check(new_files.count(name) == 1, "the new save has " + name);
        // The new samples inline: the image's samples, which the digest takes as they
        // stand in the file.
        const std::string new_hf = new_files.at("terrain.hf");
        const auto is_bridge = [&](const std::string& held) {
            return held.size() == new_hf.size() + 1 + 2 * points &&
                   held.compare(0, new_hf.size() + 1, new_hf + ":") == 0;
        };

        const ConsoleCapture log;
        // Without hard links over the saved track only: the image plays no part in how
        // a file is kept aside. 0: links work.
        struct old_case {
            const std::map<std::string, std::string>* files;
            int refused;
        };
        for (const auto& [old_files, refused] :
             {old_case{&saved_files, 0}, old_case{&no_image, 0}, old_case{&saved_files, EPERM},
              old_case{&saved_files, EOPNOTSUPP}, old_case{&saved_files, EXDEV}, old_case{&saved_files, EMLINK},
              old_case{&saved_files, ENOSYS}}) {
            put_files(folder, *old_files);
            const auto old_load = load_heights();
            p.check(old_load.heights.size() == points && old_load.heights != new_load.heights &&
                        old_load.digest != new_load.digest,
                    "the old track differs");
            const std::string kind = (refused ? std::string("links refused with ") + strerror(refused) + ", "
                                              : std::string()) +
                                     (old_files == &saved_files ? "saved" : "no image");
            refused_with = refused;
            const auto link = refused ? refuse_links : nullptr;
            save_set_test_faults({.link = link});
            // The heights pass through one file more than the folder keeps; the last one
            // failing puts back every one. The other ways of refusing links take the same
            // steps as EPERM once the copy is chosen: each is stopped on the way in only.
            for (const int failing : {0, int(new_files.size()) + 1}) {
                if (failing != 0 && refused != 0 && refused != EPERM)
                    continue;
                int stop = 0;
                for (; stop < 100; ++stop) {
                    put_files(folder, *old_files);
                    save_set_test_faults({.fail_file = failing, .fail_stage = 2, .stop_after = stop, .link = link});
                    key_fixture::press('s');
                    save_set_test_faults({.link = link});
                    const bool ended = status() == "Saved!" || (failing != 0 && folder_files(folder) == *old_files);
                    const std::string what =
                        kind + " failing " + std::to_string(failing) + " stop " + std::to_string(stop);
                    // The next start: a fresh index, whose listing sweeps.
                    vfs_shutdown();
                    file_index_build(kListingBounds, true);
                    const auto now = folder_files(folder);
                    for (const auto& [name, held] : now)
                        p.check(new_files.count(name) == 1 || old_files->count(name) == 1,
                                what + ": after the next start the folder has no " + name);
                    for (const auto& [name, bytes] : new_files) {
                        const bool was = old_files->count(name) == 1;
                        const bool has = now.count(name) == 1;
                        const bool bridge = name == "terrain.hf" && has && is_bridge(now.at(name));
                        p.check((!has && !was) || (has && was && now.at(name) == old_files->at(name)) ||
                                    (has && now.at(name) == bytes) || bridge,
                                what + ": after the next start " + name + " holds its old or new bytes");
                    }
                    const auto heights = load_heights();
                    p.check(heights == old_load || heights == new_load,
                            what + ": the heights load as the old track or the new one exactly");
                    key_fixture::press('s');
                    p.same(status(), "Saved!", what + ": the next save");
                    p.check(folder_files(folder) == new_files, what + ": the next save writes the new files");
                    if (ended)
                        break;
                }
                p.check(stop > 4 && stop < 100, kind + " the save ran to its end: " + std::to_string(stop));
            }
        }
        save_set_test_faults({});
        const std::string said = log.text();
        const std::string line = "No hard links in '" + folder + "': a save keeps a copy of each old file aside\n";
        const size_t at = said.find(line);
        p.check(at != std::string::npos && said.find(line, at + 1) == std::string::npos,
                "the log says once that hard links are refused:\n" + said.substr(0, 2000));
        return p.text;
    });
}

// What a killed save leaves (a name, ".tmp-" and 12 hex digits, as a file or a link)
// goes at the next save of that folder, and of the folder that holds the track's
// ground; names near that form stay, and so do the file a link names and the
// leftovers of other folders.
TEST(EditorSave, LeftoversOfAKilledSaveGoAndNothingElse)
{
    in_track_folder([](bvtest::TempDir& root) {
        bvtest::Problems p;
        key_fixture f;
        const std::string folder = root / "user/Brovanta/tracks/t";
        const std::string other = root / "user/Brovanta/tracks/other";
        const std::string outside = root / "outside";
        bvtest::write_file(outside, "outside");
        const std::vector<std::string> gone = {"terrain.png.tmp-0123456789ab", "statues.tmp-fedcba987654",
                                               "x.tmp-000000000000"};
        const std::vector<std::string> kept = {
            "x.tmp-12345678901",   "x.tmp-1234567890abc", "x.tmp-12345678901g", "x.tmp-z12345678901", "x.tmp-ABCDEF012345",
            "x.tmp_0123456789ab",  "x.temp-0123456789ab", ".tmp-0123456789ab",  "x.tmp-0123456789ab.png",
            "x.tmp-0123456789ab~", "edinfo.tmp-12345",    "tmp-0123456789ab"};
        for (const std::string& name : gone)
            bvtest::write_file(folder + "/" + name, name);
        for (const std::string& name : kept)
            bvtest::write_file(folder + "/" + name, name);
        p.check(symlink(outside.c_str(), (folder + "/edinfo.tmp-a1b2c3d4e5f6").c_str()) == 0, "link planted");
        bvtest::make_dirs(folder + "/d.tmp-0123456789ab/x");
        bvtest::write_file(other + "/terrain.png.tmp-0123456789ab", "other");

        key_fixture::press('s');
        p.same(status(), "Saved!", "saved");
        const auto now = folder_files(folder);
        for (const std::string& name : gone)
            p.check(now.count(name) == 0, name + " removed");
        p.check(!std::filesystem::is_symlink(folder + "/edinfo.tmp-a1b2c3d4e5f6"), "the link removed");
        p.same(bvtest::read_file(outside), "outside", "the file it named kept");
        for (const std::string& name : kept)
            p.same(bvtest::read_file(folder + "/" + name), name, name + " kept");
        p.check(std::filesystem::is_directory(folder + "/d.tmp-0123456789ab/x"), "a folder of that name kept");
        p.same(bvtest::read_file(other + "/terrain.png.tmp-0123456789ab"), "other", "another folder's kept");
        // A track folder planted as a link to a folder outside is never swept.
        const std::string away = root / "away";
        bvtest::write_file(away + "/terrain.png.tmp-0123456789ab", "away");
        p.check(symlink(away.c_str(), (root / "user/Brovanta/tracks/linked").c_str()) == 0, "folder link planted");
        p.check(leftover_sweep_folder(root / "user/Brovanta/tracks/linked") == 0, "a linked folder swept");
        p.same(bvtest::read_file(away + "/terrain.png.tmp-0123456789ab"), "away", "a leftover outside kept");
        // A track whose ground lies in a folder of its own: the save sweeps that one too.
        const std::string ground = root / "user/Brovanta/tracks/ground";
        bvtest::write_file(ground + "/terrain.png.tmp-0123456789ab", "ground");
        terrain_remember_folder("tracks/ground");
        key_fixture::press('s');
        terrain_remember_folder("tracks/t");
        p.same(status(), "Saved!", "saved with the ground elsewhere");
        p.check(bvtest::file_exists(ground + "/terrain.hf"), "the ground saved in its folder");
        p.check(!bvtest::file_exists(ground + "/terrain.png.tmp-0123456789ab"), "the ground folder's leftover removed");
        return p.text;
    });
}

// A downloaded track folder with a link at every name a save writes or once wrote
// through (the files, the old fixed temporaries, the old set-aside names) and FIFOs at
// two of them: the save and the scene export replace each file with a plain one of
// their own and leave every file outside byte-identical and every other link as it was,
// where hard links are refused too.
TEST(EditorSave, LinksAndPipesInTheTrackFolderAreReplacedNeverWrittenThrough)
{
    in_track_folder([](bvtest::TempDir& root) {
        bvtest::Problems p;
        alarm(120);   // a FIFO opened for writing would wait for ever
        key_fixture f;
        const std::string folder = root / "user/Brovanta/tracks/t";
        const std::string outside = root / "outside";
        const decal blank{};
        array_push(&f.terrain.decals, &blank);
        std::map<std::string, std::string> planted;   // link name -> outside file
        const char* saved[] = {"terrain.hf", "terrain.png", "shading.ppm", "shadingx2.ppm", "tilemap", "decals",
                               "timing_gates", "statues", "billboards", "edinfo", "track.pov"};
        for (const char* name : saved)
            for (const char* tail : {"", ".new", ".old"}) {
                const std::string link = std::string(name) + tail;
                if (link == "tilemap" || link == "edinfo.new")
                    continue;
                bvtest::write_file(outside + "/" + link, "outside " + link);
                planted[link] = outside + "/" + link;
                p.check(symlink(planted[link].c_str(), (folder + "/" + link).c_str()) == 0, "link " + link);
            }
        p.check(mkfifo((folder + "/tilemap").c_str(), 0600) == 0 && mkfifo((folder + "/edinfo.new").c_str(), 0600) == 0,
                "FIFOs made");
        key_fixture::press('s');
        p.same(status(), "Saved!", "saved");
        key_fixture::press('p');
        p.same(status(), "Pov!", "exported");
        alarm(0);
        for (const char* name : saved) {
            struct stat st;
            p.check(lstat((folder + "/" + name).c_str(), &st) == 0 && S_ISREG(st.st_mode),
                    std::string("a plain file at ") + name);
        }
        for (const auto& [link, target] : planted) {
            p.same(bvtest::read_file(target), "outside " + link, "outside file behind " + link);
            if (link.ends_with(".new") || link.ends_with(".old"))
                p.check(std::filesystem::is_symlink(folder + "/" + link), link + " left as it was");
        }
        struct stat st;
        p.check(lstat((folder + "/edinfo.new").c_str(), &st) == 0 && S_ISFIFO(st.st_mode), "edinfo.new untouched");
        const auto names = std::distance(std::filesystem::directory_iterator(folder), {});
        p.check(names == std::ptrdiff_t(std::size(saved) * 3), "no temporary left: " + std::to_string(names));
        // Where hard links are refused, a linked file is kept aside as a link, and
        // replaced by a plain one.
        std::filesystem::remove(folder + "/statues");
        p.check(symlink(planted["statues"].c_str(), (folder + "/statues").c_str()) == 0, "statues linked again");
        save_set_test_faults({.link = refuse_links});
        refused_with = EPERM;
        key_fixture::press('s');
        save_set_test_faults({});
        struct stat plain;
        p.same(status(), "Saved!", "saved where hard links are refused");
        p.check(lstat((folder + "/statues").c_str(), &plain) == 0 && S_ISREG(plain.st_mode), "a plain file at statues");
        p.same(bvtest::read_file(planted["statues"]), "outside statues", "the file the link named");
        return p.text;
    });
}

namespace {

// The open files of the process: a save hands back every folder it held.
long open_fds()
{
    return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {});
}

// What the commit's seam swaps: the track folder moved to `moved`, a link to `link_to`
// in its place.
std::string swap_folder, swap_moved, swap_link_to;

void swap_track_folder()
{
    std::filesystem::rename(swap_folder, swap_moved);
    symlink(swap_link_to.c_str(), swap_folder.c_str());
}

}  // namespace

// Between the writers' walks and the commit's renames the track folder is swapped for a
// link, the real folder moved out of the user folder (the link leading to it) or kept
// inside (the link leading to an empty folder outside): the save is refused or lands in
// the real folder inside, the folder outside holds what it held at the swap, and no
// folder stays open.
TEST(EditorSave, ATrackFolderSwappedForALinkBeforeTheCommitSendsNothingOutside)
{
    in_track_folder([](bvtest::TempDir& root) {
        bvtest::Problems p;
        key_fixture f;
        swap_folder = root / "user/Brovanta/tracks/t";
        key_fixture::press('s');
        p.same(status(), "Saved!", "the old track saved");
        const auto saved = folder_files(swap_folder);
        create_statue(20, 1, 20, 0.5f, nullptr, "b.png", nullptr);
        const std::string away = root / "away", inside = root / "user/Brovanta/tracks/t.real";
        bvtest::make_dirs(root / "outside");
        struct swap_case {
            const char* what;
            std::string moved, link_to, outside;
        };
        for (const swap_case& c : {swap_case{"moved outside", away, away, away},
                                   swap_case{"kept inside", inside, root / "outside", root / "outside"}}) {
            const auto outside_before = c.outside == away ? saved : folder_files(c.outside);
            swap_moved = c.moved;
            swap_link_to = c.link_to;
            const long fds = open_fds();
            const ConsoleCapture log;
            save_set_test_faults({.at_commit = swap_track_folder});
            f.terrain.change_flags = 7;
            key_fixture::press('s');
            save_set_test_faults({});
            const std::string what = std::string(c.what) + ": ";
            p.check(open_fds() == fds, what + "folders left open: " + std::to_string(open_fds() - fds));
            p.check(folder_files(c.outside) == outside_before, what + "the folder outside changed");
            p.check(status() == "Save failed!" || (c.moved == inside && folder_files(inside) != saved),
                    what + "saved, but not into the real folder: " + status());
            p.check(status() != "Save failed!" ||
                        log.text().find("a link stands on the way at " + swap_folder + "\n") != std::string::npos,
                    what + "no line naming the link:\n" + log.text());
            p.check(std::filesystem::is_symlink(swap_folder), what + "the seam was not reached");
            std::filesystem::remove(swap_folder);
            std::filesystem::rename(c.moved, swap_folder);
        }
        return p.text;
    });
}

TEST(EditorExport, SceneFileAndIdentifiers)
{
    in_track_folder([](bvtest::TempDir& root) {
        bvtest::Problems p;
        p.same(pov_identifier("@2fast.jm"), "_2fast", "a leading digit");
        p.same(pov_identifier("@statues/hay-bale.jm"), "_hay_bale", "a folder and a hyphen");
        p.same(pov_identifier("plain"), "plain", "no extension");
        key_fixture f;
        key_fixture::press('p');
        p.same(status(), "Pov!", "exported");
        const std::string pov = bvtest::read_file(root / "user/Brovanta/tracks/t/track.pov");
        p.check(pov.find("#declare statues") == std::string::npos, "no statues block without statues");
        p.check(pov.find("#declare billboards = union {\n}\n") != std::string::npos, "an empty billboard union");
        char ground[200];
        snprintf(ground, sizeof ground, "\tscale <%f,%f,%f>\n\ttranslate <0,%f,0>\n}\n", double(f.terrain.world_size),
                 double(f.terrain.max_height - f.terrain.min_height), double(f.terrain.world_size),
                 double(f.terrain.min_height));
        p.check(pov.find(ground) != std::string::npos, "the ground's scale and minimum");
        std::remove((root / "user/Brovanta/tracks/t/track.pov").c_str());
        bvtest::make_dirs(root / "user/Brovanta/tracks/t/track.pov/x");
        key_fixture::press('p');
        p.same(status(), "Pov failed!", "an export that cannot be written");
        return p.text;
    });
}
