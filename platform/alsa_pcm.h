// Playback through ALSA, as the audio drivers need it: open the output device, ask
// what it takes, configure it, and write interleaved frames that block while the
// device's buffer is full. Every ALSA call of the library lives in alsa_*.cpp, and
// ALSA's own error chatter goes to the log.
#pragma once
#include <cstdint>

struct qorl_pcm;

enum qorl_pcm_format { qorl_pcm_u8, qorl_pcm_s16 };

// The device the drivers open, "default" unless changed (tests use "null", which
// takes any format, or a name that does not exist). Null restores "default".
void qorl_pcm_set_device_name(const char* name);

// Null when the device cannot be opened (no sound card).
qorl_pcm* qorl_pcm_open();
const char* qorl_pcm_name(qorl_pcm* pcm);
int qorl_pcm_supports_channels(qorl_pcm* pcm, unsigned channels);
// Sets the format with a buffer of `periods` periods; *rate becomes the rate the
// device accepted. 1 on success.
int qorl_pcm_configure(qorl_pcm* pcm, qorl_pcm_format format, unsigned channels, unsigned* rate,
                       unsigned period_frames, unsigned periods);
// Blocks until every frame is queued. 1 when written, 0 on a device error, -1 when
// the device accepted nothing for a second and was reset.
int qorl_pcm_write(qorl_pcm* pcm, const void* frames, unsigned count);
// Drops what is still queued.
void qorl_pcm_close(qorl_pcm* pcm);
