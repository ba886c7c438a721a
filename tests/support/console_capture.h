// The console lines of a test program: the log is offered a file in a temporary folder
// before any test runs, and every console line lands there.
#pragma once
#include <string>

namespace bvtest {

// All the log holds so far.
std::string console_log_text();

}  // namespace bvtest

// What the console printed since this object was made, lines without their time stamps.
class ConsoleCapture {
public:
    std::string text() const;

private:
    size_t start_ = bvtest::console_log_text().size();
};
