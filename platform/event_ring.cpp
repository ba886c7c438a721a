// The event ring: a fixed 256-slot queue in arrival order. The ring itself takes no
// lock; qorl_input wraps every push and pop in the window's ring mutex.
#include "platform/qorl_events.h"
#include "platform/qorl_log.h"

void qorl_event_push(qorl_event_ring* ring, uint32_t code, int pressed, int32_t seconds,
                     int32_t microseconds)
{
    if (ring->count >= QORL_RING_SIZE)
        return;
    uint32_t slot = (ring->head + ring->count) % QORL_RING_SIZE;
    ring->code[slot] = pressed ? (code & ~QORL_RELEASED) : (code | QORL_RELEASED);
    ring->seconds[slot] = seconds;
    ring->microseconds[slot] = microseconds;
    ring->count++;
}

void qorl_event_push_now(qorl_event_ring* ring, uint32_t code, int pressed)
{
    int32_t s = 0, us = 0;
    qorl_time(&s, &us);
    qorl_event_push(ring, code, pressed, s, us);
}

int qorl_event_pop(qorl_event_ring* ring, uint32_t* code, int* pressed, int32_t* seconds,
                   int32_t* microseconds)
{
    if (ring->count == 0)
        return 0;
    uint32_t slot = ring->head % QORL_RING_SIZE;
    uint32_t stored = ring->code[slot];
    *code = stored & ~QORL_RELEASED;
    *pressed = (stored & QORL_RELEASED) ? 0 : 1;
    if (seconds)
        *seconds = ring->seconds[slot];
    if (microseconds)
        *microseconds = ring->microseconds[slot];
    ring->head = (slot + 1) % QORL_RING_SIZE;
    ring->count--;
    return 1;
}

int qorl_event_pop_until(qorl_event_ring* ring, uint32_t* code, int* pressed, int32_t seconds,
                         int32_t microseconds)
{
    if (ring->count == 0)
        return 0;
    uint32_t slot = ring->head % QORL_RING_SIZE;
    int32_t s = ring->seconds[slot];
    if (s > seconds || (s == seconds && ring->microseconds[slot] > microseconds))
        return 0;
    return qorl_event_pop(ring, code, pressed, nullptr, nullptr);
}
