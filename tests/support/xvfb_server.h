// A private X server for tests that need a display: Xvfb at 1024x768x24 (or the screen
// given as "WxHxD") on a display number it picks itself, with DISPLAY pointing at it while the object lives. A test
// process re-run by a death test reuses its parent's server instead of starting one.
#pragma once
#include <string>
#include <sys/types.h>

namespace bvtest {

class XvfbServer {
public:
    explicit XvfbServer(const char* screen = "1024x768x24");
    ~XvfbServer();
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    static bool installed();             // Xvfb is on PATH
    bool running() const { return !display_.empty(); }
    const std::string& display() const { return display_; }  // ":N"

private:
    void start(int number, const char* screen);

    pid_t pid_ = -1;
    bool owner_ = false;
    std::string display_;
};

}  // namespace bvtest

// Skips the test when Xvfb is not installed; fails it when Xvfb is there but won't start.
#define BV_REQUIRE_XVFB(server)                                                        \
    do {                                                                               \
        if (!bvtest::XvfbServer::installed())                                          \
            GTEST_SKIP() << "Xvfb is not installed: the window system is not tested";  \
        ASSERT_TRUE((server).running()) << "Xvfb is installed but did not start";      \
    } while (0)
