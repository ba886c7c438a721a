// The software mixer, heard through the readback driver and through hand-built
// mixers: exact bytes for voices, loops, pitch, pan, volume changes, the budget of
// audible nodes, and the sound data a voice shares.
#include "readback.h"

namespace {

using namespace bvtest;

constexpr int32_t base_rate = 22050;

// A mixer built by hand, for budgets and mono output the readback driver does not offer.
struct HandMixer {
    HandMixer(int32_t block, int32_t limit, bool stereo)
        : left(block), right(block), output(static_cast<size_t>(block) * (stereo ? 2 : 1))
    {
        mixer = {output.data(), left.data(), stereo ? right.data() : nullptr, limit, stereo, base_rate, block};
    }
    ~HandMixer()
    {
        for (qorl_sound* s : made)
            qorl_mixer_free(s);
    }
    // A looping steady sample s.
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

TEST(MixerNumbers, GainTablesAndLiveDriverFragments)
{
    EXPECT_EQ(qorl_gain_tables[30][255], 122);
    EXPECT_EQ(qorl_gain_tables[30][0], -123);  // -128 is one step further out than -127
    EXPECT_EQ(qorl_gain_tables[0][255], 3);
    for (int g = 1; g <= 31; ++g) {
        EXPECT_EQ(qorl_gain_tables[g - 1][129], 0);
        for (int s = 1; s <= 127; ++s) {
            int up = qorl_gain_tables[g - 1][byte_of(s)];
            ASSERT_EQ(up, -qorl_gain_tables[g - 1][byte_of(-s)]) << "gain " << g << " sample " << s;
            if (g > 1) {
                ASSERT_GE(up, qorl_gain_tables[g - 2][byte_of(s)]);
            }
        }
    }
    EXPECT_EQ(qorl_fragment_length(22050), 344);
    EXPECT_EQ(qorl_fragments_ahead(125), 8);
    EXPECT_EQ(qorl_fragments_ahead(-50), 1);
    EXPECT_EQ(qorl_fragments_ahead(2000000000), 32);
}

TEST_F(Readback, OneVoicePlaysItsTableEntriesThenEnds)
{
    open(8);
    EXPECT_EQ(mix(), samples(8, 128));  // silence is the midpoint
    qorl_sound* s = sound(signed_bytes({100, -100, 0, 72}));
    qorl_sound_play(s);
    EXPECT_EQ(qorl_sound_position(s), 0);  // the restart has not been mixed yet

    samples r;
    samples want = {heard(15, 100), heard(15, -100), 128, heard(15, 72), 128, 128, 128, 128};
    EXPECT_EQ(want[0], 174);  // centre at full volume: gain 15 each side
    EXPECT_EQ(mix(&r), want);
    EXPECT_EQ(r, want);
    // Ended in that block: unlinked, position 0, silent from now on.
    EXPECT_EQ(qorl_sound_position(s), 0);
    EXPECT_EQ(qorl_gain_list(0, 15), nullptr);
    EXPECT_EQ(qorl_gain_list(1, 15), nullptr);
    EXPECT_EQ(mix(), samples(8, 128));
}

TEST_F(Readback, LoopingVoiceWrapsAndReportsItsPosition)
{
    open(10);
    qorl_sound_play(sound(signed_bytes({100, -100, 0, 72}), true));
    int a = heard(15, 100), b = heard(15, -100), c = heard(15, 72);
    EXPECT_EQ(mix(), (samples{a, b, 128, c, a, b, 128, c, a, b}));
    EXPECT_EQ(qorl_sound_position(made_[0]), 2);
    EXPECT_EQ(mix(), (samples{128, c, a, b, 128, c, a, b, 128, c}));
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
        EXPECT_EQ(mix(), want);
    };
    qorl_sound_set_rate(s, 2 * base_rate);
    qorl_sound_play(s);
    expect_reads({0, 2, 4, 6, 0, 2, 4, 6});
    qorl_sound_stop(s);
    mix();
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
        samples r, want_l, want_r;
        for (int v : data) {
            want_l.push_back(left_gain ? heard(left_gain, v) : 128);
            want_r.push_back(right_gain ? heard(right_gain, v) : 128);
        }
        mix();
        EXPECT_EQ(mix(&r), want_l);
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
    qorl_sound_set_volume(s, 0);
    expect(0, 0);
}

TEST_F(Readback, GainChangesWaitForTheMidpointCrossing)
{
    open(4);
    qorl_sound* s = sound(signed_bytes({72, 72, -78, -78, -78, -78, 72, 72}), true);
    qorl_sound_play(s);
    mix();
    qorl_sound_set_volume(s, 16384);
    samples r;
    // The old gain holds through the two low samples, the new one starts at the rise.
    EXPECT_EQ(mix(&r), (samples{heard(15, -78), heard(15, -78), heard(7, 72), heard(7, 72)}));
    EXPECT_EQ(r, (samples{heard(15, -78), heard(15, -78), heard(8, 72), heard(8, 72)}));

    // A stop plays on to the crossing, then the voice is silent and gone.
    mix();
    qorl_sound_stop(s);
    EXPECT_EQ(mix(), (samples{heard(7, -78), heard(7, -78), 128, 128}));
    EXPECT_EQ(qorl_sound_position(s), 0);
    EXPECT_EQ(mix(), samples(4, 128));
}

TEST_F(Readback, PlayingAgainRestartsAfterTheCrossing)
{
    open(6);
    qorl_sound* s = sound(signed_bytes({50, 40, 30, -30, -40, -50, 60, 70}), true);
    qorl_sound_play(s);
    mix();
    qorl_sound_play(s);  // 60, 70 at the old gain until the loop's end, then from the start
    EXPECT_EQ(mix(), (samples{heard(15, 60), heard(15, 70), heard(15, 50), heard(15, 40), heard(15, 30),
                              heard(15, -30)}));
    EXPECT_EQ(qorl_sound_position(s), 4);
}

TEST_F(Readback, RestartNearTheEndOfAOneShotIsNotLost)
{
    open(4);
    qorl_sound* s = sound(signed_bytes({20, 30, 40, 50, 60}));
    qorl_sound_play(s);
    mix();
    qorl_sound_play(s);  // the old run reaches the end inside the transition
    EXPECT_EQ(mix(), (samples{heard(15, 60), heard(15, 20), heard(15, 30), heard(15, 40)}));
    EXPECT_EQ(mix(), (samples{heard(15, 50), heard(15, 60), 128, 128}));
}

TEST_F(Readback, SixteenNodesAreEightStereoVoices)
{
    open(4);
    for (int i = 0; i < 20; ++i)
        qorl_sound_play(sound(bytes(4, byte_of(5)), true));
    // Each heard node adds 1; 8 voices are heard in each channel, not 20.
    ASSERT_EQ(heard(15, 5), 129);
    samples r;
    EXPECT_EQ(mix(&r), samples(4, 136));
    EXPECT_EQ(r, samples(4, 136));
}

TEST(MixerBudget, LoudestLevelsFirstLeftAndRightTakingTurns)
{
    // Full left (31/0), centre (15/15) and half-volume centre (7/8), s = 20 each.
    struct row {
        int32_t limit;
        int left, right;
    };
    for (row r : {row{3, 128 + 18 + 8, 128 + 8}, row{4, 128 + 18 + 8, 128 + 8 + 4},  // right 8 before left 7
                  row{5, 128 + 18 + 8 + 4, 128 + 8 + 4}, row{0, 128, 128}}) {
        HandMixer h(2, r.limit, true);
        h.play(20, 32767, -32768);
        h.play(20, 32767, 0);
        h.play(20, 16384, 0);
        qorl_mix_block(&h.mixer);
        EXPECT_EQ(h.output[0], r.left) << "limit " << r.limit;
        EXPECT_EQ(h.output[1], r.right) << "limit " << r.limit;
    }

    // Within a level: newest voice first, its left then its right.
    HandMixer h(1, 2, true);
    h.play(20, 32767, 0);
    h.play(-20, 32767, 0);
    qorl_mix_block(&h.mixer);
    EXPECT_EQ(h.output, (bytes{120, 120}));
}

TEST(MixerBudget, MonoOutputCarriesTheWholeVolumeOnOneChannel)
{
    HandMixer h(3, 16, false);
    qorl_sound* v = h.play(100, 32767, 0);  // pan is forced full left on a mono output
    EXPECT_EQ(v->pan, -32768);
    qorl_mix_block(&h.mixer);
    EXPECT_EQ(h.output, bytes(3, static_cast<uint8_t>(heard(31, 100))));
    EXPECT_EQ(qorl_gain_list(1, v->right.gain), nullptr);
}

TEST_F(Readback, VoicesShareTheSoundsData)
{
    open(4);
    qorl_sound* s = qorl_sound_new(audio_, 4, signed_bytes({10, 20, 30, 40}).data(), 0);
    qorl_sound* v = qorl_voice_new(s);
    made_.push_back(v);
    qorl_sound_free(s);  // the voice keeps the data alive
    qorl_sound_set_loop(v, 1);
    qorl_sound_play(v);
    qorl_stream_write(v, 2, signed_bytes({-10, -20}).data(), 1);
    EXPECT_EQ(mix(), (samples{heard(15, 10), heard(15, -10), heard(15, -20), heard(15, 40)}));
}

TEST_F(Readback, NewSoundResamplesToTheOutputRate)
{
    open(8);
    auto resampled = [&](const samples& data, int32_t source_rate) {
        qorl_sound* s = sound(signed_bytes(data), false, source_rate);
        return s ? bytes(s->data->bytes, s->data->bytes + s->data->length) : bytes{};
    };
    EXPECT_EQ(resampled({10, 20, 30, 40}, base_rate / 2), signed_bytes({10, 10, 20, 20, 30, 30, 40, 40}));
    EXPECT_EQ(resampled({10, 20, 30, 40, 50}, base_rate * 2), signed_bytes({10, 30}));
    EXPECT_EQ(resampled({10, 20, 30}, base_rate * 3 / 2), signed_bytes({10, 20}));
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
