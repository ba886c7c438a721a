// The per-window input state: ring access under the ring mutex, and the next-event
// calls that pump the window, pop, and poll the devices when the ring is empty.
#include "platform/qorl_input.h"
#include "platform/qorl_log.h"

#include <cstdlib>
#include <sched.h>

namespace {

class ring_lock {
public:
    explicit ring_lock(qorl_input* input) : mutex_(&input->ring_mutex) { pthread_mutex_lock(mutex_); }
    ~ring_lock() { pthread_mutex_unlock(mutex_); }
    ring_lock(const ring_lock&) = delete;
    ring_lock& operator=(const ring_lock&) = delete;

private:
    pthread_mutex_t* mutex_;
};

void pump_or_yield(qorl_input* input)
{
    if (input->pump)
        input->pump(input->window);
    else
        sched_yield();
}

// The ring test for the untimed and the timed form alike.
int pop_locked(qorl_input* input, uint32_t* code, int* pressed, bool timed, int32_t s, int32_t us)
{
    ring_lock lock(input);
    if (timed)
        return qorl_event_pop_until(&input->ring, code, pressed, s, us);
    return qorl_event_pop(&input->ring, code, pressed, nullptr, nullptr);
}

int next_event(qorl_input* input, uint32_t* code, int* pressed, bool timed, int32_t s, int32_t us)
{
    pump_or_yield(input);
    if (pop_locked(input, code, pressed, timed, s, us))
        return 1;
    qorl_poll_devices(input);
    return pop_locked(input, code, pressed, timed, s, us);
}

}  // namespace

int qorl_input_init(qorl_input* input, qorl_window* window)
{
    *input = qorl_input{};
    input->window = window;
    return pthread_mutex_init(&input->ring_mutex, nullptr) == 0 ? 1 : 0;
}

void qorl_input_shutdown(qorl_input* input)
{
    free(input->axis_names);
    input->axis_names = nullptr;
    if (input->devices) {
        qorl_log("Closing input devices\n");
        qorl_devices_close(input);
    }
    pthread_mutex_destroy(&input->ring_mutex);
}

void qorl_input_push(qorl_input* input, uint32_t code, int pressed, int32_t seconds,
                     int32_t microseconds)
{
    ring_lock lock(input);
    qorl_event_push(&input->ring, code, pressed, seconds, microseconds);
}

void qorl_input_push_now(qorl_input* input, uint32_t code, int pressed)
{
    int32_t s = 0, us = 0;
    qorl_time(&s, &us);
    qorl_input_push(input, code, pressed, s, us);
}

int qorl_input_close_waiting(qorl_input* input)
{
    pump_or_yield(input);
    ring_lock lock(input);
    const qorl_event_ring& ring = input->ring;
    for (uint32_t i = 0; i < ring.count; ++i)
        if (ring.code[(ring.head + i) % QORL_RING_SIZE] == QORL_CLOSE)
            return 1;
    return 0;
}

int qorl_input_next_event(qorl_input* input, uint32_t* code, int* pressed)
{
    return next_event(input, code, pressed, false, 0, 0);
}

int qorl_input_next_event_until(qorl_input* input, uint32_t* code, int* pressed,
                                int32_t seconds, int32_t microseconds)
{
    return next_event(input, code, pressed, true, seconds, microseconds);
}
