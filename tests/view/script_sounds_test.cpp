#include "view/script_sounds.h"

#include "engine_fixture.h"
#include "foundation/memory.h"
#include "platform/readback.h"
#include "support/archive_bytes.h"
#include "support/console_capture.h"
#include "race/program/audio_start.h"
#include "support/fresh_process.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

constexpr int32_t kBlock = 441;

bool silent(const bvtest::samples& s)
{
    return std::all_of(s.begin(), s.end(), [](int v) { return v == 128; });
}

// A folder of sample files, the readback driver at 44100 Hz and the listener at the
// origin; every sound freed before the driver closes.
struct ScriptSounds : bvtest::Readback {
    void with_files(const std::function<void(bvtest::Problems&)>& body)
    {
        bvtest::in_fresh_process([&] {
            bvtest::TempDir root;
            game_ = root / "game";
            std::string tone;
            for (int i = 0; i < 2000; ++i)
                tone += std::string("\x00\x40", 2);   // 0x4000: 8-bit 0xC0
            bvtest::write_file(root / "game/s/tone.raw", tone);
            bvtest::write_file(root / "game/s/short.raw", tone.substr(0, 200));
            bvtest::write_file(root / "game/s/bytes.raw", std::string("\x34\x12\x00\x80\xff\x7f\x55", 7));
            bvtest::write_file(root / "game/s/empty.raw", "");
            bvtest::write_file(root / "game/s/one.raw", "x");
            bvtest::make_dirs(root / "user");
            bvtest::use_folders(root / "user", root / "game");
            audio_ = qorl_audio_open_readback(nullptr, 44100, kBlock);
            block_ = kBlock;
            audio_device = audio_;
            enginetest::install();
            bvtest::Problems p;
            body(p);
            script_sounds_free();
            qorl_audio_close(audio_);
            audio_ = nullptr;
            audio_device = nullptr;
            return p.text;
        });
    }
    void TearDown() override {}
    std::string game_;   // the game folder of the files
    // One frame: the update at level 1, then one block; the left channel.
    bvtest::samples frame(bvtest::samples* right = nullptr)
    {
        engine_sound_update(1);
        return mix(right);
    }
};

TEST_F(ScriptSounds, SampleFiles)
{
    with_files([](bvtest::Problems& p) {
        uint8_t* samples = nullptr;
        int32_t n = script_sound_read("@s/bytes.raw", &samples);
        p.check(n == 3 && samples[0] == 0x92 && samples[1] == 0x00 && samples[2] == 0xFF, "8-bit samples");
        mem_free(samples);
        for (const char* bad : {"@s/none.raw", "@s/empty.raw", "@s/one.raw"})
            p.check(sound_add(bad) == -1, bad);
        p.check(sound_count == 0, "nothing counted");
    });
}

TEST_F(ScriptSounds, SharedSamplesPlayIndependently)
{
    with_files([this](bvtest::Problems& p) {
        int32_t a = sound_add("@s/tone.raw"), b = sound_add("@s/tone.raw");
        p.check(a == 0 && b == 1, "two ids");
        p.check(sound_entries[0].file_name == sound_entries[1].file_name, "one interned name");
        p.check(sound_set_loop(a, 1) && sound_set_loop(b, 7), "loop");
        const float left[3] = {-10, 0, 0}, right[3] = {10, 0, 0};
        sound_set_pos(a, left);
        sound_set_pos(b, right);
        sound_set_vol(a, 1);
        sound_set_vol(b, 1);
        sound_set_freq(a, 44100);
        sound_set_freq(b, 22050);
        p.check(sound_start(a) && sound_start(b), "start");
        frame();
        bvtest::samples r;
        bvtest::samples l = frame(&r);
        p.check(!silent(l) && !silent(r), "both heard");
        p.check(sound_stop(b) != 0, "stop");
        frame();
        for (int i = 0; i < 3; ++i) {
            l = frame(&r);
            p.check(!silent(l) && silent(r), "the other plays on");
        }
    });
}

TEST_F(ScriptSounds, ControlsStartStopAndLoop)
{
    with_files([this](bvtest::Problems& p) {
        int32_t id = sound_add("@s/tone.raw");
        voice_controls fresh = script_voice_controls(sound_entries[id], 1);
        p.check(fresh.volume == 0 && fresh.rate == 100 && fresh.pan == 0, "a fresh sound is silent at rate 100");
        const float one[3] = {0, 0, -1};
        sound_set_pos(id, one);
        sound_set_vol(id, 1);
        sound_set_freq(id, 44100);
        voice_controls c = script_voice_controls(sound_entries[id], 1);
        p.check(c.volume == 26213 && c.rate == 44100, "volume 1 at distance 1");
        p.check(script_voice_controls(sound_entries[id], 0.5f).volume == 13106, "master");
        sound_set_vol(id, std::nanf(""));
        c = script_voice_controls(sound_entries[id], 1);
        p.check(c.volume == 0 && c.rate == 100, "a NaN volume");
        sound_set_vol(id, 1);
        const float inf3[3] = {INFINITY, 0, 0};
        sound_set_pos(id, inf3);
        c = script_voice_controls(sound_entries[id], 1);
        p.check(c.volume == 0 && c.rate == 100 && c.pan == 0, "an infinite position");
        sound_set_pos(id, one);

        // Unlooped: 2000 samples end within the fifth block.
        p.check(silent(frame()), "silent before start");
        sound_start(id);
        frame();
        p.check(!silent(frame()), "playing");
        for (int i = 0; i < 4; ++i)
            frame();
        p.check(silent(frame()), "ends at its length");
        // Looped, it goes on; stopped, it falls silent after the fade.
        sound_set_loop(id, 1);
        sound_start(id);
        for (int i = 0; i < 8; ++i)
            frame();
        p.check(!silent(frame()), "a loop goes on");
        sound_stop(id);
        frame();
        p.check(silent(frame()), "stopped");
    });
}

// A sound may last 10 minutes (16-bit at 44.1 kHz, after inflation), a track's sounds
// three times that together; one sample past either is refused with its line.
TEST_F(ScriptSounds, TenMinuteSoundsUpToTheTracksTotal)
{
    with_files([this](bvtest::Problems& p) {
        const std::string& game = game_;
        for (const char* name : {"ten_a", "ten_b", "ten_c"})
            bvtest::write_file(game + "/s/" + name + ".raw.gz", bvtest::gzip_repeated('\x01', kScriptSoundMaxBytes));
        bvtest::write_file(game + "/s/over.raw.gz", bvtest::gzip_repeated('\x01', kScriptSoundMaxBytes + 2));
        bvtest::write_file(game + "/s/sample.raw", "\x01\x01");
        {
            ConsoleCapture lines;
            p.check(sound_add("@s/over.raw") == -1, "a sample past 10 minutes");
            p.same(lines.text(), "Sound @s/over.raw not loaded: longer than 10 minutes at 44.1 kHz\n", "its line");
        }
        p.check(script_sound_bytes == 0, "nothing kept of it");
        p.check(sound_add("@s/ten_a.raw") == 0, "10 minutes");
        p.check(script_sound_bytes == 600 * 44100, "held: " + std::to_string(script_sound_bytes));
        p.check(sound_add("@s/ten_b.raw") == 1 && sound_add("@s/ten_c.raw") == 2, "30 minutes in three sounds");
        p.check(script_sound_bytes == kScriptSoundsMaxSamples, "the total reached");
        ConsoleCapture lines;
        p.check(sound_add("@s/sample.raw") == -1, "one sample past the total");
        p.same(lines.text(), "Sound @s/sample.raw not loaded: the track's sounds would pass 30 minutes at 44.1 kHz\n",
               "its line");
        p.check(sound_add("@s/ten_a.raw") == 3, "a voice of a loaded sound takes no more");
    });
}

TEST_F(ScriptSounds, BadIdsFullTableAndReset)
{
    with_files([](bvtest::Problems& p) {
        const float v[3] = {1, 2, 3};
        for (int32_t bad : {-1, 0, kScriptSounds})
            p.check(!sound_start(bad) && !sound_stop(bad) && !sound_set_loop(bad, 1) && !sound_set_freq(bad, 1) &&
                        !sound_set_vol(bad, 1) && !sound_set_pos(bad, v) && !sound_set_vel(bad, v),
                    "bad id " + std::to_string(bad));
        for (int32_t i = 0; i < kScriptSounds; ++i)
            if (sound_add("@s/short.raw") != i) {
                p.check(false, "add " + std::to_string(i));
                break;
            }
        p.check(sound_add("@s/short.raw") == -1, "the 4097th");
        p.check(sound_set_vel(kScriptSounds - 1, v) == 1 && sound_entries[kScriptSounds - 1].velocity[2] == 3, "vel");
        script_sounds_free();
        p.check(sound_count == 0 && sound_entries[0].voice == nullptr, "reset");
        p.check(sound_add("@s/tone.raw") == 0, "ids start at 0 again");
    });
}

}  // namespace
