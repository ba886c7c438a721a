// The rules of a race start: who rides in which slot, where the start spots lie,
// which automatic rider a lineup value draws, and a bike raised clear of a bump (and no
// higher than the ground allows).
#include "race_fixture.h"

#include "race/bot_personas.h"
#include "race/game_tick.h"
#include "race/race_riders.h"
#include "race/race_start.h"
#include "race/race_state.h"
#include "race/track_load.h"
#include "foundation/memory.h"
#include "sim/bike_build.h"
#include "sim/bike_contacts.h"
#include "sim/physics_world.h"
#include "sim/race_clock.h"
#include "sim/rider_slot.h"
#include "sim/shapes.h"
#include "support/console_capture.h"
#include "support/fresh_process.h"
#include "support/measured_child.h"
#include "terrain/timing_gates.h"
#include "terrain/track_list.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <numeric>
#include <vector>

namespace {

std::vector<int32_t> prepared(std::vector<int32_t> given, int32_t demo_riders, int32_t* viewed)
{
    given.resize(160, 0);
    std::vector<int32_t> out(160);
    *viewed = race_lineup_prepare(given.data(), out.data(), demo_riders);
    out.resize(6);
    return out;
}

TEST(RaceLineup, KeepsOneLocalRiderAndNeverStartsEmpty)
{
    int32_t viewed = -1;
    std::vector<int32_t> out(160);
    EXPECT_EQ(race_lineup_prepare(nullptr, out.data(), 0), 0);
    EXPECT_EQ(out[0], 1);
    EXPECT_EQ(std::accumulate(out.begin(), out.end(), 0), 1);

    EXPECT_EQ(prepared({}, 0, &viewed), (std::vector<int32_t>{2, 0, 0, 0, 0, 0}));
    EXPECT_EQ(viewed, 0);
    EXPECT_EQ(prepared({}, 3, &viewed), (std::vector<int32_t>{0, 0, 0, 0, 0, 0}));   // the demo rides
    EXPECT_EQ(prepared({0, 2, 1, 5, 1, 1}, 0, &viewed), (std::vector<int32_t>{0, 2, 1, 5, 0, 0}));
    EXPECT_EQ(viewed, 2);
    EXPECT_EQ(prepared({0, 0, 4, 3}, 0, &viewed), (std::vector<int32_t>{0, 0, 4, 3, 0, 0}));
    EXPECT_EQ(viewed, 2);
}

TEST(RaceLineup, BotsComeFromTheShuffledPersonasAndWrapPastTheLast)
{
    std::iota(persona_order, persona_order + kBotPersonas, 0);
    int32_t cursor = 0;
    // More than 80 bots go round the order again instead of reading past it.
    for (int i = 0; i < 200; ++i)
        EXPECT_EQ(bot_persona_pick(2, &cursor), i % kBotPersonas);
    EXPECT_EQ(cursor, 200);

    // A 250 is wanted: the last match of the order is brought forward. Then a 125:
    // the search covers only the order after the next entry, from its end.
    std::iota(persona_order, persona_order + kBotPersonas, 0);
    cursor = 0;
    EXPECT_EQ(bot_persona_pick(4, &cursor), 79);
    EXPECT_EQ(persona_order[79], 0);
    EXPECT_EQ(bot_persona_pick(3, &cursor), 0);   // kx125 of row 0, now last
    EXPECT_EQ(persona_order[79], 1);
    cursor = 40;   // row 1 went to the end of the order in that swap
    EXPECT_EQ(bot_persona_pick(3, &cursor), 1);
    cursor = 60;   // nothing but 250s after entry 60: the next bot is taken as it is
    persona_order[79] = 79;
    EXPECT_EQ(bot_persona_pick(3, &cursor), 60);

    cursor = 0;
    EXPECT_STREQ(bot_persona_table[bot_persona_pick(1054, &cursor)].number, "54");
    EXPECT_EQ(cursor, 0);
    EXPECT_EQ(bot_persona_pick(1005, &cursor), persona_order[0]);   // no number 5: the next bot
    EXPECT_EQ(cursor, 1);

    EXPECT_STREQ(current_bike_name("yz250f"), "yz250f(2008)");
    EXPECT_STREQ(current_bike_name("crf250"), "crf250(2008)");
    EXPECT_STREQ(current_bike_name("yz250f_se(2006)"), "yz250f_se(2006)");
    // Every row names a personality the auto pilot knows and a bike.
    for (const bot_persona& p : bot_persona_table)
        EXPECT_TRUE(!strcmp(p.personality, "vardle") || !strcmp(p.personality, "ostro") ||
                    !strcmp(p.personality, "sollo")) << p.number;
}

TEST(RaceStartSpots, StandInRowsBehindTheGateOrAlongTheMiddleWithoutOne)
{
    const timing_gates_state saved = timing_gates;
    const float saved_size = track_terrain.world_size;
    track_terrain.world_size = 128;
    timing_gates.start_slot_count = 0;
    float x, z, yaw;
    race_start_spot(3, &x, &z, &yaw);
    EXPECT_FLOAT_EQ(x, 64 + 15);
    EXPECT_FLOAT_EQ(z, 64);
    EXPECT_FLOAT_EQ(yaw, 0);

    // Two slots facing +x (yaw -pi/2): spot 5 is the second slot's third row.
    timing_gates.start_slot_count = 2;
    for (int i = 0; i < 2; ++i) {
        timing_gates.start_slot_position[i][0] = 50;
        timing_gates.start_slot_position[i][2] = 20 + 4.0f * float(i);
        timing_gates.start_slot_yaw[i] = -float(M_PI) / 2;
    }
    race_start_spot(5, &x, &z, &yaw);
    EXPECT_NEAR(x, 50 - 20.625f, 1e-4);
    EXPECT_NEAR(z, 24, 1e-4);
    EXPECT_FLOAT_EQ(yaw, -float(M_PI) / 2);
    race_start_spot(0, &x, &z, &yaw);
    EXPECT_NEAR(x, 50 - 0.625f, 1e-4);

    // Online, the others fill the spots after the gate, stepping over the local one.
    EXPECT_EQ(race_remote_spot(0, 0), 2);
    EXPECT_EQ(race_remote_spot(0, 2), 3);
    EXPECT_EQ(race_remote_spot(1, 2), 4);
    EXPECT_EQ(race_remote_spot(1, 9), 3);
    timing_gates = saved;
    track_terrain.world_size = saved_size;
}

// Step k of the placement heights is the start height with k quarter feet added one
// at a time in float: rounded wherever the grid coarsens, stuck where a quarter foot
// is lost.
TEST(RaceStartSpots, PlacementHeightsAreQuarterFeetSummedInFloat)
{
    for (const float bottom : {0.3f, -1000.1f, -4e6f, -4194303.75f, 3e-39f, 1e-7f, 4194303.5f, -3e38f}) {
        float h = bottom;
        int64_t k = 0;
        for (; k < (int64_t(1) << 26) && h + 0.25f != h; ++k, h += 0.25f) {
            if (k % 9973 == 0 || k < 70) {
                ASSERT_EQ(place_step_height(bottom, k), h) << "from " << bottom << " step " << k;
            }
        }
        EXPECT_EQ(place_step_height(bottom, k), h) << "from " << bottom << " stuck at step " << k;
        EXPECT_EQ(place_step_height(bottom, int64_t(1) << 28), h) << "from " << bottom;
    }
    EXPECT_TRUE(std::isnan(place_step_height(NAN, 5)));
}

// The start rule as written: from the grid height of the spot's cell up in quarter
// feet, one probe each, up to 16 above the highest ground. What the bounded search of
// race_place_rider must agree with.
float stepped_placement(float x, float z, float yaw, int* probes, int32_t slot = 0)
{
    const terrain_state& t = track_terrain;
    float h = t.heights[int(z / t.cell) * t.size + int(x / t.cell)];
    const float top = std::max(h, t.max_height) + 16;
    for (*probes = 1;; ++*probes) {
        rider_slot* r = &rider_slots[slot];
        bike_reset(r);
        bike_rotate(r, 0, 1, 0, yaw);
        bike_translate(r, x, h, z);
        const int touching = race_bike_touches_ground(slot);
        race_empty_contacts();
        const float next = h + 0.25f;
        if (!touching || !(next <= top) || next == h)
            return h;
        h = next;
    }
}

double frame_y()
{
    return dBodyGetPosition(rider_slots[0].bodies[body_frame])[1];
}

TEST(RaceStartSpots, ABikeOnABumpIsRaisedInQuarterFeetUntilFree)
{
    bvtest::in_fresh_process([] {
        bvtest::Problems p;
        bvtest::TempDir root;
        racetest::start(root);
        terrain_init(&track_terrain);
        terrain_alloc(&track_terrain, 5, 2.0f, 0.0f, 60.0f);
        terrain_state& t = track_terrain;
        // A 3 ft bump under (32, 32) and a 40 ft hill under (90, 90), the cells of the
        // spots themselves low (one of them off the quarter-foot grid).
        for (int j = 0; j < t.size; ++j)
            for (int i = 0; i < t.size; ++i) {
                if (std::abs(i - 16) <= 4 && std::abs(j - 16) <= 4 && !(i == 16 && j == 16))
                    t.heights[j * t.size + i] = 3.0f;
                if (std::abs(i - 45) <= 4 && std::abs(j - 45) <= 4)
                    t.heights[j * t.size + i] = i == 45 && j == 45 ? 0.1f : 40.0f;
            }
        rider_request q{};
        q.bike = "cr125";
        q.number = "7";
        q.locally_simulated = 1;
        p.check(race_create_rider(0, q) == 1, "rider built");
        auto joints = [] {
            int n = 0;
            for (int b = 0; b < kBikeBodies; ++b)
                n += dBodyGetNumJoints(rider_slots[0].bodies[b]);
            return n;
        };
        race_place_rider(0, 60, 60, 0);
        p.check(race_bike_touches_ground(0) == 0, "flat ground");
        race_empty_contacts();
        const int own_joints = joints();
        for (const float spot : {32.0f, 90.0f}) {
            const std::string where = "spot " + std::to_string(spot) + ": ";
            int steps = 0;
            const float want = stepped_placement(spot, spot, 0.3f, &steps);
            const double want_y = frame_y();
            const float h = race_place_rider(0, spot, spot, 0.3f);
            p.check(h == want && frame_y() == want_y,
                    where + "placed at " + std::to_string(h) + ", stepping gives " + std::to_string(want));
            p.check(steps > (spot < 50 ? 4 : 150), where + "only " + std::to_string(steps) + " steps");
            p.check(joints() == own_joints, where + "probes' contact joints left behind");
            p.check(!race_bike_touches_ground(0), where + "touching");
            race_empty_contacts();
        }

        // Ground tests standing in for hostile shapes, counted: one that touches at any
        // height leaves the bike no higher than 16 ft over the highest ground; one that
        // touches below a height is left at the first free step, the quarter-foot sums
        // rounded to float as stepping rounds them, a pit millions of feet deep and a
        // start off the quarter-foot grid included.
        auto* real = race_bike_touches_ground;
        static int probes;
        static double free_from;
        race_bike_touches_ground = [](int32_t) { return ++probes, int(frame_y() < free_from); };
        free_from = INFINITY;
        probes = 0;
        const float top = race_place_rider(0, 32, 32, 0);
        p.check(top <= 60.0f + 16.0f && top > 60.0f + 15.75f, "raised to the top: " + std::to_string(top));
        p.check(probes <= 70, "probes: " + std::to_string(probes));
        const double rest_y = frame_y() - top;
        const float high = 4e6f;
        t.max_height = high;
        for (const float bottom : {-4e6f, -1000.1f, 0.3f}) {
            t.heights[16 * t.size + 16] = bottom;
            for (const double free_height : {-3999990.2, -1.3, 0.3, 77.7, 1234567.3, 3e6, 4e6 + 12.6, 5e6}) {
                if (free_height < bottom)
                    continue;
                free_from = rest_y + free_height;
                float want = bottom;
                for (;;) {
                    const float next = want + 0.25f;
                    if (rest_y + want >= free_from || !(next <= high + 16) || next == want)
                        break;
                    want = next;
                }
                probes = 0;
                const float h = race_place_rider(0, 32, 32, 0);
                const std::string c = "from " + std::to_string(bottom) + " free at " + std::to_string(free_height);
                p.check(h == want && std::fabs(frame_y() - (rest_y + want)) < 1e-3,
                        c + ": placed at " + std::to_string(h) + ", stepping gives " + std::to_string(want));
                p.check(probes <= 100, c + ": probes: " + std::to_string(probes));
            }
        }
        // First free at the last stepped probe (step 63), at the first step the halving
        // finds (64, 16 ft up) and just past it.
        for (const float bottom : {0.3f, -1000.1f}) {
            t.heights[16 * t.size + 16] = bottom;
            for (const int64_t k : {63, 64, 65}) {
                const float want = place_step_height(bottom, k);
                free_from = rest_y + (double(want) + double(place_step_height(bottom, k - 1))) / 2;
                probes = 0;
                const float h = race_place_rider(0, 32, 32, 0);
                p.check(h == want, "from " + std::to_string(bottom) + " first free at step " + std::to_string(k) +
                                       ": placed at " + std::to_string(h) + ", not " + std::to_string(want));
            }
        }
        // The probes cover at most 2^17 ground cells in all. A search of N probes is
        // whole when each covers at most 2^17 / N; a little more stops it one probe
        // short, on a free step above the first.
        t.heights[16 * t.size + 16] = 0.3f;
        free_from = rest_y + 0.3 + 50.1;
        probes = 0;
        const float first_free = race_place_rider(0, 32, 32, 0);
        const int whole = probes;
        collision_shape* own_frame = rider_slots[0].shapes[body_frame];
        auto cells_with = [&](int spheres) {
            std::string text = std::to_string(spheres) + "\n";
            for (int i = 0; i < spheres; ++i)
                text += "0 0 0 0 1 2500 250\n";
            const std::string name = "@frame" + std::to_string(spheres) + ".shp";
            bvtest::write_file(racetest::user_folder(root) + "/" + name.substr(1), text);
            if (rider_slots[0].shapes[body_frame] != own_frame)
                mem_free(rider_slots[0].shapes[body_frame]);
            rider_slots[0].shapes[body_frame] = shape_instance(name.c_str());
            return bike_ground_cells(&rider_slots[0], &track_terrain);
        };
        int spheres = 0;
        while (cells_with(spheres + 1) * whole <= double(1 << 17))
            ++spheres;
        for (const int n : {spheres, spheres + 1}) {
            const std::string c = std::to_string(n) + " spheres of " + std::to_string(cells_with(n)) + " cells: ";
            probes = 0;
            const float h = race_place_rider(0, 32, 32, 0);
            if (n == spheres)
                p.check(h == first_free && probes == whole, c + "placed at " + std::to_string(h) + " in " +
                                                                std::to_string(probes) + " probes, not " +
                                                                std::to_string(first_free));
            else
                p.check(h > first_free && frame_y() >= free_from && probes == whole - 1,
                        c + "placed at " + std::to_string(h) + " in " + std::to_string(probes) + " probes");
        }
        mem_free(rider_slots[0].shapes[body_frame]);
        rider_slots[0].shapes[body_frame] = own_frame;
        // Heights so large that a quarter foot is lost: one probe, where it stands.
        t.heights[16 * t.size + 16] = -3e38f;
        t.max_height = 3e38f;
        free_from = INFINITY;
        probes = 0;
        p.check(race_place_rider(0, 32, 32, 0) == -3e38f && probes == 1, "a step lost to rounding");
        race_bike_touches_ground = real;
        race_destroy_rider(0);
        p.check(!race_rider_exists(0), "destroyed");
        terrain_free(&track_terrain);
        return p.text;
    });
}

// A field started on the sample track and raced for a second. A frame shape of 4096
// spheres of radius 256 (as large as the shape reader takes) would make each tick's
// ground test of every bike cover a billion cells: it is left off every bike, said
// once, and the start and the second of racing cost no more than 2 s and 200 MB over
// the honest field's own. Every bike stands where stepping puts it. A frame shape
// covering exactly the most cells a body's shape may (1024 spheres of 1 ft on the 1 ft
// grid) is kept; one a hair larger is left off.
TEST(RaceStartSpots, AHugeFrameShapeIsLeftOffTheBikesAndCostsTheStartAndTheRaceLittle)
{
    bvtest::in_fresh_process([] {
        bvtest::Problems p;
        bvtest::TempDir root;
        racetest::start_racing(root);
        race_requested_folder = "tracks/sample";
        constexpr int kField = 8;
        constexpr int kRefused = -1;
        // Returns how many riders are wrong (missing, off their stepped height, on
        // another frame shape), plus 1000 when the line about a refused frame shape
        // is not said exactly as often as it should be (once, or never).
        auto race_field = [](int frame_spheres, int ticks) {
            return [frame_spheres, ticks] {
                ConsoleCapture console;
                int32_t lineup[160] = {1};
                for (int k = 1; k < kField; ++k)
                    lineup[k] = 2;
                reset_race(lineup, 0, 0, 0, 1, 0);
                int wrong = 0;
                for (int k = 0; k < kField; ++k) {
                    if (!race_rider_exists(k))
                        return 100;
                    const collision_shape* frame = rider_slots[k].shapes[body_frame];
                    // A search by stepping would take hours with a hostile shape kept.
                    if (frame_spheres == kRefused && frame) {
                        ++wrong;
                        continue;
                    }
                    wrong += frame_spheres != kRefused && (!frame || frame->sphere_count != frame_spheres);
                    wrong += !rider_slots[k].shapes[body_rider];
                    const dReal* at = dBodyGetPosition(rider_slots[k].bodies[body_frame]);
                    const dReal placed[3] = {at[0], at[1], at[2]};
                    float x, z, yaw;
                    race_start_spot(k, &x, &z, &yaw);
                    int steps = 0;
                    stepped_placement(x, z, yaw, &steps, k);
                    wrong += at[0] != placed[0] || at[1] != placed[1] || at[2] != placed[2];
                }
                const int32_t first_tick = current_tick;
                for (int t = 0; t < ticks; ++t)
                    game_tick();
                wrong += current_tick != first_tick + ticks;
                const std::string said = console.text();
                int lines = 0;
                for (size_t at = 0; (at = said.find("generic_frame.shp left off the bike", at)) != std::string::npos;
                     ++at)
                    ++lines;
                return wrong + 1000 * (lines != (frame_spheres == kRefused ? 1 : 0));
            };
        };
        const bvtest::ChildCost honest = bvtest::run_measured(race_field(3, 128), 300);
        const std::string frame_file = racetest::user_folder(root) + "/generic_frame.shp";
        std::string huge = "4096\n";
        for (int i = 0; i < 4096; ++i)
            huge += std::to_string(i % 16 * 0.25) + " " + std::to_string(i / 16 % 16 * 0.25) + " " +
                    std::to_string(i / 256 * 0.25) + " 256 1 2500 250\n";
        bvtest::write_file(frame_file, huge);
        const bvtest::ChildCost hostile = bvtest::run_measured(race_field(kRefused, 128), int(honest.seconds) + 60);
        fprintf(stderr, "%s\n%s\n", bvtest::describe("honest field", honest).c_str(),
                bvtest::describe("huge frame shape", hostile).c_str());
        p.check(honest.finished && honest.result == 0, "honest field: result " + std::to_string(honest.result));
        p.check(hostile.finished && hostile.result == 0, "huge frame shape: result " + std::to_string(hostile.result));
        p.check(hostile.seconds < honest.seconds + 2, bvtest::describe("huge frame shape", hostile));
        p.check(hostile.grown_kib < honest.grown_kib + 200 * 1024, bvtest::describe("huge frame shape", hostile));

        // 1024 spheres of radius 1 cover 4 x 4 cells each of the 1 ft grid: 2^14 in all.
        std::string at_bound = "1024\n";
        for (int i = 0; i < 1024; ++i)
            at_bound += "0 0.2 -0.3 1 0.6 10000 500\n";
        bvtest::write_file(frame_file, at_bound);
        const bvtest::ChildCost kept = bvtest::run_measured(race_field(1024, 0), 300);
        p.check(kept.finished && kept.result == 0, "a frame shape at the bound: result " + std::to_string(kept.result));
        // The last sphere a float step larger: a millionth of a cell over.
        std::string past = "1024\n";
        for (int i = 0; i < 1023; ++i)
            past += "0 0.2 -0.3 1 0.6 10000 500\n";
        bvtest::write_file(frame_file, past + "0 0.2 -0.3 1.0000001 0.6 10000 500\n");
        const bvtest::ChildCost refused = bvtest::run_measured(race_field(kRefused, 0), 300);
        p.check(refused.finished && refused.result == 0,
                "a frame shape past the bound: result " + std::to_string(refused.result));
        return p.text;
    });
}

}  // namespace
