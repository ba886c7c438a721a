// The upload of a chain buffer into a new GL texture, every level from its own place
// in the chain, with the texture memory accounted.
#include "gfx/texture_upload.h"

#include "gfx/gl_layer.h"
#include "gfx/gl_state.h"
#include "gfx/image_chain.h"

#include <cstddef>

// Desktop GL before 1.2 had only GL_CLAMP; core and ES headers lack the name.
#ifndef GL_CLAMP
#define GL_CLAMP 0x2900
#endif

int64_t texture_memory = 0;

namespace {

// A broken context could keep reporting errors; a few reads empty any real backlog.
void drain_errors()
{
    for (int i = 0; i < 64 && bvglGetError() != GL_NO_ERROR; ++i) {
    }
}

}  // namespace

uint32_t texture_upload(const uint8_t* chain, int w, int h, int channels, int flags)
{
    const GLenum format = channels == 4 ? GL_RGBA : GL_RGB;
    // The generic compressed formats exist only on desktop GL; on ES they fail the
    // upload and leave the texture blank.
    const bool compress = (flags & texture_compress_flag) && gl_state.gl_major >= 2 && !gl_state.gl_es;
    const GLint internal_format =
        compress ? (channels == 4 ? GL_COMPRESSED_RGBA : GL_COMPRESSED_RGB) : static_cast<GLint>(format);

    GLuint id = 0;
    bvglGenTextures(1, &id);
    bvglBindTexture(GL_TEXTURE_2D, id);
    bvglTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, (flags & texture_repeat_h) ? GL_REPEAT : GL_CLAMP);
    bvglTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, (flags & texture_repeat_v) ? GL_REPEAT : GL_CLAMP);
    // GL_CLAMP is an error on core and ES contexts; only the clamp-to-edge result below counts.
    drain_errors();
    if (!(flags & texture_repeat_h))
        bvglTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    if (!(flags & texture_repeat_v))
        bvglTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    const bool base_only = flags & texture_base_only;
    GLint min_filter;
    if (bvglGetError() != GL_NO_ERROR)
        min_filter = base_only ? GL_NEAREST : GL_NEAREST_MIPMAP_NEAREST;
    else
        min_filter = base_only ? GL_LINEAR : GL_LINEAR_MIPMAP_LINEAR;
    bvglTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, min_filter);
    bvglTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);

    const uint8_t* level = chain;
    int lw = w < 1 ? 1 : w, lh = h < 1 ? 1 : h;
    for (int i = 0;; ++i) {
        bvglTexImage2D(GL_TEXTURE_2D, i, internal_format, lw, lh, 0, format, GL_UNSIGNED_BYTE, level);
        int64_t bytes = int64_t(lw) * lh * channels;
        if (compress) {
            GLint compressed = 0;
            bvglGetTexLevelParameteriv(GL_TEXTURE_2D, i, GL_TEXTURE_COMPRESSED, &compressed);
            if (compressed == 1) {
                GLint size = 0;
                bvglGetTexLevelParameteriv(GL_TEXTURE_2D, i, GL_TEXTURE_COMPRESSED_IMAGE_SIZE, &size);
                bytes = size;
            }
        }
        texture_memory += bytes;
        if (base_only || (lw == 1 && lh == 1))
            break;
        level += static_cast<size_t>(lw) * lh * channels;
        lw = chain_next_side(lw);
        lh = chain_next_side(lh);
    }
    bvglBindTexture(GL_TEXTURE_2D, 0);
    return id;
}

uint32_t texture_upload_mipmapped(const uint8_t* chain, int w, int h, int channels)
{
    return texture_upload(chain, w, h, channels, 0);
}
