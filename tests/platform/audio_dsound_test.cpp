// The "dsnd" driver and the software buffer mixer it runs on: the attenuation law,
// lock regions and their wrap, lost buffers, and what the mix sounds like, heard
// through an offline device.
#include "platform/audio_drivers.h"
#include "platform/audio_dsound.h"
#include "platform/dsound_layer.h"
#include "platform/qorl_audio.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

using bytes = std::vector<uint8_t>;
constexpr uint32_t output_rate = 44100;

// What a buffer holds, read through a lock that writes nothing back.
bytes contents(ds_buffer* b, uint32_t size)
{
    void *p1 = nullptr, *p2 = nullptr;
    uint32_t n1 = 0, n2 = 0;
    if (b->Lock(0, size, &p1, &n1, &p2, &n2, 0) != DS_OK)
        return {};
    bytes out(static_cast<uint8_t*>(p1), static_cast<uint8_t*>(p1) + n1);
    b->Unlock(p1, 0, p2, 0);
    return out;
}

void fill(ds_buffer* b, uint32_t size, uint8_t value)
{
    void *p1 = nullptr, *p2 = nullptr;
    uint32_t n1 = 0, n2 = 0;
    ASSERT_EQ(b->Lock(0, size, &p1, &n1, &p2, &n2, 0), DS_OK);
    memset(p1, value, n1);
    b->Unlock(p1, n1, p2, n2);
}

TEST(DsoundLaw, AttenuationTableAndTheVolumeAndPanValues)
{
    const int32_t* t = qorl_ds_attenuation();
    EXPECT_EQ(t[0], -10000);
    EXPECT_EQ(t[1], -6020);
    EXPECT_EQ(t[511], -603);
    EXPECT_EQ(t[512], -602);
    EXPECT_EQ(t[1023], 0);
    EXPECT_EQ(t[1024], 0);
    for (int i = 1; i < qorl_ds_attenuation_entries; ++i)
        ASSERT_LE(t[i - 1], t[i]) << i;
    EXPECT_EQ(qorl_ds_att(-1), -10000);
    EXPECT_EQ(qorl_ds_att(40000), 0);
    EXPECT_EQ(qorl_ds_att(16 * 32 + 16), t[16] + (t[17] - t[16]) / 2);  // halfway between entries

    struct row {
        int32_t volume, pan, volume_value, pan_value;
    };
    // Volumes are not clamped by the driver; the law must still stay in range.
    for (row r : {row{32767, 0, -603, 0},  // centre: half amplitude each side
                  row{32767, -32767, 0, -10000}, row{32767, 32767, 0, 10000}, row{0, 0, -10000, 0},
                  row{INT_MAX, 0, 0, 0}, row{-5, 0, -10000, 0}}) {
        int32_t volume = 1, pan = 1;
        qorl_ds_levels(r.volume, r.pan, &volume, &pan);
        EXPECT_EQ(volume, r.volume_value) << r.volume << " at " << r.pan;
        EXPECT_EQ(pan, r.pan_value) << r.volume << " at " << r.pan;
    }
}

// A device and 8-bit mono buffers on it, straight on the layer.
class Layer : public ::testing::Test {
protected:
    void SetUp() override { device_ = ds_device::CreateOffline(output_rate); }
    void TearDown() override
    {
        for (ds_buffer* b : buffers_)
            b->Release();
        device_->Release();
    }
    ds_buffer* buffer(uint32_t size, uint32_t rate = 22050, uint32_t flags = DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLPAN)
    {
        ds_wave_format f{WAVE_FORMAT_PCM, 1, rate, rate, 1, 8, 0};
        ds_buffer_desc desc{};
        desc.size = sizeof desc;
        desc.flags = DSBCAPS_STATIC | flags;
        desc.buffer_bytes = size;
        desc.format = &f;
        ds_buffer* b = nullptr;
        EXPECT_EQ(device_->CreateSoundBuffer(&desc, &b), DS_OK);
        if (b)
            buffers_.push_back(b);
        return b;
    }
    std::vector<int16_t> render(uint32_t frames)
    {
        std::vector<int16_t> out(2 * frames);
        device_->Render(out.data(), frames);
        return out;
    }

    ds_device* device_ = nullptr;
    std::vector<ds_buffer*> buffers_;
};

TEST_F(Layer, LocksComeInOneOrTwoRegionsAndOnlyWrittenBytesLand)
{
    ds_buffer* b = buffer(16);
    void *p1 = nullptr, *p2 = nullptr;
    uint32_t n1 = 0, n2 = 0;
    ASSERT_EQ(b->Lock(12, 10, &p1, &n1, &p2, &n2, 0), DS_OK);
    ASSERT_EQ(n1 + n2, 10u);
    EXPECT_EQ(b->Lock(0, 1, &p1, &n1, &p2, &n2, 0), DSERR_INVALIDPARAM);  // one lock at a time
    memset(p1, 1, n1);
    memset(p2, 2, n2);
    ASSERT_EQ(b->Unlock(p1, n1, p2, 5), DS_OK);  // the last byte said not written
    EXPECT_EQ(contents(b, 16), (bytes{2, 2, 2, 2, 2, 128, 128, 128, 128, 128, 128, 128, 1, 1, 1, 1}));

    EXPECT_EQ(b->Lock(16, 1, &p1, &n1, &p2, &n2, 0), DSERR_INVALIDPARAM);
    EXPECT_EQ(b->Lock(0, 17, &p1, &n1, &p2, &n2, 0), DSERR_INVALIDPARAM);
    EXPECT_EQ(b->Lock(8, 10, &p1, &n1, nullptr, nullptr, 0), DSERR_INVALIDPARAM);  // would need a second region
}

TEST_F(Layer, MixFollowsVolumePanAndFrequency)
{
    ds_buffer* b = buffer(64, 22050, DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLPAN | DSBCAPS_CTRLFREQUENCY);
    fill(b, 64, 228);  // a steady +100
    ASSERT_EQ(b->Play(0, 0, DSBPLAY_LOOPING), DS_OK);

    // +100 at full scale is 25600; hundredths of a decibel scale it.
    auto amplitude = [](double db) { return 25600.0 * std::pow(10.0, db / 2000.0); };
    struct row {
        int32_t volume, pan;
        double left, right;
    };
    for (row r : {row{0, 0, 25600, 25600}, row{-603, 0, amplitude(-603), amplitude(-603)},  // about half
                  row{-250, 603, amplitude(-853), amplitude(-250)},  // panned right: the left goes down by the pan
                  row{0, -10000, 25600, 0}, row{-10000, 0, 0, 0}}) {
        ASSERT_EQ(b->SetVolume(r.volume), DS_OK);
        ASSERT_EQ(b->SetPan(r.pan), DS_OK);
        std::vector<int16_t> out = render(4);
        EXPECT_NEAR(out[0], r.left, 2) << r.volume << " at " << r.pan;
        EXPECT_NEAR(out[1], r.right, 2) << r.volume << " at " << r.pan;
    }
    EXPECT_EQ(b->SetVolume(1), DSERR_INVALIDPARAM);
    EXPECT_EQ(b->SetPan(-10001), DSERR_INVALIDPARAM);

    // The cursor moves by frequency / output rate per frame and wraps.
    uint32_t start = 0, now = 0;
    b->GetCurrentPosition(&start, nullptr);
    render(100);
    b->GetCurrentPosition(&now, nullptr);
    EXPECT_EQ(now, (start + 50) % 64);
    ASSERT_EQ(b->SetFrequency(44100), DS_OK);
    render(100);
    b->GetCurrentPosition(&start, nullptr);
    EXPECT_EQ(start, (now + 100) % 64);
    EXPECT_EQ(b->SetFrequency(50), DSERR_INVALIDPARAM);
    EXPECT_EQ(b->SetFrequency(DSBFREQUENCY_ORIGINAL), DS_OK);
    uint32_t hz = 0;
    b->GetFrequency(&hz);
    EXPECT_EQ(hz, 22050u);
    EXPECT_EQ(buffer(8)->SetFrequency(30000), DSERR_CONTROLUNAVAIL);
}

TEST_F(Layer, OneShotsStopAtTheEndAndDuplicatesShareMemory)
{
    ds_buffer* b = buffer(10, 44100);
    ds_buffer* dup = nullptr;
    ASSERT_EQ(device_->DuplicateSoundBuffer(b, &dup), DS_OK);
    buffers_.push_back(dup);
    fill(dup, 10, 138);  // +10
    EXPECT_EQ(contents(b, 10), bytes(10, 138));

    b->Play(0, 0, 0);
    std::vector<int16_t> out = render(12);
    EXPECT_EQ(out[2 * 9], 2560);
    EXPECT_EQ(out[2 * 10], 0);
    EXPECT_FALSE(b->IsPlaying());
    uint32_t cursor = 1;
    b->GetCurrentPosition(&cursor, nullptr);
    EXPECT_EQ(cursor, 0u);
}

// The driver itself, on an offline device.
ds_device* offline = nullptr;

class Driver : public ::testing::Test {
protected:
    void SetUp() override
    {
        qorl_ds_set_device_source([](ds_device** device) {
            *device = offline = ds_device::CreateOffline(output_rate);
            return DS_OK;
        });
        audio_ = qorl_audio_open(nullptr);
        ASSERT_NE(audio_, nullptr);
        ASSERT_EQ(qorl_audio_current_driver(), &qorl_dsound_driver);
    }
    void TearDown() override
    {
        for (qorl_sound* s : made_)
            qorl_sound_free(s);
        qorl_audio_close(audio_);
        qorl_ds_set_device_source(nullptr);
    }
    qorl_sound* made(qorl_sound* s)
    {
        EXPECT_NE(s, nullptr);
        made_.push_back(s);
        return s;
    }
    qorl_sound* sound(const bytes& data, int32_t rate = 0)
    {
        return made(qorl_sound_new(audio_, static_cast<int32_t>(data.size()), data.data(), rate));
    }
    static bytes contents(qorl_sound* s, uint32_t size) { return ::contents(qorl_ds_buffer_of(s), size); }

    qorl_audio* audio_ = nullptr;
    std::vector<qorl_sound*> made_;
};

TEST_F(Driver, VolumeAndPanReachTheBufferAndTheMix)
{
    qorl_sound* s = sound(bytes(32, 228));
    qorl_sound* v = made(qorl_voice_new(s));
    ds_buffer* b = qorl_ds_buffer_of(v);
    for (auto [pan, volume_value, pan_value] : {std::tuple{0, -603, 0}, {40000, 0, 10000}}) {  // 40000: full right
        int32_t volume = 1, buffer_pan = 1;
        EXPECT_EQ(qorl_sound_set_volume(v, 32767), 1);
        EXPECT_EQ(qorl_sound_set_pan(v, pan), 1);
        b->GetVolume(&volume);
        b->GetPan(&buffer_pan);
        EXPECT_EQ(volume, volume_value) << pan;
        EXPECT_EQ(buffer_pan, pan_value) << pan;
    }

    // Half right: the right side 6 dB above the left, both below full.
    qorl_sound_set_pan(v, 16384);
    qorl_sound_set_loop(v, 1);
    EXPECT_EQ(qorl_sound_play(v), 1);
    std::vector<int16_t> out(8);
    offline->Render(out.data(), 4);
    EXPECT_NEAR(out[1] / static_cast<double>(out[0]), 2.0, 0.01);
    EXPECT_NEAR(out[1], 25600 * 0.75, 60);
    EXPECT_NE(qorl_sound_position(v), 0);
    EXPECT_EQ(qorl_sound_position(s), 0);  // the sound itself is not playing

    // Sounds made at their own rate keep it.
    EXPECT_EQ(qorl_sound_set_rate(v, 30000), 1);
    EXPECT_EQ(qorl_sound_set_rate(sound(bytes(16, 128), 11025), 22050), 0);
}

TEST_F(Driver, StreamWritesWrapIntoTheBufferAndTheKeptCopy)
{
    bytes start(12);
    for (int i = 0; i < 12; ++i)
        start[i] = static_cast<uint8_t>(100 + i);
    qorl_sound* s = sound(start);
    qorl_sound* v = made(qorl_voice_new(s));
    const bytes ten = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    EXPECT_EQ(qorl_stream_write(v, 10, ten.data(), 8), 1);
    EXPECT_EQ(contents(s, 12), (bytes{5, 6, 7, 8, 9, 10, 106, 107, 1, 2, 3, 4}));  // the voice shares the memory
    EXPECT_EQ(qorl_stream_write(v, 3, ten.data(), -1), 1);
    EXPECT_EQ(contents(v, 12)[11], 1);
    EXPECT_EQ(contents(v, 12)[0], 2);
    EXPECT_EQ(qorl_stream_write(v, 0, ten.data(), 5), 1);
    EXPECT_EQ(qorl_stream_write(v, -1, ten.data(), 5), 0);
}

TEST_F(Driver, LostBuffersAreFilledAgainFromTheKeptCopy)
{
    const bytes data = {10, 20, 30, 40, 50, 60};
    qorl_sound* s = sound(data);
    offline->LoseBuffers();
    EXPECT_EQ(qorl_sound_play(s), 0);  // that play is lost, the data is not
    EXPECT_EQ(contents(s, 6), data);
    EXPECT_EQ(qorl_sound_play(s), 1);

    offline->LoseBuffers();
    const bytes two = {1, 2};
    EXPECT_EQ(qorl_stream_write(s, 2, two.data(), 1), 0);
    EXPECT_EQ(contents(s, 6), (bytes{10, 1, 2, 40, 50, 60}));
}

}  // namespace
