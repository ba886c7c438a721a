// The sample track's own script in a headless two-lap race: it greets, adds its
// marshal, sign and start light, waves and lowers the flag, turns the light green and
// sounds the horn at the drop, spins the sign, and calls the last lap once, when the
// leader really starts it. A copy of the sample under another name in the user folder,
// the way a player starts a track of their own, runs the same script clean.
#include "script_fixture.h"

#include "race/game_tick.h"
#include "race/race_results.h"
#include "race/race_rules.h"
#include "race/race_state.h"
#include "race/track_load.h"
#include "race/program/audio_start.h"
#include "race_fixture.h"
#include "platform/qorl_audio.h"
#include "script/script_host.h"
#include "script/script_seams.h"
#include "script/script_tables.h"
#include "support/console_capture.h"
#include "support/fresh_process.h"
#include "terrain/billboards.h"
#include "terrain/statues.h"
#include "terrain/timing_gates.h"
#include "sim/gate_times.h"
#include "sim/rider_slot.h"
#include "terrain/track_list.h"
#include "view/script_sounds.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>

namespace {

using bvtest::Problems;

std::string colour_of(const billboard* b)
{
    return std::to_string(b->colour[0]) + "," + std::to_string(b->colour[1]) + "," + std::to_string(b->colour[2]);
}

void one_tick()
{
    game_tick();
    script_call_frame_handler();
}

TEST(ScriptSample, ATwoLapRaceOnTheSampleTrackWithItsScript)
{
    bvtest::in_fresh_process([] {
        Problems p;
        bvtest::TempDir root;
        scripttest::start(root);
        // The game's own limits, but for time: those are wall-clock, and can stop this
        // well-behaved script while a busy machine keeps it waiting (most of all under
        // the sanitizers), after which its handlers do nothing and the race goes uncalled.
        scripttest::game_limits_but_time();
        race_rules_install();   // the running order the script reads
        qorl_audio* audio = qorl_audio_open_readback(nullptr, 44100, 441);
        audio_device = audio;
        scan_tracks();
        ConsoleCapture lines;
        race_requested_folder = "tracks/sample";
        race_opts.seed = 3;
        int32_t lineup[160] = {2, 2};
        reset_race(lineup, 0, 0, 0, 2, 0);
        if (!script_current)
            return std::string("the sample track's script did not load");
        p.check(scripttest::count_of(lines.text(), "Welcome to Brovanta Valley MX\n") == 1, "no welcome line");
        if (script_added.statue_end - script_added.statue_first != 2 ||
            script_added.billboard_end - script_added.billboard_first != 1)
            return p.text + "the script added " + std::to_string(script_added.statue_end - script_added.statue_first) +
                   " statues and " + std::to_string(script_added.billboard_end - script_added.billboard_first) +
                   " billboards: " + lines.text();
        const statue* marshal = statue_at(script_added.statue_first);
        const statue* sign = statue_at(script_added.statue_first + 1);
        const billboard* light = billboard_at(script_added.billboard_first);
        p.check(marshal->from_script && sign->from_script && light->from_script &&
                    !statue_at(first_track_statue)->from_script && !billboard_at(first_track_billboard)->from_script,
                "the script's objects are not marked as the script's, or the track's are");

        // Where each rider waits behind the gate: it holds there until the drop on
        // ground with grip (on ground without, the bikes roll away from the gate).
        float waiting[2][3];
        for (int k = 0; k < 2; ++k)
            for (int i = 0; i < 3; ++i)
                waiting[k][i] = float(dBodyGetPosition(rider_slots[k].bodies[body_frame])[i]);
        one_tick();
        p.check(marshal->bone_count == 3, "the marshal has " + std::to_string(marshal->bone_count) + " bones posed");
        p.check(race.tick < race.gate_drop_tick, "the gate is down already");
        p.same(colour_of(light), "255,26,13", "the light before the drop");
        float turned[9];
        std::memcpy(turned, sign->rotation, sizeof turned);
        for (int i = 0; i < 128 && race.tick < race.gate_drop_tick; ++i)
            one_tick();
        p.check(std::memcmp(turned, sign->rotation, sizeof turned) != 0, "the sign did not turn over a second");
        float arm[9];
        std::memcpy(arm, marshal->bone_rotations + 9, sizeof arm);
        one_tick();
        p.check(std::memcmp(arm, marshal->bone_rotations + 9, sizeof arm) != 0, "the marshal's arm is still");

        while (race.tick <= race.gate_drop_tick)
            one_tick();
        for (int k = 0; k < 2; ++k) {
            const dReal* at = dBodyGetPosition(rider_slots[k].bodies[body_frame]);
            const float moved = std::hypot(float(at[0]) - waiting[k][0], float(at[2]) - waiting[k][2]);
            p.check(moved < 1, "rider " + std::to_string(k) + " moved " + std::to_string(moved) + " ft before the drop");
        }
        one_tick();
        p.same(colour_of(light), "26,255,51", "the light after the drop");
        p.same(scripttest::js("horn_at_drop"), "1", "start_sound at the drop");
        std::memcpy(arm, marshal->bone_rotations + 9, sizeof arm);
        one_tick();
        p.check(std::memcmp(arm, marshal->bone_rotations + 9, sizeof arm) == 0, "the flag waves after the drop");

        // The race goes on until the leader starts its last lap (about 100 s on the
        // novice lines); the script calls it once, as the leader crosses the line.
        const int32_t drop = race.gate_drop_tick;
        auto leader_on_last_lap = [] {
            return running_order.count > 0 &&
                   rider_get_timing_position(&rider_slots[running_order.rows[0].slot]) >=
                       timing_gates.firstlap_length;
        };
        while (!leader_on_last_lap() && race.tick - drop < 128 * 150) {
            one_tick();
            if (scripttest::js("last_lap_called") != "false") {
                p.check(false, "the last lap was called during the first");
                break;
            }
        }
        p.check(leader_on_last_lap(), "no rider finished the first lap within 150 s");
        for (int i = 0; i < 128 * 2; ++i)
            one_tick();
        const std::string text = lines.text();
        p.check(scripttest::count_of(text, "Last lap!\n") == 1,
                "\"Last lap!\" printed " + std::to_string(scripttest::count_of(text, "Last lap!\n")) + " times by tick " +
                    std::to_string(race.tick));
        p.check(text.find("javascript error") == std::string::npos && !script_current->stopped, "script errors: " + text);
        script_unload();
        script_sounds_free();
        audio_device = nullptr;
        qorl_audio_close(audio);
        return p.text;
    });
}

// A script may name no other track's folder: one that named the sample's outright was
// refused each of its files in a copy, with a "javascript error" line for each.
TEST(ScriptSample, ACopyUnderAnotherNameRunsTheScriptCleanWithItsObjectsAndHorn)
{
    bvtest::in_fresh_process([] {
        Problems p;
        bvtest::TempDir root;
        scripttest::start(root);
        scripttest::game_limits_but_time();
        qorl_audio* audio = qorl_audio_open_readback(nullptr, 44100, 441);
        audio_device = audio;
        bvtest::make_dirs(racetest::user_folder(root) + "/tracks");
        std::filesystem::copy(BV_BUILD_DIR "/base_staging/tracks/sample",
                              racetest::user_folder(root) + "/tracks/my_valley",
                              std::filesystem::copy_options::recursive);
        scan_tracks();
        ConsoleCapture lines;
        race_requested_folder = "tracks/my_valley";
        race_opts.seed = 3;
        int32_t lineup[160] = {2};
        reset_race(lineup, 0, 0, 0, 2, 0);
        p.check(track_folder && std::strcmp(track_folder, "tracks/my_valley") == 0, "the copy is not the track loaded");
        if (!script_current)
            return p.text + "the copy's script did not load";
        const int32_t statues_added = script_added.statue_end - script_added.statue_first;
        const int32_t billboards_added = script_added.billboard_end - script_added.billboard_first;
        p.check(statues_added == 2 && billboards_added == 1,
                "the script added " + std::to_string(statues_added) + " statues and " +
                    std::to_string(billboards_added) + " billboards");
        if (p.text.empty()) {
            const statue* marshal = statue_at(script_added.statue_first);
            const statue* sign = statue_at(script_added.statue_first + 1);
            p.check(marshal->mesh && marshal->texture && sign->mesh && sign->texture,
                    "the marshal or the sign came without its model or its skin");
            p.check(billboard_at(script_added.billboard_first)->texture != 0, "the light came without its picture");
        }
        p.same(scripttest::js("horn"), "0", "the horn's sound");
        for (int i = 0; i < 8; ++i)
            one_tick();
        // The script's error lines alone: the track load's own progress lines come between.
        const std::string text = lines.text();
        std::string errors;
        for (size_t at = text.find("javascript error"); at != std::string::npos;
             at = text.find("javascript error", at + 1))
            errors += text.substr(at, text.find('\n', at) - at + 1);
        p.check(errors.empty() && !script_current->stopped, "script errors:\n" + errors);
        script_unload();
        script_sounds_free();
        audio_device = nullptr;
        qorl_audio_close(audio);
        return p.text;
    });
}

}  // namespace
