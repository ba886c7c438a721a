// The ALSA side of audio output. Writes block while the device's buffer is full,
// which is what paces the mixing threads; a device that never blocks (the "null"
// device) is paced by the clock instead, so a mixing thread never spins.
#include "platform/alsa_pcm.h"

#include "platform/qorl_log.h"

#include <alsa/asoundlib.h>

#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>

struct qorl_pcm {
    snd_pcm_t* handle = nullptr;
    unsigned frame_bytes = 1;
    unsigned rate = 0;
    snd_pcm_uframes_t buffer_frames = 0;
    // Clock pacing: frames queued since `start`.
    std::chrono::steady_clock::time_point start{};
    uint64_t frames_queued = 0;
    bool pacing_started = false;
};

namespace {

using clock_type = std::chrono::steady_clock;

std::mutex name_mutex;
std::string device_name = "default";

void log_alsa_error(const char* file, int line, const char* function, int err, const char* format, ...)
{
    char text[512];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);
    if (err)
        qorl_log("ALSA lib %s:%d:(%s) %s: %s\n", file, line, function, text, snd_strerror(err));
    else
        qorl_log("ALSA lib %s:%d:(%s) %s\n", file, line, function, text);
}

void route_errors_to_log()
{
    static std::once_flag once;
    std::call_once(once, [] { snd_lib_error_set_handler(log_alsa_error); });
}

void restart_pacing(qorl_pcm* pcm)
{
    pcm->pacing_started = false;
    pcm->frames_queued = 0;
}

// Sleeps while more than a buffer and a bit is queued beyond what real time has
// played; a device that blocks by itself never gets here.
void pace(qorl_pcm* pcm, unsigned frames)
{
    auto now = clock_type::now();
    if (!pcm->pacing_started) {
        pcm->pacing_started = true;
        pcm->start = now;
    }
    pcm->frames_queued += frames;
    auto queued = std::chrono::duration<double>(static_cast<double>(pcm->frames_queued) / pcm->rate);
    auto elapsed = std::chrono::duration<double>(now - pcm->start);
    auto allowed = std::chrono::duration<double>(2.0 * static_cast<double>(pcm->buffer_frames) / pcm->rate);
    if (queued < elapsed) {
        // Fell behind (a stall): no credit for lost time.
        pcm->start = now - std::chrono::duration_cast<clock_type::duration>(queued);
    } else if (queued - elapsed > allowed) {
        std::this_thread::sleep_for(queued - elapsed - allowed);
    }
}

}  // namespace

void qorl_pcm_set_device_name(const char* name)
{
    std::lock_guard lock(name_mutex);
    device_name = name ? name : "default";
}

qorl_pcm* qorl_pcm_open()
{
    route_errors_to_log();
    std::string name;
    {
        std::lock_guard lock(name_mutex);
        name = device_name;
    }
    snd_pcm_t* handle = nullptr;
    if (snd_pcm_open(&handle, name.c_str(), SND_PCM_STREAM_PLAYBACK, 0) < 0)
        return nullptr;
    auto* pcm = new qorl_pcm;
    pcm->handle = handle;
    return pcm;
}

const char* qorl_pcm_name(qorl_pcm* pcm)
{
    return snd_pcm_name(pcm->handle);
}

int qorl_pcm_supports_channels(qorl_pcm* pcm, unsigned channels)
{
    snd_pcm_hw_params_t* hw = nullptr;
    if (snd_pcm_hw_params_malloc(&hw) < 0)
        return 0;
    int ok = snd_pcm_hw_params_any(pcm->handle, hw) >= 0 &&
             snd_pcm_hw_params_test_channels(pcm->handle, hw, channels) == 0;
    snd_pcm_hw_params_free(hw);
    return ok;
}

int qorl_pcm_configure(qorl_pcm* pcm, qorl_pcm_format format, unsigned channels, unsigned* rate,
                       unsigned period_frames, unsigned periods)
{
    snd_pcm_hw_params_t* hw = nullptr;
    if (snd_pcm_hw_params_malloc(&hw) < 0)
        return 0;
    snd_pcm_t* h = pcm->handle;
    snd_pcm_format_t alsa_format = format == qorl_pcm_u8 ? SND_PCM_FORMAT_U8 : SND_PCM_FORMAT_S16;
    snd_pcm_uframes_t period = period_frames;
    snd_pcm_uframes_t buffer = static_cast<snd_pcm_uframes_t>(period_frames) * (periods < 2 ? 2 : periods);
    int dir = 0;
    bool ok = snd_pcm_hw_params_any(h, hw) >= 0 &&
              snd_pcm_hw_params_set_access(h, hw, SND_PCM_ACCESS_RW_INTERLEAVED) >= 0 &&
              snd_pcm_hw_params_set_format(h, hw, alsa_format) >= 0 &&
              snd_pcm_hw_params_set_channels(h, hw, channels) >= 0 &&
              snd_pcm_hw_params_set_rate_near(h, hw, rate, &dir) >= 0 &&
              snd_pcm_hw_params_set_period_size_near(h, hw, &period, &dir) >= 0 &&
              snd_pcm_hw_params_set_buffer_size_near(h, hw, &buffer) >= 0 &&
              snd_pcm_hw_params(h, hw) >= 0 && snd_pcm_prepare(h) >= 0;
    snd_pcm_hw_params_free(hw);
    if (!ok)
        return 0;
    pcm->frame_bytes = channels * (format == qorl_pcm_u8 ? 1 : 2);
    pcm->rate = *rate;
    pcm->buffer_frames = buffer;
    restart_pacing(pcm);
    return 1;
}

int qorl_pcm_write(qorl_pcm* pcm, const void* frames, unsigned count)
{
    const auto* data = static_cast<const uint8_t*>(frames);
    const unsigned total = count;
    int recoveries = 0;
    while (count > 0) {
        int ready = snd_pcm_wait(pcm->handle, 1000);
        snd_pcm_sframes_t n = 0;
        if (ready == 0) {
            snd_pcm_drop(pcm->handle);
            snd_pcm_prepare(pcm->handle);
            restart_pacing(pcm);
            return -1;
        }
        n = ready < 0 ? ready : snd_pcm_writei(pcm->handle, data, count);
        if (n == -EAGAIN)
            continue;
        if (n < 0) {
            // Underruns and suspends are routine; a device that keeps failing is not.
            if (++recoveries > 8 || snd_pcm_recover(pcm->handle, static_cast<int>(n), 1) < 0)
                return 0;
            restart_pacing(pcm);
            continue;
        }
        data += static_cast<size_t>(n) * pcm->frame_bytes;
        count -= static_cast<unsigned>(n);
    }
    pace(pcm, total);
    return 1;
}

void qorl_pcm_close(qorl_pcm* pcm)
{
    if (!pcm)
        return;
    snd_pcm_drop(pcm->handle);
    snd_pcm_close(pcm->handle);
    delete pcm;
}
