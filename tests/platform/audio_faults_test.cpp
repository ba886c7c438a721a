// Inputs that used to crash, divide by zero, overflow or hang the mixing: no device
// open, empty sounds, rate 0, tiny looping sounds at high rates, resampling of long
// clips, and a second open over a live one.
#include "readback.h"

#include <climits>
#include <unistd.h>

namespace {

using bvtest::bytes;
using bvtest::samples;

TEST(AudioWithoutDevice, EveryCallIsHarmless)
{
    ASSERT_EQ(qorl_audio_readback(nullptr), nullptr);
    // Never dereferenced: with no driver nothing reaches a driver.
    auto* bogus = reinterpret_cast<qorl_sound*>(alignof(max_align_t));
    const uint8_t data[4] = {1, 2, 3, 4};
    EXPECT_EQ(qorl_sound_new(nullptr, 4, data, 0), nullptr);
    EXPECT_EQ(qorl_voice_new(bogus), nullptr);
    EXPECT_EQ(qorl_sound_play(bogus), 0);
    EXPECT_EQ(qorl_sound_stop(bogus), 0);
    EXPECT_EQ(qorl_sound_set_rate(bogus, 22050), 0);
    EXPECT_EQ(qorl_sound_set_volume(bogus, 100), 0);
    EXPECT_EQ(qorl_sound_set_pan(bogus, 100), 0);
    EXPECT_EQ(qorl_sound_set_loop(bogus, 1), 0);
    EXPECT_EQ(qorl_sound_position(bogus), 0);
    EXPECT_EQ(qorl_stream_write(bogus, 4, data, 0), 0);
    qorl_sound_free(bogus);
    EXPECT_EQ(qorl_audio_update(nullptr), 1);
    qorl_audio_close(nullptr);

    // Nor does a null sound with a device open.
    qorl_audio* audio = qorl_audio_open_readback(nullptr, 22050, 4);
    ASSERT_NE(audio, nullptr);
    EXPECT_EQ(qorl_sound_play(nullptr), 0);
    EXPECT_EQ(qorl_voice_new(nullptr), nullptr);
    qorl_sound_free(nullptr);
    qorl_audio_close(audio);
    EXPECT_EQ(qorl_sound_play(bogus), 0);  // and none after closing
}

TEST(AudioOpen, ASecondOpenIsRefusedAndBadFormatsToo)
{
    qorl_audio* audio = qorl_audio_open_readback(nullptr, 22050, 16);
    ASSERT_NE(audio, nullptr);
    // Replacing the open device would strand it.
    EXPECT_EQ(qorl_audio_open_readback(nullptr, 22050, 16), nullptr);
    EXPECT_EQ(qorl_audio_open(nullptr), nullptr);
    qorl_audio_close(audio);

    EXPECT_EQ(qorl_audio_open_readback(nullptr, 0, 16), nullptr);
    EXPECT_EQ(qorl_audio_open_readback(nullptr, 22050, 0), nullptr);
    audio = qorl_audio_open_readback(nullptr, 22050, 16);  // a refused open left nothing behind
    EXPECT_NE(audio, nullptr);
    qorl_audio_close(audio);
}

// At the rate and block of a recorded race's sound.
class MixerFaults : public bvtest::Readback {
protected:
    void SetUp() override { open(block, rate); }
    static constexpr int32_t rate = 88320;
    static constexpr int32_t block = 690;
};

TEST_F(MixerFaults, EmptySoundsAreRefused)
{
    const uint8_t data[1] = {200};
    EXPECT_EQ(qorl_sound_new(audio_, 0, data, 0), nullptr);
    EXPECT_EQ(qorl_sound_new(audio_, -7, data, 0), nullptr);
    EXPECT_EQ(sound({200}, false, -1), nullptr);
    // Resampled to nothing: 1 byte at twice the output rate.
    EXPECT_EQ(sound({200}, false, 2 * rate), nullptr);
    EXPECT_NE(sound({200}, false, rate), nullptr);
}

TEST_F(MixerFaults, RateZeroHoldsThePositionInSilence)
{
    bytes ramp(100);
    for (int i = 0; i < 100; ++i)
        ramp[i] = static_cast<uint8_t>(150 + i);
    qorl_sound* s = sound(ramp, true);
    qorl_sound_play(s);
    mix();
    const int32_t held = qorl_sound_position(s);
    EXPECT_EQ(held, block % 100);

    qorl_sound_set_rate(s, 0);
    qorl_sound_set_volume(s, 20000);  // a gain change at rate 0 must not wait for ever
    EXPECT_EQ(mix(), samples(block, 128));
    EXPECT_EQ(mix(), samples(block, 128));
    EXPECT_EQ(qorl_sound_position(s), held);

    qorl_sound_set_rate(s, -5);  // a negative rate halts too
    EXPECT_EQ(mix(), samples(block, 128));
    qorl_sound_set_rate(s, rate);
    mix();
    EXPECT_EQ(qorl_sound_position(s), (held + block) % 100);
}

// Tiny looping sounds at absurd rates used to spin the mixer for ever; run them in a
// child that an alarm kills if it hangs.
TEST(MixerTinyLoops, HighRatesFinishAndStayInTune)
{
    EXPECT_EXIT(
        {
            alarm(120);
            qorl_audio* audio = qorl_audio_open_readback(nullptr, 22050, 690);
            std::vector<qorl_sound*> voices;
            for (int length = 1; length <= 4; ++length) {
                bytes data(static_cast<size_t>(length), 200);
                qorl_sound* s = qorl_sound_new(audio, length, data.data(), 0);
                qorl_sound_set_loop(s, 1);
                for (int32_t r : {1000000, INT_MAX, 22050 * 64 + 1, 1}) {
                    qorl_sound* v = qorl_voice_new(s);
                    qorl_sound_set_rate(v, r);
                    qorl_sound_play(v);
                    voices.push_back(v);
                }
                voices.push_back(s);
            }
            for (int i = 0; i < 200; ++i)
                qorl_audio_readback(audio);
            for (qorl_sound* v : voices)
                qorl_sound_free(v);
            qorl_audio_close(audio);
            exit(0);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(MixerFaults, RatesAboveTheCeilingAreClamped)
{
    // At exactly 64 times the base a 3-byte loop steps 64 = 1 (mod 3) bytes per sample.
    qorl_sound* s = sound({150, 170, 190}, true);
    qorl_sound_set_rate(s, 1000000000);
    EXPECT_EQ(s->rate, 64u * rate);
    qorl_sound_play(s);
    samples left = mix();
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(left[i], 128 + qorl_gain_tables[14][(150 + 20 * (i % 3))]) << i;
}

TEST_F(MixerFaults, LongClipsResampleWithoutOverflow)
{
    // 100000 * 88320 passes 2^32: the clip must come out four times longer, not garbled.
    bytes clip(100000);
    for (size_t i = 0; i < clip.size(); ++i)
        clip[i] = static_cast<uint8_t>(i * 7);
    qorl_sound* s = sound(clip, false, 11025);
    ASSERT_NE(s, nullptr);
    ASSERT_EQ(s->data->length, 801088);
    for (int64_t i : {0LL, 1LL, 12345LL, 400544LL, 801087LL})
        EXPECT_EQ(s->data->bytes[i], clip[static_cast<size_t>(i * 100000 / 801088)]) << i;
}

}  // namespace
