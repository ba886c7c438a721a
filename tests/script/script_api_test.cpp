// The 61 natives on a small test track with a real race start: automatic riders in
// slots 0 and 2, slot 1 empty. Each row is an expression and its JSON text; bad slots,
// missing, extra and text arguments, and NaN or huge indices are refused quietly.
#include "script_fixture.h"

#include "race/game_tick.h"
#include "race/net/net_client.h"
#include "race/net/net_connection.h"
#include "race/race_results.h"
#include "race/race_state.h"
#include "script/script_host.h"
#include "script/script_seams.h"
#include "script/script_tables.h"
#include "sim/gate_times.h"
#include "sim/rider_access.h"
#include "sim/wheel_sampling.h"
#include "support/console_capture.h"
#include "support/fresh_process.h"
#include "terrain/billboards.h"
#include "terrain/statues.h"
#include "terrain/terrain_queries.h"
#include "terrain/track_list.h"
#include "view/render_world.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

using bvtest::Problems;

struct row {
    std::string expression;
    std::string expected;
};

void check_rows(Problems& p, std::initializer_list<row> rows)
{
    for (const row& r : rows)
        p.same(scripttest::js(r.expression), r.expected, r.expression);
}

std::string num(double v)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.17g", v);
    return scripttest::js(text);
}

TEST(ScriptApi, RaceTimingAndRidersAnswerFromTheTables)
{
    bvtest::in_fresh_process([] {
        Problems p;
        bvtest::TempDir root;
        scripttest::start(root);
        scripttest::write_track(root, "api", "bv.loaded = 1;");
        scripttest::race_on("api");
        p.check(script_current != nullptr, "no script after the race start");
        race.tick = 300;
        check_rows(p, {
            {"bv.get_max_slots(1, 2)", "160"},
            {"bv.get_seconds_per_tic()", "0.0078125"},
            {"[bv.get_first_lap_length(), bv.get_normal_lap_length()]", "[5,4]"},
            {"[bv.first_lap_length, bv.normal_lap_length, bv.tics_per_second]", "[5,4,128]"},
            {"bv.gate_from_timing_position(6)", "2"},
            {"bv.gate_from_timing_position(-3)", "0"},
            {"bv.gate_from_timing_position(NaN)", "0"},
            {"bv.gate_from_timing_position(1e300)", "0"},
            {"bv.gate_from_timing_position()", "0"},
            {"bv.gate_from_timing_position('6')", "0"},
            {"bv.gate_from_timing_position(2147483647)", "3"},   // 5 + (2147483642 mod 4): entry 7
            {"bv.get_running_order_slot(200)", "0"},
            {"bv.get_running_order_position(-1)", "0"},
            {"bv.get_running_order_time(Infinity)", "0"},
            {"bv.get_timing(1, 0)", "-1"},
            {"bv.get_timing(0, 40)", "-0.0078125"},
            {"bv.get_timing_position(1)", "-1"},
            {"bv.get_timing_position(NaN)", "-1"},
            {"bv.get_timing_position(-Infinity)", "-1"},
            {"bv.get_timing_position(0)", std::to_string(rider_get_timing_position(&rider_slots[0]))},
            {"bv.get_rider_down(1)", "0"},
            {"bv.get_rider_number(1)", "\"\""},
            {"bv.get_rider_number(0)", "\"" + std::string(rider_get_number(&rider_slots[0])) + "\""},
            {"bv.get_rider_name(2)", "\"Roborider\""},
            {"bv.get_rider_name(160)", "\"\""},
            {"bv.get_bike_model(0)", "\"" + std::string(rider_get_bike_info(&rider_slots[0])->name) + "\""},
            {"bv.get_bike_model(1)", "\"\""},
            {"(function () { var a = [9, 9, 9]; return [bv.get_position_(1, a), a]; })()", "[0,[0,0,0]]"},
            {"(function () { var a = [9, 9, 9]; return [bv.get_velocity_(-1, a), a]; })()", "[0,[0,0,0]]"},
            {"bv.get_position(1)", "null"},
            {"bv.get_position(0).length", "3"},
            {"bv.get_velocity(2).length", "3"},
            {"(function () { var a = [9, 9, 9]; return [bv.get_front_contact_position(1, a), a]; })()",
             "[0,[0,0,0]]"},
            {"(function () { var a = [9, 9, 9]; return [bv.get_rear_contact_slip(1, a), a]; })()", "[0,[0,0,0]]"},
            {"(function () { var a = [9, 9, 9]; return [bv.get_rear_contact_velocity(1, a), a]; })()",
             "[0,[0,0,0]]"},
            {"(function () { var a = [9, 9, 9]; return [bv.get_front_contact_slip(500, a), a]; })()",
             "[0,[0,0,0]]"},
            {"(function () { var a = [9, 9, 9]; return [bv.get_front_contact_velocity(1, a), a]; })()",
             "[0,[0,0,0]]"},
            {"(function () { var a = [9, 9, 9]; return [bv.get_rear_contact_position(1, a), a]; })()",
             "[0,[0,0,0]]"},
            {"[bv.get_front_contact_depth(1), bv.get_rear_contact_depth(1)]", "[0,0]"},
            {"bv.get_finish_laps()", "2"},
            {"bv.get_finish_time()", "0"},
            {"bv.get_player_slot()", "-1"},
            {"bv.get_running_order()", "[]"},
            {"bv.get_position_(0, undefined) + bv.get_position_(0, 5) + bv.get_position_(0, 'abc')", "3"},
        });
        // The front contact answers agree with the rider's own.
        float where[3] = {0, 0, 0};
        const int touching = rider_front_contact_position(&rider_slots[0], where);
        p.same(scripttest::js("bv.get_front_contact_position(0, [])"), std::to_string(touching), "contact flag");

        // The gate drop: -1 before, the drop tick in seconds as a float after.
        race.tick = race.gate_drop_tick - 1;
        p.same(scripttest::js("bv.get_gate_drop_time()"), "-1", "before the drop");
        race.tick = race.gate_drop_tick + 5;
        p.same(scripttest::js("bv.get_gate_drop_time()"), num(double(float(race.gate_drop_tick * 0.0078125))),
               "after the drop");
        race.time_limit_ticks = 128 * 600 + 1;
        p.same(scripttest::js("bv.get_finish_time()"), num(double(float((128 * 600 + 1) * 0.0078125))), "time limit");

        // The running order: any row 0..159, and the prelude's array.
        running_order.count = 2;
        running_order.rows[0] = {2, 3, 256};
        running_order.rows[1] = {0, 1, 100};
        running_order.rows[5] = {7, 7, 7};
        check_rows(p, {
            {"bv.get_running_count()", "2"},
            {"bv.get_running_order_slot(5)", "7"},
            {"bv.get_running_order()", "[{\"slot\":2,\"position\":3,\"time\":2},{\"slot\":0,\"position\":1,\"time\":0.78125}]"},
            {"bv.lap_to_index(1)", "4"},
            {"[bv.index_to_lap(4), bv.index_to_lap(5), bv.index_to_lap(9)]", "[0,1,2]"},
            {"bv.lap_to_index(0)", "0"},
        });

        // The local rider offline.
        race.kinds[2] = rider_kind_local;
        p.same(scripttest::js("bv.get_player_slot()"), "2", "the local rider's slot");
        race.kinds[2] = rider_kind_bot;
        // Online: the slot the server gave, -1 while only watching.
        net_socket = 1000;
        net_own_slot = 2;
        net_own_lineup = 3;
        p.same(scripttest::js("bv.get_player_slot()"), "2", "online, riding");
        net_own_lineup = kWatchOnlyValue;
        p.same(scripttest::js("bv.get_player_slot()"), "-1", "online, watching");
        net_socket = -1;
        net_own_lineup = 0;

        // Trampolines: seconds from the race tick less the display delay, never below 0.
        race.tick = 256;
        race.watch_only = 0;
        script_call_tic_handler();
        p.same(scripttest::js("bv.seconds"), "2", "tick 256");
        race.tick = 100;
        race.watch_only = 127;
        script_call_frame_handler();
        p.same(scripttest::js("bv.seconds"), "0", "watching at tick 100");
        race.watch_only = 0;

        // Messages: text only (a number prints an empty line).
        ConsoleCapture lines;
        scripttest::run("bv.message('hello there'); bv.message(42);");
        p.same(lines.text(), "hello there\n\n", "message lines");
        return p.text;
    });
}

TEST(ScriptApi, BillboardsAndStatuesMoveColourAndFindByIndex)
{
    bvtest::in_fresh_process([] {
        Problems p;
        bvtest::TempDir root;
        scripttest::start(root);
        scripttest::write_track(root, "api", "bv.loaded = 1;");
        scripttest::race_on("api");
        const int32_t fb = first_track_billboard, fs = first_track_statue;
        p.check(fs > 0, "no start-gate statues before the track's");
        check_rows(p, {
            {"bv.color_billboard(1, 2, -1, 0.5, 1)", "1"},
            {"bv.color_billboard(3, 1, 1, 1, 1)", "0"},
            {"bv.color_billboard(-1, 1, 1, 1, 1)", "0"},
            {"bv.move_billboard(-1, 0, 0, 0)", "0"},
            {"bv.move_billboard(2, 30, 4, 40)", "1"},
            {"bv.move_billboard_absolute(0, 1, 2, 3)", "1"},
            {"bv.move_billboard_absolute(NaN, 1, 2, 3)", "0"},
            {"bv.size_billboard(0, 5)", "1"},
            {"bv.size_billboard(1e300, 5)", "0"},
            {"bv.move_statue(1, 10, 0, 10, 0)", "0"},   // the shaped statue
            {"bv.move_statue(0, 20, 1, 30, 0.5)", "1"},
            {"bv.move_statue(-1e300, 20, 1, 30, 0.5)", "0"},
            {"bv.move_statue(2, 20, 1, 30, 0.5)", "0"},
            {"bv.move_statue_absolute(0, 1, 2, 3, [1, 2, 3, 4, 5, 6, 7, 8, 9])", "1"},
            {"bv.move_statue_absolute(1, 1, 2, 3, [1, 0, 0, 0, 1, 0, 0, 0, 1])", "0"},
            {"bv.move_statue_absolute(2, 1, 2, 3)", "0"},
            {"bv.find_statue('', '', 0)", "0"},
            {"bv.find_statue('', '', -1000000) < 0", "true"},
            {"bv.find_statue('', '', -2147483647 - 2)", std::to_string(-fs)},
            {"bv.find_statue('@not/loaded.jm', '', 0)", "-1"},
            {"bv.find_statue('', '', 5)", "-1"},
            {"bv.find_billboard('', 0)", "2"},
            {"bv.find_billboard('@not/loaded.png', 0)", "-1"},
            {"bv.add_statue(1, 0, 1, 0, '@models/cube.jm', '', '')", "-1"},
            {"bv.add_billboard(1, 0, 1, 1, 1, '@billboards/tree.png')", "-1"},
            {"bv.pose_statue(1, 2, [], [], []) + bv.move_statue(1, 0, 0, 0, 0)", "1"},
        });
        const billboard* b = billboard_at(fb + 1);
        p.check(b->colour[0] == 255 && b->colour[1] == 0 && b->colour[2] == 128 && b->colour[3] == 255,
                "colour bytes " + std::to_string(b->colour[0]) + " " + std::to_string(b->colour[1]) + " " +
                    std::to_string(b->colour[2]) + " " + std::to_string(b->colour[3]));
        const billboard* moved = billboard_at(fb + 2);
        p.check(moved->x == 30 && moved->z == 40 && moved->y == terrain_height_at(&track_terrain, 30, 40) + 4,
                "move_billboard places on the ground");
        const statue* s = statue_at(fs);
        p.check(s->rotation[1] == 4 && s->rotation[3] == 2 && s->rotation[0] == 1, "statue rotation stored transposed");
        p.check(track_terrain.change_flags == 7, "a statue move marks the terrain changed");

        // The camera round trip: what get_camera_location gives, move_statue_absolute turns
        // into the camera's own orientation.
        const float cam[9] = {0, 0, 1, 0, 1, 0, -1, 0, 0};
        std::memcpy(current_camera.rotation, cam, sizeof cam);
        current_camera.position[0] = 7;
        p.same(scripttest::js("(function () { var p = [], r = []; var ok = bv.get_camera_location(p, r);"
                              " bv.move_statue_absolute(0, p[0], p[1], p[2], r); return [ok, p, r]; })()"),
               "[1,[7,0,0],[0,0,-1,0,1,0,1,0,0]]", "camera location");
        p.check(std::memcmp(statue_at(fs)->rotation, cam, sizeof cam) == 0 && statue_at(fs)->x == 7,
                "the statue took the camera's orientation");
        return p.text;
    });
}

TEST(ScriptApi, PoseSequencesCopyBlendAndRefuseBadSizes)
{
    bvtest::in_fresh_process([] {
        Problems p;
        bvtest::TempDir root;
        scripttest::start(root);
        scripttest::write_track(root, "api", "bv.loaded = 1;");
        scripttest::race_on("api");
        const int32_t fs = first_track_statue;
        scripttest::run("var seq = bv.cache_pose_sequence({frame_count: 4, bone_count: 2, rest_centers: [1, 2, 3, 4, 5, 6],"
                        " poses: [0, 1, 2, 3].map(function (f) { var r = []; for (var i = 0; i < 18; i++) r.push(f * 10 + i);"
                        " return {centers: [f, f, f, -f, -f, -f], rotations: r}; })});");
        check_rows(p, {
            {"seq", "0"},
            {"bv.pose_statue_from_sequence(0, seq, 2.0)", "1"},
        });
        const statue* s = statue_at(fs);
        p.check(s->bone_count == 2 && s->bone_centres[3] == 4 && s->bone_translations[0] == 2 &&
                    s->bone_translations[3] == -2 && s->bone_rotations[0] == 20 && s->bone_rotations[17] == 37,
                "t = 2 copies frame 2");
        scripttest::run("bv.pose_statue_from_sequence(0, seq, 2.5);");
        p.check(s->bone_translations[0] == 2.5f && s->bone_rotations[9] == 34.0f, "t = 2.5 blends frames 2 and 3");
        scripttest::run("bv.pose_statue_from_sequence(0, seq, NaN);");
        p.check(s->bone_translations[0] == 0 && s->bone_rotations[1] == 1, "NaN uses frame 0");
        scripttest::run("bv.pose_statue_from_sequence(0, seq, 99);");
        p.check(s->bone_translations[0] == 3, "past the end uses the last frame");
        check_rows(p, {
            {"bv.pose_statue(0, 3, [], [], [])", "0"},   // posed with 2 bones already
            {"bv.pose_statue(0, 33, [], [], [])", "0"},
            {"bv.pose_statue(-1, 1, [], [], [])", "1"},   // a start gate
            {"bv.create_pose_sequence(1e9, 1e9)", "-1"},
            {"bv.create_pose_sequence(0, 3)", "-1"},
            {"bv.create_pose_sequence(3, -1)", "-1"},
            {"bv.create_pose_sequence(NaN, 2)", "-1"},
            {"bv.create_pose_sequence(1 << 20, 32)", "-1"},   // past the pose memory
            {"bv.set_pose_sequence_rest(seq, 2, [0, 0, 0])", "0"},
            {"bv.set_pose_sequence_frame(seq, 4, 0, [], [])", "0"},
            {"bv.set_pose_sequence_frame(seq, 3, 1, 5, 'x')", "1"},
            {"bv.pose_statue_from_sequence(0, 7, 0)", "0"},
        });
        p.check(pose_sequence_count == 1, "a refused sequence was kept");
        // A rotation read through a getter that makes sequences while the native reads it.
        scripttest::run("var r = []; Object.defineProperty(r, 0, {get: function () { for (var i = 0; i < 3000; i++)"
                        " bv.create_pose_sequence(1, 1); return 1; }}); bv.set_pose_sequence_frame(seq, 0, 0, r, r);");
        p.check(pose_sequence_count == 1024, "table full after the getter: " + std::to_string(pose_sequence_count));
        p.same(scripttest::js("bv.create_pose_sequence(1, 1)"), "-1", "the 1025th sequence");
        p.same(scripttest::js("bv.pose_statue_from_sequence(0, seq, 0)"), "1", "the first sequence is intact");
        return p.text;
    });
}

TEST(ScriptApi, TheGameTickCallsTheTickHandlerFirstAndGoesOnAfterAStop)
{
    bvtest::in_fresh_process([] {
        Problems p;
        bvtest::TempDir root;
        scripttest::start(root);
        scripttest::write_track(root, "ticks", "var seen = []; bv.tic_handler = function (s) {"
                                               " seen.push(s * 128); if (seen.length == 3) for (;;) {} };");
        scripttest::race_on("ticks");
        const int32_t first = race.tick;
        ConsoleCapture lines;
        for (int i = 0; i < 6; ++i) {
            // The game's own budget stops the endless third call; the calls before it
            // may wait as long as a busy machine likes.
            if (i == 2)
                script_limit.call_budget_ms = kDefaultScriptLimits.call_budget_ms;
            game_tick();
        }
        p.same(scripttest::js("seen"),
               "[" + std::to_string(first) + "," + std::to_string(first + 1) + "," + std::to_string(first + 2) + "]",
               "the ticks the handler saw");
        p.check(race.tick == first + 6, "the race stopped ticking");
        p.check(lines.text().find("javascript error: track script stopped: bv.tic_handler_") != std::string::npos,
                "no stop line");
        return p.text;
    });
}

}  // namespace

namespace {

// Every native with no arguments, too many, texts, objects, NaN, infinities and huge
// numbers: none throws, each answers a number (a text for the three text getters,
// nothing for the two message functions), the
// tables keep their sizes, and the script goes on.
TEST(ScriptApi, EveryNativeTakesAnyArgumentsQuietly)
{
    bvtest::in_fresh_process([] {
        Problems p;
        bvtest::TempDir root;
        scripttest::start(root);
        scripttest::write_track(root, "any", "var seq = bv.create_pose_sequence(2, 1);");
        scripttest::race_on("any");
        for (int t = 0; t < 3; ++t)
            game_tick();
        const int32_t statues_before = statue_count(), billboards_before = billboard_count();
        const int32_t sequences_before = pose_sequence_count;
        std::string names = "[";
        for (int i = 0; script_api_names[i]; ++i)
            names += std::string(i ? "," : "") + "'" + script_api_names[i] + "'";
        names += "]";
        ConsoleCapture lines;
        const std::string wrong = scripttest::js(
            "(function () {"
            "  var names = " + names + ", wrong = [];"
            "  var kinds = {get_rider_number: 'string', get_rider_name: 'string', get_bike_model: 'string',"
            "               message: 'undefined', broadcast_script_message: 'undefined'};"
            "  function many(v, n) { var a = []; for (var i = 0; i < n; i++) a.push(v); return a; }"
            "  var sets = [[], many(NaN, 8), many(Infinity, 8), many(-Infinity, 8), many(1e300, 8),"
            "              many(-1e300, 8), many('abc', 8), many(undefined, 8), many(null, 8), many({}, 8),"
            "              many(true, 8), many(0, 14), many(-1, 8), many(2147483648, 8)];"
            "  for (var n = 0; n < names.length; n++)"
            "    for (var s = 0; s < sets.length; s++) {"
            "      var r;"
            "      try { r = bv[names[n]].apply(null, sets[s]); }"
            "      catch (e) { wrong.push(names[n] + '/' + s + ' threw ' + e); continue; }"
            "      if (typeof r != (kinds[names[n]] || 'number'))"
            "        wrong.push(names[n] + '/' + s + ' gave ' + typeof r);"
            "    }"
            "  return wrong;"
            "})()");
        p.same(wrong, "[]", "natives that threw or answered the wrong type");
        p.check(statue_count() == statues_before && billboard_count() == billboards_before,
                "the statue or billboard table changed size");
        p.check(pose_sequence_count == sequences_before, "a pose sequence was made");
        p.check(lines.text().find("javascript error: track script stopped") == std::string::npos, "the script stopped");
        p.same(scripttest::js("bv.pose_statue_from_sequence(0, seq, 0.5)"), "1", "the script still works");

        // Array elements behind a Proxy whose traps call the API, pose sequences too,
        // while a native reads or fills the array.
        const std::string trapped = scripttest::js(
            "(function () {"
            "  function busy() { bv.create_pose_sequence(1, 1); bv.move_statue(0, 5, 0, 5, 0);"
            "    bv.color_billboard(0, 1, 0, 0, 1); bv.pose_statue(0, 1, [], [], []); }"
            "  var trap = new Proxy([], {get: function (t, k) { busy(); return 0.5; },"
            "                            set: function (t, k, v) { busy(); t[k] = v; return true; }});"
            "  return [bv.pose_statue(0, 32, trap, trap, trap), bv.set_pose_sequence_frame(seq, 1, 0, trap, trap),"
            "          bv.set_pose_sequence_rest(seq, 0, trap), bv.pose_statue_from_sequence(0, seq, 0.5),"
            "          bv.get_position_(0, trap), bv.get_camera_location(trap, trap),"
            "          bv.move_statue_absolute(0, 1, 2, 3, trap), bv.get_front_contact_velocity(0, trap)];"
            "})()");
        p.check(trapped.size() > 2 && trapped.find("error") == std::string::npos, "the trapped calls: " + trapped);
        p.check(pose_sequence_count <= 1024 && statue_count() == statues_before && billboard_count() == billboards_before,
                "the tables after the traps");
        p.check(statue_at(first_track_statue)->bone_count >= 1, "the statue lost its pose buffers");
        for (int t = 0; t < 3; ++t)
            game_tick();
        return p.text;
    });
}

}  // namespace
