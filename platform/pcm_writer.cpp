#include "platform/pcm_writer.h"

#include "platform/alsa_pcm.h"
#include "platform/qorl_log.h"

#include <chrono>
#include <system_error>

bool qorl_pcm_writer::start(qorl_pcm* pcm, std::function<void()> mix, const void* frames_at,
                            unsigned frames, unsigned rate, const qorl_pcm_writer_texts& texts)
{
    pcm_ = pcm;
    mix_ = std::move(mix);
    frames_at_ = frames_at;
    frames_ = frames;
    rate_ = rate;
    texts_ = texts;
    stop_ = false;
    try {
        thread_ = std::thread(&qorl_pcm_writer::run, this);
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void qorl_pcm_writer::stop()
{
    stop_ = true;
    if (thread_.joinable())
        thread_.join();
}

void qorl_pcm_writer::run()
{
    if (texts_.begin)
        qorl_log("%s", texts_.begin);
    const auto period_time = std::chrono::microseconds(1000000LL * frames_ / rate_);
    int count = 0;
    bool failing = false;
    while (!stop_.load()) {
        ++count;
        mix_();
        int written = qorl_pcm_write(pcm_, frames_at_, frames_);
        if (written < 0)
            qorl_log(texts_.stalled, count);
        if (written == 0) {
            // A dead device fails at once: keep time, and say so once per run of failures.
            if (!failing)
                qorl_log("%s", texts_.failed);
            std::this_thread::sleep_for(period_time);
        }
        failing = written == 0;
    }
    if (texts_.end)
        qorl_log("%s", texts_.end);
}
