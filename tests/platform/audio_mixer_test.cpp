// The software mixer, heard through the readback driver and through hand-built
// mixers: exact bytes for voices, loops, pitch, pan, volume changes, the budget of
// audible nodes, and the sound data a voice shares.
#include "platform/mixer.h"
#include "platform/qorl_audio.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr int32_t base_rate = 22050;

uint8_t byte_of(int s)
{
    return static_cast<uint8_t>(s + 128);
}

// The output byte of one node at gain g playing signed sample s.
int heard(int gain, int s)
{
    return 128 + qorl_gain_tables[gain - 1][byte_of(s)];
}

using bytes = std::vector<uint8_t>;
using samples = std::vector<int>;

bytes signed_bytes(const samples& s)
{
    bytes b;
    for (int v : s)
        b.push_back(byte_of(v));
    return b;
}

// Opens the readback driver and frees what a test made, in the right order.
class Readback : public ::testing::Test {
protected:
    void open(int32_t block, int32_t rate = base_rate)
    {
        block_ = block;
        audio_ = qorl_audio_open_readback(nullptr, rate, block);
        ASSERT_NE(audio_, nullptr);
    }
    qorl_sound* sound(const bytes& data, bool loop = false, int32_t source_rate = 0)
    {
        qorl_sound* s = qorl_sound_new(audio_, static_cast<int32_t>(data.size()), data.data(), source_rate);
        EXPECT_NE(s, nullptr);
        if (s) {
            made_.push_back(s);
            qorl_sound_set_loop(s, loop);
        }
        return s;
    }
    qorl_sound* voice(qorl_sound* s)
    {
        qorl_sound* v = qorl_voice_new(s);
        EXPECT_NE(v, nullptr);
        made_.push_back(v);
        return v;
    }
    // The next block as its left and right channels.
    void mix(samples* left, samples* right = nullptr)
    {
        const uint8_t* block = qorl_audio_readback(audio_);
        ASSERT_NE(block, nullptr);
        left->clear();
        if (right)
            right->clear();
        for (int32_t i = 0; i < block_; ++i) {
            left->push_back(block[2 * i]);
            if (right)
                right->push_back(block[2 * i + 1]);
        }
    }
    void TearDown() override
    {
        for (qorl_sound* s : made_)
            qorl_sound_free(s);
        qorl_audio_close(audio_);
    }

    qorl_audio* audio_ = nullptr;
    int32_t block_ = 0;
    std::vector<qorl_sound*> made_;
};

// A mixer built by hand, for budgets and mono output the readback driver does not offer.
struct HandMixer {
    HandMixer(int32_t block, int32_t limit, bool stereo)
        : left(block), right(block), output(static_cast<size_t>(block) * (stereo ? 2 : 1))
    {
        mixer.output = output.data();
        mixer.left = left.data();
        mixer.right = stereo ? right.data() : nullptr;
        mixer.voice_limit = limit;
        mixer.stereo = stereo;
        mixer.output_rate = base_rate;
        mixer.block_length = block;
    }
    ~HandMixer()
    {
        for (qorl_sound* s : made)
            qorl_mixer_free(s);
    }
    qorl_sound* play(int s, int32_t volume, int32_t pan)
    {
        bytes data(8, byte_of(s));
        qorl_sound* v = qorl_mixer_sound_new(&mixer, 8, data.data(), 0);
        made.push_back(v);
        qorl_mixer_set_loop(v, 1);
        qorl_mixer_set_volume(v, volume);
        qorl_mixer_set_pan(v, pan);
        qorl_mixer_play(v);
        return v;
    }
    std::vector<int32_t> left, right;
    bytes output;
    qorl_mixer mixer{};
    std::vector<qorl_sound*> made;
};

TEST(MixerNumbers, GainsFollowVolumeAndPan)
{
    uint8_t l = 0, r = 0;
    qorl_gains(32767, 0, &l, &r);
    EXPECT_EQ(l, 15);  // centre at full volume: 15 each side
    EXPECT_EQ(r, 15);
    qorl_gains(32767, -32768, &l, &r);
    EXPECT_EQ(l, 31);
    EXPECT_EQ(r, 0);
    qorl_gains(32767, 32767, &l, &r);
    EXPECT_EQ(l, 0);
    EXPECT_EQ(r, 31);
    qorl_gains(16384, 0, &l, &r);
    EXPECT_EQ(l, 7);
    EXPECT_EQ(r, 8);
    qorl_gains(0, 0, &l, &r);
    EXPECT_EQ(l + r, 0);
}

TEST(MixerNumbers, GainTablesScaleTowardsZero)
{
    EXPECT_EQ(qorl_gain_tables[30][255], 122);
    EXPECT_EQ(qorl_gain_tables[30][1], -122);
    EXPECT_EQ(qorl_gain_tables[30][0], -123);  // -128 is one step further out
    EXPECT_EQ(qorl_gain_tables[0][255], 3);
    EXPECT_EQ(qorl_gain_tables[0][0], -3);
    for (int g = 1; g <= 31; ++g) {
        EXPECT_EQ(qorl_gain_tables[g - 1][128], 0);
        EXPECT_EQ(qorl_gain_tables[g - 1][129], 0);
        for (int s = 1; s <= 127; ++s) {
            int up = qorl_gain_tables[g - 1][byte_of(s)];
            ASSERT_EQ(up, -qorl_gain_tables[g - 1][byte_of(-s)]) << "gain " << g << " sample " << s;
            ASSERT_GE(up, qorl_gain_tables[g - 1][byte_of(s - 1)]);
            if (g > 1) {
                ASSERT_GE(up, qorl_gain_tables[g - 2][byte_of(s)]);
            }
        }
    }
}

TEST(MixerNumbers, FragmentsOfTheLiveDriver)
{
    EXPECT_EQ(qorl_fragment_length(22050), 344);
    EXPECT_EQ(qorl_fragment_length(44100), 689);
    EXPECT_EQ(qorl_fragments_ahead(125), 8);
    EXPECT_EQ(qorl_fragments_ahead(1), 1);
    EXPECT_EQ(qorl_fragments_ahead(1000), 32);
    EXPECT_EQ(qorl_fragments_ahead(-50), 1);
    EXPECT_EQ(qorl_fragments_ahead(2000000000), 32);
}

TEST_F(Readback, SilenceIsAllMidpoint)
{
    open(16);
    samples l, r;
    mix(&l, &r);
    EXPECT_EQ(l, samples(16, 128));
    EXPECT_EQ(r, samples(16, 128));
}

TEST_F(Readback, OneVoicePlaysItsTableEntriesThenEnds)
{
    open(8);
    qorl_sound* s = sound(signed_bytes({100, -100, 0, 72}));
    qorl_sound_play(s);
    EXPECT_EQ(qorl_sound_position(s), 0);  // the restart has not been mixed yet

    samples l, r;
    mix(&l, &r);
    samples want = {heard(15, 100), heard(15, -100), 128, heard(15, 72), 128, 128, 128, 128};
    EXPECT_EQ(want[0], 174);
    EXPECT_EQ(l, want);
    EXPECT_EQ(r, want);
    // Ended in that block: unlinked, position 0, silent from now on.
    EXPECT_EQ(qorl_sound_position(s), 0);
    EXPECT_EQ(qorl_gain_list(0, 15), nullptr);
    EXPECT_EQ(qorl_gain_list(1, 15), nullptr);
    mix(&l, &r);
    EXPECT_EQ(l, samples(8, 128));
}

TEST_F(Readback, LoopingVoiceWrapsAndReportsItsPosition)
{
    open(10);
    qorl_sound* s = sound(signed_bytes({100, -100, 0, 72}), true);
    qorl_sound_play(s);
    samples l;
    mix(&l);
    int a = heard(15, 100), b = heard(15, -100), c = heard(15, 72);
    EXPECT_EQ(l, (samples{a, b, 128, c, a, b, 128, c, a, b}));
    EXPECT_EQ(qorl_sound_position(s), 2);
    mix(&l);
    EXPECT_EQ(l, (samples{128, c, a, b, 128, c, a, b, 128, c}));
}

TEST_F(Readback, RateChangesThePitch)
{
    open(8);
    const samples ramp = {10, 20, 30, 40, 50, 60, 70, 80};
    qorl_sound* s = sound(signed_bytes(ramp), true);
    auto expect_reads = [&](std::initializer_list<int> indices) {
        samples want;
        for (int i : indices)
            want.push_back(heard(15, ramp[i]));
        samples l;
        mix(&l);
        EXPECT_EQ(l, want);
    };
    qorl_sound_set_rate(s, 2 * base_rate);
    qorl_sound_play(s);
    expect_reads({0, 2, 4, 6, 0, 2, 4, 6});
    qorl_sound_stop(s);
    samples l;
    mix(&l);
    // Half rate: the step fraction 11025 * (2^31 / 22050) falls just short of one half.
    qorl_sound_set_rate(s, base_rate / 2);
    qorl_sound_play(s);
    expect_reads({0, 0, 0, 1, 1, 2, 2, 3});
}

TEST_F(Readback, PanAndVolumeSetEachChannel)
{
    open(4);
    const samples data = {100, -60, 30, -128};
    qorl_sound* s = sound(signed_bytes(data), true);
    // One block lets the gain changes settle at their crossings, the next is steady.
    auto expect = [&](int left_gain, int right_gain) {
        samples l, r, want_l, want_r;
        for (int v : data) {
            want_l.push_back(left_gain ? heard(left_gain, v) : 128);
            want_r.push_back(right_gain ? heard(right_gain, v) : 128);
        }
        mix(&l, &r);
        mix(&l, &r);
        EXPECT_EQ(l, want_l);
        EXPECT_EQ(r, want_r);
    };
    qorl_sound_play(s);
    qorl_sound_set_pan(s, 32767);
    expect(0, 31);
    qorl_sound_set_pan(s, -40000);  // clamped to full left
    expect(31, 0);
    qorl_sound_set_pan(s, 0);
    qorl_sound_set_volume(s, 16384);
    expect(7, 8);
    qorl_sound_set_volume(s, 99999);  // clamped to full
    expect(15, 15);
}

TEST_F(Readback, GainChangesWaitForTheMidpointCrossing)
{
    open(4);
    const samples wave = {72, 72, -78, -78, -78, -78, 72, 72};
    qorl_sound* s = sound(signed_bytes(wave), true);
    qorl_sound_play(s);
    samples l, r;
    mix(&l, &r);
    qorl_sound_set_volume(s, 16384);
    mix(&l, &r);
    // The old gain holds through the two low samples, the new one starts at the rise.
    EXPECT_EQ(l, (samples{heard(15, -78), heard(15, -78), heard(7, 72), heard(7, 72)}));
    EXPECT_EQ(r, (samples{heard(15, -78), heard(15, -78), heard(8, 72), heard(8, 72)}));

    // A stop plays on to the crossing, then the voice is silent and gone.
    mix(&l, &r);
    qorl_sound_stop(s);
    mix(&l, &r);
    EXPECT_EQ(l, (samples{heard(7, -78), heard(7, -78), 128, 128}));
    EXPECT_EQ(qorl_sound_position(s), 0);
    mix(&l, &r);
    EXPECT_EQ(l, samples(4, 128));
}

TEST_F(Readback, PlayingAgainRestartsAfterTheCrossing)
{
    open(6);
    const samples wave = {50, 40, 30, -30, -40, -50, 60, 70};
    qorl_sound* s = sound(signed_bytes(wave), true);
    qorl_sound_play(s);
    samples l;
    mix(&l);
    qorl_sound_play(s);  // 60, 70 at the old gain until the loop's end, then from the start
    mix(&l);
    EXPECT_EQ(l, (samples{heard(15, 60), heard(15, 70), heard(15, 50), heard(15, 40), heard(15, 30),
                          heard(15, -30)}));
    EXPECT_EQ(qorl_sound_position(s), 4);
}

TEST_F(Readback, RestartNearTheEndOfAOneShotIsNotLost)
{
    open(4);
    qorl_sound* s = sound(signed_bytes({20, 30, 40, 50, 60}));
    qorl_sound_play(s);
    samples l;
    mix(&l);
    qorl_sound_play(s);  // the old run reaches the end inside the transition
    mix(&l);
    EXPECT_EQ(l, (samples{heard(15, 60), heard(15, 20), heard(15, 30), heard(15, 40)}));
    mix(&l);
    EXPECT_EQ(l, (samples{heard(15, 50), heard(15, 60), 128, 128}));
}

TEST_F(Readback, SixteenNodesAreEightStereoVoices)
{
    open(4);
    for (int i = 0; i < 20; ++i)
        qorl_sound_play(sound(bytes(4, byte_of(5)), true));
    samples l, r;
    mix(&l, &r);
    // Each heard node adds 1; 8 voices are heard in each channel, not 20.
    EXPECT_EQ(heard(15, 5), 129);
    EXPECT_EQ(l, samples(4, 136));
    EXPECT_EQ(r, samples(4, 136));
}

TEST(MixerBudget, LoudestLevelsFirstLeftAndRightTakingTurns)
{
    // Full left (31/0), centre (15/15) and half-volume centre (7/8), s = 20 each.
    auto run = [](int32_t limit, int* left, int* right) {
        HandMixer h(2, limit, true);
        h.play(20, 32767, -32768);
        h.play(20, 32767, 0);
        h.play(20, 16384, 0);
        qorl_mix_block(&h.mixer);
        *left = h.output[0];
        *right = h.output[1];
    };
    int l = 0, r = 0;
    run(3, &l, &r);
    EXPECT_EQ(l, 128 + 18 + 8);
    EXPECT_EQ(r, 128 + 8);
    run(4, &l, &r);  // the right node at level 8 comes before the left at 7
    EXPECT_EQ(l, 128 + 18 + 8);
    EXPECT_EQ(r, 128 + 8 + 4);
    run(5, &l, &r);
    EXPECT_EQ(l, 128 + 18 + 8 + 4);
    run(0, &l, &r);
    EXPECT_EQ(l, 128);
    EXPECT_EQ(r, 128);

    // Within a level: newest voice first, its left then its right.
    HandMixer h(1, 2, true);
    h.play(20, 32767, 0);
    h.play(-20, 32767, 0);
    qorl_mix_block(&h.mixer);
    EXPECT_EQ(h.output[0], 120);
    EXPECT_EQ(h.output[1], 120);
}

TEST(MixerBudget, MonoOutputCarriesTheWholeVolumeOnOneChannel)
{
    HandMixer h(3, 16, false);
    qorl_sound* v = h.play(100, 32767, 0);  // pan is forced full left on a mono output
    EXPECT_EQ(v->pan, -32768);
    EXPECT_EQ(v->left.gain, 31);
    qorl_mix_block(&h.mixer);
    EXPECT_EQ(h.output, bytes(3, static_cast<uint8_t>(heard(31, 100))));
    EXPECT_EQ(qorl_gain_list(1, v->right.gain), nullptr);
}

TEST_F(Readback, VoicesShareTheSoundsData)
{
    open(4);
    qorl_sound* s = qorl_sound_new(audio_, 4, signed_bytes({10, 20, 30, 40}).data(), 0);
    qorl_sound* v = voice(s);
    qorl_sound_free(s);  // the voice keeps the data alive
    qorl_sound_set_loop(v, 1);
    qorl_sound_play(v);
    const samples new_data = {-10, -20};
    qorl_stream_write(v, 2, signed_bytes(new_data).data(), 1);
    samples l;
    mix(&l);
    EXPECT_EQ(l, (samples{heard(15, 10), heard(15, -10), heard(15, -20), heard(15, 40)}));
}

TEST_F(Readback, NewSoundResamplesToTheOutputRate)
{
    open(8);
    qorl_sound* slow = sound(signed_bytes({10, 20, 30, 40}), false, base_rate / 2);
    EXPECT_EQ(slow->data->length, 8);
    EXPECT_EQ(bytes(slow->data->bytes, slow->data->bytes + 8), signed_bytes({10, 10, 20, 20, 30, 30, 40, 40}));
    qorl_sound* fast = sound(signed_bytes({10, 20, 30, 40, 50}), false, base_rate * 2);
    EXPECT_EQ(bytes(fast->data->bytes, fast->data->bytes + fast->data->length), signed_bytes({10, 30}));
    qorl_sound* odd = sound(signed_bytes({10, 20, 30}), false, base_rate * 3 / 2);
    EXPECT_EQ(bytes(odd->data->bytes, odd->data->bytes + odd->data->length), signed_bytes({10, 20}));
}

TEST_F(Readback, StreamWritesFollowTheRingRule)
{
    open(4);
    qorl_sound* s = sound(bytes(12, 0));
    auto data = [&] { return bytes(s->data->bytes, s->data->bytes + 12); };
    const bytes ten = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    EXPECT_EQ(qorl_stream_write(s, 10, ten.data(), 12 - 4), 1);
    EXPECT_EQ(data(), (bytes{5, 6, 7, 8, 9, 10, 0, 0, 1, 2, 3, 4}));  // 4 at the end, 6 at the start

    bytes fourteen(14);
    for (int i = 0; i < 14; ++i)
        fourteen[i] = static_cast<uint8_t>(20 + i);
    qorl_stream_write(s, 14, fourteen.data(), 1 + 12 * 3);  // the last 12 land, 2 further on
    EXPECT_EQ(data(), (bytes{31, 32, 33, 22, 23, 24, 25, 26, 27, 28, 29, 30}));

    qorl_stream_write(s, 3, ten.data(), -2);  // counts back from the end
    EXPECT_EQ(data(), (bytes{3, 32, 33, 22, 23, 24, 25, 26, 27, 28, 1, 2}));
    qorl_stream_write(s, 2, ten.data(), -25);
    EXPECT_EQ(data()[11], 1);
    EXPECT_EQ(data()[0], 2);
    EXPECT_EQ(qorl_stream_write(s, -1, ten.data(), 0), 0);
}

}  // namespace
