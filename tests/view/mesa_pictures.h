// Helpers of the Mesa picture tests: a small solid-colour texture made on the current
// GL context.
#pragma once
#include "gfx/gl_layer.h"

#include <cstdint>
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
