// The game tick's rules on the flat test track: the falling start gate, the online
// false start, putting the local rider back on the course, putting back a rider who
// fell off the world, the time trial's laps and ghost, and the track teardown.
#include "race_fixture.h"

#include "foundation/memory.h"
#include "foundation/vfs/vfs.h"
#include "race/demo/demo.h"
#include "race/game_tick.h"
#include "race/net/net_connection.h"
#include "race/race_hooks.h"
#include "race/race_restart.h"
#include "race/race_results.h"
#include "race/race_rules.h"
#include "race/race_start.h"
#include "race/race_state.h"
#include "race/track_load.h"
#include "sim/ai_lines.h"
#include "sim/autopilot_drive.h"
#include "sim/autopilot_race.h"
#include "sim/bike_build.h"
#include "sim/gate_times.h"
#include "sim/physics_world.h"
#include "sim/race_clock.h"
#include "sim/rider_access.h"
#include "sim/rider_slot.h"
#include "support/console_capture.h"
#include "support/file_size_limit.h"
#include "support/fresh_process.h"
#include "terrain/billboards.h"
#include "terrain/lighting.h"
#include "terrain/statues.h"
#include "terrain/timing_gates.h"
#include "terrain/track_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <numbers>
#include <string>
#include <vector>

#include <unistd.h>

// The leak checker's entry point, present only in the sanitizer build.
extern "C" int __lsan_do_recoverable_leak_check() __attribute__((weak));

namespace {

using bvtest::Problems;

void load_flat(const int32_t* lineup, int record = 0)
{
    race_rules_install();
    demo_install_hooks();
    scan_tracks();
    race_requested_folder = "tracks/flat";
    race_opts.seed = 5;
    reset_race(lineup, 0, record, 0, 3, 0);
}

// Which way the frame body faces: minus its z axis, in the ground plane.
void facing(int slot, float* x, float* z)
{
    const dReal* R = dBodyGetRotation(rider_slots[slot].bodies[body_frame]);
    *x = float(-R[2]);
    *z = float(-R[10]);
}

std::string near(float a, float b)
{
    return std::fabs(a - b) < 1e-3f ? "" : std::to_string(a) + " != " + std::to_string(b);
}

TEST(StartGate, RaisedUntilTheDropThenFallsWhoeverLeansOnItAndRestsAfterTenSeconds)
{
    bvtest::in_fresh_process([] {
        Problems p;
        bvtest::TempDir root;
        racetest::start(root);
        int32_t lineup[160] = {0, 0, 0, 2};
        load_flat(lineup);
        p.check(timing_gates.start_slot_count == 24 && timing_gates.start_slot_statue[0] >= 0, "no gate pieces");
        if (!p.text.empty())
            return p.text;
        statue* s = statue_at(timing_gates.start_slot_statue[0]);
        float& value = race.start_gate_state[0][0];
        float& speed = race.start_gate_state[0][1];
        const int32_t G = race.gate_drop_tick;
        // A bike pushed on the piece leans on it every tick: until the drop it holds
        // the rider, from the tick after the drop it falls as if nobody were there.
        value = 0.25f;
        current_tick = G - 1;
        s->touched_tick = current_tick;
        start_gate_fall();
        p.check(value == 1 && speed == 0, "below the drop a piece is raised");
        current_tick = G;
        s->touched_tick = current_tick;
        start_gate_fall();
        p.check(value == 1, "at the drop a piece still stands");
        int fallen_at = 0;
        for (int t = 1; t <= 40 && !fallen_at; ++t) {
            current_tick = G + t;
            s->touched_tick = current_tick;
            start_gate_fall();
            if (t == 1)
                p.check(value < 1 && speed > 0, "a piece leaned on in the tick after the drop falls");
            if (value == 0)
                fallen_at = t;
            if (t == 10) {
                // Rows of the ground's orientation turned about its own x axis.
                float base[9];
                orient_on_terrain(base, s->x, s->z, s->angle);
                const float a = value * 3 * std::numbers::pi_v<float> / 16;
                for (int r = 0; r < 3; ++r) {
                    p.check(near(s->rotation[3 * r], base[3 * r]).empty(), "row x");
                    p.check(near(s->rotation[3 * r + 1], std::cos(a) * base[3 * r + 1] - std::sin(a) * base[3 * r + 2])
                                .empty(),
                            "row y");
                    p.check(near(s->rotation[3 * r + 2], std::sin(a) * base[3 * r + 1] + std::cos(a) * base[3 * r + 2])
                                .empty(),
                            "row z");
                }
                p.check(near(speed, 2.5f).empty(), "speed after 10 ticks: " + near(speed, 2.5f));
            }
        }
        p.check(fallen_at == 32, "a piece leaned on lies down in tick " + std::to_string(fallen_at) + ", not 32");
        p.check(speed == 8, "the stored speed is capped at 8");
        value = 0.5f;
        current_tick = G + 1281;
        start_gate_fall();
        p.check(value == 0.5f, "nothing changes 10 s after the drop");

        // Watching online, the riders are shown 127 ticks late: the gate stands that
        // much longer, or they would ride out through it.
        race.watch_only = 127;
        current_tick = G + 126;
        start_gate_fall();
        p.check(value == 1 && speed == 0, "watching, a piece is raised again before the drop plus the watch delay");
        current_tick = G + 127;
        start_gate_fall();
        p.check(value == 1 && speed == 0, "watching, a piece stands until the drop plus the watch delay");
        current_tick = G + 128;
        start_gate_fall();
        p.check(value < 1, "watching, a piece falls in the tick after the drop plus the watch delay");
        race.watch_only = 0;
        return p.text;
    });
}

TEST(FalseStart, OnlineAMoveOfThreeFeetBeforeTheDropHoldsTheRiderOfflineNever)
{
    bvtest::in_fresh_process([] {
        Problems p;
        bvtest::TempDir root;
        racetest::start(root);
        int32_t lineup[160] = {1};
        load_flat(lineup);
        rider_slot* r = &rider_slots[0];
        const int32_t drop = race.gate_drop_tick;
        dBodyID frame = r->bodies[body_frame];
        const dReal* at = dBodyGetPosition(frame);
        p.check(std::fabs(float(at[0]) - race.local_frame_position[0]) < 1e-4f,
                "the start position is where the rider stands");
        float* start = race.local_frame_position;
        for (int i = 0; i < 3; ++i)
            start[i] = float(at[i]);
        // Every body moved alike, the frame to start + (dx, 0, 0).
        auto move_to = [&](double dx) {
            const dReal* now = dBodyGetPosition(frame);
            const double d[3] = {double(start[0]) + dx - now[0], double(start[1]) - now[1], double(start[2]) - now[2]};
            for (dBodyID b : r->bodies) {
                const dReal* q = dBodyGetPosition(b);
                dBodySetPosition(b, q[0] + d[0], q[1] + d[1], q[2] + d[2]);
            }
            dBodySetPosition(frame, double(start[0]) + dx, start[1], start[2]);
        };

        ConsoleCapture console;
        move_to(2.9);
        current_tick = drop - 10;
        false_start_rule(0);
        p.check(false_start_hold == 0 && r->dab == 1, "under 3 ft only the dab");
        move_to(3);
        false_start_rule(0);
        p.check(false_start_hold == 10 + 15 * 128, "held until 15 s after the drop: " + std::to_string(false_start_hold));
        const int32_t hold = false_start_hold;
        rider_set_throttle(r, 1);
        rider_set_clutch(r, 1);
        rider_set_back_up(r, 1);
        rider_set_front_brake(r, 0);
        false_start_rule(0);
        p.check(false_start_hold == hold - 1, "the hold counts down");
        p.check(r->front_brake == 1 && r->rear_brake == 1 && r->clutch == 0 && r->throttle == 0 && r->dab == 1 &&
                    r->back_up == 0,
                "held with both brakes, no clutch, no throttle, dab");
        false_start_hold = 0;
        current_tick = drop + 1;
        false_start_rule(0);
        p.check(false_start_hold == 0, "armed only before the drop");
        const std::string shown = console.text();
        const size_t first = shown.find("15 second false start penalty");
        p.check(first != std::string::npos && shown.find("15 second false start penalty", first + 1) == std::string::npos,
                "the penalty is printed once: [" + shown + "]");

        // Offline the rule is never applied.
        false_start_hold = 0;
        move_to(5);
        current_tick = drop - 100;
        game_tick();
        p.check(false_start_hold == 0, "offline no false start");
        return p.text;
    });
}

TEST(Restart, TheLocalRiderGoesBackOnTheGateFacingItsDirectionOfTravel)
{
    bvtest::in_fresh_process([] {
        Problems p;
        bvtest::TempDir root;
        racetest::start(root);
        load_flat(nullptr);   // practice: track reset puts the rider back once
        rider_slot* r = &rider_slots[0];
        const int32_t F = results_first_lap_positions();
        p.check(race.restart_counter == 3, "track reset counts one restart");
        p.check(r->timing_position == F - 1, "timing back to the first lap's end");
        float fx, fz;
        facing(0, &fx, &fz);
        // k = 2 picks position F + N - 2, checkpoint 3 at (24, 64) heading -z.
        const dReal* at = dBodyGetPosition(r->bodies[body_frame]);
        p.check(std::fabs(at[0] - 24) < 4 && std::fabs(at[2] - 64) < 4,
                "placed at checkpoint 3: " + std::to_string(at[0]) + " " + std::to_string(at[2]));
        p.check(std::fabs(fx) < 1e-3f && fz < -0.999f, "faces -z: " + std::to_string(fx) + " " + std::to_string(fz));

        // k = 1 picks the lap's last position: checkpoint 0 at (64, 24), heading +x.
        race.restart_counter = 1;
        time_trial.last_lap = 77;
        rider_set_gate_time(r, F + 2, 900);
        r->timing_position = F + 3;
        // A hill around the gate: the bike starts inside it and is raised.
        terrain_state& t = track_terrain;
        const int cx = int(64 * t.inv_cell), cz = int(24 * t.inv_cell);
        for (int z = cz - 3; z <= cz + 3; ++z)
            for (int x = cx - 3; x <= cx + 3; ++x)
                if (x != cx || z != cz)
                    t.heights[z * t.size + x] += 4;
        int joints_before[kBikeBodies];
        for (int b = 0; b < kBikeBodies; ++b)
            joints_before[b] = dBodyGetNumJoints(r->bodies[b]);
        local_rider_reset();
        facing(0, &fx, &fz);
        p.check(fx > 0.999f && std::fabs(fz) < 1e-3f, "faces +x: " + std::to_string(fx) + " " + std::to_string(fz));
        at = dBodyGetPosition(r->bodies[body_frame]);
        p.check(std::fabs(at[0] - 64) < 4 && std::fabs(at[2] - 24) < 4,
                "placed at checkpoint 0: " + std::to_string(at[0]) + " " + std::to_string(at[2]));
        p.check(at[1] > t.heights[cz * t.size + cx] + 3, "raised out of the hill");
        for (int b = 0; b < kBikeBodies; ++b)
            p.check(dBodyGetNumJoints(r->bodies[b]) == joints_before[b], "a probing contact joint was left behind");
        p.check(r->timing_position == F - 1 && rider_get_gate_time(r, F + 2) < 0, "timing truncated to F - 1");
        p.check(time_trial.last_lap == 0, "last lap cleared");

        // Without timing gates only the demo stops.
        const int32_t gates = timing_gates.checkpoint_count;
        timing_gates.checkpoint_count = 0;
        r->timing_position = F + 1;
        local_rider_reset();
        p.check(r->timing_position == F + 1, "no gates: the rider stays as it is");
        timing_gates.checkpoint_count = gates;
        return p.text;
    });
}

// The rider's frame body moved to (x, y, z) at rest, the bike upright facing -z.
void move_frame_to(rider_slot* r, float x, float y, float z)
{
    bike_reset(r);
    const dReal* at = dBodyGetPosition(r->bodies[body_frame]);
    const float from[3] = {float(at[0]), float(at[1]), float(at[2])};
    bike_translate(r, x - from[0], y - from[1], z - from[2]);
}

std::string at_problem(int slot, float x, float z, float fx, float fz)
{
    const dReal* at = dBodyGetPosition(rider_slots[slot].bodies[body_frame]);
    float hx, hz;
    facing(slot, &hx, &hz);
    const float ground = track_terrain.min_height;
    if (std::hypot(at[0] - x, at[2] - z) < 5 && at[1] > ground && at[1] < ground + 8 && hx * fx + hz * fz > 0.99f)
        return "";
    return "at (" + std::to_string(at[0]) + ", " + std::to_string(at[1]) + ", " + std::to_string(at[2]) +
           ") facing (" + std::to_string(hx) + ", " + std::to_string(hz) + ")";
}

// Gives a rider times for positions first..last and the timing position after them.
void ride(rider_slot* r, int32_t first, int32_t last, int32_t tick0, int32_t step)
{
    for (int32_t p = first; p <= last; ++p)
        rider_set_gate_time(r, p, tick0 + (p - first) * step);
    r->timing_position = last + 1;
}

// A rider's place in the race: timing position, gate times kept, laps completed.
std::string timing_of(const rider_slot* r)
{
    return std::to_string(r->timing_position) + "/" + std::to_string(r->gate_times.count) + "/" +
           std::to_string(rider_laps_completed(r));
}

TEST(PutBack, ARiderFiftyFeetUnderTheLowestGroundOrOffItGoesBackOnTheCourse)
{
    bvtest::in_fresh_process([] {
        Problems p;
        bvtest::TempDir root;
        racetest::start(root);
        int32_t lineup[160] = {1, 2, 2};
        load_flat(lineup);
        const terrain_state& t = track_terrain;
        const float low = t.min_height - kLostDepth, side = t.world_size;
        p.check(!rider_lost_at(30, low, 30) && rider_lost_at(30, std::nextafter(low, -1e9f), 30),
                "the depth's edge");
        p.check(!rider_lost_at(0, 5, 0) && rider_lost_at(-0.01f, 5, 30) && rider_lost_at(30, 5, -0.01f),
                "the low borders");
        p.check(!rider_lost_at(side, 5, side) && rider_lost_at(side + 0.01f, 5, 30) &&
                    rider_lost_at(30, 5, side + 0.01f),
                "the high borders");
        p.check(rider_lost_at(NAN, 5, 30) && rider_lost_at(30, NAN, 30), "nowhere is lost");

        // The player goes back on the gate it reached last, with its timing as it was,
        // and riding on from there the next gate tick credits nothing: not the gate
        // still to reach. Positions 0..4 are checkpoints 0 1 2 3 0 (the lap line), then
        // 1 2 3 0 a lap.
        rider_slot* r = &rider_slots[0];
        float sx, sz, syaw;
        race_start_spot(0, &sx, &sz, &syaw);
        const struct {
            int32_t position;
            float x, z, fx, fz;
            const char* what;
        } cases[] = {
            {2, 104, 64, 0, 1, "reached position 1, checkpoint 1"},
            {5, 64, 24, 1, 0, "reached the lap line, checkpoint 0"},
            {0, sx, sz, -std::sin(syaw), -std::cos(syaw), "before the first gate: the start spot"},
        };
        for (const auto& c : cases) {
            // (Moving the frame resets the bike, timing included.)
            auto reach = [&] {
                if (c.position > 0)
                    ride(r, 0, c.position - 1, 100, 100);
            };
            move_frame_to(r, 30, low, 30);
            reach();
            p.check(!rider_put_back_if_lost(0), std::string(c.what) + ": put back at exactly 50 ft under");
            move_frame_to(r, 30, low - 0.01f, 30);
            reach();
            const std::string timing = timing_of(r);
            p.check(rider_put_back_if_lost(0), std::string(c.what) + ": left 50.01 ft under");
            p.check(at_problem(0, c.x, c.z, c.fx, c.fz).empty(),
                    std::string(c.what) + ": put back " + at_problem(0, c.x, c.z, c.fx, c.fz));
            p.check(timing_of(r) == timing, std::string(c.what) + ": the put-back changed the timing");
            // (The front wheel stands a foot short of the spot: ride on past it.)
            float hx, hz;
            facing(0, &hx, &hz);
            bike_translate(r, 3 * hx, 0, 3 * hz);
            game_tick();
            p.check(timing_of(r) == timing,
                    std::string(c.what) + ": timing " + timing + " became " + timing_of(r) + " riding on");
        }
        move_frame_to(r, -0.5f, 5, 30);
        ride(r, 0, 1, 100, 100);
        p.check(rider_put_back_if_lost(0) && at_problem(0, 104, 64, 0, 1).empty(), "left off the terrain");

        // Through the game tick, falling fast far below.
        move_frame_to(r, 30, -500, 30);
        ride(r, 0, 1, 100, 100);
        for (int b = 0; b < kBikeBodies; ++b)
            dBodySetLinearVel(r->bodies[b], 0, -300, 0);
        game_tick();
        const dReal* v = dBodyGetLinearVel(r->bodies[body_frame]);
        p.check(at_problem(0, 104, 64, 0, 1).empty() && std::fabs(v[1]) < 10,
                "the game tick left the falling player " + at_problem(0, 104, 64, 0, 1));
        p.check(timing_of(r) == "2/2/0", "the falling player's timing became " + timing_of(r));

        // A robot too (its path may run on past the gate still to reach), its recovery
        // started over towards the point of its path nearest to the gate.
        rider_slot* bot = &rider_slots[1];
        // The nearest point is not the one the recovery's restart picks by the clock.
        ai_line_point path[4] = {{20, 0, 40, 30, 0}, {30, 0, 110, 30, 0}, {120, 0, 20, 30, 0}, {}};
        const int32_t nearest = (autopilot_now() + 2) % 4;
        std::rotate(path + nearest, path + 3, path + 4);
        path[nearest] = {70, 0, 100, 30, 0};
        move_frame_to(bot, 30, low - 0.01f, 30);
        for (const ai_line_point& point : path)
            array_push(&bot->path, &point);
        bot->path_count = bot->path.count;
        ride(bot, 0, 2, 100, 100);
        p.check(rider_put_back_if_lost(1), "the robot left 50.01 ft under");
        p.check(bot->recovery == 3 && bot->progress_tick == current_tick && bot->path_index == nearest &&
                    bot->path_count == 4,
                "the robot's recovery did not start over towards its path's nearest point " +
                    std::to_string(nearest) + ": heading for " + std::to_string(bot->path_index));
        p.check(timing_of(bot) == "3/3/0", "the robot's put-back changed its timing");
        p.check(at_problem(1, 64, 104, -1, 0).empty(), "the robot put back " + at_problem(1, 64, 104, -1, 0));
        float hx, hz;
        facing(1, &hx, &hz);
        bike_translate(bot, 3 * hx, 0, 3 * hz);
        game_tick();
        p.check(timing_of(bot) == "3/3/0", "the robot's timing became " + timing_of(bot) + " riding on");

        // A rider driven by states from elsewhere is never moved here.
        rider_slot* other = &rider_slots[2];
        race.kinds[2] = rider_kind_remote;
        move_frame_to(other, 30, -500, 30);
        p.check(!rider_put_back_if_lost(2), "a state-driven rider was put back");
        return p.text;
    });
}

// Names of the folder that look like a temporary of ours.
std::string temporaries(const std::string& folder)
{
    std::string found;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        if (e.path().filename().string().find(".tmp-") != std::string::npos)
            found += e.path().filename().string() + " ";
    return found;
}

TEST(TimeTrial, LapsSetTheBestAndTheGhostIsReplacedOnlyWhenBeaten)
{
    bvtest::in_fresh_process([] {
        Problems p;
        bvtest::TempDir root;
        racetest::start(root);
        load_flat(nullptr, 1);
        // Track reset's restart stops the recording; the lap handling starts it again.
        demo_record_open();
        const std::string folder = racetest::user_folder(root) + "/tracks/flat/";
        const int32_t F = results_first_lap_positions(), N = results_lap_positions();
        rider_slot* player = &rider_slots[0];
        p.check(race.time_trial_active && demo_recording(), "a time trial records its lap");

        // The player's lap with no ghost yet: copied, ghost made in slot 1.
        time_trial_remember_laps();
        ride(player, F - 1, F + N - 1, 1000, 100);
        time_trial_laps();
        p.check(time_trial.last_lap == 100 * N && time_trial.best_lap == 100 * N, "player lap sets last and best");
        p.check(!bvtest::read_file(folder + "fastlap.bvdemo").empty(), "the lap became the ghost");
        p.check(bvtest::read_file(folder + "fastlap.bvdemo") == bvtest::read_file(folder + "lastlap.bvdemo") ||
                    demo_recording(),
                "fastlap is a copy of lastlap");
        p.check(temporaries(folder).empty(), "no temporary left: " + temporaries(folder));
        rider_slot* ghost = &rider_slots[1];
        p.check(ghost->bodies[body_frame] && race.kinds[1] == rider_kind_remote && !bike_is_awake(ghost),
                "the ghost sleeps in slot 1, state-driven");
        p.check(ghost->timing_position == F - 1 && player->timing_position == F - 1, "both start the lap again");
        p.check(demo_recording(), "recording restarted");

        // A ghost lap faster than the best.
        time_trial_remember_laps();
        ride(ghost, F - 1, F + N - 1, 5000, 50);
        time_trial_laps();
        p.check(time_trial.best_lap == 50 * N, "the ghost's lap sets the best");

        // Equal positions: the ghost stays.
        bvtest::write_file(folder + "fastlap.bvdemo", "marker");
        time_trial_remember_laps();
        ghost = &rider_slots[1];
        if (ghost->bodies[body_frame])
            ride(ghost, F - 1, F + N - 1, 7000, 10);
        ride(player, F - 1, F + N - 1, 7000, 10);
        time_trial_laps();
        p.check(bvtest::read_file(folder + "fastlap.bvdemo") == "marker", "an equal lap does not replace the ghost");

        // A copy the disk cannot hold (a file-size limit, its signal ignored) keeps the
        // old ghost whole and leaves no temporary.
        demo_record_close();
        p.check(bvtest::read_file(folder + "lastlap.bvdemo").size() > 16, "a lap to copy");
        const int copied = [] {
            bvtest::FileSizeLimit full(16);
            return time_trial_copy_ghost();
        }();
        p.check(copied == 0, "the copy reports its failure");
        p.check(bvtest::read_file(folder + "fastlap.bvdemo") == "marker", "a failed copy keeps the ghost");
        p.check(temporaries(folder).empty(), "no temporary left: " + temporaries(folder));
        p.check(time_trial_copy_ghost() == 1 &&
                    bvtest::read_file(folder + "fastlap.bvdemo") == bvtest::read_file(folder + "lastlap.bvdemo"),
                "the copy replaces the ghost");
        return p.text;
    });
}

// A downloaded track folder with links to files elsewhere at the demo names and at the
// old fixed temporaries: starting the time trial, finishing a lap (the ghost copy) and
// starting the next leave every file outside as it was and plain files of the game's
// own at the names it writes; the other links stay links.
TEST(TimeTrial, LinksInTheTrackFolderAreReplacedNeverWrittenThrough)
{
    bvtest::in_fresh_process([] {
        Problems p;
        bvtest::TempDir root;
        racetest::start(root);
        const std::string folder = racetest::user_folder(root) + "/tracks/flat/";
        const std::string outside = root / "outside/";
        bvtest::make_dirs(folder);
        const std::vector<std::string> links{"lastlap.bvdemo", "fastlap.bvdemo", "fastlap.bvdemo.tmp",
                                             "lastlap.bvdemo.tmp", "lastlap.bvdemo.new", "fastlap.bvdemo.new"};
        for (const std::string& name : links) {
            bvtest::write_file(outside + name, "outside " + name);
            p.check(symlink((outside + name).c_str(), (folder + name).c_str()) == 0, "link " + name);
        }
        load_flat(nullptr, 1);
        demo_record_open();
        p.check(race.time_trial_active && demo_recording(), "a time trial records its lap");
        p.check(!std::filesystem::is_symlink(folder + "lastlap.bvdemo"), "the lap is recorded into a file of its own");
        const int32_t F = results_first_lap_positions(), N = results_lap_positions();
        time_trial_remember_laps();
        ride(&rider_slots[0], F - 1, F + N - 1, 1000, 100);
        time_trial_laps();
        p.check(demo_recording(), "recording restarted");
        for (const char* name : {"lastlap.bvdemo", "fastlap.bvdemo"})
            p.check(std::filesystem::is_regular_file(std::filesystem::symlink_status(folder + name)),
                    std::string("a plain file at ") + name);
        p.check(bvtest::read_file(folder + "fastlap.bvdemo").rfind("BV06", 0) == 0, "the lap became the ghost");
        for (const std::string& name : links) {
            p.same(bvtest::read_file(outside + name), "outside " + name, "the file behind " + name);
            if (name.find("lap.bvdemo.") != std::string::npos)
                p.check(std::filesystem::is_symlink(folder + name), name + " left as it was");
        }
        p.check(std::distance(std::filesystem::directory_iterator(folder), {}) == std::ptrdiff_t(links.size()),
                "no temporary left");
        return p.text;
    });
}

TEST(TrackFree, LeavesNothingLoadedAndNothingAllocated)
{
    bvtest::in_fresh_process([] {
        Problems p;
        bvtest::TempDir root;
        racetest::start(root);
        for (int round = 0; round < 3; ++round) {
            race.force_reload = 1;
            int32_t lineup[160] = {2};
            load_flat(lineup);
            if (round == 2)
                race_requested_folder = "tracks/sample";
            reset_race(lineup, 0, 0, 0, 3, 0);
            p.check(statue_count() > 0 && track_terrain.heights, "the track loaded");
            ConsoleCapture console;
            track_free();
            const std::string log = console.text();
            const size_t first = log.find("Deallocating track");
            p.check(first != std::string::npos && log.find("Finished deallocating track", first) != std::string::npos,
                    "the two log lines: [" + log + "]");
            p.check(statue_count() == 0 && billboard_count() == 0, "statues and billboards left");
            p.check(!track_terrain.heights && track_terrain.size == 0, "terrain left");
            p.check(!ai_lines.tables && ai_lines.table_count == 0, "racing lines left");
            p.check(!lighting.flares.items && lighting.flares.count == 0, "flares left");
        }
        ai_lines_resize(4, 4);
        ai_line* line = &ai_table(0)->lines[3];
        line->point_count = 2;
        line->points = static_cast<ai_line_point*>(xmalloc(2 * sizeof(ai_line_point)));
        line->segment_time = 5;
        ai_lines_clear();
        p.check(!line->points && line->point_count == 0 && line->segment_time == 1000000 &&
                    line->extended_time == 1000000 && line->tested == 0 && line->line_id == 0,
                "a cleared line has the empty values");
        ai_lines_free();
        // Under the leak checker: everything the three tracks held is freed.
        if (__lsan_do_recoverable_leak_check)
            p.check(__lsan_do_recoverable_leak_check() == 0, "the track teardown leaked");
        return p.text;
    });
}

}  // namespace
