// The script host without a race: calls by dotted path and their error texts, the
// printed error line, which file of a track folder runs, and what loading leaves when
// the script is missing or broken.
#include "script_fixture.h"

#include "race_fixture.h"

#include "script/script_host.h"
#include "script/script_seams.h"
#include "support/console_capture.h"
#include "support/fresh_process.h"

#include "duktape.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using bvtest::Problems;

// Honest calls get budgets no busy machine runs out of; the limits are restored after.
struct Host {
    script_limits kept = script_limit;
    script_host* host = (script_limit.call_budget_ms = script_limit.load_budget_ms = scripttest::kGenerousBudgetMs,
                         script_host_create());
    ~Host()
    {
        script_host_destroy(host);
        script_limit = kept;
    }
};

TEST(ScriptHost, DottedPathErrorsKeepTheStackAsItWas)
{
    Host h;
    ASSERT_TRUE(h.host);
    duk_context* ctx = h.host->engine;
    ASSERT_EQ(script_eval(h.host, "var a = {b: undefined, n: 5, f: function (x, y) { return x * y; },"
                                  " t: function () { throw new Error('boom'); },"
                                  " long: function () { throw new Error(new Array(2000).join('e')); } };"),
              1);
    const duk_idx_t top = duk_get_top(ctx);
    const std::string long_name(1024, 'q');
    struct row {
        std::string path;
        int result;
        std::string error;
    } rows[] = {
        {"a.b.c", 0, "can't find c"},
        {"a.n", 0, "n is not a function"},
        {"a.f", 2, ""},
        {long_name, 0, "can't find " + long_name.substr(0, 800)},
        {"a.t", DUK_EXEC_ERROR, "Error: boom"},
    };
    for (const row& r : rows) {
        const int got = r.path == "a.f" ? script_call_path(h.host, "a.f", "1", "2", static_cast<const char*>(nullptr))
                                        : script_call_path(h.host, r.path.c_str(), static_cast<const char*>(nullptr));
        EXPECT_EQ(got, r.result) << r.path.substr(0, 20);
        EXPECT_EQ(script_error_text(h.host), r.error) << r.path.substr(0, 20);
        EXPECT_EQ(duk_get_top(ctx), top) << r.path.substr(0, 20);
    }
    script_call_path(h.host, "a.long", static_cast<const char*>(nullptr));
    EXPECT_EQ(std::string(script_error_text(h.host)).size(), 1023u);
    EXPECT_EQ(duk_get_top(ctx), top);
    // A result outside 32 bits is the most negative int.
    script_eval(h.host, "a.big = function () { return 1e300; };");
    EXPECT_EQ(script_call_path(h.host, "a.big", static_cast<const char*>(nullptr)), INT32_MIN);
}

TEST(ScriptHost, TheErrorLineIsCutAndNeverEmpty)
{
    bvtest::in_fresh_process([] {
        Problems p;
        bvtest::TempDir root;
        scripttest::start(root);
        Host h;
        ConsoleCapture none;
        script_report_error(h.host);
        p.check(none.text().empty(), "an empty error text printed: " + none.text());
        ConsoleCapture cut;
        script_eval(h.host, ("throw '" + std::string(1500, 'z') + "';").c_str());
        script_report_error(h.host);
        p.same(cut.text(), "javascript error: " + std::string(900, 'z') + "\n", "cut line");
        return p.text;
    });
}

TEST(ScriptHost, LoadingPicksNofrillsKeepsThePreludeAndReportsEachFailureOnce)
{
    bvtest::in_fresh_process([] {
        Problems p;
        bvtest::TempDir root;
        scripttest::start(root);
        const std::string user = racetest::user_folder(root) + "/tracks/";
        bvtest::write_file(user + "both/nofrills.js", "bv.which = 'nofrills';");
        bvtest::write_file(user + "both/frills.js", "bv.which = 'frills';");
        bvtest::write_file(user + "throws/nofrills.js", "throw new Error('first line');\nbv.after = 1;");
        bvtest::write_file(user + "syntax/nofrills.js", "bv.tic_handler = function ( {");

        // The track start picks the file; a direct load of the other name would run it.
        p.check(script_load("@tracks/both/nofrills.js") == 1, "nofrills did not load");
        p.same(scripttest::js("bv.which"), "\"nofrills\"", "the script that ran");
        script_unload();
        script_unload();   // twice is harmless
        p.check(script_current == nullptr, "unload left an engine");

        p.check(script_load("@tracks/nowhere/nofrills.js") == 0 && script_current == nullptr, "missing file");
        script_call_tic_handler();
        script_call_frame_handler();
        script_call_message_handler("hello");

        ConsoleCapture thrown;
        p.check(script_load("@tracks/throws/nofrills.js") == 1, "a throwing script is not loaded");
        p.same(scripttest::js("[bv.lap_to_index(0), typeof bv.after]"), "[0,\"undefined\"]", "prelude kept");
        p.check(scripttest::count_of(thrown.text(), "javascript error: ") == 1 &&
                    thrown.text().find("first line") != std::string::npos,
                "one error line: " + thrown.text());

        ConsoleCapture syntax;
        p.check(script_load("@tracks/syntax/nofrills.js") == 1, "a broken script is not loaded");
        p.check(scripttest::count_of(syntax.text(), "javascript error: ") == 1 && syntax.text().find("SyntaxError") != std::string::npos,
                "one syntax line: " + syntax.text());
        script_call_tic_handler();
        p.same(script_error_text(script_current), "", "the default tick handler");
        p.same(scripttest::js("bv.seconds"), "0", "seconds set by the trampoline");
        script_unload();
        p.check(script_loading == 0, "still loading after unload");
        return p.text;
    });
}

// The prelude runs before script_current is set; loading is 1 only during the two evaluations.
int loading_seen = -1;
int current_seen = -1;
duk_ret_t probe(duk_context* ctx)
{
    if (loading_seen == -1)
        loading_seen = script_loading;
    current_seen = script_current != nullptr;
    duk_push_int(ctx, script_loading);
    return 1;
}

TEST(ScriptHost, LoadingIsSetOnlyWhileTheTextsRun)
{
    bvtest::in_fresh_process([] {
        Problems p;
        bvtest::TempDir root;
        scripttest::start(root);
        bvtest::write_file(racetest::user_folder(root) + "/tracks/flags/nofrills.js", "bv.during = bv.probe();");
        Host h;
        const char* names[] = {"probe", nullptr};
        const script_native functions[] = {probe};
        const int counts[] = {0};
        script_register_functions(h.host, "bv", names, functions, counts);
        script_eval(h.host, "bv.probe();");
        p.check(loading_seen == 0 && current_seen == 0, "outside a load");
        p.check(script_load("@tracks/flags/nofrills.js") == 1, "load");
        p.same(scripttest::js("bv.during"), "undefined", "probe is not on a loaded script's bv");
        p.same(scripttest::js("[typeof bv.message, bv.message.length, typeof bv.add_billboard]"),
               "[\"function\",1,\"function\"]", "registered natives");
        p.check(script_loading == 0, "loading after the load");
        script_unload();
        return p.text;
    });
}

TEST(ScriptHost, EveryNativeIsRegisteredWithItsArgumentCount)
{
    const std::pair<const char*, int> expected[] = {
        {"message", 1}, {"broadcast_script_message", 1}, {"read_texture", 1}, {"begin_custom_frame", 1},
        {"end_custom_frame", 1}, {"paste_custom_frame", 8}, {"get_max_slots", 0}, {"get_running_count", 0},
        {"get_running_order_slot", 1}, {"get_running_order_position", 1}, {"get_running_order_time", 1},
        {"get_rider_down", 1}, {"get_seconds_per_tic", 0}, {"get_first_lap_length", 0},
        {"get_normal_lap_length", 0}, {"get_timing_position", 1}, {"get_timing", 2},
        {"gate_from_timing_position", 1}, {"get_rider_number", 1}, {"get_rider_name", 1}, {"get_bike_model", 1},
        {"get_elevation", 2}, {"get_tile_number", 2}, {"get_position_", 2}, {"get_velocity_", 2},
        {"get_finish_laps", 0}, {"get_finish_time", 0}, {"get_gate_drop_time", 0}, {"get_player_slot", 0},
        {"pose_statue", 5}, {"create_pose_sequence", 2}, {"set_pose_sequence_rest", 3},
        {"set_pose_sequence_frame", 5}, {"pose_statue_from_sequence", 3}, {"move_statue", 5},
        {"move_statue_absolute", 5}, {"move_billboard", 4}, {"move_billboard_absolute", 4}, {"size_billboard", 2},
        {"color_billboard", 5}, {"add_sound", 1}, {"start_sound", 1}, {"stop_sound", 1}, {"set_sound_loop", 2},
        {"set_sound_freq", 2}, {"set_sound_vol", 2}, {"set_sound_pos", 4}, {"set_sound_vel", 4},
        {"get_camera_location", 2}, {"get_front_contact_depth", 1}, {"get_front_contact_position", 2},
        {"get_front_contact_slip", 2}, {"get_front_contact_velocity", 2}, {"get_rear_contact_depth", 1},
        {"get_rear_contact_position", 2}, {"get_rear_contact_slip", 2}, {"get_rear_contact_velocity", 2},
        {"find_statue", 3}, {"add_statue", 7}, {"find_billboard", 2}, {"add_billboard", 6}};
    ASSERT_EQ(std::size(expected), size_t(kScriptApiFunctions));
    for (int i = 0; i < kScriptApiFunctions; ++i) {
        EXPECT_STREQ(script_api_names[i], expected[i].first);
        EXPECT_EQ(script_api_arg_counts[i], expected[i].second) << expected[i].first;
    }
    EXPECT_EQ(script_api_names[kScriptApiFunctions], nullptr);
}

}  // namespace
