// Sounds a track script places in the world: each is a voice of the audio device with
// a position, a velocity, a playback rate and a volume. The script's sound functions
// call these; the per-frame engine sound update turns position, velocity, rate and
// volume into the voice's rate, volume and pan (as heard from the last camera).
#pragma once
#include <cstddef>
#include <cstdint>

struct qorl_sound;

inline constexpr int32_t kScriptSounds = 4096;

struct sound_entry {
    qorl_sound* voice;
    const char* file_name;   // interned
    float position[3];
    float velocity[3];
    float freq_factor;       // samples per second before Doppler
    float volume;            // 0..1 before distance
};

extern sound_entry sound_entries[kScriptSounds];
extern int32_t sound_count;

// An id (index) or -1: table full, a file that does not open, is empty or holds no
// whole sample, or no audio device. The same file name again shares the first
// entry's samples. A new sound is stopped, not looping, at volume 0.
int32_t sound_add(const char* file_name);
// Each returns the driver's result, or 0 for an id outside 0 .. count-1.
int sound_start(int32_t id);
int sound_stop(int32_t id);
int sound_set_loop(int32_t id, int flag);
// Each stores its value and returns 1, or 0 for a bad id.
int sound_set_freq(int32_t id, float factor);
int sound_set_vol(int32_t id, float volume);
int sound_set_pos(int32_t id, const float position[3]);
int sound_set_vel(int32_t id, const float velocity[3]);
// Frees every entry's voice and empties the table (track load, race reset, shutdown).
void script_sounds_free();

// Scripts arrive with downloaded tracks: a sound file may hold at most 10 minutes of
// 16-bit samples at 44.1 kHz, the richest the driver plays (counted after a ".gz" file
// inflates), and a track's sounds together three such sounds: music and two long
// ambient loops, about 76 MiB of 8-bit samples kept. A file past either is refused
// with one line.
inline constexpr size_t kScriptSoundMaxBytes = size_t(2) * 44100 * 600;
inline constexpr size_t kScriptSoundsMaxSamples = 3 * kScriptSoundMaxBytes / 2;
// Samples read for the table's sounds since it was last emptied.
extern size_t script_sound_bytes;
// Asked between blocks of a file being read: nonzero (the script's time ran out)
// gives up the read. Installed by the script host; null reads to the end.
extern int (*script_sound_time_up)();

// Reads a raw 16-bit little-endian file as the driver's 8-bit samples: each pair's
// high byte with its top bit flipped; an odd last byte is ignored. Returns the
// sample count and a block the caller frees with mem_free; 0 (no block) when the
// file does not open, holds no whole sample, is past the caps or runs out of time.
int32_t script_sound_read(const char* file_name, uint8_t** samples);
