// What the console printed during a test. Console lines go to the log, which the
// test program keeps in a file of its own (track_files.h).
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
