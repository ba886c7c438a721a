// The software buffer mixer behind the "dsnd" driver. One mutex per device guards
// its buffer list, every buffer's play state and the buffers' memory; the output
// thread mixes a period under it and writes the period to ALSA outside it.
#include "platform/dsound_layer.h"

#include "platform/alsa_pcm.h"
#include "platform/pcm_writer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>
#include <new>

struct ds_core {
    std::mutex mutex;
    std::vector<ds_buffer*> buffers;
    uint32_t rate = 0;
    std::vector<int32_t> mix;  // stereo accumulators of one Render
};

// Shared by a buffer and its duplicates.
struct ds_memory {
    std::vector<uint8_t> bytes;
    bool lost = false;
};

struct ds_device::output {
    qorl_pcm* pcm = nullptr;
    uint32_t period = 0;
    std::vector<int16_t> frames;
    qorl_pcm_writer writer;
};

namespace {

constexpr uint32_t output_rate = 44100;
constexpr uint32_t output_periods = 4;
constexpr uint32_t max_buffer_bytes = 0x0FFFFFFF;

// Linear Q15 gain of an attenuation in hundredths of a decibel; the floor is silence.
int32_t gain_of(int32_t hundredths_db)
{
    if (hundredths_db <= DSBVOLUME_MIN)
        return 0;
    return static_cast<int32_t>(std::lround(32768.0 * std::pow(10.0, hundredths_db / 2000.0)));
}

bool valid_frequency(uint32_t hz)
{
    return hz >= DSBFREQUENCY_MIN && hz <= DSBFREQUENCY_MAX;
}

}  // namespace

// ---- buffers ----

void ds_buffer::refresh_gains()
{
    // A positive pan takes the left channel down, a negative one the right.
    gain_left_ = gain_of(volume_ - std::max(pan_, 0));
    gain_right_ = gain_of(volume_ - std::max(-pan_, 0));
}

void ds_buffer::mix(int32_t* stereo, uint32_t frames, uint32_t rate)
{
    const std::vector<uint8_t>& bytes = memory_->bytes;
    const uint64_t end = static_cast<uint64_t>(bytes.size()) << 32;
    const uint64_t step = (static_cast<uint64_t>(frequency_) << 32) / rate;
    for (uint32_t i = 0; i < frames; ++i) {
        int32_t s = bytes[position_ >> 32] - 128;
        stereo[2 * i] += (s * gain_left_) >> 7;
        stereo[2 * i + 1] += (s * gain_right_) >> 7;
        position_ += step;
        if (position_ >= end) {
            if (!looping_) {
                playing_ = false;
                position_ = 0;
                return;
            }
            position_ %= end;
        }
    }
}

int32_t ds_buffer::Lock(uint32_t offset, uint32_t bytes, void** region1, uint32_t* bytes1, void** region2,
                        uint32_t* bytes2, uint32_t)
{
    std::lock_guard lock(core_->mutex);
    const std::vector<uint8_t>& memory = memory_->bytes;
    const uint32_t size = static_cast<uint32_t>(memory.size());
    if (!region1 || !bytes1)
        return DSERR_INVALIDPARAM;
    if (memory_->lost)
        return DSERR_BUFFERLOST;
    if (locked_ || offset >= size || bytes == 0 || bytes > size)
        return DSERR_INVALIDPARAM;
    const uint32_t first = std::min(bytes, size - offset);
    if (bytes > first && (!region2 || !bytes2))
        return DSERR_INVALIDPARAM;
    try {
        staging_.resize(bytes);
    } catch (const std::bad_alloc&) {
        return DSERR_OUTOFMEMORY;
    }
    memcpy(staging_.data(), memory.data() + offset, first);
    memcpy(staging_.data() + first, memory.data(), bytes - first);
    *region1 = staging_.data();
    *bytes1 = first;
    if (region2 && bytes2) {
        *region2 = bytes > first ? staging_.data() + first : nullptr;
        *bytes2 = bytes - first;
    }
    locked_ = true;
    lock_offset_ = offset;
    return DS_OK;
}

int32_t ds_buffer::Unlock(void* region1, uint32_t bytes1, void* region2, uint32_t bytes2)
{
    std::lock_guard lock(core_->mutex);
    std::vector<uint8_t>& memory = memory_->bytes;
    const uint32_t size = static_cast<uint32_t>(memory.size());
    const uint32_t first = std::min(static_cast<uint32_t>(staging_.size()), size - lock_offset_);
    if (!locked_ || region1 != staging_.data() || bytes1 > first)
        return DSERR_INVALIDPARAM;
    if (bytes2 > 0 && (region2 != staging_.data() + first || bytes2 > staging_.size() - first))
        return DSERR_INVALIDPARAM;
    locked_ = false;
    if (memory_->lost)
        return DS_OK;
    memcpy(memory.data() + lock_offset_, staging_.data(), bytes1);
    if (bytes2 > 0)
        memcpy(memory.data(), staging_.data() + first, bytes2);
    return DS_OK;
}

int32_t ds_buffer::Restore()
{
    std::lock_guard lock(core_->mutex);
    if (memory_->lost) {
        std::fill(memory_->bytes.begin(), memory_->bytes.end(), uint8_t{128});
        memory_->lost = false;
    }
    return DS_OK;
}

int32_t ds_buffer::Play(uint32_t, uint32_t, uint32_t flags)
{
    std::lock_guard lock(core_->mutex);
    if (memory_->lost)
        return DSERR_BUFFERLOST;
    playing_ = true;
    looping_ = flags & DSBPLAY_LOOPING;
    return DS_OK;
}

int32_t ds_buffer::Stop()
{
    std::lock_guard lock(core_->mutex);
    playing_ = false;
    return DS_OK;
}

int32_t ds_buffer::SetCurrentPosition(uint32_t position)
{
    std::lock_guard lock(core_->mutex);
    if (position >= memory_->bytes.size())
        return DSERR_INVALIDPARAM;
    position_ = static_cast<uint64_t>(position) << 32;
    return DS_OK;
}

int32_t ds_buffer::GetCurrentPosition(uint32_t* play, uint32_t* write)
{
    std::lock_guard lock(core_->mutex);
    if (memory_->lost)
        return DSERR_BUFFERLOST;
    uint32_t cursor = static_cast<uint32_t>(position_ >> 32);
    if (play)
        *play = cursor;
    if (write)
        *write = cursor;
    return DS_OK;
}

int32_t ds_buffer::SetFrequency(uint32_t hz)
{
    std::lock_guard lock(core_->mutex);
    if (!(caps_ & DSBCAPS_CTRLFREQUENCY))
        return DSERR_CONTROLUNAVAIL;
    if (hz == DSBFREQUENCY_ORIGINAL)
        hz = format_rate_;
    if (!valid_frequency(hz))
        return DSERR_INVALIDPARAM;
    frequency_ = hz;
    return DS_OK;
}

int32_t ds_buffer::SetVolume(int32_t hundredths_db)
{
    std::lock_guard lock(core_->mutex);
    if (!(caps_ & DSBCAPS_CTRLVOLUME))
        return DSERR_CONTROLUNAVAIL;
    if (hundredths_db < DSBVOLUME_MIN || hundredths_db > DSBVOLUME_MAX)
        return DSERR_INVALIDPARAM;
    volume_ = hundredths_db;
    refresh_gains();
    return DS_OK;
}

int32_t ds_buffer::SetPan(int32_t hundredths_db)
{
    std::lock_guard lock(core_->mutex);
    if (!(caps_ & DSBCAPS_CTRLPAN))
        return DSERR_CONTROLUNAVAIL;
    if (hundredths_db < DSBPAN_LEFT || hundredths_db > DSBPAN_RIGHT)
        return DSERR_INVALIDPARAM;
    pan_ = hundredths_db;
    refresh_gains();
    return DS_OK;
}

int32_t ds_buffer::GetFrequency(uint32_t* hz)
{
    std::lock_guard lock(core_->mutex);
    *hz = frequency_;
    return DS_OK;
}

int32_t ds_buffer::GetVolume(int32_t* hundredths_db)
{
    std::lock_guard lock(core_->mutex);
    *hundredths_db = volume_;
    return DS_OK;
}

int32_t ds_buffer::GetPan(int32_t* hundredths_db)
{
    std::lock_guard lock(core_->mutex);
    *hundredths_db = pan_;
    return DS_OK;
}

int ds_buffer::IsPlaying()
{
    std::lock_guard lock(core_->mutex);
    return playing_;
}

void ds_buffer::Release()
{
    {
        std::lock_guard lock(core_->mutex);
        std::erase(core_->buffers, this);
    }
    delete this;
}

// ---- devices ----

int32_t ds_device::Create(ds_device** device)
{
    *device = nullptr;
    qorl_pcm* pcm = qorl_pcm_open();
    if (!pcm)
        return DSERR_NODRIVER;
    unsigned rate = output_rate;
    if (!qorl_pcm_configure(pcm, qorl_pcm_s16, 2, &rate, rate / 64, output_periods)) {
        qorl_pcm_close(pcm);
        return DSERR_NODRIVER;
    }
    ds_device* d = CreateOffline(rate);
    if (!d) {
        qorl_pcm_close(pcm);
        return DSERR_OUTOFMEMORY;
    }
    static constexpr qorl_pcm_writer_texts texts{nullptr, nullptr, "Sound mixer: output stalled at period %d, reset\n",
                                                 "Sound mixer: write error\n"};
    bool started = false;
    try {
        d->output_ = std::make_unique<output>();
        output& out = *d->output_;
        out.pcm = pcm;
        out.period = rate / 64;
        out.frames.resize(2 * static_cast<size_t>(out.period));
        started = out.writer.start(pcm, [d, &out] { d->Render(out.frames.data(), out.period); },
                                   out.frames.data(), out.period, rate, texts);
    } catch (const std::exception&) {
    }
    if (!started) {
        if (d->output_)
            d->output_->pcm = nullptr;
        qorl_pcm_close(pcm);
        d->Release();
        return DSERR_GENERIC;
    }
    *device = d;
    return DS_OK;
}

ds_device* ds_device::CreateOffline(uint32_t rate)
{
    if (rate == 0)
        return nullptr;
    auto* d = new (std::nothrow) ds_device;
    if (!d)
        return nullptr;
    try {
        d->core_ = std::make_shared<ds_core>();
    } catch (const std::bad_alloc&) {
        delete d;
        return nullptr;
    }
    d->core_->rate = rate;
    return d;
}

int32_t ds_device::SetCooperativeLevel(qorl_window*, uint32_t)
{
    return DS_OK;
}

int32_t ds_device::CreateSoundBuffer(const ds_buffer_desc* desc, ds_buffer** buffer)
{
    if (!buffer)
        return DSERR_INVALIDPARAM;
    *buffer = nullptr;
    if (!desc || desc->size != sizeof(ds_buffer_desc) || !desc->format)
        return DSERR_INVALIDPARAM;
    const ds_wave_format& f = *desc->format;
    // 8-bit mono PCM is all the program plays.
    if (f.format_tag != WAVE_FORMAT_PCM || f.channels != 1 || f.bits_per_sample != 8 || f.block_align != 1 ||
        !valid_frequency(f.samples_per_sec))
        return DSERR_INVALIDPARAM;
    if (desc->buffer_bytes < 1 || desc->buffer_bytes > max_buffer_bytes)
        return DSERR_INVALIDPARAM;

    auto* b = new (std::nothrow) ds_buffer;
    if (!b)
        return DSERR_OUTOFMEMORY;
    try {
        b->memory_ = std::make_shared<ds_memory>();
        b->memory_->bytes.assign(desc->buffer_bytes, 128);
    } catch (const std::bad_alloc&) {
        delete b;
        return DSERR_OUTOFMEMORY;
    }
    b->core_ = core_;
    b->caps_ = desc->flags;
    b->format_rate_ = b->frequency_ = f.samples_per_sec;
    std::lock_guard lock(core_->mutex);
    core_->buffers.push_back(b);
    *buffer = b;
    return DS_OK;
}

int32_t ds_device::DuplicateSoundBuffer(ds_buffer* original, ds_buffer** duplicate)
{
    if (!original || !duplicate)
        return DSERR_INVALIDPARAM;
    *duplicate = nullptr;
    auto* b = new (std::nothrow) ds_buffer;
    if (!b)
        return DSERR_OUTOFMEMORY;
    std::lock_guard lock(core_->mutex);
    b->core_ = core_;
    b->memory_ = original->memory_;
    b->caps_ = original->caps_;
    b->format_rate_ = original->format_rate_;
    b->frequency_ = original->frequency_;
    b->volume_ = original->volume_;
    b->pan_ = original->pan_;
    b->refresh_gains();
    core_->buffers.push_back(b);
    *duplicate = b;
    return DS_OK;
}

void ds_device::Release()
{
    if (output_) {
        output_->writer.stop();
        qorl_pcm_close(output_->pcm);
    }
    delete this;
}

void ds_device::Render(int16_t* frames, uint32_t count)
{
    std::lock_guard lock(core_->mutex);
    std::vector<int32_t>& mix = core_->mix;
    mix.assign(2 * static_cast<size_t>(count), 0);
    for (ds_buffer* b : core_->buffers) {
        if (b->playing_)
            b->mix(mix.data(), count, core_->rate);
    }
    for (size_t i = 0; i < mix.size(); ++i)
        frames[i] = static_cast<int16_t>(std::clamp(mix[i], -32768, 32767));
}

void ds_device::LoseBuffers()
{
    std::lock_guard lock(core_->mutex);
    for (ds_buffer* b : core_->buffers) {
        b->memory_->lost = true;
        b->playing_ = false;
    }
}
