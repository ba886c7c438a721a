// The current audio driver and the calls that forward to it. Forwarding with no
// driver open (no sound card, "--nosound") is harmless: nothing happens and the
// result is 0 or null.
#include "platform/audio_drivers.h"

#include "platform/qorl_log.h"

namespace {

const qorl_audio_driver* current = nullptr;
const qorl_audio_driver* first_choice = &qorl_dsound_driver;
const qorl_audio_driver* second_choice = &qorl_waveout_driver;

// The driver a sound call goes to, or null when the call must do nothing.
const qorl_audio_driver* target(const qorl_sound* sound)
{
    return sound ? current : nullptr;
}

}  // namespace

void qorl_audio_set_live_drivers(const qorl_audio_driver* first, const qorl_audio_driver* second)
{
    first_choice = first ? first : &qorl_dsound_driver;
    second_choice = second ? second : &qorl_waveout_driver;
}

const qorl_audio_driver* qorl_audio_current_driver()
{
    return current;
}

qorl_audio* qorl_audio_open(qorl_window* window)
{
    if (current)
        return nullptr;
    if (qorl_option_bool("dsnd", 1)) {
        if (qorl_audio* audio = first_choice->open(window)) {
            current = first_choice;
            return audio;
        }
    }
    if (qorl_option_bool("waveout", 1)) {
        if (qorl_audio* audio = second_choice->open(window)) {
            current = second_choice;
            return audio;
        }
    }
    return nullptr;
}

qorl_audio* qorl_audio_open_readback(qorl_window* window, int32_t rate, int32_t block_frames)
{
    // Replacing a live driver would strand its mixing thread.
    if (current) {
        qorl_log("Audio already open\n");
        return nullptr;
    }
    qorl_audio* audio = qorl_readback_driver.open_readback(window, rate, block_frames);
    if (audio)
        current = &qorl_readback_driver;
    return audio;
}

void qorl_audio_close(qorl_audio* audio)
{
    if (!current)
        return;
    const qorl_audio_driver* closing = current;
    current = nullptr;
    closing->close(audio);
}

int qorl_audio_update(qorl_audio* audio)
{
    return current ? current->update(audio) : 1;
}

const uint8_t* qorl_audio_readback(qorl_audio* audio)
{
    return current ? current->read_back(audio) : nullptr;
}

qorl_sound* qorl_sound_new(qorl_audio* audio, int32_t length, const void* data, int32_t source_rate)
{
    if (!current || length <= 0)
        return nullptr;
    return current->new_sound(audio, length, data, source_rate);
}

qorl_sound* qorl_voice_new(qorl_sound* sound)
{
    const qorl_audio_driver* d = target(sound);
    return d ? d->new_voice(sound) : nullptr;
}

void qorl_sound_free(qorl_sound* sound)
{
    if (const qorl_audio_driver* d = target(sound))
        d->free(sound);
}

int qorl_sound_play(qorl_sound* voice)
{
    const qorl_audio_driver* d = target(voice);
    return d ? d->play(voice) : 0;
}

int qorl_sound_stop(qorl_sound* voice)
{
    const qorl_audio_driver* d = target(voice);
    return d ? d->stop(voice) : 0;
}

int qorl_sound_set_rate(qorl_sound* voice, int32_t rate)
{
    const qorl_audio_driver* d = target(voice);
    return d ? d->set_rate(voice, rate) : 0;
}

int qorl_sound_set_volume(qorl_sound* voice, int32_t volume)
{
    const qorl_audio_driver* d = target(voice);
    return d ? d->set_volume(voice, volume) : 0;
}

int qorl_sound_set_pan(qorl_sound* voice, int32_t pan)
{
    const qorl_audio_driver* d = target(voice);
    return d ? d->set_pan(voice, pan) : 0;
}

int qorl_sound_set_loop(qorl_sound* voice, int flag)
{
    const qorl_audio_driver* d = target(voice);
    return d ? d->set_loop(voice, flag) : 0;
}

int32_t qorl_sound_position(qorl_sound* voice)
{
    const qorl_audio_driver* d = target(voice);
    return d ? d->position(voice) : 0;
}

int qorl_stream_write(qorl_sound* voice, int32_t length, const void* data, int32_t offset)
{
    const qorl_audio_driver* d = target(voice);
    return d ? d->stream_write(voice, length, data, offset) : 0;
}
