// Drawing targets for the GL tests: a frame with colour and depth to render a view
// into, and the read-back of any texture. Pixels come back RGBA, bottom row first.
#pragma once
#include <cstdint>
#include <vector>

std::vector<uint8_t> read_texture(uint32_t texture, int side);

class GlFrame {
public:
    // Bound, with the viewport, depth test and writes on, and cleared.
    GlFrame(int w, int h);
    ~GlFrame();
    GlFrame(const GlFrame&) = delete;
    GlFrame& operator=(const GlFrame&) = delete;
    bool complete() const { return complete_; }
    std::vector<uint8_t> rgba() const;

private:
    int w_, h_;
    uint32_t textures_[2] = {0, 0};
    uint32_t framebuffer_ = 0;
    bool complete_ = false;
};
