#include "render_target.h"

#include "gfx/gl_layer.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>

RenderTarget::RenderTarget()
{
    bvglGenTextures(1, &texture_);
    bvglBindTexture(GL_TEXTURE_2D, texture_);
    bvglTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, size, size, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    bvglTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    bvglTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    bvglBindTexture(GL_TEXTURE_2D, 0);
    bvglGenFramebuffers(1, &framebuffer_);
    bvglBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
    bvglFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture_, 0);
    complete_ = bvglCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    bvglViewport(0, 0, size, size);
    bvglClear(GL_COLOR_BUFFER_BIT);
}

RenderTarget::~RenderTarget()
{
    bvglBindFramebuffer(GL_FRAMEBUFFER, 0);
    bvglDeleteFramebuffers(1, &framebuffer_);
    bvglDeleteTextures(1, &texture_);
}

Pixel RenderTarget::pixel(int x, int y)
{
    uint8_t rgba[4] = {0, 0, 0, 0};
    bvglReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    return {rgba[0], rgba[1], rgba[2], rgba[3]};
}

std::string RenderTarget::save(const std::string& name)
{
    std::vector<uint8_t> rgba(size * size * 4);
    bvglReadPixels(0, 0, size, size, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    std::filesystem::path folder = std::filesystem::path(BV_BUILD_DIR) / "gfx_frames";
    std::filesystem::create_directories(folder);
    std::string path = (folder / (name + ".ppm")).string();
    // Binary PPM: "P6\n<w> <h>\n255\n", then RGB rows from the top; GL reads bottom first.
    if (FILE* f = fopen(path.c_str(), "wb")) {
        fprintf(f, "P6\n%d %d\n255\n", size, size);
        for (int y = size - 1; y >= 0; --y)
            for (int x = 0; x < size; ++x)
                fwrite(&rgba[(y * size + x) * 4], 1, 3, f);
        fclose(f);
    }
    return path;
}

GLuint make_texture(int width, int height, GLint internal_format, GLenum format, const std::vector<uint8_t>& bytes)
{
    GLuint id = 0;
    bvglGenTextures(1, &id);
    bvglBindTexture(GL_TEXTURE_2D, id);
    bvglTexImage2D(GL_TEXTURE_2D, 0, internal_format, width, height, 0, format, GL_UNSIGNED_BYTE, bytes.data());
    bvglTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    bvglTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    bvglTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    bvglTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    return id;
}

bool near(const Pixel& got, const Pixel& want, int tolerance)
{
    for (int i = 0; i < 4; ++i)
        if (std::abs(got[i] - want[i]) > tolerance)
            return false;
    return true;
}

std::string to_string(const Pixel& p)
{
    char text[64];
    snprintf(text, sizeof text, "(%d, %d, %d, %d)", p[0], p[1], p[2], p[3]);
    return text;
}
