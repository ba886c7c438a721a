#include "texture_fake.h"

#include "gfx/texture_upload.h"

#include <map>
#include <utility>

namespace texfake {
namespace {

Settings current;
std::vector<Upload> record;
GLuint bound = 0;
std::map<std::pair<GLuint, GLenum>, GLint> parameters;
PFNGLBINDTEXTUREPROC recording_bind = nullptr;
PFNGLTEXPARAMETERIPROC recording_parameter = nullptr;

size_t bytes_of(int w, int h, GLenum format)
{
    return static_cast<size_t>(w) * h * (format == GL_RGBA ? 4 : format == GL_RGB ? 3 : 1);
}

void APIENTRY BindTexture(GLenum target, GLuint id)
{
    recording_bind(target, id);
    bound = id;
}

void APIENTRY TexParameteri(GLenum target, GLenum pname, GLint value)
{
    recording_parameter(target, pname, value);
    parameters[{bound, pname}] = value;
}

void APIENTRY TexImage2D(GLenum, GLint level, GLint internal_format, GLsizei w, GLsizei h, GLint, GLenum format,
                         GLenum, const void* pixels)
{
    Upload u{bound, level, internal_format, w, h, format, {}, false};
    if (pixels)
        u.data.assign(static_cast<const char*>(pixels), bytes_of(w, h, format));
    record.push_back(u);
}

void APIENTRY TexSubImage2D(GLenum, GLint level, GLint, GLint, GLsizei w, GLsizei h, GLenum format, GLenum,
                            const void* pixels)
{
    Upload u{bound, level, 0, w, h, format, {}, true};
    u.data.assign(static_cast<const char*>(pixels), bytes_of(w, h, format));
    record.push_back(u);
}

GLenum APIENTRY GetError()
{
    if (current.errors.empty())
        return GL_NO_ERROR;
    const GLenum e = current.errors.front();
    current.errors.pop_front();
    return e;
}

void APIENTRY GetTexLevelParameteriv(GLenum, GLint, GLenum pname, GLint* out)
{
    *out = pname == GL_TEXTURE_COMPRESSED ? current.compressed
         : pname == GL_TEXTURE_COMPRESSED_IMAGE_SIZE ? current.compressed_size : 0;
}

}  // namespace

void install()
{
    fakegl::install();
    current = Settings{};
    record.clear();
    parameters.clear();
    bound = 0;
    recording_bind = gl.BindTexture;
    recording_parameter = gl.TexParameteri;
    gl.BindTexture = BindTexture;
    gl.TexParameteri = TexParameteri;
    gl.TexImage2D = TexImage2D;
    gl.TexSubImage2D = TexSubImage2D;
    gl.GetError = GetError;
    gl.GetTexLevelParameteriv = GetTexLevelParameteriv;
    texture_memory = 0;
}

Settings& settings() { return current; }
std::vector<Upload>& uploads() { return record; }

std::vector<Upload> uploads_of(GLuint texture)
{
    std::vector<Upload> out;
    for (const Upload& u : record)
        if (u.texture == texture)
            out.push_back(u);
    return out;
}

GLint parameter(GLuint texture, GLenum pname)
{
    auto it = parameters.find({texture, pname});
    return it == parameters.end() ? -1 : it->second;
}

}  // namespace texfake
