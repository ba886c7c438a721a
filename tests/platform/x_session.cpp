#include "platform/x_session.h"

#include "platform/qorl_events.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <thread>

namespace bvtest {

std::vector<RingEvent> pop_events(qorl_window* window,
                                  const std::function<bool(const std::vector<RingEvent>&)>& done,
                                  int timeout_ms)
{
    std::vector<RingEvent> events;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (!done(events) && std::chrono::steady_clock::now() < deadline) {
        RingEvent e{};
        if (qorl_next_event(window, &e.code, &e.pressed))
            events.push_back(e);
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return events;
}

std::vector<RingEvent> pop_until(qorl_window* window, RingEvent last)
{
    return pop_events(window, [&](const std::vector<RingEvent>& got) { return contains(got, last); });
}

bool pump_until(qorl_window* window, const std::function<bool()>& ready, int timeout_ms)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (!ready()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        uint32_t code = 0;
        int pressed = 0;
        if (!qorl_next_event(window, &code, &pressed))
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

bool contains(const std::vector<RingEvent>& events, RingEvent event)
{
    return std::find(events.begin(), events.end(), event) != events.end();
}

std::string describe(const std::vector<RingEvent>& events)
{
    std::ostringstream text;
    for (const RingEvent& e : events)
        text << std::hex << "0x" << e.code << (e.pressed ? "+ " : "- ");
    return text.str();
}

void finish_child(const std::string& failure)
{
    if (!failure.empty()) {
        fprintf(stderr, "%s\n", failure.c_str());
        fflush(stderr);
        exit(1);
    }
    exit(0);
}

}  // namespace bvtest
