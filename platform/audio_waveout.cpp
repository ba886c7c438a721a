// The "waveout" driver: the software mixer playing through ALSA from its own
// thread. The thread mixes one fragment (1/64 s) at a time under the mixer mutex
// and hands it to the device outside the mutex, so a voice call from the main
// thread never waits for the device; the device's buffer of F fragments is the
// mix-ahead. Every voice operation takes the same mutex.
#include "platform/alsa_pcm.h"
#include "platform/audio_drivers.h"
#include "platform/mixer.h"
#include "platform/pcm_writer.h"
#include "platform/qorl_log.h"

#include <mutex>
#include <new>
#include <vector>

namespace {

struct waveout_device {
    qorl_mixer mixer{};
    std::vector<int32_t> left, right;
    std::vector<uint8_t> fragment;
    qorl_pcm* pcm = nullptr;
    qorl_pcm_writer writer;
};

std::mutex mixer_mutex;
waveout_device* device = nullptr;  // the one open instance, main thread only

void release(waveout_device* d)
{
    qorl_pcm_close(d->pcm);
    delete d;
}

// Sound rates the mixer's arithmetic and a device can sensibly take.
int sound_rate()
{
    int rate = qorl_option_int("sound-rate", 22050);
    if (rate < 8000 || rate > 192000) {
        qorl_log("unrecognized setting for %s\n", "sound-rate");
        rate = 22050;
    }
    return rate;
}

qorl_audio* open_device(qorl_window*)
{
    qorl_log("Opening waveOut audio...\n");
    if (device) {
        qorl_log("Audio already open\n");
        return nullptr;
    }
    qorl_pcm* pcm = qorl_pcm_open();
    if (!pcm) {
        qorl_log("No audio device\n");
        return nullptr;
    }
    qorl_log("Found a %s\n", qorl_pcm_name(pcm));

    auto* d = new (std::nothrow) waveout_device;
    if (!d) {
        qorl_log("malloc() failed\n");
        qorl_pcm_close(pcm);
        return nullptr;
    }
    d->pcm = pcm;
    qorl_mixer& m = d->mixer;
    m.voice_limit = qorl_option_int("sound-channels", 16);
    unsigned rate = static_cast<unsigned>(sound_rate());
    int fragments_ahead = qorl_fragments_ahead(qorl_option_int("sound-mixahead", 125));
    m.stereo = qorl_pcm_supports_channels(pcm, 2) ? 1 : 0;
    const unsigned channels = m.stereo ? 2 : 1;

    qorl_log("Waveout rate: %d\n", static_cast<int>(rate));
    qorl_log("Waveout channels: %d\n", m.voice_limit);
    qorl_log("Waveout mixahead: %d\n", fragments_ahead * 1000 / 64);
    const auto fragment = static_cast<unsigned>(qorl_fragment_length(static_cast<int32_t>(rate)));
    if (!qorl_pcm_configure(pcm, qorl_pcm_u8, channels, &rate, fragment, static_cast<unsigned>(fragments_ahead))) {
        qorl_log("Can't open waveOut\n");
        release(d);
        return nullptr;
    }
    // The device may have settled on a neighbouring rate: mix at the one it plays.
    m.output_rate = static_cast<int32_t>(rate);
    m.block_length = qorl_fragment_length(m.output_rate);
    try {
        d->left.assign(static_cast<size_t>(m.block_length), 0);
        if (m.stereo)
            d->right.assign(static_cast<size_t>(m.block_length), 0);
        d->fragment.assign(static_cast<size_t>(m.block_length) * channels, 128);
    } catch (const std::bad_alloc&) {
        qorl_log("malloc() failed\n");
        release(d);
        return nullptr;
    }
    m.left = d->left.data();
    m.right = m.stereo ? d->right.data() : nullptr;
    m.output = d->fragment.data();

    static constexpr qorl_pcm_writer_texts texts{"Audio thread begin\n", "Audio thread end\n",
                                                 "Audio thread: Timeout on fragment %d\n",
                                                 "Audio thread: Write error\n"};
    auto mix = [d] {
        std::lock_guard lock(mixer_mutex);
        qorl_mix_block(&d->mixer);
    };
    if (!d->writer.start(pcm, mix, d->fragment.data(), static_cast<unsigned>(m.block_length), rate, texts)) {
        qorl_log("Can't create thread\n");
        release(d);
        return nullptr;
    }
    device = d;
    qorl_log("Audio opened!\n");
    return reinterpret_cast<qorl_audio*>(d);
}

qorl_audio* open_readback(qorl_window*, int32_t, int32_t)
{
    return nullptr;
}

void close_device(qorl_audio*)
{
    if (!device) {
        qorl_log("Can't close audio, not open\n");
        return;
    }
    qorl_log("Closing audio\n");
    device->writer.stop();
    release(device);
    device = nullptr;
}

int update(qorl_audio*)
{
    return 1;
}

const uint8_t* read_back(qorl_audio*)
{
    return nullptr;
}

qorl_sound* new_sound(qorl_audio*, int32_t length, const void* data, int32_t source_rate)
{
    std::lock_guard lock(mixer_mutex);
    return device ? qorl_mixer_sound_new(&device->mixer, length, data, source_rate) : nullptr;
}

// The rest of the slots: the mixer operation under the mixer mutex.
template <auto operation, typename... Args>
auto locked(qorl_sound* voice, Args... args)
{
    std::lock_guard lock(mixer_mutex);
    return operation(voice, args...);
}

}  // namespace

const qorl_audio_driver qorl_waveout_driver = {
    open_device,
    open_readback,
    close_device,
    update,
    read_back,
    new_sound,
    locked<qorl_mixer_voice_new>,
    locked<qorl_mixer_free>,
    locked<qorl_mixer_play>,
    locked<qorl_mixer_stop>,
    locked<qorl_mixer_set_rate, int32_t>,
    locked<qorl_mixer_set_volume, int32_t>,
    locked<qorl_mixer_set_pan, int32_t>,
    locked<qorl_mixer_set_loop, int>,
    locked<qorl_mixer_position>,
    locked<qorl_mixer_stream_write, int32_t, const void*, int32_t>,
};
