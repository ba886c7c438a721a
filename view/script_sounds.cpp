#include "view/script_sounds.h"

#include "foundation/intern.h"
#include "foundation/memory.h"
#include "foundation/vfs.h"
#include "platform/qorl_audio.h"
#include "race/program/audio_start.h"

#include <cstring>

sound_entry sound_entries[kScriptSounds];
int32_t sound_count = 0;

int32_t script_sound_read(const char* file_name, uint8_t** samples)
{
    *samples = nullptr;
    vfs_file* f = vfs_open(file_name, "rb");
    if (!f)
        return 0;
    int32_t capacity = 1024;
    int32_t count = 0;
    auto* data = static_cast<uint8_t*>(mem_alloc(static_cast<size_t>(capacity)));
    uint8_t pair[2];
    while (data && vfs_read(f, pair, 2) == 2) {
        if (count == capacity) {
            auto* grown = static_cast<uint8_t*>(mem_realloc(data, static_cast<size_t>(capacity) + 1024));
            if (!grown) {
                mem_free(data);
                data = nullptr;
                break;
            }
            data = grown;
            capacity += 1024;
        }
        data[count++] = static_cast<uint8_t>(pair[1] ^ 0x80);
    }
    vfs_close(f);
    if (!data || count == 0) {
        mem_free(data);
        return 0;
    }
    *samples = data;
    return count;
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
}
