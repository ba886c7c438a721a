// What a script hears and says: its sounds through the readback driver, script
// messages handed on by the network client and the demo player, and broadcasts that
// stay quiet while switched off or offline.
#include "script_fixture.h"

#include "race/demo/demo.h"
#include "race/race_hooks.h"
#include "race/program/audio_start.h"
#include "script/script_host.h"
#include "script/script_seams.h"
#include "support/console_capture.h"
#include "support/fresh_process.h"
#include "race_fixture.h"
#include "platform/qorl_audio.h"
#include "view/sound_listener.h"
#include "view/render_world.h"
#include "view/script_sounds.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

using bvtest::Problems;

bool silent_block(qorl_audio* audio, int32_t block)
{
    engine_sound_update(1);
    const uint8_t* bytes = qorl_audio_readback(audio);
    return std::all_of(bytes, bytes + 2 * block, [](uint8_t v) { return v == 128; });
}

TEST(ScriptMessages, ASoundIsHeardOnlyAfterItsVolumeAndStart)
{
    bvtest::in_fresh_process([] {
        Problems p;
        bvtest::TempDir root;
        scripttest::start(root);
        constexpr int32_t kBlock = 441;
        qorl_audio* audio = qorl_audio_open_readback(nullptr, 44100, kBlock);
        audio_device = audio;
        std::string tone;
        for (int i = 0; i < 20000; ++i)
            tone += (i / 20) % 2 ? std::string("\x00\x40", 2) : std::string("\x00\xc0", 2);
        bvtest::write_file(racetest::user_folder(root) + "/tracks/horn/beep.raw", tone);
        scripttest::write_track(root, "horn",
                                "var id = bv.add_sound('@tracks/horn/beep.raw');"
                                "bv.set_sound_pos(id, 0, 0, -1); bv.set_sound_freq(id, 44100); bv.set_sound_loop(id, 1);");
        scripttest::race_on("horn");
        current_camera = published_camera{{0, 0, 0}, {1, 0, 0, 0, 1, 0, 0, 0, 1}};
        p.same(scripttest::js("id"), "0", "the sound's id");
        p.same(scripttest::js("bv.start_sound(id)"), "1", "start");
        p.check(silent_block(audio, kBlock) && silent_block(audio, kBlock), "heard before its volume was set");
        p.same(scripttest::js("bv.set_sound_vol(id, 1)"), "1", "volume");
        silent_block(audio, kBlock);
        p.check(!silent_block(audio, kBlock), "not heard after start");
        p.check(scripttest::js("bv.stop_sound(id)") != "0", "stop");
        silent_block(audio, kBlock);
        p.check(silent_block(audio, kBlock), "heard after stop");
        p.same(scripttest::js("[bv.start_sound(7), bv.stop_sound(-1), bv.set_sound_vol(NaN, 1), bv.set_sound_loop(9, 1),"
                              " bv.set_sound_freq(1e300, 1), bv.set_sound_pos(3, 0, 0, 0), bv.set_sound_vel(3, 0, 0, 0)]"),
               "[0,0,0,0,0,0,0]", "bad ids");
        script_unload();
        script_sounds_free();
        audio_device = nullptr;
        qorl_audio_close(audio);
        return p.text;
    });
}

TEST(ScriptMessages, MessagesReachTheHandlerAndBroadcastsStayQuietOffline)
{
    bvtest::in_fresh_process([] {
        Problems p;
        bvtest::TempDir root;
        scripttest::start(root);
        scripttest::write_track(root, "talk",
                                "var heard = []; bv.script_message_handler = function (m) { heard.push(m); };");
        scripttest::race_on("talk");
        // The network client and the demo player hand on through these two.
        race_hooks.script_call_message_handler("hello");
        demo_later_hooks.script_message("from the demo");
        p.same(scripttest::js("heard"), "[\"hello\",\"from the demo\"]", "messages heard");
        ConsoleCapture lines;
        scripttest::run("bv.broadcast_script_message('hi');");
        script_broadcasting = 1;
        scripttest::run("bv.broadcast_script_message('hi again');");
        p.check(lines.text().empty(), "an offline broadcast printed: " + lines.text());
        script_broadcasting = 0;
        return p.text;
    });
}

}  // namespace
