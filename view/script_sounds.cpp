#include "view/script_sounds.h"

#include "foundation/front_door.h"
#include "foundation/intern.h"
#include "foundation/memory.h"
#include "foundation/vfs/vfs.h"
#include "platform/qorl_audio.h"
#include "race/program/audio_start.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

sound_entry sound_entries[kScriptSounds];
int32_t sound_count = 0;

int (*script_sound_time_up)() = nullptr;
size_t script_sound_bytes = 0;

namespace {

void refuse(const char* file_name, const char* why)
{
    char line[1024];
    std::snprintf(line, sizeof line, "Sound %.900s not loaded: %s", file_name, why);
    console_print(line);
}

}  // namespace

// The file is taken in blocks of 64 KiB (a gzip stream inflates as it is read), so
// its size is known only at its end: the cap counts the bytes as they arrive.
int32_t script_sound_read(const char* file_name, uint8_t** samples)
{
    *samples = nullptr;
    vfs_file* f = vfs_open(file_name, "rb");
    if (!f)
        return 0;
    constexpr int kBlock = 1 << 16;
    std::vector<uint8_t> block(kBlock);
    uint8_t* data = nullptr;
    size_t capacity = 0, count = 0, file_bytes = 0;
    bool odd = false, failed = false;
    for (;;) {
        if (script_sound_time_up && script_sound_time_up()) {
            failed = true;   // the script's own stop line says why
            break;
        }
        const int n = vfs_read(f, block.data(), kBlock);
        if (n <= 0)
            break;
        file_bytes += size_t(n);
        if (file_bytes > kScriptSoundMaxBytes) {
            refuse(file_name, "longer than 10 minutes at 44.1 kHz");
            failed = true;
            break;
        }
        if (script_sound_bytes + file_bytes / 2 > kScriptSoundsMaxSamples) {
            refuse(file_name, "the track's sounds would pass 30 minutes at 44.1 kHz");
            failed = true;
            break;
        }
        if (count + size_t(n) / 2 + 1 > capacity) {
            const size_t grown_size = std::max(capacity * 2, count + size_t(n) / 2 + 1);
            auto* grown = static_cast<uint8_t*>(mem_realloc(data, grown_size));
            if (!grown) {
                failed = true;
                break;
            }
            data = grown;
            capacity = grown_size;
        }
        for (int i = 0; i < n; ++i) {
            if (odd)
                data[count++] = static_cast<uint8_t>(block[size_t(i)] ^ 0x80);
            odd = !odd;
        }
    }
    vfs_close(f);
    if (failed || count == 0) {
        mem_free(data);
        return 0;
    }
    *samples = data;
    script_sound_bytes += count;
    return static_cast<int32_t>(count);
}

int32_t sound_add(const char* file_name)
{
    if (sound_count >= kScriptSounds || !file_name)
        return -1;
    qorl_sound* voice = nullptr;
    const sound_entry* first = nullptr;
    for (int32_t i = 0; i < sound_count && !first; ++i)
        if (std::strcmp(sound_entries[i].file_name, file_name) == 0)
            first = &sound_entries[i];
    if (first) {
        voice = qorl_voice_new(first->voice);
    } else {
        uint8_t* samples = nullptr;
        int32_t length = script_sound_read(file_name, &samples);
        if (length == 0)
            return -1;
        voice = qorl_sound_new(audio_device, length, samples, 0);
        mem_free(samples);
    }
    if (!voice)
        return -1;
    sound_entry& e = sound_entries[sound_count];
    e = sound_entry{};
    e.voice = voice;
    e.file_name = intern_string(file_name);
    qorl_sound_set_loop(voice, 0);
    qorl_sound_set_volume(voice, 0);
    return sound_count++;
}

static sound_entry* entry(int32_t id)
{
    return id >= 0 && id < sound_count ? &sound_entries[id] : nullptr;
}

int sound_start(int32_t id)
{
    sound_entry* e = entry(id);
    return e ? qorl_sound_play(e->voice) : 0;
}

int sound_stop(int32_t id)
{
    sound_entry* e = entry(id);
    return e ? qorl_sound_stop(e->voice) : 0;
}

int sound_set_loop(int32_t id, int flag)
{
    sound_entry* e = entry(id);
    return e ? qorl_sound_set_loop(e->voice, flag != 0 ? 1 : 0) : 0;
}

int sound_set_freq(int32_t id, float factor)
{
    sound_entry* e = entry(id);
    if (!e)
        return 0;
    e->freq_factor = factor;
    return 1;
}

int sound_set_vol(int32_t id, float volume)
{
    sound_entry* e = entry(id);
    if (!e)
        return 0;
    e->volume = volume;
    return 1;
}

int sound_set_pos(int32_t id, const float position[3])
{
    sound_entry* e = entry(id);
    if (!e || !position)
        return 0;
    std::memcpy(e->position, position, sizeof e->position);
    return 1;
}

int sound_set_vel(int32_t id, const float velocity[3])
{
    sound_entry* e = entry(id);
    if (!e || !velocity)
        return 0;
    std::memcpy(e->velocity, velocity, sizeof e->velocity);
    return 1;
}

void script_sounds_free()
{
    for (int32_t i = 0; i < sound_count; ++i) {
        qorl_sound_free(sound_entries[i].voice);
        sound_entries[i] = sound_entry{};
    }
    sound_count = 0;
    script_sound_bytes = 0;
}
