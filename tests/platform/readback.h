// The audio tests' shared fixture: the readback driver open for one test, the sounds
// it made freed before the driver closes, and mixed blocks as channel samples.
#pragma once
#include "platform/mixer.h"
#include "platform/qorl_audio.h"

#include <gtest/gtest.h>

#include <vector>

namespace bvtest {

using bytes = std::vector<uint8_t>;
using samples = std::vector<int>;

inline uint8_t byte_of(int s)
{
    return static_cast<uint8_t>(s + 128);
}

inline bytes signed_bytes(const samples& s)
{
    bytes b;
    for (int v : s)
        b.push_back(byte_of(v));
    return b;
}

// The output byte of one node at gain g playing signed sample s.
inline int heard(int gain, int s)
{
    return 128 + qorl_gain_tables[gain - 1][byte_of(s)];
}

class Readback : public ::testing::Test {
protected:
    void open(int32_t block, int32_t rate = 22050)
    {
        block_ = block;
        audio_ = qorl_audio_open_readback(nullptr, rate, block);
        ASSERT_NE(audio_, nullptr);
    }
    // Null when the driver refuses the sound; a made sound is freed at the end.
    qorl_sound* sound(const bytes& data, bool loop = false, int32_t source_rate = 0)
    {
        qorl_sound* s = qorl_sound_new(audio_, static_cast<int32_t>(data.size()), data.data(), source_rate);
        if (s) {
            made_.push_back(s);
            qorl_sound_set_loop(s, loop);
        }
        return s;
    }
    // The next block as its left and right channels.
    samples mix(samples* right = nullptr)
    {
        const uint8_t* block = qorl_audio_readback(audio_);
        samples left;
        if (right)
            right->clear();
        for (int32_t i = 0; block && i < block_; ++i) {
            left.push_back(block[2 * i]);
            if (right)
                right->push_back(block[2 * i + 1]);
        }
        return left;
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

}  // namespace bvtest
