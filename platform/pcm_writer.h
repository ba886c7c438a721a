// The thread that keeps an ALSA output fed, shared by the two software mixers (the
// waveOut driver and the buffer mixer behind the dsnd driver): each period it has its
// source mix the next frames, then writes them outside any mixer lock, blocking while
// the device's buffer (the mix-ahead) is full.
#pragma once
#include <atomic>
#include <functional>
#include <thread>

struct qorl_pcm;

// The writer's log lines; begin and end may be null.
struct qorl_pcm_writer_texts {
    const char* begin;
    const char* end;
    const char* stalled;  // with the number of the period, counting from 1
    const char* failed;   // once per run of failed writes
};

class qorl_pcm_writer {
public:
    qorl_pcm_writer() = default;
    qorl_pcm_writer(const qorl_pcm_writer&) = delete;
    qorl_pcm_writer& operator=(const qorl_pcm_writer&) = delete;
    ~qorl_pcm_writer() { stop(); }

    // mix() leaves the next `frames` frames at `frames_at`. False when no thread starts.
    bool start(qorl_pcm* pcm, std::function<void()> mix, const void* frames_at, unsigned frames,
               unsigned rate, const qorl_pcm_writer_texts& texts);
    // Lets the current period finish and waits for the thread.
    void stop();

private:
    void run();

    qorl_pcm* pcm_ = nullptr;
    std::function<void()> mix_;
    const void* frames_at_ = nullptr;
    unsigned frames_ = 0;
    unsigned rate_ = 0;
    qorl_pcm_writer_texts texts_{};
    std::atomic<bool> stop_{false};
    std::thread thread_;
};
