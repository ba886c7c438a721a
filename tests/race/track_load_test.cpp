// A race on the generated tracks, with no display: the sample track loads whole and
// its riders stand on their start spots (on pits millions of feet deep too, cheaply);
// the identity digest agrees with an independent RIPEMD-160 over the track's files; a
// reset on the same track reads no track file; a folder without terrain leaves no
// track loaded, nor does one that climbs out or is a link leading out of the user folder.
#include "race_fixture.h"

#include "foundation/front_door.h"
#include "race/race_hooks.h"
#include "race/race_riders.h"
#include "race/race_start.h"
#include "race/race_state.h"
#include "race/track_load.h"
#include "sim/bike_build.h"
#include "sim/rider_access.h"
#include "sim/rider_slot.h"
#include "sim/shapes.h"
#include "support/archive_bytes.h"
#include "support/console_capture.h"
#include "support/fresh_process.h"
#include "support/measured_child.h"
#include "terrain/billboards.h"
#include "terrain/statues.h"
#include "terrain/timing_gates.h"
#include "terrain/track_list.h"
#include "terrain/trackside_cameras.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include <unistd.h>

namespace {

using bvtest::Problems;

const char* const kDigestFiles[] = {"terrain.hf", "terrain.png", "texturelist", "tilemap",
                                    "tileinfo",   "nofrills.js", "timing_gates", "statues"};

std::string track_files_bytes(const std::string& folder)
{
    std::string all;
    for (const char* name : kDigestFiles)
        all += racetest::data_bytes(folder + "/" + name);
    return all;
}

// A copy of the flat test track in the user folder, under another name.
void copy_flat(const bvtest::TempDir& root, const std::string& folder)
{
    for (const char* name : {"terrain.hf", "tilemap", "tileinfo", "timing_gates", "statues", "billboards"})
        bvtest::write_file(racetest::user_folder(root) + "/" + folder + "/" + name,
                           racetest::data_bytes(std::string("tracks/flat/") + name));
}

TEST(TrackLoad, TheSampleTrackLoadsWholeAndEveryRiderStandsOnItsSpot)
{
    bvtest::in_fresh_process([] {
        Problems p;
        bvtest::TempDir root;
        racetest::start(root);
        scan_tracks();
        race_requested_folder = "tracks/sample";
        race_opts.seed = 7;
        int32_t lineup[160] = {1, 2, 2, 1054};
        // The progress line's dots move on while each rider loads.
        static int bike_dots;
        bike_dots = 0;
        const auto dots_before = front_door.progress_dots;
        front_door.progress_dots = [](const char* message) { bike_dots += strcmp(message, "Loading bikes") == 0; };
        reset_race(lineup, 0, 0, 0, 3, 0);
        front_door.progress_dots = dots_before;
        p.check(bike_dots == 4, "progress dots while loading bikes: " + std::to_string(bike_dots));

        p.check(track_folder && strcmp(track_folder, "tracks/sample") == 0, "track folder");
        p.same(track_title ? track_title : "", "Brovanta Valley MX", "title from desc");
        p.check(timing_gates.start_slot_count == 40 && timing_gates.checkpoint_count == 5 &&
                    timing_gates.segment_count == 11,
                "gates: " + std::to_string(timing_gates.start_slot_count) + " slots, " +
                    std::to_string(timing_gates.checkpoint_count) + " checkpoints");
        p.check(first_track_statue == 40 && statue_count() == 45, "start gates, then the track's statues");
        p.check(billboard_count() == 2000 + 6 + 10 && first_track_billboard == 2006,
                "particles, flaggers, then the track's billboards: " + std::to_string(billboard_count()));
        p.check(trackside_cameras.count == 4 && gate_camera_table[0] == 0 && gate_camera_table[3] == 3 &&
                    gate_camera_table[4] == -1,
                "cameras and their gates");
        // The start gates' shape leads the shapes, once for all forty.
        const std::string gate_shape = racetest::data_bytes("startgate.shp");
        p.check(!gate_shape.empty(), "the start gate's shape is in the base data");
        p.same(racetest::hex(track_hash),
               racetest::openssl_rmd160(track_files_bytes("tracks/sample") + gate_shape, root), "track digest");
        p.check(race.lap_counts[0] == 2 && race.lap_counts[1] == 3 && race.tick == 0, "laps and race tick");
        p.check(race.kinds[0] == rider_kind_local && race.kinds[1] == rider_kind_bot && race.viewed_slot == 0,
                "kinds and viewed slot");

        for (int k = 0; k < 4; ++k) {
            const std::string slot = "slot " + std::to_string(k);
            if (!race_rider_exists(k)) {
                p.check(false, slot + " has no rider");
                continue;
            }
            float x, z, yaw, frame[3], speed;
            race_start_spot(k, &x, &z, &yaw);
            race_rider_frame(k, frame, &speed);
            p.check(std::fabs(x - (282 - 0.625f)) < 1e-4f && std::fabs(z - (179.625f + 3.25f * k)) < 1e-4f, slot + " spot");
            // The frame sits a few feet behind the bike's origin, which is on the spot.
            p.check(std::fabs(frame[2] - z) < 1e-3f && frame[0] < x && frame[0] > x - 6, slot + " frame on its spot");
            // Free of the ground, and a quarter foot lower it would not be.
            p.check(!race_bike_touches_ground(k), slot + " touches the ground");
            rider_slot* r = &rider_slots[k];
            bike_translate(r, 0, -0.25f, 0);
            p.check(race_bike_touches_ground(k), slot + " was raised further than it needed");
            p.check(k == 0 || rider_slots[k].personality > 0, slot + " personality");
        }
        // The old name of the 2008 bike gives the 2008 bike.
        p.same(rider_get_bike_info(&rider_slots[3])->name, "yz250f(2008)", "persona 54's bike");
        return p.text;
    });
}

TEST(TrackLoad, TheDigestFeedsEachStatueShapeOnceAndSkipsMissingFiles)
{
    bvtest::in_fresh_process([] {
        Problems p;
        bvtest::TempDir root;
        racetest::start(root);
        race_install_track_entry_points();
        track_loaders.shape_instance = [](const char* name) {
            static char shape[64];
            return strstr(name, "gone") ? nullptr : reinterpret_cast<collision_shape*>(shape);
        };
        track_loaders.shape_free = [](collision_shape*) {};
        const std::string user = racetest::user_folder(root);
        copy_flat(root, "tracks/hashed");
        bvtest::write_file(user + "/tracks/hashed/nofrills.js", "// nothing\n");
        bvtest::write_file(user + "/tracks/hashed/statues",
                           "[1 0 1] 0 null null @shapes/one.shp\n[2 0 2] 0 null null @shapes/two.shp\n"
                           "[3 0 3] 0 null null @shapes/one.shp\n[4 0 4] 0 null null @shapes/gone.shp\n");
        bvtest::write_file(user + "/shapes/one.shp", "first shape bytes");
        bvtest::write_file(user + "/shapes/two.shp", "second shape bytes");
        race_requested_folder = "tracks/hashed";
        reset_race(nullptr, 0, 0, 0, 1, 0);
        // The start gates of the flat track come first, then the track's statues; the
        // missing shape file adds nothing.
        const std::string files = track_files_bytes("tracks/hashed");
        const std::string gate_shape = racetest::data_bytes("startgate.shp");
        p.same(racetest::hex(track_hash),
               racetest::openssl_rmd160(files + gate_shape + "first shape bytes" + "second shape bytes", root),
               "digest with shapes");
        // With the shapes' own reader: one as long as it takes is fed whole; one byte more
        // or 3 GiB is refused unread, and its statue goes without; compressed, its start
        // read by its statue and the byte past the bound by the digest, the track is refused.
        race_install_statue_shapes();
        const off_t sizes[] = {off_t(kShapeFileMax), off_t(kShapeFileMax) + 1, off_t(3) << 30, off_t(kShapeFileMax) + 1};
        for (int i = 0; i < 4; ++i) {
            const std::string name = "shapes/r" + std::to_string(i) + ".shp", shape = "1 0 0 0 1 1 1 1\n";
            bvtest::write_file(user + "/tracks/hashed/statues", "[1 0 1] 0 null null @" + name + "\n");
            bvtest::write_file(user + "/" + name + (i == 3 ? ".gz" : ""),
                               i == 3 ? bvtest::gzip_bytes(shape + std::string(kShapeFileMax + 1 - shape.size(), '\0')) : shape);
            ConsoleCapture console;
            const long long before = bvtest::bytes_read();
            p.check(i == 3 || truncate((user + "/" + name).c_str(), sizes[i]) == 0, name + " not made");
            race.force_reload = 1;
            reset_race(nullptr, 0, 0, 0, 1, 0);
            const long long read = bvtest::bytes_read() - before;
            const std::string line = (i == 3 ? "Track hash: " : "Shape: ") + name + " refused: longer than 4195328 bytes\n";
            p.check((console.text().find(line) != std::string::npos) == (i > 0) && (read > kShapeFileMax) == (i == 0) &&
                        (track_folder != nullptr) == (i < 3), name + (track_folder ? " loaded, " : " refused, ") +
                        std::to_string(read) + " bytes read");
        }

        std::remove((user + "/tracks/hashed/statues").c_str());
        race.force_reload = 1;
        reset_race(nullptr, 0, 0, 0, 1, 0);
        p.same(racetest::hex(track_hash),
               racetest::openssl_rmd160(track_files_bytes("tracks/hashed") + gate_shape, root),
               "digest without statues");
        return p.text;
    });
}

// An 8-cell track (16 ft cells) whose heights span low..high: the grid points under
// the eight start spots (two rows behind four gate slots), the gate pieces and the two
// checkpoints at the bottom, every other point at the top.
void write_pit_track(const bvtest::TempDir& root, const std::string& folder, const std::string& range)
{
    const std::string dir = racetest::user_folder(root) + "/" + folder + "/";
    std::string samples;
    for (int j = 0; j < 9; ++j)
        for (int i = 0; i < 9; ++i) {
            const bool bottom = (i >= 1 && i <= 4 && j >= 2 && j <= 3) || (i == 6 && (j == 1 || j == 6));
            samples += bottom ? std::string(2, '\0') : std::string(2, '\xff');
        }
    bvtest::write_file(dir + "terrain.hf", "2 16 " + range + "\n:" + samples);
    bvtest::write_file(dir + "tilemap", std::string(16, '\0'));
    bvtest::write_file(dir + "tileinfo", racetest::data_bytes("tracks/flat/tileinfo"));
    bvtest::write_file(dir + "timing_gates", "startinggate:\n[24 0 40] 0\n[40 0 40] 0\n[56 0 40] 0\n[72 0 40] 0\n"
                                             "checkpoints:\n12 [104 0 104] [1 0 0]\n12 [104 0 24] [0 0 -1]\n"
                                             "firstlap:\n0 1\nnormallap:\n0 1\n");
}

// Eight riders start on a track with pits millions of feet deep under their spots:
// each stands at the first free quarter foot, and the start costs about what it costs
// on a plain track.
TEST(TrackLoad, PitsUnderTheStartSpotsCostAFewProbesPerRider)
{
    bvtest::in_fresh_process([] {
        Problems p;
        bvtest::TempDir root;
        racetest::start(root);
        write_pit_track(root, "tracks/plain", "0 0");
        write_pit_track(root, "tracks/pit", "-4000000 4000000");
        write_pit_track(root, "tracks/shallow", "0 5000");
        auto start_on = [](const char* folder) {
            return bvtest::run_measured([folder] {
                race_requested_folder = folder;
                int32_t lineup[160] = {1, 2, 2, 2, 2, 2, 2, 2};
                reset_race(lineup, 0, 0, 0, 3, 0);
                int placed = 0;
                for (int32_t k = 0; k < 8 && track_folder; ++k) {
                    if (!race_rider_exists(k) || race_bike_touches_ground(k))
                        continue;
                    bike_translate(&rider_slots[k], 0, -0.25f, 0);
                    placed += race_bike_touches_ground(k);
                }
                return placed;
            });
        };
        const bvtest::ChildCost plain = start_on("tracks/plain");
        fprintf(stderr, "%s\n", bvtest::describe("plain 8-cell track", plain).c_str());
        p.check(plain.finished && plain.result == 8, "the plain track: " + std::to_string(plain.result) + " placed");
        for (const char* folder : {"tracks/pit", "tracks/shallow"}) {
            const bvtest::ChildCost cost = start_on(folder);
            const std::string label = bvtest::describe(folder, cost);
            fprintf(stderr, "%s\n", label.c_str());
            p.check(cost.finished && cost.result == 8, label + ": " + std::to_string(cost.result) + " placed");
            p.check(cost.seconds < 2.0, label);
            p.check(cost.grown_kib - plain.grown_kib < 200 * 1024, label);
        }
        return p.text;
    });
}

TEST(TrackLoad, ASecondResetOnTheSameTrackReadsNoTrackFileUnlessTold)
{
    bvtest::in_fresh_process([] {
        Problems p;
        bvtest::TempDir root;
        racetest::start(root);
        copy_flat(root, "tracks/again");
        race_requested_folder = "tracks/again";
        reset_race(nullptr, 0, 0, 0, 1, 0);
        p.check(race.time_trial_active == 1 && race.tick == 38400 && race.lineup[0] == 1, "practice alone");
        const float* heights = track_terrain.heights;
        track_terrain.heights[0] = 42;   // as if the ruts had dug here
        const std::string gates = racetest::user_folder(root) + "/tracks/again/timing_gates";
        bvtest::write_file(gates, "checkpoints:\n");

        reset_race(nullptr, 0, 0, 0, 1, 0);
        p.check(track_terrain.heights == heights && track_terrain.heights[0] == 42, "the dug terrain stays");
        p.check(timing_gates.checkpoint_count == 4, "the gates were not read again");
        p.check(race_rider_exists(0), "the local rider is back");

        race.force_reload = 1;
        reset_race(nullptr, 0, 0, 0, 1, 0);
        p.check(timing_gates.checkpoint_count == 0 && race.force_reload == 0, "a forced reload reads the files");
        p.check(track_terrain.heights[0] == 0, "and the terrain afresh");

        // Online the server's track is always read afresh and its ground locked.
        race.network_lineup[0] = 1;
        race.network_lineup[1] = 5;
        race.network_lineup[160] = 5000;
        race.own_lineup_value = 0;
        race_hooks.network_track = [] { return "tracks/again"; };
        race_hooks.network_rider = [](int32_t) {
            static const rider_request rider = {"kx125", "12", nullptr, nullptr, nullptr, nullptr, nullptr, 1};
            return &rider;
        };
        bvtest::write_file(gates, "checkpoints:\n");
        reset_race(race.network_lineup, 0, 0, 0, 1, 0);
        p.check(race.gate_drop_tick == 5000 && race.time_trial_active == 0 && track_terrain.read_only == 1, "online start");
        p.check(timing_gates.checkpoint_count == 0, "online reload");
        p.check(race.kinds[1] == rider_kind_remote && race_rider_exists(1) && !bike_is_awake(&rider_slots[1]),
                "a remote rider, asleep");
        race_hooks.network_rider = [](int32_t) -> const rider_request* { return nullptr; };

        race_requested_folder = nullptr;
        reset_race(nullptr, 0, 0, 0, 1, 0);
        p.check(track_folder == nullptr, "no track chosen: none stays loaded");
        race_requested_folder = "tracks/again";
        reset_race(nullptr, 0, 0, 0, 1, 0);
        p.check(track_folder && track_terrain.heights, "loaded again");
        p.same(track_load_failure(), "", "nothing to report after a load");
        race_requested_folder = "tracks/nowhere";
        reset_race(nullptr, 0, 0, 0, 1, 0);
        p.check(track_folder == nullptr && track_title == nullptr, "a folder without terrain loads no track");
        // The title view shows why (the loader's own line soon scrolls off).
        p.same(track_load_failure(), "Can't load track 'tracks/nowhere'", "the failure kept for the title view");

        // A folder named by config, a demo or a server that climbs out, or is a link
        // leading out of the user folder, is neither loaded nor written through.
        bvtest::TempDir outside;
        copy_flat(outside, "tracks/flat");
        const std::string real = racetest::user_folder(outside) + "/tracks/flat";
        symlink(real.c_str(), (racetest::user_folder(root) + "/tracks/linked").c_str());
        const std::string statues = bvtest::read_file(real + "/statues");
        for (const char* named : {"tracks/linked", "tracks/../../../../../../../../../../../../../../../..",
                                  "tracks/again/../again"}) {
            race_requested_folder = named;
            reset_race(nullptr, 0, 0, 0, 1, 0);
            p.check(track_folder == nullptr, std::string("loaded: ") + named);
            p.same(track_load_failure(), std::string("Can't load track '") + named + "'", "the failure");
        }
        p.same(bvtest::read_file(real + "/statues"), statues, "the outside track's statues");
        race_requested_folder = "tracks/./again";
        reset_race(nullptr, 0, 0, 0, 1, 0);
        p.same(track_folder ? track_folder : "(none)", "tracks/again", "a name with \".\" components");
        return p.text;
    });
}

}  // namespace
