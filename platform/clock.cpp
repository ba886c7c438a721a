// The library's clock: milliseconds on CLOCK_MONOTONIC, kept in 64 bits so a machine
// that has been up for weeks still counts forwards.
#include "platform/qorl_log.h"

#include <cerrno>
#include <ctime>
#include <sched.h>

namespace {

int64_t monotonic_milliseconds()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

int64_t (*clock_source)() = monotonic_milliseconds;

void sleep_milliseconds(int64_t ms)
{
    if (ms <= 0) {
        sched_yield();
        return;
    }
    timespec ts{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
    while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
}

// Sleep measures in nanoseconds, so that a span never ends early by the part of a
// millisecond that qorl_time leaves out.
int64_t now_nanoseconds()
{
    if (clock_source != monotonic_milliseconds)
        return clock_source() * 1000000;
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

}  // namespace

void qorl_set_clock(int64_t (*milliseconds)())
{
    clock_source = milliseconds ? milliseconds : monotonic_milliseconds;
}

int64_t qorl_time_milliseconds()
{
    return clock_source();
}

int qorl_time(int32_t* seconds, int32_t* microseconds)
{
    int64_t t = clock_source();
    *seconds = static_cast<int32_t>(t / 1000);
    *microseconds = static_cast<int32_t>(t % 1000) * 1000;
    return 1;
}

// A relative delay: sleep most of it, then yield until the clock reaches the target.
void qorl_sleep(int32_t seconds, int32_t microseconds)
{
    int64_t start = now_nanoseconds();
    int64_t total_ms = static_cast<int64_t>(seconds) * 1000 + microseconds / 1000;
    if (total_ms > 1)
        sleep_milliseconds(total_ms - 1);
    else if (total_ms >= 0)
        sleep_milliseconds(total_ms);
    int64_t target = start + (static_cast<int64_t>(seconds) * 1000000 + microseconds) * 1000;
    while (now_nanoseconds() < target)
        sleep_milliseconds(0);
}
