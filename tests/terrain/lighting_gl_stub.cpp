#include "lighting_gl_stub.h"

#include "gfx/gl_state.h"
#include "gfx/gl_table.h"

#include <cstdio>
#include <map>

namespace lightgl {
namespace {

std::vector<std::string> record;
std::map<GLint, std::string> names;
GLuint next_texture = 1;

std::string number(float v)
{
    char text[32];
    snprintf(text, sizeof text, "%g", v);
    return text;
}

void APIENTRY UseProgram(GLuint p) { record.push_back("use " + std::to_string(p)); }
GLint APIENTRY GetUniformLocation(GLuint, const GLchar* name)
{
    const GLint location = static_cast<GLint>(names.size()) + 1;
    names[location] = name;
    return location;
}
void APIENTRY Uniform1f(GLint l, GLfloat v) { record.push_back(names[l] + " " + number(v)); }
void APIENTRY Uniform3fv(GLint l, GLsizei, const GLfloat* v)
{
    record.push_back(names[l] + " " + number(v[0]) + " " + number(v[1]) + " " + number(v[2]));
}
void APIENTRY GenTextures(GLsizei n, GLuint* out)
{
    for (GLsizei i = 0; i < n; ++i)
        out[i] = next_texture++;
}
void APIENTRY BindTexture(GLenum, GLuint) {}
void APIENTRY DeleteTextures(GLsizei, const GLuint*) {}
void APIENTRY TexParameteri(GLenum, GLenum, GLint) {}
GLenum APIENTRY GetError() { return GL_NO_ERROR; }
void APIENTRY TexImage2D(GLenum, GLint, GLint, GLsizei, GLsizei, GLint, GLenum, GLenum, const void*) {}

}  // namespace

void install()
{
    gl = gl_table{};
    gl.UseProgram = UseProgram;
    gl.GetUniformLocation = GetUniformLocation;
    gl.Uniform1f = Uniform1f;
    gl.Uniform3fv = Uniform3fv;
    gl.GenTextures = GenTextures;
    gl.BindTexture = BindTexture;
    gl.DeleteTextures = DeleteTextures;
    gl.TexParameteri = TexParameteri;
    gl.GetError = GetError;
    gl.TexImage2D = TexImage2D;
    gl_state_reset();
    // Distinct program ids, so the calls show which program took the fog.
    for (int slot = 1; slot < gl_program_slots; ++slot)
        gl_state.program[slot] = static_cast<GLuint>(100 + slot);
    record.clear();
    names.clear();
}

std::vector<std::string>& calls() { return record; }

}  // namespace lightgl
