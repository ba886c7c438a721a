// A real offscreen window on Mesa with the GL layer, the six programs, the fonts and
// the start-up pictures of the base data, set as the program's window; frames the
// progress screen draws are read back through the observer.
#pragma once
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <cstdint>
#include <string>
#include <vector>

struct qorl_window;

namespace fronttest {

using Rgba = std::array<int, 4>;

struct Frame {
    int w = 0, h = 0;
    std::vector<uint8_t> rgba;   // rows bottom first
    std::string message;         // the progress message when it was drawn
    // x, y from the top-left corner.
    Rgba at(int x, int y) const;
    std::vector<uint8_t> rgb() const;
};

// Pixels of the frame being drawn (call inside a frame).
Frame read_frame();

// Every progress frame drawn since the test began.
extern std::vector<Frame> frames;

// One frame of the program's window: the projection of fov 110, a mid-grey clear and no
// depth test, then `draw`; the pixels read back (empty when no frame could begin).
Frame draw_over_grey(const std::function<void()>& draw);

class GlWindowTest : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // A desktop core context, or an ES 3 one with `es`.
    void open(int w, int h, bool es = false);
    qorl_window* window = nullptr;
};

}  // namespace fronttest
