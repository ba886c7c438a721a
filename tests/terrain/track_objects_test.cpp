// Billboards, statues, flaggers and trackside cameras: the colour prefix, the files
// read and written back, the companion maps a statue looks for, its rotation on flat
// and sloping ground, and the clamps of the flagger and camera readers.
#include "terrain_fixture.h"
#include "track_files.h"
#include "track_object_stubs.h"

#include "foundation/vfs/vfs.h"
#include "support/console_capture.h"
#include "support/measured_child.h"
#include "support/test_support.h"
#include "gfx/texture_settings.h"
#include "terrain/refused_tail.h"
#include "terrain/timing_gates.h"
#include "terrain/track_list.h"
#include "terrain/trackside_cameras.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>

#include <unistd.h>

namespace {

// The track's ground for the duration of a test.
struct GroundSwap {
    terrain_state saved;
    explicit GroundSwap(terrain_state* ground) : saved(track_terrain) { track_terrain = *ground; }
    ~GroundSwap() { track_terrain = saved; }
};

std::string write_with(int (*writer)(vfs_file*), const std::string& name)
{
    const std::string path = trackfiles::root() + "/" + name;
    vfs_file* f = vfs_open(path.c_str(), "wb");
    EXPECT_EQ(writer(f), 1);
    vfs_close(f);
    return path;
}

TEST(BillboardColour, OnlyAFullHexPrefixColoursTheSprite)
{
    const struct {
        const char* name;
        const char* rest;
        uint8_t rgba[4];
    } cases[] = {
        {"#ff8000#sign.png", "sign.png", {255, 128, 0, 255}},
        {"#FF8000#s", "s", {255, 128, 0, 255}},
        {"#ff80#x.png", "#ff80#x.png", {255, 255, 255, 255}},
        {"#ff800g#x.png", "#ff800g#x.png", {255, 255, 255, 255}},
        {"#ff8000#", "", {255, 128, 0, 255}},
        {"plain.png", "plain.png", {255, 255, 255, 255}},
    };
    for (const auto& c : cases) {
        uint8_t rgba[4];
        EXPECT_STREQ(billboard_colour_prefix(c.name, rgba), c.rest) << c.name;
        EXPECT_EQ(memcmp(rgba, c.rgba, 4), 0) << c.name;
    }
}

TEST(Billboards, StandOnTheGroundAndAreWrittenBackFromTheFirstTrackBillboard)
{
    TrackObjectStubs stubs;
    TestTerrain ground(2, 4.0f, 0.0f, 10.0f);
    for (int i = 0; i < ground->size * ground->size; ++i)
        ground->heights[i] = 3.0f;
    GroundSwap swap(ground.get());
    stubs.textures = {"sign.png", "tree.png"};

    EXPECT_EQ(create_billboard(0, 0, 0, 1, 1, nullptr), 0);   // a particle: not written
    first_track_billboard = billboard_count();
    bvtest::write_file(trackfiles::root() + "/billboards",
                       "[ 1 2 3 ] 4 0.5 #ff8000#sign.png\n[4 0 5] 6 1 tree.png\n[7 0.5 8] 2 2 lost.png\n"
                       "[1 2] 3 4 broken.png\n[9 9 9] 1 1 after.png\n");
    billboards_read((trackfiles::root() + "/billboards").c_str());
    ASSERT_EQ(billboard_count(), 4);
    const billboard* sign = billboard_at(1);
    EXPECT_FLOAT_EQ(sign->y, 5.0f);
    EXPECT_FLOAT_EQ(sign->height_above_ground, 2.0f);
    EXPECT_EQ(sign->colour[1], 128);
    EXPECT_NE(sign->texture, 0u);
    EXPECT_EQ(billboard_at(3)->texture, 0u);   // missing texture: kept, not drawn
    EXPECT_EQ(billboard_work.count, 8);

    // A white sprite of another alpha is written without a prefix; the sprite whose
    // texture did not load keeps its name; the line that ended the load and the rest
    // follow as they stood.
    billboard_at(2)->colour[3] = 10;
    const std::string path = write_with(billboards_write_to, "billboards.out");
    EXPECT_EQ(bvtest::read_file(path), "[1.000000 2.000000 3.000000] 4.000000 0.500000 #ff8000#sign.png\n"
                                       "[4.000000 0.000000 5.000000] 6.000000 1.000000 tree.png\n"
                                       "[7.000000 0.500000 8.000000] 2.000000 2.000000 lost.png\n"
                                       "[1 2] 3 4 broken.png\n[9 9 9] 1 1 after.png\n");
    billboards_reset();
    billboards_read(path.c_str());
    EXPECT_EQ(billboard_count(), 3);
}

TEST(Statues, LookForTheirCompanionMapsInOrder)
{
    TrackObjectStubs stubs;
    EXPECT_EQ(statue_companion_map("fence-repeat.png", "@fence.jm", "_norm"), 0u);
    EXPECT_EQ(stubs.asked, (std::vector<std::string>{"fence_norm-repeat.seq", "fence_norm-repeat.png",
                                                      "fence_norm-repeat.ppm", "@fence_norm.seq", "@fence_norm.png",
                                                      "@fence_norm.ppm"}));
    stubs.asked.clear();
    stubs.textures = {"@tex/barn_spec.png"};
    EXPECT_NE(statue_companion_map("@tex/barn.ppm", "@barn.jm", "_spec"), 0u);
    EXPECT_EQ(stubs.asked, (std::vector<std::string>{"@tex/barn_spec.seq", "@tex/barn_spec.png"}));
    stubs.asked.clear();
    EXPECT_EQ(statue_companion_map("noextension", "@barn.jm", "_norm"), 0u);
    EXPECT_TRUE(stubs.asked.empty());
    // Another extension after "-repeat": the cut is at the dot.
    EXPECT_EQ(statue_companion_map("x-repeat.jpg", nullptr, "_norm"), 0u);
    EXPECT_EQ(stubs.asked.front(), "x-repeat_norm.seq");
}

TEST(Statues, TurnWithTheGroundOrScaleWhenTheirAngleIsLarge)
{
    TrackObjectStubs stubs;
    TestTerrain ground(3, 1.0f, 0.0f, 40.0f);
    GroundSwap swap(ground.get());
    stubs.models = {"@hay.jm"};
    stubs.textures = {"@hay.png"};
    stubs.shapes = {"@hay.shp"};

    const int flat = create_statue(4, 1, 4, 0, "@hay.jm", "@hay.png", "@hay.shp");
    const statue* s = statue_at(flat);
    for (int i = 0; i < 9; ++i)
        EXPECT_NEAR(s->rotation[i], i % 4 == 0 ? 1.0f : 0.0f, 1e-6) << i;
    EXPECT_FLOAT_EQ(s->y, 1.0f);
    EXPECT_NE(s->texture, 0u);
    EXPECT_NE(s->shape, nullptr);
    EXPECT_FLOAT_EQ(s->scale, 0.0f);

    const statue* big = statue_at(create_statue(4, 0, 4, 4.0f, nullptr, "@hay.png", nullptr));
    EXPECT_FLOAT_EQ(big->scale, 16.0f);
    EXPECT_FLOAT_EQ(big->rotation[0], 1.0f);
    EXPECT_EQ(big->texture, 0u);   // no model: no texture either

    // Ground rising 1 in 1 along +x: the up column leans back towards -x, and a
    // statue at or below -2 pi stays upright.
    for (int j = 0; j < ground->size; ++j)
        for (int i = 0; i < ground->size; ++i)
            ground.h(i, j) = float(i);
    statue* tilted = statue_at(create_statue(4, 0, 4, 0, nullptr, nullptr, nullptr));
    EXPECT_NEAR(tilted->rotation[1], -std::sqrt(0.5f), 1e-5);
    EXPECT_NEAR(tilted->rotation[4], std::sqrt(0.5f), 1e-5);
    EXPECT_FLOAT_EQ(tilted->y, 4.0f);
    statue* upright = statue_at(create_statue(4, 0, 4, -7.0f, nullptr, nullptr, nullptr));
    EXPECT_FLOAT_EQ(upright->rotation[4], 1.0f);
    // Moved by the editor, a statue takes the ground where it now stands.
    tilted->x = 6;
    place_statue(tilted);
    EXPECT_FLOAT_EQ(tilted->y, 6.0f);

    ConsoleCapture console;
    create_statue(1, 0, 1, 0, nullptr, nullptr, "@gone.shp");
    EXPECT_NE(console.text().find("Warning: missing shape file @gone.shp"), std::string::npos);
    free_statue(statue_at(flat));
    EXPECT_EQ(statue_at(flat)->shape, nullptr);
    EXPECT_EQ(stubs.shapes_freed, 1);
}

TEST(Statues, AreWrittenAndReadBackWithTheirNames)
{
    TrackObjectStubs stubs;
    create_statue(0, 0, 0, 0, "@startgate.jm", nullptr, nullptr);   // a start gate: not written
    first_track_statue = statue_count();
    bvtest::write_file(trackfiles::root() + "/statues",
                       "[ 1 0.5 2 ] 0.25 @hay.jm @hay.png null\n[3 0 4] 4 @tree.jm null @tree.shp\n[5 5] 1 a b c\n");
    statues_read((trackfiles::root() + "/statues").c_str());
    ASSERT_EQ(statue_count(), 3);
    const std::string path = write_with(statues_write_to, "statues.out");
    const std::string text = bvtest::read_file(path);
    EXPECT_EQ(text, "[1.000000 0.500000 2.000000] 0.250000 @hay.jm @hay.png null\n"
                    "[3.000000 0.000000 4.000000] 4.000000 @tree.jm null @tree.shp\n[5 5] 1 a b c\n");
    statues_reset();
    statues_read(path.c_str());
    ASSERT_EQ(statue_count(), 2);
    EXPECT_FLOAT_EQ(statue_at(0)->height_above_ground, 0.5f);
    EXPECT_FLOAT_EQ(statue_at(0)->angle, 0.25f);
    EXPECT_STREQ(statue_at(1)->shape_file, "@tree.shp");
    EXPECT_EQ(statue_at(1)->texture_file, nullptr);
}

// A track places at most 16384 statues and 2^20 collision spheres: the statue that
// would pass either is refused with the rest of the file, in one line naming it.
TEST(Statues, PastTheTracksBoundsAreRefusedWithTheRestOfTheFileInOneLine)
{
    TrackObjectStubs stubs;
    stubs.shapes = {"@fence.shp"};
    auto saved = statue_shape_spheres;
    statue_shape_spheres = [](const collision_shape*) { return int32_t(4096); };
    const std::string path = trackfiles::root() + "/statues";
    auto lines = [](int n, const char* shape) {
        std::string text;
        for (int i = 0; i < n; ++i)
            text += "[1 0 1] 0 null null " + std::string(shape) + "\n";
        return text;
    };
    struct bound {
        int lines;
        const char* shape;
        int placed;
        const char* refusal;   // null: none
    } const cases[] = {
        {256, "@fence.shp", 256, nullptr},   // 256 x 4096 spheres = 2^20
        {257, "@fence.shp", 256, "line 257 and later refused, more than 1048576 collision spheres"},
        {int(kMaxStatues), "null", int(kMaxStatues), nullptr},
        {int(kMaxStatues) + 2, "null", int(kMaxStatues), "line 16385 and later refused, more than 16384 statues"},
    };
    for (const bound& c : cases) {
        statues_reset();
        bvtest::write_file(path, lines(c.lines, c.shape));
        ConsoleCapture console;
        statues_read(path.c_str());
        EXPECT_EQ(statue_count(), c.placed) << c.lines;
        const std::string expected = c.refusal ? "Statues file " + path + ": " + c.refusal + "\n" : "";
        EXPECT_EQ(console.text(), expected) << c.lines;
    }
    // Freed statues give their spheres back; a script's statue past the bound is refused too.
    statues_reset();
    bvtest::write_file(path, lines(256, "@fence.shp"));
    statues_read(path.c_str());
    EXPECT_EQ(statue_spheres_placed, int64_t(1) << 20);
    {
        ConsoleCapture console;
        EXPECT_EQ(create_statue(2, 0, 2, 0, nullptr, nullptr, "@fence.shp"), -1);
        EXPECT_EQ(console.text(), "Statue refused: more than 1048576 collision spheres\n");
    }
    free_statue(statue_at(0));
    EXPECT_EQ(statue_spheres_placed, (int64_t(1) << 20) - 4096);
    EXPECT_GE(create_statue(2, 0, 2, 0, nullptr, nullptr, "@fence.shp"), 0);
    statue_shape_spheres = saved;

    // A statues or timing gates file as long as its reader takes places its statue; one
    // byte longer is refused unread in one line, and a save leaves the statues as they stood.
    for (const uint32_t bound : {kStatuesFileMax, kTimingGatesFileMax})
        for (const off_t size : {off_t(bound), off_t(bound) + 1}) {
            const bool gates = bound == kTimingGatesFileMax, fits = size == bound;
            const std::string file = trackfiles::root() + (gates ? "/timing_gates" : "/statues");
            bvtest::write_file(file, gates ? "startinggate:\n[1 0 1] 0\ncheckpoints:\n" : "[1 0 1] 0 null null null\n");
            statues_reset();
            ConsoleCapture console;
            const long long before = bvtest::bytes_read();
            EXPECT_EQ(truncate(file.c_str(), size), 0);
            (gates ? timing_gates_read : statues_read)(file.c_str());
            const std::string line = (gates ? "Timing gates: " : "Statues: ") + file + " refused: longer than ";
            EXPECT_EQ(statue_count() == 1 && console.text().find(line) == std::string::npos, fits) << size;
            EXPECT_TRUE(fits || (bvtest::bytes_read() - before < 65536 && (gates || statues_file_kept()) &&
                                 console.text() == line + std::to_string(bound) + " bytes\n")) << console.text();
        }
}

// A track holds at most 65536 billboards, the particles and flaggers among them: the
// file's billboard that would pass it is refused with the rest of the file in one line,
// and a script's after it too. Two million lines cost a load no more than a few do, and
// about what a file of 65,536 lines does.
TEST(Billboards, PastTheTracksBoundAreRefusedWithTheRestOfTheFileInOneLine)
{
    TrackObjectStubs stubs;
    TestTerrain ground(2, 4.0f, 0.0f, 10.0f);
    GroundSwap swap(ground.get());
    stubs.textures = {"tree.png"};
    const std::string path = trackfiles::root() + "/billboards";
    auto lines = [](int n) {
        std::string text;
        for (int i = 0; i < n; ++i)
            text += "[1 0 1] 2 1 tree.png\n";
        return text;
    };
    const struct {
        int lines;
        const char* refusal;   // null: none
    } cases[] = {
        {int(kMaxBillboards) - 2000, nullptr},
        {int(kMaxBillboards) - 1999, "line 63537 and later refused, more than 65536 billboards"},
    };
    for (const auto& c : cases) {
        billboards_reset();
        for (int k = 0; k < 2000; ++k)   // the dirt-spray particles come first
            create_billboard(0, 0, 0, 1, 1, nullptr);
        bvtest::write_file(path, lines(c.lines));
        ConsoleCapture console;
        billboards_read(path.c_str());
        EXPECT_EQ(billboard_count(), kMaxBillboards) << c.lines;
        EXPECT_EQ(billboard_work.count, 2 * kMaxBillboards);
        const std::string expected = c.refusal ? "Billboards file " + path + ": " + c.refusal + "\n" : "";
        EXPECT_EQ(console.text(), expected) << c.lines;
    }
    {
        billboards_reset();
        bvtest::write_file(path, lines(int(kMaxBillboards)));
        billboards_read(path.c_str());
        ConsoleCapture console;
        EXPECT_EQ(create_billboard(2, 0, 2, 1, 1, "tree.png"), -1);
        EXPECT_EQ(create_billboard(2, 0, 2, 1, 1, "tree.png"), -1);
        EXPECT_EQ(console.text(), "Billboard refused: more than 65536 billboards\n") << "once after a reset";
    }

    bvtest::write_file(path, lines(10));
    const bvtest::ChildCost plain = bvtest::run_measured([&] {
        billboards_reset();
        billboards_read(path.c_str());
        return billboard_count();
    });
    auto read_full = [&](int n) {
        bvtest::write_file(path, lines(n));
        return bvtest::run_measured([&] {
            billboards_reset();
            billboards_read(path.c_str());
            return billboard_count() == kMaxBillboards ? 1 : 0;
        });
    };
    const bvtest::ChildCost full = read_full(int(kMaxBillboards));
    const bvtest::ChildCost swamp = read_full(2000000);
    std::remove(path.c_str());
    fprintf(stderr, "%s\n%s\n%s\n", bvtest::describe("10 billboards", plain).c_str(),
            bvtest::describe("65,536 billboards", full).c_str(), bvtest::describe("2,000,000 billboards", swamp).c_str());
    EXPECT_TRUE(plain.finished && plain.result == 10);
    EXPECT_TRUE(full.finished && full.result == 1) << bvtest::describe("65,536 billboards", full);
    EXPECT_TRUE(swamp.finished && swamp.result == 1) << bvtest::describe("2,000,000 billboards", swamp);
    EXPECT_LT(swamp.seconds, plain.seconds + 2);
    EXPECT_LT(swamp.grown_kib, plain.grown_kib + 200 * 1024);
    // The reader stops scanning at the bound: past it, only the part a save writes back
    // is kept, at most kRefusedTailMax bytes. Counted in the bytes read from files, which
    // the machine's load does not change: the full file, that part and a buffer at most,
    // where reading every line would take 40 MB.
    auto read_bytes = [&](int n) {
        bvtest::write_file(path, lines(n));
        billboards_reset();
        const long long before = bvtest::bytes_read();
        billboards_read(path.c_str());
        const long long read = bvtest::bytes_read() - before;
        EXPECT_EQ(billboard_count(), std::min(n, int(kMaxBillboards))) << n;
        return read;
    };
    const long long file = (long long)(lines(int(kMaxBillboards)).size());
    const long long full_bytes = read_bytes(int(kMaxBillboards));
    const long long swamp_bytes = read_bytes(2000000);
    std::remove(path.c_str());
    EXPECT_GE(full_bytes, file) << "the whole file read";
    EXPECT_LT(swamp_bytes, full_bytes + (long long)kRefusedTailMax + (256 << 10)) << "2,000,000 lines of billboards read " << swamp_bytes << " bytes against "
                                                   << full_bytes << " for 65,536";
}

TEST(Flaggers, ShareTwoSpritesAndClampTheirGates)
{
    TrackObjectStubs stubs;
    timing_gates.checkpoint_count = 3;
    bvtest::write_file(trackfiles::root() + "/flaggers",
                       "[0 1 0] [0 0 1] 2 1 5 a1 a2 a3 a4 a5\n"
                       "[0 2 0] 3 1 b1 b2 b3 b4\n"
                       "[10 0 10] 2 1 0 2 7 -4 green yellow\n"
                       "[20 0 20] 2 1 1 -1 -1 -1 green\n");
    flaggers_read((trackfiles::root() + "/flaggers").c_str());
    timing_gates.checkpoint_count = 0;
    EXPECT_EQ(flagger_head.sprite1_billboard, 0);
    EXPECT_EQ(flagger_head.sprite2_billboard, 1);
    EXPECT_FLOAT_EQ(flagger_head.sprite1_extra, 5.0f);
    ASSERT_EQ(flaggers.count, 1);   // the last one lacks its second texture
    const flagger* f = static_cast<const flagger*>(flaggers.items);
    EXPECT_EQ(f->billboard, 2);
    EXPECT_EQ(f->gates[2], 2);
    EXPECT_EQ(f->gates[3], -1);
    // Each sprite's first name is loaded for its billboard and again as a texture.
    EXPECT_EQ(stubs.asked.size(), 6u + 5u + 3u + 1u);
}

TEST(TracksideCameras, TakeTheSettingsAndGatesThatComeBeforeThem)
{
    TestTerrain ground(2, 4.0f, 0.0f, 10.0f);
    for (int i = 0; i < ground->size * ground->size; ++i)
        ground->heights[i] = 2.0f;
    GroundSwap swap(ground.get());
    bvtest::write_file(trackfiles::root() + "/cameras", "fov -60\ngate 0 3 1024 5\nautofovsize 2\n"
                                                        "addcamera 1 10 1\n"
                                                        "# a remark\n"
                                                        "gate 5\naddcamera 2 1 2\n");
    trackside_cameras_read((trackfiles::root() + "/cameras").c_str());
    ASSERT_EQ(trackside_cameras.count, 2);
    const trackside_camera* c = static_cast<const trackside_camera*>(trackside_cameras.items);
    EXPECT_FLOAT_EQ(c[0].y, 12.0f);
    EXPECT_FLOAT_EQ(c[0].fov, 60.0f);
    EXPECT_FLOAT_EQ(c[0].autofovsize, 2.0f);
    EXPECT_FLOAT_EQ(c[1].fov, 90.0f);
    EXPECT_EQ(gate_camera_table[0], 0);
    EXPECT_EQ(gate_camera_table[3], 0);
    EXPECT_EQ(gate_camera_table[5], 1);   // 1024 stopped the first list before 5
    EXPECT_EQ(gate_camera_table[1], -1);
    trackside_cameras_free();
}

TEST(TracksideCameras, GateLinesNameTheNextCameraAndLaterOnesWin)
{
    TestTerrain ground(2, 4.0f, 0.0f, 10.0f);
    for (int i = 0; i < ground->size * ground->size; ++i)
        ground->heights[i] = 3.0f;
    GroundSwap swap(ground.get());
    bvtest::write_file(trackfiles::root() + "/cameras", "gate 3 4\n"
                                                        "addcamera 5 8 6\n"
                                                        "gate 7\n"
                                                        "fov 40\n"
                                                        "addcamera 1 12 2\n"
                                                        "gates 5\n"          // not a gate line
                                                        "gate5 6\n"          // nor this
                                                        "gate 9 3x 10\n"     // "3x" ends the line
                                                        "gate 4\n"           // past the table
                                                        "fov 0\n");
    ConsoleCapture log;
    verbose_level = 1;
    trackside_cameras_read((trackfiles::root() + "/cameras").c_str());
    verbose_level = 0;
    EXPECT_NE(log.text().find("2 cameras found\n"), std::string::npos) << log.text();
    ASSERT_EQ(trackside_cameras.count, 2);
    const trackside_camera* c = static_cast<const trackside_camera*>(trackside_cameras.items);
    EXPECT_FLOAT_EQ(c[0].fov, 90.0f);
    EXPECT_FLOAT_EQ(c[1].fov, 40.0f);
    EXPECT_FLOAT_EQ(c[0].y, 11.0f);
    EXPECT_FLOAT_EQ(c[1].y, 15.0f);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(c[i].yaw, 0);
        EXPECT_EQ(c[i].pitch, 0);
        EXPECT_EQ(c[i].yaw_rate, 0);
        EXPECT_EQ(c[i].pitch_rate, 0);
    }
    EXPECT_EQ(gate_camera_table[3], 0);
    EXPECT_EQ(gate_camera_table[4], 2);   // the later mapping, one past the table
    EXPECT_EQ(gate_camera_table[7], 1);
    EXPECT_EQ(gate_camera_table[5], -1);
    EXPECT_EQ(gate_camera_table[6], -1);
    EXPECT_EQ(gate_camera_table[9], 2);
    EXPECT_EQ(gate_camera_table[10], -1);

    // A missing file leaves no cameras and no gates.
    trackside_cameras_read((trackfiles::root() + "/no_such_cameras").c_str());
    EXPECT_EQ(trackside_cameras.count, 0);
    EXPECT_EQ(gate_camera_table[3], -1);
    trackside_cameras_free();
}

}  // namespace
