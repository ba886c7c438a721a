// Helpers for window tests under Xvfb: a connection of the test's own, synthetic input
// through the server's XTEST extension, waiting for ring events, and the verdict of a
// scenario run in a child process.
#pragma once
#include "support/fake_input.h"

#include <X11/Xlib.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct qorl_window;

namespace bvtest {

struct RingEvent {
    uint32_t code;
    int pressed;
    bool operator==(const RingEvent&) const = default;
};

// Pops events until done() says so or timeout_ms passes; returns everything popped.
// The timeouts only fail a test: they are long enough for a busy machine.
std::vector<RingEvent> pop_events(qorl_window* window,
                                  const std::function<bool(const std::vector<RingEvent>&)>& done,
                                  int timeout_ms = 30000);
// Pops until the event arrives; returns everything popped.
std::vector<RingEvent> pop_until(qorl_window* window, RingEvent last);
// Pumps the window (by asking for events) until ready() or timeout_ms; the events are dropped.
bool pump_until(qorl_window* window, const std::function<bool()>& ready, int timeout_ms = 30000);

bool contains(const std::vector<RingEvent>& events, RingEvent event);
std::string describe(const std::vector<RingEvent>& events);

// The first failed check of a scenario, "" while all pass.
struct FirstFailure {
    std::string text;
    void check(bool ok, const std::string& what)
    {
        if (!ok && text.empty())
            text = what;
    }
};

// For death tests run as fresh processes: prints a failure and exits 1, or exits 0.
[[noreturn]] void finish_child(const std::string& failure);

}  // namespace bvtest
