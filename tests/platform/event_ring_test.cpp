// The event ring: order, overflow, release bit, stamps and pop-until; and the locked
// access from several threads at once.
#include "platform/qorl_input.h"
#include "platform/qorl_log.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace {

TEST(EventRing, KeepsArrivalOrderDropsTheOverflowAndWraps)
{
    qorl_event_ring ring{};
    ring.head = 250;  // start near the end so the slots wrap
    for (uint32_t i = 0; i < 257; i++)
        qorl_event_push(&ring, 0x1000 + i, static_cast<int>(i % 2), static_cast<int32_t>(i), 7);
    EXPECT_EQ(ring.count, 256u);

    uint32_t code = 0;
    int pressed = -1;
    int32_t s = 0, us = 0;
    for (uint32_t i = 0; i < 256; i++) {
        ASSERT_EQ(qorl_event_pop(&ring, &code, &pressed, &s, &us), 1) << i;
        EXPECT_EQ(code, 0x1000 + i);
        EXPECT_EQ(pressed, static_cast<int>(i % 2));
        EXPECT_EQ(s, static_cast<int32_t>(i));
        EXPECT_EQ(us, 7);
    }
    EXPECT_EQ(qorl_event_pop(&ring, &code, &pressed, &s, &us), 0);
    EXPECT_EQ(code, 0x1000u + 255);  // untouched by the failed pop

    // After draining, the ring takes new events again; the release bit never leaks
    // into the highest device button's code.
    const uint32_t device_button = 0x7FFF0000u | 0xFF;
    qorl_event_push(&ring, device_button, 0, 0, 0);
    qorl_event_push(&ring, device_button, 1, 0, 0);
    for (int want_pressed : {0, 1}) {
        ASSERT_TRUE(qorl_event_pop(&ring, &code, &pressed, nullptr, nullptr));
        EXPECT_EQ(code, device_button);
        EXPECT_EQ(pressed, want_pressed);
    }
}

TEST(EventRing, PopUntilLooksAtTheHeadOnlyAndPushNowStampsOnTheLibraryClock)
{
    qorl_event_ring ring{};
    qorl_event_push(&ring, 0x1001, 1, 10, 500000);
    qorl_event_push(&ring, 0x1002, 1, 9, 0);  // earlier stamp queued behind
    uint32_t code = 0;
    int pressed = 0;
    EXPECT_EQ(qorl_event_pop_until(&ring, &code, &pressed, 10, 499999), 0);
    EXPECT_EQ(qorl_event_pop_until(&ring, &code, &pressed, 9, 999999), 0);
    EXPECT_EQ(ring.count, 2u);
    ASSERT_EQ(qorl_event_pop_until(&ring, &code, &pressed, 10, 500000), 1);  // equal stamp goes
    EXPECT_EQ(code, 0x1001u);
    ASSERT_EQ(qorl_event_pop_until(&ring, &code, &pressed, 9, 0), 1);
    EXPECT_EQ(code, 0x1002u);
    EXPECT_EQ(qorl_event_pop_until(&ring, &code, &pressed, 1000, 0), 0);

    qorl_set_clock([]() -> int64_t { return 3725500; });
    qorl_event_push_now(&ring, 0x2000, 1);
    qorl_set_clock(nullptr);
    int32_t s = 0, us = 0;
    ASSERT_TRUE(qorl_event_pop(&ring, &code, &pressed, &s, &us));
    EXPECT_EQ(s, 3725);
    EXPECT_EQ(us, 500000);
}

int pump_calls = 0;

TEST(InputState, NextEventPumpsPopsAndHonoursTheTime)
{
    qorl_input input;
    ASSERT_TRUE(qorl_input_init(&input, nullptr));
    input.pump = [](qorl_window*) { pump_calls++; };
    qorl_input_push(&input, 0x101C, 1, 5, 0);
    qorl_input_push(&input, 'a', 1, 6, 0);
    uint32_t code = 0;
    int pressed = 0;
    EXPECT_EQ(qorl_input_next_event_until(&input, &code, &pressed, 4, 999999), 0);
    EXPECT_EQ(qorl_input_next_event_until(&input, &code, &pressed, 5, 0), 1);
    EXPECT_EQ(code, 0x101Cu);
    EXPECT_EQ(qorl_input_next_event(&input, &code, &pressed), 1);
    EXPECT_EQ(code, static_cast<uint32_t>('a'));
    EXPECT_EQ(qorl_input_next_event(&input, &code, &pressed), 0);
    EXPECT_EQ(pump_calls, 4);
    qorl_input_shutdown(&input);
}

TEST(InputState, ThreadsPushAndPopUnderTheRingLock)
{
    qorl_input input;
    ASSERT_TRUE(qorl_input_init(&input, nullptr));  // no pump: a threaded window yields
    constexpr int producers = 3;
    // Each pop yields the processor, which on a busy machine may cost a whole round of
    // the scheduler: a thousand each still fill the ring a dozen times.
    constexpr int per_producer = 1000;
    // A lost event or a ring that never drains fails the test instead of holding it:
    // a minute without an event, however slowly a busy machine lets them through.
    std::atomic<bool> given_up{false};
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    std::vector<std::thread> threads;
    for (int p = 0; p < producers; p++)
        threads.emplace_back([&input, &given_up, p] {
            for (int i = 0; i < per_producer && !given_up; i++) {
                // Wait for room rather than lose events, so every one must arrive.
                while (!given_up) {
                    pthread_mutex_lock(&input.ring_mutex);
                    bool room = input.ring.count < QORL_RING_SIZE;
                    if (room)
                        qorl_event_push(&input.ring, static_cast<uint32_t>((p << 16) | i), 1, 0, 0);
                    pthread_mutex_unlock(&input.ring_mutex);
                    if (room)
                        break;
                    std::this_thread::yield();
                }
            }
        });
    std::vector<int> next(producers, 0);
    int received = 0;
    std::string wrong;
    while (received < producers * per_producer && wrong.empty()) {
        uint32_t code = 0;
        int pressed = 0;
        if (!qorl_input_next_event(&input, &code, &pressed)) {
            if (std::chrono::steady_clock::now() > deadline)
                wrong = "only " + std::to_string(received) + " events arrived";
            continue;
        }
        deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        int p = static_cast<int>(code >> 16);
        if (p >= producers)
            wrong = "a producer that does not exist: " + std::to_string(p);
        else if (static_cast<int>(code & 0xFFFF) != next[p])  // per-thread order
            wrong = "producer " + std::to_string(p) + " out of order";
        else
            next[p]++;
        received++;
    }
    given_up = !wrong.empty();
    for (auto& t : threads)
        t.join();
    ASSERT_EQ(wrong, "");
    qorl_input_shutdown(&input);
}

}  // namespace
