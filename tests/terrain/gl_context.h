// A real GL context for the drawing tests: Mesa's software renderer through EGL on
// the surfaceless platform (no window, no display server), desktop core 3.3 or
// OpenGL ES 3, with the GL layer started on it and the state the program's start-up
// sets: pack and unpack alignment 1, back faces culled, the start-up clear colour.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "support/egl_context.h"

enum class GlKind { desktop, es };

class GlContext {
public:
    explicit GlContext(GlKind kind);
    ~GlContext();
    GlContext(const GlContext&) = delete;
    GlContext& operator=(const GlContext&) = delete;
    // Empty when the context and the shaders are up; else what failed.
    const std::string& failure() const { return failure_; }

private:
    EglContext egl_;
    std::string failure_;
};

const char* kind_name(GlKind kind);

// The texels of a side x side texture, RGBA, bottom row first.

std::vector<uint8_t> read_texture(uint32_t texture, int side);
