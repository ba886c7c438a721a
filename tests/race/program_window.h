// Runs the program under the test's Xvfb and closes its window the way a window manager
// does (the close protocol), once the window is shown.
#pragma once
#include "support/test_support.h"

#include <string>
#include <vector>

namespace bvtest {

struct WindowedRun {
    ProcessResult result;
    bool window_seen = false;  // a window titled "Brovanta" appeared and was asked to close
};

WindowedRun run_and_close_window(const std::vector<std::string>& argv,
                                 const std::vector<EnvChange>& env, int timeout_seconds = 60);

}  // namespace bvtest
