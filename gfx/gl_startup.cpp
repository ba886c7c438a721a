#include "gfx/gl_startup.h"

#include "gfx/gl_layer.h"
#include "gfx/gl_state.h"
#include "gfx/immediate.h"

#include <cstdio>

namespace {

const char* gl_text(GLenum name)
{
    const GLubyte* text = gl.GetString(name);
    return text ? reinterpret_cast<const char*>(text) : "NULL";
}

GLuint make_pixel_texture(const GLubyte rgb[3])
{
    GLuint id = 0;
    gl.GenTextures(1, &id);
    gl.BindTexture(GL_TEXTURE_2D, id);
    gl.TexParameterf(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    gl.TexParameterf(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    // One texel reads the same under any filter; nearest spares the sampler its level
    // of detail and its blend of four texels, on every pixel of a flat fill.
    gl.TexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    gl.TexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    gl.TexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 1, 1, 0, GL_RGB, GL_UNSIGNED_BYTE, rgb);
    gl.BindTexture(GL_TEXTURE_2D, 0);
    return id;
}

}  // namespace

void gl_parse_version(const char* text, int* major, int* minor, int* es)
{
    int a = 0, b = 0;
    *es = 0;
    if (sscanf(text, "OpenGL ES %d.%d", &a, &b) == 2) {
        *es = 1;
    } else if (sscanf(text, "%d.%d", &a, &b) != 2) {
        a = b = 0;
    }
    *major = a;
    *minor = b;
}

int gl_version_supported(int major, int minor)
{
    return major > 3 || (major == 3 && minor >= 1);
}

void gl_init(gl_proc_loader loader, void* context)
{
    gl_state_reset();
    // On this platform every entry point, GL 1.1 included, is looked up by name.
    gl_table_load(&gl, loader, context);

    gl_state.gl_vendor = gl_text(GL_VENDOR);
    gl_state.gl_renderer = gl_text(GL_RENDERER);
    gl_state.gl_version = gl_text(GL_VERSION);
    int major = 0, minor = 0, es = 0;
    gl_parse_version(gl_state.gl_version, &major, &minor, &es);
    gl_state.gl_major = major;
    gl_state.gl_minor = minor;
    gl_state.gl_es = es;
    // A core-profile context answers NULL here, and leaves an error that a later
    // single glGetError check (the texture filter choice) would take for its own.
    gl_state.gl_extensions = gl_text(GL_EXTENSIONS);
    for (int i = 0; i < 16 && gl.GetError() != GL_NO_ERROR; ++i) {
    }

    if (gl_state.gl_major > 2)
        imm_create_buffers();

    static const GLubyte white[3] = {255, 255, 255};
    static const GLubyte flat_normal[3] = {128, 128, 255};
    gl_state.gl_white_texture = make_pixel_texture(white);
    gl_state.gl_normal_texture = make_pixel_texture(flat_normal);
    // gl_state_reset above already put the identity at level 0 of every stack.
}
