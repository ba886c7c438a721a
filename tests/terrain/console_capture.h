// What the console printed during a test. Console lines go to the log; the test
// program sends its log to a file of its own before any test runs.
#pragma once
#include <string>

class ConsoleCapture {
public:
    ConsoleCapture();
    // The lines printed since this object was made, without their time stamps.
    std::string text() const;

private:
    long start_;
};
