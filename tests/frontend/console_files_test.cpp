// The console's file commands over a temporary user folder: setup files, frame times,
// uploads while offline, and the track's own commands on the loaded sample track.
#include "console_fixture.h"
#include "foundation/start/startup_check.h"
#include "foundation/door/search_folders.h"
#include "foundation/index/file_index.h"
#include "foundation/vfs/vfs.h"
#include "frontend/menu.h"
#include "frontend/setup_file.h"
#include "frontend/texture_choices.h"
#include "gl_window.h"
#include "race/program/main_loop.h"
#include "race/net/net_client.h"
#include "race/net/net_upload.h"
#include "race/net/player_setup.h"
#include "race/race_state.h"
#include "race/track_load.h"
#include "settings_fixture.h"
#include "sim/physics_world.h"
#include "sim/rider_slot.h"
#include "terrain/timing_gates.h"
#include "terrain/track_list.h"

#include <cstdio>
#include <filesystem>
#include <vector>

namespace fronttest {
namespace {

using namespace settings_test;

// Runs a line and gives every message it printed, joined by '|'.
std::string run(const char* line)
{
    const int before = message_log.write_index;
    console_execute(line);
    std::string out;
    for (int k = message_log.write_index - before - 1; k >= 0; --k)
        out += std::string(out.empty() ? "" : "|") + message_line_back(k);
    return out;
}

std::vector<int32_t> guarded;

TEST(ConsoleFiles, SetupsWrittenAndRead)
{
    in_fresh_settings([](Problems& p, const folders& f) {
        front_end_install();
        message_log_clear();
        for (const char* name : {"bikes/yz250fv2014-red.png", "bikes/cr125-green.png"})
            write_file(f.game / name, "");
        texture_lists_build();
        ui_choice_select(&bike_graphics_choice, "red");
        menu_seams.setup_change_guard = [](int32_t slot) { guarded.push_back(slot); };
        // The player in slot 4, a robot in slot 7 being watched: both simulated here.
        net_socket = -1;
        rider_slots[4].state_flags = state_simulated_locally;
        race.kinds[4] = rider_kind_local;
        rider_slots[7].state_flags = state_simulated_locally;
        race.kinds[7] = rider_kind_bot;
        race.viewed_slot = 7;

        stability_slider.value = 60;
        p.same(run("/writesetup fast"), "Setup written", "writesetup");
        const std::vector<std::string> lines = lines_of(read_file(f.user / "Brovanta/setups/fast"));
        p.check(lines.size() == size_t(kSetupKeys) && has_line(read_file(f.user / "Brovanta/setups/fast"),
                                                               "bike_texture=red"),
                "the 58 setup lines");

        // Another bike with its own graphics; reading the setup brings back the bike,
        // its graphics list and the look chosen from it.
        stability_slider.value = 20;
        ui_choice_select(&bike_choice, "cr125");
        bike_graphics_rebuild();
        ui_choice_select(&bike_graphics_choice, "green");
        net_rider_info_pending = 0;
        p.same(run("/readsetup fast"), "Setup updated", "readsetup");
        p.check(stability_slider.value == 60, "the value read back");
        p.same(bike_names[bike_choice.selected], "yz250f(2017)", "the bike");
        p.same(bike_graphics_choice.items[bike_graphics_choice.selected], "red", "the bike graphics reselected");
        p.same(local_profile.bike ? local_profile.bike : "", "yz250f(2017)", "the race's bike follows");
        p.same(player_setup.bike ? player_setup.bike : "", "yz250f(2017)", "the server is told the bike");
        p.check(bike_graphics_choice.count == 2, "the list rebuilt for the bike");
        p.check(net_rider_info_pending == 1, "the rider info is sent again");
        p.check(guarded == std::vector<int32_t>{4}, "the guard runs for the player's own rider, not the robot watched");

        // A missing file: the error, and still the rider info and the guard.
        rider_slots[4].state_flags = 0;
        net_rider_info_pending = 0;
        p.same(run("/readsetup nothing"), "Error reading setup", "a missing setup");
        p.check(net_rider_info_pending == 1, "the rider info even so");
        p.check(guarded.size() == 1, "no guard for a rider driven elsewhere");

        // Names keep inner blanks and lose trailing ones; ".." is refused unopened.
        p.same(run("/writesetup   my  setup \t "), "Setup written", "a name with blanks");
        p.check(bvtest::file_exists(f.user / "Brovanta/setups/my  setup"), "the file \"my  setup\"");
        p.same(run("/readsetup my  setup  "), "Setup updated", "read by the same name");
        write_file(f.user / "Brovanta/outside", "stability=5\n");
        p.same(run("/readsetup ../outside"), "Error reading setup", "a name leaving the folder");
        p.same(run("/writesetup ../outside"), "Error writing setup", "writing outside");
        p.same(run("/writesetup"), "Error writing setup", "no name");
        // A name shaped as the game's temporaries are, which the next start would sweep.
        p.same(run("/writesetup race.tmp-00000000cafe"),
               "Setup: name \"race.tmp-00000000cafe\" refused: it is named as the game's temporaries are|Error writing setup",
               "a name of the game's mark");
        p.check(!bvtest::file_exists(f.user / "Brovanta/setups/race.tmp-00000000cafe"), "a name of the game's mark written");
        p.same(read_file(f.user / "Brovanta/outside"), "stability=5\n", "the outside file untouched");
        p.check(stability_slider.value == 60, "nothing read from outside");
        // A failed write keeps the old file.
        bvtest::make_dirs(f.user / "Brovanta/setups/in_the_way");
        p.same(run("/writesetup in_the_way"),
               "Write to " + (f.user / "Brovanta/setups/in_the_way") + " refused: a folder stands there|Error writing setup",
               "a folder in the way");
    });
}

TEST(ConsoleFiles, FrameTimesAndUploadsOffline)
{
    in_fresh_settings([](Problems& p, const folders& f) {
        front_end_install();
        message_log_clear();
        net_socket = -1;
        write_file(f.game / "Track_Notes.TXT", "");   // before the index is first built
        loop.frame_times = {0.5f, 0.015625f};
        // A folder in the way: the error, and the log kept.
        bvtest::make_dirs(f.user / "Brovanta/frametimes.txt");
        p.same(run("/saveframetimes"),
               "Write to " + (f.user / "Brovanta/frametimes.txt") +
                   " refused: a folder stands there|Error opening \"frametimes.txt\" for writing",
               "a failed save");
        p.check(loop.frame_times.size() == 2, "the log kept after a failure");
        std::filesystem::remove(f.user / "Brovanta/frametimes.txt");
        p.same(run("/saveframetimes"), "Frame times saved to \"frametimes.txt\"", "saved");
        p.same(read_file(f.user / "Brovanta/frametimes.txt"), "0.500000\n0.015625\n", "one line per frame");
        p.check(loop.frame_times.empty(), "the log emptied");

        write_file(f.user / "Brovanta/outgoing/lap_1.txt", "lap");
        p.same(run("/sendfile lap_1.txt"), "Not connected to server|Sending file", "offline upload");
        p.same(run("/sendfile lap_1.txt"), "Stopping previous transfer|Not connected to server|Sending file",
               "an upload under way is stopped first");
        p.same(run("/sendfile missing.txt"), "Stopping previous transfer|Can't open file", "a missing file");
        p.same(run("/sendfile lap_1.txt"), "Not connected to server|Sending file", "nothing under way after it");
        net_upload_restore();

        // The index listing (built as at start-up), filtered without regard to case.
        file_index_list();
        const std::string all = run("/listfiles");
        const std::string some = run("/listfiles notes.txt");
        p.check(all.find("Track_Notes.TXT -> ") != std::string::npos, "listed: " + all.substr(0, 200));
        p.check(some.find("Track_Notes.TXT -> ") == 0 && some.find('|') == std::string::npos,
                "filtered: " + some);
    });
}

using ConsoleTrack = GlWindowTest;

// The commands that need a track, on the loaded sample track.
TEST_F(ConsoleTrack, TheSampleTracksOwnCommands)
{
    bvtest::in_fresh_process([&] {
        bvtest::Problems p;
        physics_world_init();
        p.check(scan_tracks() > 0, "no tracks found");
        race_requested_folder = "tracks/sample";
        reset_race(nullptr, 0, 0, 0, 3, 0);
        if (!track_folder)
            return std::string("the track did not load\n");
        front_end_install();
        message_log_clear();

        p.same(run("/savetrackinfo"), "Track info saved to tracks/sample.trackinfo", "savetrackinfo");
        char hash[41] = {};
        for (int i = 0; i < 20; ++i)
            std::snprintf(hash + 2 * i, 3, "%02x", track_hash[i]);
        const std::string want = "dir=tracks/sample\nlongname=" + std::string(track_list_title("tracks/sample")) +
                                 "\nfirstlap=" + std::to_string(timing_gates.firstlap_length) +
                                 "\nnormallap=" + std::to_string(timing_gates.normallap_length) +
                                 "\ngatecount=" + std::to_string(timing_gates.checkpoint_count) + "\nhash=" + hash +
                                 "\n";
        vfs_file* f = vfs_open("@tracks/sample.trackinfo", "rb");
        std::string got;
        for (int c; f && (c = vfs_getc(f)) >= 0;)
            got += char(c);
        if (f)
            vfs_close(f);
        p.same(got, want, "the six lines");
        p.check(timing_gates.checkpoint_count > 0 && timing_gates.firstlap_length > 0, "the sample has gates");
        // A folder in the way: the error line, and nothing else changes.
        const std::string path = std::string(data_search_dir(0)) + "tracks/sample.trackinfo";
        std::filesystem::remove(path);
        std::filesystem::create_directories(path);
        p.same(run("/savetrackinfo"),
               "Write to " + path + " refused: a folder stands there|Error opening \"tracks/sample.trackinfo\" for writing",
               "a failed write");
        std::filesystem::remove(path);

        // "toggledecals": the flag, the decals rebuilt and every detail level redrawn.
        // The levels placed as by a camera at the track's middle, nothing to redraw.
        for (int k = 0; k < track_terrain.detail_level_count; ++k) {
            terrain_detail_level& level = track_terrain.detail_levels[k];
            level.origin_x = level.origin_z = track_terrain.size / 2 - level.window / 2;
            level.redraw = 0;
        }
        const int hidden = track_terrain.hide_decals;
        p.same(run("/toggledecals"), hidden ? "Hide decals OFF" : "Hide decals ON", "toggledecals");
        p.check(track_terrain.hide_decals == !hidden, "the terrain's flag");
        int redrawn = 0;
        for (int k = 0; k < track_terrain.detail_level_count; ++k)
            redrawn += track_terrain.detail_levels[k].redraw & 1;
        p.check(track_terrain.detail_level_count > 0 && redrawn == track_terrain.detail_level_count,
                "every detail level redrawn");
        run("/toggledecals");

        // "hfvol" over a known grid: 3 x 3 heights 1..9.
        float* heights = track_terrain.heights;
        const int32_t size = track_terrain.size;
        float grid[9] = {1, 2, 3, 4, 5, 6, 7, 8, 9.5f};
        track_terrain.heights = grid;
        track_terrain.size = 3;
        p.same(run("/hfvol"), "45.500000\n", "hfvol");
        track_terrain.heights = heights;
        track_terrain.size = size;
        return p.text;
    });
}

}  // namespace
}  // namespace fronttest
