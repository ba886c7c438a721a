// Reads what the layer writes to the log. The test program opens the log once, in a
// file of its own (or the one QORL_LOGFILE names), before any test runs.
#pragma once
#include <string>

class LogCapture {
public:
    LogCapture();
    // Everything logged since this object was made, without the time prefixes.
    std::string text() const;

private:
    long start_;
};
