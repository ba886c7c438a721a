// Helpers of the Mesa picture tests: a small solid-colour texture made on the current
// GL context, and the frame just drawn read back and saved for people to look at.
#pragma once
#include "gfx/gl_layer.h"
#include "gfx/images.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

inline uint32_t solid_texture(uint8_t r, uint8_t g, uint8_t b)
{
    GLuint t = 0;
    bvglGenTextures(1, &t);
    bvglBindTexture(GL_TEXTURE_2D, t);
    std::vector<uint8_t> texels;
    for (int i = 0; i < 16; ++i)
        texels.insert(texels.end(), {r, g, b, 255});
    bvglTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 4, 4, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
    bvglTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    bvglTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    return t;
}

// The w x h frame just drawn as RGB, bottom row first, also saved as
// "<build>/view_frames/<name>.png".
inline std::vector<uint8_t> saved_frame(int w, int h, const std::string& name)
{
    std::vector<uint8_t> rgba(size_t(w) * size_t(h) * 4), rgb(size_t(w) * size_t(h) * 3);
    bvglReadPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    for (size_t i = 0; i < size_t(w) * size_t(h); ++i)
        for (int c = 0; c < 3; ++c)
            rgb[i * 3 + c] = rgba[i * 4 + c];
    std::filesystem::create_directories(BV_BUILD_DIR "/view_frames");
    png_write_rgb((BV_BUILD_DIR "/view_frames/" + name + ".png").c_str(), rgb.data(), w, h);
    return rgb;
}
