#include "gl_recorder.h"

#include "gfx/gl_state.h"
#include "gfx/gl_table.h"
#include "gfx/shaders.h"
#include "tools/headless/quiet_call.h"

namespace glrec {
namespace {

std::vector<Call> record;
std::vector<std::string> uniforms;   // location k + 1 is uniforms[k]
GLuint next_texture = 1;

void uniform(GLint location, const GLfloat* v, int n)
{
    const bool known = location > 0 && size_t(location) <= uniforms.size();
    record.push_back({known ? uniforms[size_t(location - 1)] : "?", {}, std::vector<float>(v, v + n)});
}

void APIENTRY BufferSubData(GLenum target, GLintptr offset, GLsizeiptr size, const void* data)
{
    const float* f = static_cast<const float*>(data);
    record.push_back({"BufferSubData", {target, offset, size}, std::vector<float>(f, f + size / 4)});
}
void APIENTRY BufferData(GLenum target, GLsizeiptr size, const void*, GLenum usage)
{
    record.push_back({"BufferData", {target, size, usage}, {}});
}
void APIENTRY DrawArrays(GLenum mode, GLint first, GLsizei count)
{
    record.push_back({"DrawArrays", {mode, first, count}, {}});
}
void APIENTRY ActiveTexture(GLenum unit) { record.push_back({"ActiveTexture", {unit}, {}}); }
void APIENTRY BindTexture(GLenum target, GLuint id) { record.push_back({"BindTexture", {target, id}, {}}); }
void APIENTRY UseProgram(GLuint id) { record.push_back({"UseProgram", {id}, {}}); }
void APIENTRY Uniform1f(GLint location, GLfloat v) { uniform(location, &v, 1); }
void APIENTRY Uniform2fv(GLint location, GLsizei, const GLfloat* v) { uniform(location, v, 2); }
void APIENTRY Uniform3fv(GLint location, GLsizei, const GLfloat* v) { uniform(location, v, 3); }
void APIENTRY TexSubImage2D(GLenum, GLint level, GLint x, GLint y, GLsizei w, GLsizei h, GLenum, GLenum,
                            const void*)
{
    record.push_back({"TexSubImage2D", {level, x, y, w, h}, {}});
}
void APIENTRY PixelStorei(GLenum name, GLint value) { record.push_back({"PixelStorei", {name, value}, {}}); }
GLint APIENTRY GetUniformLocation(GLuint, const GLchar* name)
{
    uniforms.push_back(name);
    return GLint(uniforms.size());
}
void APIENTRY GenTextures(GLsizei n, GLuint* out)
{
    for (GLsizei i = 0; i < n; ++i)
        out[i] = next_texture++;
}

}  // namespace

void install()
{
#define BV_QUIET(type, name) gl.name = headless::quiet_call<type>::call;
    BV_GL_FUNCTIONS(BV_QUIET)
#undef BV_QUIET
    gl.BufferSubData = BufferSubData;
    gl.BufferData = BufferData;
    gl.DrawArrays = DrawArrays;
    gl.ActiveTexture = ActiveTexture;
    gl.BindTexture = BindTexture;
    gl.UseProgram = UseProgram;
    gl.Uniform1f = Uniform1f;
    gl.Uniform2fv = Uniform2fv;
    gl.Uniform3fv = Uniform3fv;
    gl.TexSubImage2D = TexSubImage2D;
    gl.PixelStorei = PixelStorei;
    gl.GetUniformLocation = GetUniformLocation;
    gl.GenTextures = GenTextures;
    gl_state_reset();
    uniforms.clear();
    for (int slot = 1; slot < gl_program_slots; ++slot)
        gl_state.program[slot] = GLuint(slot);
    gl_use_shader(shader_terrain);
    record.clear();
}

std::vector<Call>& calls() { return record; }

Drawn drawn()
{
    Drawn out;
    std::vector<float> buffer;
    uint32_t unit = 0, bound[8] = {};
    for (const Call& c : record) {
        if (c.name == "BufferSubData") {
            buffer = c.floats;
            ++out.uploads;
        } else if (c.name == "ActiveTexture") {
            unit = uint32_t(c.args[0] - 0x84C0);   // GL_TEXTURE0
        } else if (c.name == "BindTexture" && unit < 8) {
            bound[unit] = uint32_t(c.args[1]);
        } else if (c.name == "DrawArrays") {
            for (int64_t v = c.args[1]; v < c.args[1] + c.args[2]; ++v) {
                out.vertices.insert(out.vertices.end(), buffer.begin() + v * 3, buffer.begin() + v * 3 + 3);
                out.colour_textures.push_back(bound[0]);
            }
        }
    }
    return out;
}

}  // namespace glrec
