#include "gl_frame.h"

#include "gfx/gl_layer.h"

#include <cstddef>

std::vector<uint8_t> read_texture(uint32_t texture, int side)
{
    GLuint framebuffer = 0;
    bvglGenFramebuffers(1, &framebuffer);
    bvglBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    bvglFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture, 0);
    std::vector<uint8_t> pixels(size_t(side) * side * 4);
    bvglReadPixels(0, 0, side, side, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    bvglBindFramebuffer(GL_FRAMEBUFFER, 0);
    bvglDeleteFramebuffers(1, &framebuffer);
    return pixels;
}

GlFrame::GlFrame(int w, int h) : w_(w), h_(h)
{
    GLuint names[2] = {0, 0};
    bvglGenTextures(2, names);
    textures_[0] = names[0];
    textures_[1] = names[1];
    bvglBindTexture(GL_TEXTURE_2D, names[0]);
    bvglTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, w, h, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    bvglBindTexture(GL_TEXTURE_2D, names[1]);
    bvglTexImage2D(GL_TEXTURE_2D, 0, GL_DEPTH_COMPONENT24, w, h, 0, GL_DEPTH_COMPONENT, GL_UNSIGNED_INT, nullptr);
    bvglBindTexture(GL_TEXTURE_2D, 0);
    GLuint framebuffer = 0;
    bvglGenFramebuffers(1, &framebuffer);
    framebuffer_ = framebuffer;
    bvglBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    bvglFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, names[0], 0);
    bvglFramebufferTexture2D(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_TEXTURE_2D, names[1], 0);
    complete_ = bvglCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    bvglViewport(0, 0, w, h);
    bvglEnable(GL_DEPTH_TEST);
    bvglDepthMask(GL_TRUE);
    bvglClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

GlFrame::~GlFrame()
{
    bvglBindFramebuffer(GL_FRAMEBUFFER, 0);
    const GLuint framebuffer = framebuffer_;
    bvglDeleteFramebuffers(1, &framebuffer);
    const GLuint names[2] = {textures_[0], textures_[1]};
    bvglDeleteTextures(2, names);
}

std::vector<uint8_t> GlFrame::rgba() const
{
    std::vector<uint8_t> pixels(size_t(w_) * h_ * 4);
    bvglReadPixels(0, 0, w_, h_, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}
