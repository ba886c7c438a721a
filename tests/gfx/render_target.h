// A small RGBA framebuffer object to draw into, read back pixel by pixel, and save
// as a PPM file in the build folder for a person to look at.
#pragma once
#include <GL/glcorearb.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

using Pixel = std::array<int, 4>;

class RenderTarget {
public:
    static constexpr int size = 64;

    RenderTarget();   // bound, with the viewport set and cleared to the clear colour
    ~RenderTarget();
    bool complete() const { return complete_; }

    Pixel pixel(int x, int y);
    // Writes "<build>/gfx_frames/<name>.ppm"; returns the path.
    std::string save(const std::string& name);

private:
    GLuint texture_ = 0;
    GLuint framebuffer_ = 0;
    bool complete_ = false;
};

// A texture from bytes (rows bottom first), nearest filtering, clamped at the edges.
GLuint make_texture(int width, int height, GLint internal_format, GLenum format, const std::vector<uint8_t>& bytes);

// True when every channel is within tolerance.
bool near(const Pixel& got, const Pixel& want, int tolerance = 2);
std::string to_string(const Pixel& p);
