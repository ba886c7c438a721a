// Sound output: one table of sixteen operations with three instances (the buffer
// driver "dsnd", the "waveout" mixer driver with its mixing thread, and the offline
// readback mixer). At most one is current; the qorl_sound_* calls forward to it.
//
// Units: sounds are unsigned 8-bit mono samples (128 = silence); volume 0..32767
// (linear); pan -32768 (left) .. 32767 (right), 0 centre; rates in samples per
// second; positions and offsets in bytes of the sound's data.
#pragma once
#include <cstdint>

struct qorl_window;
struct qorl_audio;  // an open output; what it points at is the driver's own
struct qorl_sound;  // a sound or a voice; likewise opaque

// Slots in the order the program names them.
struct qorl_audio_driver {
    qorl_audio* (*open)(qorl_window* window);
    qorl_audio* (*open_readback)(qorl_window* window, int32_t rate, int32_t block_frames);
    void (*close)(qorl_audio* audio);
    int (*update)(qorl_audio* audio);
    const uint8_t* (*read_back)(qorl_audio* audio);
    qorl_sound* (*new_sound)(qorl_audio* audio, int32_t length, const void* data,
                             int32_t source_rate);
    qorl_sound* (*new_voice)(qorl_sound* sound);
    void (*free)(qorl_sound* sound);
    int (*play)(qorl_sound* voice);
    int (*stop)(qorl_sound* voice);
    int (*set_rate)(qorl_sound* voice, int32_t rate);
    int (*set_volume)(qorl_sound* voice, int32_t volume);
    int (*set_pan)(qorl_sound* voice, int32_t pan);
    int (*set_loop)(qorl_sound* voice, int flag);
    int32_t (*position)(qorl_sound* voice);
    int (*stream_write)(qorl_sound* voice, int32_t length, const void* data, int32_t offset);
};

// Tries "dsnd", then "waveout" (both options default on). Null when neither opens
// or a device is already open.
qorl_audio* qorl_audio_open(qorl_window* window);
// The offline mixer: stereo at `rate`, handing out blocks of `block_frames` frames.
// Null when a device is already open.
qorl_audio* qorl_audio_open_readback(qorl_window* window, int32_t rate, int32_t block_frames);
void qorl_audio_close(qorl_audio* audio);
int qorl_audio_update(qorl_audio* audio);
// The next mixed block (block_frames pairs of unsigned bytes L, R); null for a
// live driver.
const uint8_t* qorl_audio_readback(qorl_audio* audio);

// With no device open every call below does nothing and returns 0 or null.
// Source rate 0 means the output's own rate. The caller's bytes are copied.
qorl_sound* qorl_sound_new(qorl_audio* audio, int32_t length, const void* data,
                           int32_t source_rate);
qorl_sound* qorl_voice_new(qorl_sound* sound);
// Sound or voice; the samples go with their last user.
void qorl_sound_free(qorl_sound* sound);
int qorl_sound_play(qorl_sound* voice);  // from the start; restarts a playing voice
int qorl_sound_stop(qorl_sound* voice);
int qorl_sound_set_rate(qorl_sound* voice, int32_t rate);
int qorl_sound_set_volume(qorl_sound* voice, int32_t volume);
int qorl_sound_set_pan(qorl_sound* voice, int32_t pan);
int qorl_sound_set_loop(qorl_sound* voice, int flag);
int32_t qorl_sound_position(qorl_sound* voice);  // 0 when not playing
// Copies into the voice's data as a ring from `offset` on; of an over-long write
// only the last data-length bytes land, the offset moved on by the bytes skipped.
int qorl_stream_write(qorl_sound* voice, int32_t length, const void* data, int32_t offset);
