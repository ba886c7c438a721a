// The software mixer shared by the "waveout" and readback drivers: voices sorted
// by gain into 31 audible levels, one table look-up and add per sample, a budget of
// channel nodes heard per block (the loudest win), and gain changes that wait for
// the waveform to cross the midpoint so they do not click. No locking in here: the
// drivers decide who may call when.
#pragma once
#include "platform/audio_data.h"
#include "platform/qorl_audio.h"

#include <algorithm>
#include <array>
#include <cstdint>

// One output channel of a sound: its place in a gain list and its play state.
struct qorl_mix_node {
    qorl_sound* owner;
    qorl_mix_node* next;
    qorl_mix_node* previous;
    uint32_t position;  // byte offset into the data
    uint32_t fraction;  // 31-bit fraction of a byte
    uint8_t gain;       // 0..31, the list it belongs to
    uint8_t last_gain;  // the gain it was last mixed at
};

enum : uint8_t {
    qorl_sound_loop = 1,
    qorl_sound_linked = 2,  // in the gain lists, i.e. playing
    qorl_sound_stereo = 4,
    qorl_sound_restart = 8,
    qorl_sound_ended = 16,    // stopped: silent after the next crossing
    qorl_sound_ran_out = 32,  // a one-shot reached its end in this block
};

// A mixer sound or voice.
struct qorl_sound {
    qorl_mix_node left;
    qorl_mix_node right;  // linked only for stereo output
    uint32_t base_rate;   // the output rate when it was made
    uint32_t rate;
    int32_t volume;
    int32_t pan;
    uint8_t flags;
    qorl_sound_data* data;
};

struct qorl_mixer {
    uint8_t* output;       // the next block goes here (interleaved L, R when stereo)
    int32_t* left;         // accumulators, one per sample of the block
    int32_t* right;        // stereo only
    int32_t voice_limit;   // channel nodes heard per block
    uint32_t stereo;
    int32_t output_rate;
    int32_t block_length;  // samples per block
};

constexpr int qorl_gain_levels = 32;

// Table g-1 holds the signed contribution of each sample byte at gain g (1..31).
using qorl_gain_table_set = std::array<std::array<int8_t, 256>, 31>;
extern const qorl_gain_table_set qorl_gain_tables;

// Gains 0..31 each for a volume 0..32767 and a pan -32768..32767.
void qorl_gains(int32_t volume, int32_t pan, uint8_t* left, uint8_t* right);
// The head of a gain list (channel 0 left, 1 right), null when empty.
qorl_mix_node* qorl_gain_list(int channel, int level);
void qorl_voice_link(qorl_sound* voice);
void qorl_voice_unlink(qorl_sound* voice);

void qorl_mix_block(qorl_mixer* mixer);
void qorl_mix_voice(qorl_mix_node* node, int32_t* accumulator, int32_t samples, int audible);

// The live driver mixes fragments of 1/64 s and keeps 1..32 of them queued for a
// mix-ahead of "sound-mixahead" milliseconds.
constexpr int32_t qorl_fragment_length(int32_t rate)
{
    return rate / 64;
}
constexpr int qorl_fragments_ahead(int64_t mixahead_ms)
{
    return static_cast<int>(std::clamp<int64_t>(mixahead_ms * 64 / 1000, 1, 32));
}

// The ceiling on a voice's rate, as a multiple of its base rate.
constexpr uint32_t qorl_rate_ceiling = 64;

// The driver operations, unlocked. Sound creation resamples to the mixer's rate when
// source_rate is non-zero.
qorl_sound* qorl_mixer_sound_new(qorl_mixer* mixer, int32_t length, const void* data,
                                 int32_t source_rate);
qorl_sound* qorl_mixer_voice_new(qorl_sound* sound);
void qorl_mixer_free(qorl_sound* voice);
int qorl_mixer_play(qorl_sound* voice);
int qorl_mixer_stop(qorl_sound* voice);
int qorl_mixer_set_rate(qorl_sound* voice, int32_t rate);
int qorl_mixer_set_volume(qorl_sound* voice, int32_t volume);
int qorl_mixer_set_pan(qorl_sound* voice, int32_t pan);
int qorl_mixer_set_loop(qorl_sound* voice, int flag);
int32_t qorl_mixer_position(qorl_sound* voice);
int qorl_mixer_stream_write(qorl_sound* voice, int32_t length, const void* data, int32_t offset);
