// The "dsnd" driver: every sound and voice a buffer of the software buffer mixer
// (dsound_layer.h), voices duplicates sharing the sound's memory. The driver keeps
// its own copy of each sound's bytes so that a lost buffer can be filled again.
#include "platform/audio_dsound.h"

#include "platform/audio_data.h"
#include "platform/audio_drivers.h"
#include "platform/dsound_layer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>
#include <new>

namespace {

struct ds_driver_record {
    ds_device* device;
};

struct ds_sound {
    ds_driver_record* driver;
    ds_buffer* buffer;
    qorl_sound_data* data;
    int32_t volume;
    int32_t pan;
    uint8_t flags;  // bit 0 loop
};

constexpr uint8_t loop_flag = 1;
constexpr int32_t default_rate = 22050;

int32_t (*device_source)(ds_device**) = ds_device::Create;

ds_driver_record* record_of(qorl_audio* audio)
{
    return reinterpret_cast<ds_driver_record*>(audio);
}

ds_sound* sound_of(qorl_sound* sound)
{
    return reinterpret_cast<ds_sound*>(sound);
}

qorl_sound* handle_of(ds_sound* sound)
{
    return reinterpret_cast<qorl_sound*>(sound);
}

// The source continues from the first region into the second.
void copy_regions(void* region1, uint32_t bytes1, void* region2, uint32_t bytes2, const uint8_t* source)
{
    memcpy(region1, source, bytes1);
    if (region2 && bytes2)
        memcpy(region2, source + bytes1, bytes2);
}

int lock_and_copy(ds_buffer* buffer, uint32_t offset, uint32_t length, const uint8_t* source, int32_t* result)
{
    void* p1 = nullptr;
    void* p2 = nullptr;
    uint32_t n1 = 0, n2 = 0;
    *result = buffer->Lock(offset, length, &p1, &n1, &p2, &n2, 0);
    if (*result != DS_OK)
        return 0;
    copy_regions(p1, n1, p2, n2, source);
    return buffer->Unlock(p1, n1, p2, n2) == DS_OK;
}

// The whole buffer from the kept copy. A lost buffer is restored and, since the
// copy is kept for exactly this, filled once more.
int fill(ds_sound* s)
{
    const uint32_t length = static_cast<uint32_t>(s->data->length);
    int32_t result = DS_OK;
    if (lock_and_copy(s->buffer, 0, length, s->data->bytes, &result))
        return 1;
    if (result != DSERR_BUFFERLOST)
        return 0;
    s->buffer->Restore();
    return lock_and_copy(s->buffer, 0, length, s->data->bytes, &result);
}

int apply_volume_pan(ds_sound* s)
{
    int32_t volume_value = 0, pan_value = 0;
    qorl_ds_levels(s->volume, s->pan, &volume_value, &pan_value);
    if (s->buffer->SetVolume(volume_value) != DS_OK)
        return 0;
    return s->buffer->SetPan(pan_value) == DS_OK;
}

qorl_audio* open_device(qorl_window* window)
{
    ds_device* device = nullptr;
    if (device_source(&device) != DS_OK || !device)
        return nullptr;
    if (device->SetCooperativeLevel(window, DSSCL_NORMAL) != DS_OK) {
        device->Release();
        return nullptr;
    }
    auto* record = new (std::nothrow) ds_driver_record{device};
    if (!record) {
        device->Release();
        return nullptr;
    }
    return reinterpret_cast<qorl_audio*>(record);
}

qorl_audio* open_readback(qorl_window*, int32_t, int32_t)
{
    return nullptr;
}

void close_device(qorl_audio* audio)
{
    ds_driver_record* record = record_of(audio);
    if (!record)
        return;
    record->device->Release();
    delete record;
}

int update(qorl_audio*)
{
    return 1;
}

const uint8_t* read_back(qorl_audio*)
{
    return nullptr;
}

qorl_sound* new_sound(qorl_audio* audio, int32_t length, const void* data, int32_t source_rate)
{
    ds_driver_record* record = record_of(audio);
    if (!record || length <= 0 || source_rate < 0)
        return nullptr;
    qorl_sound_data* d = qorl_sound_data_new(length, data);
    if (!d)
        return nullptr;

    const uint32_t rate = static_cast<uint32_t>(source_rate ? source_rate : default_rate);
    ds_wave_format format{};
    format.format_tag = WAVE_FORMAT_PCM;
    format.channels = 1;
    format.samples_per_sec = rate;
    format.avg_bytes_per_sec = rate;
    format.block_align = 1;
    format.bits_per_sample = 8;
    ds_buffer_desc desc{};
    desc.size = sizeof desc;
    desc.flags = DSBCAPS_STATIC | DSBCAPS_CTRLPAN | DSBCAPS_CTRLVOLUME;
    if (source_rate == 0)
        desc.flags |= DSBCAPS_CTRLFREQUENCY;
    desc.buffer_bytes = static_cast<uint32_t>(length);
    desc.format = &format;

    ds_buffer* buffer = nullptr;
    if (record->device->CreateSoundBuffer(&desc, &buffer) != DS_OK) {
        qorl_sound_data_unref(d);
        return nullptr;
    }
    auto* s = new (std::nothrow) ds_sound{record, buffer, d, 32767, 0, 0};
    if (!s || !fill(s)) {
        delete s;
        buffer->Release();
        qorl_sound_data_unref(d);
        return nullptr;
    }
    return handle_of(s);
}

qorl_sound* new_voice(qorl_sound* sound)
{
    ds_sound* original = sound_of(sound);
    ds_buffer* buffer = nullptr;
    if (original->driver->device->DuplicateSoundBuffer(original->buffer, &buffer) != DS_OK)
        return nullptr;
    auto* v = new (std::nothrow) ds_sound{original->driver, buffer, qorl_sound_data_ref(original->data), 0, 0,
                                          static_cast<uint8_t>(original->flags & loop_flag)};
    if (!v) {
        buffer->Release();
        qorl_sound_data_unref(original->data);
        return nullptr;
    }
    return handle_of(v);
}

void free_sound(qorl_sound* sound)
{
    ds_sound* s = sound_of(sound);
    s->buffer->Release();
    qorl_sound_data_unref(s->data);
    delete s;
}

int play(qorl_sound* voice)
{
    ds_sound* s = sound_of(voice);
    s->buffer->SetCurrentPosition(0);
    int32_t result = s->buffer->Play(0, 0, (s->flags & loop_flag) ? DSBPLAY_LOOPING : 0);
    if (result == DSERR_BUFFERLOST) {
        fill(s);
        return 0;
    }
    return result == DS_OK;
}

int stop(qorl_sound* voice)
{
    return sound_of(voice)->buffer->Stop() == DS_OK;
}

int set_rate(qorl_sound* voice, int32_t rate)
{
    return sound_of(voice)->buffer->SetFrequency(static_cast<uint32_t>(rate)) == DS_OK;
}

int set_volume(qorl_sound* voice, int32_t volume)
{
    ds_sound* s = sound_of(voice);
    s->volume = volume;
    return apply_volume_pan(s);
}

int set_pan(qorl_sound* voice, int32_t pan)
{
    ds_sound* s = sound_of(voice);
    s->pan = std::clamp(pan, -32767, 32767);
    return apply_volume_pan(s);
}

int set_loop(qorl_sound* voice, int flag)
{
    ds_sound* s = sound_of(voice);
    s->flags = static_cast<uint8_t>(flag ? (s->flags | loop_flag) : (s->flags & ~loop_flag));
    return 1;
}

int32_t position(qorl_sound* voice)
{
    uint32_t play_cursor = 0;
    if (sound_of(voice)->buffer->GetCurrentPosition(&play_cursor, nullptr) != DS_OK)
        return 0;
    return static_cast<int32_t>(play_cursor);
}

int stream_write(qorl_sound* voice, int32_t length, const void* data, int32_t offset)
{
    ds_sound* s = sound_of(voice);
    qorl_ring_span span;
    if (!qorl_ring_span_of(s->data->length, length, data, offset, &span))
        return 0;
    qorl_ring_copy(s->data->bytes, s->data->length, span);
    if (span.count == 0)
        return 1;
    int32_t result = DS_OK;
    if (lock_and_copy(s->buffer, static_cast<uint32_t>(span.offset), static_cast<uint32_t>(span.count),
                      span.source, &result))
        return 1;
    if (result == DSERR_BUFFERLOST) {
        // The kept copy already holds these bytes: bring the whole buffer back from it.
        s->buffer->Restore();
        fill(s);
    }
    return 0;
}

}  // namespace

const int32_t* qorl_ds_attenuation()
{
    static int32_t table[qorl_ds_attenuation_entries];
    static std::once_flag once;
    std::call_once(once, [] {
        table[0] = -10000;
        for (int i = 1; i < 1024; ++i)
            table[i] = static_cast<int32_t>(2000.0 * std::log10(i / 1024.0 * 100000.0) - 10000.0);
        table[1024] = 0;
    });
    return table;
}

int32_t qorl_ds_att(int32_t amplitude)
{
    if (amplitude < 0)
        return -10000;
    if (amplitude > 32767)
        return 0;
    const int32_t* table = qorl_ds_attenuation();
    int32_t k = amplitude >> 5;
    return table[k] + (((amplitude & 31) * (table[k + 1] - table[k])) >> 5);
}

void qorl_ds_levels(int32_t volume, int32_t pan, int32_t* volume_value, int32_t* pan_value)
{
    *pan_value = pan < 0 ? qorl_ds_att(32767 + pan) : -qorl_ds_att(32767 - pan);
    // The centre plays at half amplitude, a full side at full amplitude on that side.
    int64_t magnitude = pan < 0 ? -static_cast<int64_t>(pan) : pan;
    int64_t amplitude = ((magnitude >> 1) + 16384) * volume / 32768;
    *volume_value = qorl_ds_att(static_cast<int32_t>(std::clamp<int64_t>(amplitude, -1, 32768)));
}

void qorl_ds_set_device_source(int32_t (*create)(ds_device** device))
{
    device_source = create ? create : ds_device::Create;
}

ds_buffer* qorl_ds_buffer_of(qorl_sound* sound)
{
    return sound_of(sound)->buffer;
}

const qorl_audio_driver qorl_dsound_driver = {
    open_device,
    open_readback,
    close_device,
    update,
    read_back,
    new_sound,
    new_voice,
    free_sound,
    play,
    stop,
    set_rate,
    set_volume,
    set_pan,
    set_loop,
    position,
    stream_write,
};
