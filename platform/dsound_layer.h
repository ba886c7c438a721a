// A small buffer mixer in software, offering what the "dsnd" audio driver expects of
// a system sound device: static secondary buffers of 8-bit mono samples that can be
// duplicated (sharing their memory), locked and unlocked in one or two regions, and
// played once or looping from a position, each with its own frequency, volume and
// pan in hundredths of a decibel and a readable play cursor. A device mixes its
// playing buffers on its own thread and plays them through ALSA; an offline device
// mixes only when asked (Render), which is how tests listen to it.
#pragma once
#include <cstdint>
#include <memory>
#include <vector>

struct qorl_window;

// Results.
constexpr int32_t DS_OK = 0;
constexpr int32_t DSERR_GENERIC = -1;
constexpr int32_t DSERR_INVALIDPARAM = -2;
constexpr int32_t DSERR_CONTROLUNAVAIL = -3;
constexpr int32_t DSERR_BUFFERLOST = -4;
constexpr int32_t DSERR_OUTOFMEMORY = -5;
constexpr int32_t DSERR_NODRIVER = -6;

constexpr uint32_t DSSCL_NORMAL = 1;
constexpr uint32_t DSBCAPS_STATIC = 0x2;
constexpr uint32_t DSBCAPS_CTRLFREQUENCY = 0x20;
constexpr uint32_t DSBCAPS_CTRLPAN = 0x40;
constexpr uint32_t DSBCAPS_CTRLVOLUME = 0x80;
constexpr uint32_t DSBPLAY_LOOPING = 0x1;
constexpr uint16_t WAVE_FORMAT_PCM = 1;

constexpr int32_t DSBVOLUME_MIN = -10000;  // silence
constexpr int32_t DSBVOLUME_MAX = 0;
constexpr int32_t DSBPAN_LEFT = -10000;    // right channel silent
constexpr int32_t DSBPAN_RIGHT = 10000;
constexpr uint32_t DSBFREQUENCY_MIN = 100;
constexpr uint32_t DSBFREQUENCY_MAX = 200000;
constexpr uint32_t DSBFREQUENCY_ORIGINAL = 0;

struct ds_wave_format {
    uint16_t format_tag;
    uint16_t channels;
    uint32_t samples_per_sec;
    uint32_t avg_bytes_per_sec;
    uint16_t block_align;
    uint16_t bits_per_sample;
    uint16_t extra_size;
};

// 40 bytes, as callers fill in `size`.
struct ds_buffer_desc {
    uint32_t size;
    uint32_t flags;
    uint32_t buffer_bytes;
    uint32_t reserved;
    const ds_wave_format* format;
    uint8_t algorithm[16];
};
static_assert(sizeof(ds_buffer_desc) == 40);

struct ds_core;
struct ds_memory;

class ds_buffer {
public:
    // One or two regions covering `bytes` from `offset`, wrapping at the end; the
    // regions hold the current contents and land in the buffer at Unlock.
    int32_t Lock(uint32_t offset, uint32_t bytes, void** region1, uint32_t* bytes1, void** region2,
                 uint32_t* bytes2, uint32_t flags);
    int32_t Unlock(void* region1, uint32_t bytes1, void* region2, uint32_t bytes2);
    // After a loss: the memory is back (silent) and must be filled again.
    int32_t Restore();
    int32_t Play(uint32_t reserved, uint32_t priority, uint32_t flags);
    int32_t Stop();
    int32_t SetCurrentPosition(uint32_t position);
    int32_t GetCurrentPosition(uint32_t* play, uint32_t* write);
    int32_t SetFrequency(uint32_t hz);
    int32_t SetVolume(int32_t hundredths_db);
    int32_t SetPan(int32_t hundredths_db);
    int32_t GetFrequency(uint32_t* hz);
    int32_t GetVolume(int32_t* hundredths_db);
    int32_t GetPan(int32_t* hundredths_db);
    int IsPlaying();
    void Release();

private:
    friend struct ds_core;
    friend class ds_device;
    ds_buffer() = default;
    void mix(int32_t* stereo, uint32_t frames, uint32_t output_rate);
    void refresh_gains();

    std::shared_ptr<ds_core> core_;
    std::shared_ptr<ds_memory> memory_;
    uint32_t caps_ = 0;
    uint32_t format_rate_ = 0;
    uint32_t frequency_ = 0;
    int32_t volume_ = 0;
    int32_t pan_ = 0;
    int32_t gain_left_ = 32768;  // Q15
    int32_t gain_right_ = 32768;
    bool playing_ = false;
    bool looping_ = false;
    uint64_t position_ = 0;  // bytes, 32.32 fixed point
    std::vector<uint8_t> staging_;
    uint32_t lock_offset_ = 0;
    bool locked_ = false;
};

class ds_device {
public:
    // The default output device with its mixing thread; DSERR_NODRIVER without one.
    static int32_t Create(ds_device** device);
    // A device nobody hears: it mixes only in Render.
    static ds_device* CreateOffline(uint32_t rate);

    int32_t SetCooperativeLevel(qorl_window* window, uint32_t level);
    int32_t CreateSoundBuffer(const ds_buffer_desc* desc, ds_buffer** buffer);
    int32_t DuplicateSoundBuffer(ds_buffer* original, ds_buffer** duplicate);
    // Stops the output; buffers still alive stay usable and silent.
    void Release();

    // Mixes the next `frames` stereo frames of signed 16-bit samples (L, R).
    void Render(int16_t* frames, uint32_t count);
    // The device lost its memory: every buffer is stopped and reports the loss.
    void LoseBuffers();

private:
    ds_device() = default;
    struct output;
    std::shared_ptr<ds_core> core_;
    std::unique_ptr<output> output_;
};
