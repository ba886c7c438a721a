// The readback driver: the mixer writing into memory on request, for recording a
// race's sound offline. Stereo, no thread and no lock; the handle is the mixer.
#include "platform/audio_drivers.h"
#include "platform/mixer.h"
#include "platform/qorl_log.h"

#include <cstdlib>
#include <new>

namespace {

// Far beyond any real use, and small enough for the mixer's 32-bit step arithmetic.
constexpr int32_t max_rate = 1 << 20;
constexpr int32_t max_block = 1 << 20;

qorl_mixer* mixer_of(qorl_audio* audio)
{
    return reinterpret_cast<qorl_mixer*>(audio);
}

qorl_audio* open_live(qorl_window*)
{
    return nullptr;
}

qorl_audio* open_readback(qorl_window*, int32_t rate, int32_t block_frames)
{
    qorl_log("Opening readback audio...\n");
    if (rate < 1 || rate > max_rate || block_frames < 1 || block_frames > max_block) {
        qorl_log("Bad readback format: %d Hz, %d frames\n", rate, block_frames);
        return nullptr;
    }
    auto* mixer = new (std::nothrow) qorl_mixer{};
    // Left and right accumulators, then the output: 10 bytes per sample.
    void* storage = malloc(static_cast<size_t>(block_frames) * 10);
    if (!mixer || !storage) {
        qorl_log("Malloc failed\n");
        delete mixer;
        free(storage);
        return nullptr;
    }
    mixer->left = static_cast<int32_t*>(storage);
    mixer->right = mixer->left + block_frames;
    mixer->output = reinterpret_cast<uint8_t*>(mixer->right + block_frames);
    mixer->voice_limit = qorl_option_int("sound-channels", 16);
    mixer->stereo = 1;
    mixer->output_rate = rate;
    mixer->block_length = block_frames;
    qorl_log("Audio opened!\n");
    return reinterpret_cast<qorl_audio*>(mixer);
}

void close_device(qorl_audio* audio)
{
    qorl_mixer* mixer = mixer_of(audio);
    if (!mixer)
        return;
    free(mixer->left);
    delete mixer;
}

int update(qorl_audio*)
{
    return 1;
}

const uint8_t* read_back(qorl_audio* audio)
{
    qorl_mixer* mixer = mixer_of(audio);
    if (!mixer)
        return nullptr;
    qorl_mix_block(mixer);
    return mixer->output;
}

qorl_sound* new_sound(qorl_audio* audio, int32_t length, const void* data, int32_t source_rate)
{
    return qorl_mixer_sound_new(mixer_of(audio), length, data, source_rate);
}

}  // namespace

const qorl_audio_driver qorl_readback_driver = {
    open_live,
    open_readback,
    close_device,
    update,
    read_back,
    new_sound,
    qorl_mixer_voice_new,
    qorl_mixer_free,
    qorl_mixer_play,
    qorl_mixer_stop,
    qorl_mixer_set_rate,
    qorl_mixer_set_volume,
    qorl_mixer_set_pan,
    qorl_mixer_set_loop,
    qorl_mixer_position,
    qorl_mixer_stream_write,
};
