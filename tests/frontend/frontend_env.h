// What every front-end test shares: the base data as the game folder, the log in a
// file of its own, a clock the test sets, and the front end installed.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace fronttest {

// The platform clock reads this many milliseconds while a FakeClock lives.
struct FakeClock {
    explicit FakeClock(int64_t start_ms = 0);
    ~FakeClock();
    void set_seconds(double seconds);
    void advance(double seconds);
};

// "<build>/frontend_frames/<name>.png" from rows bottom first.
void save_frame(const std::string& name, int w, int h, const std::vector<uint8_t>& rgb);

}  // namespace fronttest
