// The recording fake GL with the texture calls kept in full: every image upload with
// a copy of its pixels and the texture it went to, GL errors and compressed sizes
// answered from the test's settings.
#pragma once
#include "fake_gl.h"

#include <deque>
#include <string>
#include <vector>

namespace texfake {

struct Upload {
    GLuint texture;
    int level;
    GLint internal_format;
    int w, h;
    GLenum format;
    std::string data;
    bool sub;
};

struct Settings {
    std::deque<GLenum> errors;        // GetError answers these first, then GL_NO_ERROR
    GLint compressed = 0;             // GetTexLevelParameteriv(GL_TEXTURE_COMPRESSED)
    GLint compressed_size = 0;        // ... (GL_TEXTURE_COMPRESSED_IMAGE_SIZE)
};

// fakegl::install, the texture entries replaced, the texture memory zeroed.
void install();
Settings& settings();
std::vector<Upload>& uploads();
// Uploads of one texture, in order.
std::vector<Upload> uploads_of(GLuint texture);
// The TexParameteri value last set for pname on a texture (-1 when never set).
GLint parameter(GLuint texture, GLenum pname);

}  // namespace texfake
