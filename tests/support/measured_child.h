// One damaged-file case run in a forked child, so that what it costs is its own: the
// processor time and how far the resident set grew over the case, with a kill past a
// limit so a case that hangs fails instead of stalling the suite: limit_seconds of the
// child's processor time, or ten times that on the wall clock for a case that waits.
#pragma once
#include <functional>
#include <string>

namespace bvtest {

struct ChildCost {
    bool finished = false;   // ended by itself within the limit
    int result = -1;         // what the body returned
    double seconds = 0;
    long grown_kib = 0;      // peak resident set minus the resident set at the start
};

ChildCost run_measured(const std::function<int()>& body, int limit_seconds = 20);

// "name: 0.012 s, +1234 KiB" for the test's output and the closing note.
std::string describe(const std::string& name, const ChildCost& cost);

}  // namespace bvtest
